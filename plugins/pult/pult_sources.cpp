#include "plugins/pult/pult_sources.h"

#include "gti/registr_old/all_params.h"
#include "library/numeric/numeric.h"

namespace pult {

std::string gaz_source(int indi_gaz) {
    static const char* const names[gaz_source_count] = {"сумм_газ",    "сумм_газ2",
                                                        "сумм_газ3",   "водород",
                                                        "сероводород", "температура_на_выходе",
                                                        "тальблок",    "момент_на_ключе"};
    return indi_gaz >= 0 && indi_gaz < gaz_source_count ? names[indi_gaz] : "";
}

std::string level_source(int indi_level) {
    if (indi_level <= 0) return "";
    if (indi_level == 1) return "уровень_в_емкости";
    return "уровень_в_емкости" + std::to_string(indi_level);
}

std::string plotn_source(int indi_plotn) {
    switch (indi_plotn) {
        case 0: return ParamVars::radio_dens_in;
        case 1: return "плотность_на_входе";
        case 2: return ParamVars::radio_dens_out;
        case 3: return "плотность_на_выходе";
        default: return "";
    }
}

std::array<Range, 4>& supply_ranges() {
    static std::array<Range, 4> ranges = {{
        {3.0, 3.6, "pult.voltage", true},
        {-60, 80, "pult.tempr", true},
        {4.5, 5.5, "pult.+5v", true},
        {11.0, 13.0, "pult.+12v", true},
    }};
    return ranges;
}

bool out_of_range(const Range& r, double value, bool recording) {
    if (lib::is_over_null(value) || !recording || !r.enabled) return false;
    return value < r.minimum || value > r.maximum;
}

}  // namespace pult
