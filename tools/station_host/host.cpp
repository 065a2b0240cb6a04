#include "tools/station_host/host.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <any>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "gti/registr_old/calc_values.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/race_info.h"
#include "gti/registr_old/real_time_file.h"
#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/sound.h"
#include "library/lock_object.h"
#include "library/storage/rt_blocks.h"
#include "library/time_conv.h"
#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/folder_lock.h"
#include "platform/os/paths.h"
#include "platform/os/sound.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/os/clock.h"
#include "tools/station_host/depth_marks.h"
#include "tools/station_host/hub_calc.h"
#include "tools/station_host/station_setup.h"
#include "tools/station_host/trip_files.h"
#include "tools/station_host/trip_requests.h"

namespace station_host {

namespace {
// How long a read of the port waits for its first byte while frames come,
// and while the line is silent (under half a second, so that a cycle and a
// stop are never later than that).
constexpr int kFrameWaitMs = 100;
constexpr int kSilentWaitMs = 450;

// A move of the wall clock against the monotonic one, between two turns,
// from which on it counts as the clock set back or forward.
constexpr std::int64_t kClockStepMs = 1000;

// Milliseconds until just past the turn of the wall-clock second, when the
// next cycle is due.
int ms_to_next_second() {
    const std::int64_t into_second = ((os::wall_ms() % 1000) + 1000) % 1000;
    return static_cast<int>(1000 - into_second) + 2;
}
}  // namespace

namespace fs = std::filesystem;

namespace {

// Where the trip's files stood when the depths were last saved, beside the
// depths in the well's set-up: the trip, then for the time, fast and depth
// files their sizes and the records queued for them.
const char* const mark_section = "запись_при_сохранении";
const char* const mark_keys[TripFilesMark::files][2] = {
    {"байт_времени", "в_очереди_времени"},
    {"байт_быстрого", "в_очереди_быстрого"},
    {"байт_глубины", "в_очереди_глубины"},
};

// A whole number the host wrote; none for a missing or foreign value.
std::optional<std::int64_t> stored_number(const rtl::IniFile& ini, const char* key) {
    const std::string text = ini.ReadString(mark_section, key, "");
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 0) return std::nullopt;
    return v;
}

std::optional<std::pair<int, TripFilesMark>> read_files_mark(const std::string& path) {
    const rtl::IniFile ini(path);
    const std::optional<std::int64_t> trip = stored_number(ini, "рейс");
    if (!trip || *trip > 99999999) return std::nullopt;
    TripFilesMark mark;
    for (int i = 0; i < TripFilesMark::files; ++i) {
        const std::optional<std::int64_t> bytes = stored_number(ini, mark_keys[i][0]);
        const std::optional<std::int64_t> queued = stored_number(ini, mark_keys[i][1]);
        if (!bytes || !queued) return std::nullopt;
        mark.bytes[i] = *bytes;
        mark.queued[i] = long(*queued);
    }
    return std::make_pair(int(*trip), mark);
}

// The lock file that keeps a second host out of a well folder.
const char* const well_lock_file = ".station_host.lock";
// The longest time step a trip can be recorded at (as --time-step allows).
constexpr int most_time_step = 3600;
// How long a stop waits for the writer to empty its queue; a second
// signal ends the wait at once.
constexpr std::int64_t stop_wait_ms = 10000;

std::string fixed(double v, int digits) {
    return rtl::FormatFloat(digits == 0 ? "0" : "0." + std::string(std::size_t(digits), '0'), v);
}

// A folder as the operator typed it, resolved the way the hub's library
// resolves it ('\' as '/', steps up taken lexically), so that the host and
// the hub never write to two different places.
std::string resolved_folder(const std::string& folder) {
    if (folder.empty()) return folder;
    std::string f = fs::path(os::native_path(folder)).lexically_normal().string();
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    return f;
}

// Folder text as the hub wants it: ending with its separator.
std::string folder_prefix(const std::string& folder) {
    std::string f = fs::path(folder).lexically_normal().string();
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

}  // namespace

struct Host::State {
    reg::System* sys = nullptr;
    DataStorage* ds = nullptr;
    RealTimeFile* writer = nullptr;
    CommProtocols* protocols = nullptr;
    Config* config = nullptr;
    calc::CalcValues* calc = nullptr;
    pore::PoreOpt* pore = nullptr;
    std::unique_ptr<DepthPulses> pulses;
    Settings settings;
    std::string settings_path;
    std::string well;  // with its trailing '/'
    std::string port;
    int time_step = 10;
    double depth_step = 0.2;
    bool save_fast = true;
    int hook_load = -1;  // table positions, -1 when not in the table
    int block = -1;
    int flow_in = -1;
    int pumps[3] = {-1, -1, -1};

    // Block position, m: the depth sensor counts its travel.
    double block_position = 0;

    // Between cycles.
    long frames_in_cycle = 0;
    long samples_since_time_record = 0;
    std::uint32_t last_time_record = 0;
    DepthMarks depth_marks{0.2, 0.2};
    bool in_silence = false;
    long silence_start_cycle = 0;
    bool port_lost = false;
    std::uint32_t last_state_save = 0;
    // The depths in the well folder as they stood before this run: whether
    // they were saved at all, and where the trip's files stood at that save
    // (none when a station that keeps no such mark saved them).
    bool depths_saved = false;
    fs::file_time_type depths_saved_time{};
    std::optional<std::pair<int, TripFilesMark>> depths_mark;
    os::FolderHolderLock well_lock;
    std::vector<boost::signals2::scoped_connection> connections;

    // The main window the plug-ins' requests come to, the trip being
    // recorded (none between a stop request and the next start), the
    // protocol row the port is read with, and the operator's next press.
    std::unique_ptr<TripRequests> requests;
    bool recording = false;
    int trip = 0;
    int protocol = CommProtocols::console_protocol;
    std::size_t next_press = 0;
    bool plugins_initialized = false;

    // The console's configuration block a plug-in handed over, kept until
    // the console has it (a plug-in is asked for the next one only then).
    AnsiString console_header;
    std::vector<char> console_block;
    // The parameter table on disk and when it was last read: the operator
    // may recalibrate while the trip runs.
    std::string table_path;
    fs::file_time_type table_time{};
};

namespace {

// The plug-ins are freed on every way out of a run: the hub's root lives on
// to the end of the process, the plug-in objects must not.
struct PluginsFreed {
    reg::System* const* sys;
    const bool* initialized;
    ~PluginsFreed() {
        if (!*sys) return;
        lib::Locker hold(sys_lock_obj());
        if (*initialized) (*sys)->get_plugin_manager().for_each([](reg::RegPlugin* p) { p->finalize(); });
        (*sys)->get_plugin_manager().free();
    }
};

// The hub's error log says everything on standard error too while a run
// lasts, and nothing after it (the echo goes with the host).
struct ErrorsEchoed {
    reg::System* const* sys;
    ~ErrorsEchoed() {
        if (*sys) (*sys)->get_err_log().set_echo({});
    }
};

// The program's own plug-ins, beside it: never a folder beside the data,
// which whoever writes the data could fill.
std::string default_plugin_folder() {
    os::set_program_dir_override("");
    return os::program_dir() + "/plugins";
}

bool ends_with_so(const std::string& name) {
    return name.size() > 3 && name[name.size() - 3] == '.' && (name[name.size() - 2] | 0x20) == 's' &&
           (name[name.size() - 1] | 0x20) == 'o';
}

// A library another user could have changed would run with the host's
// rights: the folder tree the plug-ins load from, and each library in it,
// must be writable by their owner alone.
void refuse_open_to_others(const std::string& folder) {
    auto check = [](const fs::path& p, const char* what) {
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) return;
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            throw std::runtime_error(std::string(what) + " '" + p.string() +
                                     "' is writable by other users; its plug-ins are not loaded");
    };
    check(folder, "the plug-in folder");
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (it->is_directory(kind))
            check(it->path(), "the plug-in folder");
        else if (ends_with_so(it->path().filename().string()))
            check(it->path(), "the plug-in");
    }
}

// Every file the host writes in the well folder must be absent or a plain
// file: a link planted in its place would take the data elsewhere, a FIFO
// would hold the host for ever.
void refuse_odd_file(const fs::path& p) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(p, ec);
    if (ec || !fs::exists(st) || fs::is_regular_file(st)) return;
    throw std::runtime_error("refusing '" + p.string() + "': " +
                             (fs::is_symlink(st) ? "a symbolic link in place of the file" : "not a regular file"));
}

}  // namespace

Host::Host(HostOptions options, Out progress, Out errors)
    : options_(std::move(options)),
      progress_(std::move(progress)),
      errors_(std::move(errors)),
      state_(std::make_unique<State>()) {
    state_->trip = options_.trip;
}

Host::~Host() = default;

void Host::log_error(const std::string& message) {
    // Once the hub is up its error log echoes to standard error.
    if (state_->sys)
        state_->sys->get_err_log().add(message);
    else
        errors_(message);
}

void Host::load_plugins(const std::string& folder) {
    const bool asked = !options_.plugin_folder.empty();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (asked) throw std::runtime_error("no plug-in folder '" + folder + "'");
        return;
    }
    refuse_open_to_others(folder);
    reg::RegPluginManager& plugins = state_->sys->get_plugin_manager();
    // No list file: every library of the folder is the station's.
    plugins.load(state_->sys, folder, "");
    for (int i = 0; i < plugins.get_size(); ++i) {
        reg::RegPlugin* p = plugins.get_item(i);
        reg::PluginInfo info;
        reg::RegPluginManager::get_plugin_info(p, info);
        progress_("plug-in " + std::to_string(i + 1) + ": " + info.title + " (" + info.module_name + ") from " +
                  p->get_path());
    }
}

bool Host::serve_turn() {
    const std::function<bool()> turn = nested_turn_;
    return turn ? turn() : true;
}

bool Host::stop_requested(int stop_fd) const {
    if (stop_fd < 0) return false;
    pollfd p{stop_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

void Host::on_frame(const CommIncomData& d) {
    State& s = *state_;
    ++stats_.frames;
    ++s.frames_in_cycle;
    if (d.block_lost) {
        ++stats_.lost_blocks;
        log_error("device: block " + std::to_string(d.block_number) + " follows a block that never came");
    }
    lib::Locker hold(sys_lock_obj());
    DataStorage& ds = *s.ds;
    ParTabl& table = ds.get_par_tabl();
    const int max_adc = std::max(1, s.protocols->get_max_adc_value());
    for (int i = 0; i < table.get_items_count(); ++i) {
        const Param& p = table.at(i);
        if (p.channel < 0 || p.channel >= 32) continue;
        const double volts = double(d.channels[p.channel]) * s.settings.adc_reference / max_adc;
        ds.current_values[i] = p.calc_value_by_voltage(volts, 1.0);
    }
    for (int k = 0; k < 3; ++k)
        if (s.pumps[k] >= 0) ds.current_values[s.pumps[k]] = d.rates[std::size_t(k)];

    // The depth sensor counts the block's travel (a block going down counts
    // upward), at the pulses per metre the hub's calibration gives for where
    // the block is; the bit moves with the block only while the string
    // hangs on the hook, not while it sits in the slips (the hub's "zero
    // weight" or below).
    if (d.counter_increment != 0) {
        const double per_metre = s.pulses->at(s.calc->get_depth_calc(), s.block_position, s.config->dol_koeff);
        if (per_metre > 0) {
            const double travel = d.counter_increment / per_metre;
            s.block_position -= travel;
            const double hook = s.hook_load >= 0 ? ds.current_values[s.hook_load] : 0.0;
            if (s.hook_load < 0 || hook > s.config->zero_weight) {
                const double bit = std::clamp(ds.get_depth_cur() + travel, 0.0, DataStorage::max_depth);
                if (bit > ds.get_depth_z()) ds.set_depth_z(bit);
                ds.set_depth_cur(bit);
            }
        }
    }
    if (s.block >= 0) ds.current_values[s.block] = s.block_position;
    ds.depth_recording = ds.get_depth_z() - ds.get_depth_cur() < 0.05;
    ds.average_values.calculate_values(false);
    // The hub's computed values of the frame, from the averages just made.
    calc::CalcValuesData values{s.pore, &ds, lib::get_local_time()};
    s.calc->calc_and_store(values);
}

void Host::cycle(std::uint32_t now) {
    State& s = *state_;
    ++stats_.cycles;
    DataStorage& ds = *s.ds;
    const long frames = s.frames_in_cycle;
    s.frames_in_cycle = 0;
    double annulus = s.settings.annulus_capacity;
    {
        lib::Locker hold(sys_lock_obj());
        ds.tick();
        // The annulus the mud lifts the marks through, from the well data
        // when it describes the bore down to the bit.
        const double from_well = annulus_capacity(*s.pore, ds.get_depth_cur(), s.config->get_race_info().kavern_koeff);
        if (from_well > 0) annulus = from_well;
        ParTabl& table = ds.get_par_tabl();
        // Sensors read from the unit fail together when it falls silent.
        for (int i = 0; i < table.get_items_count(); ++i)
            if (table.at(i).channel >= 0) ds.crush_flags[i] = frames == 0 ? 1 : 0;
    }

    // A serial line that hung up is retried by the port every second; the
    // change is said once each way.
    const long faults = s.protocols->get_port().line_faults();
    if (faults != stats_.line_faults) {
        log_error("device: the line " + s.port + " stopped taking bytes (" + s.protocols->get_port().last_fault() +
                  "); reopened it (" + std::to_string(faults) + " times in all)");
        stats_.line_faults = faults;
    }
    const bool lost = s.protocols->get_port().is_lost();
    if (lost != s.port_lost) {
        s.port_lost = lost;
        log_error(lost ? "device: the line " + s.port + " is gone (" + s.protocols->get_port().last_error() +
                             "); trying to reopen it every second"
                       : "device: the line " + s.port + " is open again");
    }

    if (frames == 0) {
        ++stats_.quiet_cycles;
        if (!s.in_silence) {
            s.in_silence = true;
            s.silence_start_cycle = stats_.cycles;
            ++stats_.silences;
            std::string cause = s.protocols->get_port().last_error();
            log_error("device: no data on " + s.port + (cause.empty() ? "" : " (" + cause + ")") +
                      "; nothing is recorded until it comes back");
        }
    } else if (s.recording) {
        if (s.in_silence) {
            s.in_silence = false;
            log_error("device: data again on " + s.port + " after " +
                      std::to_string(stats_.cycles - s.silence_start_cycle) + " s without");
        }
        RealTimeFile& w = *s.writer;
        w.store_values_for_file();
        ++s.samples_since_time_record;
        if (s.last_time_record == 0 || now - s.last_time_record >= std::uint32_t(s.time_step)) {
            w.save_time_values();
            s.last_time_record = now;
            s.samples_since_time_record = 0;
        }
        if (s.save_fast) {
            w.save_fast_file();
            ++stats_.fast_records;
        }
        // A depth record at each depth step drilled; its depth starts up the
        // annulus. A jump gets one record where it landed: a record per step
        // across it would all hold the same values, and across kilometres
        // they would never end.
        // Judged against the time since the last cycle: a late cycle is no
        // jump.
        const double bottom = ds.get_depth_z();
        const DepthMarks::Due due = s.depth_marks.advance(bottom, os::clock().now_ms());
        if (due.jumped)
            log_error("depth: the bottom jumped from " + fixed(due.from, 2) + " to " + fixed(bottom, 2) +
                      " m; one depth record at " + fixed(due.marks.front(), 2) + " m for the jump");
        for (const double mark : due.marks) {
            w.save_depth_values(float(mark), 0);
            ds.get_delayed_depth().add_record({float(mark), float(mark)});
        }
        // What the pumps lifted this second.
        const double flow = s.flow_in >= 0 ? ds[s.flow_in] : 0.0;
        const float lift = float(std::max(0.0, flow) / annulus);
        ds.get_delayed_depth().process_records(lift);
        ds.get_delayed_depth().calc(1, lift);
        w.save_lag_depth_values("", lift);
    }
    {
        lib::Locker hold(sys_lock_obj());
        s.sys->get_plugin_manager().for_each([](reg::RegPlugin* p) { p->data(); });
    }
    s.sys->on_data();
    if (now - s.last_state_save >= std::uint32_t(std::max(1, options_.state_save_s))) save_state(now);

    const long records = stats_.time_records + stats_.fast_records + stats_.depth_records + stats_.lag_records;
    const int queued = s.writer->get_queue_size();
    // The queue is first in, first out, and only the trip header's texts
    // were queued before the records: whatever waits is the newest records.
    const long written = std::max(0L, records - queued);
    stats_.last_depth = ds.get_depth_z();
    progress_("cycle " + std::to_string(stats_.cycles) + ": depth " + fixed(ds.get_depth_z(), 2) + " m, bit " +
              fixed(ds.get_depth_cur(), 2) + " m, frames " + std::to_string(frames) + ", records " +
              std::to_string(records) + " (queued " + std::to_string(queued) + ", written " + std::to_string(written) +
              ")");
}

void Host::save_state(std::uint32_t now) {
    State& s = *state_;
    s.last_state_save = now;
    // Each piece on its own: a failure of one (logged) keeps the others.
    s.sys->save_to_file(s.well);  // logs its own failure
    try {
        // The queued records are counted before the files are measured: a
        // batch written in between then shows as written before the save,
        // never as a record after it.
        TripFilesMark mark;
        const AnsiString files[TripFilesMark::files] = {s.writer->get_time_file_name(),
                                                         s.writer->get_fast_file_name(),
                                                         s.writer->get_depth_file_name()};
        for (int i = 0; i < TripFilesMark::files; ++i)
            mark.queued[i] = files[i].empty() ? 0 : s.writer->get_queued_records(files[i]);
        for (int i = 0; i < TripFilesMark::files; ++i) {
            std::error_code ec;
            const std::uintmax_t bytes = files[i].empty() ? 0 : fs::file_size(files[i], ec);
            mark.bytes[i] = ec ? 0 : std::int64_t(bytes);
        }
        s.ds->save_conf(s.well + settings_file);
        {
            // After the depths: a save cut between the two leaves the older
            // mark, and the records since it are taken, not the older depths.
            rtl::IniFile ini(s.well + settings_file);
            rtl::IniFile::Batch batch(ini);
            ini.WriteString(mark_section, "рейс", std::to_string(s.trip));
            for (int i = 0; i < TripFilesMark::files; ++i) {
                ini.WriteString(mark_section, mark_keys[i][0], std::to_string(mark.bytes[i]));
                ini.WriteString(mark_section, mark_keys[i][1], std::to_string(mark.queued[i]));
            }
            batch.commit();
        }
        // Where the block is (the configuration's key).
        // What the operator set in the windows (the configuration and the
        // modules' and plug-ins' options) outlives the run.
        {
            lib::Locker hold(sys_lock_obj());
            rtl::IniFile ini(s.settings_path);
            s.config->save_to_ini(&ini);
            s.sys->get_module_list().save_to_ini(&ini);
        }
        rtl::IniFile(s.settings_path).WriteFloat("прочие_настройки", "last_tal", s.block_position);
    } catch (const std::exception& e) {
        log_error(std::string("station_host: the depths were not saved: ") + e.what());
    }
}

reg::System* Host::system() const { return state_->sys; }

std::string Host::time_file_name() const { return state_->writer ? state_->writer->get_time_file_name() : ""; }

double Host::depth() const { return state_->ds ? state_->ds->get_depth_z() : 0; }

double Host::bit_depth() const { return state_->ds ? state_->ds->get_depth_cur() : 0; }

bool Host::line_quiet() const { return state_->in_silence; }

// The turns of run()'s loop, and what a dialog's nested turns share with it.
struct Host::Loop {
    int stop_fd = -1;
    std::int64_t started_ms = 0;  // on the station's monotonic clock
    // Seconds since the loop started.
    double run_s() const { return double(os::clock().now_ms() - started_ms) / 1000.0; }
    std::uint32_t second = 0;  // the wall-clock second of the last cycle
    CommOutData display;
    bool waiting_long = false;    // the port configured for a silent line
    bool stop_looked_at = false;  // by a wait that just ran out
    bool ending = false;
    bool reading = false;  // inside a read or a cycle
    int turns = 0;         // running now: more than one while a dialog is open
    bool shown = false;    // the plug-ins and the window told of the start
    // The wall clock less the monotonic one at the last turn: a change is
    // the clock set back or forward.
    std::int64_t clock_offset_ms = 0;
};

int Host::run(int stop_fd) {
    State& s = *state_;
    // Folders resolved once, as the hub's library resolves them.
    options_.well_folder = resolved_folder(options_.well_folder);
    options_.station_folder = resolved_folder(options_.station_folder);
    options_.plugin_folder = resolved_folder(options_.plugin_folder);
    const std::string station = options_.station_folder.empty() ? options_.well_folder : options_.station_folder;
    PluginsFreed plugins_freed{&s.sys, &s.plugins_initialized};
    ErrorsEchoed errors_echoed{&s.sys};
    try {
        const std::string plugin_folder = check_before_writing(station);
        set_up_hub(station, plugin_folder);
        load_parameter_table(station);
        choose_protocol();
        start_recording();
    } catch (const std::exception& e) {
        log_error(std::string("station_host: ") + e.what());
        return 1;
    }
    progress_("recording trip " + std::to_string(s.trip) + " from " + options_.port + " into " +
              s.writer->get_time_file_name());
    Loop loop;
    loop.stop_fd = stop_fd;
    loop.started_ms = os::clock().now_ms();
    loop.second = lib::get_local_time();
    loop.clock_offset_ms = clock_offset_ms();
    // Cleared as soon as the loop ends, also when a turn throws: what the
    // stop then shows (a plug-in's question) is not a dialog to let go.
    struct NestedTurns {
        std::function<bool()>& turn;
        ~NestedTurns() { turn = nullptr; }
    };
    {
        nested_turn_ = [this, &loop] { return turn(loop); };
        NestedTurns clear{nested_turn_};
        while (turn(loop)) {}
    }
    return stop(stop_fd);
}

std::string Host::check_before_writing(const std::string& station) {
    State& s = *state_;
    if (options_.port.empty()) throw std::runtime_error("no acquisition port given");
    if (options_.well_folder.empty()) throw std::runtime_error("no well folder given");
    if (options_.trip < 0) throw std::runtime_error("bad trip number");
    // What the arguments name is tried before anything is written: a
    // wrong port or folder leaves no set-up, no error log and no trip.
    std::error_code ec;
    if (!options_.plugin_folder.empty() && !fs::is_directory(options_.plugin_folder, ec))
        throw std::runtime_error("no plug-in folder '" + options_.plugin_folder + "'");
    const std::string plugin_folder = options_.plugin_folder.empty() ? default_plugin_folder() : options_.plugin_folder;
    // The hub keeps its files beside "the program": the station folder.
    os::set_program_dir_override(fs::absolute(station).lexically_normal().string());
    CommProtocols& protocols = sys()->get_protocols();
    CommPort& port = protocols.get_port();
    if (!port.open(options_.port))
        throw std::runtime_error("cannot open the port '" + options_.port + "': " + port.last_error());
    protocols.configure_port(CommProtocols::console_protocol);
    // Short reads keep the cycle on its second and a stop quick; the
    // unit sends several frames a second.
    port.configure(57600, CommPort::parity_none, kFrameWaitMs, 2048, false);
    protocols.clear();
    if (!os::make_directories(options_.well_folder)) ec.assign(errno, std::generic_category());
    if (ec) throw std::runtime_error("cannot create the well folder '" + options_.well_folder + "': " + ec.message());
    // A well the host cannot write to, or one another host records
    // into, is refused before anything is written.
    std::string why;
    if (!os::can_create_files_in(options_.well_folder, why))
        throw std::runtime_error("cannot write into the well folder '" + options_.well_folder + "': " + why);
    if (s.well_lock.try_lock(options_.well_folder, well_lock_file) != os::FolderHolderLock::Result::held)
        throw std::runtime_error("the well folder " + s.well_lock.error() +
                                 (s.well_lock.holder() > 0 ? ", another station host recording there" : ""));
    const fs::path well_path(options_.well_folder);
    {
        std::string digits = std::to_string(options_.trip);
        if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
        for (const char* suffix : {".realtim", ".realdep", ".reallag", ".fast.realtim"})
            refuse_odd_file(well_path / (digits + suffix));
    }
    for (const char* name : {settings_file, "sys.bin", "registr.errors.log", event_log_file, ".nolocking"})
        refuse_odd_file(well_path / name);
    refuse_odd_file(fs::path(station) / settings_file);
    refuse_odd_file(fs::path(station) / "registr.errors.log");
    // How the depths were saved last, taken before the start writes
    // anything.
    const fs::path saved = well_path / settings_file;
    s.depths_saved_time = fs::last_write_time(saved, ec);
    s.depths_saved = !ec;
    if (s.depths_saved) s.depths_mark = read_files_mark(saved.string());
    return plugin_folder;
}

void Host::set_up_hub(const std::string& station, const std::string& plugin_folder) {
    State& s = *state_;
    // From here on errors also go to the hub's error log.
    s.sys = sys();
    s.protocols = &s.sys->get_protocols();
    s.sys->get_err_log().set_echo(errors_);
    // The hub's and the plug-ins' beeps (the console's alarm among them)
    // sound on the station's speaker.
    Sound::set_beep(os::play_tone);
    ParTabl::set_beep(os::play_tone);
    for (const std::string& f : ensure_default_setup(station)) progress_("created " + f);
    // The snapshot of the current frame goes to "data" beside the set-up.
    std::error_code ec;
    (void)os::make_directories((fs::path(station) / "data").string());
    s.sys->register_modules();
    s.ds = &s.sys->get_data_storage();
    s.writer = &s.ds->get_real_time_file();
    s.well = folder_prefix(options_.well_folder);
    // Without a file the event log would keep every event in memory.
    s.sys->get_registr_log().set_file_name(options_.well_folder, ".", event_log_file);
    s.port = options_.port;
    s.settings = load_settings(station);
    s.settings_path = (fs::path(station) / settings_file).string();
    s.calc = &s.sys->get_calc_values();
    s.pore = &s.sys->get_pore();
    s.pulses = std::make_unique<DepthPulses>([this](const std::string& m) { log_error(m); });
    Config& config = s.sys->get_config();
    s.config = &config;
    // The host's main window, before the plug-ins take its handle.
    s.requests = std::make_unique<TripRequests>();
    {
        // The hub's settings: its configuration, then the plug-ins (one
        // may set the configuration's record step, and one that is a
        // module joins the registered modules), then the modules' own
        // (the depth sensor's calibration, the well data, the plug-ins').
        lib::Locker hold(sys_lock_obj());
        rtl::IniFile ini(s.settings_path);
        config.load_from_ini(&ini);
        load_plugins(plugin_folder);
        s.sys->get_module_list().load_from_ini(&ini);
        s.block_position = config.last_tal;
    }
    start_plugins();
    take_record_steps();
}

void Host::start_plugins() {
    State& s = *state_;
    // The plug-ins start on the settings just read; they are shown from
    // the loop (show_plugins).
    lib::Locker hold(sys_lock_obj());
    s.plugins_initialized = true;
    s.sys->get_plugin_manager().for_each([](reg::RegPlugin* p) { p->init(); });
}

void Host::show_plugins() {
    // A first show may ask the operator something (a cementing programme
    // that had finished: begin a new one?). It comes from the loop's turn,
    // without the hub's lock, so that the question's own loop gives the
    // recording its turns for as long as it stays open. A window around
    // the run shows a page's plug-in itself as it puts the form into the
    // page: showing it here as well would do twice what a first show does,
    // its questions among it.
    const bool pages_in_window = static_cast<bool>(on_started);
    reg::RegPluginManager& plugins = state_->sys->get_plugin_manager();
    for (int i = 0; i < plugins.get_size(); ++i) {
        reg::RegPlugin* p = plugins.get_item(i);
        reg::PluginInfo info;
        reg::RegPluginManager::get_plugin_info(p, info);
        if (!pages_in_window || !(info.flags & reg::PluginInfo::has_page)) p->show(true);
    }
    if (on_started) {
        try {
            on_started(*this);
        } catch (const std::exception& e) {
            log_error(std::string("window: ") + e.what());
        }
    }
}

void Host::take_record_steps() {
    State& s = *state_;
    const Config& config = *s.config;
    // A step the settings give that no recording can follow would leave
    // a file empty for the whole trip without a word: refused at start.
    if (options_.time_step <= 0 && config.time_step > most_time_step)
        throw std::runtime_error("the time step \"запись_по_времени\" = " + std::to_string(config.time_step) +
                                 " s in '" + s.settings_path + "' is beyond " + std::to_string(most_time_step) +
                                 " s: the time file would get its first record only");
    s.time_step = options_.time_step > 0 ? options_.time_step : std::max(1, config.time_step);
    // The step as the operator typed it (0.2, not the float's 0.2000000030).
    s.depth_step = config.depth_step > 0 ? std::round(double(config.depth_step) * 1000) / 1000 : 0.2;
    if (!(s.depth_step > 0 && s.depth_step <= DataStorage::max_depth))
        throw std::runtime_error("the depth step \"запись_по_глубине\" = " + rtl::FloatToStr(config.depth_step) +
                                 " m in '" + s.settings_path + "' is outside 0.001 to " +
                                 fixed(DataStorage::max_depth, 0) + " m: no depth record could be written");
    s.save_fast = config.save_fast_file;
}

void Host::load_parameter_table(const std::string& station) {
    State& s = *state_;
    lib::Locker hold(sys_lock_obj());
    ParTabl& table = s.ds->get_par_tabl();
    load_table(station, table);
    s.table_path = (fs::path(station) / params_file).string();
    std::error_code ec;
    s.table_time = fs::last_write_time(s.table_path, ec);
    // The plug-ins take their copies of the table as loaded.
    s.sys->get_plugin_manager().call_event(reg::pe_params_changed, std::any());
    s.ds->correct_store_modes();
    s.hook_load = table.find_global("вес_на_крюке");
    s.block = table.find_global("тальблок");
    s.flow_in = table.find_global("расход_на_входе");
    s.pumps[0] = table.find_global("ходы_насоса1");
    s.pumps[1] = table.find_global("ходы_насоса2");
    s.pumps[2] = table.find_global("ходы_насоса3");
}

void Host::choose_protocol() {
    State& s = *state_;
    // The port was opened with the console's protocol before anything
    // was written; a protocol a plug-in registered is known only now.
    if (options_.protocol.empty()) return;
    rtl::StringList names;
    s.protocols->enum_protocols(&names);
    s.protocol = -1;
    for (int i = 0; i < names.Count() && s.protocol < 0; ++i)
        if (names[i] == options_.protocol) s.protocol = i;
    if (s.protocol < 0) throw std::runtime_error("no protocol '" + options_.protocol + "' in the hub's table");
    s.protocols->configure_port(s.protocol);
    s.protocols->get_port().configure(57600, CommPort::parity_none, kFrameWaitMs, 2048, false);
    s.protocols->clear();
}

void Host::start_recording() {
    State& s = *state_;
    for (const std::string& m : s.ds->load_conf(s.well + settings_file)) log_error("depth: refused " + m);
    if (options_.continue_trip && options_.start_depth < 0) take_depths_of_last_record();
    if (options_.start_depth >= 0) {
        const double d = std::min(options_.start_depth, DataStorage::max_depth);
        s.ds->restore_depths(d, d);
    }
    stats_.first_depth = s.ds->get_depth_z();
    s.depth_marks = DepthMarks(s.depth_step, (std::floor(s.ds->get_depth_z() / s.depth_step + 1e-9) + 1) * s.depth_step);

    RealTimeFile& w = *s.writer;
    s.connections.emplace_back(RealTimeFile::connect(
        w.time_signal,
        [this](const ParamsProvider*, float, float, float, char, std::vector<float>*) {
            ++stats_.time_records;
            ++stats_.trip_time_records;
        }));
    s.connections.emplace_back(RealTimeFile::connect(
        w.depth_signal,
        [this](const ParamsProvider*, float, float, float, char, std::vector<float>*) { ++stats_.depth_records; }));
    s.connections.emplace_back(RealTimeFile::connect(
        w.lag_signal,
        [this](const ParamsProvider*, float, float, float, char, std::vector<float>*) { ++stats_.lag_records; }));
    start_trip(options_.trip, options_.continue_trip);
    w.start_save_thread();
    // The trip's start is a point to come back to.
    save_state(lib::get_local_time());
}

void Host::take_depths_of_last_record() {
    State& s = *state_;
    // A host killed outright saved its depths up to a minute before it
    // died; the records it wrote since hold where the bit went meanwhile.
    // Whether there are such records is told by the files alone: the
    // records' stamps and the set-up file's time follow the station's clock
    // and its zone, which may have been set since.
    std::optional<LastRecord> last;
    if (!s.depths_saved) {
        last = last_trip_record(options_.well_folder, options_.trip);
    } else if (s.depths_mark) {
        // Saved by another trip's run: that run came after this trip's
        // records, and its depths are the newer.
        if (s.depths_mark->first != options_.trip) return;
        last = last_trip_record_after(options_.well_folder, options_.trip, s.depths_mark->second);
    } else {
        // Saved by a station that kept no mark: the files' own times, all
        // of one file system, tell which was written last.
        const fs::path well(options_.well_folder);
        std::string digits = std::to_string(options_.trip);
        if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
        bool later = false;
        for (const char* ext : TripFilesMark::extensions) {
            std::error_code ec;
            const fs::file_time_type written = fs::last_write_time(well / (digits + ext), ec);
            later = later || (!ec && written > s.depths_saved_time);
        }
        if (later) last = last_trip_record(options_.well_folder, options_.trip);
    }
    if (!last) return;
    const auto in_range = [](double d) { return std::isfinite(d) && d >= 0 && d <= DataStorage::max_depth; };
    if (!in_range(last->depth_z) || !in_range(last->depth_cur)) {
        log_error("depth: the trip's last record holds no depth a well has (" + fixed(last->depth_z, 2) + " / " +
                  fixed(last->depth_cur, 2) + " m); the saved depths are kept");
        return;
    }
    s.ds->restore_depths(last->depth_z, std::min(last->depth_cur, last->depth_z));
    progress_("depth: " + fixed(last->depth_z, 2) + " m, bit " + fixed(s.ds->get_depth_cur(), 2) +
              " m from the trip's last record, newer than the saved depths");
}

std::int64_t Host::clock_offset_ms() {
    // Both clocks read within one moment: a test clock that jumps both
    // between the reads is read again.
    for (;;) {
        const std::int64_t before = os::clock().now_ms();
        const std::int64_t wall = os::wall_ms();
        const std::int64_t after = os::clock().now_ms();
        if (after - before < kClockStepMs / 2) return wall - after;
    }
}

std::int64_t Host::watch_clock(Loop& l) {
    const std::int64_t offset = clock_offset_ms();
    // Against the turn before, not the start: a clock slewed a little at a
    // time is no step, however far it has gone in all.
    const std::int64_t step_ms = offset - std::exchange(l.clock_offset_ms, offset);
    if (std::abs(step_ms) < kClockStepMs) return 0;
    const std::int64_t step_s = std::llround(double(step_ms) / 1000.0);
    State& s = *state_;
    log_error("clock: the station's clock was set " + std::string(step_s < 0 ? "back" : "forward") + " by " +
              std::to_string(std::abs(step_s)) + " s" +
              (s.recording ? " while recording trip " + std::to_string(s.trip) + "; its records keep the clock's time"
                           : ""));
    return step_s;
}

bool Host::loop_over(Loop& l) {
    return (!std::exchange(l.stop_looked_at, false) && stop_requested(l.stop_fd)) ||
           (options_.duration_s > 0 && l.run_s() >= options_.duration_s);
}

// One turn: the port read, the second's cycle, then the plug-ins' requests,
// the operator and the window. A modal dialog of the window runs further
// turns from its own loop (serve_turn), so the recording goes on while it is
// open; those come only while this turn is past its read and cycle, never
// inside them.
bool Host::turn(Loop& l) {
    State& s = *state_;
    if (l.ending) return false;
    if (l.reading) return true;
    if (loop_over(l)) {
        l.ending = true;
        return false;
    }
    ++l.turns;
    struct Leave {
        int& turns;
        ~Leave() { --turns; }
    } leave{l.turns};
    {
        l.reading = true;
        struct Reading {
            bool& reading;
            ~Reading() { reading = false; }
        } in_read{l.reading};
        read_port(l);
        const std::uint32_t now = lib::get_local_time();
        // A step of the clock starts no cycle of its own: the second it
        // landed in is the clock's new count of the second the cycle had,
        // or of the next one when that began meanwhile.
        const std::int64_t step_s = watch_clock(l);
        if (std::uint32_t(now - std::uint32_t(step_s)) != l.second) {
            l.second = now;
            on_second(l, now);
        }
        l.second = now;
    }
    if (!l.shown) {
        l.shown = true;
        show_plugins();
    }
    // The plug-ins' posted work and requests, then the operator.
    try {
        for (int request : s.requests->take()) answer_trip_request(request);
        // The operator presses nothing behind an open dialog: his presses
        // wait until it has closed. Each press says its own second: on a
        // slow machine two that are due may come in one turn, and what the
        // plug-in times is when each really came.
        for (double at = l.run_s();
             l.turns == 1 && s.next_press < options_.presses.size() && options_.presses[s.next_press].first <= at;
             at = l.run_s())
            press(options_.presses[s.next_press++].second, at);
    } catch (const std::exception& e) {
        log_error(std::string("request: ") + e.what());
    }
    if (on_turn) on_turn();
    return !l.ending;
}

void Host::read_port(Loop& l) {
    State& s = *state_;
    // A silent line is waited on together with the stop request and read
    // only once a byte comes: an empty read would pause after it and the
    // stop would be polled apart, three wake-ups where one does. Without a
    // window to keep answering, the wait lasts until the next second's cycle
    // is due (the plug-ins' posted work and requests then wait at most a
    // second too); a window is served as often as before. Only the
    // acquisition unit talks unasked: a plug-in's device (the cementing
    // station) answers requests that its read sends first.
    bool read_now = true;
    CommPort& port = s.protocols->get_port();
    // Every wait on the line, reads and writes alike, ends at a stop request.
    port.set_wake_fd(l.stop_fd);
    // Until the next cycle is due, and no longer than the run.
    const auto until_due = [&](int wait) {
        if (options_.duration_s <= 0) return wait;
        const double left = options_.duration_s - l.run_s();
        return static_cast<int>(std::clamp(left * 1000.0 + 1.0, 0.0, double(wait)));
    };
    if (s.in_silence && s.protocol == CommProtocols::console_protocol) {
        const int wait = until_due(on_turn ? kSilentWaitMs : ms_to_next_second());
        const CommPort::wait_result waited = port.wait_for_input(wait, l.stop_fd);
        read_now = waited == CommPort::wait_result::input;
        l.stop_looked_at = waited == CommPort::wait_result::timeout;
    }
    if (!read_now) return;
    CommIncomData d;
    // A line that trickles or stays silent never holds the cycle past its
    // second: the read ends when the next one is due, and a frame it cut is
    // read on from where it was next turn. A plug-in's device answers the
    // request its read sends, at that read's own pace (one exchange a second
    // of the monotonic clock, not of the wall clock the cycle keeps), under
    // the port's time-outs: a deadline of the cycle's would cut its answer.
    const bool paced = s.protocol == CommProtocols::console_protocol;
    if (paced) port.set_deadline(until_due(ms_to_next_second()));
    const bool read = s.protocols->read_data(s.protocol, &d);
    if (paced) port.clear_deadline();
    if (!read) {
        ++stats_.failed_reads;
        return;
    }
    try {
        on_frame(d);
    } catch (const std::exception& e) {
        log_error(std::string("frame: ") + e.what());
    }
}

void Host::on_second(Loop& l, std::uint32_t now) {
    State& s = *state_;
    try {
        cycle(now);
    } catch (const std::exception& e) {
        log_error(std::string("cycle: ") + e.what());
    }
    // The console's display follows the frame once a second, then a
    // configuration block when a plug-in has one.
    if (!s.in_silence) {
        s.protocols->send_data(s.protocol, &l.display);
        send_console_block();
    }
    reload_changed_table();
    // A silent line is waited on longer, so that a host with nothing to
    // record wakes a few times a second instead of ten; a byte that comes
    // ends the wait at once.
    if (s.in_silence != l.waiting_long) {
        l.waiting_long = s.in_silence;
        s.protocols->get_port().configure(57600, CommPort::parity_none, l.waiting_long ? kSilentWaitMs : kFrameWaitMs,
                                          2048, false);
    }
}

// Clean stop: nothing accepted is lost, unless the disk refuses it; then the
// stop still ends within its wait, or at once on a second signal.
int Host::stop(int stop_fd) {
    State& s = *state_;
    // What the signal left in the pipe is taken, so that a second signal
    // shows as a new one.
    if (stop_fd >= 0) {
        char drained[64];
        while (::read(stop_fd, drained, sizeof drained) > 0) {}
    }
    int status = 0;
    RealTimeFile& w = *s.writer;
    const bool was_recording = s.recording;
    try {
        // The trip still open ends here; the writer then gets its bounded
        // wait before the hub is told the work is over.
        if (was_recording) end_trip(false);
    } catch (const std::exception& e) {
        log_error(std::string("stop: ") + e.what());
        status = 3;
    }
    const std::int64_t give_up = os::clock().now_ms() + stop_wait_ms;
    bool cut_short = false;
    while (w.get_queue_size() > 0 && os::clock().now_ms() < give_up) {
        if (stop_requested(stop_fd)) {
            cut_short = true;
            break;
        }
        w.wait_until_written(std::chrono::milliseconds(100));
    }
    if (cut_short) progress_("stop: a second signal; not waiting for the writer");
    w.stop_save_thread();
    stats_.queued_at_end = w.get_queue_size();
    const long unwritten = w.get_queued_records();
    try {
        if (was_recording) s.sys->after_work(s.well);
    } catch (const std::exception& e) {
        log_error(std::string("stop: ") + e.what());
        status = 3;
    }
    {
        // What the plug-ins could not write counts as the host's own records
        // do: the run did not keep everything.
        std::vector<std::string> unwritten;
        {
            lib::Locker hold(sys_lock_obj());
            s.sys->get_plugin_manager().call_event(reg::pe_unwritten_files, std::any(&unwritten));
        }
        for (const std::string& f : unwritten) log_error("station_host: a plug-in's file left unwritten: " + f);
        if (!unwritten.empty()) status = 3;
    }
    save_state(lib::get_local_time());
    s.connections.clear();
    s.protocols->get_port().close();
    if (stats_.queued_at_end > 0) {
        log_error("station_host: " + std::to_string(unwritten) + " records in " + std::to_string(stats_.queued_at_end) +
                  " batches could not be written to " + s.well);
        status = 3;
    }
    stats_.line_faults = s.protocols->get_port().line_faults();
    if (stats_.line_faults > 0) {
        log_error("station_host: the line " + s.port + " stopped taking bytes " + std::to_string(stats_.line_faults) +
                  " times; the seconds it held up were not all recorded");
        if (status == 0) status = 5;
    }
    if (stats_.frames == 0) {
        log_error("station_host: no frame came from the device on " + s.port + " in " + std::to_string(stats_.cycles) +
                  " s; nothing was recorded");
        if (status == 0) status = 4;
    }
    stats_.last_depth = s.ds->get_depth_z();
    progress_("summary: " + std::to_string(stats_.cycles) + " cycles, " + std::to_string(stats_.frames) + " frames, " +
              std::to_string(stats_.lost_blocks) + " lost blocks, " + std::to_string(stats_.quiet_cycles) +
              " s without data in " + std::to_string(stats_.silences) + " silences; records: " +
              std::to_string(stats_.time_records) + " time, " + std::to_string(stats_.fast_records) + " fast, " +
              std::to_string(stats_.depth_records) + " depth, " + std::to_string(stats_.lag_records) + " lag; depth " +
              fixed(stats_.first_depth, 2) + " -> " + fixed(stats_.last_depth, 2) + " m; files " + s.well);
    return status;
}

void Host::start_trip(int trip, bool continued) {
    State& s = *state_;
    Config& config = *s.config;
    {
        // The trip header takes the trip and the record step from the
        // configuration.
        lib::Locker hold(sys_lock_obj());
        config.nomer_dolbleniya = trip;
        config.get_race_info().race_num = trip;
        config.time_step = s.time_step;
    }
    RealTimeFile& w = *s.writer;
    w.calculate_file_names(s.well, trip);
    w.set_filenames_to_values();
    s.trip = trip;
    s.recording = true;
    s.last_time_record = 0;
    s.samples_since_time_record = 0;
    s.sys->before_work(trip, continued, s.well);
    s.sys->fill_cur_files_list();
    stats_.trip_time_records = continued ? lib::realtime::count_records(time_file_name()) : 0;
    if (!continued) w.clear_all_file_values();
    w.save_start_values(continued);
}

void Host::end_trip(bool finish) {
    State& s = *state_;
    RealTimeFile& w = *s.writer;
    // The samples since the last time record make one more: a stop loses
    // none of them.
    if (s.samples_since_time_record > 0 && !s.in_silence) w.save_time_values();
    s.samples_since_time_record = 0;
    stats_.lag_records += long(w.lag_lines().size());
    // The program's own stop must not wait on a failing disk here: it gives
    // the writer a bounded wait of its own afterwards.
    if (finish)
        w.flash_lag_data();
    else
        w.flash_lag_data(std::chrono::milliseconds(0));
    w.save_end_values();
    s.recording = false;
    if (!finish) return;
    s.sys->after_work(s.well);
    save_state(lib::get_local_time());
}

void Host::send_console_block() {
    State& s = *state_;
    if (s.protocol != CommProtocols::console_protocol) return;
    if (s.console_block.empty()) {
        lib::Locker hold(sys_lock_obj());
        s.sys->get_plugin_manager().for_each([&s](reg::RegPlugin* p) {
            if (s.console_block.empty()) p->send_data_to_pult(s.console_header, s.console_block);
        });
    }
    if (s.console_block.empty()) return;
    // Outside the hub lock: the port's lock comes first, the hub's inside it.
    // The console has just reported (the display went out on its frame), so
    // the block follows without waiting for further reports; one the line
    // refused is sent again next second.
    if (s.protocols->configure_pult1(s.console_header.c_str(), s.console_block.data(), int(s.console_block.size()),
                                     false)) {
        s.console_block.clear();
        s.console_header.clear();
    }
}

void Host::reload_changed_table() {
    State& s = *state_;
    if (s.table_path.empty()) return;
    std::error_code ec;
    const fs::file_time_type now = fs::last_write_time(s.table_path, ec);
    if (ec || now == s.table_time) return;
    s.table_time = now;
    try {
        ParTabl fresh;
        load_table(fs::path(s.table_path).parent_path().string(), fresh);
        {
            lib::Locker hold(sys_lock_obj());
            ParTabl& table = s.ds->get_par_tabl();
            // The same parameters, recalibrated: the positions the frame and
            // the files use stay valid only then.
            bool same = fresh.get_items_count() == table.get_items_count();
            for (int i = 0; same && i < table.get_items_count(); ++i)
                same = fresh.at(i).global_name == table.at(i).global_name;
            if (!same) {
                log_error("parameter table: " + s.table_path +
                          " now lists other parameters; they are taken at the next start");
                return;
            }
            for (int i = 0; i < table.get_items_count(); ++i) table[i] = fresh.at(i);
        }
        progress_("parameter table: " + s.table_path + " read again");
        s.sys->params_changed_signal();
    } catch (const std::exception& e) {
        log_error("parameter table: " + std::string(e.what()));
    }
}

bool Host::recording() const { return state_->recording; }
int Host::trip() const { return state_->trip; }
reg::System* Host::state_sys() const { return state_->sys; }
const std::string& Host::well() const { return state_->well; }

int Host::new_trip_number() const {
    return next_new_trip(state_->well.empty() ? resolved_folder(options_.well_folder) : state_->well, trip());
}

}  // namespace station_host
