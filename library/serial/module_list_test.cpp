#include "library/serial/module_list.h"

#include "platform/rtl/stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A module deriving the two bases directly, as the hub's frame does.
struct Direct : virtual lib::ModuleBaseOld, lib::SerialModuleBase {
    std::string name;
    std::int32_t value;
    Direct(std::string n, std::int32_t v) : name(std::move(n)), value(v) {}
    void get_serial_list(lib::serial_list& list, unsigned) override { list | value; }
    void get_serial_name(std::string& n) override { n = name; }
};

struct Ready : lib::SerialModule {
    std::string name;
    double value;
    Ready(std::string n, double v) : name(std::move(n)), value(v) {}
    void get_serial_list(lib::serial_list& list, unsigned) override { list | value; }
    void get_serial_name(std::string& n) override { n = name; }
};

// Registered, but with nothing to stream.
struct Plain : lib::ModuleBaseOld {};

std::vector<std::string> names_of(const lib::ModuleList& list) {
    std::vector<lib::SerialModuleBase*> modules;
    list.get_ser_modules(modules);
    std::vector<std::string> names;
    for (auto* m : modules) {
        std::string n;
        m->get_serial_name(n);
        names.push_back(n);
    }
    return names;
}

TEST(ModuleList, FirstRegistrationUnderANameStays) {
    lib::ModuleList list;
    Direct first("A", 1), second("A2", 2);
    list.register_module("key", &first);
    list.register_module("key", &second);
    EXPECT_TRUE(first.is_registered());
    EXPECT_FALSE(second.is_registered());
    EXPECT_EQ(list.find("key"), &first);
    EXPECT_EQ(names_of(list), std::vector<std::string>{"A"});

    list.unregister_module(&first);
    EXPECT_FALSE(first.is_registered());
    EXPECT_EQ(list.find("key"), nullptr);
    EXPECT_TRUE(names_of(list).empty());
}

TEST(ModuleList, StreamsSerialModulesInTheOrderOfTheirKeys) {
    lib::ModuleList list;
    // The serial name may differ from the key; the key decides the order.
    Direct z("Zeta", 7);
    Ready a("StreamedAs", 2.5);
    Plain plain;
    list.register_module("b_key", &z);
    list.register_module("a_key", &a);
    list.register_module("c_key", &plain);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"StreamedAs", "Zeta"}));

    rtl::MemoryStream stream;
    list.serialize(&stream, nullptr, 1);
    const auto& b = stream.bytes();
    ASSERT_GE(b.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 8),
              (std::vector<std::uint8_t>{0x06, 0x04, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}));
    std::string text(b.begin(), b.end());
    EXPECT_LT(text.find("StreamedAs"), text.find("Zeta"));

    z.value = 0;
    a.value = 0;
    stream.SetPosition(0);
    std::vector<std::string> errors;
    list.deserialize(&stream, 1, [&](const std::string& e) { errors.push_back(e); });
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(z.value, 7);
    EXPECT_EQ(a.value, 2.5);
}

TEST(ModuleList, WrongVersionChangesNothing) {
    lib::ModuleList list;
    Direct m("M", 5);
    list.register_module("M", &m);
    rtl::MemoryStream stream;
    list.serialize(&stream, nullptr, 1);
    stream.bytes()[0] = 0x07;
    m.value = 1;
    stream.SetPosition(0);
    try {
        list.deserialize(&stream, 1);
        FAIL() << "no error for a wrong version";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Serializator::deserialize: incorrect version");
    }
    EXPECT_EQ(m.value, 1);
}

TEST(ModuleList, ADamagedRecordIsReportedAndTheNextOneStillRead) {
    lib::ModuleList list;
    Direct a("A", 11), b("B", 22);
    list.register_module("A", &a);
    list.register_module("B", &b);
    rtl::MemoryStream stream;
    list.serialize(&stream, nullptr, 1);
    // The first record's data: after version, count, "A\0" and its length.
    stream.bytes()[8 + 2 + 4] ^= 0x01;
    a.value = b.value = 0;
    stream.SetPosition(0);
    std::vector<std::string> errors;
    list.deserialize(&stream, 1, [&](const std::string& e) { errors.push_back(e); });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Ошибка во время десериализации модуля A: code summ error");
    EXPECT_EQ(a.value, 0);
    EXPECT_EQ(b.value, 22);
}

}  // namespace
