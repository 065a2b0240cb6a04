#include "library/controls/window_state.h"

#include <gtest/gtest.h>

#include "library/options/ini_testing.h"
#include "platform/ui/application.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib {
namespace {

using namespace ui;

class WindowState : public ini_testing::IniFileTest {
protected:
    WindowState() : IniFileTest("state.ini") {}
    std::vector<std::string> items(TComboBox& b) { return b.Items().ToVector(); }
};

TEST_F(WindowState, MaximisedFormKeepsItsRestoredRectangle) {
    {
        TForm form(nullptr);
        form.SetBounds(100, 80, 400, 300);
        form.SetWindowState(wsMaximized);
        rtl::IniFile ini(file_);
        save_window_pos(&form, "Главное окно", &ini);
    }
    const std::string text = file_text();
    for (const char* line : {"top=80", "left=100", "width=400", "height=300", "state=2"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    TForm again(nullptr);
    again.SetBounds(10, 10, 200, 100);
    rtl::IniFile ini(file_);
    load_window_pos(&again, "Главное окно", &ini);
    EXPECT_EQ(again.WindowState(), wsMaximized);
    again.SetWindowState(wsNormal);
    EXPECT_EQ(again.BoundsRect(), Bounds(100, 80, 400, 300));
}

TEST_F(WindowState, DamagedGeometryNeverHidesTheWindow) {
    const int sw = Screen().WorkAreaWidth(), sh = Screen().WorkAreaHeight();
    struct Case {
        const char* values;
        TRect expected;
        TWindowState state;
    };
    const Case cases[] = {
        {"state=7", Bounds(50, 60, 300, 200), wsNormal},
        {"state=-1\r\nwidth=0\r\nheight=-5", Bounds(50, 60, 300, 200), wsNormal},
        {"width=99999\r\nheight=99999", Bounds(0, 0, sw, sh), wsNormal},
        {"left=-5000\r\ntop=99999", Bounds(0, sh - 200, 300, 200), wsNormal},
        {"left=abc\r\ntop=\r\nwidth=2", Bounds(50, 60, 40, 200), wsNormal},
        {"state=1", Bounds(50, 60, 300, 200), wsMinimized},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values);
        write_file(std::string("[w]\r\n") + c.values + "\r\n");
        TForm form(nullptr);
        form.SetBounds(50, 60, 300, 200);
        rtl::IniFile ini(file_);
        load_window_pos(&form, "w", &ini);
        EXPECT_EQ(form.WindowState(), c.state);
        EXPECT_EQ(form.NormalBounds(), c.expected);
    }
}

TEST_F(WindowState, ComboHistoryMostRecentFirstAndAtMostFifteen) {
    TForm form(nullptr);
    auto* box = new TComboBox(&form);
    box->SetParent(&form);
    box->SetName("cbWell");
    for (int i = 1; i <= 15; ++i) box->Items().Add("скв " + std::to_string(i));
    rtl::IniFile ini(file_);

    box->SetText("  новая, с запятой  ");
    store_last_cb_values(&ini, box, "hist", true);
    EXPECT_EQ(box->Items().Count(), 15);
    EXPECT_EQ(box->Items()[0], "новая, с запятой");
    EXPECT_EQ(box->Items()[14], "скв 14");  // the oldest went
    EXPECT_EQ(box->Text(), "новая, с запятой");

    box->SetText("СКВ 7");  // already there in another case: moves up once
    store_last_cb_values(&ini, box, "hist", false);
    EXPECT_EQ(box->Items()[0], "СКВ 7");
    EXPECT_EQ(box->Items()[1], "новая, с запятой");
    EXPECT_EQ(box->Items().Count(), 15);
    EXPECT_EQ(box->Items().IndexOf("скв 7"), 0);

    const auto before = items(*box);
    box->SetText("   ");
    store_last_cb_values(&ini, box, "hist", true);
    EXPECT_EQ(items(*box), before);

    TComboBox other(nullptr);
    other.SetName("cbWell");
    rtl::IniFile again(file_);
    restore_last_cb_values(&again, &other, "hist", true);
    EXPECT_EQ(items(other), before);
    EXPECT_EQ(other.Text(), "новая, с запятой");  // stored with the first text

    // A damaged file listing more than fifteen keeps fifteen.
    std::string many = "\"";
    for (int i = 0; i < 40; ++i) many += (i ? "," : "") + std::to_string(i);
    write_file("[hist]\r\ncbWell->Items=" + many + "\"\r\n");
    rtl::IniFile third(file_);
    restore_last_cb_values(&third, &other, "hist", false);
    EXPECT_EQ(other.Items().Count(), 15);
    EXPECT_EQ(other.Items()[14], "14");

    // Missing keys: the entries stay, the text empties.
    TComboBox fresh(nullptr);
    fresh.SetName("cbOther");
    fresh.Items().Add("x");
    fresh.SetText("y");
    restore_last_cb_values(&third, &fresh, "hist", true);
    EXPECT_EQ(items(fresh), (std::vector<std::string>{"x"}));
    EXPECT_EQ(fresh.Text(), "");
}

struct Bar {
    TForm form{nullptr};
    TCoolBar* bar;
    explicit Bar(std::initializer_list<const char*> names) {
        form.SetBounds(0, 0, 600, 200);
        bar = new TCoolBar(&form);
        bar->SetParent(&form);
        bar->SetAlign(alTop);
        for (const char* n : names) {
            auto* p = new TPanel(&form);
            p->SetName(n);
            p->SetBounds(0, 0, 120, 22);
            bar->Bands().Add()->SetControl(p);
        }
    }
    std::vector<std::string> order() const {
        std::vector<std::string> v;
        for (int i = 0; i < bar->Bands().Count(); ++i) v.push_back(bar->Bands()[i]->Control()->Name());
        return v;
    }
    TCoolBand* band(const std::string& name) const {
        for (int i = 0; i < bar->Bands().Count(); ++i)
            if (bar->Bands()[i]->Control()->Name() == name) return bar->Bands()[i];
        return nullptr;
    }
};

TEST_F(WindowState, CoolBarBandsInStoredOrder) {
    {
        Bar saved({"B", "A", "C"});
        saved.band("A")->SetVisible(false);
        saved.band("C")->SetWidth(250);
        rtl::IniFile ini(file_);
        ini.WriteString("bar", "stale", "1");
        save_cool_bar(saved.bar, &ini, "bar");
    }
    EXPECT_EQ(file_text().find("stale"), std::string::npos);  // the section is written anew
    EXPECT_NE(file_text().find("CoolBand1=A 1 0 "), std::string::npos);

    Bar loaded({"A", "D", "B", "C"});
    loaded.band("D")->SetWidth(90);
    rtl::IniFile ini(file_);
    ini.WriteString("bar", "CoolBand3", "Nobody 0 1 10");
    load_cool_bar(loaded.bar, &ini, "bar");
    // D was never stored: it keeps its place ahead of the stored ones.
    EXPECT_EQ(loaded.order(), (std::vector<std::string>{"D", "B", "A", "C"}));
    for (const char* n : {"A", "B", "C"}) EXPECT_FALSE(loaded.band(n)->Break()) << n;
    EXPECT_TRUE(loaded.band("D")->Break());
    EXPECT_FALSE(loaded.band("A")->Visible());
    EXPECT_EQ(loaded.band("C")->Width(), 250);
    EXPECT_EQ(loaded.band("D")->Width(), 90);

    Bar untouched({"A", "B"});
    load_cool_bar(untouched.bar, &ini, "empty section");
    EXPECT_EQ(untouched.order(), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(untouched.band("A")->Break());
}

}  // namespace
}  // namespace lib
