#include "widrak/my_grid_color_form.h"

#include <chrono>
#include <thread>

namespace widrak {

using namespace ui;

namespace {
TMyGridColorForm* current_popup = nullptr;
}

TMyGridColorForm* TMyGridColorForm::Current() { return current_popup; }
void TMyGridColorForm::SetCurrent(TMyGridColorForm* form) { current_popup = form; }

TMyGridColorForm::TMyGridColorForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(bsNone);
    SetCaption("  Выбор цвета");
    SetClientWidth(272);
    SetClientHeight(204);

    SuperPanel1 = new TSuperPanel(this);
    SuperPanel1->SetParent(this);
    SuperPanel1->SetAlign(alClient);
    SuperPanel1->SetBorderWidth(1);
    SuperPanel1->SetBevelOuter(bvNone);
    SuperPanel1->SetColor1(clBtnFace);
    SuperPanel1->SetBorderColor(clBtnShadow);
    SuperPanel1->SetColor2(clWindow);
    SuperPanel1->SetWowEffects(false);
    SuperPanel1->SetVerticalGradiented(true);

    Label1 = new TLabel(this);
    Label1->SetParent(SuperPanel1);
    Label1->SetCaption("Выбор цвета");
    Label1->SetLeft(5);
    Label1->SetTop(7);

    ColorSelector1 = new TColorSelector(this);
    ColorSelector1->SetParent(SuperPanel1);
    ColorSelector1->SetBounds(5, 35, 261, 161);
    ColorSelector1->OnChangeColor = [this](TObject* s, TColor c) { ColorSelectorChangeColor(s, c); };

    MyButton2 = new TMyButton(this);
    MyButton2->SetParent(SuperPanel1);
    MyButton2->SetBounds(240, 5, 26, 21);
    MyButton2->SetCaption("X");
    MyButton2->Font().SetName("Tahoma");
    MyButton2->SetCancel(true);
    MyButton2->SetBorderWidth(0);
    MyButton2->SetType(mbtSimple);
    MyButton2->SetDefaultColor(clLime);
    MyButton2->OnClick = [this](TObject* s) { MyButton2Click(s); };

    OnDeactivate = [this](TObject* s) { FormDeactivate(s); };
}

void TMyGridColorForm::ColorSelectorChangeColor(TObject*, TColor) {
    // The pick shows for a moment before the form goes.
    Repaint();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    chosen_ = true;
    Close();
}

void TMyGridColorForm::MyButton2Click(TObject*) { Close(); }

void TMyGridColorForm::FormDeactivate(TObject*) {
    if (Visible()) Close();
}

}  // namespace widrak
