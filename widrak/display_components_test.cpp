// The simple display components and the gradient panel, on one form each.
#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/application.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "widrak/color_selector.h"
#include "widrak/indicator.h"
#include "widrak/my_color_list_box.h"
#include "widrak/my_edit.h"
#include "widrak/super_panel.h"
#include "widrak/testdata/png_out.h"

namespace widrak {
namespace {

using namespace ui;
using testing::save;

struct Shown {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TestDriver drv;
    Shown(int w, int h) {
        form->SetBounds(50, 50, w, h);
        form->SetColor(clBtnFace);
    }
    TColor pixel(TControl& c, int x, int y) {
        form->PaintPending();
        const TPoint p = c.ClientToScreen({x, y}) - TPoint{form->Left(), form->Top()};
        return form->Picture().Pixel(p.x, p.y);
    }
};

TEST(ColorSelector, PaletteCellsFollowTheFormula) {
    Shown s(320, 240);
    auto* sel = new TColorSelector(s.form.get());
    sel->SetParent(s.form.get());
    sel->SetBounds(5, 5, 261, 161);
    s.form->Show();
    // Shades: rows 0-6 step 32 from +224 at column 0 to -160 at column 12;
    // the grey row steps by 256 / 12 around 128.
    EXPECT_EQ(TColorSelector::cell_color(0, 0), RGBToColor(255, 224, 224));
    EXPECT_EQ(TColorSelector::cell_color(1, 7), RGBToColor(255, 128, 0));
    EXPECT_EQ(TColorSelector::cell_color(4, 12), RGBToColor(0, 95, 95));
    EXPECT_EQ(TColorSelector::cell_color(7, 0), RGBToColor(255, 255, 255));
    EXPECT_EQ(TColorSelector::cell_color(7, 6), RGBToColor(128, 128, 128));
    EXPECT_EQ(TColorSelector::cell_color(7, 12), RGBToColor(0, 0, 0));
    EXPECT_EQ(TColorSelector::cell_color(7, 11), RGBToColor(22, 22, 22));  // 128 - 1280 / 12
    // Each cell's inside shows its colour; its corner is the black outline.
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 13; ++i) {
            const TRect r = sel->cell_rect(j, i);
            EXPECT_EQ(s.pixel(*sel, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2), TColorSelector::cell_color(j, i));
            EXPECT_EQ(sel->Colors()[static_cast<std::size_t>(j * 13 + i)], TColorSelector::cell_color(j, i));
        }
    EXPECT_EQ(sel->cell_rect(1, 2), Rect(2 * 260 / 13, 160 / 8, 3 * 260 / 13 + 1, 2 * 160 / 8 + 1));
    EXPECT_EQ(s.pixel(*sel, 40, 20), clBlack);
    // The current colour's cell is outlined in blue, 5 pixels wide.
    sel->SetColorValue(TColorSelector::cell_color(2, 3));
    const TRect cur = sel->cell_rect(2, 3);
    EXPECT_EQ(s.pixel(*sel, cur.Left, cur.Top + 5), clBlue);
    EXPECT_EQ(s.pixel(*sel, cur.Left + 1, cur.Top + 5), clBlue);
    save(*s.form, "color_selector");
    // A click picks a cell and tells; the same cell again tells nothing; the
    // right and lower edges pick nothing.
    std::vector<TColor> told;
    sel->OnChangeColor = [&](TObject*, TColor c) { told.push_back(c); };
    const TRect r = sel->cell_rect(5, 9);
    s.drv.Click(*sel, {r.Left + 4, r.Top + 4});
    s.drv.Click(*sel, {r.Left + 4, r.Top + 4});
    EXPECT_EQ(told, std::vector<TColor>{TColorSelector::cell_color(5, 9)});
    EXPECT_EQ(sel->ColorValue(), TColorSelector::cell_color(5, 9));
    sel->SetBounds(5, 5, 13, 8);
    s.drv.Click(*sel, {12, 7});
    EXPECT_EQ(told.size(), 2u);
    // (12, 7) on a 13 x 8 box is the last cell; the point past it is outside.
    EXPECT_EQ(sel->ColorValue(), TColorSelector::cell_color(7, 12));
}

TEST(Indicator, ValueTextAndItsFormat) {
    TIndicator ind(nullptr);
    EXPECT_EQ(ind.Value(), 5);
    EXPECT_EQ(ind.DigNum(), 1);
    EXPECT_EQ(ind.AlarmValue(), 100000);
    EXPECT_EQ(ind.Caption(), "");
    // A change below 1e-7 is none, not even for the caption.
    ind.SetValue(5.00000001L);
    EXPECT_EQ(ind.Value(), 5);
    EXPECT_EQ(ind.Caption(), "");
    ind.SetDigNum(2);
    EXPECT_EQ(ind.Caption(), "5,00");
    ind.SetValue(5.1L);
    EXPECT_EQ(ind.Caption(), "5,10");
    ind.SetDigNum(0);
    EXPECT_EQ(ind.Caption(), "5");
    ind.SetCaption("нет связи");
    EXPECT_EQ(ind.Caption(), "нет связи");
}

TEST(Indicator, BarWithinAndBeyondItsAlarmLine) {
    Shown s(360, 200);
    auto make = [&](int y) {
        auto* i = new TIndicator(s.form.get());
        i->SetParent(s.form.get());
        i->SetBounds(10, y, 200, 30);
        i->SetIndicatorType(itHLine);
        i->SetColor(clBlack);
        i->Font().SetColor(clWhite);
        i->SetIndicatorColor(clLime);
        i->SetAlarmValue(8);
        return i;
    };
    TIndicator* within = make(10);
    TIndicator* beyond = make(50);
    TIndicator* flat = make(90);
    TIndicator* text = make(130);
    text->SetIndicatorType(itValue);
    text->Font().SetSize(14);
    s.form->Show();
    within->SetValue(3);
    beyond->SetValue(9);
    text->SetValue(42.25L);
    flat->SetFrameWidth(0);
    flat->SetValueRight(0);  // no range: background only
    EXPECT_EQ(within->bar_end(), 60);
    EXPECT_EQ(within->alarm_x(), 160);
    EXPECT_EQ(s.pixel(*within, 30, 5), clLime);
    EXPECT_EQ(s.pixel(*within, 61, 5), clBlack);
    EXPECT_EQ(s.pixel(*within, 160, 5), clRed);                    // the alarm line
    EXPECT_EQ(s.pixel(*within, 0, 15), ColorToRGB(clWindowText));  // the frame
    EXPECT_EQ(s.pixel(*beyond, 170, 5), clRed);                    // the bar in the alarm colour
    for (int x = 0; x < 200; ++x) ASSERT_EQ(s.pixel(*flat, x, 15), clBlack) << x;
    save(*s.form, "indicators");
    // Values far outside the range stay within the control.
    beyond->SetValue(1e30L);
    EXPECT_EQ(beyond->bar_end(), 201);
    beyond->SetValue(-1e30L);
    EXPECT_EQ(beyond->bar_end(), -1);
    s.form->PaintPending();
}

TEST(SuperPanel, GradientBandsBorderAndPlainInside) {
    Shown s(300, 260);
    auto* p = new TSuperPanel(s.form.get());
    p->SetParent(s.form.get());
    p->SetBounds(10, 10, 200, 100);
    p->SetCaption("Панель");
    p->SetBorderWidth(2);
    p->SetBorderColor(clRed);
    p->SetVerticalGradiented(true);
    p->SetColor1(RGBToColor(0, 0, 0));
    p->SetColor2(RGBToColor(200, 100, 250));
    auto* q = new TSuperPanel(s.form.get());
    q->SetParent(s.form.get());
    q->SetBounds(10, 120, 200, 100);
    q->SetColor(clAqua);
    q->SetColor1(clWhite);
    q->SetColor2(clWhite);
    s.form->Show();
    // Inside the outer bevel (1) and the border (2): bands of 4 from y = 3,
    // each coloured for its own top coordinate over the span 94.
    const TRect in = p->GradientRect();
    EXPECT_EQ(in, Rect(3, 3, 197, 97));
    for (int y = in.Top; y < in.Bottom; ++y) {
        const int band = in.Top + (y - in.Top) / 4 * 4;
        // Beyond the span the channels would overshoot: they stop at 255.
        const int r = std::min(255, band * 200 / 94), g = std::min(255, band * 100 / 94),
                  b = std::min(255, band * 250 / 94);
        ASSERT_EQ(s.pixel(*p, 150, y), RGBToColor(r, g, b)) << y;
    }
    EXPECT_EQ(s.pixel(*p, 0, 50), clRed);
    EXPECT_EQ(s.pixel(*p, 199, 50), clRed);
    // Equal colours: the panel's plain colour inside the bevels.
    EXPECT_EQ(s.pixel(*q, 20, 20), clAqua);
    save(*s.form, "super_panels");
    // Upright bands when not vertical.
    p->SetVerticalGradiented(false);
    EXPECT_EQ(s.pixel(*p, 8, 50), RGBToColor(7 * 200 / 194, 7 * 100 / 194, 7 * 250 / 194));
    // Without the effects: the plain panel and its border only.
    p->SetWowEffects(false);
    EXPECT_EQ(s.pixel(*p, 20, 50), ColorToRGB(clBtnFace));
    EXPECT_EQ(s.pixel(*p, 1, 50), clRed);
}

TEST(MyColorListBox, WordsColoursAndTheirLines) {
    Shown s(260, 160);
    auto* lb = new TMyColorListBox(s.form.get());
    lb->SetParent(s.form.get());
    lb->SetBounds(10, 10, 200, 100);
    lb->Items().Add("\"Бурильная колонна\" clRed");
    lb->Items().Add("Имя");
    lb->Items().Add("Имя нечто");
    lb->Items().Add("Красный clRed");
    lb->Items().Add("Синий $00FF0000");
    s.form->Show();
    EXPECT_EQ(TMyColorListBox::get_word("\"Бурильная колонна\" clRed", 0), "Бурильная колонна");
    EXPECT_EQ(TMyColorListBox::get_word("\"Бурильная колонна\" clRed", 1), "clRed");
    EXPECT_EQ(TMyColorListBox::get_word("  один  ", 1), "");
    EXPECT_EQ(lb->GetColors(0), clRed);
    EXPECT_EQ(lb->GetColors(1), clBlack);
    EXPECT_EQ(lb->GetColors(2), clNone);
    EXPECT_EQ(lb->GetColors(4), clBlue);
    EXPECT_EQ(lb->GetColors(5), clNone);
    EXPECT_EQ(lb->GetColors(-1), clNone);
    lb->SetColors(3, clBlue);
    EXPECT_EQ(lb->Items()[3], "\"Красный\" clBlue");
    lb->SetColors(9, clBlue);  // outside: nothing
    // The swatch is two item heights wide, then the name.
    const TRect r = lb->ItemRect(0);
    EXPECT_EQ(s.pixel(*lb, r.Left + 5, r.Top + 4), clRed);
    save(*s.form, "color_list_box");
}

TEST(MyEdit, BorderOnlyUnderThePointer) {
    Shown s(200, 120);
    auto* e = new TMyEdit(s.form.get());
    e->SetParent(s.form.get());
    e->SetBounds(10, 10, 120, 21);
    s.form->Show();
    s.drv.MoveTo(*e, {5, 5});
    EXPECT_EQ(e->BorderStyle(), bsSingle);
    s.drv.MoveTo(*s.form, {150, 60});
    EXPECT_EQ(e->BorderStyle(), bsNone);
}

}  // namespace
}  // namespace widrak
