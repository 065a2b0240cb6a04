#pragma once
// Whole-file writes of the parameter model: the bytes go to a temporary
// file beside the target, which is synced and renamed over it, so a crash
// or a full disk never leaves a half-written file. On failure the target
// stays as it was and std::runtime_error names the file and the cause.

#include <string>

#include "platform/os/file.h"
#include "platform/rtl/stream.h"

namespace registr {

inline void write_whole_file(const std::string& path, const std::string& bytes) {
    rtl::write_file_atomic(os::native_path(path),
                           [&](rtl::Stream& out) { out.WriteBuffer(bytes.data(), bytes.size()); });
}

}  // namespace registr
