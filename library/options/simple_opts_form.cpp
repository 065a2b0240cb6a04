#include "library/options/simple_opts_form.h"

#include <algorithm>
#include <stdexcept>

#include "library/controls/control_helpers.h"
#include "platform/ui/application.h"

using namespace ui;

TSimpleOptsForm::TSimpleOptsForm(TComponent* owner, lib::options_base& options, HelpFunction help)
    : TForm(owner), options(options), help(std::move(help)) {
    SetBorderStyle(bsDialog);
    SetPosition(poDesktopCenter);
    SetClientWidth(450);
    SetClientHeight(398);

    pnlBottom = new TPanel(this);
    pnlBottom->SetName("pnlBottom");
    pnlBottom->SetParent(this);
    pnlBottom->SetAlign(alBottom);
    pnlBottom->SetHeight(43);
    pnlBottom->SetBevelOuter(bvNone);
    pnlBottom->SetVisible(false);

    btnHelp = new TButton(this);
    btnHelp->SetName("btnHelp");
    btnHelp->SetParent(pnlBottom);
    btnHelp->SetCaption("Справка");
    btnHelp->SetHint(" Показать справку ");
    btnHelp->SetShowHint(true);
    btnHelp->SetBounds(8, 9, 85, 25);
    btnHelp->OnClick = [this](TObject* s) { btnHelpClick(s); };

    btnOk = new TButton(this);
    btnOk->SetName("btnOk");
    btnOk->SetParent(pnlBottom);
    btnOk->SetCaption("OK");
    btnOk->SetDefault(true);
    btnOk->SetModalResult(mrOk);
    btnOk->SetBounds(450 - 8 - 85 - 8 - 85, 9, 85, 25);
    btnOk->SetAnchors({akTop, akRight});

    btnCancel = new TButton(this);
    btnCancel->SetName("btnCancel");
    btnCancel->SetParent(pnlBottom);
    btnCancel->SetCaption("Отмена");
    btnCancel->SetCancel(true);
    btnCancel->SetModalResult(mrCancel);
    btnCancel->SetBounds(450 - 8 - 85, 9, 85, 25);
    btnCancel->SetAnchors({akTop, akRight});

    Grid = new widrak::TMyGrid(this);
    Grid->SetName("Grid");
    Grid->SetParent(this);
    Grid->SetAlign(alClient);
    Grid->SetColCount(4);
    Grid->SetFixedCols(0);
    Grid->SetRowCount(2);
    Grid->SetFixedRows(1);
    const int widths[] = {41, 127, 89, 151};
    for (int c = 0; c < 4; ++c) Grid->SetColWidths(c, widths[c]);
    Grid->SetOptions(
        {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goEditing, goAlwaysShowEditor});
    Grid->SetTabStop(true);

    editor = std::make_unique<lib::grid_options>(Grid);
    lib::colorize_form(this);

    Grid->SetCells(0, 0, "№");
    Grid->SetCells(1, 0, "Название");
    Grid->SetCells(2, 0, "Ед.изм.");
    // The blanks widen the value column when the grid fits its columns.
    Grid->SetCells(3, 0, "               Значение               ");
    Grid->SetOptions(Grid->Options() << goThumbTracking);
    btnHelp->SetEnabled(static_cast<bool>(this->help));
    SetActiveControl(Grid);
    OnShow = [this](TObject* s) { FormShow(s); };
}

// The editor lets the grid's events go before the grid is freed with the
// form's children.
TSimpleOptsForm::~TSimpleOptsForm() { editor.reset(); }

void TSimpleOptsForm::fill() {
    list.clear();
    options.enum_values(list);
    editor->show_options(list, 1, lib::grid_columns::all);
    Grid->AlignHorizontal();
    // The first option under the first heading.
    const int first = Grid->FixedRows() + 1;
    if (first < Grid->RowCount() && editor->get_item_by_index(first)) Grid->SetRow(first);
}

void TSimpleOptsForm::read_data() { editor->get_options(); }

bool TSimpleOptsForm::execute(const std::string& caption) {
    SetCaption(caption);
    fill();
    pnlBottom->Show();
    if (ShowModal() != mrOk) return false;
    read_data();
    return true;
}

void TSimpleOptsForm::resize_rows() {
    for (int row = 0; row < Grid->RowCount(); ++row) Grid->ResizeRow(row);
}

void TSimpleOptsForm::resize_window() {
    const int line = Grid->GridLineWidth();
    int width = line, height = line;
    for (int c = 0; c < Grid->ColCount(); ++c) width += Grid->ColWidths(c) + line;
    for (int r = 0; r < Grid->RowCount(); ++r) height += Grid->RowHeights(r) + line;
    const int bottom = pnlBottom->Visible() ? pnlBottom->Height() : 0;
    SetClientHeight(std::min(GetSystemMetrics(SM_CYHSCROLL) + height + bottom + 8, Screen().Height() * 2 / 3));
    SetClientWidth(std::min(width + GetSystemMetrics(SM_CXHSCROLL) + 4, Screen().Width() * 11 / 12));
    SetLeft((Screen().Width() - Width()) / 2);
    SetTop((Screen().Height() - Height()) / 2);
}

void TSimpleOptsForm::FormShow(TObject*) {
    resize_rows();
    resize_window();
}

void TSimpleOptsForm::btnHelpClick(TObject*) {
    if (help) help();
}

SimpleOptsHelper::SimpleOptsHelper(TComponent*, lib::options_base& options, HelpFunction help)
    : form(std::make_unique<TSimpleOptsForm>(nullptr, options, std::move(help))) {}

SimpleOptsHelper::~SimpleOptsHelper() = default;

TForm* create_simple_opt_form(TComponent* owner, lib::options_base& options, HelpFunction help) {
    return new TSimpleOptsForm(owner, options, std::move(help));
}

void read_data_from_opt_form(TControl* control) {
    auto* form = dynamic_cast<TSimpleOptsForm*>(control);
    if (!form) throw std::logic_error("read_data_from_opt_form: form");
    form->read_data();
}
