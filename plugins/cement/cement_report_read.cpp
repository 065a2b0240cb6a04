// The report data reader, apart from the writer: it needs nothing of the
// hub, so the report program's tests and the fuzzer take it alone.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/ini_file.h"

namespace cement {

std::vector<std::pair<std::string, std::string>> read_report_data(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return out;
    rtl::IniFile ini(path);
    for (const std::string& line : ini.ReadSectionValues("Report")) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return out;
}

}  // namespace cement
