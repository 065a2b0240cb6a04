#include "platform/rtl/colors.h"

#include <gtest/gtest.h>

namespace {

TEST(Colors, SystemColorsResolveToFixedRgbOthersPassThrough) {
    EXPECT_EQ(rtl::ColorToRGB(rtl::clBtnFace), rtl::RGBToColor(0xD4, 0xD0, 0xC8));
    EXPECT_EQ(rtl::ColorToRGB(rtl::clWindow), rtl::clWhite);
    EXPECT_EQ(rtl::ColorToRGB(rtl::clWindowText), rtl::clBlack);
    EXPECT_EQ(rtl::ColorToRGB(rtl::clHighlight), rtl::RGBToColor(0x0A, 0x24, 0x6A));
    EXPECT_EQ(rtl::ColorToRGB(rtl::sys_color(200)), rtl::clBlack);
    EXPECT_EQ(rtl::ColorToRGB(0x123456), 0x123456);
    EXPECT_EQ(rtl::ColorToRGB(rtl::clNone), rtl::clNone);
}

TEST(Colors, RgbParts) {
    const rtl::TColor c = rtl::RGBToColor(1, 2, 3);
    EXPECT_EQ(c, 0x030201);
    EXPECT_EQ(rtl::GetRValue(c), 1);
    EXPECT_EQ(rtl::GetGValue(c), 2);
    EXPECT_EQ(rtl::GetBValue(c), 3);
}

TEST(Colors, NamesBothWays) {
    struct Case {
        rtl::TColor color;
        const char* text;
    };
    const Case cases[] = {
        {rtl::clRed, "clRed"},
        {rtl::clBtnFace, "clBtnFace"},
        {rtl::clSilver, "clSilver"},
        {rtl::clNone, "clNone"},
        {rtl::clWhite, "clWhite"},
        {0x00123456, "$00123456"},
        {rtl::sys_color(25), "$80000019"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rtl::ColorToString(c.color), c.text);
        rtl::TColor back = -7;
        EXPECT_TRUE(rtl::TryStringToColor(c.text, back)) << c.text;
        EXPECT_EQ(back, c.color) << c.text;
    }
    // clLtGray has the value of clSilver and is written as clSilver.
    EXPECT_EQ(rtl::ColorToString(rtl::clLtGray), "clSilver");
}

TEST(Colors, ReadingAcceptsCaseBlanksAndNumbers) {
    struct Case {
        const char* text;
        rtl::TColor color;
    };
    const Case cases[] = {
        {"CLRED", rtl::clRed},
        {"  clNavy ", rtl::clNavy},
        {"255", 255},
        {"-2147483633", rtl::clBtnFace},
        {"$FF", 0xFF},
        {"0x00FF00", rtl::clLime},
        {"$8000000F", rtl::clBtnFace},
        {"+16", 16},
        {"clLtGray", rtl::clSilver},
    };
    for (const auto& c : cases) {
        rtl::TColor v = 0;
        EXPECT_TRUE(rtl::TryStringToColor(c.text, v)) << c.text;
        EXPECT_EQ(v, c.color) << c.text;
    }
}

TEST(Colors, BadTextLeavesValueAndReturnsFalse) {
    for (const char* text : {"", "   ", "clNoSuch", "red", "$", "0x", "12a", "$1FFFFFFFF", "4294967296", "2147483648",
                             "1.5", "--1", "$-1"}) {
        rtl::TColor v = 0x0A0B0C;
        EXPECT_FALSE(rtl::TryStringToColor(text, v)) << text;
        EXPECT_EQ(v, 0x0A0B0C) << text;
    }
}

}  // namespace
