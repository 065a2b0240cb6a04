// Subscribing to the frame's operation signal, kept apart: GCC warns of a
// maybe-uninitialized group key inside Boost.Signals2's connect() when the
// sanitizers are on (an optional that is never read unset), and the warning
// is silenced for this one function rather than for the frame's code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "gti/registr_old/data_storage.h"

boost::signals2::connection DataStorage::connect_operation(const std::function<void(OperType)>& slot) {
    return operation_signal_.connect(slot);
}
