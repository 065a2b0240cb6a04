#include "widrak/my_button.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"
#include "platform/ui/input.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "widrak/testdata/png_out.h"

namespace widrak {
namespace {

using namespace ui;
using testing::save;

struct ButtonForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TMyButton* a;
    TMyButton* b;
    TestDriver drv;
    std::vector<std::string> log;

    ButtonForm() {
        form->SetBounds(100, 100, 300, 140);
        form->SetColor(clBtnFace);
        a = make("Запись", 20, 20);
        b = make("Отмена", 150, 20);
        form->Show();
    }
    TMyButton* make(const char* caption, int x, int y) {
        auto* btn = new TMyButton(form.get());
        btn->SetParent(form.get());
        btn->SetLeft(x);
        btn->SetTop(y);
        btn->SetCaption(caption);
        btn->OnClick = [this, caption](TObject*) { log.push_back(caption); };
        return btn;
    }
    // A pixel of the button in the form's picture.
    TColor pixel(TMyButton* btn, int x, int y) {
        const TPoint p = btn->ClientToScreen({x, y}) - TPoint{form->Left(), form->Top()};
        return form->Picture().Pixel(p.x, p.y);
    }
};

TEST(MyButton, StartsAsDescribed) {
    TMyButton b(nullptr);
    EXPECT_EQ(b.Width(), 100);
    EXPECT_EQ(b.Height(), 25);
    EXPECT_TRUE(b.TabStop());
    EXPECT_EQ(b.GradientType(), mbgtDiagonal1);
    EXPECT_EQ(b.Type(), mbtRoundRect);
    EXPECT_EQ(b.BorderWidth(), 2);
    EXPECT_EQ(b.DefaultColor(), clLime);
    EXPECT_EQ(b.FrameColor(), clWindowFrame);
    EXPECT_EQ(b.TextAlign(), alBottom);
    EXPECT_EQ(b.ImageIndex(), -1);
    EXPECT_EQ(b.InnerMargin(), 1);  // the headless screen has 96 pixels per inch
    // Switching the automatic colours on derives both from Color.
    b.SetColor(RGBToColor(100, 100, 100));
    b.SetAutoGradientColors(true);
    EXPECT_EQ(b.GradientColor1(), RGBToColor(68, 68, 68));
    EXPECT_EQ(b.GradientColor2(), RGBToColor(132, 132, 132));
    b.SetText2("Пуск");
    EXPECT_EQ(b.GetText2(), "Пуск");
}

TEST(MyButton, AScreenOf120PixelsPerInchGivesAThreePixelMargin) {
    struct Dpi120 : HeadlessDisplay {
        int PixelsPerInch() const override { return 120; }
    };
    set_display(std::make_unique<Dpi120>());
    TMyButton b(nullptr);
    set_display(std::make_unique<HeadlessDisplay>());
    EXPECT_EQ(b.InnerMargin(), 3);
}

TEST(MyButton, StatesArePaintedAndSaved) {
    ButtonForm f;
    TMyButton& a = *f.a;
    a.SetType(mbtSimple);
    f.b->SetGradientType(mbgtVertical);
    save(*f.form, "button_normal");
    // Focused: a dotted rectangle inside the border.
    a.SetFocus();
    f.form->PaintPending();
    save(*f.form, "button_focused");
    // Hovered: the face is lighter.
    const TColor face = f.pixel(&a, 50, 12);
    f.drv.MoveTo(a, {50, 12});
    EXPECT_TRUE(a.Hover());
    f.form->PaintPending();
    int r1, g1, b1, r2, g2, b2;
    calc_rgb(face, r1, g1, b1);
    calc_rgb(f.pixel(&a, 50, 12), r2, g2, b2);
    EXPECT_GT(r2 + g2 + b2, r1 + g1 + b1);
    save(*f.form, "button_hover");
    // Pressed: both edges take the dark shade of Color.
    input::mouse_down(a.ClientToScreen({50, 12}), mbLeft);
    EXPECT_TRUE(a.Pressed());
    f.form->PaintPending();
    EXPECT_EQ(f.pixel(&a, 2, 12), get_dark_color(clWindow, 64, 0));
    EXPECT_EQ(f.pixel(&a, 97, 12), get_dark_color(clWindow, 64, 0));
    save(*f.form, "button_pressed");
    input::mouse_up(a.ClientToScreen({50, 12}), mbLeft);
    EXPECT_FALSE(a.Pressed());
    EXPECT_EQ(f.log, std::vector<std::string>{"Запись"});
    // Not pressed, not hovered: light edge left and top, dark right and
    // bottom, inside a 1-pixel outline in the frame colour.
    f.drv.MoveTo(*f.form, {5, 100});
    f.form->PaintPending();
    EXPECT_EQ(f.pixel(&a, 0, 12), clBlack);
    EXPECT_EQ(f.pixel(&a, 1, 12), get_light_color(clWindow, 32, 0));
    EXPECT_EQ(f.pixel(&a, 98, 12), get_dark_color(clWindow, 32, 0));
    // Disabled: a dark shade of the button face for the caption and edges.
    a.SetEnabled(false);
    f.form->PaintPending();
    EXPECT_EQ(f.pixel(&a, 1, 12), get_dark_color(clBtnFace, 20, 0));
    EXPECT_EQ(f.pixel(&a, 0, 12), get_dark_color(clBtnFace, 64, 0));
    bool caption_shade = false;
    const TColor text = get_dark_color(clBtnFace, 96, 0);
    for (int y = 4; y < 21 && !caption_shade; ++y)
        for (int x = 10; x < 90; ++x) caption_shade |= f.pixel(&a, x, y) == text;
    EXPECT_TRUE(caption_shade);
    save(*f.form, "button_disabled");
}

TEST(MyButton, FlatFaceIsLighterWhileHovered) {
    ButtonForm f;
    TMyButton& a = *f.a;
    a.SetGradientType(mbgtNone);
    a.SetColor(RGBToColor(120, 140, 160));
    f.form->PaintPending();
    EXPECT_EQ(f.pixel(&a, 8, 5), RGBToColor(120, 140, 160));
    f.drv.MoveTo(a, {50, 5});
    f.form->PaintPending();
    EXPECT_EQ(f.pixel(&a, 8, 5), RGBToColor(134, 154, 174));
    save(*f.form, "button_flat_hover");
}

TEST(MyButton, RoundedShapeLeavesTheCornersToTheForm) {
    ButtonForm f;
    f.form->SetColor(clAqua);
    f.form->PaintPending();
    // The corner pixels stay the form's; the middle is the button's.
    EXPECT_EQ(f.pixel(f.a, 0, 0), clAqua);
    // The shape is one pixel larger than the button: its far corner is cut
    // beyond the client area.
    EXPECT_TRUE(f.a->InRegion(99, 24));
    EXPECT_NE(f.pixel(f.a, 50, 12), clAqua);
    EXPECT_FALSE(f.a->InRegion(0, 0));
    EXPECT_TRUE(f.a->InRegion(50, 0));
    EXPECT_TRUE(f.a->InRegion(0, 12));
    save(*f.form, "button_round");
}

TEST(MyButton, EnterEscapeDefaultAndModalResult) {
    ButtonForm f;
    f.a->SetDefault(true);
    f.b->SetCancel(true);
    f.b->SetModalResult(mbmrCancel);
    // Enter on the other button clicks only that one.
    f.b->SetFocus();
    f.drv.Press(VK_RETURN);
    EXPECT_EQ(f.log, std::vector<std::string>{"Отмена"});
    EXPECT_EQ(f.form->ModalResult(), mrCancel);
    f.form->SetModalResult(mrNone);
    // With the focus elsewhere, Enter reaches the default button.
    auto* edit = new TEdit(f.form.get());
    edit->SetParent(f.form.get());
    edit->SetBounds(20, 60, 100, 21);
    edit->SetFocus();
    f.log.clear();
    f.drv.Press(VK_RETURN);
    EXPECT_EQ(f.log, std::vector<std::string>{"Запись"});
    // Escape clicks the cancel button.
    f.log.clear();
    f.drv.Press(VK_ESCAPE);
    EXPECT_EQ(f.log, std::vector<std::string>{"Отмена"});
    // Disabled default and cancel buttons take neither key.
    f.a->SetEnabled(false);
    f.b->SetEnabled(false);
    f.log.clear();
    f.drv.Press(VK_RETURN);
    f.drv.Press(VK_ESCAPE);
    EXPECT_TRUE(f.log.empty());
}

TEST(MyButton, PictureAndCaptionSideBySide) {
    ButtonForm f;
    TImageList images(nullptr);
    TBitmap pic(16, 16);
    pic.Canvas().Brush().SetColor(clRed);
    pic.Canvas().FillRect(Rect(0, 0, 16, 16));
    images.Add(pic);
    f.b->SetHeight(50);
    f.b->SetImages(&images);
    f.b->SetImageIndex(0);
    f.a->SetImages(&images);
    f.a->SetImageIndex(0);
    f.a->SetTextAlign(alRight);
    f.a->SetHeight(30);
    f.form->PaintPending();
    // Under the picture: the picture stands centred at the top.
    EXPECT_EQ(f.pixel(f.b, 50, 10), clRed);
    save(*f.form, "button_images");
    // The image list going away leaves the buttons without it.
    f.a->SetImages(nullptr);
}

}  // namespace
}  // namespace widrak
