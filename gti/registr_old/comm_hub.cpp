#include "gti/registr_old/comm_hub.h"

#include <map>

#include "library/lock_object.h"
#include "platform/rtl/numbers.h"

namespace hardware {

namespace {

// A protocol table built without a hub (the root object hands its own to
// the table it owns) stands alone: variables live here, and the frame, the
// configuration and the parameter table read as empty (nothing measured,
// nothing configured).
class DetachedHub : public HubAccess {
public:
    void set_variable(const std::string& name, const std::string& text) override {
        lib::Locker l(&lock_);
        variables_[name] = text;
    }
    std::string get_variable(const std::string& name) override {
        lib::Locker l(&lock_);
        auto it = variables_.find(name);
        return it == variables_.end() ? std::string() : it->second;
    }
    double get_float_variable(const std::string& name) override { return rtl::StrToFloatDef(get_variable(name), 0.0); }
    lib::lock_object& hub_lock() override { return lock_; }
    double get_average(const std::string&) override { return 0; }
    bool get_failure(const std::string&) override { return false; }
    double get_bottom_depth() override { return 0; }
    int get_operation() override { return 0; }
    double get_config_value(const std::string&) override { return 0; }
    int get_indicator_code(int) override { return -1; }
    bool get_limit_max(const std::string&, double&) override { return false; }
    bool get_calibration(const std::string&, Calibration&) override { return false; }

private:
    lib::lock_object lock_;
    std::map<std::string, std::string> variables_;
};

}  // namespace

HubAccess& station_hub() {
    // Never destroyed: the protocols may be used until the process ends.
    static HubAccess* hub = new DetachedHub;
    return *hub;
}

}  // namespace hardware
