#include "platform/os/port_name.h"

#include <charconv>
#include <map>
#include <mutex>

namespace os {
namespace {

std::mutex g_mutex;
std::map<int, std::string> g_com_paths;

// n for "COMn" with 1 <= n <= 255, else 0.
int com_number(std::string_view name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') return 0;
    std::string_view digits = name.substr(3);
    if (digits[0] == '0') return 0;
    int n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size()) return 0;
    return n >= 1 && n <= 255 ? n : 0;
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

PortAddress parse_port_name(std::string_view name) {
    PortAddress a;
    if (!name.empty() && name.front() == '/') {
        a.device = std::string(name);
        return a;
    }
    if (auto colon = name.find(':'); colon != std::string_view::npos) {
        a.tcp = true;
        a.host = std::string(name.substr(0, colon));
        std::string_view port = trim_blanks(name.substr(colon + 1));
        int n = 0;
        auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
        bool number = !port.empty() && ec == std::errc() && end == port.data() + port.size();
        a.port = number && n >= 1 && n <= 65535 ? n : kDefaultTcpPort;
        return a;
    }
    if (int n = com_number(name)) {
        a.device = com_port_path(n);
        return a;
    }
    if (!name.empty()) a.device = "/dev/" + std::string(name);
    return a;
}

bool set_com_port_path(std::string_view com_name, const std::string& path) {
    int n = com_number(com_name);
    if (!n) return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (path.empty())
        g_com_paths.erase(n);
    else
        g_com_paths[n] = path;
    return true;
}

std::string com_port_path(int n) {
    if (n < 1 || n > 255) return {};
    std::lock_guard<std::mutex> lock(g_mutex);
    if (auto it = g_com_paths.find(n); it != g_com_paths.end()) return it->second;
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace os
