#include "programs/vargel2/opt_form.h"

#include "library/controls/control_helpers.h"
#include "library/file_finder.h"

namespace vargel2 {

namespace {

constexpr int kPeriods[] = {4, 8, 12, 24};

template <typename T>
T* make(TOptForm* form, int left, int top, int width, int height) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(left, top, width, height);
    return c;
}

ui::TLabel* label(TOptForm* form, const char* caption, int left, int top, int width) {
    auto* l = make<ui::TLabel>(form, left, top, width, 16);
    l->SetAutoSize(false);
    l->SetCaption(caption);
    return l;
}

ui::TComboBox* combo(TOptForm* form, int left, int top, int width) {
    auto* c = make<ui::TComboBox>(form, left, top, width, 21);
    c->SetStyle(ui::csDropDownList);
    return c;
}

}  // namespace

TOptForm::TOptForm(ui::TComponent* owner, Configuration& options) : ui::TForm(owner), options_(options) {
    SetCaption(" Настройка программы");
    SetBorderStyle(ui::bsDialog);
    SetPosition(ui::poScreenCenter);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    SetClientWidth(400);
    SetClientHeight(300);

    lblPeriodGroup = label(this, "--- Промежуток времени ---", 8, 8, 384);
    lblPeriodGroup->SetAlignment(ui::taCenter);
    lblPeriod = label(this, "Промежуток времени", 8, 32, 160);
    cbxSendPeriod = combo(this, 8, 50, 160);
    for (const char* s : {"4 часа", "8 часов", "12 часов", "Сутки"}) cbxSendPeriod->Items().Add(s);
    lblFromTime = label(this, "Отправлять данные на", 184, 32, 140);
    cbxFromTime = combo(this, 184, 50, 60);
    for (int h = 0; h < 24; ++h) cbxFromTime->Items().Add(std::to_string(h));
    lblHours = label(this, "часов", 252, 53, 60);

    lblOtherGroup = label(this, "--- Прочие настройки ---", 8, 84, 384);
    lblOtherGroup->SetAlignment(ui::taCenter);
    lblMethod = label(this, "Сжатие данных", 8, 106, 300);
    cbxCompressMethod = combo(this, 8, 124, 384);
    for (const char* s : {"Минимальное (< 7 раз), погрешность = 0", "Среднее (9-16 раз), погрешность < 0.01%",
                          "Высокое (> 20 раз), большая погрешность"}) {
        cbxCompressMethod->Items().Add(s);
    }
    lblDestPath = label(this, "Помещать данные в каталог", 8, 154, 300);
    edDestPath = make<ui::TEdit>(this, 8, 172, 352, 21);
    btnDestPath = make<ui::TButton>(this, 366, 172, 26, 21);
    btnDestPath->SetCaption("...");
    lblTolvane = label(this, "Путь к программе \"Tolvane\"", 8, 202, 300);
    edTolvaneFolder = make<ui::TEdit>(this, 8, 220, 352, 21);
    btnTolvaneFolder = make<ui::TButton>(this, 366, 220, 26, 21);
    btnTolvaneFolder->SetCaption("...");

    btnOk = make<ui::TButton>(this, 216, 262, 84, 27);
    btnOk->SetCaption("OK");
    btnOk->SetDefault(true);
    btnOk->SetModalResult(ui::mrOk);
    btnCancel = make<ui::TButton>(this, 308, 262, 84, 27);
    btnCancel->SetCaption("Отмена");
    btnCancel->SetCancel(true);
    btnCancel->SetModalResult(ui::mrCancel);

    cbxSendPeriod->OnChange = [this](ui::TObject* s) { cbxSendPeriodChange(s); };
    auto pick = [this](ui::TEdit* edit) {
        std::string folder = edit->Text();
        if (lib::browse_for_folder("", folder, this)) edit->SetText(folder);
    };
    btnDestPath->OnClick = [this, pick](ui::TObject*) { pick(edDestPath); };
    btnTolvaneFolder->OnClick = [this, pick](ui::TObject*) { pick(edTolvaneFolder); };

    lib::colorize_form(this);
    for (ui::TLabel* l : {lblPeriodGroup, lblOtherGroup}) {
        l->Font().SetStyle(ui::TFontStyles{ui::fsBold});
        l->Font().SetColor(ui::clWindowText);
    }
}

void TOptForm::fill() {
    int period = 0;
    for (int i = 0; i < 4; ++i) {
        if (kPeriods[i] == options_.time_period) period = i;
    }
    cbxSendPeriod->SetItemIndex(period);
    cbxFromTime->SetItemIndex(options_.from_time >= 0 && options_.from_time < 24 ? options_.from_time : -1);
    cbxCompressMethod->SetItemIndex(
        options_.compress_method >= 0 && options_.compress_method < 3 ? options_.compress_method : -1);
    edDestPath->SetText(options_.destination_path);
    edTolvaneFolder->SetText(options_.tolvane_directory);
    cbxSendPeriodChange(this);
}

void TOptForm::cbxSendPeriodChange(ui::TObject*) {
    const bool day = cbxSendPeriod->ItemIndex() == 3;
    for (ui::TControl* c : std::initializer_list<ui::TControl*>{cbxFromTime, lblFromTime, lblHours}) c->SetEnabled(day);
}

void TOptForm::store() {
    const int period = cbxSendPeriod->ItemIndex();
    options_.time_period = kPeriods[period >= 0 && period < 4 ? period : 0];
    options_.destination_path = lib::check_path_string(edDestPath->Text());
    options_.tolvane_directory = lib::check_path_string(edTolvaneFolder->Text());
    // An index of none (-1) keeps the option as it was.
    if (cbxCompressMethod->ItemIndex() >= 0) options_.compress_method = cbxCompressMethod->ItemIndex();
    if (cbxFromTime->ItemIndex() >= 0) options_.from_time = cbxFromTime->ItemIndex();
}

bool TOptForm::execute() {
    fill();
    if (ShowModal() != ui::mrOk) return false;
    store();
    return true;
}

}  // namespace vargel2
