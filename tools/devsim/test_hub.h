#pragma once
// For the station tests: a hub of the test's own making behind the
// protocols' hub interface, with every value a test may want to set.

#include <map>
#include <string>

#include "gti/registr_old/comm_hub.h"
#include "library/lock_object.h"
#include "platform/rtl/numbers.h"

namespace devsim::testing {

class TestHub : public hardware::HubAccess {
public:
    std::map<std::string, std::string> variables;
    std::map<std::string, double> averages;
    std::map<std::string, bool> failures;
    std::map<std::string, double> config;
    std::map<std::string, double> limits;
    std::map<std::string, hardware::Calibration> calibrations;
    int indicator_codes[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    double bottom_depth = 0;
    int operation = 0;

    void set_variable(const std::string& name, const std::string& text) override { variables[name] = text; }
    std::string get_variable(const std::string& name) override {
        auto it = variables.find(name);
        return it == variables.end() ? std::string() : it->second;
    }
    double get_float_variable(const std::string& name) override { return rtl::StrToFloatDef(get_variable(name), 0.0); }
    lib::lock_object& hub_lock() override { return lock_; }
    double get_average(const std::string& p) override { return averages.count(p) ? averages[p] : 0.0; }
    bool get_failure(const std::string& p) override { return failures.count(p) && failures[p]; }
    double get_bottom_depth() override { return bottom_depth; }
    int get_operation() override { return operation; }
    double get_config_value(const std::string& o) override { return config.count(o) ? config[o] : 0.0; }
    int get_indicator_code(int i) override { return i >= 0 && i < 8 ? indicator_codes[i] : -1; }
    bool get_limit_max(const std::string& p, double& max) override {
        if (!limits.count(p)) return false;
        max = limits[p];
        return true;
    }
    bool get_calibration(const std::string& p, hardware::Calibration& out) override {
        if (!calibrations.count(p)) return false;
        out = calibrations[p];
        return true;
    }

private:
    lib::lock_object lock_;
};

}  // namespace devsim::testing
