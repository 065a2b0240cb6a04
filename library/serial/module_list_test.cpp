#include "library/serial/module_list.h"

#include "platform/os/testing.h"
#include "platform/rtl/ini_file.h"
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

// Options in the INI file and a state in the stream.
struct Both : lib::OptModule, lib::SerialModuleBase {
    int setting = 0;
    std::int32_t state = 0;
    void enum_values(lib::options_list& l) override {
        l.sector("both", "Both");
        l.add(new lib::options_detailed::meta_class<int>(setting, 3, "setting", "Setting", ""));
    }
    void get_serial_list(lib::serial_list& list, unsigned) override { list | state; }
    void get_serial_name(std::string& n) override { n = "Both"; }
};

struct Typed : virtual lib::ModuleBaseOld, lib::ini_options {
    double value = 0;
    void get_elements_list(lib::ini_options_elements& l) override { l.add(value, "typed", "value"); }
};

struct Item : lib::IniSerialItem {
    std::string text;
    void set_to_string(std::string& out) const override { out = text; }
    void get_from_string(const std::string& in) override { text = in; }
};

struct Collected : lib::IniCollectModule {
    std::vector<Item> items;
    Collected() : lib::IniCollectModule("collected") {}
    int get_elem_count() override { return static_cast<int>(items.size()); }
    lib::IniSerialItem& get_elem(int i) override { return items[static_cast<std::size_t>(i)]; }
    void set_elems_size(int n) override { items.resize(static_cast<std::size_t>(n)); }
};

TEST(ModuleList, EachKindOfModuleKeepsItsOwnPartOfTheIniFile) {
    os::testing::TempDir dir;
    lib::ModuleList list;
    Both both, second;
    Typed typed;
    Collected collected;
    list.register_module("both", &both);
    list.register_module("both", &second);  // never saved
    list.register_module("typed", &typed);
    list.register_module("collected", &collected);
    both.setting = 7;
    both.state = 11;
    second.setting = 99;
    typed.value = 2.5;
    collected.items.resize(2);
    collected.items[0].text = "один";
    collected.items[1].text = "два";
    {
        rtl::IniFile ini(dir / "modules.ini");
        list.save_to_ini(&ini);
        EXPECT_EQ(ini.ReadString("both", "setting", ""), "7");
        EXPECT_EQ(ini.ReadString("typed", "value", ""), "2,5");
        EXPECT_EQ(ini.ReadString("collected", "size", ""), "2");
    }
    both.setting = 0;
    typed.value = 0;
    collected.items.clear();
    {
        rtl::IniFile ini(dir / "modules.ini");
        list.load_from_ini(&ini);
    }
    EXPECT_EQ(both.setting, 7);
    EXPECT_EQ(typed.value, 2.5);
    ASSERT_EQ(collected.items.size(), 2u);
    EXPECT_EQ(collected.items[1].text, "два");

    // Only the serial part of the module that is both goes into the stream.
    rtl::MemoryStream stream;
    list.serialize(&stream, nullptr, 1);
    EXPECT_EQ(names_of(list), std::vector<std::string>{"Both"});
    both.state = 0;
    stream.SetPosition(0);
    list.deserialize(&stream, 1);
    EXPECT_EQ(both.state, 11);
}

}  // namespace
