#pragma once
// For tests and benchmarks of long trips: a trip the host recorded for a
// few seconds, made as long as wanted by the station's own writer.

#include <cstdint>
#include <string>

#include "library/storage/file_storage.h"
#include "library/time_conv.h"

namespace station_host::testing {

// The trip's time file made `seconds` long: the header and texts of the short
// trip the host recorded, then a record a second up to `ago` seconds ago.
inline void lengthen(const std::string& path, int seconds, int ago) {
    FileStorage recorded;
    recorded.add_file(path, false);
    FileStorage t;
    for (int c = 0; c < recorded.get_params_count(); ++c) t.add_parametr(*recorded.get_param(c));
    const std::uint32_t end = lib::get_local_time() - std::uint32_t(ago);
    for (int i = 0; i < seconds; ++i) {
        FileStorageItem r;
        r.time = end - std::uint32_t(seconds) + std::uint32_t(i);
        r.depth_z = 1000.0f;
        r.depth_cur = 990.0f;
        r.lag_depth = 995.0f;
        r.values.assign(std::size_t(t.get_params_count()), float(i % 50));
        t.add_record(r);
    }
    t.text_values().set_full_text(recorded.text_values().get_full_text());
    t.save_with_new_format(path, -1);
}

}  // namespace station_host::testing
