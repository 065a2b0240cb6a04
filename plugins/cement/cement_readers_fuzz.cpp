// libFuzzer target of the cementing job's readers (scripts/fuzz.sh builds
// and runs it): the points file and the stage report data.
//
// Whatever the bytes, a points file gives a table of at most what it holds
// (every point one value per column, names of at most 51 bytes) that the
// writer writes and the reader reads back the same; report data gives
// pairs with a name.
//
// fuzz-source: plugins/cement/cement_points.cpp
// fuzz-source: plugins/cement/cement_data.cpp
// fuzz-source: plugins/cement/cement_report_read.cpp
// fuzz-source: plugins/cement/cement_files.cpp

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "plugins/cement/cement_points.h"

namespace cement {
std::vector<std::pair<std::string, std::string>> read_report_data(const std::string& path);
}

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "cement readers: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the reader.
    if (data[0] & 1) {
        ChartPoints table;
        const auto r = cement::decode_points(data + 1, size - 1, table);
        const std::size_t n = table.columns.size();
        check(r == cement::PointsRead::ok || r == cement::PointsRead::truncated || n == 9,
              "a refused file without the default columns");
        for (const AnsiString& c : table.columns) check(c.size() <= 3 * cement::max_column_name, "a long name");
        check(table.points.size() * (8 + 4 * n) <= size, "more points than bytes");
        for (const ChartPoint& p : table.points) check(p.values.size() == n, "a point of another width");
        if (table.points.empty()) return 0;
        const std::string again = cement::encode_points(table);
        ChartPoints back;
        check(cement::decode_points(reinterpret_cast<const std::uint8_t*>(again.data()), again.size(), back) ==
                  cement::PointsRead::ok,
              "a written table does not read back");
        check(back.points.size() == table.points.size() && back.columns.size() == n, "the read-back table differs");
        return 0;
    }
    // One scratch file per run of the fuzzer, removed at its end.
    struct Scratch {
        std::string path =
            (std::filesystem::temp_directory_path() / ("cement-rpt-" + std::to_string(std::random_device{}()) + ".rpt"))
                .string();
        ~Scratch() {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    };
    static const Scratch scratch;
    const std::string& path = scratch.path;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
    for (const auto& [name, value] : cement::read_report_data(path)) check(!name.empty(), "a pair without a name");
    return 0;
}
