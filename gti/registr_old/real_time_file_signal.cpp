// Subscribing to the writer's signals, kept apart: GCC warns of a
// maybe-uninitialized group key inside Boost.Signals2's connect() when the
// sanitizers are on (an optional that is never read unset), and the warning
// is silenced for this one function rather than for the writer's code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "gti/registr_old/real_time_file.h"

boost::signals2::connection RealTimeFile::connect(SaveSignal& signal, const SaveSlot& slot) {
    return signal.connect(slot);
}
