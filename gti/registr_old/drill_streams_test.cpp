// The module-stream forms of the drill-string tally, the tank set, the pumps
// and the stand counter, against vectors made by
// testdata/make_stream_vectors.py.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/candle_counter.h"
#include "gti/registr_old/pumps_tanks.h"
#include "library/serial/serializator.h"
#include "platform/rtl/stream.h"

namespace {

std::map<std::string, std::string> vectors() {
    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/gti/registr_old/testdata/stream_vectors.txt",
                     std::ios::binary);
    std::map<std::string, std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (auto c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::vector<std::uint8_t> unhex(const std::string& h) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

std::string write(lib::SerialModuleBase& m) {
    rtl::MemoryStream s;
    lib::Serializator(1030).serialize({&m}, &s, 1);
    return hex(s.bytes());
}

std::vector<std::string> read(lib::SerialModuleBase& m, std::vector<std::uint8_t> bytes) {
    rtl::MemoryStream s(std::move(bytes));
    std::vector<std::string> errors;
    lib::Serializator(1030).deserialize({&m}, &s, 1, [&](const std::string& e) { errors.push_back(e); });
    return errors;
}

void set_data(std::vector<std::uint8_t>& stream, std::size_t data_at, std::size_t offset, std::int32_t v) {
    for (int i = 0; i < 4; ++i)
        stream[data_at + offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    // The checksum byte stays right: the record is sound, only its values are not.
    std::uint8_t sum = 85;
    const std::size_t len = stream[data_at - 4] | (stream[data_at - 3] << 8);
    for (std::size_t i = 0; i < len; ++i) sum = static_cast<std::uint8_t>(sum + stream[data_at + i]);
    stream[data_at + len] = sum;
}

instr::Items vector_tally() {
    instr::Items items;
    items.get(items.add_new()).get_from_string("1 0 215,9 0 0 1 0,3");
    items.get(items.add_new()).get_from_string("12 5 127 29,1 9,19 2 12,5 12,25");
    items.set_svecha_size(2);
    items.set_zapor_klapan(true);
    return items;
}

TEST(DrillStreams, TallyVector) {
    const auto v = vectors();
    instr::Items items = vector_tally();
    EXPECT_EQ(write(items), v.at("instr::Items"));

    instr::Items back;
    back.narasch("5");
    EXPECT_TRUE(read(back, unhex(v.at("instr::Items"))).empty());
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back.get(0), items.get(0));
    EXPECT_EQ(back.get(1), items.get(1));
    EXPECT_EQ(back.get_svecha_size(), 2);
    EXPECT_TRUE(back.get_zapor_klapan());
}

TEST(DrillStreams, TallyDamagedCounts) {
    const auto v = vectors();
    const std::size_t data_at = 8 + sizeof("instr::Items") + 4;

    // An element count past the record is refused; the tally stays.
    auto bytes = unhex(v.at("instr::Items"));
    set_data(bytes, data_at, 0, 100000000);
    instr::Items back;
    back.narasch("7+8");
    auto errors = read(back, bytes);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("instr::Items"), std::string::npos) << errors[0];
    EXPECT_EQ(back.size(), 1);
    EXPECT_EQ(back.get(0).get_len(), 15.0f);

    for (std::int32_t bad : {-1, -100000}) {
        bytes = unhex(v.at("instr::Items"));
        set_data(bytes, data_at, 0, bad);
        EXPECT_EQ(read(back, bytes).size(), 1u);
        EXPECT_EQ(back.size(), 1);
    }

    // A length count past the record, in the first element.
    bytes = unhex(v.at("instr::Items"));
    set_data(bytes, data_at, 12, 50000000);
    EXPECT_EQ(read(back, bytes).size(), 1u);
    EXPECT_EQ(back.size(), 1);

    // A stand size out of range is brought into 1..4.
    const std::size_t svecha_at = 4 + (7 * 4) + (8 * 4);
    for (auto [stored, expect] : {std::pair{0, 1}, {-3, 1}, {9, 4}, {3, 3}}) {
        bytes = unhex(v.at("instr::Items"));
        set_data(bytes, data_at, svecha_at, stored);
        EXPECT_TRUE(read(back, bytes).empty());
        EXPECT_EQ(back.get_svecha_size(), expect) << stored;
    }
}

TEST(DrillStreams, TanksVector) {
    const auto v = vectors();
    VEmkOpts set;
    set[0].get_from_string("25,1,10,1,0");
    set[1].get_from_string("30,0,4.5,0,1");
    set.calc_total();
    set.set_circulating_v(12.75f);
    EXPECT_EQ(write(set), v.at("VEmkOpts"));

    VEmkOpts back;
    EXPECT_TRUE(read(back, unhex(v.at("VEmkOpts"))).empty());
    EXPECT_EQ(back.get_active_tank_v(), 10.0f);
    EXPECT_EQ(back.get_whole_tank_v(), 14.5f);
    EXPECT_EQ(back.get_whole_doliv_v(), 10.0f);
    EXPECT_EQ(back.get_circulating_v(), 12.75f);
    EXPECT_EQ(back[0].get_factor(), 25.0f);
    EXPECT_EQ(back[1].get_volume(), 4.5f);
    EXPECT_FALSE(back[1].is_used());
    EXPECT_TRUE(back[1].is_in_tank());
    EXPECT_FALSE(back[1].is_doliv());
    EXPECT_EQ(write(back), v.at("VEmkOpts"));
}

TEST(DrillStreams, PumpsVector) {
    const auto v = vectors();
    NasosWork pumps;
    lib::array<float> a(3);
    a[1] = 12;
    pumps.work(a);
    a[1] = 0;
    a[0] = 7;
    pumps.work(a);
    EXPECT_EQ(write(pumps), v.at("NasosWork"));

    NasosWork back;
    EXPECT_TRUE(read(back, unhex(v.at("NasosWork"))).empty());
    EXPECT_EQ(write(back), v.at("NasosWork"));

    // Counters far out of range would hold a pump "working" for ever.
    const std::size_t data_at = 8 + sizeof("NasosWork") + 4;
    auto bytes = unhex(v.at("NasosWork"));
    set_data(bytes, data_at, 0, -7);
    set_data(bytes, data_at, 4, 2000000000);
    EXPECT_TRUE(read(back, bytes).empty());
    EXPECT_FALSE(back.is_working(0));
    EXPECT_TRUE(back.is_working(1));
    lib::array<float> none(3);
    for (int i = 0; i < 5; ++i) back.work(none);
    EXPECT_FALSE(back.is_working(1));
}

TEST(DrillStreams, StandCounterVector) {
    const auto v = vectors();
    candles::CandleCounter c;
    c.set(39);
    c.set_pipe(1);
    EXPECT_EQ(write(c), v.at("CandleCounter"));
    candles::CandleCounter back;
    EXPECT_TRUE(read(back, unhex(v.at("CandleCounter"))).empty());
    EXPECT_EQ(back.get(), 39);
    EXPECT_EQ(back.get_pipe(), 1);
}

}  // namespace
