#include "library/gzip_archive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "library/time_conv.h"
#include "library/zlib_dll.h"
#include "platform/os/process.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

namespace {

using os::testing::read_bytes;
using os::testing::write_bytes;

namespace fs = std::filesystem;
using os::testing::TempDir;

lib::array<char> to_array(const std::string& bytes) {
    lib::array<char> a(bytes.size());
    std::copy(bytes.begin(), bytes.end(), a.begin());
    return a;
}

std::string to_string(const lib::array<char>& a) { return std::string(a.begin(), a.end()); }

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    return s;
}

std::uint32_t get_le32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

std::string random_bytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

// The contents the tests pack: text, noise that does not shrink, nothing at
// all, and a long run that shrinks a thousandfold.
std::map<std::string, std::string> sample_files() {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "глубина " + std::to_string(i) + " м; вес на крюке 12,5 т\r\n";
    return {{"params.txt", text},
            {"noise.bin", random_bytes(70000, 7)},
            {"empty.dat", ""},
            {"Скважина_12.RealTim", std::string(300000, 'x')}};
}

// An archive of the sample files and two comments, written by the class.
std::string make_archive(const TempDir& dir, const std::string& name = "a.gz_sections") {
    std::string path = dir / name;
    GZIP_COMPRESS gz;
    EXPECT_TRUE(gz.open(path));
    gz.add_comment("первый");
    for (const auto& [file_name, content] : sample_files()) {
        write_bytes(dir / file_name, content);
        EXPECT_TRUE(gz.add_file(dir / file_name));
    }
    gz.add_comment("второй комментарий");
    gz.close();
    return path;
}

TEST(GzipArchive, ByteVectorsOfTheTimeAndCommentSections) {
    TempDir dir;
    std::string path = dir / "empty.arc";
    std::uint32_t before = lib::get_local_time();
    {
        GZIP_COMPRESS gz;
        ASSERT_TRUE(gz.open(path));
        gz.close();
    }
    std::uint32_t after = lib::get_local_time();
    std::string bytes = read_bytes(path);
    ASSERT_EQ(bytes.size(), 14u);
    EXPECT_EQ(bytes.substr(0, 10), std::string("\x04TIME\x00\x04\x00\x00\x00", 10));
    std::uint32_t stamp = get_le32(bytes, 10);
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);

    {
        GZIP_COMPRESS gz;
        ASSERT_TRUE(gz.open(path));
        gz.add_comment("abc");
        gz.add_comment("");
        gz.add_comment(std::string("cut\0here", 8));  // a C text ends at its 0 byte
    }
    bytes = read_bytes(path);
    ASSERT_EQ(bytes.size(), 14u + 9 + 6 + 9);
    EXPECT_EQ(bytes.substr(14), std::string("\x03"
                                            "abc\0\0\0\0\0"
                                            "\x03\0\0\0\0\0"
                                            "\x03"
                                            "cut\0\0\0\0\0",
                                            24));

    GZIP_DECOMPRESS reader;
    reader.open(path);
    EXPECT_EQ(reader.size(), 4u);
    EXPECT_EQ(reader.get_time(), get_le32(bytes, 10));
    EXPECT_EQ(reader.read_comment(), "cut");
}

TEST(GzipArchive, EmptyFileIsStoredAsZlibOutputForNoInput) {
    TempDir dir;
    std::string path = dir / "e.arc";
    GZIP_COMPRESS gz;
    ASSERT_TRUE(gz.open(path));
    lib::array<char> none;
    gz.add_data("empty.txt", none, GZIP_MARK_FILE);
    gz.close();

    std::vector<Bytef> reference(64);
    uLongf size = reference.size();
    ASSERT_EQ(lib::zlib().compress2(reference.data(), &size, nullptr, 0, 9), Z_OK);
    std::string expected = std::string(
                               "\x02"
                               "empty.txt",
                               10) +
                           std::string(1, '\0') + le32(size + 8) + le32(0) + le32(size) +
                           std::string(reference.begin(), reference.begin() + static_cast<long>(size));
    EXPECT_EQ(read_bytes(path).substr(14), expected);

    GZIP_DECOMPRESS reader;
    reader.open(path);
    lib::array<char> out(5);
    reader.decompress_section(reader.find_block("EMPTY.TXT"), out);
    EXPECT_EQ(out.size(), 0u);
}

TEST(GzipArchive, FilesComeBackWholeAndNamesIgnoreCase) {
    TempDir dir;
    std::string path = make_archive(dir);
    GZIP_DECOMPRESS reader;
    reader.open(path);
    EXPECT_EQ(reader.size(), 1u + 2 + 4);
    EXPECT_EQ(reader.read_comment(), "второй комментарий");
    EXPECT_NE(reader.get_time(), 0u);
    for (const auto& [name, content] : sample_files()) {
        GZIP_FILE_BLOCK* block = reader.find_block(name);
        ASSERT_TRUE(block) << name;
        EXPECT_EQ(block->mark, GZIP_MARK_FILE);
        lib::array<char> out;
        reader.decompress_section(block, out);
        EXPECT_EQ(to_string(out), content) << name;
    }
    EXPECT_EQ(reader.find_block("скважина_12.realtim"), reader.find_block("Скважина_12.RealTim"));
    EXPECT_EQ(reader.find_block("no such"), nullptr);
    // The name is stored in Windows-1251, as the stations read it.
    EXPECT_NE(read_bytes(path).find(rtl::utf8_to_cp1251("Скважина_12.RealTim") + '\0'), std::string::npos);

    TempDir out_dir;
    reader.extract_to(out_dir.path());
    for (const auto& [name, content] : sample_files()) EXPECT_EQ(read_bytes(out_dir / name), content) << name;

    lib::array<char> out;
    EXPECT_THROW(reader.decompress_section(reader.find_block("TIME"), out), GZIP_EXCEPTION);
    EXPECT_THROW(reader.decompress_section(nullptr, out), GZIP_EXCEPTION);
    reader.close();
    EXPECT_EQ(reader.size(), 0u);
    EXPECT_EQ(reader.read_comment(), "");
    EXPECT_EQ(reader.get_time(), 0u);
}

// Python's zlib module, knowing nothing of this code, unpacks every section.
TEST(GzipArchive, AnIndependentZlibReadsEverySection) {
    std::string script = std::string(STATION_SOURCE_DIR) + "/library/testdata/gzip_archive/unpack_with_python.py";
    std::string why;
    if (!os::testing::tool_runs("python3", {"-c", "import zlib"}, &why))
        STATION_SKIP_UNLESS_CI("python3 with zlib is not available: " << why);

    TempDir dir;
    std::string path = make_archive(dir);
    TempDir out_dir;
    os::Process python;
    ASSERT_TRUE(python.start({"python3", {script, path, out_dir.path()}, "", true, false, true}));
    std::vector<std::string> lines;
    auto code = python.read_lines([&](const std::string& line) { lines.push_back(line); }, 60000);
    ASSERT_TRUE(code.has_value());
    ASSERT_EQ(*code, 0) << (lines.empty() ? "" : lines.back());

    GZIP_DECOMPRESS reader;
    reader.open(path);
    ASSERT_EQ(lines.size(), reader.size());
    EXPECT_EQ(lines[0], "TIME " + std::to_string(reader.get_time()));
    int files = 0;
    for (std::size_t i = 0; i < reader.size(); ++i) {
        std::istringstream fields(lines[i]);
        std::string kind, index, name_hex;
        fields >> kind;
        if (kind != "FILE") continue;
        fields >> index >> name_hex;
        std::string name;
        for (std::size_t k = 0; k + 1 < name_hex.size(); k += 2)
            name += static_cast<char>(std::stoi(name_hex.substr(k, 2), nullptr, 16));
        name = rtl::cp1251_to_utf8(name);
        EXPECT_EQ(name, reader[i].name);
        EXPECT_EQ(read_bytes(out_dir / index), sample_files().at(name)) << name;
        ++files;
    }
    EXPECT_EQ(files, 4);
}

// Every cut of a good archive, and every damage to its counts, is refused
// or read whole; nothing reads out of bounds (the sanitizers watch).
TEST(GzipArchive, DamagedArchivesFailCleanly) {
    TempDir dir;
    GZIP_COMPRESS gz;
    std::string path = dir / "small.arc";
    ASSERT_TRUE(gz.open(path));
    gz.add_comment("c");
    auto data = to_array("данные данные данные данные");
    gz.add_data("f.txt", data, GZIP_MARK_FILE);
    gz.close();
    const std::string good = read_bytes(path);
    const std::size_t file_at = 14 + 7;  // the file section after the time and the comment
    ASSERT_EQ(good[file_at], 2);
    const std::size_t n_at = file_at + 7;  // mark, "f.txt", 0

    auto read_all = [&](const std::string& bytes) {
        write_bytes(path, bytes);
        GZIP_DECOMPRESS reader;
        reader.open(path);
        for (std::size_t i = 0; i < reader.size(); ++i) {
            if (reader[i].mark != GZIP_MARK_FILE) continue;
            lib::array<char> out;
            reader.decompress_section(&reader[i], out);
        }
        TempDir out_dir;
        reader.extract_to(out_dir.path());
    };

    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        std::string bytes = good.substr(0, cut);
        if (cut == 0 || cut == 14 || cut == file_at)
            EXPECT_NO_THROW(read_all(bytes)) << cut;  // whole sections only
        else
            EXPECT_THROW(read_all(bytes), GZIP_EXCEPTION) << cut;
    }

    auto with_i32 = [&](std::size_t at, std::uint32_t v) {
        std::string bytes = good;
        bytes.replace(at, 4, le32(v));
        return bytes;
    };
    const std::uint32_t n = get_le32(good, n_at);
    const std::uint32_t packed = get_le32(good, n_at + 8);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"negative length", with_i32(n_at, 0xFFFFFFF0u)},
        {"length past the end", with_i32(n_at, n + 1)},
        {"huge length", with_i32(n_at, 0x7FFFFFFFu)},
        {"negative unpacked size", with_i32(n_at + 4, 0xFFFFFFFFu)},
        {"unpacked size beyond any packing", with_i32(n_at + 4, 0x7FFFFFFFu)},
        {"unpacked size too small", with_i32(n_at + 4, 3)},
        {"unpacked size too large", with_i32(n_at + 4, 100)},
        {"negative packed size", with_i32(n_at + 8, 0xFFFFFFFFu)},
        {"packed size not the length", with_i32(n_at + 8, packed - 1)},
        {"time section of five bytes", with_i32(6, 5)},
        {"corrupt deflate data",
         [&] {
             std::string b = good;
             for (std::size_t i = n_at + 12 + 2; i < b.size(); ++i) b[i] = static_cast<char>(b[i] ^ 0x5A);
             return b;
         }()},
        {"name without its 0 byte", good.substr(0, file_at) + std::string("\x02"
                                                                          "f.txt",
                                                                          6)},
    };
    for (const auto& c : cases) EXPECT_THROW(read_all(c.bytes), GZIP_EXCEPTION) << c.what;

    try {
        read_all(with_i32(n_at, 0x7FFFFFFFu));
    } catch (const GZIP_EXCEPTION& e) {
        EXPECT_NE(std::string(e.what()).find("damaged archive '" + path + "'"), std::string::npos) << e.what();
    }
    try {
        read_all(cases[10].bytes);
    } catch (const GZIP_EXCEPTION& e) {
        std::string what = e.what();
        EXPECT_EQ(what.rfind("ERROR: uncompress response '", 0), 0u) << what;
        EXPECT_NE(what.find("' at function 'GZIP_DECOMPRESS::decompress_section'"), std::string::npos) << what;
    }
}

TEST(GzipArchive, NamesThatLeaveTheFolderAreRefused) {
    for (const char* bad : {"../evil.txt", "sub/evil.txt", "a\\b.txt", "..", "/etc/evil", ""}) {
        SCOPED_TRACE(bad);
        TempDir dir;
        std::string path = dir / "bad.arc";
        {
            GZIP_COMPRESS gz;
            ASSERT_TRUE(gz.open(path));
            auto first = to_array("harmless");
            gz.add_data("first.txt", first, GZIP_MARK_FILE);
            auto data = to_array("payload");
            gz.add_data(bad, data, GZIP_MARK_FILE);
        }
        fs::create_directory(dir / "out");
        GZIP_DECOMPRESS reader;
        reader.open(path);
        try {
            reader.extract_to(dir / "out");
            FAIL() << "extracted";
        } catch (const GZIP_EXCEPTION& e) {
            EXPECT_NE(std::string(e.what()).find("would be written outside"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(fs::is_empty(dir / "out"));  // not even the harmless file
        EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    }

    // Links planted under the sections' names, symbolic and hard, are
    // replaced, never written through; a name with two dots inside is an
    // ordinary name.
    TempDir dir;
    std::string path = dir / "ok.arc";
    {
        GZIP_COMPRESS gz;
        ASSERT_TRUE(gz.open(path));
        auto data = to_array("new");
        gz.add_data("target.txt", data, GZIP_MARK_FILE);
        auto linked = to_array("new too");
        gz.add_data("hard.txt", linked, GZIP_MARK_FILE);
        auto dotted = to_array("dots");
        gz.add_data("a..b", dotted, GZIP_MARK_FILE);
    }
    write_bytes(dir / "outside.txt", "keep");
    write_bytes(dir / "elsewhere.txt", "keep too");
    fs::create_directory(dir / "out");
    fs::create_symlink(dir / "outside.txt", dir / "out/target.txt");
    fs::create_hard_link(dir / "elsewhere.txt", dir / "out/hard.txt");
    GZIP_DECOMPRESS reader;
    reader.open(path);
    reader.extract_to(dir / "out/");
    EXPECT_EQ(read_bytes(dir / "outside.txt"), "keep");
    EXPECT_EQ(read_bytes(dir / "elsewhere.txt"), "keep too");
    EXPECT_FALSE(fs::is_symlink(dir / "out/target.txt"));
    EXPECT_EQ(read_bytes(dir / "out/target.txt"), "new");
    EXPECT_EQ(read_bytes(dir / "out/hard.txt"), "new too");
    EXPECT_EQ(fs::hard_link_count(dir / "out/hard.txt"), 1u);
    EXPECT_EQ(read_bytes(dir / "out/a..b"), "dots");
}

TEST(GzipArchive, WriterAndReaderReportWhatTheyCannotDo) {
    TempDir dir;
    GZIP_COMPRESS gz;
    EXPECT_FALSE(gz.open(dir / "no/such/folder/a.arc"));
    EXPECT_FALSE(gz.is_open());
    EXPECT_THROW(gz.add_comment("lost"), GZIP_EXCEPTION);
    EXPECT_THROW(gz.add_time(), GZIP_EXCEPTION);
    EXPECT_THROW(gz.add_file(dir / "x"), GZIP_EXCEPTION);
    lib::array<char> data(3);
    try {
        gz.add_data("d", data, GZIP_MARK_FILE);
        FAIL();
    } catch (const GZIP_EXCEPTION& e) {
        EXPECT_STREQ(e.what(), "GZIP_COMPRESS::add_data: the archive is not open");
    }

    ASSERT_TRUE(gz.open(dir / "a.arc"));
    EXPECT_THROW(gz.add_data("TIME", data, GZIP_MARK_TIME), GZIP_EXCEPTION);
    EXPECT_FALSE(gz.add_file(dir / "missing.txt"));
    fs::create_directory(dir / "folder");
    EXPECT_FALSE(gz.add_file(dir / "folder"));
    gz.close();
    EXPECT_EQ(read_bytes(dir / "a.arc").size(), 14u);  // nothing but the time

    GZIP_DECOMPRESS reader;
    try {
        reader.open(dir / "missing.arc");
        FAIL();
    } catch (const GZIP_EXCEPTION& e) {
        EXPECT_STREQ(e.what(), ("GZIP_DECOMPRESS::open: can't open archive '" + (dir / "missing.arc") + "'").c_str());
    }
    write_bytes(dir / "zero.arc", "");
    reader.open(dir / "zero.arc");
    EXPECT_EQ(reader.size(), 0u);
    EXPECT_EQ(reader.get_time(), 0u);
}

TEST(GzipArchive, ZlibResultTexts) {
    struct Case {
        int result;
        const char* text;
    } cases[] = {
        {Z_BUF_ERROR, "there is not enough room in the output buffer"},
        {Z_MEM_ERROR, "not enough memory"},
        {Z_DATA_ERROR, "the input data was corrupted"},
        {Z_STREAM_ERROR, "level parameter is invalid"},
        {Z_ERRNO, "#unrecognazed#"},
        {7, "#unrecognazed#"},
    };
    EXPECT_NO_THROW(GZIP_EXCEPTION::check_result(Z_OK, "compress2", "f"));
    for (const auto& c : cases) {
        try {
            GZIP_EXCEPTION::check_result(c.result, "compress2", "GZIP_COMPRESS::add_data");
            FAIL() << c.result;
        } catch (const GZIP_EXCEPTION& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("ERROR: compress2 response '") + c.text + "' at function 'GZIP_COMPRESS::add_data'");
        }
    }
}

}  // namespace
