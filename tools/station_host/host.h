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
// Start: the folders resolved as the hub's library resolves them ('\' as
// '/'); what the options name tried before anything is written (a plug-in
// folder asked for, the port, the well folder); the well folder made,
// refused when no file can be created in it, and held for the host's life
// (a lock file in it; a second host is told which process holds it); files
// of the well that are links or not plain files refused; the station set-up
// (default one created when missing), sys() with the station folder as its
// program folder (its error log also on standard error), the modules, the
// hub's configuration, the plug-ins of the plug-in folder (by default
// "plugins" beside the program; refused when the folder or a library is
// writable by other users; loaded through the hub's plug-in manager, so that
// before_work and after_work reach them), the modules' settings read from
// the set-up's "station.ini", the table (its load warnings reported), the
// depths of the well (a depth outside the hub's range refused and
// reported), before_work, the trip header, the write thread, and the state
// saved.
// Every cycle calls each plug-in's data(); on the console's protocol the
// display packet follows, then a configuration block a plug-in hands over
// (send_data_to_pult; kept and sent again until the console has it, and no
// plug-in is asked for another meanwhile). A parameter table changed on
// disk (the same parameters, new calibrations) is read again and the hub's
// params_changed_signal fired. Every minute (state_save_s) the
// hub's state ("sys.bin"), the depths and the block position are saved, so
// that a host killed outright resumes within a minute of where it was.
// Stop (the duration, or the stop descriptor becoming readable — the
// program's signal pipe): the lag lines flushed, the trip end, the writer
// given up to ten seconds to empty its queue (a second signal ends the wait
// at once), the write thread stopped, after_work, the state saved, the
// records still unwritten counted and reported, the plug-ins freed (also
// after a failed start).

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
    std::string plugin_folder;   // empty: "plugins" beside the program,
                                 // none when that is absent
    int trip = 1;
    double duration_s = 60;      // 0: until stopped
    int time_step = 0;           // s between time records; 0: the hub's configuration
    bool continue_trip = false;  // reload "sys.bin" and go on with the trip
    double start_depth = -1;     // bottom-hole and bit depth; < 0: as kept
    int state_save_s = 60;       // s between saves of the hub's state and the
                                 // depths while recording
    std::string protocol;        // the hub's protocol row by name; empty: the console
    // The scripted operator: at each second of the run, the plug-in window
    // button with that caption is pressed.
    std::vector<std::pair<double, std::string>> presses;
};

struct HostStats {
    long cycles = 0;
    long frames = 0;
    long failed_reads = 0;
    long lost_blocks = 0;   // blocks the unit numbered but never delivered
    long quiet_cycles = 0;  // seconds without a frame
    long silences = 0;      // runs of quiet seconds
    long time_records = 0;
    // The time records of the trip being recorded, those its time file held
    // when a continue took it up included.
    long trip_time_records = 0;
    long fast_records = 0;
    long depth_records = 0;
    long lag_records = 0;
    int queued_at_end = 0;  // batches the writer could not write
    long line_faults = 0;   // writes to the unit's line that ran out of time
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
    // or a plug-in's files were left unwritten at the end, 4 when no frame
    // came at all.
    int run(int stop_fd);
    const HostStats& stats() const { return stats_; }

    // A window around the run (station_host --window): told once the trip
    // has started (the plug-ins loaded, the trip's files begun), and given
    // a turn of the loop between two reads of the port. With a window the
    // host shows only the plug-ins without a page at their start; those
    // with one are the window's to show, when it puts their forms into
    // their pages.
    std::function<void(Host&)> on_started;
    std::function<void()> on_turn;
    // A turn of the loop from a nested loop (a modal dialog's, while on_turn
    // runs): the line read, the cycle, the requests, so that nothing stops
    // for the dialog. Nothing when called from inside a read or a cycle, or
    // outside run()'s loop. False once the loop is ending (a stop asked for,
    // the run's time up): the window should let its dialogs go.
    bool serve_turn();
    // What the window shows of the run (once started).
    reg::System* system() const;
    std::string time_file_name() const;
    double depth() const;      // bottom hole, m
    double bit_depth() const;  // m
    bool line_quiet() const;   // no frame in the last second
    int trip() const;          // the trip being recorded (a plug-in may have started another)
    // A trip is recorded: false after a plug-in's stop request until a
    // trip starts again.
    bool recording() const;
    // The number a new trip after trip() gets: the next one none of whose
    // files is in the well folder yet; -1 when none is left.
    int new_trip_number() const;

private:
    struct Loop;
    std::function<bool()> nested_turn_;  // while run() loops
    // run()'s stages. Before anything is written: the options, the port,
    // the well folder and its files tried; the plug-in folder returned.
    std::string check_before_writing(const std::string& station);
    // The hub, its settings and the plug-ins, started; the record steps.
    void set_up_hub(const std::string& station, const std::string& plugin_folder);
    void start_plugins();
    // The plug-ins' first show and on_started, from the loop's first turn.
    void show_plugins();
    // The time and depth steps, refused where no record could follow them.
    void take_record_steps();
    void load_parameter_table(const std::string& station);
    // The protocol the options name, once the plug-ins have registered theirs.
    void choose_protocol();
    // The depths, the trip begun, the write thread.
    void start_recording();
    // A trip continued takes its depths from its last record when that is
    // newer than the saved depths.
    void take_depths_of_last_record();
    // The wall clock less the monotonic one, ms.
    static std::int64_t clock_offset_ms();
    // A step of the wall clock since the last turn, logged once: its size
    // in whole seconds (negative: back), 0 for none.
    std::int64_t watch_clock(Loop& loop);
    // The loop's turn (run()'s own and a dialog's nested ones) and its parts;
    // false once the loop is ending.
    bool turn(Loop& loop);
    bool loop_over(Loop& loop);
    void read_port(Loop& loop);
    void on_second(Loop& loop, std::uint32_t now);
    // After the loop: the trip ended, the writer waited for; the exit status.
    int stop(int stop_fd);
    bool stop_requested(int stop_fd) const;
    // Throws std::runtime_error when a folder asked for is not there, or
    // when the folder or a library in it is writable by other users.
    void load_plugins(const std::string& folder);
    // "sys.bin", the depths and the block position, each written whole.
    void save_state(std::uint32_t now);
    void on_frame(const CommIncomData& d);
    void cycle(std::uint32_t now);
    void log_error(const std::string& message);
    // A trip's recording: the files named and opened, before_work (which
    // starts the plug-ins' recording), the header; and its end.
    void start_trip(int trip, bool continued);
    // finish: also tell the hub the work is over and save the state (a
    // request's stop); the program's own stop does that after its bounded
    // wait for the writer.
    void end_trip(bool finish = true);
    reg::System* state_sys() const;
    const std::string& well() const;  // the well folder, with its trailing '/'
    // A plug-in's message 1033 (trip_requests.cpp).
    void answer_trip_request(int request);
    // `at_s`: the second of the run it comes at, said with the press.
    void press(const std::string& caption, double at_s);
    // The console's configuration block: asked of the plug-ins and sent.
    void send_console_block();
    // A parameter table changed on disk is read again and the hub told.
    void reload_changed_table();

    HostOptions options_;
    Out progress_, errors_;
    HostStats stats_;
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace station_host
