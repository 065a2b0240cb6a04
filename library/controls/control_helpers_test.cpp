#include "library/controls/control_helpers.h"

#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/cool_bar.h"
#include "platform/ui/edits.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib {
namespace {

TEST(ColorizeForm, FontsAndLabelColoursByTag) {
    ui::TForm form(nullptr);
    auto label = [&](int tag) {
        auto* l = new ui::TLabel(&form);
        l->SetParent(&form);
        l->SetTag(tag);
        return l;
    };
    ui::TLabel* plain = label(0);
    ui::TLabel* green = label(1);
    ui::TLabel* red = label(2);
    ui::TLabel* navy = label(3);
    ui::TLabel* bold = label(4);
    ui::TLabel* green_bold = label(5);
    auto* panel = new ui::TPanel(&form);
    panel->SetParent(&form);
    auto* edit = new ui::TEdit(&form);
    edit->SetParent(panel);
    auto* tagged_edit = new ui::TEdit(&form);
    tagged_edit->SetParent(panel);
    tagged_edit->SetTag(1);
    auto* text = new ui::TStaticText(&form);
    text->SetParent(panel);
    text->SetTag(2);

    colorize_form(&form);
    EXPECT_EQ(form.Font().Name(), "Tahoma");  // the first of Tahoma and Arial the screen has
    EXPECT_EQ(form.Font().Charset(), ui::RUSSIAN_CHARSET);
    EXPECT_EQ(plain->Font().Name(), "Tahoma");
    EXPECT_EQ(plain->Font().Color(), ui::clWindowText);
    EXPECT_EQ(green->Font().Color(), 0x008000);
    EXPECT_EQ(red->Font().Color(), 0x0000FF);
    EXPECT_EQ(navy->Font().Color(), 0x800000);
    EXPECT_TRUE(bold->Font().Style().Contains(ui::fsBold));
    EXPECT_EQ(bold->Font().Color(), ui::clWindowText);  // bold keeps the colour
    EXPECT_EQ(green_bold->Font().Color(), 0x008000);
    EXPECT_TRUE(green_bold->Font().Style().Contains(ui::fsBold));
    EXPECT_EQ(edit->Font().Name(), "Lucida Console");
    EXPECT_EQ(edit->Font().Size(), 9);
    EXPECT_EQ(tagged_edit->Font().Name(), "Tahoma");  // a tagged edit keeps its font
    EXPECT_EQ(text->Font().Color(), 0x0000FF);
}

TEST(Placing, CenterControlAndGoToCursor) {
    ui::TForm form(nullptr);
    auto* b = new ui::TButton(&form);
    center_control(ui::Rect(100, 100, 301, 151), b);  // 201 x 51 around a 75 x 25 button
    EXPECT_EQ(b->Left(), 63);
    EXPECT_EQ(b->Top(), 13);
    center_control(ui::Rect(0, 0, 10, 10), b);
    EXPECT_EQ(b->Left(), 0);
    EXPECT_EQ(b->Top(), 0);
    center_control(ui::Rect(0, 0, 10, 10), nullptr);

    form.SetBounds(0, 0, 200, 100);
    ui::Mouse().SetCursorPos({ui::Screen().Width(), ui::Screen().Height()});
    go_to_cursor(&form);
    EXPECT_EQ(form.Left() + form.Width(), ui::Screen().Width());
    EXPECT_EQ(form.Top() + form.Height(), ui::Screen().Height() - 42);
    ui::Mouse().SetCursorPos({500, 300});
    go_to_cursor(&form);
    EXPECT_EQ(form.Left(), 400);
    EXPECT_EQ(form.Top(), 300 - form.Canvas().TextHeight("#") / 2);
    ui::Mouse().SetCursorPos({0, 0});
    go_to_cursor(&form);
    EXPECT_EQ(form.Left(), 0);
    EXPECT_EQ(form.Top(), 0);
}

TEST(Groups, VisibleEnabledEnablerAndFontSetter) {
    ui::TForm form(nullptr);
    auto* a = new ui::TButton(&form);
    auto* b = new ui::TEdit(&form);
    ui::TTrackBar* c = new ui::TTrackBar(&form);
    ui::TComponent plain(nullptr);
    set_visible(false, {a, nullptr, b});
    EXPECT_FALSE(a->Visible());
    EXPECT_FALSE(b->Visible());
    set_enabled(false, {a, &plain, nullptr, c});
    EXPECT_FALSE(a->Enabled());
    EXPECT_FALSE(c->Enabled());
    enabler(true) << a << b << c;
    EXPECT_TRUE(a->Enabled());
    EXPECT_TRUE(c->Enabled());
    auto* image = new ui::TImage(&form);  // no published font
    FontSetter(ui::clRed, {ui::fsItalic}) << a << image << nullptr;
    EXPECT_EQ(a->Font().Color(), ui::clRed);
    EXPECT_TRUE(a->Font().Style().Contains(ui::fsItalic));
    EXPECT_EQ(image->Font().Color(), ui::clWindowText);
}

TEST(Groups, SetComboValue) {
    ui::TForm form(nullptr);
    auto* box = new ui::TComboBox(&form);
    for (const char* s : {"Цемент", " Гель-Цемент ", "Газоцемент"}) box->Items().Add(s);
    set_combo_value(box, "  гель-цемент");
    EXPECT_EQ(box->ItemIndex(), 1);
    set_combo_value(box, "Вода");
    EXPECT_EQ(box->ItemIndex(), 0);
    EXPECT_EQ(box->Items().Count(), 4);
    EXPECT_EQ(box->Text(), "Вода");
    set_combo_value(nullptr, "x");
}

TEST(Rescale, ScalesToTheAvailableSizeAndCentres) {
    ui::TForm form(nullptr);
    auto* page = new ui::TPanel(&form);
    page->SetParent(&form);
    page->SetBounds(0, 0, 200, 100);
    auto* child = new ui::TButton(&form);
    child->SetParent(page);
    child->SetBounds(20, 10, 60, 20);
    ControlResizer r;
    EXPECT_EQ(r.max_width(), ui::GetSystemMetrics(ui::SM_CXMAXIMIZED));
    r.set_current_size(r.max_width(), r.max_height());
    // Area 400 x 300: aw = 394, ah = 294, e = 400 * 100 / 200 = 200 <= ah,
    // so the page scales by 394 / 200.
    r.rescale(ui::Rect(0, 0, 400, 300), page, true, false);
    EXPECT_EQ(page->Width(), 394);
    EXPECT_EQ(page->Height(), 197);
    EXPECT_EQ(child->Left(), 39);
    EXPECT_EQ(child->Width(), 118);
    EXPECT_EQ(page->Left(), 0);
    EXPECT_EQ(page->Top(), (294 - 197) / 2);
    // Guarded: a small area leaves the page as it is.
    page->SetBounds(0, 0, 200, 100);
    r.rescale(ui::Rect(0, 0, 90, 40), page, false, true);
    EXPECT_EQ(page->Width(), 200);
    // An empty area or control is passed over.
    r.rescale(ui::Rect(0, 0, 0, 0), page, true, false);
    EXPECT_EQ(page->Width(), 200);
}

TEST(CoolBarAndMenus, AlignCoolBarAndMenuVisibility) {
    ui::TForm form(nullptr);
    auto* bar = new ui::TCoolBar(&form);
    bar->SetParent(&form);
    auto* tools = new ui::TPanel(&form);
    for (int i = 0; i < 3; ++i) {
        auto* b = new ui::TButton(&form);
        b->SetParent(tools);
        b->SetBounds(4 + i * 30, 2, 28, 22);  // the last one ends at 92
    }
    ui::TCoolBand* band = bar->Bands().Add();
    band->SetControl(tools);
    ui::TCoolBand* empty = bar->Bands().Add();  // no control: left alone
    empty->SetWidth(77);
    align_cool_bar(bar);
    EXPECT_EQ(band->MinWidth(), 96);
    EXPECT_EQ(band->Width(), 96);
    EXPECT_EQ(empty->Width(), 77);

    ui::TMenuItem file(nullptr), edit(nullptr);
    set_visible(false, {&file, nullptr, &edit});
    EXPECT_FALSE(file.Visible());
    EXPECT_FALSE(edit.Visible());
    set_visible(true, {&edit});
    EXPECT_TRUE(edit.Visible());
}

}  // namespace
}  // namespace lib
