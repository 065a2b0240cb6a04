#include "library/serial/serializator.h"

#include "platform/os/testing.h"
#include "platform/rtl/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

struct Module : lib::SerialModuleBase {
    std::string name;
    std::int32_t value = 0;
    std::string text;
    std::vector<double> series;
    int reads = 0;

    Module(std::string n, std::int32_t v = 0, std::string t = {}, std::vector<double> s = {})
        : name(std::move(n)), value(v), text(std::move(t)), series(std::move(s)) {}

    void get_serial_list(lib::serial_list& list, unsigned) override {
        if (list.is_reading()) ++reads;
        list | value | text | series;
    }
    void get_serial_name(std::string& n) override { n = name; }
};

// A module whose writing or reading fails.
struct Failing : lib::SerialModuleBase {
    bool fail_writing = false;
    void get_serial_list(lib::serial_list& list, unsigned) override {
        if (list.is_reading()) throw 5;  // not a standard exception
        if (fail_writing) throw std::runtime_error("can't describe myself");
        std::int32_t x = 1;
        list | x;
    }
    void get_serial_name(std::string& n) override { n = "Failing"; }
};

// A module that reads one field more than it wrote.
struct Greedy : lib::SerialModuleBase {
    std::int32_t a = 1, b = 2;
    bool writing_both = false;
    void get_serial_list(lib::serial_list& list, unsigned) override {
        list | a;
        if (writing_both || list.is_reading()) list | b;
        if (list.is_reading()) list | b;  // one too many: the second fails
    }
    void get_serial_name(std::string& n) override { n = "Greedy"; }
};

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (auto c : bytes) {
        if (!s.empty()) s += ' ';
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::size_t find(const std::vector<std::uint8_t>& bytes, const std::string& what) {
    auto it = std::search(bytes.begin(), bytes.end(), what.begin(), what.end());
    return static_cast<std::size_t>(it - bytes.begin());
}

struct Errors {
    std::vector<std::string> list;
    lib::Serializator::ErrorCallback callback() {
        return [this](const std::string& e) { list.push_back(e); };
    }
};

// Alpha, Beta and Gamma written to memory.
rtl::MemoryStream three_modules() {
    Module a("Alpha", 1, "один", {1.5}), b("Beta", 2, "два", {2.5, 3.5}), c("Gamma", 3, "три");
    rtl::MemoryStream stream;
    lib::Serializator(1030).serialize({&a, &b, &c}, &stream, 1);
    stream.SetPosition(0);
    return stream;
}

}  // namespace

TEST(Serializator, StreamLayout) {
    Module m("ab", 5);
    struct Empty : lib::SerialModuleBase {
        void get_serial_list(lib::serial_list&, unsigned) override {}
        void get_serial_name(std::string& n) override { n = "e"; }
    } empty;
    rtl::MemoryStream stream;
    lib::Serializator(1030).serialize({&m, &empty}, &stream, 1);
    EXPECT_EQ(hex(stream.bytes()),
              "06 04 00 00 "            // version 1030
              "02 00 00 00 "            // two records
              "61 62 00 "               // "ab"
              "09 00 00 00 "            // nine data bytes:
              "05 00 00 00 "            //   the value,
              "00 "                     //   an empty text,
              "00 00 00 00 "            //   an empty series
              "5A "                     // 85 + 5
              "65 00 00 00 00 00 55");  // empty module: checksum 0x55
}

TEST(Serializator, RecordsFindTheirModulesByNameInAnyOrderAndCase) {
    Module writer_b("Beta", 2, "два", {2.5}), unknown("Stranger", 9), writer_a("alpha", 1, "один"),
        writer_cyr("ПАРАМЕТРЫ Ёж", 4);
    rtl::MemoryStream stream;
    lib::Serializator(1030).serialize({&writer_b, &unknown, &writer_a, &writer_cyr}, &stream, 1);

    Module a("ALPHA"), b("beta"), cyr("параметры ёж"), absent("Missing", 100);
    Errors errors;
    stream.SetPosition(0);
    lib::Serializator(1030).deserialize({&a, &absent, &cyr, &b}, &stream, 1, errors.callback());
    EXPECT_TRUE(errors.list.empty());
    EXPECT_EQ(a.value, 1);
    EXPECT_EQ(a.text, "один");
    EXPECT_EQ(b.value, 2);
    EXPECT_EQ(b.series, std::vector<double>{2.5});
    EXPECT_EQ(cyr.value, 4);
    EXPECT_EQ(absent.value, 100);
    EXPECT_EQ(absent.reads, 0);

    // Two modules of one name each read the record from its start.
    Module b1("Beta"), b2("BETA");
    stream.SetPosition(0);
    lib::Serializator(1030).deserialize({&b1, &b2}, &stream, 1, errors.callback());
    EXPECT_EQ(b1.value, 2);
    EXPECT_EQ(b2.value, 2);
    EXPECT_EQ(b2.text, "два");
}

TEST(Serializator, PermissionCountsOnlyOffFile) {
    Module a("Alpha", 1), hidden("Hidden", 2);
    hidden.set_serial_permission(false);
    rtl::MemoryStream memory;
    lib::Serializator(7).serialize({&a, &hidden}, &memory, 1);
    EXPECT_EQ(find(memory.bytes(), "Hidden"), memory.bytes().size());

    os::testing::TempDir dir;
    std::string file = dir / "sys.bin";
    rtl::write_file_atomic(file, [&](rtl::Stream& s) { lib::Serializator(7).serialize({&a, &hidden}, &s, 1); });
    rtl::FileStream in(file, rtl::FileStream::Mode::fmOpenRead);
    Module a2("Alpha"), hidden2("Hidden");
    lib::Serializator(7).deserialize({&a2, &hidden2}, &in, 1, nullptr);
    EXPECT_EQ(a2.value, 1);
    EXPECT_EQ(hidden2.value, 2);
}

TEST(Serializator, AModuleThatFailsToWriteLeavesTheStreamUntouched) {
    Module a("Alpha", 1);
    Failing f;
    f.fail_writing = true;
    rtl::MemoryStream stream;
    EXPECT_THROW(lib::Serializator(1030).serialize({&a, &f}, &stream, 1), std::runtime_error);
    EXPECT_EQ(stream.Size(), 0);
}

TEST(Serializator, WrongVersionFailsTheWholeCall) {
    auto stream = three_modules();
    Module a("Alpha");
    try {
        lib::Serializator(1031).deserialize({&a}, &stream, 1, nullptr);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Serializator::deserialize: incorrect version");
    }
    EXPECT_EQ(a.reads, 0);
}

// Damage of every kind costs the damaged record only (or, where the stream
// can no longer be followed, what comes after it), and is reported.
TEST(Serializator, DamagedStreamsLoadWhatIsLeftAndReportTheRest) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<std::uint8_t>&);
        std::vector<int> loaded;  // values of Alpha, Beta, Gamma afterwards (0: not loaded)
        const char* report;
    } cases[] = {
        {"flipped checksum",
         [](auto& b) {
             std::size_t at = find(b, "Gamma") - 1;  // Beta's checksum byte
             b[at] ^= 0xFF;
         },
         {1, 0, 3},
         "Ошибка во время десериализации модуля Beta: code summ error"},
        {"changed data byte",
         [](auto& b) { b[find(b, "Beta") + 5 + 4] ^= 1; },
         {1, 0, 3},
         "Ошибка во время десериализации модуля Beta: code summ error"},
        {"truncated last record",
         [](auto& b) { b.resize(b.size() - 3); },
         {1, 2, 0},
         "Ошибка во время десериализации модуля Gamma: record length"},
        {"huge record count",
         [](auto& b) {
             b[4] = 0xFF;
             b[5] = 0xFF;
             b[6] = 0xFF;
             b[7] = 0x7F;
         },
         {1, 2, 3},
         "the record count 2147483647 does not fit"},
        {"huge record length",
         [](auto& b) { b[find(b, "Beta") + 5 + 3] = 0x7F; },
         {1, 0, 0},
         "Ошибка во время десериализации модуля Beta: record length"},
        {"huge container count inside a record",
         [](auto& b) {
             // Beta's series count, after its int32 and its text "два".
             std::size_t at = find(b, "Beta") + 5 + 4 + 4 + 4;
             b[at + 3] = 0x40;
             unsigned sum = 85;
             std::size_t len = b[find(b, "Beta") + 5];
             for (std::size_t i = 0; i < len; ++i) sum += b[find(b, "Beta") + 9 + i];
             b[find(b, "Beta") + 9 + len] = static_cast<std::uint8_t>(sum);
         },
         {1, 2, 3},
         "Ошибка во время десериализации модуля Beta: error while deserialization: size 1073741826"},
        {"stream ends between records",
         [](auto& b) { b.resize(find(b, "Gamma") + 2); },
         {1, 2, 0},
         "damaged record header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto stream = three_modules();
        c.damage(stream.bytes());
        Module a("Alpha"), b("Beta"), g("Gamma");
        Errors errors;
        lib::Serializator(1030).deserialize({&a, &b, &g}, &stream, 1, errors.callback());
        EXPECT_EQ(a.value, c.loaded[0]);
        EXPECT_EQ(b.value, c.loaded[1]);
        EXPECT_EQ(g.value, c.loaded[2]);
        ASSERT_EQ(errors.list.size(), 1u);
        EXPECT_NE(errors.list[0].find(c.report), std::string::npos) << errors.list[0];
    }
}

TEST(Serializator, FailingModulesAreReportedAndTheNextRecordIsRead) {
    Module a("Alpha", 1), g("Gamma", 3);
    Failing f;
    Greedy greedy;
    rtl::MemoryStream stream;
    lib::Serializator(1030).serialize({&a, &f, &greedy, &g}, &stream, 1);
    stream.SetPosition(0);
    Module a2("Alpha"), g2("Gamma");
    Errors errors;
    lib::Serializator(1030).deserialize({&a2, &f, &greedy, &g2}, &stream, 1, errors.callback());
    EXPECT_EQ(a2.value, 1);
    EXPECT_EQ(g2.value, 3);
    ASSERT_EQ(errors.list.size(), 2u);
    EXPECT_EQ(errors.list[0], "Неизвестная ошибка во время десериализации модуля Failing");
    EXPECT_EQ(errors.list[1],
              "Ошибка во время десериализации модуля Greedy: binary_deserial_list::process_binary: eof");

    // Without a callback the failures are only logged, and loading goes on.
    stream.SetPosition(0);
    Module a3("Alpha"), g3("Gamma");
    lib::Serializator(1030).deserialize({&a3, &f, &g3}, &stream, 1, nullptr);
    EXPECT_EQ(a3.value, 1);
    EXPECT_EQ(g3.value, 3);
}

// A stream that can't tell its size, as a pipe or a socket.
class UnsizedStream : public rtl::Stream {
public:
    explicit UnsizedStream(rtl::MemoryStream& inner) : inner_(inner) {}
    std::size_t Read(void* b, std::size_t n) override { return inner_.Read(b, std::min<std::size_t>(n, 3)); }
    std::size_t Write(const void* b, std::size_t n) override { return inner_.Write(b, n); }
    std::int64_t Seek(std::int64_t o, rtl::SeekOrigin origin) override { return inner_.Seek(o, origin); }
    std::int64_t Size() override { return -1; }

private:
    rtl::MemoryStream& inner_;
};

TEST(Serializator, DamageOnAStreamOfUnknownSize) {
    {  // A huge length: the data that is there is read, then the end is reported.
        auto memory = three_modules();
        memory.bytes()[find(memory.bytes(), "Beta") + 5 + 3] = 0x7F;
        UnsizedStream stream(memory);
        Module a("Alpha"), b("Beta"), g("Gamma");
        Errors errors;
        lib::Serializator(1030).deserialize({&a, &b, &g}, &stream, 1, errors.callback());
        EXPECT_EQ(a.value, 1);
        EXPECT_EQ(b.value, 0);
        ASSERT_EQ(errors.list.size(), 1u);
        EXPECT_EQ(errors.list[0], "Ошибка во время десериализации модуля Beta: Ошибка чтения данных из сокета");
    }
    {  // A huge count: every record is read, then the missing next one reported.
        auto memory = three_modules();
        memory.bytes()[7] = 0x7F;
        UnsizedStream stream(memory);
        Module a("Alpha"), b("Beta"), g("Gamma");
        Errors errors;
        lib::Serializator(1030).deserialize({&a, &b, &g}, &stream, 1, errors.callback());
        EXPECT_EQ(g.value, 3);
        ASSERT_EQ(errors.list.size(), 1u);
        EXPECT_NE(errors.list[0].find("damaged record header"), std::string::npos);
    }
    {  // A negative count: nothing says where the records end.
        auto memory = three_modules();
        memory.bytes()[7] = 0x80;
        UnsizedStream stream(memory);
        Module a("Alpha");
        Errors errors;
        lib::Serializator(1030).deserialize({&a}, &stream, 1, errors.callback());
        EXPECT_EQ(a.value, 0);
        ASSERT_EQ(errors.list.size(), 1u);
        EXPECT_NE(errors.list[0].find("is negative"), std::string::npos);
    }
}
