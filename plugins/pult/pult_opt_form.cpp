#include "plugins/pult/pult_opt_form.h"

#include <algorithm>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/reg_plugin.h"
#include "library/controls/control_helpers.h"
#include "library/html_help.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"
#include "platform/ui/canvas.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/application.h"
#include "platform/ui/list_view.h"
#include "platform/ui/lists.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "plugins/pult/pult_controls.h"
#include "plugins/pult/pult_sources.h"

using namespace ui;
using pult::button;
using pult::label;

namespace {

const char* const new_text = "Новый текст";

TComboBox* combo(TWinControl* parent, const char* caption, int y) {
    label(parent, caption, 118, y + 3);
    auto* c = new TComboBox(parent);
    c->SetParent(parent);
    c->SetStyle(csDropDownList);
    c->SetBounds(270, y, 224, 24);
    return c;
}

// A source's name as the registry of parameters shows it.
std::string display_name(const std::string& global_name) {
    const AllParams& all = get_all_params();
    const int n = all.get_param_number(global_name);
    return n >= 0 && !all.at(n).name.empty() ? all.at(n).name : global_name;
}

}  // namespace

TOptForm::TOptForm(TComponent* owner, PultOptions& options, reg::RegPlugin& host)
    : TForm(owner), options_(options), host_(host) {
    SetCaption(" Настройки пульта бурильщика ");
    SetBorderStyle(bsDialog);
    SetPosition(poDesktopCenter);
    SetClientWidth(520);
    SetClientHeight(330);
    TLabel* warning = label(this, "  Только для пультов с версией прошивки 1.4 и выше!", 8, 6);
    warning->Font().SetColor(clRed);

    btnPageIndi = new TSpeedButton(this);
    btnPageIndi->SetParent(this);
    btnPageIndi->SetCaption("Индикаторы");
    btnPageIndi->SetBounds(8, 28, 110, 25);
    btnPageIndi->SetFlat(true);
    btnPageIndi->SetGroupIndex(1);
    btnPageIndi->OnClick = [this](TObject*) { show_page(0); };
    btnPageText = new TSpeedButton(this);
    btnPageText->SetParent(this);
    btnPageText->SetCaption("Текст");
    btnPageText->SetBounds(120, 28, 110, 25);
    btnPageText->SetFlat(true);
    btnPageText->SetGroupIndex(1);
    btnPageText->OnClick = [this](TObject*) { show_page(1); };

    pnlIndi = new TPanel(this);
    pnlIndi->SetParent(this);
    pnlIndi->SetBounds(8, 56, 504, 220);
    pnlIndi->SetCaption("");
    label(pnlIndi, "Выводить на", 10, 10);
    label(pnlIndi, "индикаторы:", 10, 26);
    cbxDepthIndi = combo(pnlIndi, "Над забоем", 8);
    cbxDepthIndi->Items().Add("Глубину инструмента");
    cbxDepthIndi->Items().Add("Положение инструмента над забоем");
    cbxGazIndi = combo(pnlIndi, "Газ", 38);
    cbxLevelIndi = combo(pnlIndi, "Уровень", 68);
    cbxPlotnIndi = combo(pnlIndi, "Плотность", 98);
    cbTextParams = combo(pnlIndi, "Текстовый индикатор", 128);
    label(pnlIndi, "Прямые", 10, 172);
    label(pnlIndi, "индикаторы:", 10, 188);
    btnDirectIndi = button(pnlIndi, "Калибровать", 270, 176, 120);
    btnDirectIndi->Font().SetSize(btnDirectIndi->Font().Size() + 1);
    btnDirectIndi->OnClick = [this](TObject*) {
        // In the copy too, so that OK does not take the request back.
        options_.have_to_send_indi = true;
        if (on_calibrate) on_calibrate();
    };

    pnlText = new TPanel(this);
    pnlText->SetParent(this);
    pnlText->SetBounds(8, 56, 504, 220);
    pnlText->SetCaption("");
    label(pnlText, "Предустановленные текстовые значения", 10, 6);
    lvText = new TListView(pnlText);
    lvText->SetParent(pnlText);
    lvText->SetBounds(10, 26, 360, 186);
    lvText->SetViewStyle(vsReport);
    lvText->SetShowColumnHeaders(false);
    lvText->SetRowSelect(true);
    lvText->SetHideSelection(false);
    TListColumn* column = lvText->Columns().Add();
    column->SetCaption("Строка");
    column->SetWidth(336);
    lvText->OnSelectItem = [this](TObject*, TListItem*, bool) { update_list_buttons(); };
    btnAddText = button(pnlText, "Добавить", 380, 26, 114);
    btnRenameText = button(pnlText, "Редактировать", 380, 58, 114);
    btnDelText = button(pnlText, "Удалить", 380, 90, 114);
    btnAddText->OnClick = [this](TObject*) { add_text(); };
    btnRenameText->OnClick = [this](TObject*) { rename_text(); };
    btnDelText->OnClick = [this](TObject*) { delete_text(); };
    pmText = new TPopupMenu(this);
    auto item = [this](const char* caption, TKey key, std::function<void()> run) {
        auto* mi = new TMenuItem(pmText);
        mi->SetCaption(caption);
        mi->SetShortCut(ShortCut(key, {}));
        mi->OnClick = [run](TObject*) { run(); };
        pmText->Items()->Add(mi);
        return mi;
    };
    miAdd = item("Добавить", VK_INSERT, [this] { add_text(); });
    miRename = item("Редактировать", VK_F2, [this] { rename_text(); });
    miDelete = item("Удалить", VK_DELETE, [this] { delete_text(); });
    lvText->SetPopupMenu(pmText);

    cbAlarm = new TCheckBox(this);
    cbAlarm->SetParent(this);
    cbAlarm->SetCaption("Включить контроль напряжения");
    cbAlarm->SetBounds(8, 290, 230, 20);
    btnOk = button(this, "OK", 262, 288, 80);
    btnOk->SetModalResult(mrOk);
    btnOk->SetDefault(true);
    btnCancel = button(this, "Отмена", 348, 288, 80);
    btnCancel->SetModalResult(mrCancel);
    btnCancel->SetCancel(true);
    btnHelp = button(this, "?", 434, 288, 30);
    btnHelp->OnClick = [](TObject*) { lib::get_html_help().show_help_topic("pult_settings"); };
    lib::colorize_form(this);
}

void TOptForm::show_page(int page) {
    pnlIndi->SetVisible(page == 0);
    pnlText->SetVisible(page == 1);
    btnPageIndi->SetDown(page == 0);
    btnPageText->SetDown(page == 1);
}

void TOptForm::load() {
    cbxDepthIndi->SetItemIndex(options_.indi_depth);

    rtl::StringList phrases;
    phrases.SetCommaText(options_.text_variants);
    lvText->Items().Clear();
    // The time placeholder is not the operator's to edit (store puts it back
    // first). A list from an older or hand-edited file may lack it or hold it
    // elsewhere: only the placeholder is left out, never a phrase.
    for (int i = 0; i < phrases.Count(); ++i)
        if (rtl::AnsiUpperCase(rtl::Trim(phrases[i])) != pult::time_placeholder)
            lvText->Items().Add()->SetCaption(phrases[i]);

    cbTextParams->Items().Clear();
    text_param_values.clear();
    auto source = [this](const std::string& caption, const std::string& value) {
        cbTextParams->Items().Add(caption);
        text_param_values.push_back(value);
    };
    source("<Текст с клавиатуры>", "");
    source("<Оптимальная нагрузка>", "wob_optim.pult_text");
    ParTabl table;
    if (host_.host_get_par_tabl) host_.host_get_par_tabl(table);
    for (int i = 0; i < table.get_items_count(); ++i) {
        const Param& p = table.at(i);
        source(p.units.empty() ? p.name : p.name + ", " + p.units, p.global_name);
    }
    source("Глубина инструмента", "ds.depth_cur");
    source("Глубина забоя", "ds.depth_z");
    int chosen = 0;
    for (std::size_t i = 0; i < text_param_values.size(); ++i)
        if (text_param_values[i] == options_.text_param) {
            chosen = int(i);
            break;
        }
    cbTextParams->SetItemIndex(chosen);

    cbxGazIndi->Items().Clear();
    for (int i = 0; i < pult::gaz_source_count; ++i) cbxGazIndi->Items().Add(display_name(pult::gaz_source(i)));
    cbxGazIndi->SetItemIndex(options_.indi_gaz);
    cbxLevelIndi->Items().Clear();
    cbxLevelIndi->Items().Add("<НЕТ>");
    for (int i = 1; i < pult::level_source_count; ++i) cbxLevelIndi->Items().Add(display_name(pult::level_source(i)));
    cbxLevelIndi->SetItemIndex(options_.indi_level);
    cbxPlotnIndi->Items().Clear();
    for (int i = 0; i < pult::plotn_source_count; ++i) cbxPlotnIndi->Items().Add(display_name(pult::plotn_source(i)));
    cbxPlotnIndi->SetItemIndex(options_.indi_plotn);
    cbAlarm->SetChecked(options_.use_volt_check);
    fit_lists();
}

void TOptForm::fit_lists() {
    // The lists hold the station's own names (its parameters, its gas and
    // level sources): they are as wide as their longest entry, and the
    // dialog with them, so that no entry is cut in the box.
    TComboBox* const lists[] = {cbxDepthIndi, cbxGazIndi, cbxLevelIndi, cbxPlotnIndi, cbTextParams};
    int width = 224;
    for (TComboBox* c : lists) {
        TBitmap probe(1, 1);
        probe.Canvas().Font().Assign(c->Font());
        for (int i = 0; i < c->Items().Count(); ++i)
            width = std::max(width, probe.Canvas().TextWidth(c->Items()[i]) + (c->Width() - c->ClientWidth()) + 17 + 8);
    }
    const int most = Screen().Width() - 40 - (520 - 224);
    width = std::min(width, std::max(224, most));
    for (TComboBox* c : lists) c->SetBounds(c->Left(), c->Top(), width, c->Height());
    const int grow = width - 224;
    pnlIndi->SetBounds(pnlIndi->Left(), pnlIndi->Top(), 504 + grow, pnlIndi->Height());
    pnlText->SetBounds(pnlText->Left(), pnlText->Top(), 504 + grow, pnlText->Height());
    SetClientWidth(520 + grow);
}

void TOptForm::store() {
    options_.indi_depth = cbxDepthIndi->ItemIndex();
    options_.indi_gaz = cbxGazIndi->ItemIndex();
    options_.indi_level = cbxLevelIndi->ItemIndex();
    options_.indi_plotn = cbxPlotnIndi->ItemIndex();
    rtl::StringList phrases;
    phrases.Add(pult::time_placeholder);
    for (int i = 0; i < lvText->Items().Count(); ++i) phrases.Add(lvText->Items()[i]->Caption());
    options_.text_variants = phrases.CommaText();
    const int source = cbTextParams->ItemIndex();
    options_.text_param =
        source >= 0 && source < int(text_param_values.size()) ? text_param_values[std::size_t(source)] : std::string();
    options_.use_volt_check = cbAlarm->Checked();
}

void TOptForm::update_list_buttons() {
    const bool selected = lvText->Selected() != nullptr;
    for (TControl* c : {static_cast<TControl*>(btnRenameText), static_cast<TControl*>(btnDelText)})
        c->SetEnabled(selected);
    miRename->SetEnabled(selected);
    miDelete->SetEnabled(selected);
}

void TOptForm::add_text() {
    if (lvText->FindCaption(0, new_text, false, true, false)) return;
    TListItem* item = lvText->Items().Add();
    item->SetCaption(new_text);
    lvText->SetSelected(item);
    update_list_buttons();
    item->EditCaption();
}

void TOptForm::rename_text() {
    if (TListItem* item = lvText->Selected()) item->EditCaption();
}

void TOptForm::delete_text() {
    TListItem* item = lvText->Selected();
    if (!item) return;
    lvText->Items().Delete(item->Index());
    update_list_buttons();
}

bool TOptForm::execute() {
    load();
    show_page(0);
    update_list_buttons();
    if (ShowModal() != mrOk) return false;
    store();
    if (on_apply) on_apply(options_);
    return true;
}
