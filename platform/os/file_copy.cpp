#include "platform/os/file_copy.h"

#include <cstring>
#include <vector>

#include "platform/os/directory.h"
#include "platform/os/file.h"

namespace os {

namespace {

bool copy_into(std::string_view from, std::string_view to, bool fail_if_exists, std::string* error) {
    auto fail = [&](const std::string& why, int err) {
        if (error) *error = why + (err ? std::string(": ") + std::strerror(err) : std::string());
        return false;
    };
    File source;
    if (source.open(from, File::Mode::read, false) != File::Status::ok)
        return fail("cannot open " + std::string(from), source.last_error());
    ReplacementFile target;
    if (!target.create(native_path(to))) return fail("cannot create " + std::string(to), target.last_error());
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const std::int64_t n = source.read(buffer.data(), buffer.size());
        if (n < 0) return fail("cannot read " + std::string(from), source.last_error());
        if (n == 0) break;
        if (!target.write(buffer.data(), static_cast<std::size_t>(n)))
            return fail("cannot write " + std::string(to), target.last_error());
    }
    if (fail_if_exists && path_exists(to)) return fail(std::string(to) + " exists", 0);
    if (!target.commit()) return fail("cannot write " + std::string(to), target.last_error());
    return true;
}

}  // namespace

bool copy_file(std::string_view from, std::string_view to, std::string* error) {
    return copy_into(from, to, false, error);
}

bool copy_file(std::string_view from, std::string_view to, bool fail_if_exists, std::string* error) {
    if (fail_if_exists && path_exists(to)) {
        if (error) *error = std::string(to) + " exists";
        return false;
    }
    return copy_into(from, to, fail_if_exists, error);
}

}  // namespace os
