#pragma once
// Reads the tab-separated reference vectors beside the rtl tests.

#include <bit>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rtl_test {

// One line split at tabs, with "\t" and "\\" in the fields unescaped.
using Row = std::vector<std::string>;

inline std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 't' ? '\t' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

inline std::vector<Row> read_vectors(const std::string& name) {
    std::string path = std::string(STATION_SOURCE_DIR) + "/platform/rtl/testdata/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        Row row;
        std::size_t start = 0;
        for (;;) {
            std::size_t tab = line.find('\t', start);
            row.push_back(unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        rows.push_back(row);
    }
    return rows;
}

inline long long to_int(std::string_view text) {
    long long v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        throw std::runtime_error("bad integer " + std::string(text));
    return v;
}

inline double from_bits(const std::string& hex) {
    std::uint64_t bits = 0;
    auto res = std::from_chars(hex.data(), hex.data() + hex.size(), bits, 16);
    if (res.ec != std::errc() || res.ptr != hex.data() + hex.size()) throw std::runtime_error("bad bit pattern " + hex);
    return std::bit_cast<double>(bits);
}

}  // namespace rtl_test
