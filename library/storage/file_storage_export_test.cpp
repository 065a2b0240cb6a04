#include "library/storage/file_storage.h"

#include "library/io/file_streams.h"
#include "library/storage/testdata/varied_trip_testing.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const char* const kSuffixes[] = {".params",    ".text",      ".time",      ".depth_z",
                                 ".depth_cur", ".lag_depth", ".operation", ".values"};
const std::string kBadHeader = "FileStorage::load_after_decompressing: Некорркетный заголовок файла";
const std::string kBadVersion = "FileStorage::load_after_decompressing: Некорркетная версия файла";

class Sink : public lib::io::BinaryOutputStream {
public:
    void write(const char* b, unsigned n) override { bytes.append(b, n); }
    std::string bytes;
};

class Source : public lib::io::BinaryMemoryInputStream {
public:
    explicit Source(const std::string& bytes) { set_data(bytes.data(), bytes.size()); }
};

std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

template <typename T>
std::string le(T v) {
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

// A trip of n records: a hook load (mechanical), methane (gas) with a
// stretch of no gas, a slowly changing mud temperature, and a stepwise pump
// count.
void fill(FileStorage& t, int n, bool gas_zeros = true) {
    t.add_parametr(FileStorageParam("Вес на крюке", "Вес", "т", "вес_на_крюке", 0.0f, 250.0f));
    t.add_parametr(FileStorageParam("Метан", "C1", "%", "метан_абс", 0.0f, 100.0f));
    t.add_parametr(FileStorageParam("Температура", "Т", "°C", "температура_вых", 0.0f, 80.0f));
    t.add_parametr(FileStorageParam("Насосы", "Н", "", "число_насосов", 0.0f, 3.0f));
    for (int i = 0; i < n; ++i) {
        FileStorageItem r;
        r.time = 90000u + 5u * static_cast<unsigned>(i);
        r.depth_z = 1500.0f + 0.01f * static_cast<float>(i);
        r.depth_cur = r.depth_z - 0.5f;
        r.lag_depth = r.depth_z - 3.0f;
        r.operation = static_cast<unsigned char>(i / 50 % 7);
        const float x = static_cast<float>(i);
        const float methane = gas_zeros && i % 100 < 20 ? 0.0f : 0.02f * std::exp(std::sin(0.05f * x) * 2.0f);
        r.values = {120.0f + 30.0f * std::sin(0.02f * x) + (i % 40 == 0 ? 15.0f : 0.0f), methane, 40.0f + 0.001f * x,
                    static_cast<float>(i / 120 % 3)};
        t.add_record(r);
    }
    t.text_values().set_text("скважина", "12");
    t.text_values().set_text("площадь", "\"Южная\"");
}

void expect_same_fields(const FileStorage& a, const FileStorage& b) {
    ASSERT_EQ(a.get_params_count(), b.get_params_count());
    for (int i = 0; i < a.get_params_count(); ++i) EXPECT_EQ(*a.get_param(i), *b.get_param(i));
    ASSERT_EQ(a.get_data_size(), b.get_data_size());
    for (int i = 0; i < a.get_data_size(); ++i) {
        const FileStorageRecord *x = a.get_record(i), *y = b.get_record(i);
        EXPECT_EQ(x->time.get_value(), y->time.get_value());
        EXPECT_EQ(x->depth_z, y->depth_z);
        EXPECT_EQ(x->depth_cur, y->depth_cur);
        EXPECT_EQ(x->lag_depth, y->lag_depth);
        EXPECT_EQ(x->operation, y->operation);
        EXPECT_TRUE(y->valid);
        EXPECT_EQ(y->values.size(), x->values.size());
    }
    EXPECT_EQ(a.text_values().get_full_text(), b.text_values().get_full_text());
}

class Export : public ::testing::Test {
protected:
    os::testing::TempDir dir;
    std::string base = dir / "0012";
};

TEST_F(Export, EachMethodReadsBackWithinItsErrorBound) {
    FileStorage t;
    fill(t, 1000);
    float smallest_gas = 1e30f;
    for (int i = 0; i < t.get_data_size(); ++i)
        if (float g = t.get_record(i)->values[1]; g > 0) smallest_gas = std::min(smallest_gas, g);
    // The worst error allowed per method and column: hook load, methane
    // (relative), temperature, pumps. Plain is exact but for the logarithm
    // and back of gas. Quantised keeps 0.0001 relative error (of the
    // logarithm, for gas). Under the wavelet method the hook load is
    // quantised at 1024 levels over its 75 t; the rest stay within a small
    // part of their swing, but steps ring: methane jumps from no gas to
    // readings every hundred records here.
    const double bounds[3][4] = {
        {0.0, 1e-6, 0.0, 0.0},
        {165 * 1e-4, 7 * 1e-4, 41 * 1e-4, 2 * 1e-4},
        {75.0 / 2048, 0.5, 0.01, 0.1},
    };
    for (auto type : {FileStorage::encode_plain, FileStorage::encode_quantised, FileStorage::encode_wavelet}) {
        t.save_for_compressing(base, type);
        for (const char* suffix : kSuffixes) EXPECT_TRUE(std::filesystem::exists(base + suffix)) << suffix;
        FileStorage back;
        back.load_compr_rt(base);
        EXPECT_EQ(back.get_file_kind(), 1);
        expect_same_fields(t, back);
        double worst[4] = {0, 0, 0, 0};
        for (int i = 0; i < t.get_data_size(); ++i) {
            const FileStorageValues& x = t.get_record(i)->values;
            const FileStorageValues& y = back.get_record(i)->values;
            for (std::size_t c = 0; c < x.size(); ++c) {
                if (c == 1 && x[c] == 0.0f) {
                    // No gas comes back as no gas; under the lossy wavelet
                    // perhaps as a trace below every real reading.
                    if (type == FileStorage::encode_wavelet)
                        EXPECT_LT(y[c], smallest_gas) << i;
                    else
                        EXPECT_EQ(y[c], 0.0f) << type << " " << i;
                    continue;
                }
                const double error = c == 1 ? std::fabs(y[c] / x[c] - 1.0) : std::fabs(y[c] - x[c]);
                worst[c] = std::max(worst[c], error);
            }
        }
        for (std::size_t c = 0; c < 4; ++c)
            EXPECT_LE(worst[c], bounds[type][c]) << "method " << type << " column " << c;
    }
}

TEST_F(Export, WaveletMethodCodesMechanicalAndGasColumnsTheirOwnWay) {
    FileStorage t;
    fill(t, 100);
    t.save_for_compressing(base, FileStorage::encode_wavelet);
    const std::string values = get(base + ".values");
    ASSERT_GE(values.size(), 20u);
    std::uint32_t records;
    std::memcpy(&records, values.data(), 4);
    EXPECT_EQ(records, 100u);
    // вес_на_крюке: no flags, coding 2, 16 bits, 1024 levels.
    EXPECT_EQ(values.substr(4, 2), std::string("\0\0", 2));
    EXPECT_EQ(values.substr(6, 12), le(2) + le(2) + le(1024u));
    // метан_абс follows: gas flag, small values, wavelet of 128.
    Source in(values.substr(4 + 2));
    std::vector<float> skipped;
    int coding;
    in >> coding;
    FileStorage::smart_read_vector(in, skipped, 100);
    bool gas, small;
    unsigned length;
    in >> gas >> small >> coding >> length;
    EXPECT_TRUE(gas);
    EXPECT_TRUE(small);
    EXPECT_EQ(coding, 3);
    EXPECT_EQ(length, 128u);
}

TEST_F(Export, GasColumnsOfNoGasAndOfOnlyGas) {
    FileStorage t;
    t.add_parametr(FileStorageParam("Метан", "C1", "%", "метан_абс", 0.0f, 100.0f));
    t.add_parametr(FileStorageParam("Этан", "C2", "%", "этан_абс", 0.0f, 100.0f));
    for (int i = 0; i < 40; ++i) {
        FileStorageItem r;
        r.time = static_cast<unsigned>(i);
        r.values = {0.0f, 0.5f + 0.01f * static_cast<float>(i)};
        t.add_record(r);
    }
    t.save_for_compressing(base, FileStorage::encode_plain);
    FileStorage back;
    back.load_compr_rt(base);
    for (int i = 0; i < 40; ++i) {
        const FileStorageValues& v = back.get_record(i)->values;
        // e to ln(1e-25): no value lies below the 1 % mark of a constant column.
        EXPECT_NEAR(v[0], 1e-25f, 1e-30f);
        EXPECT_NEAR(v[1], 0.5f + 0.01f * static_cast<float>(i), 1e-6f);
    }
}

TEST_F(Export, GasReadingsNearTheSmallestSurviveBesideNoGas) {
    // The reader zeroes the flagged values in the lowest 1 % of the range of
    // logarithms; 0.0101 lies there when no gas is stored as ln 0.01.
    FileStorage t;
    t.add_parametr(FileStorageParam("Метан", "C1", "%", "метан_абс", 0.0f, 100.0f));
    const std::vector<float> methane = {0.0f, 0.01f, 0.0101f, 0.0103f, 5.0f, 0.0f};
    for (float v : methane) {
        FileStorageItem r;
        r.values = {v};
        t.add_record(r);
    }
    for (auto type : {FileStorage::encode_plain, FileStorage::encode_quantised}) {
        t.save_for_compressing(base, type);
        FileStorage back;
        back.load_compr_rt(base);
        for (std::size_t i = 0; i < methane.size(); ++i)
            EXPECT_NEAR(back.get_record(static_cast<int>(i))->values[0], methane[i],
                        (type == FileStorage::encode_plain ? 1e-5f : 1e-3f) * methane[i])
                << type << " " << i;
    }
}

TEST_F(Export, AnEmptyTableReadsBackWithEveryMethod) {
    for (auto type : {FileStorage::encode_plain, FileStorage::encode_quantised, FileStorage::encode_wavelet}) {
        FileStorage t;
        fill(t, 0);
        t.save_for_compressing(base, type);
        FileStorage back;
        back.load_compr_rt(base);
        expect_same_fields(t, back);
    }
    FileStorage none;
    none.save_for_compressing(base, FileStorage::encode_wavelet);
    FileStorage back;
    back.load_compr_rt(base);
    EXPECT_EQ(back.get_params_count(), 0);
    EXPECT_EQ(back.get_data_size(), 0);
}

TEST_F(Export, LoadingReplacesWhatTheTableHeld) {
    FileStorage t;
    fill(t, 30);
    t.save_for_compressing(base, FileStorage::encode_quantised);
    FileStorage back;
    fill(back, 70);
    back.add_parametr(FileStorageParam("Другой", "Д", "", "другой", 0.0f, 1.0f));
    back.load_compr_rt(base);
    expect_same_fields(t, back);
}

TEST_F(Export, AnUnknownMethodWritesNothing) {
    FileStorage t;
    fill(t, 10);
    EXPECT_THROW(t.save_for_compressing(base, FileStorage::EncodeType(7)), FileStorageException);
    for (const char* suffix : kSuffixes) EXPECT_FALSE(std::filesystem::exists(base + suffix)) << suffix;
}

TEST_F(Export, DamagedFilesFailNamingTheFileAndLeaveTheTableEmpty) {
    FileStorage t;
    fill(t, 100);
    t.save_for_compressing(base, FileStorage::encode_quantised);
    std::map<std::string, std::string> good;
    for (const char* suffix : kSuffixes) good[suffix] = get(base + suffix);

    struct Case {
        const char* what;
        const char* suffix;
        std::size_t offset;
        std::string bytes;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"column count", ".params", 0, le(129), "число столбцов 129 вне пределов 0..128"},
        {"negative column count", ".params", 0, le(-1), "число столбцов -1"},
        {"record count", ".values", 0, le(101u),
         "столбец 1 (вес_на_крюке): FileStorage::smart_read_vector: длина столбца 100 не равна числу записей 101"},
        {"record count huge", ".values", 0, le(0x80000000u), "число записей"},
        {"unknown coding", ".values", 6, le(4), "столбец 1 (вес_на_крюке): неизвестный способ кодирования столбца 4"},
        {"time count", ".time", 0, le(99), "время записей: длина вектора 99 не равна числу записей 100"},
        {"time count beyond", ".time", 0, le(101), "вне пределов 0..100"},
        {"depth count", ".depth_cur", 0, le(50), "не равна числу записей 100"},
        {"operation count", ".operation", 0, le(-7), "длина вектора -7"},
    };
    for (const auto& c : cases) {
        for (const char* suffix : kSuffixes) put(base + suffix, good[suffix]);
        std::string damaged = good[c.suffix];
        damaged.replace(c.offset, c.bytes.size(), c.bytes);
        put(base + c.suffix, damaged);
        FileStorage back;
        fill(back, 5);
        try {
            back.load_compr_rt(base);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const FileStorageException& e) {
            const std::string message = e.what();
            EXPECT_TRUE(e.is_critical());
            EXPECT_NE(message.find("FileStorage::load_compr_rt: " + base + c.suffix), std::string::npos)
                << c.what << ": " << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
        }
        EXPECT_EQ(back.get_data_size(), 0) << c.what;
        EXPECT_EQ(back.get_params_count(), 0) << c.what;
    }

    // Cut short: the file's own read error.
    for (const char* suffix : kSuffixes) put(base + suffix, good[suffix]);
    put(base + ".values", good[".values"].substr(0, good[".values"].size() - 1));
    FileStorage back;
    try {
        back.load_compr_rt(base);
        ADD_FAILURE() << "no exception";
    } catch (const lib::io::FileError& e) {
        EXPECT_STREQ(e.what(), "InputMappedFile::read: eof");
        EXPECT_EQ(e.file_name(), base + ".values");
    }
    EXPECT_EQ(back.get_data_size(), 0);

    std::filesystem::remove(base + ".lag_depth");
    EXPECT_THROW(back.load_compr_rt(base), lib::io::FileError);
}

TEST_F(Export, EveryCutOfTheValuesFailsCleanly) {
    FileStorage t;
    fill(t, 70);
    for (auto type : {FileStorage::encode_quantised, FileStorage::encode_wavelet}) {
        t.save_for_compressing(base, type);
        const std::string values = get(base + ".values");
        for (std::size_t cut = 1; cut < values.size(); cut += 7) {
            put(base + ".values", values.substr(0, cut));
            FileStorage back;
            EXPECT_ANY_THROW(back.load_compr_rt(base)) << cut;
            EXPECT_EQ(back.get_data_size(), 0);
        }
    }
}

// --- the single stream ---

TEST(SingleStream, HeaderAndRoundTrip) {
    FileStorage t;
    t.add_parametr(FileStorageParam("Вес на крюке", "Вес", "т", "вес_на_крюке", 0.0f, 250.0f));
    t.add_parametr(FileStorageParam("Давление", "Р", "атм", "давление_на_входе", -1.0f, 400.0f));
    for (int i = 0; i < 3; ++i) {
        FileStorageItem r;
        r.time = 90000u + static_cast<unsigned>(i);
        r.depth_z = 10.0f + static_cast<float>(i);
        r.depth_cur = 9.0f;
        r.lag_depth = 8.5f;
        r.operation = static_cast<unsigned char>(250 + i);
        r.values = {1.5f * static_cast<float>(i), -2.0f};
        t.add_record(r);
    }
    t.text_values().set_text("скважина", "12");
    Sink out;
    t.save_for_compressing_old(out, nullptr);
    EXPECT_EQ(out.bytes.substr(0, 17), std::string("CREGFILE\0", 9) + le(1) + le(2));
    Source in(out.bytes);
    FileStorage back;
    back.load_after_decompressing(in);
    EXPECT_TRUE(in.eof());
    expect_same_fields(t, back);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(back.get_record(i)->values, t.get_record(i)->values);
    EXPECT_EQ(back.get_file_kind(), 1);
}

TEST(SingleStream, ProgressInPercentOfColumnsAndFields) {
    for (auto [columns, expected] : {std::pair{4, std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}},
                                     {0, std::vector<int>{16, 33, 50, 66, 83}}}) {
        FileStorage t;
        for (int i = 0; i < columns; ++i)
            t.add_parametr(FileStorageParam("п", "п", "", "п" + std::to_string(i), 0.0f, 1.0f));
        std::vector<int> got;
        Sink out;
        t.save_for_compressing_old(out, [&](int p) { got.push_back(p); });
        EXPECT_EQ(got, expected);
        EXPECT_TRUE(t.progress_callback());
    }
}

TEST(SingleStream, AllThreeCodingsAreRead) {
    // A stream as another writer may code it: a quantised and a wavelet
    // column beside a plain one.
    std::vector<float> a(200), b(200), c(200);
    for (std::size_t i = 0; i < 200; ++i) {
        a[i] = static_cast<float>(i);
        b[i] = 1000.0f + 0.001f * static_cast<float>(i);
        c[i] = 5.0f + std::sin(0.03f * static_cast<float>(i));
    }
    Sink out;
    out << AnsiString("CREGFILE") << 1 << 3;
    for (const char* g : {"a", "b", "c"})
        out << AnsiString(g) << AnsiString(g) << AnsiString() << AnsiString(g) << 0.0f << 1.0f;
    out << AnsiString("x=1\r\n") << 200;
    FileStorage::add_new_reg_file_vector(out, std::vector<unsigned>(200, 7u));
    for (int k = 0; k < 3; ++k) FileStorage::add_new_reg_file_vector(out, std::vector<float>(200, 1.0f));
    FileStorage::add_new_reg_file_vector(out, std::vector<char>(200, 3));
    out << 1;
    FileStorage::add_new_reg_file_vector(out, a);
    FileStorage::try_to_compress(out, b);
    FileStorage::wavelet_compress(out, c, 2.0f);
    Source in(out.bytes);
    FileStorage t;
    t.load_after_decompressing(in);
    ASSERT_EQ(t.get_data_size(), 200);
    for (int i = 0; i < 200; ++i) {
        const FileStorageValues& v = t.get_record(i)->values;
        EXPECT_EQ(v[0], a[static_cast<std::size_t>(i)]);
        EXPECT_NEAR(v[1], b[static_cast<std::size_t>(i)], 1e-4 * 1000);
        EXPECT_NEAR(v[2], c[static_cast<std::size_t>(i)], 0.05);
    }
    EXPECT_EQ(t.text_values().get_text("x"), "1");
}

TEST(SingleStream, WrongMagicVersionOrCodingFailsAndLeavesTheTableEmpty) {
    FileStorage t;
    t.add_parametr(FileStorageParam("a", "a", "", "a", 0.0f, 1.0f));
    FileStorageItem r;
    r.values = {1.0f};
    t.add_record(r);
    Sink out;
    t.save_for_compressing_old(out, nullptr);
    const std::string good = out.bytes;
    const std::size_t coding_at = good.size() - 4 - 4 - 4;  // coding, n, one float

    struct Case {
        std::string bytes;
        std::string message;
    };
    std::string version2 = good;
    version2.replace(9, 4, le(2));
    std::string coding9 = good;
    coding9.replace(coding_at, 4, le(9));
    std::string many = good;
    many.replace(13, 4, le(1000));
    const std::vector<Case> cases = {
        {"CREGFILX" + good.substr(8), kBadHeader},
        {std::string("CREG\0", 5) + good.substr(9), kBadHeader},
        {std::string(20, 'C'), kBadHeader},
        {version2, kBadVersion},
        {coding9, "FileStorage::load_after_decompressing: столбец 1 (a): неизвестный способ кодирования столбца 9"},
        {many, "FileStorage::load_after_decompressing: столбцы: число столбцов 1000 вне пределов 0..128"},
    };
    for (const auto& c : cases) {
        FileStorage back;
        fill(back, 3);
        Source in(c.bytes);
        try {
            back.load_after_decompressing(in);
            ADD_FAILURE() << c.message << ": no exception";
        } catch (const FileStorageException& e) {
            EXPECT_EQ(e.what(), c.message);
            EXPECT_TRUE(e.is_critical());
        }
        EXPECT_EQ(back.get_data_size(), 0);
        EXPECT_EQ(back.get_params_count(), 0);
    }
}

TEST(SingleStream, EveryCutAndEveryAlteredCountFailsCleanly) {
    FileStorage t;
    fill(t, 40);
    Sink out;
    t.save_for_compressing_old(out, nullptr);
    for (std::size_t cut = 0; cut < out.bytes.size(); cut += 5) {
        Source in(out.bytes.substr(0, cut));
        FileStorage back;
        EXPECT_ANY_THROW(back.load_after_decompressing(in)) << cut;
        EXPECT_EQ(back.get_data_size(), 0);
    }
    // Each 4-byte field set to a few counts a damaged file might hold.
    for (std::size_t at = 9; at + 4 <= out.bytes.size(); at += 1) {
        for (int count : {-1, 0, 39, 41, 0x7FFFFFFF}) {
            std::string s = out.bytes;
            s.replace(at, 4, le(count));
            Source in(s);
            FileStorage back;
            try {
                back.load_after_decompressing(in);
                for (int i = 0; i < back.get_data_size(); ++i)
                    EXPECT_EQ(back.get_record(i)->values.size(), static_cast<std::size_t>(back.get_params_count()));
            } catch (const std::exception&) {
                EXPECT_EQ(back.get_data_size(), 0);
            }
        }
    }
}

TEST(SingleStream, ReadsAFile) {
    os::testing::TempDir dir;
    FileStorage t;
    fill(t, 20);
    Sink out;
    t.save_for_compressing_old(out, nullptr);
    put(dir / "trip.creg", out.bytes);
    FileStorage back;
    back.load_after_decompressing(dir / "trip.creg");
    expect_same_fields(t, back);
    put(dir / "bad.creg", "CREGFILE" + std::string(1, '\0') + le(3));
    try {
        back.load_after_decompressing(dir / "bad.creg");
        ADD_FAILURE();
    } catch (const FileStorageException& e) {
        EXPECT_EQ(e.what(), kBadVersion);
    }
}

// --- a data file exported window by window ---

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

class FileExport : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "ref");
        std::filesystem::create_directories(dir / "out");
        ASSERT_TRUE(storage_testing::write_varied_trip(trip, kRecords, kT0));
    }

    static constexpr int kRecords = 12000;
    static constexpr std::uint32_t kT0 = 1700000000u;
    os::testing::TempDir dir;
    std::string trip = dir / "0001.realtim";
};

// The windows a read hands over hold, one after another, the records of the
// table add_file makes (a record read before the second header has the
// columns it added as 0), each window within its bound.
TEST_F(FileExport, ReadingInWindowsHandsOverTheRecordsOfTheWholeReadInBoundedPieces) {
    FileStorage whole;
    whole.add_file(trip, false);
    FileStorage windows;
    const std::size_t bound = 64 << 10;
    int at = 0, handed = 0;
    bool short_record = false;
    ASSERT_TRUE(windows.read_in_windows(trip, bound, [&] {
        ++handed;
        const int n = windows.get_data_size();
        EXPECT_LE(std::size_t(n - 1) * (20 + 4 * std::size_t(windows.get_params_count())), bound);
        for (int i = 0; i < n; ++i, ++at) {
            ASSERT_LT(at, whole.get_data_size());
            const FileStorageRecord *x = whole.get_record(at), *y = windows.get_record(i);
            ASSERT_EQ(y->time.get_value(), x->time.get_value()) << at;
            EXPECT_EQ(y->depth_cur, x->depth_cur);
            EXPECT_EQ(y->operation, x->operation);
            short_record |= y->values.size() < x->values.size();
            for (std::size_t c = 0; c < x->values.size(); ++c) {
                const float v = c < y->values.size() ? y->values[c] : 0.0f;
                const float w = x->values[c];
                ASSERT_EQ(std::memcmp(&v, &w, 4), 0) << at << " column " << c;
            }
        }
    }));
    EXPECT_EQ(at, whole.get_data_size());
    EXPECT_GT(handed, 20);
    EXPECT_TRUE(short_record);
    EXPECT_EQ(windows.get_data_size(), 0);
    EXPECT_EQ(windows.get_params_count(), whole.get_params_count());
    EXPECT_EQ(windows.text_values().get_full_text(), whole.text_values().get_full_text());
    EXPECT_EQ(windows.get_remarks().size(), whole.get_remarks().size());
    std::vector<AnsiString> a, b;
    whole.get_warnings(a);
    windows.get_warnings(b);
    EXPECT_EQ(b, a);
    EXPECT_FALSE(a.empty());
    // A table without the records it read is never written over their file.
    const std::string before = get(trip);
    EXPECT_THROW(windows.save_all(trip, false), FileStorageException);
    EXPECT_THROW(windows.smart_save_all(trip, false), FileStorageException);
    EXPECT_TRUE(get(trip) == before);
}

// Every coding, windows from a few records to the default, the whole trip and
// a time window: the export made from the file has the bytes of the export
// of the whole table, and nothing else is left beside it.
TEST_F(FileExport, TheExportOfAFileHasTheBytesOfTheExportOfItsWholeTable) {
    struct Range {
        std::uint32_t from, to;
    };
    for (const Range range : {Range{0, 0xFFFFFFFFu}, Range{kT0 + 2000, kT0 + 9000}}) {
        for (auto type : {FileStorage::encode_plain, FileStorage::encode_quantised, FileStorage::encode_wavelet}) {
            FileStorage table;
            table.set_time_range(lib::unix_time(range.from), lib::unix_time(range.to));
            table.add_file(trip, false);
            table.save_for_compressing(dir / "ref/t", type);
            std::vector<AnsiString> warned;
            table.get_warnings(warned);
            for (std::size_t window : {std::size_t(2000), std::size_t(300) << 10,
                                       FileStorage::export_window_bytes}) {
                SCOPED_TRACE("coding " + std::to_string(type) + ", window " + std::to_string(window) + ", from " +
                             std::to_string(range.from));
                std::filesystem::remove_all(dir / "out");
                std::filesystem::create_directories(dir / "out");
                FileStorage file;
                file.set_time_range(lib::unix_time(range.from), lib::unix_time(range.to));
                std::size_t records = 0;
                ASSERT_TRUE(file.export_file_for_compressing(trip, dir / "out/t", type, records, window));
                EXPECT_EQ(records, std::size_t(table.get_data_size()));
                for (const char* suffix : kSuffixes)
                    EXPECT_TRUE(get(dir / "out/t" + suffix) == get(dir / "ref/t" + suffix)) << suffix;
                EXPECT_EQ(names_in(dir / "out"), names_in(dir / "ref"));
                std::vector<AnsiString> said;
                file.get_warnings(said);
                EXPECT_EQ(said, warned);
                EXPECT_EQ(file.get_data_size(), 0);
                EXPECT_EQ(file.get_params_count(), table.get_params_count());
            }
        }
    }
}

TEST_F(FileExport, NoRecordInTheWindowWritesNothing) {
    FileStorage t;
    fill(t, 50);
    t.save_with_new_format(dir / "0002.realtim", -1);
    FileStorage file;
    file.set_time_range(lib::unix_time(1), lib::unix_time(89999));
    std::size_t records = 7;
    ASSERT_TRUE(
        file.export_file_for_compressing(dir / "0002.realtim", dir / "out/t", FileStorage::encode_quantised, records));
    EXPECT_EQ(records, 0u);
    EXPECT_TRUE(names_in(dir / "out").empty());
    EXPECT_EQ(file.get_params_count(), 4);
}

// An export cut short would be packed as the file's: none of its files is
// left, and the cause names the file.
TEST_F(FileExport, AnExportThatFailsPartWayLeavesNoneOfItsFiles) {
    std::filesystem::create_directories(dir / "out/t.values");  // .values cannot be made
    FileStorage file;
    std::size_t records = 0;
    EXPECT_THROW(file.export_file_for_compressing(trip, dir / "out/t", FileStorage::encode_quantised, records),
                 std::exception);
    EXPECT_EQ(names_in(dir / "out"), std::vector<std::string>{"t.values"});

    // No folder for the export at all: the set-aside columns cannot be made.
    try {
        file.export_file_for_compressing(trip, dir / "missing/t", FileStorage::encode_plain, records);
        ADD_FAILURE() << "no failure";
    } catch (const FileStorageException& e) {
        EXPECT_TRUE(e.is_critical());
        EXPECT_NE(std::string(e.what()).find(dir / "missing/t.columns"), std::string::npos) << e.what();
    }
    EXPECT_THROW(file.export_file_for_compressing(trip, dir / "out/u", FileStorage::EncodeType(7), records),
                 FileStorageException);
    EXPECT_EQ(names_in(dir / "out"), std::vector<std::string>{"t.values"});
}

}  // namespace
