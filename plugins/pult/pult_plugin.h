#pragma once
// PultPlugin: the driller's console plug-in. Every cycle it keeps the
// registry variables current that the hub's console protocol builds the
// display packet from ("pult.text" and the four indicator values), checks
// the console's supply telemetry, and, when the host asks, hands it the
// console's configuration blocks (brightness, degasser, calibrations). It
// mirrors the console's panel in its window and edits its options in a
// settings dialog.
//
// Locking: the plug-in's own lock guards its options and state and is never
// held while it calls into the hub (host callbacks, the root). The hub calls
// into the plug-in under the hub lock, so holding the plug-in's lock while
// waiting for the hub lock could deadlock against another thread; every
// operation therefore takes a snapshot of what it needs under its lock and
// talks to the hub afterwards.

#include <any>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <boost/signals2/connection.hpp>

#include "gti/registr_old/param.h"
#include "gti/registr_old/reg_plugin.h"
#include "library/lock_object.h"
#include "library/options/ini_options.h"
#include "library/serial/module_list.h"
#include "plugins/pult/pult_options.h"

class TPultFrm;
class ParTabl;

namespace pult {
// The parameters whose calibrations the console keeps and the plug-in
// watches, in their order.
extern const char* const watched_params[3];
}  // namespace pult

class PultPlugin : public reg::RegPlugin, public lib::ModuleBaseOld, public lib::ini_options {
public:
    PultPlugin();
    ~PultPlugin() override;

    // ---- the hub's operations -------------------------------------------------
    void fill_plugin_info(reg::PluginInfo& info) override;
    void start_registration(int race_num, bool load) override;
    void stop_registration() override;
    void data() override;
    void show(bool first) override;
    void finalize() override;
    void event(reg::PluginEventType type, const std::any& payload) override;
    ui::TForm* get_form() override;
    // One "EX_OPTS" block when one is due. A host that still holds a block
    // it could not send (data not empty) is offered nothing until it has
    // sent it and emptied data.
    bool send_data_to_pult(AnsiString& header, std::vector<char>& data) override;
    // Binds the options' keys into the list.
    virtual void register_options(lib::ini_options_elements& list);
    void get_elements_list(lib::ini_options_elements& list) override { register_options(list); }
    // A degasser mode the file holds that the console does not know is
    // taken as the automatic one, which is what its block tells the console.
    void load_additional_info(rtl::IniFile* ini) override;

    // ---- what the window and the settings dialog reach (each under the lock) --
    void apply_options(const PultOptions& options);
    void set_text(const AnsiString& text);
    void set_degaz(DegazContType mode, bool on);
    void set_light(int light);
    void signal(bool pressed);
    void set_alarm_activation(bool on);
    void calibrate();
    DegazContType degaz_mode() const;
    bool degaz_on() const;

    // ---- indicator sources, supply checks, calibration watch -------------------
    void update_indicators();
    void reset_supply_checks();
    void check_calibrations();
    void copy_calibrations();

    // The settings dialog (event 1); true when it closed with OK. Tests and
    // the host may replace how it runs.
    bool run_settings();

    PultOptions options_snapshot() const;
    bool window_shown() const;
    TPultFrm* form() const { return form_; }

    // The beeps of the supply alarm and of a finished calibration upload:
    // the hub's (Sound::beep, which the host sounds) unless set.
    using Beep = std::function<void(int hz, int ms)>;
    void set_beep(Beep beep) { beep_ = std::move(beep); }
    // The local date-time of the time text; rtl::Now() unless set.
    void set_date_time_source(std::function<double()> now) { now_ = std::move(now); }

    // The number of send_data_to_pult calls so far, for the process.
    static long call_count();

private:
    // The root the host handed in; its absence is a fault of the caller.
    reg::System& hub() const;
    void beep(int hz, int ms) const;
    void enable_window();
    void connect_window();
    void update_indicators(const PultOptions& o);
    void update_text_line(const PultOptions& o);
    void check_supply(const PultOptions& o, bool activate);
    ParTabl hub_table() const;
    void fill_block(int command, std::vector<char>& data) const;

    std::array<Param, 3> copies_;
    mutable lib::lock_object lock_;
    boost::signals2::scoped_connection hub_connection_;
    int indi_send_state_ = 0;
    PultOptions options_;
    int last_light_ = -1;
    std::int32_t last_degaz_cont_type_ = 0;
    bool last_degaz_on_ = false;
    bool shown_ = false;
    bool force_send_ = true;
    bool activate_on_alarm_ = true;
    // Whether the last check found the supply out of range: the error log
    // says so once when it starts.
    bool supply_alarm_ = false;
    TPultFrm* form_ = nullptr;
    Beep beep_;
    std::function<double()> now_;
};

// The one plug-in object of the library (null when none lives).
PultPlugin* pult_plugin();

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t handle);
