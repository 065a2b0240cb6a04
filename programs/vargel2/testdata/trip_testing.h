#pragma once
// For the packing program's tests: a well's recorded files written through
// the data-file table, folders of a program beside them, stand-in programs,
// and reading a package back (7za x, then the data-file table).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "library/storage/file_storage.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"

namespace vargel2::testing {

inline void write_text(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string read_text(const std::string& path) { return os::testing::read_bytes(path); }

// Where a window test's picture goes, for review.
inline std::string png_path(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

// The value of column c of record i of the trips the tests write.
inline float trip_value(int i, int c) {
    return 100.0f + 10.0f * static_cast<float>(c) +
           25.0f * std::sin(0.01f * static_cast<float>(i) + static_cast<float>(c));
}

// A real-time file of n records, one every `step` seconds from t0, over
// `columns` parameters.
inline void write_trip(const std::string& path, std::uint32_t t0, int n, int step = 1, int columns = 4) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FileStorage t;
    for (int c = 0; c < columns; ++c) {
        const std::string name = "параметр_" + std::to_string(c);
        t.add_parametr(
            FileStorageParam("Параметр " + std::to_string(c), "П" + std::to_string(c), "ед", name, 0.0f, 300.0f));
    }
    for (int i = 0; i < n; ++i) {
        FileStorageItem r;
        r.time = t0 + static_cast<std::uint32_t>(i * step);
        r.depth_z = 1000.0f + 0.01f * static_cast<float>(i);
        r.depth_cur = r.depth_z - 1.0f;
        r.lag_depth = r.depth_z - 4.0f;
        r.operation = static_cast<unsigned char>(i / 100 % 5);
        for (int c = 0; c < columns; ++c) r.values.push_back(trip_value(i, c));
        t.add_record(r);
    }
    t.text_values().set_text("скважина", "5");
    t.save_with_new_format(path, -1);
}

// The running test's program folder: files "beside the program" go there.
class ProgramFolder {
public:
    ProgramFolder() { os::set_program_dir_override(dir_.path()); }
    ~ProgramFolder() { os::set_program_dir_override(""); }
    const std::string& path() const { return dir_.path(); }
    std::string operator/(const std::string& name) const { return dir_.path() + "/" + name; }

private:
    os::testing::TempDir dir_;
};

// An executable shell script.
inline void write_script(const std::string& path, const std::string& body) {
    write_text(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
}

// Runs a command line through the shell (tests only); its exit status.
inline int run(const std::string& command) {
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

inline std::string shell_quoted(const std::string& s) { return "'" + s + "'"; }

// The names of the files in the folder, sorted.
inline std::vector<std::string> file_names(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Extracts the package into the folder with the real 7za.
inline bool extract(const std::string& package, const std::string& folder) {
    return run("7za x -y -o" + shell_quoted(folder) + " " + shell_quoted(package) + " >/dev/null") == 0;
}

// The export of a trip written by write_trip, read back through the data-file
// table, has the same records within the coding's tolerance.
inline void expect_trip_read_back(const std::string& base, std::uint32_t t0, int n, int step = 1, int columns = 4,
                                  double tolerance = 1e-3) {
    FileStorage r;
    r.load_compr_rt(base);
    ASSERT_EQ(r.get_params_count(), columns) << base;
    ASSERT_EQ(r.get_data_size(), n) << base;
    for (int i = 0; i < n; ++i) {
        const FileStorageRecord* item = r.get_record(i);
        ASSERT_EQ(item->time.get_value(), t0 + static_cast<std::uint32_t>(i * step));
        EXPECT_FLOAT_EQ(item->depth_z, 1000.0f + 0.01f * static_cast<float>(i));
        for (int c = 0; c < columns; ++c) {
            const double want = trip_value(i, c);
            ASSERT_NEAR(item->values[c], want, tolerance * std::abs(want))
                << base << " record " << i << " column " << c;
        }
    }
}

// An export read back through the data-file table holds the records of
// the original file: the same times, depths and operations, the values
// within the quantised coding's tolerance.
inline void expect_same_as_original(const std::string& base, const std::string& original, double tolerance = 1e-3) {
    FileStorage a, b;
    a.add_file(original, false);
    b.load_compr_rt(base);
    ASSERT_EQ(b.get_params_count(), a.get_params_count()) << base;
    for (int c = 0; c < a.get_params_count(); ++c) EXPECT_EQ(*b.get_param(c), *a.get_param(c));
    ASSERT_EQ(b.get_data_size(), a.get_data_size()) << base;
    for (int i = 0; i < a.get_data_size(); ++i) {
        const FileStorageRecord *x = a.get_record(i), *y = b.get_record(i);
        ASSERT_EQ(y->time.get_value(), x->time.get_value());
        EXPECT_EQ(y->depth_z, x->depth_z);
        EXPECT_EQ(y->operation, x->operation);
        ASSERT_EQ(y->values.size(), x->values.size());
        for (std::size_t c = 0; c < x->values.size(); ++c) {
            ASSERT_NEAR(y->values[c], x->values[c], tolerance * std::max(1.0f, std::abs(x->values[c])))
                << base << " record " << i << " column " << c;
        }
    }
}

}  // namespace vargel2::testing
