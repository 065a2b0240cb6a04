#include "library/storage/rt_blocks.h"

#include "library/io/disk_text.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using lib::realtime::Block;
using lib::realtime::BlockEncoder;
using lib::realtime::BlockScanner;
using lib::realtime::PayloadReader;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(STATION_SOURCE_DIR) + "/library/storage/testdata/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Sink : public lib::io::BinaryOutputStream {
public:
    void write(const char* buffer, unsigned count) override {
        bytes.append(buffer, count);
        ++writes;
    }
    std::string bytes;
    int writes = 0;
};

const std::vector<FileStorageParam> kParams = {
    {"Вес на крюке", "Вес", "т", "вес_на_крюке", 0.0f, 250.0f},
    {"Давление на входе", "Давл", "атм", "давление_на_входе", 0.0f, 400.0f},
};

std::vector<Block> scan_all(const std::string& bytes, BlockScanner* out = nullptr) {
    BlockScanner scanner(bytes.data(), bytes.size());
    std::vector<Block> blocks;
    Block b;
    while (scanner.next(b)) blocks.push_back(b);
    if (out) *out = scanner;
    return blocks;
}

TEST(RtBlocks, EncoderWritesTheGoldenLayouts) {
    BlockEncoder enc;
    const float values[] = {1.5f, -2.25f, 100.0f};
    Sink record;
    enc.write_record(record, 90000, 1234.5f, 1230.75f, 1200.25f, 3, values, 3);
    EXPECT_EQ(record.bytes, fixture("record.bin"));
    EXPECT_EQ(record.writes, 1);  // a block is never split between writes

    Sink header;
    enc.write_params(header, kParams);
    EXPECT_EQ(header.bytes, fixture("header.bin"));

    Sink text;
    enc.write_text(text, "скважина=12\r\nнач_время=90000\r\n");
    EXPECT_EQ(text.bytes, fixture("text.bin"));

    Sink remark;
    enc.write_remark(remark, 90000, 1234.5f, "Промывка");
    EXPECT_EQ(remark.bytes, fixture("remark.bin"));

    Sink simple;
    enc.write_simple_values(simple, 90000, values, 2);
    EXPECT_EQ(simple.bytes, fixture("simple.bin"));

    // The item form writes the same payload the block carries.
    FileStorageItem item;
    item.time = 90000;
    item.depth_z = 1234.5f;
    item.depth_cur = 1230.75f;
    item.lag_depth = 1200.25f;
    item.operation = 3;
    item.values = {1.5f, -2.25f, 100.0f};
    Sink payload;
    item.save_to_stream(payload);
    EXPECT_EQ(payload.bytes, fixture("record.bin").substr(3));
    Sink framed;
    enc.write_record(framed, item);
    EXPECT_EQ(framed.bytes, fixture("record.bin"));
}

TEST(RtBlocks, EncoderRefusesWhatReadersCannotReadBack) {
    BlockEncoder enc;
    Sink out;
    std::vector<float> many(129, 1.0f);
    auto critical = [](auto&& call) {
        try {
            call();
        } catch (const FileStorageException& e) {
            return e.is_critical();
        }
        return false;
    };
    EXPECT_TRUE(critical([&] { enc.write_record(out, 0, 0, 0, 0, 0, many.data(), many.size()); }));
    EXPECT_TRUE(critical([&] { enc.write_simple_values(out, 0, many.data(), many.size()); }));
    std::vector<FileStorageParam> params(129);
    EXPECT_TRUE(critical([&] { enc.write_params(out, params); }));
    // 128 parameters whose texts take 300 bytes each: far over 32,767.
    std::vector<FileStorageParam> wide(128, FileStorageParam(std::string(300, 'x'), "", "", "g", 0, 1));
    EXPECT_TRUE(critical([&] { enc.write_params(out, wide); }));
    EXPECT_TRUE(critical([&] { enc.write_text(out, std::string(40000, 'a') + "\r\n"); }));
    EXPECT_TRUE(out.bytes.empty());
    // Exactly 128 values still go.
    many.resize(128);
    enc.write_record(out, 0, 0, 0, 0, 0, many.data(), many.size());
    EXPECT_EQ(out.bytes.size(), 3u + 18 + 4 * 128);
}

TEST(RtBlocks, LongTextIsSplitBetweenLinesAndZeroBytesCutStrings) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "ключ" + std::to_string(i) + "=значение\r\n";  // about 57 KB in cp1251
    BlockEncoder enc;
    Sink out;
    enc.write_text(out, text);
    auto blocks = scan_all(out.bytes);
    ASSERT_EQ(blocks.size(), 2u);
    std::string joined;
    for (const auto& b : blocks) {
        EXPECT_EQ(b.type, lib::realtime::block_text);
        EXPECT_LE(b.size, 32767);
        ASSERT_EQ(b.payload[b.size - 1], '\0');
        std::string part(b.payload, static_cast<std::size_t>(b.size - 1));
        EXPECT_EQ(part.substr(part.size() - 2), "\r\n");
        joined += part;
    }
    EXPECT_EQ(lib::io::from_disk_text(joined), text);

    // A 0 inside a string would end it early and shift the fields after it.
    Sink header;
    enc.write_params(header, {FileStorageParam(std::string("a\0b", 3), "s", "u", "g", 1, 2)});
    auto one = scan_all(header.bytes);
    ASSERT_EQ(one.size(), 1u);
    PayloadReader in(one[0].payload, one[0].size);
    EXPECT_EQ(in.u8(), 1);
    EXPECT_EQ(in.string(), "a");
    EXPECT_EQ(in.string(), "u");
    EXPECT_EQ(in.string(), "s");
    EXPECT_EQ(in.string(), "g");
    EXPECT_EQ(in.f32(), 1.0f);
    EXPECT_EQ(in.f32(), 2.0f);
    EXPECT_FALSE(in.failed());
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(RtBlocks, PayloadReaderNeverReadsPastItsBlock) {
    const char bytes[] = {1, 2, 3, 4, 'a', 'b'};  // no 0 after the text
    PayloadReader in(bytes, 6);
    EXPECT_EQ(in.u32(), 0x04030201u);
    EXPECT_EQ(in.string(), "");
    EXPECT_TRUE(in.failed());
    EXPECT_EQ(in.u8(), 0);  // nothing further once failed
    PayloadReader short_read(bytes, 3);
    EXPECT_EQ(short_read.f32(), 0.0f);
    EXPECT_TRUE(short_read.failed());
}

// Scanner cases over hand-made byte strings: what is taken, what is skipped.
struct ScanCase {
    const char* what;
    std::string bytes;
    std::vector<std::size_t> offsets;  // of the blocks taken
    bool resynchronised;
    bool torn;
};

std::string rec(std::uint32_t t, int n) {
    BlockEncoder enc;
    Sink s;
    std::vector<float> v(static_cast<std::size_t>(n), 1.0f);
    enc.write_record(s, t, 0, 0, 0, 0, v.data(), v.size());
    return s.bytes;
}

TEST(RtBlocks, ScannerTakesSoundBlocksAndSkipsDamage) {
    const std::string r = rec(1, 2);  // 29 bytes
    const std::size_t n = r.size();
    std::string bad_count = r;
    bad_count[3 + 17] = 3;  // count 3 in a block sized for 2
    std::string zero_size = r;
    zero_size[1] = zero_size[2] = 0;
    std::vector<ScanCase> cases = {
        {"empty", "", {}, false, false},
        {"three records", r + r + r, {0, n, 2 * n}, false, false},
        {"garbage byte between", r + "\x09" + r + r, {0, n + 1, 2 * n + 1}, true, false},
        {"torn payload at the end", r + r.substr(0, 20), {0}, false, true},
        {"torn header at the end", r + r.substr(0, 2), {0}, false, true},
        {"count disagrees with size", bad_count + r + r, {n, 2 * n}, true, false},
        {"zero size", zero_size + r, {n}, true, false},
        {"type out of range at the end", r + std::string("\x06\x01\x00\x00", 4), {0}, true, false},
        {"zeros after the data", r + std::string(64, '\0'), {0}, true, false},
    };
    for (const auto& c : cases) {
        BlockScanner scanner(nullptr, 0);
        auto blocks = scan_all(c.bytes, &scanner);
        std::vector<std::size_t> offsets;
        for (const auto& b : blocks) offsets.push_back(b.offset);
        EXPECT_EQ(offsets, c.offsets) << c.what;
        EXPECT_EQ(scanner.resynchronised(), c.resynchronised) << c.what;
        EXPECT_EQ(scanner.torn(), c.torn) << c.what;
        EXPECT_EQ(scanner.position(), c.bytes.size()) << c.what;
    }
}

TEST(RtBlocks, ScannerFollowsFiveBlocksOrTheEndBeforeItTrustsAnOffset) {
    // A byte that looks like the start of a record header inside garbage is
    // not taken when what follows it is not a chain of sound blocks.
    const std::string r = rec(7, 1);
    // A sound record header (type 1, size 22, count 1) that damage left
    // behind, followed by more damage.
    std::string plausible = std::string("\x01\x16\x00", 3) + std::string(17, '\x55') + "\x01" + std::string(4, '\x55');
    std::string bytes = r + "\x09" + plausible + "\x77\x77" + r + r + r + r + r + r;
    BlockScanner scanner(nullptr, 0);
    auto blocks = scan_all(bytes, &scanner);
    ASSERT_EQ(blocks.size(), 7u);
    EXPECT_EQ(blocks[1].offset, r.size() + 1 + plausible.size() + 2);
    EXPECT_TRUE(scanner.resynchronised());
}

}  // namespace
