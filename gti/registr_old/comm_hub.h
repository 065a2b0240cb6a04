#pragma once
// What the protocol table needs of the rest of the hub, in one narrow
// interface: the registry of named values (the console's telemetry goes
// out, the console's text and indicator values come in), the hub lock, the
// current-values frame (running averages, sensor failure flags, the
// bottom-hole depth, the operation), the station configuration and the
// parameter table's calibration of a parameter.
//
// CommProtocols reaches the hub only through this, so its frames can be
// built and checked against a hub of the test's making, and so that no
// protocol code runs into the root object while the root is being built.

#include <string>
#include <utility>
#include <vector>

namespace lib {
class lock_object;
}

namespace hardware {

// A parameter's calibration as the indicator unit receives it.
struct Calibration {
    double gain = 1;
    double offset = 0;
    std::vector<std::pair<double, double>> points;  // (volts, value)
};

class HubAccess {
public:
    virtual ~HubAccess() = default;

    // Registry of named values; each call takes the hub lock itself.
    virtual void set_variable(const std::string& name, const std::string& text) = 0;
    virtual std::string get_variable(const std::string& name) = 0;
    virtual double get_float_variable(const std::string& name) = 0;

    // The hub lock (recursive), held while a packet's numbers are gathered.
    virtual lib::lock_object& hub_lock() = 0;

    // Current-values frame, by the parameter's global name; a parameter
    // that is not in the table reads as 0 and not failed.
    virtual double get_average(const std::string& param) = 0;
    virtual bool get_failure(const std::string& param) = 0;
    virtual double get_bottom_depth() = 0;
    virtual int get_operation() = 0;

    // Station configuration: a float option by its key (0 when unknown).
    virtual double get_config_value(const std::string& option) = 0;
    // The console indicator override of indicator 0-7; -1 for none.
    virtual int get_indicator_code(int indicator) = 0;
    // The alarm-limit maximum of a parameter; false when it has no limits.
    virtual bool get_limit_max(const std::string& param, double& max) = 0;
    // The calibration of a parameter; false when it is not in the table.
    virtual bool get_calibration(const std::string& param, Calibration& out) = 0;
};

// The hub the station runs with (see comm_hub.cpp).
HubAccess& station_hub();

}  // namespace hardware
