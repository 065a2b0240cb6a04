#include "plugins/cement/cement_plugin.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/comm_protocols.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/race_info.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "library/mess_caller.h"
#include "library/numeric/numeric.h"
#include "library/time_conv.h"
#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "platform/rtl/datetime.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_files.h"
#include "plugins/cement/cement_form.h"
#include "plugins/cement/cement_options_form.h"
#include "plugins/cement/cement_points.h"
#include "plugins/cement/cement_report.h"

namespace fs = std::filesystem;
using namespace cement;

namespace {

CementPlugin* g_plugin = nullptr;

// The text of a calculation that failed with something other than a
// standard exception.
const char* const calc_failure = "Ошибка при расчёте. Возможно, что введены не все данные";

struct ParamRow {
    const char* name;
    const char* caption;
    const char* variable;
    const char* unit;
    int channel, averaging, group;
    float range, zero, min_value, max_value;
};

const ParamRow param_rows[] = {
    {"cem_davl", "Давление СКЦ", "давл_скц", "атм", 0, 1, 1, 600, 0, 0, 600},
    {"cem_plotn", "Плотность СКЦ", "плотн_скц", "г/см3", 1, 1, 1, 2.5f, 0, 1.0f, 2.0f},
    {"cem_plan_plotn", "Плановая плотность СКЦ", "план_плотн_скц", "г/см3", -1, 30, 1, 2.5f, 0, 1.0f, 2.0f},
    {"cem_temp", "Температура СКЦ", "темп_скц", "°C", 2, 1, 1, 100, 0, 0, 100},
    {"cem_rasx", "Расход СКЦ", "расх_скц", "л/c", 3, 1, 1, 100, 0, 0, 100},
    {"cem_plan_rasx", "Плановый расход СКЦ", "план_расх_скц", "л/c", -1, 1, 1, 50, 0, 0, 100},
    {"cem_V", "Объем этапа СКЦ", "V_скц", "м3", -1, 1, 1, 100, 0, 0, 100},
    {"cem_plan_V", "Плановый объем этапа СКЦ", "V_план_скц", "м3", -1, 1, 1, 100, 0, 0, 100},
    {"cem_Vsumm", "Объем суммарный СКЦ", "V_summ_скц", "м3", -1, 1, 1, 1000, 0, 0, 1000},
};

std::string with_separator(std::string s) {
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
}

// The hub's current value of a parameter the table has; none when it has not.
std::optional<double> table_value(DataStorage& ds, const char* name) {
    if (ds.get_par_tabl().find_global(name) < 0) return std::nullopt;
    return ds.current_values[name];
}

void set_table_value(DataStorage& ds, const char* name, double v) {
    if (ds.get_par_tabl().find_global(name) >= 0) ds.current_values[name] = v;
}

}  // namespace

CementPlugin* cement_plugin() { return g_plugin; }

float CementLiveData::get(const AnsiString& name) const {
    auto it = values.find(name);
    return it == values.end() ? 0.0f : it->second;
}

CementPlugin::CementPlugin() : alive_(std::make_shared<bool>(true)) {
    g_plugin = this;
    AllParams& registry = get_all_params();
    for (const ParamRow& r : param_rows)
        registry.register_param(r.caption, r.variable, r.unit, r.name, r.channel, r.averaging, r.group, r.range, r.zero,
                                r.min_value, r.max_value, 0);
    // Built before the manager hands the root in: the one reach for it.
    reg::System* root = sys();
    report_.bind_bit_diameter(&root->get_config().get_race_info().bit_diameter);
    cement::StationLink* link = &link_;
    protocols_ = &root->get_protocols();
    protocol_row_ = protocols_->register_protocol(
        "СКЦ", [link](CommProtocols& p, CommIncomData* d) { return link->exchange(p, d); }, nullptr, 0, 4095, 57600,
        500);
    link_.set_link_lost();
}

CementPlugin::~CementPlugin() {
    // The hub must never call into a plug-in that is gone: the row goes
    // first (waiting for an exchange in progress), then the rest.
    try {
        if (protocol_row_ >= 0) protocols_->unregister_protocol(protocol_row_);
    } catch (...) {}
    *alive_ = false;
    delete form_;  // clears form_ through its on_destroy
    report_.bind_bit_diameter(nullptr);
    if (g_plugin == this) g_plugin = nullptr;
}

reg::System& CementPlugin::hub() const {
    if (!root()) throw std::logic_error("the cementing plug-in was not handed the hub's root");
    return *root();
}

void CementPlugin::log(const AnsiString& text) {
    if (host_add_error) host_add_error(this, text);
}

bool CementPlugin::guarded(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        log(e.what());
        return false;
    }
}

bool CementPlugin::write_job_file(const std::string& key, const std::string& file,
                                  const std::function<void()>& write_now,
                                  const std::function<std::function<void()>()>& keep) {
    write_kept(key);
    auto same = std::find_if(kept_.begin(), kept_.end(), [&](const KeptWrite& k) { return k.key == key; });
    try {
        write_now();
        if (same != kept_.end()) {
            kept_.erase(same);
            log("Файл записан: " + file);
            show_unwritten();
        }
        return true;
    } catch (const std::exception& e) {
        std::function<void()> again = keep ? keep() : write_now;
        if (same != kept_.end()) {
            same->cause = e.what();
            same->write = std::move(again);
        } else {
            kept_.push_back({key, file, e.what(), std::move(again)});
            log(std::string(e.what()) + "; данные сохранены в памяти и будут записаны при следующей записи");
            show_unwritten();
        }
        return false;
    }
}

void CementPlugin::write_kept(const std::string& skip_key) {
    bool changed = false;
    for (std::size_t k = 0; k < kept_.size();) {
        KeptWrite& w = kept_[k];
        if (w.key == skip_key) {
            ++k;
            continue;
        }
        try {
            w.write();
            log("Файл записан: " + w.file);
            kept_.erase(kept_.begin() + std::ptrdiff_t(k));
            changed = true;
        } catch (const std::exception& e) {
            w.cause = e.what();
            ++k;
        }
    }
    if (changed) show_unwritten();
}

std::vector<std::string> CementPlugin::unwritten_files() const {
    std::vector<std::string> out;
    for (const KeptWrite& w : kept_) out.push_back(w.file + ": " + w.cause);
    return out;
}

void CementPlugin::show_unwritten() {
    if (!form_) return;
    std::string text;
    if (!kept_.empty()) {
        text = "Не записано файлов: " + std::to_string(kept_.size()) + " (данные в памяти)";
        for (const KeptWrite& w : kept_) text += "\n" + fs::path(w.file).filename().string();
    }
    form_->show_unwritten(text);
}

void CementPlugin::keep_programme() {
    const std::string path = programme_path(data_.stage);
    if (data_.program.empty()) return;
    write_job_file(
        "programme " + path, path, [&] { save_programme(path); },
        [&] {
            // A copy points at the bit diameter of what it was copied from:
            // each write binds its own, taken now.
            return [path, data = data_, report = report_, bit = report_.bit_diameter()]() {
                CementData d = data;
                TReportOptions r = report;
                r.bind_bit_diameter(nullptr);
                r.set_bit_diameter(bit);
                (void)os::make_directories(fs::path(path).parent_path().string());
                cement::save_programme(path, d, r);
            };
        });
}

void CementPlugin::keep_points(bool said) {
    const std::string path = points_path(data_.stage);
    write_job_file(
        "points " + path, path, [&] { save_points(path, said); },
        [&] {
            return [path, points = std::make_shared<const ChartPoints>(points_)]() {
                cement::save_points_file(path, *points);
            };
        });
}

void CementPlugin::keep_last_stage() {
    const std::string path = settings_path();
    const int stage = data_.stage;
    write_job_file("last stage " + path, path, [this, path] { save_last_stage(path); },
                   [path, stage] { return [path, stage] { cement::save_last_stage(path, stage); }; });
}

void CementPlugin::keep_fluids() {
    const std::string path = fluids_path();
    write_job_file(
        "fluids " + path, path, [&] { save_fluids(path); },
        [&] {
            return [path, data = data_]() {
                CementData d = data;
                cement::save_fluids(path, d);
            };
        });
}

void CementPlugin::keep_element_report(int i, bool remake) {
    const std::string path = programme_path(data_.stage);
    // The report divides the element's sums: what is written again later
    // starts from them as they were.
    const CementData before = data_;
    write_job_file(
        "element " + std::to_string(i) + " " + path, path,
        [&] { cement::write_element_report(path, data_, i, remake); },
        [&] {
            return [path, before, i, remake] {
                CementData d = before;
                cement::write_element_report(path, d, i, remake);
            };
        });
}

void CementPlugin::fill_plugin_info(reg::PluginInfo& info) {
    info.title = "Контроль цементирования";
    info.module_name = "plugin.cement";
    info.page_visible = 1;
    info.flags = 1;
}

void CementPlugin::reserved_operation() {}

AnsiString CementPlugin::class_name() const { return "CementPlugin"; }

void CementPlugin::enum_plan_options(lib::options_list& list) { data_.enum_values(list); }

// ---- paths -------------------------------------------------------------------

std::string CementPlugin::exe_folder() const { return with_separator(hub().get_exe_path()); }
std::string CementPlugin::fluids_path() const { return exe_folder() + "params/cement/cement_rastvor.ini"; }
std::string CementPlugin::cement_folder() const { return exe_folder() + well_ + "/cement/"; }
std::string CementPlugin::settings_path() const { return cement_folder() + "cement.ini"; }
std::string CementPlugin::programme_path(int n) const {
    return cement_folder() + "cement_program_" + std::to_string(n) + ".ini";
}
std::string CementPlugin::points_path(int n) const { return cement_folder() + std::to_string(n) + ".cem"; }
std::string CementPlugin::report_base(int n) const { return cement_folder() + "cement_program_" + std::to_string(n); }

// ---- files with their log lines ----------------------------------------------

void CementPlugin::save_fluids(const std::string& path) {
    log("Сохраняем растворы");
    (void)os::make_directories(fs::path(path).parent_path().string());
    cement::save_fluids(path, data_);
}

void CementPlugin::load_fluids(const std::string& path) {
    log("Загружаем растворы");
    guarded([&] { cement::load_fluids(path, data_); });
}

void CementPlugin::ensure_folders() const {
    (void)os::make_directories(cement_folder() + "report");
}

void CementPlugin::save_programme(const std::string& path) {
    log("Сохраняем программу");
    ensure_folders();
    cement::save_programme(path, data_, report_);
}

bool CementPlugin::load_programme(const std::string& path) {
    log("Загружаем программу");
    std::vector<std::string> warnings;
    bool ok = false;
    guarded([&] { ok = cement::load_programme(path, data_, report_, &warnings); });
    for (const std::string& w : warnings) log(w);
    return ok;
}

void CementPlugin::save_points(const std::string& path, bool said) {
    if (said) log("Сохраняем точки");
    ensure_folders();
    cement::save_points_file(path, points_);
}

void CementPlugin::load_points(const std::string& path) {
    log("Загружаем точки");
    const PointsRead r = cement::load_points_file(path, points_);
    if (r == PointsRead::truncated)
        log("Файл точек " + path + " обрезан: прочитаны целые точки");
    else if (r == PointsRead::unreadable)
        log("Файл точек " + path + " не удалось прочитать (или он больше " +
            std::to_string(max_points_file_bytes >> 20) + " МБ): столбцы по умолчанию");
    else if (r != PointsRead::ok)
        log("Файл точек " + path + " не прочитан: столбцы по умолчанию");
}

void CementPlugin::load_last_stage(const std::string& path) {
    int stage = -1;
    guarded([&] { stage = cement::load_last_stage(path); });
    data_.stage = stage;
}

void CementPlugin::save_last_stage(const std::string& path) {
    ensure_folders();
    cement::save_last_stage(path, data_.stage);
}

bool CementPlugin::load_view_settings(const std::string& path) {
    guarded([&] { cement::load_view_settings(path, data_); });
    return data_.digital_density;
}

void CementPlugin::save_view_settings(const std::string& path) {
    ensure_folders();
    cement::save_view_settings(path, data_);
}

// ---- wells and stages ----------------------------------------------------------

void CementPlugin::init() {
    log("Инициализация");
    AnsiString name;
    {
        lib::Locker hold(sys_lock_obj());
        name = BasicPoreOptions::safe_folder_name(hub().get_pore().get_options()->nomer);
    }
    well_ = name;
    load_view_settings(settings_path());
    align_density_parameter();
    (void)os::make_directories(cement_folder() + "report");
    load_fluids(fluids_path());
    continue_well(name);
}

void CementPlugin::finalize() {
    log("Финализация");
    guarded([&] { save_view_settings(settings_path()); });
    finish_well();
}

void CementPlugin::before_new_pore() {
    log("Перед новой скважиной");
    finish_well();
    AnsiString name;
    {
        lib::Locker hold(sys_lock_obj());
        name = BasicPoreOptions::safe_folder_name(hub().get_pore().get_options()->nomer);
    }
    new_well(name);
}

void CementPlugin::continue_well(const AnsiString& name) {
    log("Продолжить сважину: " + name);
    well_ = name;
    std::error_code ec;
    if (fs::is_directory(exe_folder() + name, ec)) {
        load_fluids(fluids_path());
        int n = -1;
        guarded([&] { n = cement::load_last_stage(settings_path()); });
        if (n == -1)
            new_stage(1);
        else
            continue_stage(n);
    } else {
        new_well(name);
    }
}

void CementPlugin::new_well(const AnsiString& name) {
    log("Новая скважина: " + name);
    well_ = name;
    std::error_code ec;
    if (!fs::is_directory(cement_folder(), ec)) (void)os::make_directories(cement_folder() + "report");
    load_fluids(fluids_path());
    points_.points.clear();
}

void CementPlugin::finish_well() {
    log("Закончить скважину.");
    points_.points.clear();
    guarded([&] { save_fluids(fluids_path()); });
}

void CementPlugin::continue_stage(int n) {
    log("Продолжить ступень: " + std::to_string(n));
    data_.stage = n;
    if (load_programme(programme_path(n)))
        load_points(points_path(n));
    else
        new_stage(n);
}

void CementPlugin::new_stage(int n) {
    log("Новая ступень: " + std::to_string(n));
    points_.points.clear();
    points_.set_default_columns();
    data_.silences.clear();
}

void CementPlugin::finish_stage(bool ask) {
    log("Пробуем завершить ступень: ");
    if (data_.stage == -1) return;
    finish_requested_ = true;
    if (ask) request_host(request_stop);
}

// ---- recording -----------------------------------------------------------------

void CementPlugin::start_registration(int race_num, bool load) {
    log("Запускаем процесс регистрации");
    host_recording_ = true;
    if (!may_start_) return;
    begin_registration(race_num, load);
}

void CementPlugin::begin_registration(int stage, bool load) {
    data_.stage = stage;
    keep_programme();
    registration_ = false;
    link_.restart_pace();
    // A stage starts its volume steps afresh: the time since an earlier
    // recording was not pumped through this one.
    prev_cycle_.reset();
    points_saved_.reset();
    recording_start_ = now_date_time();
    if (!load) {
        data_.element = element_none;
        data_.reset_states();
        new_stage(stage);
    } else if (continuing_) {
        recount_running_element();
    }
    registration_ = true;
    if (!continuing_) command(cmd_next);
    if (window_shown_ && form_) form_->show_programme();
}

void CementPlugin::stop_registration() {
    log("Останавливаем процесс регистрации");
    host_recording_ = false;
    if (!registration_) {
        write_kept();
        return;
    }
    if (finish_requested_) {
        const int i = data_.running_index();
        if (i >= 0) {
            CementProgramElement& e = data_.program[std::size_t(i)];
            e.mode = state_done;
            e.end = now_date_time();
            // The last element's volume belongs in the report like the others'.
            make_element_report(i, false);
        }
        data_.element = element_finished;
        finish_requested_ = false;
    }
    // A silence that lasts to the stop ends there.
    end_silence(now_date_time());
    registration_ = false;
    if (window_shown_ && form_) {
        form_->tiCurrentProgram->SetCaption("");
        // The buttons follow: a finished stage offers a new programme, not
        // the end of the one that ended.
        form_->show_programme();
    }
    // Each file on its own: a report that cannot be written must not cost
    // the programme's states or the points.
    save_report_data(report_base(data_.stage));
    keep_programme();
    keep_points();
    write_kept();
}

void CementPlugin::show(bool first) {
    get_form();
    if (first) {
        log("Показ формы плагина");
        form_->show_programme();
        form_->on_command = [this](int cmd) { command(cmd); };
        if (data_.element == element_finished) {
            const std::string text = "Программа определила что рейс №" + std::to_string(data_.stage) +
                                     " завершен.\nХотите начать новый рейс?";
            if (ui::MessageBox(text, "Рейс завершен", ui::MB_YESNO) == ui::IDYES) {
                data_.reset_states();
                data_.element = element_none;
                new_stage(data_.stage + 1);
            }
        }
    }
    window_shown_ = true;
    command(0);
}

void CementPlugin::event(reg::PluginEventType type, const std::any& payload) {
    if (type == reg::pe_refresh && window_shown_ && form_) form_->refresh();
    if (type == reg::pe_unwritten_files) {
        // The host's last question: one more try first.
        write_kept();
        if (auto* const* out = std::any_cast<std::vector<std::string>*>(&payload); out && *out)
            for (const std::string& f : unwritten_files()) (*out)->push_back(f);
    }
}

ui::TForm* CementPlugin::get_form() {
    if (!form_) {
        form_ = new TCementForm(nullptr, data_, points_);
        form_->on_destroy = [this] { form_ = nullptr; };
        show_unwritten();
    }
    return form_;
}

void CementPlugin::data() {
    std::weak_ptr<bool> alive = alive_;
    hub().get_mess_caller().call([this, alive] {
        // A cycle still queued when the plug-in went finds nothing.
        auto a = alive.lock();
        if (!a || !*a) return;
        data_cycle(registration_);
        // The monitor follows every cycle, not only the operator's commands.
        if (registration_) refresh_window();
    });
}

// ---- the data cycle ------------------------------------------------------------

std::string CementPlugin::clock_text(double t) { return rtl::FormatDateTime("hh:mm:ss", t - std::floor(t)); }

bool CementPlugin::follow_line(std::int64_t mono, double t) {
    const std::optional<std::int64_t> last = link_.last_frame_ms();
    const bool fresh = last && mono - *last <= StationLink::frame_hold_ms;
    // The date-time of a moment of the cycle clock.
    auto date_of = [&](std::int64_t ms) { return t - double(mono - ms) / 86400000.0; };
    if (!fresh && !silent_since_) {
        // From the last good frame, or from the start of the recording when
        // none came since.
        const double from = last ? std::max(date_of(*last), recording_start_) : recording_start_;
        silent_since_ = from;
        log("Нет данных от СКЦ с " + clock_text(from) + ": объем не считается");
    } else if (fresh && silent_since_) {
        end_silence(date_of(*last));
    }
    return fresh;
}

void CementPlugin::end_silence(double to) {
    if (!silent_since_) return;
    const double from = *silent_since_;
    silent_since_.reset();
    data_.silences.push_back({from, std::max(from, to)});
    log("Нет данных от СКЦ было с " + clock_text(from) + " по " + clock_text(std::max(from, to)));
}

void CementPlugin::data_cycle(bool store) {
    if (!registration_) return;
    const double t = now_date_time();
    const std::int64_t mono = os::clock().now_ms();
    // Volume is pumped only over the time the station's good frames vouch
    // for: a silent, cut or garbled line adds none, however long it lasts.
    // A long pause of the cycles themselves adds no more than the longest
    // step.
    double dt = 0;
    if (prev_cycle_ && mono > *prev_cycle_) dt = double(link_.covered_ms(*prev_cycle_, mono)) / 1000.0;
    dt = std::min(dt, max_cycle_step);
    prev_cycle_ = mono;
    const bool fresh = follow_line(mono, t);

    CementLiveData live = this->live();
    auto& v = live.values;
    const CementProgramElement* running = data_.running_element();
    const int kind = running ? running->kind : -1;
    {
        lib::Locker hold(sys_lock_obj());
        DataStorage& ds = hub().get_data_storage();
        v["cem_davl"] = float(ds["cem_davl"]);
        v["cem_plotn"] = float(ds["cem_plotn"]);
        v["cem_temp"] = float(ds["cem_temp"]);
        v["cem_rasx"] = float(ds["cem_rasx"]);
        data_.pressure = v["cem_davl"];
        data_.density = v["cem_plotn"];
        data_.temperature = v["cem_temp"];
        data_.flow = v["cem_rasx"];
        v["cem_plan_plotn"] = data_.plan_for_kind(CementData::plan_density, kind);
        v["cem_plan_rasx"] = data_.plan_for_kind(CementData::plan_rate, kind);
        if (auto x = table_value(ds, "cem_V")) v["cem_V"] = float(*x);
        if (auto x = table_value(ds, "cem_Vsumm")) v["cem_Vsumm"] = float(*x);

        const double dv = running ? cement::step_volume(kind, v["cem_rasx"], dt) : 0.0;
        v["cem_V"] = float(v["cem_V"] + dv);
        v["cem_Vsumm"] = float(v["cem_Vsumm"] + dv);
        set_table_value(ds, "cem_V", v["cem_V"]);
        data_.stage_volume = v["cem_V"];
        const float plan_v = data_.plan_for_kind(CementData::plan_volume, kind);
        v["cem_plan_V"] = plan_v;
        set_table_value(ds, "cem_plan_V", plan_v);
        set_table_value(ds, "cem_plan_plotn", v["cem_plan_plotn"]);
        set_table_value(ds, "cem_plan_rasx", v["cem_plan_rasx"]);
        set_table_value(ds, "cem_Vsumm", v["cem_Vsumm"]);
        data_.total_volume = v["cem_Vsumm"];
        v["cem_V_pc"] = (!running || lib::is_over_null(plan_v)) ? 0.0f : v["cem_V"] / plan_v * 100.0f;

        pore::PoreOpt& pore = hub().get_pore();
        live.sections.clear();
        pore.divide_to_sections(live.sections, float(ds.get_depth_z()), true);
        cement::merge_sections(live.sections);
        live.instr = *pore.get_instr();
    }
    try {
        Cement_calc(live.sections, sections_);
        calc_error_.clear();
    } catch (const std::exception& e) {
        calc_error_ = e.what();
    } catch (...) {
        calc_error_ = calc_failure;
    }
    {
        std::lock_guard<std::mutex> l(live_mutex_);
        live.stale = !fresh;
        live.silent_since = silent_since_.value_or(0.0);
        live_ = live;
    }
    publish_packet();
    // A point holds what the station said: none while it says nothing. A
    // cycle that still counted some of the last frame's time keeps it, so
    // the points' volumes are the volumes counted.
    if (store && running && (fresh || dt > 0)) add_point(t, v);
    // A crash loses no more than the interval of the stage's points.
    if (store && running &&
        (!points_saved_ || mono - *points_saved_ >= std::int64_t(points_save_interval * 1000) || mono < *points_saved_)) {
        points_saved_ = mono;
        // Every few seconds: the log would drown in it.
        keep_points(false);
    }
}

double CementPlugin::now_date_time() const { return date_time_ ? date_time_() : rtl::Now(); }

void CementPlugin::publish_packet() {
    const CementLiveData live = this->live();
    cement::PacketValues p;
    p.density = live.get("cem_plotn");
    p.pressure = live.get("cem_davl");
    p.flow = live.get("cem_rasx");
    p.temperature = live.get("cem_temp");
    p.volume = live.get("cem_V");
    p.volume_pc = live.get("cem_V_pc");
    link_.publish(p);
}

CementLiveData CementPlugin::live() const {
    std::lock_guard<std::mutex> l(live_mutex_);
    return live_;
}

float CementPlugin::live_value(const AnsiString& name) const {
    std::lock_guard<std::mutex> l(live_mutex_);
    return live_.get(name);
}

void CementPlugin::add_point(double t, const std::map<AnsiString, float>& values) {
    cement::add_point(points_, t, values, data_.running_element());
    ++data_.samples;
    if (continuing_) {
        if (const CementProgramElement* e = data_.running_element()) reintegrate(e->start, 0);
        continuing_ = false;
    }
}

void CementPlugin::reintegrate(double a, double b) {
    const int last = cement::reintegrate(points_, a, b, data_.running_element(),
                                         double(StationLink::frame_hold_ms) / 1000.0);
    if (last < 0) return;
    const int col_v = points_.column_index("cem_V");
    const int col_sum = points_.column_index("cem_Vsumm");
    const float v = points_.points[std::size_t(last)].values[std::size_t(col_v)];
    const float sum = points_.points[std::size_t(last)].values[std::size_t(col_sum)];
    {
        lib::Locker hold(sys_lock_obj());
        DataStorage& ds = hub().get_data_storage();
        set_table_value(ds, "cem_V", v);
        set_table_value(ds, "cem_Vsumm", sum);
    }
    std::lock_guard<std::mutex> l(live_mutex_);
    live_.values["cem_V"] = v;
    live_.values["cem_Vsumm"] = sum;
}

// ---- reports -------------------------------------------------------------------

void CementPlugin::make_element_report(int i, bool remake) {
    log("Делаем отчет");
    // The element's volume and its report do not depend on the other files
    // being written.
    keep_programme();
    keep_last_stage();
    if (!remake) {
        keep_points();
        if (i >= 0 && i < int(data_.program.size())) {
            CementProgramElement& e = data_.program[std::size_t(i)];
            e.V_inc = cement::element_volume(points_, e);
        }
    }
    keep_element_report(i, remake);
}

void CementPlugin::save_report_data(const std::string& base_path) {
    log("Сохраняем данные для отчета");
    ensure_folders();
    WellReportInfo well;
    {
        lib::Locker hold(sys_lock_obj());
        reg::System* root = &hub();
        const pore::PoreOpt& pore = root->get_pore();
        const pore::Options& o = *pore.get_options();
        well.number = well_;
        well.area = o.ploshad;
        well.kust = o.kust;
        well.category = o.kategoriya;
        well.customer = o.zakazchik;
        well.party = o.partiya_gti;
        well.party_chief = o.nachalnik_partii;
        well.construction = pore.get_construction()->elements();
        well.construction_length = pore.get_construction()->get_total_len();
        well.bit_diameter = root->get_config().get_race_info().bit_diameter;
        const AllParams& registry = get_all_params();
        for (const AnsiString& c : points_.columns) {
            const int n = registry.get_param_number(c.c_str());
            if (n >= 0) {
                const DefaultParam& d = registry.at(n);
                well.params.emplace_back(d.name, d.short_name, d.units, d.global_name, d.min_value, d.max_value);
            } else {
                well.params.emplace_back(c, c, "", c, 0.0f, 100.0f);
            }
        }
    }
    int left_out = 0;
    const std::string rpt = base_path + ".rpt";
    const int stage = data_.stage;
    write_job_file(
        "report " + base_path, rpt,
        [&] { left_out = cement::write_report_data(base_path, stage, data_, report_, points_, well); },
        [&] {
            return [base_path, stage, data = data_, report = report_, bit = report_.bit_diameter(),
                    points = std::make_shared<const ChartPoints>(points_), well]() {
                TReportOptions r = report;
                r.bind_bit_diameter(nullptr);
                r.set_bit_diameter(bit);
                cement::write_report_data(base_path, stage, data, r, *points, well);
            };
        });
    if (left_out > 0) log("Точек без верного времени не вошло в диаграмму: " + std::to_string(left_out));
}

// ---- commands ------------------------------------------------------------------

void CementPlugin::command(int cmd) {
    try {
        switch (cmd) {
            case cmd_settings:
                if (settings_dialog ? settings_dialog() : run_settings_dialog()) apply_settings();
                break;
            case cmd_next: next_element(); break;
            case cmd_back: previous_element(); break;
            case cmd_report: start_report_program(); break;
            default: break;
        }
    } catch (const std::exception& e) {
        log(e.what());
    }
    refresh_after_command();
}

bool CementPlugin::run_settings_dialog() {
    TCementOptionsForm dialog(form_, report_, sections_);
    // A recording the host began without the stage is a recording all the
    // same: its programme is not rebuilt under it.
    return dialog.execute(data_, registration_ || host_recording_);
}

void CementPlugin::next_element() {
    if (!registration_) {
        may_start_ = true;
        if (data_.element == element_none) {
            request_host(request_new_trip);
        } else if (data_.element >= 0) {
            // Before the request: the host may answer it at once.
            continuing_ = true;
            // A stage left running (the host restarted) goes on in the
            // recording the host already makes: it would not start another.
            if (host_recording_)
                begin_registration(data_.stage, true);
            else
                request_host(request_continue);
        } else if (data_.element == element_finished) {
            may_start_ = false;
            data_.reset_states();
            data_.element = element_none;
            new_stage(data_.stage + 1);
            command(cmd_settings);
        }
        return;
    }
    if (data_.program.empty()) return;
    const double t = now_date_time();
    const int running = data_.running_index();
    const int next = running >= 0 ? running + 1 : (data_.element == element_none ? 0 : int(data_.program.size()));
    if (next >= int(data_.program.size())) {
        // The last element is closed when the host stops the recording.
        finish_stage(true);
        return;
    }
    if (running >= 0) {
        CementProgramElement& e = data_.program[std::size_t(running)];
        e.mode = state_done;
        e.end = t;
        make_element_report(running, false);
    }
    if (data_.element == element_none) data_.program.front().cem_Vsumm = 0;
    data_.element = next;
    CementProgramElement& e = data_.program[std::size_t(next)];
    e.start = t;
    e.mode = state_running;
    // From here the element runs: a file that cannot be written is kept
    // and the stage volume still starts afresh.
    keep_programme();
    load_calibration(e);
    keep_points();
    keep_last_stage();
    {
        lib::Locker hold(sys_lock_obj());
        set_table_value(hub().get_data_storage(), "cem_V", 0);
    }
    {
        std::lock_guard<std::mutex> l(live_mutex_);
        live_.values["cem_V"] = 0;
    }
    e.reset_report_values();
    data_.samples = 0;
    data_cycle(true);
}

void CementPlugin::recount_running_element() {
    CementProgramElement* e = data_.running_element();
    if (!e) return;
    const int rate = points_.column_index("cem_rasx");
    const int density = points_.column_index("cem_plotn");
    const int pressure = points_.column_index("cem_davl");
    e->reset_report_values();
    data_.samples = 0;
    for (const ChartPoint& p : points_.points) {
        if (p.time < e->start) continue;
        auto at = [&](int c) { return c >= 0 && std::size_t(c) < p.values.size() ? p.values[std::size_t(c)] : 0.0f; };
        cement::add_sample(*e, at(rate), at(density), at(pressure));
        ++data_.samples;
    }
}

void CementPlugin::load_calibration(const CementProgramElement& e) {
    const AnsiString file = e.calibr_file_name();
    if (file.empty()) return;
    const std::string path = fs::path(file).is_absolute() ? file : exe_folder() + file;
    std::string why;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        // A link may lead to another calibration of the station, not out of it.
        std::error_code ec_target, ec_folder;
        const fs::path target = fs::weakly_canonical(path, ec_target);
        const fs::path folder = fs::weakly_canonical(exe_folder(), ec_folder);
        const auto rel = target.lexically_relative(folder);
        if (ec_target || ec_folder || rel.empty() || *rel.begin() == "..")
            why = "символическая ссылка за пределы папки станции";
    }
    // Read before the hub lock is taken: a file that stalls (a huge or
    // remote one) must not stop the recording.
    std::string bytes;
    if (why.empty()) {
        const int err = os::read_file(path, bytes, nullptr, max_calibration_bytes);
        if (err == ENOENT || err == ENOTDIR) return;  // none: the points stay as they are
        if (err == EFBIG)
            why = "файл больше " + std::to_string(max_calibration_bytes >> 10) + " КБ";
        else if (err != 0)
            why = "не обычный файл или не читается (" + std::string(std::strerror(err)) + ")";
    }
    if (!why.empty()) {
        log("Калибровка не загружена: " + path + ": " + why);
        return;
    }
    lib::Locker hold(sys_lock_obj());
    ParTabl& table = hub().get_data_storage().get_par_tabl();
    const int row = table.find_global("cem_rasx");
    if (row >= 0 && !table[row].load_calibr_from_bytes(bytes)) log("Калибровка не загружена: " + path);
}

void CementPlugin::previous_element() {
    const int running = data_.running_index();
    if (running < 1) return;
    CementProgramElement& e = data_.program[std::size_t(running)];
    e.start = 0;
    e.mode = state_waiting;
    data_.element = running - 1;
    CementProgramElement& back = data_.program[std::size_t(running - 1)];
    back.mode = state_running;
    // The element stepped back to runs on: what was pumped since it was
    // closed is its own, in its volume and in its samples.
    back.take_samples(e);
    reintegrate(back.end, 0);
}

void CementPlugin::apply_settings() {
    // The operator's edits hold whether or not each file takes them.
    keep_fluids();
    if (data_.stage >= 0) {
        bool remake = registration_;
        if (!remake && data_.element == element_finished)
            remake = ui::MessageBox(
                         "Вы изменили параметры законченного рейса.\nОтчет по рейсу будет переделан и "
                         "данные записаны.\n Вы уверены?",
                         "Рейс завершен", ui::MB_YESNO) == ui::IDYES;
        if (remake) {
            for (int i = 0; i < int(data_.program.size()); ++i) make_element_report(i, true);
            save_report_data(report_base(data_.stage));
        }
    }
    align_density_parameter();
}

void CementPlugin::align_density_parameter() {
    AllParams& registry = get_all_params();
    const bool digital_now = registry.test_param("cem_plotn", AllParams::has_options_dialog);
    int channel = -1;
    if (data_.digital_density && !digital_now) {
        registry.add_digit_params("cem_plotn");
        channel = density_channel;
    } else if (!data_.digital_density && digital_now) {
        registry.remove_digit_params("cem_plotn");
        channel = 1;
    } else {
        channel = data_.digital_density ? density_channel : 1;
    }
    lib::Locker hold(sys_lock_obj());
    ParTabl& table = hub().get_data_storage().get_par_tabl();
    const int row = table.find_global("cem_plotn");
    if (row >= 0) table[row].channel = channel;
    const int n = registry.get_param_number("cem_plotn");
    if (n >= 0) registry.at(n).channel = channel;
}

void CementPlugin::request_host(int wparam) {
    // No main window, no request.
    ui::post_message(ui::Application().Handle(), host_message, wparam, 0);
}

std::string CementPlugin::report_program() const {
    // The running program's own folder, never the station folder: that one
    // holds data that whoever writes the data could fill.
    if (!programs_folder_.empty()) return programs_folder_ + "/Grouttab";
    const std::string self = os::program_path();
    return (self.empty() ? std::string(".") : fs::path(self).parent_path().string()) + "/Grouttab";
}

void CementPlugin::start_report_program() {
    const std::string program = report_program();
    const std::string folder = fs::path(program).parent_path().string();
    std::string why;
    const os::FileInfo file = os::file_info(program);
    const os::FileInfo dir = os::file_info(folder);
    if (!file.exists)
        why = "программа не найдена";
    else if (!file.is_regular)
        why = "это не файл программы";
    else if (((file.permissions | dir.permissions) & 022) != 0)
        // Another user could have put his own program there: it would run
        // with the station's rights.
        why = "программа или её папка " + folder + " открыты для записи другим пользователям";
    if (why.empty()) {
        os::SpawnOptions o;
        o.program = program;
        o.args = {"-p" + well_};
        o.folder = exe_folder();
        o.null_stdio = true;
        auto p = std::make_shared<os::Process>();
        std::string error;
        if (p->start(o, &error)) {
            // Not waited for here, as the report program runs on its own; a
            // thread of its own reaps it.
            std::thread([p] { p->wait(); }).detach();
            return;
        }
        why = error;
    }
    const std::string text = "Не удалось запустить программу отчета " + program + ": " + why;
    log(text);
    ui::MessageBox(text, "Отчет", ui::MB_OK | ui::MB_ICONERROR);
}

void CementPlugin::refresh_after_command() {
    if (window_shown_ && form_) form_->show_programme();
    data_cycle(false);
    refresh_window();
}

void CementPlugin::refresh_window() {
    if (!window_shown_ || !form_) return;
    // The window sees the live values only as they were published.
    form_->update_values(live());
    form_->show_programme();
    if (calc_error_.empty())
        form_->show_sections(sections_);
    else
        form_->show_error();
    form_->chart_changed();
}

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t handle) {
    ui::Application().SetHandle(handle);
    try {
        return new CementPlugin;
    } catch (const std::exception& e) {
        os::log_error("cement: " + std::string(e.what()));
        return nullptr;
    }
}
