#pragma once
// CementPlugin: the cementing plug-in object. It declares the job's
// parameters, puts the cementing-control station's protocol into the hub's
// table, follows the job (wells, stages, the programme's elements) and
// integrates the pumped volumes each data cycle.
//
// Threads: the hub's reading thread runs the station exchange (it only
// takes the packet values the main thread published); data() runs on the
// host's cycle and only posts the data cycle to the main thread; everything
// else runs on the main thread. Hub values are touched under sys_lock_obj().

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/reg_plugin.h"
#include "plugins/cement/cement_data.h"
#include "plugins/cement/cement_protocol.h"
#include "plugins/cement/cement_sections.h"

class TCementForm;

namespace cement {
// Requests to the host (message 1033's wParam).
constexpr int host_message = 1033;
constexpr int request_new_trip = 0, request_continue = 1, request_stop = 2;
// Commands of the dispatcher.
constexpr int cmd_settings = 7, cmd_next = 8, cmd_back = 9, cmd_report = 10;
}  // namespace cement

// The live values of the data cycle and what the section calculation uses:
// written on the main thread, copied whole by readers under its lock.
struct CementLiveData {
    instr::Items instr;
    std::vector<pore::PoreSection> sections;
    std::map<AnsiString, float> values;
    // No good frame from the station within a frame's hold: the values are
    // the last it gave; silent_since is the date-time the silence began.
    bool stale = false;
    double silent_since = 0;

    // A name not held reads 0.
    float get(const AnsiString& name) const;
};

class CementPlugin : public reg::RegPlugin {
public:
    CementPlugin();
    ~CementPlugin() override;

    void fill_plugin_info(reg::PluginInfo& info) override;
    void start_registration(int race_num, bool load) override;
    void stop_registration() override;
    void data() override;
    void show(bool first) override;
    void init() override;
    void finalize() override;
    void event(reg::PluginEventType type, const std::any& payload) override;
    ui::TForm* get_form() override;
    void before_new_pore() override;

    virtual void reserved_operation();
    virtual AnsiString class_name() const;
    virtual void enum_plan_options(lib::options_list& list);

    // ---- the job (main thread) ---------------------------------------------
    void command(int cmd);
    // One data cycle; with store a curve point is added while an element runs
    // and the station's good frames vouch for the cycle.
    void data_cycle(bool store);
    void add_point(double t, const std::map<AnsiString, float>& values);
    // Recomputes the volumes of the points stored between the date-times a
    // and b (b 0: up to the last point).
    void reintegrate(double a, double b);
    void make_element_report(int i, bool remake);
    // What the settings dialog's OK leads to: the fluids saved, the reports
    // of the stage remade, the density channel aligned with its mode.
    void apply_settings();
    // The settings dialog; true when the operator closed it with OK. Unset:
    // TCementOptionsForm on the job.
    std::function<bool()> settings_dialog;
    bool run_settings_dialog();
    // Hands the shown monitor the published values, the programme and the
    // profile, and repaints its chart.
    void refresh_window();
    void save_report_data(const std::string& base_path);

    void new_well(const AnsiString& name);
    void continue_well(const AnsiString& name);
    void finish_well();
    void new_stage(int n);
    void continue_stage(int n);
    void finish_stage(bool ask);

    // File routines with their log lines.
    void save_fluids(const std::string& path);
    void load_fluids(const std::string& path);
    void save_programme(const std::string& path);
    bool load_programme(const std::string& path);
    void save_points(const std::string& path, bool said = true);
    void load_points(const std::string& path);
    void load_last_stage(const std::string& path);
    void save_last_stage(const std::string& path);
    bool load_view_settings(const std::string& path);
    void save_view_settings(const std::string& path);

    // ---- paths ---------------------------------------------------------------
    std::string exe_folder() const;  // with its separator
    std::string fluids_path() const;
    std::string cement_folder() const;  // with its separator
    std::string settings_path() const;
    std::string programme_path(int n) const;
    std::string points_path(int n) const;
    std::string report_base(int n) const;

    // ---- state the window and the tests read ---------------------------------
    CementData& job() { return data_; }
    ChartPoints& points() { return points_; }
    const SectionsResult& sections() const { return sections_; }
    const AnsiString& calc_error() const { return calc_error_; }
    const AnsiString& well_name() const { return well_; }
    CementLiveData live() const;
    float live_value(const AnsiString& name) const;
    cement::StationLink& link() { return link_; }
    bool registration_running() const { return registration_; }
    bool may_start() const { return may_start_; }
    bool continuing() const { return continuing_; }
    bool finish_requested() const { return finish_requested_; }
    bool window_shown() const { return window_shown_; }
    int protocol_row() const { return protocol_row_; }

    // The job's files that could not be written (a full or read-only disk, a
    // link planted in a file's place), as "<file>: <cause>". What they
    // should hold is kept in memory and written again at every later save
    // and at the stop.
    std::vector<std::string> unwritten_files() const;
    // The longest time between two saves of the points while a stage runs,
    // s: what a crash can lose.
    static constexpr double points_save_interval = 5.0;
    // The largest calibration file an element loads; a table of points is a
    // few kilobytes.
    static constexpr std::uint64_t max_calibration_bytes = std::uint64_t{1} << 20;
    // The report program the monitor's "Отчет" starts: beside the running
    // program, where the station's programs are installed (tests name a
    // folder of their own).
    std::string report_program() const;
    void set_programs_folder(std::string folder) { programs_folder_ = std::move(folder); }

    // The cycles' steps are measured on os::clock(), as the line's frames
    // are. The date-time of points and element times: rtl::Now() unless set.
    void set_date_time_source(std::function<double()> now) { date_time_ = std::move(now); }
    // The longest step one cycle integrates over, s.
    static constexpr double max_cycle_step = 10.0;

private:
    // The root the host handed in; its absence is a fault of the caller.
    reg::System& hub() const;
    void log(const AnsiString& text);
    // A file of the job kept in memory after its write failed.
    struct KeptWrite {
        std::string key, file, cause;
        std::function<void()> write;
    };
    // Writes a file of the job through write_now after the files kept
    // earlier; when it fails the file is kept (keep gives what writes it
    // again later; none: write_now itself), said in the log and the monitor.
    // False when it failed.
    bool write_job_file(const std::string& key, const std::string& file, const std::function<void()>& write_now,
                        const std::function<std::function<void()>()>& keep = {});
    // Writes again what was kept, but the file of skip_key.
    void write_kept(const std::string& skip_key = {});
    void show_unwritten();
    void keep_programme();
    void keep_points(bool said = true);
    void keep_last_stage();
    void keep_fluids();
    void keep_element_report(int i, bool remake);
    // Starts the plug-in's recording of its stage (the host records already).
    void begin_registration(int stage, bool load);
    // The running element's sums from the points stored since its start.
    void recount_running_element();
    // The element's calibration, read outside the hub lock.
    void load_calibration(const CementProgramElement& e);
    // Runs a file step; its failure is logged (naming the file) and the job
    // goes on. False when it failed.
    bool guarded(const std::function<void()>& step);
    // The well's cementing and report folders, made when missing.
    void ensure_folders() const;
    void next_element();
    void previous_element();
    void request_host(int wparam);
    void start_report_program();
    void align_density_parameter();
    void refresh_after_command();
    void publish_packet();
    double now_date_time() const;
    // Follows the station's line at a cycle (mono on os::clock(), t its
    // date-time): true while good frames come; a silence's start and end
    // are logged, and its span kept for the stage's remarks.
    bool follow_line(std::int64_t mono, double t);
    void end_silence(double to);
    static std::string clock_text(double t);

    cement::StationLink link_;
    bool window_shown_ = false;
    CementData data_;
    TReportOptions report_;
    SectionsResult sections_;
    AnsiString calc_error_;
    ChartPoints points_;
    AnsiString well_;
    std::optional<std::int64_t> prev_cycle_;  // os::clock() ms
    std::optional<double> silent_since_;
    double recording_start_ = 0;
    mutable std::mutex live_mutex_;
    CementLiveData live_;
    bool may_start_ = false;
    bool finish_requested_ = false;
    bool registration_ = false;
    bool continuing_ = false;
    int protocol_row_ = -1;
    CommProtocols* protocols_ = nullptr;  // the table the row is in
    TCementForm* form_ = nullptr;
    std::function<double()> date_time_;
    std::shared_ptr<bool> alive_;
    std::vector<KeptWrite> kept_;
    // os::clock() ms of the last save of the points.
    std::optional<std::int64_t> points_saved_;
    // Between the host's start and stop of a recording, whether or not the
    // plug-in took part in it.
    bool host_recording_ = false;
    std::string programs_folder_;
};

// The one plug-in object of the library (null when none lives).
CementPlugin* cement_plugin();

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t handle);
