// A form holding every control of the layer, rendered to a PNG under the
// build folder (test_output/demo_form.png) so that the look can be checked
// by eye after a change; the test itself checks a few pixels of it.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ui/application.h"
#include "platform/ui/edits.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

std::string output_path(const char* name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

TEST(DemoForm, EveryControlRendersToPng) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetCaption("Демонстрация элементов");
    form->SetBorderStyle(bsDialog);
    form->SetClientWidth(640);
    form->SetClientHeight(460);
    form->SetPosition(poScreenCenter);

    auto* top = new TPanel(form.get());
    top->SetParent(form.get());
    top->SetAlign(alTop);
    top->SetHeight(30);
    top->SetCaption("Панель сверху (alTop)");

    auto* bottom = new TPanel(form.get());
    bottom->SetParent(form.get());
    bottom->SetAlign(alBottom);
    bottom->SetHeight(41);
    bottom->SetBevelOuter(bvLowered);
    auto* ok = new TButton(form.get());
    ok->SetParent(bottom);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->SetBounds(470, 8, 75, 25);
    auto* cancel = new TButton(form.get());
    cancel->SetParent(bottom);
    cancel->SetCaption("Отмена");
    cancel->SetCancel(true);
    cancel->SetBounds(552, 8, 75, 25);
    auto* flat = new TSpeedButton(form.get());
    flat->SetParent(bottom);
    flat->SetFlat(true);
    flat->SetCaption("Плоская");
    flat->SetBounds(8, 8, 80, 25);
    auto* speed = new TSpeedButton(form.get());
    speed->SetParent(bottom);
    speed->SetCaption("Нажата");
    speed->SetGroupIndex(1);
    speed->SetDown(true);
    speed->SetBounds(92, 8, 80, 25);
    speed->Glyph().SetSize(12, 12);
    speed->Glyph().Canvas().Brush().SetColor(clFuchsia);
    speed->Glyph().Canvas().FillRect(Rect(0, 0, 12, 12));
    speed->Glyph().Canvas().Brush().SetColor(clGreen);
    speed->Glyph().Canvas().Ellipse(1, 1, 11, 11);
    auto* progress = new TProgressBar(form.get());
    progress->SetParent(bottom);
    progress->SetBounds(180, 12, 150, 16);
    progress->SetPosition(65);
    auto* smooth = new TProgressBar(form.get());
    smooth->SetParent(bottom);
    smooth->SetSmooth(true);
    smooth->SetBounds(340, 12, 120, 16);
    smooth->SetPosition(40);

    auto* label = new TLabel(form.get());
    label->SetParent(form.get());
    label->SetCaption("&Метка (label):");
    label->SetLeft(10);
    label->SetTop(40);
    auto* edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 58, 100, 21);
    edit->SetText("42");
    auto* updown = new TUpDown(form.get());
    updown->SetParent(form.get());
    updown->SetMax(99);
    updown->SetAssociate(edit);
    updown->SetPosition(42);
    auto* password = new TEdit(form.get());
    password->SetParent(form.get());
    password->SetBounds(120, 58, 90, 21);
    password->SetPasswordChar(U'*');
    password->SetText("secret");
    auto* disabled = new TEdit(form.get());
    disabled->SetParent(form.get());
    disabled->SetBounds(10, 86, 200, 21);
    disabled->SetText("Недоступно");
    disabled->SetEnabled(false);

    auto* memo = new TMemo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(10, 114, 200, 80);
    memo->Lines().Add("Многострочный текст memo, который переносится по словам.");
    memo->Lines().Add("Вторая строка");
    memo->SetScrollBars(ssVertical);

    auto* check = new TCheckBox(form.get());
    check->SetParent(form.get());
    check->SetCaption("Флажок");
    check->SetChecked(true);
    check->SetBounds(10, 200, 95, 17);
    auto* grayed = new TCheckBox(form.get());
    grayed->SetParent(form.get());
    grayed->SetCaption("Серый");
    grayed->SetAllowGrayed(true);
    grayed->SetState(cbGrayed);
    grayed->SetBounds(110, 200, 95, 17);
    auto* radio1 = new TRadioButton(form.get());
    radio1->SetParent(form.get());
    radio1->SetCaption("Вариант 1");
    radio1->SetChecked(true);
    radio1->SetBounds(10, 222, 95, 17);
    auto* radio2 = new TRadioButton(form.get());
    radio2->SetParent(form.get());
    radio2->SetCaption("Вариант 2");
    radio2->SetBounds(110, 222, 95, 17);

    auto* group = new TRadioGroup(form.get());
    group->SetParent(form.get());
    group->SetCaption("Группа");
    group->SetBounds(10, 244, 200, 90);
    group->SetColumns(2);
    for (const char* s : {"Один", "Два", "Три", "Четыре"}) group->Items().Add(s);
    group->SetItemIndex(2);

    auto* box = new TGroupBox(form.get());
    box->SetParent(form.get());
    box->SetCaption("Рамка (group box)");
    box->SetBounds(220, 40, 200, 110);
    auto* combo = new TComboBox(form.get());
    combo->SetParent(box);
    combo->SetBounds(10, 20, 180, 21);
    for (const char* s : {"Цемент", "Гель-цемент", "Газоцемент"}) combo->Items().Add(s);
    combo->SetItemIndex(1);
    auto* list_only = new TComboBox(form.get());
    list_only->SetParent(box);
    list_only->SetStyle(csDropDownList);
    list_only->SetBounds(10, 48, 180, 21);
    list_only->Items().Add("Только список");
    list_only->SetItemIndex(0);
    auto* text = new TStaticText(form.get());
    text->SetParent(box);
    text->SetBorderStyle(sbsSunken);
    text->SetCaption("Static text");
    text->SetLeft(10);
    text->SetTop(78);

    auto* list = new TListBox(form.get());
    list->SetParent(form.get());
    list->SetBounds(220, 156, 200, 90);
    for (int i = 1; i <= 8; ++i) list->Items().Add("Строка " + std::to_string(i));
    list->SetItemIndex(1);
    auto* owner_draw = new TListBox(form.get());
    owner_draw->SetParent(form.get());
    owner_draw->SetStyle(lbOwnerDrawFixed);
    owner_draw->SetItemHeight(18);
    owner_draw->SetBounds(220, 252, 200, 82);
    const TColor colours[] = {clRed, clGreen, clBlue, clYellow};
    for (const char* s : {"Красный", "Зелёный", "Синий", "Жёлтый"}) owner_draw->Items().Add(s);
    owner_draw->SetItemIndex(0);
    owner_draw->OnDrawItem = [owner_draw, colours](TWinControl*, int index, const TRect& r, TOwnerDrawState) {
        TCanvas& c = owner_draw->Canvas();
        c.FillRect(r);
        const TColor saved = c.Brush().Color();
        c.Brush().SetColor(colours[index]);
        c.Rectangle(r.Left + 2, r.Top + 2, r.Left + 26, r.Bottom - 2);
        c.Brush().SetColor(saved);
        c.TextOut(r.Left + 32, r.Top + 2, owner_draw->Items()[index]);
    };

    auto* hbar = new TScrollBar(form.get());
    hbar->SetParent(form.get());
    hbar->SetBounds(430, 40, 200, 16);
    hbar->SetPageSize(20);
    hbar->SetPosition(30);
    auto* vbar = new TScrollBar(form.get());
    vbar->SetParent(form.get());
    vbar->SetKind(sbVertical);
    vbar->SetBounds(614, 62, 16, 120);
    auto* track = new TTrackBar(form.get());
    track->SetParent(form.get());
    track->SetBounds(430, 62, 180, 45);
    track->SetPosition(3);
    auto* date = new TDateTimePicker(form.get());
    date->SetParent(form.get());
    date->SetBounds(430, 112, 120, 21);
    date->SetDate(rtl::EncodeDate(2024, 3, 5));
    auto* time = new TDateTimePicker(form.get());
    time->SetParent(form.get());
    time->SetKind(dtkTime);
    time->SetBounds(430, 140, 120, 21);
    time->SetTime(rtl::EncodeTime(9, 7, 5, 0));

    auto* paint = new TPaintBox(form.get());
    paint->SetParent(form.get());
    paint->SetBounds(430, 170, 180, 80);
    paint->OnPaint = [paint](TObject*) {
        TCanvas& c = paint->Canvas();
        c.Brush().SetColor(clWhite);
        c.Rectangle(0, 0, paint->Width(), paint->Height());
        c.Pen().SetColor(clBlue);
        c.Pen().SetWidth(2);
        c.MoveTo(5, 70);
        for (int x = 5; x < 175; x += 10) c.LineTo(x, 40 + (x * 7) % 30);
        c.Pen().SetWidth(1);
        c.Pen().SetColor(clRed);
        c.Pen().SetStyle(psDot);
        c.Brush().SetStyle(bsClear);
        c.MoveTo(5, 10);
        c.LineTo(175, 10);
        c.Brush().SetStyle(bsDiagCross);
        c.Brush().SetColor(clGreen);
        c.Pen().SetStyle(psSolid);
        c.Pen().SetColor(clBlack);
        c.Ellipse(120, 20, 170, 60);
    };
    auto* image = new TImage(form.get());
    image->SetParent(form.get());
    image->SetBounds(430, 256, 64, 64);
    image->Picture().SetSize(64, 64);
    for (int i = 0; i < 64; ++i) {
        image->Picture().Canvas().Pen().SetColor(RGBToColor(i * 4, 255 - i * 4, 128));
        image->Picture().Canvas().MoveTo(i, 0);
        image->Picture().Canvas().LineTo(i, 64);
    }
    image->SetStretch(true);

    auto* left = new TPanel(form.get());
    left->SetParent(form.get());
    left->SetBounds(220, 340, 0, 0);
    left->SetAlign(alLeft);
    left->SetWidth(6);
    left->SetBevelOuter(bvNone);
    left->SetColor(clGray);
    auto* splitter = new TSplitter(form.get());
    splitter->SetParent(form.get());
    splitter->SetAlign(alLeft);
    splitter->SetLeft(10);
    splitter->SetBeveled(true);

    form->Show();
    edit->SetFocus();
    // An open drop-down list is drawn over the form.
    list_only->SetDroppedDown(true);
    TBitmap& picture = form->Picture();
    form->SaveToPng(output_path("demo_form.png"));
    list_only->SetDroppedDown(false);

    EXPECT_EQ(picture.Width(), form->Width());
    // The client area is the form colour; the caption bar starts in the
    // active caption colour.
    const TPoint client = form->ClientOrigin() - TPoint{form->Left(), form->Top()};
    EXPECT_EQ(picture.Pixel(client.x + 300, client.y + 36), ColorToRGB(clBtnFace));
    EXPECT_EQ(picture.Pixel(4, 4), ColorToRGB(clActiveCaption));
    // The owner-drawn list shows the red swatch of its first item.
    const TPoint od = owner_draw->ClientOrigin() - TPoint{form->Left(), form->Top()};
    EXPECT_EQ(picture.Pixel(od.x + 10, od.y + 9), clRed);
    // The check mark of the checked box is black on white.
    const TPoint ck = check->ClientOrigin() - TPoint{form->Left(), form->Top()};
    EXPECT_EQ(picture.Pixel(ck.x + 2 + 5, ck.y + 2 + 7), clBlack);
}

}  // namespace
}  // namespace ui
