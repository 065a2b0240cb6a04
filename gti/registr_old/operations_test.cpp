#include "gti/registr_old/operations.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/string_list.h"

namespace {

TEST(Operations, Table) {
    const Operations ops;
    struct Row {
        int code;
        const char* name;
        int mode;
        std::uint32_t color;
        int wits;
    };
    const Row rows[] = {
        {0, "Прочее", 3, 0xFF000005, 0},
        {1, "СПО", 0, 0xFF000005, 8},
        {2, "Бурение", 0, 0x00EFEFFF, 2},
        {3, "Проработка", 0, 0x00FFF3F2, 5},
        {4, "Промывка", 0, 0x00FFF3F2, 7},
        {5, "Простой", 1, 0xFF000005, 0},
        {6, "ГИС", 1, 0xFF000005, 14},
        {7, "Ремонт", 1, 0xFF000005, 11},
        {8, "Наращивание", 0, 0xFF000005, 3},
        {9, "Расширка", 1, 0x00EFEFFF, 4},
        {10, "Крепл. скваж.", 1, 0xFF000005, 16},
        {11, "ОЗЦ", 1, 0xFF000005, 19},
        {12, "Спуск ОК", 1, 0xFF000005, 15},
        {13, "ПЗР", 1, 0xFF000005, 1},
    };
    rtl::StringList names;
    ops.enum_names(names);
    std::vector<int> codes;
    ops.enum_values(codes);
    ASSERT_EQ(names.Count(), 14);
    ASSERT_EQ(codes.size(), 14u);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(ops.get(r.code), nullptr);
        EXPECT_EQ(std::string(ops.get(r.code)), r.name);
        EXPECT_EQ(ops.get_mode(r.code), r.mode);
        EXPECT_EQ(static_cast<std::uint32_t>(ops.get_color(r.code)), r.color);
        EXPECT_EQ(ops.get_WITS_code(r.code), r.wits);
        EXPECT_EQ(names[r.code], r.name);
        EXPECT_EQ(codes[static_cast<std::size_t>(r.code)], r.code);
        EXPECT_EQ(ops.get_oper_by_string(r.name), r.code);
    }
}

TEST(Operations, UnknownCodes) {
    const Operations ops;
    EXPECT_EQ(ops.get_WITS_code(-1), 0);
    EXPECT_EQ(ops.get_WITS_code(99), 0);
    EXPECT_EQ(ops.get_mode(99), 3);
    EXPECT_EQ(static_cast<std::uint32_t>(ops.get_color(99)), 0xFF000005u);
    EXPECT_EQ(rtl::ColorToRGB(ops.get_color(99)), rtl::ColorToRGB(rtl::clWindow));
    EXPECT_EQ(ops.get(99), nullptr);
    EXPECT_EQ(ops.get(-1), nullptr);
    EXPECT_EQ(ops.get_oper_by_string("бурение"), -1);
    EXPECT_EQ(ops.get_oper_by_string(""), -1);

    rtl::StringList names{"old"};
    std::vector<int> codes{42};
    ops.enum_names(names);
    ops.enum_values(codes);
    EXPECT_EQ(names[0], "Прочее");
    EXPECT_EQ(codes.front(), 0);
}

}  // namespace
