#pragma once
// What the host takes of the hub's drilling calculations for its own part
// of the cycle (moving the bit, lifting the lag marks): the depth sensor's
// pulses per metre from the hub's calibration, and the annulus capacity
// from the hub's well data.

#include <functional>
#include <string>

namespace calc {
class DepthCalc;
}
namespace pore {
class PoreOpt;
}

namespace station_host {

// Litres per metre of annulus between the surface and depth (the bit), as
// the well's construction and drill string give it, times the hole
// enlargement factor k (not positive: 1). 0 when the well data has no bore
// down there to go by.
double annulus_capacity(const pore::PoreOpt& well, double depth, double k);

// The depth sensor's pulses per metre of block travel at a block position:
// the hub's calibration, asked with the configured coefficient as the given
// one. A table without a calibrated interval falls back to the configured
// coefficient and is reported once (through report), not every frame.
class DepthPulses {
public:
    explicit DepthPulses(std::function<void(const std::string&)> report) : report_(std::move(report)) {}
    // 0 when there is nothing to go by: no calibrated interval and no
    // positive configured coefficient.
    double at(const calc::DepthCalc& calibration, double position, double configured);

private:
    std::function<void(const std::string&)> report_;
    bool reported_ = false;
};

}  // namespace station_host
