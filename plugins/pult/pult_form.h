#pragma once
// The console plug-in's windows: TPultFrm mirrors the console's panel
// (gauges, indicators, text line, brightness, degasser, alarm signal and
// the console's supply state) and TDegazForm sets the degasser. The windows
// never touch the plug-in: each of their events is a callable the plug-in
// binds, and they read the hub through the host callback table they are
// handed.

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/forms.h"
#include "plugins/pult/pult_options.h"

namespace ui {
class TButton;
class TCheckBox;
class TComboBox;
class TLabel;
class TPanel;
class TRadioButton;
class TSpeedButton;
class TTimer;
class TTrackBar;
}  // namespace ui
namespace widrak {
class TIndicator;
}
namespace reg {
class RegPlugin;
}

class TDegazForm : public ui::TForm {
public:
    explicit TDegazForm(ui::TComponent* owner);
    // Shows the dialog modally for the mode and on flag; true on OK, with
    // the chosen values in mode and on.
    bool run(DegazContType& mode, bool& on);
    void update();

    DegazContType mode = dct_manual;
    bool on = false;

    ui::TRadioButton* rbtnManual;
    ui::TRadioButton* rbtnAuto;
    ui::TLabel* tiState;
    ui::TButton* btnDegazOn;
    ui::TButton* btnDegazOff;
    ui::TButton* btnOk;
    ui::TButton* btnCancel;
    ui::TButton* btnHelp;
};

class TPultFrm : public ui::TForm {
public:
    explicit TPultFrm(ui::TComponent* owner);
    // Whoever frees the window (the plug-in, or the host's page first) tells
    // the plug-in through on_destroy.
    ~TPultFrm() override;
    std::function<void()> on_destroy;

    // ---- events the plug-in binds ----
    std::function<void(const AnsiString&)> on_text;
    std::function<void(bool)> on_signal;
    std::function<void(int)> on_light;
    std::function<void(DegazContType, bool)> on_degaz;
    std::function<void(bool)> on_alarm_activation;
    std::function<DegazContType()> get_degaz_mode;
    std::function<bool()> get_degaz_on;

    // The values of the hub and the options into the window.
    void refresh(reg::RegPlugin& host, const PultOptions& o);
    // Which controls work: those of the operator only while recording runs.
    void enable(reg::RegPlugin& host, const PultOptions& o);
    void set_text_variants(const AnsiString& comma_text);
    void set_text(const AnsiString& text);
    AnsiString text() const;
    void set_degaz_label(DegazContType mode, bool on);
    // One tick of the alarm timer (200 ms).
    void alarm_tick();
    // The degasser dialog the degasser button runs; tests may watch it.
    TDegazForm* degaz_form() const { return degaz_; }

    // The indicators that show a hub value by name, with that name.
    struct Shown {
        widrak::TIndicator* indicator;
        std::string name;
    };
    const std::vector<Shown>& shown() const { return shown_; }

    ui::TPanel* pnlMain;
    ui::TPanel* pnlInfo;
    widrak::TIndicator* RoundIndicator1;
    widrak::TIndicator* RoundIndicator2;
    widrak::TIndicator* ValueIndicator1;
    widrak::TIndicator* ValueIndicator2;
    widrak::TIndicator* ValueIndicator3;
    widrak::TIndicator* ValueIndicator4;
    widrak::TIndicator* ValueIndicator5;
    widrak::TIndicator* ValueIndicator6;
    widrak::TIndicator* ValueIndicator7;
    widrak::TIndicator* ValueIndicator8;
    widrak::TIndicator* ValueIndicator9;
    widrak::TIndicator* ValueIndicator10;
    widrak::TIndicator* ValueIndicator11;
    widrak::TIndicator* VertIndicator1;
    widrak::TIndicator* VertIndicator2;
    widrak::TIndicator* VertIndicator3;
    widrak::TIndicator* VertIndicator4;
    widrak::TIndicator* VertIndicator5;
    widrak::TIndicator* VertIndicator6;
    ui::TLabel* tiTextValue;
    ui::TComboBox* PultLineComboBox;
    ui::TSpeedButton* SignalButton;
    ui::TButton* btnDegaz;
    ui::TLabel* lblDegazState;
    ui::TPanel* pnlLight;
    ui::TTrackBar* trbLight;
    ui::TLabel* lblLight;
    ui::TLabel* Label32;  // supply voltage
    ui::TLabel* Label34;  // temperature
    ui::TLabel* Label42;  // +5 V
    ui::TLabel* Label46;  // +12 V
    ui::TLabel* lblSensors;
    ui::TLabel* lblSensorSupply;
    ui::TLabel* lbl5v;
    ui::TLabel* lbl12v;
    ui::TCheckBox* chkbxCheck;
    ui::TButton* btnHelp;
    ui::TTimer* AlarmTimer;

    // The labels marked to blink, and the brightness caption's countdown.
    std::vector<ui::TLabel*> blinking;
    int light_countdown = 0;
    int ticks = 0;

private:
    widrak::TIndicator* indicator(int x, int y, int w, int h, double left, double right, int digits, bool bar,
                                  const char* caption, const char* hub_name);
    void trbLightChange();
    void btnDegazClick();

    std::vector<Shown> shown_;
    bool first_refresh_ = true;
    TDegazForm* degaz_ = nullptr;
};
