#pragma once
// Config: the station's main options object: the bit run, the depth
// counter, recording steps, operation recognition, pumps, the density
// meter, the acquisition link, lag depth and sound alarms, plus the
// interface colours, the console indicator overrides, the three pumps, the
// alarm limits and the trip information. The station host loads and saves
// it through the options engine and reads most fields directly.
//
// GlobalNums: the positions in the parameter table of 32 well-known
// parameters, -1 for each until calculate() has run and for each parameter
// the table lacks.

#include "gti/registr_old/min_max_values.h"
#include "gti/registr_old/race_info.h"
#include "library/options/ini_options.h"
#include "library/options/options.h"
#include "library/serial/module_list.h"
#include "library/util/array.h"
#include "platform/rtl/colors.h"

#include <boost/signals2/signal.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace rtl {
class StringList;
}

class DataStorage;
class Values;
namespace reg {
class System;
}

using AnsiString = std::string;

// One mud pump.
class NasosOpt {
public:
    NasosOpt() = default;
    // x × volume × fill coefficient × range ÷ 60.
    double calc_volume(float x) const;

    float volume = 8;
    float fill_koeff = 0.8f;
    float range = 60;
    float piston_diameter = 160;
    float piston_stroke = 400;
    float rod_diameter = 80;
    int pistons = 3;
    bool double_acting = false;
};

// The colours and fonts of the station's windows, section "colors". A
// colour is a TColor, 0x00BBGGRR.
class UserInterfaceOpt : public lib::ini_options {
public:
    using TColor = rtl::TColor;

    UserInterfaceOpt();
    // Every stored key but "indi_color" back to its default.
    void default_gr();
    void default_toppan() { indi_color = 0xFFFFFF; }
    void get_elements_list(lib::ini_options_elements& list) override;

    TColor frames_color = 0x808080;
    TColor phone_color = 0xFFFFFF;  // background
    TColor line_color = 0x808080;
    TColor text_color = 0x000000;
    TColor hat_color = 0xFFFFFF;
    TColor indi_color = 0xFFFFFF;
    bool use_pens = true;
    int gr_font_size = 8;
    int panel_size = 100;
    AnsiString gr_font_name = "Tahoma";
    int depth_clmn_view = 0;
    // Not stored: the window button face darkened by 32 and by 8, for the
    // host's panels.
    TColor dark_face;
    TColor light_face;
};

// The eight console indicators: -1 shows the measured value, anything else
// is sent to the indicator as it stands.
struct PultIndicator {
    PultIndicator() { values.fill(-1); }
    // The code indicator `index` shows for a value of the full scale: its
    // fixed code when it has one, else value / full scale onto 0-255 (cut
    // to whole steps); 0 for an index outside 0-7.
    std::uint8_t get_dac_value(int index, double value, double full_scale) const;
    std::array<std::int32_t, 8> values;
};

struct GlobalNums {
    enum Index : int {
        ves_na_kruke,
        davlenie_na_vhode,
        uroven_v_emkosti,
        plotnost_na_vhode,
        moment_rotora,
        rashod_na_vyhode,
        hody_nasosa,
        talblok,
        rashod_na_vhode,
        obem_emkosti,
        nagruzka,
        skorost_spo,
        skorost_meh,
        dmk,
        dmk1,
        skorost_bureniya,
        oboroty_rotora,
        davlenie1_na_vhode,
        davlenie2_na_vhode,
        temperatura_na_vhode,
        temperatura_na_vyhode,
        plotnost_na_vyhode,
        reisovaya_skorost,
        stoimost_metra,
        summarny_gaz,
        ud_soprotivlenie,
        summ_gaz,
        max_gaz,
        davlenie1_na_vyhode,
        davlenie2_na_vyhode,
        elprov_na_vhode,
        elprov_na_vyhode,
        count
    };
    // The global names, in the order of Index.
    static const char* const names[count];

    GlobalNums() { clear(); }
    void clear() { pos.fill(-1); }
    // The position of each name in the frame's parameter table (-1 when it
    // has none).
    void calculate(const DataStorage& ds);
    std::int32_t operator[](Index i) const { return pos[static_cast<std::size_t>(i)]; }

    std::array<std::int32_t, count> pos;
};

// Puts the trip information into the hub's module list: registered as
// "RaceInfoOld", streamed as "RaceInfoNew".
class RaceInfoModule : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    explicit RaceInfoModule(RaceInfoOld* info) : info_(info) {}
    void enum_values(lib::options_list& list) { info_->enum_values(list); }
    void get_serial_list(lib::serial_list& list, unsigned param) override { info_->get_serial_list(list, param); }
    void get_serial_name(AnsiString& name) override { info_->get_serial_name(name); }

private:
    RaceInfoOld* info_;
};

class Config : public lib::options_base {
public:
    Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // The hub's frame and named values, which a few operations read and
    // write; until they are attached those operations do nothing (or give 0).
    void attach(DataStorage* frame, Values* values) {
        frame_ = frame;
        values_ = values;
    }

    void defaults();
    void enum_values(lib::options_list& list) override;
    // The alarm limits go into the same file.
    void save_additional_info(rtl::IniFile* ini) override;
    // The alarm limits, then check() and fill_to_variables().
    void load_additional_info(rtl::IniFile* ini) override;
    // The console type decides two options: -6 forces buttons off and
    // circulation by pressure on, -1 turns both off.
    void check();
    // "ves0" and "KoefPolispast" in the named values.
    void fill_to_variables() const;
    void register_modules(lib::ModuleList& modules);
    static void dril_types_to_strings(rtl::StringList* list);
    void set_WKol(double v) { w_kol = static_cast<float>(v); }
    double get_nas0() const;
    double get_nas1() const;
    double get_nas2() const;
    double get_rotor() const;

    RaceInfoOld& get_race_info() { return *race_info_ptr; }
    MinMaxValues& get_min_max() { return min_max; }
    NasosOpt& nasos(int i) { return nasos_opt[i]; }

private:
    std::unique_ptr<RaceInfoOld> race_info_;
    std::unique_ptr<RaceInfoModule> race_info_module_;

public:
    RaceInfoOld* race_info_ptr;
    MinMaxValues min_max;
    lib::array<NasosOpt> nasos_opt;
    UserInterfaceOpt ui_opt;
    PultIndicator pult_indicator;

    // "рейс"
    int nomer_dolbleniya = 1;
    // "ДОЛ"
    float dol_koeff = 150;
    float dlina_mernogo = 12;
    int revers_dol = 1;
    float svecha = 36;
    float min_talblok = 0;
    // "запись_и_осреднение"
    float depth_step = 0.2f;
    int time_step = 10;
    bool save_fast_file = true;
    // "настройки_распознавания"
    float zero_weight = 10;
    bool use_rotor = false;
    bool use_prorab_dmk = false;
    bool use_klinya = false;
    float zero_pressure = 10;
    float max_load = 30;
    float min_load = 0.5f;
    float w_kol = 5;  // total string weight
    float load_depth = 100;
    int max_tal_move_counter = 5;
    // "прочие_настройки"
    float last_tal = 0;
    float plotnomer_base = 1;
    float plotnomer_koeff = 84;
    float polispast_koeff = 10;
    float koef_t_plt1 = 0;
    float koef_t_plt2 = 0;
    int screen_size = 1800;
    bool pult_buttons = false;
    float add_rastvor_v = 0;
    float rotor_koeff = 1;
    int rotor_pulses = 1;
    // "связь"
    int data_source = 0;
    AnsiString port = "COM1";
    bool data_sound = true;
    int data_sound_length = 20;
    int pult_type = 0;
    AnsiString remote_computer = "::не задано::";
    bool use_pult_signal = true;
    bool use_pult_relay = false;
    AnsiString ds_file_name;
    AnsiString net_name;
    bool use_net_uso = false;
    // "задержанная_глубина"
    float zero_out_flow = 17;
    float out_flow = 25;
    int lag_by_time = 1;
    float lag_time = 0;
    float lag_time_add = 0;
    int circ_by_pressure = 0;
    int gas_pass_time = 0;
    int label_interval = 1;
    int flow_source = 1;
    // "звуковое_предупреждение"
    int snd_pressure_on = 0;
    int snd_pressure_off = 0;
    int snd_on_bottom = 0;
    int snd_kind = 0;
    int signal_prihvat = 1;

    // Outlet and gas parameters, for the host; nothing here reads it.
    AnsiString lag_params;

    // The host's own: a notification and fields whose meaning is its own.
    boost::signals2::signal<void()> on_change;
    AnsiString host_texts[5];
    float host_floats[7] = {};
    int host_int = 0;

private:
    DataStorage* frame_ = nullptr;
    Values* values_ = nullptr;
};
