#include "platform/os/modem_lines.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <utility>

namespace os {

namespace {

int tiocm_bit(ModemLine line) {
    switch (line) {
        case ModemLine::rts: return TIOCM_RTS;
        case ModemLine::dtr: return TIOCM_DTR;
        case ModemLine::cts: return TIOCM_CTS;
    }
    return 0;
}

class KernelModemControl : public ModemControl {
public:
    bool set(int fd, ModemLine line, bool on, std::string& why) override {
        if (line == ModemLine::cts) {
            why = "CTS is the device's line";
            return false;
        }
        int bit = tiocm_bit(line);
        if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
            why = std::strerror(errno);
            return false;
        }
        return true;
    }
    bool get(int fd, ModemLine line, bool& on, std::string& why) override {
        int status = 0;
        if (::ioctl(fd, TIOCMGET, &status) != 0) {
            why = std::strerror(errno);
            return false;
        }
        on = (status & tiocm_bit(line)) != 0;
        return true;
    }
};

std::atomic<ModemControl*> g_control{nullptr};

}  // namespace

const char* modem_line_name(ModemLine line) {
    switch (line) {
        case ModemLine::rts: return "RTS";
        case ModemLine::dtr: return "DTR";
        case ModemLine::cts: return "CTS";
    }
    return "?";
}

ModemControl& kernel_modem_control() {
    static KernelModemControl control;
    return control;
}

ModemControl& modem_control() {
    ModemControl* c = g_control.load();
    return c ? *c : kernel_modem_control();
}

void set_modem_control(ModemControl* control) { g_control.store(control); }

ScopedModemControl::ScopedModemControl(ModemControl& control) : previous_(g_control.load()) {
    set_modem_control(&control);
}

ScopedModemControl::~ScopedModemControl() { set_modem_control(previous_); }

bool RecordingModemControl::set(int, ModemLine line, bool on, std::string& why) {
    std::function<void(const Change&)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_.empty()) {
            why = failure_;
            return false;
        }
        if (line == ModemLine::cts) {
            why = "CTS is the device's line";
            return false;
        }
        lines_[line] = on;
        changes_.push_back({line, on});
        observer = observer_;
    }
    if (observer) observer({line, on});
    return true;
}

bool RecordingModemControl::get(int, ModemLine line, bool& on, std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failure_.empty()) {
        why = failure_;
        return false;
    }
    auto it = lines_.find(line);
    on = it != lines_.end() && it->second;
    return true;
}

void RecordingModemControl::set_input(ModemLine line, bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_[line] = on;
}

void RecordingModemControl::fail_with(std::string cause) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::move(cause);
}

void RecordingModemControl::on_change(std::function<void(const Change&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

std::vector<RecordingModemControl::Change> RecordingModemControl::changes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
}

bool RecordingModemControl::state(ModemLine line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = lines_.find(line);
    return it != lines_.end() && it->second;
}

void RecordingModemControl::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_.clear();
}

}  // namespace os
