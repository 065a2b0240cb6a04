#include "tools/station_host/hub_calc.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/pore_opt.h"
#include "platform/rtl/numbers.h"

namespace station_host {

double annulus_capacity(const pore::PoreOpt& well, double depth, double k) {
    if (!(depth > 0)) return 0;
    std::vector<pore::PoreSection> sections;
    well.divide_to_sections(sections, float(depth), true);
    double volume = 0, length = 0;  // m³, m
    for (const pore::PoreSection& s : sections) {
        // A stretch with no bore in the well data tells nothing.
        // Only down to the bit: what lies below it lifts nothing.
        const double top = s.top, bottom = std::min<double>(s.bottom, depth);
        if (!(s.pore_diam > 0) || !(bottom > top)) continue;
        const double d = s.pore_diam / 1000.0, id = std::max(0.0, s.instr_diam / 1000.0);
        const double area = std::max(0.0, std::numbers::pi / 4 * (d * d - id * id));
        volume += area * (bottom - top);
        length += bottom - top;
    }
    if (!(length > 0) || !(volume > 0)) return 0;
    return volume / length * 1000 * (k > 0 ? k : 1.0);
}

double DepthPulses::at(const calc::DepthCalc& calibration, double position, double configured) {
    try {
        return calibration.calc_coeff(float(position), float(configured));
    } catch (const calc::NotCalibrated&) {
        const bool usable = configured > 0 && std::isfinite(configured);
        if (!reported_) {
            reported_ = true;
            report_("depth: the depth sensor's calibration table \"" + calibration.get_section() +
                    "\" has no calibrated interval; " +
                    (usable ? "using the configured " + rtl::FloatToStr(configured) + " pulses per metre"
                            : std::string("no pulses per metre are configured either: the bit is not moved")));
        }
        return usable ? configured : 0;
    }
}

}  // namespace station_host
