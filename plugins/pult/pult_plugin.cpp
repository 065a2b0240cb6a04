#include "plugins/pult/pult_plugin.h"

#include <atomic>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "gti/registr_old/comm_hub.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sound.h"
#include "gti/registr_old/sys_lock.h"
#include "library/number_conv.h"
#include "platform/os/error_log.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/application.h"
#include "plugins/pult/pult_blocks.h"
#include "plugins/pult/pult_form.h"
#include "plugins/pult/pult_opt_form.h"
#include "plugins/pult/pult_sources.h"

namespace pult {
const char* const watched_params[3] = {"вес_на_крюке", "давление_на_входе", "момент_ротора"};
}  // namespace pult

using namespace pult;

namespace {

PultPlugin* g_plugin = nullptr;
// Calls of send_data_to_pult in this process: every 120th one restores
// the console's brightness whatever changed (a console that was switched
// off and on again gets it back).
std::atomic<long> g_calls{0};
constexpr long forced_every = 120;

const char* const time_prefix = "ВРЕМЯ ";

}  // namespace

PultPlugin* pult_plugin() { return g_plugin; }

long PultPlugin::call_count() { return g_calls.load(); }

PultPlugin::PultPlugin() {
    g_plugin = this;
    // A changed table of the hub: the console may need its tables again.
    // Built before the manager hands the root in: the one reach for it.
    hub_connection_ = sys()->params_changed_signal.connect([this] { check_calibrations(); });
    copy_calibrations();
}

PultPlugin::~PultPlugin() {
    hub_connection_.disconnect();
    delete form_;  // clears form_ through its on_destroy
    if (g_plugin == this) g_plugin = nullptr;
}

reg::System& PultPlugin::hub() const {
    if (!root()) throw std::logic_error("the console plug-in was not handed the hub's root");
    return *root();
}

void PultPlugin::beep(int hz, int ms) const {
    if (beep_)
        beep_(hz, ms);
    else
        Sound::beep(hz, ms);
}

void PultPlugin::fill_plugin_info(reg::PluginInfo& info) {
    info.title = "Пульт бурильщика";
    info.module_name = options_section;
    info.menu_caption = "Пульт бурильщика";
    info.page_visible = 1;
    info.flags = reg::PluginInfo::has_page | reg::PluginInfo::has_menu | reg::PluginInfo::fixed_size;
}

void PultPlugin::register_options(lib::ini_options_elements& list) { options_.bind(list); }

void PultPlugin::load_additional_info(rtl::IniFile*) {
    std::int32_t stored;
    {
        lib::Locker l(&lock_);
        stored = options_.degaz_cont_type;
        if (stored == dct_auto || stored == dct_manual) return;
        options_.degaz_cont_type = dct_auto;
    }
    os::log_error("pult: degaz_cont_type " + std::to_string(stored) + " in section " + options_section +
                  " of the options is no degasser mode (1 automatic, 2 manual); the automatic one is used");
}

PultOptions PultPlugin::options_snapshot() const {
    lib::Locker l(&lock_);
    return options_;
}

bool PultPlugin::window_shown() const {
    lib::Locker l(&lock_);
    return shown_;
}

void PultPlugin::start_registration(int, bool) {
    {
        lib::Locker l(&lock_);
        force_send_ = true;
    }
    enable_window();
    reset_supply_checks();
}

void PultPlugin::stop_registration() { enable_window(); }

// ---- the per-cycle update -------------------------------------------------------

void PultPlugin::data() {
    PultOptions o;
    bool activate;
    {
        lib::Locker l(&lock_);
        o = options_;
        activate = activate_on_alarm_;
    }
    if (o.use_volt_check) check_supply(o, activate);
    update_text_line(o);
    update_indicators(o);
}

void PultPlugin::check_supply(const PultOptions&, bool activate) {
    if (!host_get_float_variable || !host_get_reg_active) return;
    const bool recording = host_get_reg_active();
    std::string what;
    for (const Range& r : supply_ranges()) {
        const double v = host_get_float_variable(r.variable);
        if (!out_of_range(r, v, recording)) continue;
        if (!what.empty()) what += ", ";
        what += std::string(r.variable) + " = " + lib::float_to_str(v, 1, -1) + " (" + lib::float_to_str(r.minimum) +
                " - " + lib::float_to_str(r.maximum) + ")";
    }
    const bool alarm = !what.empty();
    bool onset;
    {
        lib::Locker l(&lock_);
        onset = alarm && !supply_alarm_;
        supply_alarm_ = alarm;
    }
    if (!alarm) return;
    beep(2500, 50);
    if (activate && host_set_plugin_active) host_set_plugin_active(this);
    if (onset && host_add_error) host_add_error(this, "Питание пульта бурильщика вне допуска: " + what);
}

void PultPlugin::update_text_line(const PultOptions& o) {
    if (!host_set_variable) return;
    const AnsiString& source = o.text_param;
    if (source.empty()) {
        if (rtl::AnsiUpperCase(rtl::Trim(o.text)) != time_placeholder) {
            host_set_variable("pult.text", o.text);
            return;
        }
        const double now = now_ ? now_() : rtl::Now();
        int h, m, s, ms;
        rtl::DecodeTime(now, h, m, s, ms);
        const AnsiString text = time_prefix + std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m);
        host_set_variable("pult.text", text);
        host_set_variable("pult.time_text", text);
    } else if (source == "wob_optim.pult_text") {
        if (host_get_variable) host_set_variable("pult.text", host_get_variable("wob_optim.pult_text"));
    } else if (source == "ds.depth_z" || source == "ds.depth_cur") {
        if (!host_get_value) return;
        const float v = float(host_get_value(source.c_str()));
        host_set_variable("pult.text", AnsiString(source == "ds.depth_z" ? "Забой" : "Инстр.") + " " +
                                           lib::float_to_str(v, -1, -1) + "м");
    } else {
        AnsiString label;
        float v = 0;
        bool found = false;
        {
            lib::Locker hold(sys_lock_obj());
            DataStorage& ds = hub().get_data_storage();
            const ParTabl& table = ds.get_par_tabl();
            const int i = table.find_global(source);
            if (i >= 0) {
                found = true;
                label = rtl::AnsiUpperCase(table.at(i).short_name);
                v = float(ds.current_values[i]);
            }
        }
        // A parameter the table no longer has shows nothing rather than a
        // stale line.
        host_set_variable("pult.text", found ? label + " " + lib::float_to_str(v, -1, -1) : AnsiString());
    }
}

void PultPlugin::update_indicators() { update_indicators(options_snapshot()); }

void PultPlugin::update_indicators(const PultOptions& o) {
    if (!host_set_variable || !host_get_value) return;
    auto value = [this](const std::string& name) { return name.empty() ? 0.0 : host_get_value(name.c_str()); };
    double depth = 0;
    if (o.indi_depth == 0)
        depth = host_get_value("ds.depth_cur");
    else if (o.indi_depth == 1)
        depth = host_get_value("ds.depth_z") - host_get_value("ds.depth_cur");
    host_set_variable("pult.cur_depth", rtl::FloatToStr(depth));
    host_set_variable("pult.gaz_indi", rtl::FloatToStr(value(gaz_source(o.indi_gaz))));
    host_set_variable("pult.level_indi", rtl::FloatToStr(value(level_source(o.indi_level))));
    host_set_variable("pult.plotn_indi", rtl::FloatToStr(value(plotn_source(o.indi_plotn))));
}

void PultPlugin::reset_supply_checks() {
    // A parameter on the console's rail channels means those channels carry
    // a sensor, not the rails.
    const ParTabl table = hub_table();
    bool rail5 = true, rail12 = true;
    for (int i = 0; i < table.get_items_count(); ++i) {
        const int ch = table.at(i).channel;
        if (ch == 20) rail5 = false;
        if (ch == 21) rail12 = false;
    }
    // Each flag is stored once with its final value: a check running on the
    // cycle thread meanwhile never sees a rail enabled only in passing.
    auto& ranges = supply_ranges();
    ranges[supply_voltage].enabled = true;
    ranges[supply_temperature].enabled = true;
    ranges[supply_5v].enabled = rail5;
    ranges[supply_12v].enabled = rail12;
}

ParTabl PultPlugin::hub_table() const {
    ParTabl table;
    if (host_get_par_tabl) host_get_par_tabl(table);
    return table;
}

void PultPlugin::copy_calibrations() {
    const ParTabl table = hub_table();
    std::array<Param, 3> fresh;
    for (std::size_t k = 0; k < fresh.size(); ++k) {
        const int i = table.find_global(watched_params[k]);
        if (i >= 0) fresh[k] = table.at(i);
    }
    lib::Locker l(&lock_);
    copies_ = fresh;
}

void PultPlugin::check_calibrations() {
    const ParTabl table = hub_table();
    bool changed = false;
    {
        lib::Locker l(&lock_);
        for (std::size_t k = 0; k < copies_.size() && !changed; ++k) {
            const int i = table.find_global(watched_params[k]);
            const Param now = i >= 0 ? table.at(i) : Param();
            if (now != copies_[k]) changed = true;
        }
        // A sequence under way may already have sent the old tables: it
        // starts again so that the console ends up with the new ones.
        if (changed) {
            options_.have_to_send_indi = true;
            indi_send_state_ = 0;
        }
    }
    if (changed) copy_calibrations();
    reset_supply_checks();
}

// ---- configuration blocks -------------------------------------------------------

bool PultPlugin::send_data_to_pult(AnsiString& header, std::vector<char>& data) {
    if (!data.empty()) return false;
    int command = 0;
    bool finished_tables = false;
    {
        lib::Locker l(&lock_);
        bool forced = g_calls.fetch_add(1) % forced_every == 0;
        forced = forced || force_send_;
        force_send_ = false;
        if (options_.light != last_light_ || forced) {
            last_light_ = options_.light;
            command = cmd_light;
        } else if (options_.degaz_on != last_degaz_on_ || options_.degaz_cont_type != last_degaz_cont_type_) {
            last_degaz_on_ = options_.degaz_on;
            last_degaz_cont_type_ = options_.degaz_cont_type;
            command = cmd_degaz;
        } else if (options_.have_to_send_indi) {
            if (indi_send_state_ <= 0 || indi_send_state_ > 6) indi_send_state_ = 6;
            static const int sequence[7] = {0,
                                            cmd_zero_pressure,
                                            cmd_tong_torque_table,
                                            cmd_torque_table,
                                            cmd_pressure_table,
                                            cmd_hook_load_table,
                                            cmd_short_tables};
            command = sequence[indi_send_state_];
            --indi_send_state_;
            if (indi_send_state_ == 0) {
                options_.have_to_send_indi = false;
                finished_tables = true;
            }
        } else {
            return false;
        }
    }
    // The block is built from the options of that moment and the hub's table.
    fill_block(command, data);
    header = block_header;
    if (finished_tables) beep(600, 300);
    return true;
}

void PultPlugin::fill_block(int command, std::vector<char>& data) const {
    PultOptions o = options_snapshot();
    switch (command) {
        case cmd_light: data = make_block(command, light_payload(o.light)); return;
        case cmd_degaz: data = make_block(command, degaz_payload(o.degaz_on, o.degaz_cont_type == dct_manual)); return;
        case cmd_zero_pressure: {
            const float zero = float(hub().get_hub_access().get_config_value("нулевое_давление"));
            data = make_block(command, zero_pressure_payload(zero));
            return;
        }
        default: break;
    }
    const ParTabl table = hub_table();
    // The hub keeps the reeving as a text variable (from its configuration),
    // not as a named value: read as a value it would be 0 and flatten the
    // hook load's table.
    const double polispast = host_get_float_variable ? host_get_float_variable("KoefPolispast") : 1.0;
    auto k_of = [polispast](const char* name) { return std::string(name) == "вес_на_крюке" ? polispast : 1.0; };
    std::vector<std::uint8_t> payload;
    if (command == cmd_short_tables) {
        for (const char* name : watched_params) {
            auto r = calibration_record(table, name, short_record_points, k_of(name));
            payload.insert(payload.end(), r.begin(), r.end());
        }
    } else {
        const char* name = command == cmd_hook_load_table  ? "вес_на_крюке"
                           : command == cmd_pressure_table ? "давление_на_входе"
                           : command == cmd_torque_table   ? "момент_ротора"
                                                           : "момент_на_ключе";
        payload = calibration_record(table, name, long_record_points, k_of(name));
    }
    data = make_block(command, payload);
}

// ---- members the window reaches -------------------------------------------------

void PultPlugin::apply_options(const PultOptions& options) {
    lib::Locker l(&lock_);
    // Tables due to the console stay due: the dialog's copy was taken
    // before a recalibration the hub reported while it was open.
    const bool tables_due = options_.have_to_send_indi;
    options_ = options;
    options_.have_to_send_indi = options.have_to_send_indi || tables_due;
}

void PultPlugin::set_text(const AnsiString& text) {
    lib::Locker l(&lock_);
    options_.text = text;
}

void PultPlugin::set_degaz(DegazContType mode, bool on) {
    lib::Locker l(&lock_);
    options_.degaz_cont_type = mode;
    options_.degaz_on = on;
}

void PultPlugin::set_light(int light) {
    lib::Locker l(&lock_);
    options_.light = light;
}

void PultPlugin::signal(bool pressed) {
    if (host_set_variable) host_set_variable("signal", pressed ? "on" : "");
}

void PultPlugin::set_alarm_activation(bool on) {
    lib::Locker l(&lock_);
    activate_on_alarm_ = on;
}

void PultPlugin::calibrate() {
    lib::Locker l(&lock_);
    options_.have_to_send_indi = true;
    indi_send_state_ = 0;
}

DegazContType PultPlugin::degaz_mode() const {
    lib::Locker l(&lock_);
    return options_.degaz_cont_type;
}

bool PultPlugin::degaz_on() const {
    lib::Locker l(&lock_);
    return options_.degaz_on;
}

// ---- window -------------------------------------------------------------------

ui::TForm* PultPlugin::get_form() {
    if (!form_) {
        form_ = new TPultFrm(nullptr);
        form_->on_destroy = [this] {
            form_ = nullptr;
            lib::Locker l(&lock_);
            shown_ = false;
        };
    }
    return form_;
}

void PultPlugin::connect_window() {
    TPultFrm* f = form_;
    f->on_text = [this](const AnsiString& t) { set_text(t); };
    f->on_signal = [this](bool pressed) { signal(pressed); };
    f->on_light = [this](int v) { set_light(v); };
    f->on_degaz = [this](DegazContType mode, bool on) { set_degaz(mode, on); };
    f->on_alarm_activation = [this](bool on) { set_alarm_activation(on); };
    f->get_degaz_mode = [this] { return degaz_mode(); };
    f->get_degaz_on = [this] { return degaz_on(); };
}

void PultPlugin::show(bool first) {
    get_form();
    PultOptions o = options_snapshot();
    if (first) {
        form_->set_text(o.text);
        connect_window();
        form_->set_text_variants(o.text_variants);
        update_indicators(o);
    }
    form_->refresh(*this, o);
    form_->enable(*this, o);
    lib::Locker l(&lock_);
    shown_ = true;
}

void PultPlugin::enable_window() {
    if (!window_shown() || !form_) return;
    form_->enable(*this, options_snapshot());
}

void PultPlugin::finalize() {
    if (!window_shown() || !form_) return;
    set_text(form_->text());
}

bool PultPlugin::run_settings() {
    PultOptions copy = options_snapshot();
    TOptForm dlg(nullptr, copy, *this);
    dlg.on_apply = [this](const PultOptions& o) { apply_options(o); };
    dlg.on_calibrate = [this] { calibrate(); };
    const bool ok = dlg.execute();
    if (ok && window_shown() && form_) {
        const PultOptions o = options_snapshot();
        form_->set_text_variants(o.text_variants);
        form_->enable(*this, o);
    }
    return ok;
}

void PultPlugin::event(reg::PluginEventType type, const std::any&) {
    if (type == reg::pe_options)
        run_settings();
    else if (type == reg::pe_params_changed)
        copy_calibrations();
}

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t handle) {
    ui::Application().SetHandle(handle);
    try {
        return new PultPlugin;
    } catch (const std::exception& e) {
        os::log_error("pult: " + std::string(e.what()));
        return nullptr;
    }
}
