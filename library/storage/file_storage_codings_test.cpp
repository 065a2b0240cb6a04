#include "library/storage/file_storage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

class Sink : public lib::io::BinaryOutputStream {
public:
    void write(const char* b, unsigned n) override { bytes.append(b, n); }
    std::string bytes;
};

class Source : public lib::io::BinaryMemoryInputStream {
public:
    explicit Source(const std::string& bytes) { set_data(bytes.data(), bytes.size()); }
};

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

template <typename T>
std::string le(T v) {
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}

template <typename T>
T at(const std::string& s, std::size_t offset) {
    T v;
    std::memcpy(&v, s.data() + offset, sizeof v);
    return v;
}

// The head of coding-2 data and its vectors, as stored.
struct Quantised {
    int size = 0;
    unsigned levels = 0;
    float max = 0, min = 0;
    int n = 0;
    std::vector<int> outliers;
    std::vector<float> raw;
    std::vector<unsigned short> q16;
    std::vector<unsigned char> q8;
};

Quantised parse_quantised(const std::string& data) {
    Source in(data);
    Quantised r;
    in >> r.size >> r.levels >> r.max >> r.min >> r.n;
    FileStorage::read_new_reg_file_vector(in, r.outliers);
    FileStorage::read_new_reg_file_vector(in, r.raw);
    if (r.size == 1) FileStorage::read_new_reg_file_vector(in, r.q8);
    if (r.size == 2) FileStorage::read_new_reg_file_vector(in, r.q16);
    EXPECT_TRUE(in.eof());
    return r;
}

std::vector<float> read_quantised(const std::string& data, std::size_t count) {
    Source in(data);
    std::vector<float> v;
    FileStorage::smart_read_vector(in, v, count);
    EXPECT_TRUE(in.eof());
    return v;
}

std::string quantise(const std::vector<float>& v, unsigned levels, bool force, bool* ok = nullptr) {
    Sink out;
    bool done = FileStorage::try_to_copmpress<std::uint16_t>(out, v, levels, force);
    if (ok) *ok = done;
    return out.bytes;
}

std::string expect_message(const std::function<void()>& f) {
    try {
        f();
    } catch (const FileStorageException& e) {
        EXPECT_TRUE(e.is_critical()) << e.what();
        return e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not a FileStorageException: " << e.what();
        return e.what();
    }
    ADD_FAILURE() << "no exception";
    return {};
}

TEST(ByteplaneVector, StoresEachBytePlaneInTurn) {
    Sink out;
    FileStorage::add_new_reg_file_vector(out, std::vector<unsigned short>{0x0102, 0x0304});
    EXPECT_EQ(out.bytes, bytes({0x02, 0x00, 0x00, 0x00, 0x02, 0x04, 0x01, 0x03}));

    Sink f;
    FileStorage::add_new_reg_file_vector(f, std::vector<float>{1.0f, -2.0f});  // 3F800000, C0000000
    EXPECT_EQ(f.bytes, bytes({2, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x3F, 0xC0}));

    Sink c;
    FileStorage::add_new_reg_file_vector(c, std::vector<char>{'a', 'b', 'c'});
    EXPECT_EQ(c.bytes, bytes({3, 0, 0, 0, 'a', 'b', 'c'}));
}

TEST(ByteplaneVector, RoundTripsEveryElementType) {
    auto round = [](const auto& v) {
        Sink out;
        FileStorage::add_new_reg_file_vector(out, v);
        Source in(out.bytes);
        std::decay_t<decltype(v)> back;
        FileStorage::read_new_reg_file_vector(in, back);
        EXPECT_TRUE(in.eof());
        return back == v;
    };
    EXPECT_TRUE(round(std::vector<unsigned char>{0, 1, 255}));
    EXPECT_TRUE(round(std::vector<unsigned short>{0, 1, 65535, 0x8000}));
    EXPECT_TRUE(round(std::vector<int>{0, -1, std::numeric_limits<int>::min(), 123456789}));
    EXPECT_TRUE(round(std::vector<unsigned int>{0, 0xFFFFFFFFu, 0x01020304u}));
    EXPECT_TRUE(round(std::vector<float>{0.0f, -0.0f, 1e-30f, 3.4e38f}));
    EXPECT_TRUE(round(std::vector<char>{}));
    std::vector<float> big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<float>(i) * 0.25f;
    EXPECT_TRUE(round(big));  // more than one chunk of a plane
}

TEST(ByteplaneVector, ReaderRefusesCountsBeyondItsLimitOrTheData) {
    std::vector<float> v;
    Source negative(le(-1) + std::string(16, '\0'));
    EXPECT_NE(expect_message([&] { FileStorage::read_new_reg_file_vector(negative, v, 10); }).find("длина вектора -1"),
              std::string::npos);
    Source longer(le(11) + std::string(44, '\0'));
    EXPECT_NE(expect_message([&] { FileStorage::read_new_reg_file_vector(longer, v, 10); }).find("0..10"),
              std::string::npos);
    // A count of two billion over eight bytes fails on reading, having
    // allocated nothing like what it claims.
    Source huge(le(2000000000) + std::string(8, '\0'));
    EXPECT_THROW(FileStorage::read_new_reg_file_vector(huge, v), std::exception);
}

TEST(Quantised, ConstantColumnTakesEightBitsAndOneThirtiethRaw) {
    for (std::size_t n : {29u, 30u, 60u, 95u}) {
        std::vector<float> v(n, 7.5f);
        Sink out;
        ASSERT_TRUE(FileStorage::try_to_copmpress<std::uint8_t>(out, v, 255, false));
        Quantised q = parse_quantised(out.bytes);
        EXPECT_EQ(q.size, 1);
        EXPECT_EQ(q.levels, 255u);
        EXPECT_EQ(q.min, 7.5f);
        EXPECT_EQ(q.max, 8.5f);
        EXPECT_EQ(q.n, static_cast<int>(n));
        const std::size_t raw = std::max<std::size_t>(n / 30, 1);
        EXPECT_EQ(q.outliers.size(), raw) << n;
        EXPECT_TRUE(std::is_sorted(q.outliers.begin(), q.outliers.end()));
        EXPECT_EQ(q.raw, std::vector<float>(raw, 7.5f));
        EXPECT_EQ(q.q8, std::vector<unsigned char>(n - raw, 0));
        EXPECT_EQ(read_quantised(out.bytes, n), v);
    }
}

TEST(Quantised, CascadeTakesTheFirstAttemptThatHoldsTheErrorBound) {
    struct Case {
        const char* what;
        std::vector<float> values;
        int size;
        unsigned levels;
    };
    std::vector<float> narrow, wide, noise;
    for (int i = 0; i < 1000; ++i) narrow.push_back(1000.0f + 0.001f * static_cast<float>(i));
    for (int i = 0; i < 1000; ++i) wide.push_back(100.0f + 0.1f * static_cast<float>(i));  // 100 .. 200
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(0.05f, 100.0f);
    for (int i = 0; i < 1000; ++i) noise.push_back(u(rng));
    const std::vector<Case> cases = {
        {"narrow", narrow, 1, 255},
        {"wide", wide, 2, 8192},
        {"noise", noise, 2, 65535},
    };
    for (const auto& c : cases) {
        Sink out;
        FileStorage::try_to_compress(out, c.values);
        ASSERT_EQ(at<int>(out.bytes, 0), FileStorage::coding_quantised);
        Quantised q = parse_quantised(out.bytes.substr(4));
        EXPECT_EQ(q.size, c.size) << c.what;
        EXPECT_EQ(q.levels, c.levels) << c.what;
        std::vector<float> back = read_quantised(out.bytes.substr(4), c.values.size());
        ASSERT_EQ(back.size(), c.values.size());
        std::size_t k = 0;
        for (std::size_t i = 0; i < back.size(); ++i) {
            if (k < q.outliers.size() && q.outliers[k] == static_cast<int>(i)) {
                EXPECT_EQ(back[i], c.values[i]) << c.what << " raw at " << i;
                ++k;
                continue;
            }
            const double rel = std::fabs((back[i] - c.values[i]) / c.values[i]);
            if (c.levels != 65535) {
                EXPECT_LT(rel, 0.0001) << c.what << " at " << i;
            }
            // Forced: within half a level (and the float's own rounding).
            EXPECT_LE(std::fabs(back[i] - c.values[i]), (q.max - q.min) / q.levels / 2 * 1.0001 + 1e-5)
                << c.what << " at " << i;
        }
    }
}

TEST(Quantised, TheWorstValuesAreStoredRawUpToTheLimit) {
    // 300 values allow 10 raw ones. Values near 500 meet the bound at 16384
    // levels over 0 .. 500.5; four small readings between cannot, they are
    // the worst errors and are stored exactly. (0 itself counts as no error.)
    std::vector<float> v;
    for (int i = 0; i < 300; ++i) v.push_back(500.0f + 0.01f * static_cast<float>(i % 50));
    v[0] = 0.0f;
    const int spikes[] = {13, 101, 102, 299};
    for (int i : spikes) v[static_cast<std::size_t>(i)] = 0.7f + 0.113f * static_cast<float>(i % 7);
    bool ok = false;
    std::string data = quantise(v, 16384, false, &ok);
    ASSERT_TRUE(ok);
    Quantised q = parse_quantised(data);
    for (int i : spikes) EXPECT_NE(std::find(q.outliers.begin(), q.outliers.end(), i), q.outliers.end()) << i;
    EXPECT_LE(q.outliers.size(), 10u);
    std::vector<float> back = read_quantised(data, v.size());
    for (int i : spikes) EXPECT_EQ(back[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i)]);
    for (std::size_t i = 1; i < v.size(); ++i) EXPECT_LT(std::fabs((back[i] - v[i]) / v[i]), 0.0001) << i;

    // Eleven such readings are one too many and fail the attempt.
    std::vector<float> w = v;
    for (int i = 0; i < 11; ++i) w[static_cast<std::size_t>(20 * i + 1)] = 0.7f + 0.113f * static_cast<float>(i);
    Sink none;
    EXPECT_FALSE(FileStorage::try_to_copmpress<std::uint16_t>(none, w, 16384, false));
    EXPECT_TRUE(none.bytes.empty());
}

TEST(Quantised, ValuesThatAreNotFiniteAreStoredRaw) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> v(100, 0.0f);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = 10.0f + static_cast<float>(i);
    v[3] = nan;
    v[50] = inf;
    v[51] = -inf;
    for (bool force : {false, true}) {
        Sink out;
        FileStorage::try_to_compress(out, v);
        if (force) {
            out.bytes.clear();
            out << FileStorage::coding_quantised;
            FileStorage::try_to_copmpress<std::uint8_t>(out, v, 255, true);
        }
        Quantised q = parse_quantised(out.bytes.substr(4));
        EXPECT_EQ(q.min, 10.0f);
        EXPECT_EQ(q.max, 109.0f);
        std::vector<float> back = read_quantised(out.bytes.substr(4), v.size());
        EXPECT_TRUE(std::isnan(back[3]));
        EXPECT_EQ(back[50], inf);
        EXPECT_EQ(back[51], -inf);
        EXPECT_NEAR(back[60], v[60], 1.0);
    }
    // A column of nothing but NaN.
    std::string data = quantise(std::vector<float>(5, nan), 1024, true);
    for (float x : read_quantised(data, 5)) EXPECT_TRUE(std::isnan(x));
}

TEST(Quantised, EmptyColumnReadsBackEmpty) {
    std::string data = quantise({}, 1024, false);
    EXPECT_TRUE(read_quantised(data, 0).empty());
}

TEST(Quantised, HugeRangesNeitherOverflowNorDivideByZero) {
    const float top = std::numeric_limits<float>::max();
    std::vector<float> v = {-top, top, 0.0f, 1.0f, top / 2};
    std::vector<float> back = read_quantised(quantise(v, 65535, true), v.size());
    EXPECT_EQ(back[0], -top);
    // A huge constant: max + 1 is max again, every q is 0.
    std::vector<float> same(40, 3e30f);
    back = read_quantised(quantise(same, 65535, true), same.size());
    EXPECT_EQ(back, same);
}

std::string wavelet(const std::vector<float>& v) {
    Sink out;
    FileStorage::wavelet_compress(out, v, 2.0f);
    return out.bytes;
}

std::vector<float> read_wavelet(const std::string& data, std::size_t count) {
    Source in(data.substr(4));
    std::vector<float> v;
    FileStorage::read_wavelet_vector(in, v, count);
    EXPECT_TRUE(in.eof());
    return v;
}

TEST(WaveletCoding, LengthIsTheNextSixtyFourTimesAPowerOfTwo) {
    for (auto [n, length] : {std::pair{100u, 128u}, {64u, 64u}, {65u, 128u}, {1u, 64u}, {1000u, 1024u}}) {
        std::string data = wavelet(std::vector<float>(n, 1.0f));
        EXPECT_EQ(at<int>(data, 0), FileStorage::coding_wavelet);
        EXPECT_EQ(at<unsigned>(data, 4), length) << n;
        // coding, L, then per part lo, hi, 2048 and a vector: 32 and L - 32.
        EXPECT_EQ(at<unsigned>(data, 16), 2048u);
        EXPECT_EQ(at<int>(data, 20), 32);
        const std::size_t part1 = 24 + 64;
        EXPECT_EQ(at<unsigned>(data, part1 + 8), 2048u);
        EXPECT_EQ(at<int>(data, part1 + 12), static_cast<int>(length - 32));
        EXPECT_EQ(data.size(), part1 + 16 + 2 * (length - 32));
    }
}

TEST(WaveletCoding, SmoothColumnsComeBackClose) {
    // A slow swing with a ramp: what the approximation and the few large
    // details carry. 2048 levels over the detail range bound the error.
    std::vector<float> v(1000);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = 50.0f + 20.0f * std::sin(0.01f * static_cast<float>(i)) + 0.01f * static_cast<float>(i);
    std::vector<float> back = read_wavelet(wavelet(v), v.size());
    ASSERT_EQ(back.size(), v.size());
    double worst = 0;
    for (std::size_t i = 0; i < v.size(); ++i) worst = std::max(worst, std::fabs(double(back[i]) - v[i]));
    EXPECT_LT(worst, 0.5);  // of a 50-wide swing

    std::vector<float> flat(300, 12.25f);
    for (float x : read_wavelet(wavelet(flat), flat.size())) EXPECT_NEAR(x, 12.25f, 0.01f);
}

TEST(WaveletCoding, ValuesThatAreNotFiniteAreCodedAsZero) {
    std::vector<float> v(64, 0.0f);
    v[10] = std::numeric_limits<float>::quiet_NaN();
    v[20] = std::numeric_limits<float>::infinity();
    for (float x : read_wavelet(wavelet(v), v.size())) EXPECT_NEAR(x, 0.0f, 1e-3f);
}

TEST(SaveVector, CodingFollowsTheMethodAndTheParameterList) {
    std::vector<float> v(200);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = 100.0f + std::sin(0.1f * static_cast<float>(i));
    struct Case {
        FileStorage::EncodeType type;
        bool mechanical, gas;
        int coding;
    };
    const Case cases[] = {
        {FileStorage::encode_plain, false, false, 1},    {FileStorage::encode_plain, true, false, 1},
        {FileStorage::encode_plain, false, true, 1},     {FileStorage::encode_quantised, false, false, 2},
        {FileStorage::encode_quantised, true, false, 2}, {FileStorage::encode_quantised, false, true, 2},
        {FileStorage::encode_wavelet, false, false, 3},  {FileStorage::encode_wavelet, true, false, 2},
        {FileStorage::encode_wavelet, false, true, 3},
    };
    for (const auto& c : cases) {
        Sink out;
        FileStorage::save_vector(out, v, c.type, c.mechanical, c.gas);
        EXPECT_EQ(out.bytes[0], c.gas ? 1 : 0);
        EXPECT_EQ(out.bytes[1], 0);
        EXPECT_EQ(at<int>(out.bytes, 2), c.coding) << c.type << c.mechanical << c.gas;
        if (c.type == FileStorage::encode_wavelet && c.mechanical) {
            EXPECT_EQ(at<int>(out.bytes, 6), 2);            // 16 bits
            EXPECT_EQ(at<unsigned>(out.bytes, 10), 1024u);  // forced at 1024 levels
        }
    }
    // An empty column is plain whatever the method, so it reads back.
    for (auto type : {FileStorage::encode_plain, FileStorage::encode_quantised, FileStorage::encode_wavelet}) {
        Sink out;
        FileStorage::save_vector(out, {}, type, false, true);
        EXPECT_EQ(out.bytes, bytes({1, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    }
    Sink nothing;
    EXPECT_NE(expect_message([&] {
                  FileStorage::save_vector(nothing, v, FileStorage::EncodeType(3), false, false);
              }).find("неизвестный способ кодирования 3"),
              std::string::npos);
    EXPECT_TRUE(nothing.bytes.empty());
}

TEST(SaveVector, GasColumnsAreCodedAsLogarithms) {
    Sink zeros;
    FileStorage::save_vector(zeros, std::vector<float>(5, 0.0f), FileStorage::encode_plain, false, true);
    EXPECT_EQ(zeros.bytes.substr(0, 2), bytes({1, 1}));
    Source in(zeros.bytes.substr(6));
    std::vector<float> logs;
    FileStorage::read_new_reg_file_vector(in, logs);
    EXPECT_EQ(logs, std::vector<float>(5, std::log(1e-25f)));

    Sink mixed;
    FileStorage::save_vector(mixed, {0.0f, 0.5f, 2.0f, 1e21f}, FileStorage::encode_plain, false, true);
    EXPECT_EQ(mixed.bytes.substr(0, 2), bytes({1, 1}));
    Source in2(mixed.bytes.substr(6));
    FileStorage::read_new_reg_file_vector(in2, logs);
    // Positions of no gas lie clearly below the smallest reading (the
    // largest, 1e21, counts for the spread), so that reading back zeroes
    // them and nothing else.
    EXPECT_EQ(std::vector<float>(logs.begin() + 1, logs.end()),
              (std::vector<float>{std::log(0.5f), std::log(2.0f), std::log(1e21f)}));
    EXPECT_FLOAT_EQ(logs[0], std::log(0.5f) - 0.1f * (std::log(1e21f) - std::log(0.5f)));
    const float t = logs[0] + 0.01f * (logs[3] - logs[0]);
    EXPECT_LT(t, std::log(0.5f));
}

// --- damaged data ---

std::string plain(const std::vector<float>& v) {
    Sink out;
    FileStorage::add_new_reg_file_vector(out, v);
    return out.bytes;
}

TEST(DamagedCodings, EveryCountIsChecked) {
    // A valid quantised column of 60 values with two raw ones, then each
    // field altered.
    std::vector<float> v(60);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = 50.0f + static_cast<float>(i % 7);
    v[0] = 0.0f;  // no error by definition
    v[5] = 0.3f;
    v[40] = 0.74f;
    const std::string good = quantise(v, 1024, true);
    ASSERT_EQ(read_quantised(good, 60).size(), 60u);
    Quantised q = parse_quantised(good);
    ASSERT_EQ(q.outliers, (std::vector<int>{5, 40}));
    // offsets: s 0, N 4, max 8, min 12, n 16, indices 20 (count) 24.., values 32 (count) 36.., quantised 44
    auto with = [&](std::size_t offset, auto value) {
        std::string s = good;
        std::memcpy(s.data() + offset, &value, sizeof value);
        return s;
    };
    struct Case {
        const char* what;
        std::string data;
        std::size_t count;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"element size 3", with(0, 3), 60, "размер квантованного значения 3"},
        {"no levels", with(4, 0u), 60, "число уровней квантования равно 0"},
        {"n not R", with(16, 61), 60, "длина столбца 61 не равна числу записей 60"},
        {"n negative", with(16, -1), 60, "длина столбца -1"},
        {"R not n", good, 59, "не равна числу записей 59"},
        {"more indices than n", with(20, 61), 60, "вне пределов 0..60"},
        {"indices descending", with(24, 41), 60, "номера выбросов не возрастают"},
        {"index beyond n", with(28, 60), 60, "номера выбросов не возрастают или выходят за длину столбца 60"},
        {"index negative", with(30, static_cast<unsigned short>(0x8000)), 60, "номера выбросов"},
        {"more values than indices", with(32, 3), 60, "вне пределов 0..2"},
        {"fewer values than indices", with(32, 1), 60, "значений выбросов 1, а их номеров 2"},
        {"quantised count", with(44, 57), 60, "квантованных значений 57, ожидалось 58"},
        {"quantised count beyond", with(44, 59), 60, "вне пределов 0..58"},
    };
    for (const auto& c : cases) {
        std::string message = expect_message([&] { read_quantised(c.data, c.count); });
        EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }

    const std::string wave = wavelet(std::vector<float>(100, 3.0f));
    auto wave_with = [&](std::size_t offset, auto value) {
        std::string s = wave;
        std::memcpy(s.data() + offset, &value, sizeof value);
        return s;
    };
    const std::vector<Case> wave_cases = {
        {"L not 64 * 2^k", wave_with(4, 192u), 100, "число коэффициентов 192 не равно 64·2^k"},
        {"L below R", wave, 129, "число коэффициентов 128 не равно 64·2^k или меньше длины столбца 129"},
        {"L zero", wave_with(4, 0u), 0, "число коэффициентов 0"},
        {"part 0 levels", wave_with(16, 0u), 100, "число уровней квантования равно 0"},
        {"part 0 count", wave_with(20, 31), 100, "в части коэффициентов 31 значений, ожидалось 32"},
        {"part 0 too long", wave_with(20, 33), 100, "вне пределов 0..32"},
        {"part 1 levels", wave_with(96, 0u), 100, "число уровней квантования равно 0"},
        {"part 1 count", wave_with(100, 95), 100, "коэффициентов детализации 95, ожидалось 96"},
        {"L larger than the data", wave_with(4, 1u << 30), 100, ""},
    };
    for (const auto& c : wave_cases) {
        std::string message;
        try {
            read_wavelet(c.data, c.count);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const std::exception& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    }
}

TEST(DamagedCodings, NoByteValueAnywhereReadsOutOfBounds) {
    // Every byte of a small column of each coding set to values that make
    // counts negative, huge or off by one: each read either gives count
    // values or fails with an exception (the sanitizers see the rest).
    std::vector<float> v(70);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = 1.0f + 0.37f * static_cast<float>(i % 11);
    v[9] = 1e5f;
    const std::string quantised = quantise(v, 2048, true);
    const std::string waved = wavelet(v).substr(4);
    const std::string flat = plain(v);
    for (const std::string* data : {&quantised, &waved, &flat}) {
        for (std::size_t i = 0; i < data->size(); ++i) {
            for (int b : {0x00, 0x01, 0x3F, 0x40, 0x7F, 0x80, 0xFF}) {
                std::string s = *data;
                s[i] = static_cast<char>(b);
                Source in(s);
                std::vector<float> out;
                try {
                    if (data == &quantised) FileStorage::smart_read_vector(in, out, v.size());
                    if (data == &waved) FileStorage::read_wavelet_vector(in, out, v.size());
                    if (data == &flat) {
                        FileStorage::read_new_reg_file_vector(in, out, v.size());
                        EXPECT_LE(out.size(), v.size());
                    } else {
                        EXPECT_EQ(out.size(), v.size());
                    }
                } catch (const std::exception&) {}
            }
        }
    }
}

}  // namespace
