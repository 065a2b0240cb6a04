// Subscribing to the interface-changed notification, kept apart: GCC warns
// of a maybe-uninitialized group key inside Boost.Signals2's connect() when
// the sanitizers are on (an optional that is never read unset), and the
// warning is silenced for this one function rather than for the manager.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "gti/registr_old/reg_plugin_manager.h"

namespace reg {

boost::signals2::connection RegPluginManager::connect_interface_changed(const std::function<void(bool)>& slot) {
    return interface_changed.connect(slot);
}

}  // namespace reg
