#pragma once
// The station host: opens the acquisition port and drives the recording
// hub through one trip, as the station's main program does.
//
// The cycle, once per change of the wall-clock second (a record's time is
// whole seconds, so a faster cycle would give records the same time):
//   between cycles, every frame the unit sends: CommProtocols::read_data,
//     Param::calc_value_by_voltage for each parameter with a channel, the
//     block position and the depth from the depth sensor's pulses (at the
//     hub's DepthCalc::calc_coeff), the running averages, the hub's
//     computed values (CalcValues::calc_and_store);
//   at the cycle: DataStorage::tick, RealTimeFile::store_values_for_file,
//     the time record every time step, the fast record, the depth record at
//     each depth step drilled, the lag release (the marks lifted through
//     the annulus the hub's well data gives), reg::System::on_data.
// A second without a frame records nothing: the files show the gap, and the
// silence is logged (error log and standard error) with the port's cause.
//
// Start: the station set-up (default one created when missing), sys() with
// the station folder as its program folder, the modules, the hub's
// configuration, the plug-ins of the plug-in folder (through the hub's
// plug-in manager, so that before_work and after_work reach them), the
// modules' settings read from the set-up's "station.ini", the table, the
// depths of the well, before_work, the trip header, the write thread.
// Every cycle calls each plug-in's data().
// Stop (the duration, or the stop descriptor becoming readable — the
// program's signal pipe): the lag lines flushed, the trip end, the write
// thread drained and stopped, after_work, "sys.bin" saved, the depths and
// the block position kept, the plug-ins freed (also after a failed start).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct CommIncomData;
namespace reg {
class System;
}

namespace station_host {

struct HostOptions {
    std::string port;            // device path or "host:port"
    std::string well_folder;     // the trip's files, "sys.bin", the depths
    std::string station_folder;  // set-up and error log; empty: the well folder
    std::string plugin_folder;   // empty: "plugins" beside the station folder,
                                 // none when that is absent
    int trip = 1;
    double duration_s = 60;      // 0: until stopped
    int time_step = 0;           // s between time records; 0: the hub's configuration
    bool continue_trip = false;  // reload "sys.bin" and go on with the trip
    double start_depth = -1;     // bottom-hole and bit depth; < 0: as kept
    std::string protocol;        // the hub's protocol row by name; empty: the console
    // The scripted operator: at each second of the run, the plug-in window
    // button with that caption is pressed.
    std::vector<std::pair<double, std::string>> presses;
};

struct HostStats {
    long cycles = 0;
    long frames = 0;
    long failed_reads = 0;
    long lost_blocks = 0;     // blocks the unit numbered but never delivered
    long quiet_cycles = 0;    // seconds without a frame
    long silences = 0;        // runs of quiet seconds
    long time_records = 0;
    long fast_records = 0;
    long depth_records = 0;
    long lag_records = 0;
    int queued_at_end = 0;    // batches the writer could not write
    double first_depth = 0, last_depth = 0;
};

class Host {
public:
    using Out = std::function<void(const std::string&)>;
    Host(HostOptions options, Out progress, Out errors);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Runs the trip; the exit status of the program: 0 after a clean stop,
    // 1 when the trip could not start (the cause on errors), 3 when records
    // were left unwritten at the end, 4 when no frame came at all.
    int run(int stop_fd);
    const HostStats& stats() const { return stats_; }

private:
    bool stop_requested(int stop_fd) const;
    // Throws std::runtime_error when a folder asked for is not there.
    void load_plugins(const std::string& station);
    void on_frame(const CommIncomData& d);
    void cycle(std::uint32_t now);
    void log_error(const std::string& message);
    // A trip's recording: the files named and opened, before_work (which
    // starts the plug-ins' recording), the header; and its end.
    void start_trip(int trip, bool continued);
    void end_trip();
    bool recording() const;
    int trip() const;
    reg::System* state_sys() const;
    // A plug-in's message 1033 (trip_requests.cpp).
    void answer_trip_request(int request);
    void press(const std::string& caption);

    HostOptions options_;
    Out progress_, errors_;
    HostStats stats_;
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace station_host
