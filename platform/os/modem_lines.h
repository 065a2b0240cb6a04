#pragma once
// The modem control lines of an open serial device: RTS and DTR, which the
// station drives, and CTS, which the device drives.
//
// A serial port reaches its lines through the process's ModemControl: the
// kernel's (the TIOCM ioctls on the port's descriptor) unless a test has
// installed another. The pseudo-terminals that stand in for the devices'
// lines in the tests have no modem lines (the kernel answers ENOTTY), so a
// test that wants to see what a protocol does with RTS installs a
// RecordingModemControl: it keeps the lines in memory, records every
// setting of an output line in order, lets the test drive CTS, and can call
// back at each setting while the port's caller waits (to look at what the
// device has received by then).
//
//   os::RecordingModemControl lines;
//   os::ScopedModemControl use(lines);
//   lines.set_input(os::ModemLine::cts, true);
//   ... port.set_rts(true) ...
//   lines.changes();  // {{rts, true}}

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace os {

enum class ModemLine { rts, dtr, cts };

// "RTS", "DTR", "CTS".
const char* modem_line_name(ModemLine line);

class ModemControl {
public:
    virtual ~ModemControl() = default;
    // Raises or drops an output line (RTS, DTR) of the device open on fd;
    // false with the cause in why.
    virtual bool set(int fd, ModemLine line, bool on, std::string& why) = 0;
    // The state of a line; false with the cause in why when it cannot be
    // read.
    virtual bool get(int fd, ModemLine line, bool& on, std::string& why) = 0;
};

// The kernel's lines.
ModemControl& kernel_modem_control();

// The control in use: the kernel's unless a test installed another.
ModemControl& modem_control();
// Installs a control for the whole process; nullptr restores the kernel's.
// The control must outlive its installation.
void set_modem_control(ModemControl* control);

// Installs a control for the life of a scope, restoring the previous one.
class ScopedModemControl {
public:
    explicit ScopedModemControl(ModemControl& control);
    ~ScopedModemControl();
    ScopedModemControl(const ScopedModemControl&) = delete;
    ScopedModemControl& operator=(const ScopedModemControl&) = delete;

private:
    ModemControl* previous_;
};

// Lines in memory for tests, every line off at first. Safe from any thread;
// the observer runs outside the control's lock, on the thread that changed
// the line, before that change returns.
class RecordingModemControl : public ModemControl {
public:
    // One setting of an output line (also one that leaves it as it was).
    struct Change {
        ModemLine line;
        bool on;
        bool operator==(const Change&) const = default;
    };

    bool set(int fd, ModemLine line, bool on, std::string& why) override;
    bool get(int fd, ModemLine line, bool& on, std::string& why) override;

    // The device's side: what CTS shows.
    void set_input(ModemLine line, bool on);
    // While the cause is not empty, every set and get fails with it.
    void fail_with(std::string cause);
    // Called at each setting of an output line.
    void on_change(std::function<void(const Change&)> observer);

    std::vector<Change> changes() const;
    bool state(ModemLine line) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::map<ModemLine, bool> lines_;
    std::vector<Change> changes_;
    std::string failure_;
    std::function<void(const Change&)> observer_;
};

}  // namespace os
