#pragma once
// Writes a whole file so that a crash or a full disk never leaves it half
// written: the bytes go to a temporary file beside it, which is synced and
// renamed over the target. On failure the target stays as it was and
// std::runtime_error names the file and the cause.

#include <string>

namespace registr {

void write_whole_file(const std::string& path, const std::string& bytes);

}  // namespace registr
