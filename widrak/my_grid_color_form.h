#pragma once
// The colour pop-up of the grid's colour cells: a borderless form with the
// palette, closed by its "X" button, by losing activation, or by picking a
// colour.

#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "widrak/color_selector.h"
#include "widrak/my_button.h"
#include "widrak/super_panel.h"

namespace widrak {

class TMyGridColorForm : public ui::TForm {
public:
    explicit TMyGridColorForm(ui::TComponent* owner);

    TSuperPanel* SuperPanel1;
    ui::TLabel* Label1;
    TColorSelector* ColorSelector1;
    TMyButton* MyButton2;

    // Whether a colour was picked before the form closed.
    bool ColorChosen() const { return chosen_; }

    void ColorSelectorChangeColor(ui::TObject* Sender, TColor Color);
    void MyButton2Click(ui::TObject* Sender);
    void FormDeactivate(ui::TObject* Sender);

    // The pop-up that is open now (one at a time), or null.
    static TMyGridColorForm* Current();
    static void SetCurrent(TMyGridColorForm* form);

private:
    bool chosen_ = false;
};

}  // namespace widrak
