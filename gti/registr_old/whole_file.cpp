#include "gti/registr_old/whole_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

#include "platform/os/file.h"

namespace registr {

void write_whole_file(const std::string& path, const std::string& bytes) {
    const std::string target = os::native_path(path);
    static std::atomic<unsigned> counter{0};
    const std::string temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    const auto fail = [&](const char* what, int err) {
        ::unlink(temp.c_str());
        throw std::runtime_error(std::string(what) + " '" + target + "': " + std::strerror(err));
    };

    os::File file;
    if (file.open(temp, os::File::Mode::write_truncate, false) != os::File::Status::ok)
        fail("cannot create a temporary file for", file.last_error());
    if (!file.write(bytes.data(), bytes.size())) fail("cannot write", file.last_error());
    if (::fsync(file.fd()) != 0) fail("cannot write", errno);
    if (!file.close()) fail("cannot write", errno);
    if (std::rename(temp.c_str(), target.c_str()) != 0) fail("cannot replace", errno);
}

}  // namespace registr
