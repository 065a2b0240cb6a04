#pragma once
// Three small modules of the recording hub: which mud pumps are working
// (NasosWork), the switchable factor on the casing-pipe value (ObTrub), and
// the mud tanks with their level-to-volume factors and totals (VEmkOpts).

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "library/options/ini_options.h"
#include "library/options/ini_serial.h"
#include "library/serial/module_list.h"
#include "library/util/array.h"

// A pump counts as working from the first frame with strokes until five
// frames after the last one.
class NasosWork : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    static constexpr int pump_count = 3;
    static constexpr std::int32_t hold_frames = 5;

    NasosWork() = default;

    // One frame of stroke readings, pump 1 first. Readings beyond the three
    // pumps are ignored; a pump without a reading had no strokes.
    void work(const lib::array<float>& strokes);
    // False for a pump number outside 0..2.
    bool is_working(int pump) const;

    // Module stream "NasosWork": the three counters in pump order; a counter
    // read back is kept within 0..5.
    void get_serial_list(lib::serial_list& list, unsigned param) override;
    void get_serial_name(std::string& name) override { name = "NasosWork"; }

protected:
    std::array<std::int32_t, pump_count> counters_{};
};

// The casing-pipe value times "koef1" while "sect" is on. Kept in the INI
// section "ObTrub" (keys "sect" and "koef1").
class ObTrub : public virtual lib::ModuleBaseOld, public lib::ini_options {
public:
    ObTrub() = default;

    // 0 while "sect" is off (the last result then stays); else x × koef1,
    // which becomes the last result.
    double calc_value(float x);
    float get_last_result() const { return last_result_; }

    void get_elements_list(lib::ini_options_elements& list) override;

    bool sect = true;
    float koef1 = 1.0f;

protected:
    float last_result_ = 0;
};

// One mud tank.
class VEmkOpt : public lib::IniSerialItem {
public:
    static constexpr float default_factor = 30.0f;

    VEmkOpt() = default;
    VEmkOpt(std::string level_name, std::string volume_name)
        : name_(std::move(level_name)), vname_(std::move(volume_name)) {}

    // Comma text: factor, used, volume, top-up, in tank (numbers with two
    // decimals, flags "1" or "0").
    void set_to_string(std::string& out) const override;
    // Missing flags read as set; a negative factor gives 30, a negative
    // volume 0.
    void get_from_string(const std::string& in) override;

    // level × factor; a negative (or not-a-number) volume is 0.
    float calc_volume(float level);
    float get_volume() const { return volume_; }

    const std::string& get_name() const { return name_; }
    const std::string& get_vname() const { return vname_; }
    bool is_used() const { return used_; }
    bool is_in_tank() const { return in_tank_; }
    bool is_doliv() const { return doliv_; }
    float get_factor() const { return factor_; }

    void set_factor(float f) { factor_ = f; }
    void set_used(bool v) { used_ = v; }
    void set_doliv(bool v) { doliv_ = v; }
    void set_in_tank(bool v) { in_tank_ = v; }

    // Factor 30, volume 0, used, top-up, not in tank; the names stay.
    void set_defaults();

    // Module stream: factor, volume, used, in tank, top-up.
    void get_serial_list(lib::serial_list& list);

protected:
    float factor_ = default_factor;
    float volume_ = 0;
    std::string name_;   // global name of the level parameter
    std::string vname_;  // global name of the volume parameter
    bool used_ = true;
    bool doliv_ = true;  // top-up tank
    bool in_tank_ = false;
};

// The 17 tanks and their four totals.
class VEmkOpts : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    static constexpr int tank_count = 17;

    VEmkOpts();

    // Tank i for 0 <= i <= 16; any other index gives one shared spare tank.
    VEmkOpt& operator[](int i);

    int get_elem_count() const { return tank_count; }
    VEmkOpt& get_elem(int i) { return (*this)[i]; }
    // The set is fixed at 17 tanks.
    void set_elems_size(int) {}

    // Adds up the tanks' last volumes: every tank into the whole total; the
    // used ones into the active total, and by their flags into the top-up
    // and in-tank totals.
    void calc_total();
    float get_active_tank_v() const { return active_; }
    float get_whole_tank_v() const { return whole_; }
    float get_whole_doliv_v() const { return doliv_; }
    float get_total_in_tank() const { return in_tank_; }

    // The mud volume in circulation, written by the computed values.
    float get_circulating_v() const { return circulating_; }
    void set_circulating_v(float v) { circulating_ = v; }

    // Module stream "VEmkOpts": the active, whole and top-up totals, the
    // circulating volume and one float more, then the 17 tanks.
    void get_serial_list(lib::serial_list& list, unsigned param) override;
    void get_serial_name(std::string& name) override { name = "VEmkOpts"; }

protected:
    float active_ = 0;
    float whole_ = 0;
    float doliv_ = 0;
    float in_tank_ = 0;
    float circulating_ = 0;
    float reserved_ = 0;  // kept in the saved state, used by nothing
    std::array<VEmkOpt, tank_count> tanks_;
};
