#include "tools/station_host/host.h"

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <stdexcept>
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
#include "library/lock_object.h"
#include "library/time_conv.h"
#include "platform/os/paths.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "tools/station_host/hub_calc.h"
#include "tools/station_host/station_setup.h"

namespace station_host {

namespace {
// How long a read of the port waits for its first byte while frames come,
// and while the line is silent (under half a second, so that a cycle and a
// stop are never later than that).
constexpr int kFrameWaitMs = 100;
constexpr int kSilentWaitMs = 450;
}  // namespace

namespace fs = std::filesystem;

namespace {

std::string fixed(double v, int digits) {
    return rtl::FormatFloat(digits == 0 ? "0" : "0." + std::string(std::size_t(digits), '0'), v);
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
    double next_depth_mark = 0;
    bool in_silence = false;
    long silence_start_cycle = 0;
    std::vector<boost::signals2::scoped_connection> connections;
};

namespace {

// The plug-ins are freed on every way out of a run: the hub's root lives on
// to the end of the process, the plug-in objects must not.
struct PluginsFreed {
    reg::System* const* sys;
    ~PluginsFreed() {
        if (!*sys) return;
        lib::Locker hold(sys_lock_obj());
        (*sys)->get_plugin_manager().free();
    }
};

std::string default_plugin_folder(const std::string& station) {
    fs::path p = fs::absolute(station).lexically_normal();
    if (p.filename().empty()) p = p.parent_path();
    return (p.parent_path() / "plugins").string();
}

}  // namespace

Host::Host(HostOptions options, Out progress, Out errors)
    : options_(std::move(options)), progress_(std::move(progress)), errors_(std::move(errors)),
      state_(std::make_unique<State>()) {}

Host::~Host() = default;

void Host::log_error(const std::string& message) {
    if (state_->sys) state_->sys->get_err_log().add(message);
    errors_(message);
}

void Host::load_plugins(const std::string& station) {
    const bool asked = !options_.plugin_folder.empty();
    const std::string folder = asked ? options_.plugin_folder : default_plugin_folder(station);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (asked) throw std::runtime_error("no plug-in folder '" + folder + "'");
        return;
    }
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
        const double from_well =
            annulus_capacity(*s.pore, ds.get_depth_cur(), s.config->get_race_info().kavern_koeff);
        if (from_well > 0) annulus = from_well;
        ParTabl& table = ds.get_par_tabl();
        // Sensors read from the unit fail together when it falls silent.
        for (int i = 0; i < table.get_items_count(); ++i)
            if (table.at(i).channel >= 0) ds.crush_flags[i] = frames == 0 ? 1 : 0;
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
    } else {
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
        // annulus.
        while (ds.get_depth_z() >= s.next_depth_mark - 1e-9) {
            w.save_depth_values(float(s.next_depth_mark), 0);
            ds.get_delayed_depth().add_record({float(s.next_depth_mark), float(s.next_depth_mark)});
            s.next_depth_mark = (std::round(s.next_depth_mark / s.depth_step) + 1) * s.depth_step;
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

    const long records = stats_.time_records + stats_.fast_records + stats_.depth_records + stats_.lag_records;
    const int queued = s.writer->get_queue_size();
    // The queue is first in, first out, and only the trip header's texts
    // were queued before the records: whatever waits is the newest records.
    const long written = std::max(0L, records - queued);
    stats_.last_depth = ds.get_depth_z();
    progress_("cycle " + std::to_string(stats_.cycles) + ": depth " + fixed(ds.get_depth_z(), 2) + " m, bit " +
              fixed(ds.get_depth_cur(), 2) + " m, frames " + std::to_string(frames) + ", records " +
              std::to_string(records) + " (queued " + std::to_string(queued) + ", written " +
              std::to_string(written) + ")");
}

int Host::run(int stop_fd) {
    State& s = *state_;
    const std::string station = options_.station_folder.empty() ? options_.well_folder : options_.station_folder;
    PluginsFreed plugins_freed{&s.sys};
    try {
        if (options_.port.empty()) throw std::runtime_error("no acquisition port given");
        if (options_.well_folder.empty()) throw std::runtime_error("no well folder given");
        if (options_.trip < 0) throw std::runtime_error("bad trip number");
        for (const std::string& f : ensure_default_setup(station)) progress_("created " + f);
        std::error_code ec;
        fs::create_directories(options_.well_folder, ec);
        if (ec) throw std::runtime_error("cannot create the well folder '" + options_.well_folder + "': " + ec.message());
        // The snapshot of the current frame goes to "data" beside the set-up.
        fs::create_directories(fs::path(station) / "data", ec);

        // The hub keeps its files beside "the program": the station folder.
        os::set_program_dir_override(fs::absolute(station).lexically_normal().string());
        s.sys = sys();
        s.sys->register_modules();
        s.ds = &s.sys->get_data_storage();
        s.writer = &s.ds->get_real_time_file();
        s.protocols = &s.sys->get_protocols();
        s.well = folder_prefix(options_.well_folder);
        s.port = options_.port;
        s.settings = load_settings(station);
        s.settings_path = (fs::path(station) / settings_file).string();
        s.calc = &s.sys->get_calc_values();
        s.pore = &s.sys->get_pore();
        s.pulses = std::make_unique<DepthPulses>([this](const std::string& m) { log_error(m); });
        Config& config = s.sys->get_config();
        s.config = &config;
        {
            // The hub's settings: its configuration, then the plug-ins (one
            // may set the configuration's record step, and one that is a
            // module joins the registered modules), then the modules' own
            // (the depth sensor's calibration, the well data, the plug-ins').
            lib::Locker hold(sys_lock_obj());
            rtl::IniFile ini(s.settings_path);
            config.load_from_ini(&ini);
            load_plugins(station);
            s.sys->get_module_list().load_from_ini(&ini);
            s.block_position = config.last_tal;
        }
        s.time_step = options_.time_step > 0 ? options_.time_step : std::max(1, config.time_step);
        // The step as the operator typed it (0.2, not the float's 0.2000000030).
        s.depth_step = config.depth_step > 0 ? std::round(double(config.depth_step) * 1000) / 1000 : 0.2;
        s.save_fast = config.save_fast_file;

        {
            lib::Locker hold(sys_lock_obj());
            ParTabl& table = s.ds->get_par_tabl();
            load_table(station, table);
            s.ds->correct_store_modes();
            s.hook_load = table.find_global("вес_на_крюке");
            s.block = table.find_global("тальблок");
            s.flow_in = table.find_global("расход_на_входе");
            s.pumps[0] = table.find_global("ходы_насоса1");
            s.pumps[1] = table.find_global("ходы_насоса2");
            s.pumps[2] = table.find_global("ходы_насоса3");
        }

        // The port before anything is written: a wrong port leaves no trip.
        CommPort& port = s.protocols->get_port();
        if (!port.open(options_.port))
            throw std::runtime_error("cannot open the port '" + options_.port + "': " + port.last_error());
        s.protocols->configure_port(CommProtocols::console_protocol);
        // Short reads keep the cycle on its second and a stop quick; the
        // unit sends several frames a second.
        port.configure(57600, CommPort::parity_none, kFrameWaitMs, 2048, false);
        s.protocols->clear();

        s.ds->load_conf(s.well + settings_file);
        if (options_.start_depth >= 0) {
            const double d = std::min(options_.start_depth, DataStorage::max_depth);
            s.ds->restore_depths(d, d);
        }
        stats_.first_depth = s.ds->get_depth_z();
        s.next_depth_mark = (std::floor(s.ds->get_depth_z() / s.depth_step + 1e-9) + 1) * s.depth_step;

        {
            // The trip header takes the trip and the record step from the
            // configuration.
            lib::Locker hold(sys_lock_obj());
            config.nomer_dolbleniya = options_.trip;
            config.get_race_info().race_num = options_.trip;
            config.time_step = s.time_step;
        }
        RealTimeFile& w = *s.writer;
        w.calculate_file_names(s.well, options_.trip);
        w.set_filenames_to_values();
        s.sys->before_work(options_.trip, options_.continue_trip, s.well);
        s.sys->fill_cur_files_list();
        if (!options_.continue_trip) w.clear_all_file_values();
        s.connections.emplace_back(RealTimeFile::connect(
            w.time_signal, [this](const ParamsProvider*, float, float, float, char, std::vector<float>*) {
                ++stats_.time_records;
            }));
        s.connections.emplace_back(RealTimeFile::connect(
            w.depth_signal, [this](const ParamsProvider*, float, float, float, char, std::vector<float>*) {
                ++stats_.depth_records;
            }));
        s.connections.emplace_back(RealTimeFile::connect(
            w.lag_signal, [this](const ParamsProvider*, float, float, float, char, std::vector<float>*) {
                ++stats_.lag_records;
            }));
        w.save_start_values(options_.continue_trip);
        w.start_save_thread();
    } catch (const std::exception& e) {
        log_error(std::string("station_host: ") + e.what());
        return 1;
    }

    progress_("recording trip " + std::to_string(options_.trip) + " from " + options_.port + " into " +
              s.writer->get_time_file_name());
    const auto started = std::chrono::steady_clock::now();
    std::uint32_t second = lib::get_local_time();
    CommOutData display;
    bool waiting_long = false;
    while (!stop_requested(stop_fd)) {
        if (options_.duration_s > 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() >= options_.duration_s)
            break;
        CommIncomData d;
        if (s.protocols->read_data(CommProtocols::console_protocol, &d)) {
            try {
                on_frame(d);
            } catch (const std::exception& e) {
                log_error(std::string("frame: ") + e.what());
            }
        } else {
            ++stats_.failed_reads;
        }
        const std::uint32_t now = lib::get_local_time();
        if (now != second) {
            second = now;
            try {
                cycle(now);
            } catch (const std::exception& e) {
                log_error(std::string("cycle: ") + e.what());
            }
            // The console's display follows the frame once a second.
            if (!s.in_silence) s.protocols->send_data(CommProtocols::console_protocol, &display);
            // A silent line is waited on longer, so that a host with nothing
            // to record wakes a few times a second instead of ten; a byte
            // that comes ends the wait at once.
            if (s.in_silence != waiting_long) {
                waiting_long = s.in_silence;
                s.protocols->get_port().configure(57600, CommPort::parity_none,
                                                  waiting_long ? kSilentWaitMs : kFrameWaitMs, 2048, false);
            }
        }
    }

    // Clean stop: nothing accepted is lost.
    int status = 0;
    RealTimeFile& w = *s.writer;
    try {
        // The samples since the last time record make one more: a stop
        // loses none of them.
        if (s.samples_since_time_record > 0 && !s.in_silence) w.save_time_values();
        stats_.lag_records += long(w.lag_lines().size());
        w.flash_lag_data();
        w.save_end_values();
        w.stop_save_thread();
        stats_.queued_at_end = w.get_queue_size();
        s.sys->after_work(s.well);
        s.sys->save_to_file(s.well);
        s.ds->save_conf(s.well + settings_file);
        // Where the block is, for the next run (the configuration's key).
        rtl::IniFile(s.settings_path).WriteFloat("прочие_настройки", "last_tal", s.block_position);
    } catch (const std::exception& e) {
        log_error(std::string("stop: ") + e.what());
        status = 3;
    }
    s.connections.clear();
    s.protocols->get_port().close();
    if (stats_.queued_at_end > 0) {
        log_error("station_host: " + std::to_string(stats_.queued_at_end) +
                  " batches of records could not be written to " + s.well);
        status = 3;
    }
    if (stats_.frames == 0) {
        log_error("station_host: no frame came from the device on " + s.port + " in " +
                  std::to_string(stats_.cycles) + " s; nothing was recorded");
        if (status == 0) status = 4;
    }
    stats_.last_depth = s.ds->get_depth_z();
    progress_("summary: " + std::to_string(stats_.cycles) + " cycles, " + std::to_string(stats_.frames) +
              " frames, " + std::to_string(stats_.lost_blocks) + " lost blocks, " +
              std::to_string(stats_.quiet_cycles) + " s without data in " + std::to_string(stats_.silences) +
              " silences; records: " + std::to_string(stats_.time_records) + " time, " +
              std::to_string(stats_.fast_records) + " fast, " + std::to_string(stats_.depth_records) +
              " depth, " + std::to_string(stats_.lag_records) + " lag; depth " + fixed(stats_.first_depth, 2) +
              " -> " + fixed(stats_.last_depth, 2) + " m; files " + s.well);
    return status;
}

}  // namespace station_host
