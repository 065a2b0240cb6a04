#include "gti/registr_old/calc_values.h"

#include <stdexcept>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/race_info.h"

namespace calc {

CalcValues::CalcValues() : race_total_(std::make_unique<RaceTotal>()) {
    modules_.push_back({"CalcValues::calc_units", &CalcValues::calc_units});
    modules_.push_back({"CalcValues::calc_pipes", &CalcValues::calc_pipes});
}

CalcValues::~CalcValues() = default;

void CalcValues::calc_and_store(CalcValuesData& d) {
    for (const CalcModule& m : modules_) execute_module(m, d);
}

void CalcValues::execute_module(const CalcModule& m, CalcValuesData& d) {
    try {
        (this->*m.operation)(d);
    } catch (const std::exception& e) {
        if (hub_.err_log) hub_.err_log->add("Исключение в  " + m.name + " (" + e.what() + ").");
    } catch (...) {
        if (hub_.err_log) hub_.err_log->add("Неизвестное исключение в " + m.name + ".");
    }
}

const CalcValues::Hub& CalcValues::checked_hub() const {
    if (!hub_.config || !hub_.nums) throw std::logic_error("CalcValues: расчёты не подключены к системе");
    return hub_;
}

void CalcValues::calc_units(CalcValuesData& d) {
    const Hub& hub = checked_hub();
    if (!d.pore || !d.storage) throw std::invalid_argument("CalcValues: нет данных кадра");
    DataStorage& ds = *d.storage;
    const GlobalNums& nums = *hub.nums;
    auto& cur = ds.current_values;

    cur["обороты_турбины"] = tanks_.ob_trub.calc_value(static_cast<float>(ds[nums[GlobalNums::rashod_na_vhode]]));

    VEmkOpts& tanks = tanks_.tanks;
    for (int i = 0; i < VEmkOpts::tank_count; ++i) {
        VEmkOpt& tank = tanks[i];
        cur[tank.get_vname()] = tank.calc_volume(static_cast<float>(ds[tank.get_name()]));
    }
    tanks.calc_total();
    cur[nums[GlobalNums::obem_emkosti]] = tanks.get_whole_tank_v();
    cur["объем_актив_емкости"] = tanks.get_active_tank_v();
    cur["объем_в_доливных_емкостях"] = tanks.get_whole_doliv_v();
    cur["объем_в_приёмных_емкостях"] = tanks.get_total_in_tank();

    const instr::Items& string = *d.pore->get_instr();
    const float k = static_cast<float>(hub.config->get_race_info().kavern_koeff);
    const float v = d.pore->get_construction()->get_volume(k);
    instr::CalcResult r;
    string.calc_misc(string.get_total_count(), 0, string.get_total_len(), r);
    const float added = hub.config->add_rastvor_v;

    tanks.set_circulating_v(added + (v + tanks.get_active_tank_v()) - r.metal_volume);
    cur["объем_раствора"] = added + (v + tanks.get_whole_tank_v()) - r.metal_volume;

    string.calc_misc(string.get_total_count(), 0, static_cast<float>(ds.get_depth_cur()), r);
    cur["глубина_инстр_пром"] = r.len;
    cur["объем_спущ_мет"] = r.metal_volume_to_depth;
}

void CalcValues::calc_pipes(CalcValuesData& d) {
    const Hub& hub = checked_hub();
    if (!d.pore || !d.storage) throw std::invalid_argument("CalcValues: нет данных кадра");
    DataStorage& ds = *d.storage;
    const GlobalNums& nums = *hub.nums;

    candles_.set_max_count(d.pore->get_instr()->get_total_count());
    candles_.add_item(candles::Item(static_cast<float>(ds[nums[GlobalNums::ves_na_kruke]]),
                                    static_cast<float>(ds[nums[GlobalNums::talblok]]), d.stamp));
    const instr::Items* stands = hub.string ? hub.string : d.pore->get_instr();
    candles_.calculate(hub.config->zero_weight, hub.config->svecha, stands->get_svecha_size());
    ds.current_values["число_свечей"] = candles_.get();
    ds.current_values["число_трубок"] = candles_.get_pipe();
}

}  // namespace calc
