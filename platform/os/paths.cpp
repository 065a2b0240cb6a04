#include "platform/os/paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace os {
namespace {

std::mutex g_mutex;
std::string g_program_dir_override;

bool usable_private_dir(const std::string& dir, std::string& why) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        why = "not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        why = "owned by another user";
        return false;
    }
    if ((st.st_mode & 0077) != 0) {
        why = "open to other users";
        return false;
    }
    return true;
}

}  // namespace

std::string program_path() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string program_dir() {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_program_dir_override.empty()) return g_program_dir_override;
    }
    std::string path = program_path();
    if (path.empty()) return ".";
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void set_program_dir_override(const std::string& dir) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_program_dir_override = dir;
    while (g_program_dir_override.size() > 1 && g_program_dir_override.back() == '/') g_program_dir_override.pop_back();
}

std::string runtime_dir() {
    std::string why;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        std::string dir = std::string(xdg) + "/station";
        if (usable_private_dir(dir, why)) return dir;
    }
    std::string dir = "/tmp/station-" + std::to_string(::geteuid());
    if (!usable_private_dir(dir, why)) throw std::runtime_error("runtime_dir: can't use folder '" + dir + "': " + why);
    return dir;
}

}  // namespace os
