#include "programs/vargel2/run_state.h"

#include <filesystem>
#include <system_error>

#include "library/file_finder.h"
#include "library/time_conv.h"
#include "library/well_files.h"

namespace vargel2 {

namespace {

std::string two_digits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

std::string padded(std::int32_t v, std::size_t width) {
    std::string s = std::to_string(v);
    const bool negative = !s.empty() && s[0] == '-';
    std::string digits = negative ? s.substr(1) : s;
    while (digits.size() + (negative ? 1 : 0) < width) digits.insert(0, "0");
    return negative ? "-" + digits : digits;
}

}  // namespace

std::string absolute_path(const std::string& path, const std::string& base) {
    const std::string joined = !path.empty() && path[0] == '/' ? path : base + "/" + path;
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= joined.size()) {
        std::size_t next = joined.find('/', at);
        if (next == std::string::npos) next = joined.size();
        const std::string part = joined.substr(at, next - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = next + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string start_folder() {
    static const std::string folder = [] {
        std::error_code ec;
        auto p = std::filesystem::current_path(ec);
        return ec ? std::string("/") : p.string();
    }();
    return folder;
}

void command_line_setup(const std::vector<std::string>& arguments, const std::string& current_folder, RunState& state) {
    state.masks.clear();
    for (const auto& a : arguments) state.masks.push_back(absolute_path(a, current_folder));
    if (state.masks.empty()) return;
    const std::string& first = state.masks.front();
    const auto slash = first.rfind('/');
    const std::string folder = first.substr(0, slash);  // "" for the root
    const std::string name = first.substr(slash + 1);
    const bool is_mask = name.find_first_of("*?") != std::string::npos;
    if (state.masks.size() == 1 && !is_mask) {
        state.package_path = first + ".7z_reg";
    } else {
        const std::string last = folder.substr(folder.rfind('/') + 1);
        state.package_path = folder + "/" + (last.empty() ? std::string("file") : last) + ".7z_reg";
    }
    state.data_folder = folder + "/";
    state.destination_folder = folder + "/";
}

std::string safe_name_part(const std::string& text) {
    std::string s = lib::check_file_name(text);
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '-';
    }
    std::string out;
    for (char c : s) {
        if (c == '.' && !out.empty() && out.back() == '.') continue;
        out += c;
    }
    return out;
}

std::int32_t trip_number(const std::string& text) { return lib::race_num_of(text); }

std::string package_tag(const RunState& state) {
    if (state.all_data()) return "ALL_DATA";
    if (!state.trips.empty()) {
        std::string tag = "races";
        for (auto t : state.trips) tag += "_" + padded(t, 3);
        return tag;
    }
    int day = 0, month = 0, year = 0, hour = 0, min = 0;
    lib::big_time(static_cast<std::uint32_t>(state.range_start), day, month, year, hour, min, nullptr);
    return std::to_string(year) + "_" + two_digits(month) + "_" + two_digits(day) + "_" + two_digits(hour);
}

std::string package_path(const std::string& destination_folder, const RunState& state) {
    return destination_folder + "GTI_[" + safe_name_part(state.area_name) + "_" + safe_name_part(state.well_name) +
           "]_(" + package_tag(state) + ").compr_rt";
}

}  // namespace vargel2
