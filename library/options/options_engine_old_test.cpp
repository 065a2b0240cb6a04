#include "library/options/options_engine_old.h"

#include <gtest/gtest.h>

#include "platform/ui/edits.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "widrak/color_selector.h"

namespace oe {
namespace {

using namespace ui;

template <class T>
T* make(TForm& form) {
    auto* c = new T(&form);
    c->SetParent(&form);
    return c;
}

TEST(OptEngine, NumbersThroughEditsAndScales) {
    TForm form(nullptr);
    float f = 3.14159f;
    double d = 2500;
    int tenths = 25, plain = 7, negative = 0;
    auto* ef = make<TEdit>(form);
    auto* ed = make<TEdit>(form);
    auto* et = make<TEdit>(form);
    auto* ep = make<TEdit>(form);
    auto* en = make<TEdit>(form);
    OptEngine e;
    e.add(1, f, ef, 2, 1.0f);
    e.add(1, d, ed, 1, 0.001f);  // kept in millimetres, shown in metres
    e.add(1, tenths, et, 0, 0.1f);
    e.add(1, plain, ep, 99, 1.0f);
    e.add(1, negative, en, 0, 0.1f);
    e.show(1);
    EXPECT_EQ(ef->Text(), "3,14");
    EXPECT_EQ(ed->Text(), "2,5");
    EXPECT_EQ(et->Text(), "2,5");
    EXPECT_EQ(ep->Text(), "7");

    ef->SetText("2.5");
    ed->SetText("1,25");
    et->SetText("3.5");
    ep->SetText("abc");
    // Rounded to the nearest tenth: -2.4 is -24, never -23.
    en->SetText("-2,4");
    e.get();
    EXPECT_FLOAT_EQ(f, 2.5f);
    EXPECT_NEAR(d, 1250, 1e-3);  // the scale is a float
    EXPECT_EQ(tenths, 35);
    EXPECT_EQ(plain, 99);  // not an integer: the default
    EXPECT_EQ(negative, -24);
    // A number beyond int stays within it.
    en->SetText("1e30");
    e.get();
    EXPECT_EQ(negative, INT_MAX);
}

TEST(OptEngine, TablesCombosAndLists) {
    TForm form(nullptr);
    auto* cb = make<TComboBox>(form);
    cb->SetStyle(csDropDownList);
    for (const char* s : {"0,5", "1,0", "1,5", "2,0"}) cb->Items().Add(s);  // one entry more than the table
    float rate = 1.0004f;
    auto* ci = make<TComboBox>(form);
    for (const char* s : {"1200", "9600", "19200"}) ci->Items().Add(s);
    int speed = 4800;
    OptEngine e;
    e.add(1, rate, cb, std::vector<float>{0.5f, 1.0f, 1.5f}, 0);
    e.add(2, speed, ci, std::vector<int>{1200, 9600, 19200}, 1);
    e.show(3);
    EXPECT_EQ(cb->ItemIndex(), 1);  // within 0.001
    EXPECT_EQ(ci->ItemIndex(), 1);  // not in the table: the default entry
    rate = 1.2f;
    e.show(1);
    EXPECT_EQ(cb->ItemIndex(), 0);
    cb->SetItemIndex(2);
    e.get();
    EXPECT_FLOAT_EQ(rate, 1.5f);
    // The entry beyond the table stands for nothing: never read past it.
    cb->SetItemIndex(3);
    e.get();
    EXPECT_FLOAT_EQ(rate, 1.5f);
    ci->SetItemIndex(2);
    e.get();  // group 2 was not shown last
    EXPECT_EQ(speed, 4800);

    // An index through a list-style box, a number through a drop-down one.
    auto* list = make<TComboBox>(form);
    list->SetStyle(csDropDownList);
    for (const char* s : {"a", "b", "c"}) list->Items().Add(s);
    auto* drop = make<TComboBox>(form);
    int index = 2, number = 15;
    OptEngine e2;
    e2.add(1, index, list);
    e2.add(1, number, drop);
    e2.show(1);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(drop->Text(), "15");
    list->SetItemIndex(0);
    drop->SetText("abc");
    e2.get();
    EXPECT_EQ(index, 0);
    EXPECT_EQ(number, 15);  // not a number: the old value
    index = 9;
    e2.show(1);
    EXPECT_EQ(list->ItemIndex(), -1);

    // A text on a list-style box becomes its new last entry.
    std::string unit = "атм.";
    auto* units = make<TComboBox>(form);
    units->SetStyle(csDropDownList);
    units->Items().Add("МПа");
    OptEngine e3;
    e3.add(1, unit, units);
    e3.show(1);
    EXPECT_EQ(units->Items().ToVector(), (std::vector<std::string>{"МПа", "атм."}));
    EXPECT_EQ(units->ItemIndex(), 1);
    unit = "мпа";  // an entry in another case is that entry
    e3.show(1);
    EXPECT_EQ(units->Items().Count(), 2);
    EXPECT_EQ(units->ItemIndex(), 0);
}

TEST(OptEngine, ChecksRadiosColoursAndGroups) {
    TForm form(nullptr);
    bool sound = true;
    int mode = 1;
    TColor colour = 0x00FF00;
    std::string name = "Скв. 1";
    auto* chk = make<TCheckBox>(form);
    auto* r0 = make<TRadioButton>(form);
    auto* r1 = make<TRadioButton>(form);
    auto* r2 = make<TRadioButton>(form);
    auto* sel = make<widrak::TColorSelector>(form);
    auto* edit = make<TEdit>(form);
    OptEngine e;
    e.add(1, sound, chk);
    e.add(2, mode, {r0, r1, r2});
    e.add(4, colour, static_cast<TControl*>(sel));
    e.add(8, name, edit);

    e.get();  // before any show: reads nothing
    EXPECT_TRUE(sound);

    e.show(1 | 2 | 4);
    EXPECT_TRUE(chk->Checked());
    EXPECT_TRUE(r1->Checked());
    EXPECT_FALSE(r0->Checked());
    EXPECT_EQ(sel->ColorValue(), 0x00FF00);
    EXPECT_EQ(edit->Text(), "");  // group 8 not shown
    chk->SetChecked(false);
    r2->SetChecked(true);
    sel->SetColorValue(0x0000FF);
    edit->SetText("x");
    e.get();
    EXPECT_FALSE(sound);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(colour, 0x0000FF);
    EXPECT_EQ(name, "Скв. 1");
    // None checked: the index stays.
    r2->SetChecked(false);
    e.get();
    EXPECT_EQ(mode, 2);
}

TEST(OptEngine, WrongControlsAreNamed) {
    TForm form(nullptr);
    auto* label = make<TLabel>(form);
    auto* edit = make<TEdit>(form);
    std::string s;
    bool b = false;
    int i = 0;
    TColor c = 0;
    auto what = [](auto&& call) {
        try {
            call();
        } catch (const std::logic_error& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_NE(what([&] {
                  OptEngine e;
                  e.add(1, s, label);
                  e.show(1);
              }).find("NULL"),
              std::string::npos);
    EXPECT_NE(what([&] {
                  OptEngine e;
                  e.add(1, b, edit);
                  e.show(1);
              }).find("PropInfo"),
              std::string::npos);
    EXPECT_NE(what([&] {
                  OptEngine e;
                  e.add(1, c, edit);
                  e.show(1);
              }).find("PropInfo"),
              std::string::npos);
    EXPECT_NE(what([&] {
                  OptEngine e;
                  e.add(1, i, edit, std::vector<int>{1}, 0);
                  e.show(1);
              }).find("box"),
              std::string::npos);
    EXPECT_THROW(OptEngine().add(1, i, {edit}), std::logic_error);
}

}  // namespace
}  // namespace oe
