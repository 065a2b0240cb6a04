#include "plugins/pult/pult_form.h"

#include "gti/registr_old/reg_plugin.h"
#include "library/controls/control_helpers.h"
#include "library/controls/draw_helpers.h"
#include "library/html_help.h"
#include "library/number_conv.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/timer.h"
#include "plugins/pult/pult_controls.h"
#include "plugins/pult/pult_sources.h"
#include "widrak/indicator.h"

using namespace ui;
using pult::button;
using pult::label;

namespace {

const char* const light_caption = "Яркость индикаторов";

}  // namespace

// ---- TDegazForm ---------------------------------------------------------------

TDegazForm::TDegazForm(TComponent* owner) : TForm(owner) {
    SetCaption(" Активный дегазатор");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(330);
    SetClientHeight(170);
    auto* box = new TGroupBox(this);
    box->SetParent(this);
    box->SetCaption("Управлять дегазатором");
    box->SetBounds(8, 8, 314, 70);
    rbtnManual = new TRadioButton(box);
    rbtnManual->SetParent(box);
    rbtnManual->SetCaption("Вручную");
    rbtnManual->SetBounds(12, 20, 280, 20);
    rbtnAuto = new TRadioButton(box);
    rbtnAuto->SetParent(box);
    rbtnAuto->SetCaption("Автоматически по давлению ПЖ");
    rbtnAuto->SetBounds(12, 42, 280, 20);
    rbtnManual->OnClick = [this](TObject*) { update(); };
    rbtnAuto->OnClick = [this](TObject*) { update(); };
    tiState = label(this, "", 12, 92);
    tiState->SetAutoSize(false);
    tiState->SetBounds(12, 88, 100, 22);
    tiState->SetAlignment(taCenter);
    tiState->SetLayout(tlCenter);
    tiState->SetTransparent(false);
    tiState->SetHint(" Состояние дегазатора в ручном режиме ");
    tiState->SetShowHint(true);
    btnDegazOn = button(this, "Включить", 120, 86, 95);
    btnDegazOff = button(this, "Выключить", 222, 86, 95);
    btnDegazOn->OnClick = [this](TObject*) {
        on = true;
        update();
    };
    btnDegazOff->OnClick = [this](TObject*) {
        on = false;
        update();
    };
    btnOk = button(this, "OK", 60, 132, 80);
    btnOk->SetModalResult(mrOk);
    btnOk->SetDefault(true);
    btnCancel = button(this, "Отмена", 148, 132, 80);
    btnCancel->SetModalResult(mrCancel);
    btnCancel->SetCancel(true);
    btnHelp = button(this, "?", 236, 132, 30);
    btnHelp->OnClick = [](TObject*) { lib::get_html_help().show_help_topic("screen_pult_degazator"); };
    lib::colorize_form(this);
}

void TDegazForm::update() {
    const bool manual = rbtnManual->Checked();
    btnDegazOn->SetEnabled(manual && !on);
    btnDegazOff->SetEnabled(manual && on);
    if (manual) {
        tiState->SetCaption(on ? "Включен" : "Выключен");
        tiState->SetColor(clWhite);
    } else {
        tiState->SetCaption("");
        tiState->SetColor(clBtnFace);
    }
}

bool TDegazForm::run(DegazContType& m, bool& o) {
    mode = m;
    on = o;
    if (mode == dct_manual)
        rbtnManual->SetChecked(true);
    else
        rbtnAuto->SetChecked(true);
    update();
    if (ShowModal() != mrOk) return false;
    mode = rbtnManual->Checked() ? dct_manual : dct_auto;
    m = mode;
    o = on;
    return true;
}

// ---- TPultFrm -----------------------------------------------------------------

widrak::TIndicator* TPultFrm::indicator(int x, int y, int w, int h, double left, double right, int digits, bool bar,
                                        const char* caption, const char* hub_name) {
    if (caption && *caption) {
        TLabel* l = label(pnlMain, caption, x, y - 16);
        l->Font().SetColor(clWhite);
    }
    auto* i = new widrak::TIndicator(pnlMain);
    i->SetParent(pnlMain);
    i->SetBounds(x, y, w, h);
    i->SetIndicatorType(bar ? widrak::itHLine : widrak::itValue);
    i->SetValueLeft(left);
    i->SetValueRight(right);
    i->SetDigNum(digits);
    i->SetIndicatorColor(bar ? clLime : clYellow);
    // Lit digits on the dark panel, as the console shows them: a number in
    // the window text's black would hardly read on it.
    i->Font().SetColor(bar ? clWhite : clYellow);
    i->SetValue(0);
    if (hub_name && *hub_name) shown_.push_back({i, hub_name});
    return i;
}

TPultFrm::TPultFrm(TComponent* owner) : TForm(owner) {
    SetCaption("PultFrm");
    SetClientWidth(760);
    SetClientHeight(470);
    pnlMain = new TPanel(this);
    pnlMain->SetParent(this);
    pnlMain->SetBounds(0, 0, 760, 380);
    pnlMain->SetColor(0x303030);
    pnlMain->SetCaption("");

    // Left: the two gauges with their numbers.
    RoundIndicator1 = indicator(10, 24, 180, 26, 0, 200, 0, true, "Вес, т", "вес_на_крюке");
    ValueIndicator9 = indicator(195, 24, 70, 26, 0, 1000, 0, false, "", "вес_на_крюке");
    RoundIndicator2 = indicator(10, 74, 180, 26, 0, 30, 1, true, "Нагрузка, т", "нагрузка");
    ValueIndicator8 = indicator(195, 74, 70, 26, 0, 1000, 1, false, "", "нагрузка");
    // Middle: the bars.
    VertIndicator1 = indicator(10, 124, 180, 22, 0, 50, 1, true, "МОМЕНТ НА РОТОРЕ, т*м", "момент_ротора");
    ValueIndicator6 = indicator(195, 124, 70, 22, 0, 1000, 1, false, "", "момент_ротора");
    VertIndicator2 = indicator(10, 170, 180, 22, 0, 250, 0, true, "ДАВЛЕНИЕ НА ВХОДЕ, атм.", "давление_на_входе");
    ValueIndicator7 = indicator(195, 170, 70, 22, 0, 1000, 0, false, "", "давление_на_входе");
    VertIndicator3 = indicator(10, 216, 180, 22, 0, 2, 2, true, "УРОВЕНЬ В ЁМКОСТИ, М", "");
    ValueIndicator1 = indicator(195, 216, 70, 22, 0, 1000, 2, false, "", "");
    VertIndicator4 = indicator(10, 262, 180, 22, 0, 2, 2, true, "ПЛОТНОСТЬ ПЖ, г/см3", "");
    ValueIndicator2 = indicator(195, 262, 70, 22, 0, 1000, 2, false, "", "");
    VertIndicator5 = indicator(290, 24, 180, 22, 0, 50, 0, true, "РАСХОД НА ВХОДЕ, л/с", "расход_на_входе");
    ValueIndicator3 = indicator(475, 24, 60, 22, 0, 1000, 0, false, "", "расход_на_входе");
    VertIndicator6 = indicator(290, 70, 180, 22, 0, 50, 0, true, "РАСХОД НА ВЫХОДЕ, л/с", "расход_на_выходе");
    ValueIndicator4 = indicator(475, 70, 60, 22, 0, 1000, 0, false, "", "расход_на_выходе");
    ValueIndicator5 = indicator(290, 124, 90, 26, 0, 1000, 2, false, "Газ, %", "");
    ValueIndicator10 = indicator(395, 124, 95, 26, 0, 10000, 0, false, "НАД ЗАБОЕМ (М)", "");
    ValueIndicator11 = indicator(510, 124, 90, 26, 0, 10000, 0, false, "ГЛУБИНА (М)", "ds.depth_z");

    // The text line: a chosen phrase, or the text of its source.
    PultLineComboBox = new TComboBox(pnlMain);
    PultLineComboBox->SetParent(pnlMain);
    PultLineComboBox->SetBounds(290, 180, 300, 24);
    PultLineComboBox->SetMaxLength(31);
    PultLineComboBox->OnChange = [this](TObject*) {
        if (on_text) on_text(PultLineComboBox->Text());
    };
    tiTextValue = label(pnlMain, "", 290, 182);
    tiTextValue->SetAutoSize(false);
    tiTextValue->SetBounds(290, 180, 300, 24);
    tiTextValue->SetHint("Текст выбран в настройках пульта; для ввода с клавиатуры выберите \"<Текст с клавиатуры>\"");
    tiTextValue->SetShowHint(true);
    tiTextValue->Hide();

    label(pnlMain, "Cигнализация", 290, 222)->Font().SetColor(clWhite);
    SignalButton = new TSpeedButton(pnlMain);
    SignalButton->SetParent(pnlMain);
    SignalButton->SetCaption("Включить");
    SignalButton->SetBounds(290, 240, 100, 25);
    SignalButton->SetHint("Ручное включение сигнализации на пульте");
    SignalButton->SetShowHint(true);
    SignalButton->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
        if (on_signal) on_signal(true);
    };
    SignalButton->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
        if (on_signal) on_signal(false);
    };

    label(pnlMain, "Дегазатор", 410, 222)->Font().SetColor(clWhite);
    lblDegazState = label(pnlMain, "", 480, 222);
    lblDegazState->Font().SetColor(clYellow);
    btnDegaz = button(pnlMain, "Управление...", 410, 240, 110);
    btnDegaz->SetHint(" Управление активным дегазатором ");
    btnDegaz->SetShowHint(true);
    btnDegaz->OnClick = [this](TObject*) { btnDegazClick(); };

    pnlLight = new TPanel(pnlMain);
    pnlLight->SetParent(pnlMain);
    pnlLight->SetBounds(290, 290, 300, 70);
    pnlLight->SetCaption("");
    lblLight = label(pnlLight, light_caption, 8, 4);
    label(pnlLight, "мин.", 8, 48);
    label(pnlLight, "макс.", 250, 48);
    trbLight = new TTrackBar(pnlLight);
    trbLight->SetParent(pnlLight);
    trbLight->SetBounds(8, 22, 284, 26);
    trbLight->SetMin(0);
    trbLight->SetMax(15);
    trbLight->OnChange = [this](TObject*) { trbLightChange(); };

    // Below: the console's own state.
    pnlInfo = new TPanel(this);
    pnlInfo->SetParent(this);
    pnlInfo->SetBounds(0, 380, 760, 90);
    pnlInfo->SetCaption("");
    pnlInfo->SetColor(lib::transform_color_light(pnlInfo->Color(), 16, 0));
    label(pnlInfo, "Контроллер", 10, 6)->Font().SetStyle(TFontStyles() << fsBold);
    label(pnlInfo, "Напряж. питания", 10, 26);
    label(pnlInfo, "(3,0 - 3,6)", 10, 42);
    Label32 = label(pnlInfo, "", 120, 32);
    label(pnlInfo, "Температура", 200, 26);
    Label34 = label(pnlInfo, "", 290, 26);
    lblSensors = label(pnlInfo, "Датчики", 380, 6);
    lblSensors->Font().SetStyle(TFontStyles() << fsBold);
    lblSensorSupply = label(pnlInfo, "Питание:", 380, 26);
    lbl5v = label(pnlInfo, "+5v =", 450, 26);
    Label42 = label(pnlInfo, "", 490, 26);
    lbl12v = label(pnlInfo, "+12v =", 450, 44);
    Label46 = label(pnlInfo, "", 500, 44);
    chkbxCheck = new TCheckBox(pnlInfo);
    chkbxCheck->SetParent(pnlInfo);
    chkbxCheck->SetCaption("Контроль");
    chkbxCheck->SetBounds(590, 24, 100, 20);
    chkbxCheck->SetHint(" Контролировать напряжения питания ");
    chkbxCheck->SetShowHint(true);
    chkbxCheck->SetChecked(true);
    chkbxCheck->OnClick = [this](TObject*) {
        if (on_alarm_activation) on_alarm_activation(chkbxCheck->Checked());
    };
    btnHelp = button(pnlInfo, "?", 710, 54, 30);
    btnHelp->SetHint(" Показать справку ");
    btnHelp->SetShowHint(true);
    btnHelp->OnClick = [](TObject*) { lib::get_html_help().show_help_topic("screen_pult"); };

    AlarmTimer = new TTimer(this);
    AlarmTimer->SetInterval(200);
    AlarmTimer->OnTimer = [this](TObject*) { alarm_tick(); };

    degaz_ = new TDegazForm(this);
    lib::colorize_form(this);
    // The text line in the combo box's font, in yellow.
    tiTextValue->Font() = PultLineComboBox->Font();
    tiTextValue->Font().SetColor(clYellow);
}

TPultFrm::~TPultFrm() {
    if (on_destroy) on_destroy();
}

void TPultFrm::set_text_variants(const AnsiString& comma_text) {
    rtl::StringList list;
    list.SetCommaText(comma_text);
    const std::string keep = PultLineComboBox->Text();
    PultLineComboBox->Items().Clear();
    for (int i = 0; i < list.Count(); ++i) PultLineComboBox->Items().Add(list[i]);
    PultLineComboBox->SetText(keep);
}

void TPultFrm::set_text(const AnsiString& text) { PultLineComboBox->SetText(text); }

AnsiString TPultFrm::text() const { return PultLineComboBox->Text(); }

void TPultFrm::set_degaz_label(DegazContType mode, bool on) {
    lblDegazState->SetCaption(mode == dct_auto ? "Авто." : on ? "Включен" : "Выключен");
}

void TPultFrm::refresh(reg::RegPlugin& host, const PultOptions& o) {
    using pult::supply_ranges;
    const bool recording = host.host_get_reg_active ? host.host_get_reg_active() : false;
    auto fvar = [&host](const char* name) {
        return host.host_get_float_variable ? host.host_get_float_variable(name) : 0.0;
    };
    struct Supply {
        TLabel* label;
        int entry;
        const char* unit;
    };
    const Supply supplies[] = {{Label32, pult::supply_voltage, " в"},
                               {Label34, pult::supply_temperature, " °C"},
                               {Label42, pult::supply_5v, " в"},
                               {Label46, pult::supply_12v, " в"}};
    blinking.clear();
    for (const Supply& s : supplies) {
        if (!o.use_volt_check && (s.entry == pult::supply_5v || s.entry == pult::supply_12v)) continue;
        const pult::Range& r = supply_ranges()[std::size_t(s.entry)];
        const double v = fvar(r.variable);
        s.label->SetCaption(lib::float_to_str(v, 1, -1) + s.unit);
        if (pult::out_of_range(r, v, recording)) {
            s.label->Font().SetColor(clRed);
            blinking.push_back(s.label);
        } else {
            s.label->Font().SetColor(clBtnText);
            s.label->Show();
        }
    }
    if (host.host_get_value)
        for (const Shown& s : shown_) s.indicator->SetValue(host.host_get_value(s.name.c_str()));
    if (trbLight->Position() != o.light) {
        // The options' brightness shown, not a change of the operator's.
        auto keep = std::move(trbLight->OnChange);
        trbLight->SetPosition(o.light);
        trbLight->OnChange = std::move(keep);
    }
    ValueIndicator10->SetValue(fvar("pult.cur_depth"));
    ValueIndicator5->SetValue(fvar("pult.gaz_indi"));
    ValueIndicator1->SetValue(fvar("pult.level_indi"));
    VertIndicator3->SetValue(fvar("pult.level_indi"));
    // The density the plug-in keeps current for the console.
    ValueIndicator2->SetValue(fvar("pult.plotn_indi"));
    VertIndicator4->SetValue(fvar("pult.plotn_indi"));
    if (first_refresh_) {
        first_refresh_ = false;
        set_degaz_label(o.degaz_cont_type, o.degaz_on);
    }
    if (!o.text_param.empty()) {
        tiTextValue->SetCaption(" " + (host.host_get_variable ? host.host_get_variable("pult.text") : AnsiString()));
        tiTextValue->Show();
        PultLineComboBox->Hide();
    } else {
        tiTextValue->Hide();
        PultLineComboBox->Show();
    }
}

void TPultFrm::enable(reg::RegPlugin& host, const PultOptions& o) {
    const bool recording = host.host_get_reg_active ? host.host_get_reg_active() : false;
    for (TControl* c : std::initializer_list<TControl*>{SignalButton, trbLight, lblLight, PultLineComboBox, Label32,
                                                        Label34, Label42, Label46, btnDegaz, lblDegazState})
        c->SetEnabled(recording);
    lib::set_visible(o.use_volt_check, {lblSensors, lblSensorSupply, chkbxCheck, lbl5v, lbl12v, Label42, Label46});
}

void TPultFrm::alarm_tick() {
    ++ticks;
    for (TLabel* l : blinking) l->SetVisible(ticks % 2 == 1);
    if (light_countdown > 0 && --light_countdown == 0) lblLight->SetCaption(light_caption);
}

void TPultFrm::trbLightChange() {
    const int position = trbLight->Position();
    lblLight->SetCaption("Яркость " + std::to_string((position * 100 + 100) / 16) + "%");
    if (on_light) on_light(position);
    light_countdown = 6;
}

void TPultFrm::btnDegazClick() {
    DegazContType mode = get_degaz_mode ? get_degaz_mode() : dct_auto;
    bool on = get_degaz_on ? get_degaz_on() : false;
    if (!degaz_->run(mode, on)) return;
    if (on_degaz) on_degaz(mode, on);
    set_degaz_label(mode, on);
}
