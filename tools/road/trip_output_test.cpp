// The trip's outputs from small time files written by the station's own
// block writer: the LAS file against the data-file table's reading of the
// same file and against an independent LAS 2.0 reader (Python), a clock set
// back mid-trip, the chart's time grid, and the command-line faults of the
// road's programs.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "library/io/binary_stream.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/ui/canvas.h"
#include "tools/road/trip_output.h"

namespace road {
namespace {

namespace fs = std::filesystem;

const std::string kBin = std::string(STATION_BINARY_DIR) + "/bin/";
// A station time stamp of late 2023 (seconds from 1969-12-31).
constexpr std::uint32_t kT = 1700000000;

struct Ran {
    std::optional<int> code;
    std::string out;  // standard output and error, in the order they came
};

Ran run(const std::string& program, const std::vector<std::string>& args) {
    Ran r;
    os::Process p;
    os::SpawnOptions o;
    o.program = program;
    o.args = args;
    o.capture_output = true;
    std::string error;
    EXPECT_TRUE(p.start(o, &error)) << error;
    r.code = p.read_lines([&](const std::string& l) { r.out += l + "\n"; }, 120000);
    return r;
}

// A time file built block by block with the recording hub's encoder.
class TripBytes {
public:
    TripBytes& params(const std::vector<FileStorageParam>& p) {
        enc_.write_params(out_, p);
        count_ = p.size();
        return *this;
    }
    TripBytes& record(std::uint32_t t, float depth, std::vector<float> values) {
        enc_.write_record(out_, t, depth, depth - 1, depth - 4, 1, values.data(), values.size());
        return *this;
    }
    TripBytes& text(const std::string& lines) {
        enc_.write_text(out_, lines);
        return *this;
    }
    void save(const std::string& path) const {
        fs::create_directories(fs::path(path).parent_path());
        os::testing::write_bytes(path, bytes_);
    }

private:
    std::string bytes_;
    lib::io::BinaryMemoryOutputStream out_{bytes_};
    lib::realtime::BlockEncoder enc_;
    std::size_t count_ = 0;
};

FileStorageParam param(const std::string& global, const std::string& units) {
    return FileStorageParam("Имя " + global, global.substr(0, 3), units, global, 0, 100);
}

const char kWellText[] =
    "скважина=1234\r\nместорождение=Самотлорское\r\nплощадь=Южная\r\nзаказчик=ООО Нефть\r\n"
    "партия_гти=Партия 3\r\nномер_рейса=7\r\nшаг_записи_по_времени=5\r\n";

// What the independent reader said: its W/P items, curves and rows.
struct Checked {
    int code = -1;
    std::string text;
    std::map<std::string, std::string> items;  // "W COMP" -> value
    std::vector<std::string> curves;
    std::vector<std::vector<double>> rows;
};

Checked check_las(const std::string& las, int rows) {
    const Ran r =
        run("/usr/bin/python3", {std::string(STATION_SOURCE_DIR) + "/tools/road/testdata/las2_check.py", las, "--rows",
                                 std::to_string(rows)});
    Checked c;
    c.code = r.code.value_or(-1);
    c.text = r.out;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 2 && (line[0] == 'W' || line[0] == 'P') && line[1] == ' ') {
            const auto eq = line.find('=');
            c.items[line.substr(0, eq)] = line.substr(eq + 1);
        } else if (line.rfind("C ", 0) == 0) {
            c.curves.push_back(line.substr(2, line.find(' ', 2) - 2));
        } else if (line.rfind("ROW ", 0) == 0) {
            std::istringstream values(line.substr(line.find(' ', 4) + 1));
            std::vector<double> row;
            for (std::string v; values >> v;) row.push_back(std::stod(v));
            c.rows.push_back(row);
        }
    }
    return c;
}

// Two headers (the second drops a column and adds one), a record from a
// broken frame, a record that does not match its header, the well's text:
// the LAS rows are the table's records, and the file is LAS 2.0 with every
// well item the standard asks for.
TEST(TripLas, RowsAreTheTablesRecordsAndTheFileIsLas2WithTheWellItems) {
    os::testing::TempDir dir;
    const std::string well = dir.path() + "/Скв1", time_file = well + "/0007.realtim";
    TripBytes b;
    b.params({param("нагрузка", "тс"), param("обороты", "об/мин")})
        .text(kWellText)
        .record(kT + 0, 10.5f, {1.25f, 60})
        .record(kT + 5, 10.75f, {2.5f, 61})
        .record(kT + 10, 11, {3e21f, 62})  // broken frame: every value 0
        .params({param("обороты", "об/мин"), param("расход", "л/с")})
        .record(kT + 15, 11.25f, {63, 30.125f})
        .record(kT + 20, 11.5f, {64, 31, 99})  // three values under a header of two: left out
        .record(kT + 25, 11.75f, {65, 32});
    b.save(time_file);

    const std::string las = dir.path() + "/trip.las";
    EXPECT_EQ(write_trip_las(time_file, las, "Скв1", 7), 5);

    FileStorage table;
    table.add_file(time_file, false);
    ASSERT_EQ(table.get_data_size(), 5);
    ASSERT_EQ(table.get_params_count(), 3);

    const Checked c = check_las(las, 10);
    ASSERT_EQ(c.code, 0) << c.text;
    const std::map<std::string, std::string> want = {
        {"W STRT", "0"},          {"W STOP", "25"},          {"W STEP", "0"},          {"W NULL", "-9999"},
        {"W COMP", "ООО Нефть"}, {"W WELL", "1234"},        {"W FLD", "Самотлорское"}, {"W LOC", "Южная"},
        {"W PROV", ""},           {"W SRVC", "Партия 3"},   {"W UWI", ""},            {"P RUN", "7"},
        {"P TSTEP", "5"}};
    for (const auto& [key, value] : want) {
        ASSERT_TRUE(c.items.count(key)) << key << "\n" << c.text;
        EXPECT_EQ(c.items.at(key), value) << key;
    }
    EXPECT_TRUE(std::regex_match(c.items.at("W DATE"), std::regex(R"(\d\d\.\d\d\.\d{4} \d+:\d\d:\d\d)")))
        << c.items.at("W DATE");
    EXPECT_EQ(c.curves,
              (std::vector<std::string>{"TIME", "BDEP", "BITD", "LAGD", "нагрузка", "обороты", "расход"}));
    ASSERT_EQ(c.rows.size(), 5u);
    for (int r = 0; r < 5; ++r) {
        const FileStorageRecord* item = table.get_record(r);
        const auto& row = c.rows[std::size_t(r)];
        ASSERT_EQ(row.size(), 7u);
        EXPECT_EQ(row[0], double(item->time.get_value() - kT)) << r;
        EXPECT_NEAR(row[1], item->depth_z, 5e-4) << r;
        EXPECT_NEAR(row[2], item->depth_cur, 5e-4) << r;
        EXPECT_NEAR(row[3], item->lag_depth, 5e-4) << r;
        for (int v = 0; v < 3; ++v) EXPECT_NEAR(row[std::size_t(4 + v)], item->values[std::size_t(v)], 5e-4) << r;
    }
    EXPECT_EQ(c.rows[2][4], 0);  // the broken frame's values
}

// Without well information the items stand empty (as LAS 2.0 allows) and
// the well is named by its folder; an uneven trip has STEP 0.
TEST(TripLas, WithoutWellInformationTheItemsStandEmpty) {
    os::testing::TempDir dir;
    const std::string time_file = dir.path() + "/w/0002.realtim";
    TripBytes().params({param("нагрузка", "тс")}).record(kT, 1, {1}).record(kT + 1, 1, {2}).record(kT + 5, 1, {3}).save(
        time_file);
    const std::string las = dir.path() + "/t.las";
    EXPECT_EQ(write_trip_las(time_file, las, "w", 2), 3);
    const Checked c = check_las(las, 0);
    ASSERT_EQ(c.code, 0) << c.text;
    for (const char* key : {"W COMP", "W FLD", "W LOC", "W SRVC", "W UWI"}) EXPECT_EQ(c.items.at(key), "") << key;
    EXPECT_EQ(c.items.at("W WELL"), "w");
    EXPECT_EQ(c.items.at("W STEP"), "0");
    EXPECT_EQ(c.items.at("W STOP"), "5");
    EXPECT_EQ(c.items.at("P RUN"), "2");
}

// The independent reader can fail: it refuses a file without the items.
TEST(TripLas, TheIndependentReaderRefusesAFileWithoutTheWellItems) {
    os::testing::TempDir dir;
    const std::string las = dir.path() + "/old.las";
    os::testing::write_bytes(las,
                             "~Version\r\nVERS.  2.00 : v\r\nWRAP.  NO : w\r\n~Well\r\nSTRT.S 0 : a\r\nSTOP.S 1 : b\r\n"
                             "STEP.S 1 : c\r\nNULL. -9999 : d\r\nWELL. w : e\r\nDATE. x : f\r\n~Curve\r\nTIME.S : t\r\n"
                             "~ASCII\r\n0\r\n1\r\n");
    const Checked c = check_las(las, 0);
    EXPECT_EQ(c.code, 1);
    EXPECT_NE(c.text.find("lacks COMP"), std::string::npos) << c.text;
}

// The station's clock set back an hour mid-trip: TIME and STOP run on in
// record order (the step back shown as one recording step), the chart draws
// every record down its height, and station_files tells the step.
TEST(TripClock, ASetBackClockNeitherWrapsTheLogNorEmptiesTheChart) {
    os::testing::TempDir dir;
    const std::string well = dir.path() + "/w", time_file = well + "/0001.realtim";
    const std::uint32_t t0 = kT;
    TripBytes b;
    b.params({param("нагрузка", "тс")}).text("шаг_записи_по_времени=1\r\nномер_рейса=1\r\n");
    for (int i = 0; i < 80; ++i)
        b.record(t0 + std::uint32_t(i) - (i >= 40 ? 3600u : 0u), 100 + 0.25f * float(i), {float(i)});
    b.save(time_file);

    const std::string las = dir.path() + "/t.las";
    EXPECT_EQ(write_trip_las(time_file, las, "w", 1), 80);
    const Checked c = check_las(las, 80);
    ASSERT_EQ(c.code, 0) << c.text;
    EXPECT_EQ(c.items.at("W STOP"), "79");
    EXPECT_EQ(c.items.at("W STEP"), "0");
    for (int i = 0; i < 80; ++i) EXPECT_EQ(c.rows[std::size_t(i)][0], i);

    const std::string png = dir.path() + "/t.png";
    EXPECT_EQ(draw_trip_chart(time_file, png, 600, 800), 80);
    ui::TBitmap picture(1, 1);
    picture.LoadFromFile(png);
    // The bottom-hole curve (red) runs from under the header to the last
    // record: red pixels in the first column's top and bottom quarters of
    // the rows it takes.
    int top = -1, bottom = -1;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < 100; ++x)
            if (picture.Pixel(x, y) == ui::clRed) {
                if (top < 0) top = y;
                bottom = y;
            }
    ASSERT_GE(top, 0) << "no bottom-hole curve drawn";
    EXPECT_GT(bottom - top, 300) << "the records fill the chart's height";

    const Ran files = run(kBin + "station_files", {"--well", well, "--trip", "1"});
    EXPECT_EQ(files.code, 0) << files.out;
    EXPECT_NE(files.out.find("80 records"), std::string::npos) << files.out;
    EXPECT_NE(files.out.find("clock set back 1 time by 3599 s"), std::string::npos) << files.out;
}

// The seconds of the day a grid label names ("hh:nn:ss" or "dd.MM hh:nn").
long label_seconds(const std::string& label) {
    int d = 0, mo = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(label.c_str(), "%d.%d %d:%d", &d, &mo, &h, &mi) == 4) return ((d * 24L + h) * 60 + mi) * 60;
    EXPECT_EQ(std::sscanf(label.c_str(), "%d:%d:%d", &h, &mi, &s), 3) << label;
    return (h * 60L + mi) * 60 + s;
}

// The chart's grid for trips of a few seconds to a few days: labels on a
// round step, each once.
TEST(TripChart, TheTimeGridStepsRoundAndNeverRepeatsALabel) {
    const std::set<long> round = {1,    2,    5,    10,    15,    30,    60,    120,   300,  600,
                                  900,  1800, 3600, 7200,  10800, 21600, 43200, 86400, 172800};
    struct Case {
        int records, step;
    };
    for (const Case k : {Case{8, 1}, Case{300, 1}, Case{2000, 10}, Case{3000, 120}}) {
        os::testing::TempDir dir;
        const std::string time_file = dir.path() + "/w/0001.realtim";
        TripBytes b;
        b.params({param("нагрузка", "тс")});
        for (int i = 0; i < k.records; ++i) b.record(kT + std::uint32_t(i * k.step), 100, {float(i % 50)});
        b.save(time_file);
        std::vector<std::string> labels;
        draw_trip_chart(time_file, dir.path() + "/c.png", 600, 800, &labels);
        ASSERT_GE(labels.size(), 2u) << k.records << " x " << k.step;
        std::set<std::string> seen;
        long step = 0;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            EXPECT_TRUE(seen.insert(labels[i]).second) << "repeated label " << labels[i];
            if (i == 0) continue;
            long d = label_seconds(labels[i]) - label_seconds(labels[i - 1]);
            if (d < 0 && labels[i].size() == 8) d += 86400;  // past midnight
            if (i == 1) step = d;
            EXPECT_EQ(d, step) << labels[i - 1] << " -> " << labels[i];
        }
        EXPECT_TRUE(round.count(step)) << "grid step " << step << " s for " << k.records << " x " << k.step;
        // The span drawn fits a few centimetres of grid, not hundreds.
        EXPECT_LE(labels.size(), 40u);
    }
}

// The road programs' small faults: each names its cause, and bad arguments
// get usage and status 2.
TEST(RoadPrograms, FaultsNameTheirCause) {
    os::testing::TempDir dir;
    const std::string well = dir.path() + "/w";
    TripBytes().params({param("нагрузка", "тс")}).record(kT, 1, {1}).record(kT + 1, 1, {2}).save(well + "/0001.realtim");
    struct Case {
        std::string program;
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const Case cases[] = {
        {"trip_export", {"--well", dir.path() + "/nosuch", "--las", dir.path() + "/a.las"}, 1, "does not exist"},
        {"trip_export", {"--well", well, "--trip", "2", "--las", dir.path() + "/a.las"}, 1, "does not exist"},
        {"trip_export", {"--well", well, "--png", dir.path() + "/no/dir/c.png"}, 1, "No such file or directory"},
        {"station_info", {"--help"}, 0, "usage: station_info"},
        {"station_info", {"--bogus"}, 2, "--bogus"},
        {"station_info", {}, 0, "Components built"},
        {"device_simulator", {"--device", "nosuch"}, 2, "ind or cement"},
    };
    for (const Case& c : cases) {
        const Ran r = run(kBin + c.program, c.args);
        EXPECT_EQ(r.code, c.code) << c.program << " " << (c.args.empty() ? "" : c.args[0]) << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.program << "\n" << r.out;
        EXPECT_EQ(r.out.find("holds no record"), std::string::npos) << r.out;
    }
    EXPECT_FALSE(fs::exists(dir.path() + "/a.las"));
}

}  // namespace
}  // namespace road
