#include "plugins/cement/cement_options_form.h"

#include <algorithm>
#include <filesystem>

#include "gti/registr_old/InstrPipes/instr_options_frame.h"
#include "gti/registr_old/all_params.h"
#include "gti/registr_old/hub_windows.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/controls/control_helpers.h"
#include "library/lock_object.h"
#include "library/number_conv.h"
#include "library/options/grid_options.h"
#include "platform/os/directory.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/edits.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_files.h"
#include "widrak/my_grid.h"

using namespace ui;
using namespace cement;

namespace {

const char* const kind_items[stage_kind_count] = {
    "Закачка буфера", "Закачка цементного р-ра", "Закачка гель-цемента", "Закачка газоцемента", "Ожидание", "Продавка",
    "Другое"};
const char* const fixed_names[3] = {"Цемент", "Гель-цемент", "Газоцемент"};

std::string num(double v) { return lib::float_to_str(v, 2); }
float read_num(const TEdit* e) { return float(lib::str_to_float(e->Text(), 0)); }

// An element's pressure limit is compared with the station's pressure, so
// every window that shows one names that parameter's unit.
std::string pressure_unit() {
    const AllParams& all = get_all_params();
    const int n = all.get_param_number("cem_davl");
    return n >= 0 ? all.at(n).units : std::string();
}

TButton* make_button(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x, int y,
                     int w = 110) {
    auto* b = new TButton(owner);
    b->SetName(name);
    b->SetParent(parent);
    b->SetCaption(caption);
    b->SetBounds(x, y, w, 25);
    return b;
}

TEdit* make_edit(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w = 120) {
    auto* e = new TEdit(owner);
    e->SetName(name);
    e->SetParent(parent);
    e->SetBounds(x, y, w, 22);
    return e;
}

TLabel* make_label(TComponent* owner, TWinControl* parent, const char* caption, int x, int y, int w = 150) {
    auto* l = new TLabel(owner);
    l->SetParent(parent);
    l->SetCaption(caption);
    l->SetBounds(x, y + 3, w, 18);
    return l;
}

TRadioGroup* make_kinds(TComponent* owner, TWinControl* parent, const char* const* items, int x, int y) {
    auto* g = new TRadioGroup(owner);
    g->SetName("rgId");
    g->SetParent(parent);
    g->SetCaption("Идентификация");
    g->SetBounds(x, y, 220, 180);
    for (int i = 0; i < stage_kind_count; ++i) g->Items().Add(items[i]);
    return g;
}

// The fixed fluids, then the list fluids.
void load_fluid_names(TComboBox* box, const CementData& d) {
    box->Items().Clear();
    for (const char* n : fixed_names) box->Items().Add(n);
    for (const TRastvor& f : d.fluids) box->Items().Add(f.name);
}

bool same_fluid(const TRastvor& a, const TRastvor& b) {
    return a.name == b.name && a.density == b.density && a.additive == b.additive &&
           a.additive_density == b.additive_density && a.base == b.base && a.base_density == b.base_density &&
           a.viscosity == b.viscosity && a.calibr_file_name == b.calibr_file_name;
}

void copy_report(const TReportOptions& from, TReportOptions& to) {
    to.pore_angle = from.pore_angle;
    to.pore_kk = from.pore_kk;
    to.prob_v = from.prob_v;
    to.depth_stop = from.depth_stop;
    to.works = from.works;
    to.ist_type = from.ist_type;
    to.resident = from.resident;
    to.company = from.company;
    to.nach_otriada = from.nach_otriada;
    to.operators = from.operators;
    for (int i = 0; i < 4; ++i) to.comment[i] = from.comment[i];
}

void fixed_data(CementProgramElement& e, const CementData& d, int fixed) {
    e.fixed = d.fixed_fluids[std::size_t(fixed)];
}

// The hub's drill string in its options frame; OK writes it back.
void edit_drill_string(TComponent* owner) {
    TForm form(owner);
    form.SetName("DrillStringForm");
    form.SetCaption("Промер инструмента");
    form.SetBorderStyle(bsDialog);
    form.SetPosition(poScreenCenter);
    form.SetClientWidth(760);
    form.SetClientHeight(420);
    auto* bottom = new TPanel(&form);
    bottom->SetParent(&form);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(40);
    bottom->SetBevelOuter(bvNone);
    TButton* ok = make_button(&form, bottom, "btnOk", "OK", 520, 8);
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    TButton* cancel = make_button(&form, bottom, "btnCancel", "Отмена", 635, 8);
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    TInstrOptionsFrame* frame = nullptr;
    {
        lib::Locker hold(sys_lock_obj());
        frame = instr::get_options_frame(&form, *sys()->get_pore().get_instr(), true);
    }
    frame->SetParent(&form);
    frame->SetAlign(alClient);
    lib::colorize_form(&form);
    if (form.ShowModal() != mrOk) return;
    lib::Locker hold(sys_lock_obj());
    instr::set_options_frame(frame, *sys()->get_pore().get_instr());
}

}  // namespace

// ---- TRastvorForm ----------------------------------------------------------------

TRastvorForm::TRastvorForm(TComponent* owner) : TForm(owner) {
    SetName("RastvorForm");
    SetCaption("Раствор");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(300);
    SetClientHeight(90);
    make_label(this, this, "Имя:", 8, 10, 40);
    edName = make_edit(this, this, "edName", 50, 10, 240);
    btnAdd = make_button(this, this, "btnAdd", "Добавить", 70, 52);
    btnAdd->SetModalResult(mrOk);
    btnAdd->SetDefault(true);
    btnCancel = make_button(this, this, "btnCancel", "Отмена", 185, 52);
    btnCancel->SetModalResult(mrCancel);
    btnCancel->SetCancel(true);
    lib::colorize_form(this);
    SetActiveControl(edName);
}

// ---- TAddProgramForm ---------------------------------------------------------------

TAddProgramForm::TAddProgramForm(TComponent* owner) : TForm(owner) {
    SetName("AddProgramForm");
    SetCaption("Добавление этапа");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(470);
    SetClientHeight(250);
    make_label(this, this, "Название", 8, 8, 80);
    edName = make_edit(this, this, "edName", 100, 8, 360);
    make_label(this, this, "Раствор", 8, 38, 80);
    cbSelRastvor = new TComboBox(this);
    cbSelRastvor->SetName("cbSelRastvor");
    cbSelRastvor->SetParent(this);
    cbSelRastvor->SetStyle(csDropDownList);
    cbSelRastvor->SetBounds(100, 38, 360, 22);
    const char* items[stage_kind_count];
    for (int k = 0; k < stage_kind_count; ++k) items[k] = stage_kind_name(k);
    rgId = make_kinds(this, this, items, 8, 68);
    make_label(this, this, "Максимальное давление этапа", 240, 70, 220);
    edPmax = make_edit(this, this, "edPmax", 240, 92, 120);
    lblDavlUnit = make_label(this, this, pressure_unit().c_str(), 365, 92, 60);
    make_label(this, this, "Необходимый объем", 240, 122, 220);
    edNeedVol = make_edit(this, this, "edNeedVol", 240, 144, 120);
    make_label(this, this, "м3", 365, 144, 40);
    btnAdd = make_button(this, this, "btnAdd", "Добавить", 240, 215);
    btnAdd->SetModalResult(mrOk);
    btnAdd->SetDefault(true);
    btnCancel = make_button(this, this, "btnCancel", "Отмена", 355, 215);
    btnCancel->SetModalResult(mrCancel);
    btnCancel->SetCancel(true);
    rgId->OnClick = [this](TObject*) { rgIdClick(); };
    cbSelRastvor->OnChange = [this](TObject*) { cbSelRastvorChange(); };
    lib::colorize_form(this);
    SetActiveControl(edName);
}

void TAddProgramForm::rgIdClick() {
    if (syncing_) return;
    syncing_ = true;
    switch (rgId->ItemIndex()) {
        case kind_buffer: edName->SetText("Закачка буфера"); break;
        case kind_cement:
            edName->SetText("Закачка цемента");
            cbSelRastvor->SetItemIndex(fluid_cement);
            break;
        case kind_gel_cement:
            edName->SetText("Закачка гель-цемента");
            cbSelRastvor->SetItemIndex(fluid_gel_cement);
            break;
        case kind_gas_cement:
            edName->SetText("Закачка газоцемента");
            cbSelRastvor->SetItemIndex(fluid_gas_cement);
            break;
        case kind_waiting:
            edName->SetText("Ожидание");
            cbSelRastvor->SetItemIndex(-1);
            break;
        case kind_displacement: edName->SetText("Продавка"); break;
        case kind_other: cbSelRastvor->SetItemIndex(-1); break;
        default: break;
    }
    syncing_ = false;
}

void TAddProgramForm::cbSelRastvorChange() {
    if (syncing_) return;
    const int f = cbSelRastvor->ItemIndex();
    if (f >= fluid_cement && f <= fluid_gas_cement) {
        syncing_ = true;
        rgId->SetItemIndex(f + 1);
        syncing_ = false;
    }
}

bool TAddProgramForm::add_element(CementData& work, bool) {
    load_fluid_names(cbSelRastvor, work);
    if (ShowModal() == mrCancel) return false;
    CementProgramElement e;
    e.name = edName->Text();
    e.fluid_type = cbSelRastvor->ItemIndex();
    if (e.fluid_type >= fluid_cement && e.fluid_type <= fluid_gas_cement)
        fixed_data(e, work, e.fluid_type);
    else if (e.fluid_type >= list_fluid_base && std::size_t(e.fluid_type - list_fluid_base) < work.fluids.size())
        e.fluid = work.fluids[std::size_t(e.fluid_type - list_fluid_base)];
    else
        e.fluid_type = no_fluid;
    e.kind = std::clamp(rgId->ItemIndex(), 0, stage_kind_count - 1);
    if (rgId->ItemIndex() < 0) e.kind = kind_other;
    e.P_critical = read_num(edPmax);
    e.V_inc = read_num(edNeedVol);
    e.mode = state_waiting;
    e.start = e.end = 0;
    work.program.push_back(std::move(e));
    return true;
}

// ---- TCementOptionsForm --------------------------------------------------------------

TCementOptionsForm::TCementOptionsForm(TComponent* owner, TReportOptions& report, const SectionsResult& sections)
    : TForm(owner), report_(report), sections_(sections) {
    SetName("CementOptionsForm");
    SetCaption("Настройки цементажа");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetClientWidth(640);
    SetClientHeight(500);

    auto* bottom = new TPanel(this);
    bottom->SetParent(this);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(40);
    bottom->SetBevelOuter(bvNone);
    MyButton1 = make_button(this, bottom, "MyButton1", "OK", 290, 8);
    MyButton1->SetModalResult(mrOk);
    MyButton1->SetDefault(true);
    MyButton2 = make_button(this, bottom, "MyButton2", "Отмена", 405, 8);
    MyButton2->SetModalResult(mrCancel);
    MyButton2->SetCancel(true);
    btnApply = make_button(this, bottom, "btnApply", "Применить", 520, 8);
    btnApply->OnClick = [this](TObject*) { btnApplyClick(); };

    pages = new TPageControl(this);
    pages->SetParent(this);
    pages->SetAlign(alClient);
    auto sheet = [this](const char* name, const char* caption) {
        auto* s = new TTabSheet(this);
        s->SetName(name);
        s->SetPageControl(pages);
        s->SetCaption(caption);
        return s;
    };
    tshData = sheet("tshData", "Исходные данные");
    tshEtap = sheet("tshEtap", "Программа");
    tshColumn = sheet("tshColumn", "Колонна");
    TabSheet1 = sheet("TabSheet1", "Отчет");

    // ---- data page --------------------------------------------------------------
    btnPoreAndInstrOpt = make_button(this, tshData, "btnPoreAndInstrOpt", "Настройки скважины", 468, 7, 150);
    btnPoreAndInstrOpt->OnClick = [this](TObject*) { btnPoreAndInstrOptClick(); };
    make_label(this, tshData, "Раствор", 8, 8, 70);
    cbRastvor = new TComboBox(this);
    cbRastvor->SetName("cbRastvor");
    cbRastvor->SetParent(tshData);
    cbRastvor->SetStyle(csDropDownList);
    cbRastvor->SetBounds(80, 8, 180, 22);
    cbRastvor->OnChange = [this](TObject*) { cbRastvorChange(); };
    btnAdd = make_button(this, tshData, "btnAdd", "Добавить...", 268, 7, 95);
    btnAdd->OnClick = [this](TObject*) { btnAddClick(); };
    btnDel = make_button(this, tshData, "btnDel", "Удалить...", 368, 7, 95);
    btnDel->OnClick = [this](TObject*) { btnDelClick(); };

    pnlCurrentRastvor = new TPanel(this);
    pnlCurrentRastvor->SetName("pnlCurrentRastvor");
    pnlCurrentRastvor->SetParent(tshData);
    pnlCurrentRastvor->SetBounds(8, 36, 610, 110);
    pnlCurrentRastvor->SetBevelOuter(bvLowered);
    make_label(this, pnlCurrentRastvor, "Плотность (г/м3)", 6, 6, 130);
    edPl = make_edit(this, pnlCurrentRastvor, "edPl", 140, 6, 80);
    make_label(this, pnlCurrentRastvor, " Вязкость (см2 /с)", 240, 6, 140);
    edVyaz = make_edit(this, pnlCurrentRastvor, "edVyaz", 385, 6, 80);
    make_label(this, pnlCurrentRastvor, " Добавка в раствор ", 6, 32, 130);
    edDob = make_edit(this, pnlCurrentRastvor, "edDob", 140, 32, 200);
    make_label(this, pnlCurrentRastvor, "Плотность", 350, 32, 80);
    edPlDob = make_edit(this, pnlCurrentRastvor, "edPlDob", 430, 32, 80);
    make_label(this, pnlCurrentRastvor, " Жидкость-основа ", 6, 58, 130);
    edOsn = make_edit(this, pnlCurrentRastvor, "edOsn", 140, 58, 200);
    make_label(this, pnlCurrentRastvor, "Плотность", 350, 58, 80);
    edPlOsn = make_edit(this, pnlCurrentRastvor, "edPlOsn", 430, 58, 80);
    make_label(this, pnlCurrentRastvor, "Калибровка", 6, 84, 130);
    edCalFile = make_edit(this, pnlCurrentRastvor, "edCalFile", 140, 84, 400);
    edCalFile->SetReadOnly(true);
    btnCalFileBrowse = make_button(this, pnlCurrentRastvor, "btnCalFileBrowse", "...", 545, 83, 30);
    btnCalFileBrowse->OnClick = [this](TObject*) { btnCalFileBrowseClick(); };

    CemOptionsGrid = new widrak::TMyGrid(this);
    CemOptionsGrid->SetName("CemOptionsGrid");
    CemOptionsGrid->SetParent(tshData);
    CemOptionsGrid->SetBounds(8, 152, 610, 210);
    CemOptionsGrid->SetColCount(3);
    CemOptionsGrid->SetFixedCols(0);
    CemOptionsGrid->SetRowCount(2);
    CemOptionsGrid->SetFixedRows(1);
    CemOptionsGrid->SetColWidths(0, 300);
    CemOptionsGrid->SetColWidths(1, 100);
    CemOptionsGrid->SetColWidths(2, 180);
    CemOptionsGrid->SetOptions(
        {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goEditing, goAlwaysShowEditor});
    CemOptionsGrid->SetCells(0, 0, "Название");
    CemOptionsGrid->SetCells(1, 0, "Ед. изм.");
    CemOptionsGrid->SetCells(2, 0, "Значение");

    auto fixed_row = [&](TEdit*& e, TButton*& b, const char* ename, const char* bname, const char* caption, int y,
                         int fixed) {
        make_label(this, tshData, caption, 8, y, 200)->SetVisible(false);
        e = make_edit(this, tshData, ename, 210, y, 360);
        e->SetReadOnly(true);
        e->SetVisible(false);
        b = make_button(this, tshData, bname, "...", 575, y - 1, 30);
        b->SetVisible(false);
        b->OnClick = [this, fixed](TObject*) { btnCalFileFixedBrowseClick(fixed); };
    };
    fixed_row(edCalCem, btnCalFileCemBrowse, "edCalCem", "btnCalFileCemBrowse", "Калибровка пл. цемента", 368, 0);
    fixed_row(edCalGelcem, btnCalFileGelcemBrowse, "edCalGelcem", "btnCalFileGelcemBrowse",
              "Калибровка пл. гельцемента", 368, 1);
    fixed_row(edCalGazocem, btnCalFileGazocemBrowse, "edCalGazocem", "btnCalFileGazocemBrowse",
              "Калибровка пл. газоцемента", 368, 2);
    cbPlDigital = new TCheckBox(this);
    cbPlDigital->SetName("cbPlDigital");
    cbPlDigital->SetParent(tshData);
    cbPlDigital->SetCaption("Цифровой датчик плотности");
    cbPlDigital->SetBounds(8, 370, 300, 22);

    // ---- programme page -----------------------------------------------------------
    grdProgram = new TStringGrid(this);
    grdProgram->SetName("grdProgram");
    grdProgram->SetParent(tshEtap);
    grdProgram->SetBounds(8, 8, 250, 380);
    grdProgram->SetColCount(1);
    grdProgram->SetFixedCols(0);
    grdProgram->SetRowCount(1);
    grdProgram->SetFixedRows(0);
    grdProgram->SetOptions({goRowSelect});
    grdProgram->SetScrollBars(ssVertical);
    grdProgram->SetDefaultDrawing(false);
    grdProgram->OnDrawCell = [this](TObject*, int col, int r, const TRect& rect, TGridDrawState state) {
        TCanvas& c = grdProgram->Canvas();
        const bool selected = r == row();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(selected ? clHighlight : clWindow);
        c.FillRect(rect);
        (void)state;
        if (col != 0 || r < 0 || std::size_t(r) >= work_.program.size()) return;
        const std::string& name = work_.program[std::size_t(r)].name;
        c.Font().SetSize(Font().Size());
        c.Font().SetColor(selected ? clHighlightText : clWindowText);
        c.TextOut(rect.Left + 2, rect.Top + (rect.Height() - c.TextHeight(name)) / 2, name);
    };
    grdProgram->OnClick = [this](TObject*) { grdProgramClick(); };
    btnAddProgram = make_button(this, tshEtap, "btnAddProgram", "Добавить...", 270, 8, 120);
    btnAddProgram->OnClick = [this](TObject*) { btnAddProgramClick(); };
    btnDelProgram = make_button(this, tshEtap, "btnDelProgram", "Удалить", 395, 8, 110);
    btnDelProgram->OnClick = [this](TObject*) { btnDelProgramClick(); };
    btnRenameProgram = make_button(this, tshEtap, "btnRenameProgram", "Переименовать...", 270, 38, 120);
    btnRenameProgram->OnClick = [this](TObject*) { btnRenameProgramClick(); };
    btnDefaultProgram = make_button(this, tshEtap, "btnDefaultProgram", "По умолчанию", 395, 38, 110);
    btnDefaultProgram->OnClick = [this](TObject*) { btnDefaultProgramClick(); };
    make_label(this, tshEtap, "Раствор", 270, 72, 80);
    cbSelRastvor = new TComboBox(this);
    cbSelRastvor->SetName("cbSelRastvor");
    cbSelRastvor->SetParent(tshEtap);
    cbSelRastvor->SetStyle(csDropDownList);
    cbSelRastvor->SetBounds(350, 72, 250, 22);
    cbSelRastvor->OnChange = [this](TObject*) { cbSelRastvorChange(); };
    edNeedVol = make_edit(this, tshEtap, "edNeedVol", 270, 100, 100);
    edNeedVol->SetVisible(false);
    rgId = make_kinds(this, tshEtap, kind_items, 270, 100);
    rgId->OnClick = [this](TObject*) { rgIdClick(); };
    make_label(this, tshEtap, "Максимальное давление этапа", 270, 290, 220);
    edPmax = make_edit(this, tshEtap, "edPmax", 270, 312, 100);
    edPmax->OnExit = [this](TObject*) { read_back(); };
    lblDavlUnit = make_label(this, tshEtap, "", 375, 312, 60);

    // ---- columns page ---------------------------------------------------------------
    Panel3 = new TPanel(this);
    Panel3->SetName("Panel3");
    Panel3->SetParent(tshColumn);
    Panel3->SetCaption("Выберите цементируемые колонны");
    Panel3->SetBounds(8, 8, 610, 30);
    // The construction fills it: its columns, one row per element.
    ConstrGrid = new widrak::TMyGrid(this);
    ConstrGrid->SetName("ConstrGrid");
    ConstrGrid->SetParent(tshColumn);
    ConstrGrid->SetBounds(8, 44, 610, 280);
    ConstrGrid->SetFixedCols(0);
    ConstrGrid->SetRowCount(2);
    ConstrGrid->SetFixedRows(1);
    ConstrGrid->SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goRowSelect});
    ConstrGrid->SetAlignment(taLeftJustify);  // the names; the numbers the construction aligns
    btnSelConstruction = make_button(this, tshColumn, "btnSelConstruction", "Выбрать колонны", 8, 332, 200);
    btnSelConstruction->OnClick = [this](TObject*) { btnSelConstructionClick(); };

    // ---- report page ------------------------------------------------------------------
    ReportGrid = new widrak::TMyGrid(this);
    ReportGrid->SetName("ReportGrid");
    ReportGrid->SetParent(TabSheet1);
    ReportGrid->SetAlign(alClient);
    ReportGrid->SetColCount(2);
    ReportGrid->SetFixedCols(0);
    ReportGrid->SetRowCount(2);
    ReportGrid->SetFixedRows(1);
    ReportGrid->SetColWidths(0, 300);
    ReportGrid->SetColWidths(1, 300);
    ReportGrid->SetOptions(
        {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goEditing, goAlwaysShowEditor});
    ReportGrid->SetCells(0, 0, "Название");
    ReportGrid->SetCells(1, 0, "Значение");

    for (TEdit* e : {edPl, edDob, edPlDob, edOsn, edPlOsn, edVyaz}) e->OnExit = [this](TObject*) { read_back(); };

    OpenCalDialog = new TOpenDialog(this);
    OpenCalDialog->SetFilter("Файлы калибровок|*.clb");
    OpenCalDialog->SetDefaultExt("clb");

    report_editor_ = std::make_unique<lib::grid_options>(ReportGrid);
    plan_editor_ = std::make_unique<lib::grid_options>(CemOptionsGrid);
    report_list_ = std::make_unique<lib::options_list>();
    plan_list_ = std::make_unique<lib::options_list>();
    well_ = std::make_unique<pore::PoreOpt>();
    lib::colorize_form(this);
    pages->SetActivePage(tshData);
}

TCementOptionsForm::~TCementOptionsForm() {
    // The editors and the construction let their grids go before the grids
    // do.
    report_editor_.reset();
    plan_editor_.reset();
    well_.reset();
}

void TCementOptionsForm::copy_well() {
    lib::Locker hold(sys_lock_obj());
    *well_ = sys()->get_pore();
}

bool TCementOptionsForm::execute(CementData& job, bool registering) {
    stored_element_ = job.element;
    work_ = job;
    origin_.clear();
    for (std::size_t i = 0; i < job.program.size(); ++i) origin_.push_back(int(i));
    programme_replaced_ = false;
    // The running element's row is the one shown first.
    if (work_.element < 0) work_.element = work_.program.empty() ? -1 : 0;
    copy_report(report_, report_work_);
    {
        lib::Locker hold(sys_lock_obj());
        bit_diameter_seen_ = report_.bit_diameter();
    }
    bit_diameter_ = bit_diameter_seen_;
    report_work_.bind_bit_diameter(&bit_diameter_);
    copy_well();
    // The grid only shows the construction: no check mark is toggled here.
    well_->get_construction()->set_grid(ConstrGrid);
    ConstrGrid->OnMouseDown = nullptr;
    fill();
    for (TControl* c : std::initializer_list<TControl*>{btnAddProgram, btnDelProgram, btnRenameProgram,
                                                        btnDefaultProgram, cbSelRastvor, rgId})
        c->SetEnabled(!registering);
    lblDavlUnit->SetCaption(pressure_unit());
    if (ShowModal() == mrCancel) return false;
    read_back();
    commit(job);
    copy_report(report_work_, report_);
    // Untouched here, the trip's bit diameter stays whatever it has become
    // meanwhile.
    if (bit_diameter_ != bit_diameter_seen_) {
        lib::Locker hold(sys_lock_obj());
        report_.set_bit_diameter(bit_diameter_);
    }
    return true;
}

void TCementOptionsForm::commit(CementData& job) const {
    // What the operator edits here.
    job.fluids = work_.fluids;
    job.selected_fluid = work_.selected_fluid;
    job.fixed_fluids = work_.fixed_fluids;
    std::copy(&work_.plan[0][0], &work_.plan[0][0] + 15, &job.plan[0][0]);
    job.digital_density = work_.digital_density;
    job.columns = work_.columns;

    // The programme: the elements as edited here, each carrying on the state,
    // times and sums the job has for it now; elements new here start afresh.
    TProgram program;
    int element = job.element;
    for (std::size_t i = 0; i < work_.program.size(); ++i) {
        CementProgramElement e = work_.program[i];
        const int from = programme_replaced_ || i >= origin_.size() ? -1 : origin_[i];
        if (from >= 0 && std::size_t(from) < job.program.size()) {
            CementProgramElement live = job.program[std::size_t(from)];
            live.name = e.name;
            live.fluid_type = e.fluid_type;
            live.fluid = e.fluid;
            live.fixed = e.fixed;
            live.kind = e.kind;
            live.P_critical = e.P_critical;
            e = std::move(live);
        } else {
            const float need = e.V_inc;
            e = CementProgramElement{e.name, e.fluid_type, e.fluid, e.fixed, e.kind, e.P_critical};
            e.V_inc = need;
        }
        program.push_back(std::move(e));
    }
    if (programme_replaced_) {
        element = element_none;
    } else if (element >= 0) {
        // The running element where it stands now; gone with it, none runs.
        const auto at = std::find(origin_.begin(), origin_.end(), element);
        element = at == origin_.end() ? element_none : int(at - origin_.begin());
    }
    job.program = std::move(program);
    job.element = element;
}

void TCementOptionsForm::fill() {
    if (filling_) return;
    filling_ = true;
    const int text_height = grdProgram->Canvas().TextHeight("Ag");
    grdProgram->SetDefaultRowHeight(text_height + 3);
    grdProgram->SetColWidths(0, std::max(1, grdProgram->ClientWidth()));

    report_list_ = std::make_unique<lib::options_list>();
    report_work_.enum_values(*report_list_);
    report_editor_->clear();
    report_editor_->show_options(*report_list_, 1, lib::grid_columns::name | lib::grid_columns::value);
    plan_list_ = std::make_unique<lib::options_list>();
    work_.enum_values(*plan_list_);
    plan_editor_->clear();
    plan_editor_->show_options(*plan_list_, 1,
                               lib::grid_columns::name | lib::grid_columns::unit | lib::grid_columns::value);

    if (cbRastvor->Items().Count() != int(work_.fluids.size())) {
        cbRastvor->Items().Clear();
        for (const TRastvor& f : work_.fluids) cbRastvor->Items().Add(f.name);
    }
    edCalCem->SetText(work_.fixed_fluids[0].calibr_file_name);
    edCalGelcem->SetText(work_.fixed_fluids[1].calibr_file_name);
    edCalGazocem->SetText(work_.fixed_fluids[2].calibr_file_name);
    cbPlDigital->SetChecked(work_.digital_density);
    const int sel = work_.selected_fluid;
    const bool has_fluid = sel >= 0 && std::size_t(sel) < work_.fluids.size();
    if (has_fluid) {
        const TRastvor& f = work_.fluids[std::size_t(sel)];
        cbRastvor->SetItemIndex(sel);
        edPl->SetText(num(f.density));
        edDob->SetText(f.additive);
        edPlDob->SetText(num(f.additive_density));
        edOsn->SetText(f.base);
        edPlOsn->SetText(num(f.base_density));
        edVyaz->SetText(num(f.viscosity));
        edCalFile->SetText(f.calibr_file_name);
    } else {
        cbRastvor->SetItemIndex(-1);
    }
    pnlCurrentRastvor->SetVisible(has_fluid);
    btnDel->SetVisible(has_fluid);

    const int n = int(work_.program.size());
    grdProgram->SetRowCount(std::max(1, n));
    for (int r = 0; r < n; ++r) grdProgram->SetCells(0, r, work_.program[std::size_t(r)].name);
    if (n == 0) grdProgram->SetCells(0, 0, "");
    if (cbSelRastvor->Items().Count() != int(work_.fluids.size()) + 3) load_fluid_names(cbSelRastvor, work_);
    if (n > 0) {
        if (row() < 0) row() = 0;
        if (row() >= n) row() = n - 1;
        const CementProgramElement& e = work_.program[std::size_t(row())];
        int index = e.fluid_type;
        if (e.fluid_type >= list_fluid_base) {
            index = -1;
            for (std::size_t k = 0; k < work_.fluids.size(); ++k)
                if (same_fluid(work_.fluids[k], e.fluid)) {
                    index = int(k) + list_fluid_base;
                    break;
                }
        }
        cbSelRastvor->SetItemIndex(index < cbSelRastvor->Items().Count() ? index : -1);
        rgId->SetItemIndex(e.kind >= 0 && e.kind < stage_kind_count ? e.kind : -1);
        edPmax->SetText(num(e.P_critical));
    } else {
        row() = -1;
        cbSelRastvor->SetItemIndex(-1);
        rgId->SetItemIndex(-1);
        edPmax->SetText("");
    }
    grdProgram->Invalidate();
    fill_construction();
    filling_ = false;
}

void TCementOptionsForm::fill_construction() {
    well_->get_construction()->fill_grid();
    if (!work_.columns.empty()) {
        const int top = std::clamp(work_.columns.front() + 1, 1, ConstrGrid->RowCount() - 1);
        const int bottom = std::clamp(work_.columns.back() + 1, 1, ConstrGrid->RowCount() - 1);
        TGridRect r{};
        r.Left = 0;
        r.Right = ConstrGrid->ColCount() - 1;
        r.Top = top;
        r.Bottom = bottom;
        ConstrGrid->SetSelection(r);
        ConstrGrid->SetEnabled(false);
        Panel3->SetVisible(false);
        btnSelConstruction->SetCaption("Заново выбрать колонны");
    } else {
        ConstrGrid->SetEnabled(true);
        Panel3->SetVisible(true);
        btnSelConstruction->SetCaption("Выбрать колонны");
    }
}

void TCementOptionsForm::read_back() {
    if (filling_) return;
    report_editor_->get_options();
    plan_editor_->get_options();
    const int sel = work_.selected_fluid;
    if (sel >= 0 && std::size_t(sel) < work_.fluids.size()) {
        TRastvor& f = work_.fluids[std::size_t(sel)];
        f.density = read_num(edPl);
        f.additive = edDob->Text();
        f.additive_density = read_num(edPlDob);
        f.base = edOsn->Text();
        f.base_density = read_num(edPlOsn);
        f.viscosity = read_num(edVyaz);
        f.calibr_file_name = edCalFile->Text();
    }
    work_.digital_density = cbPlDigital->Checked();
    if (!work_.program.empty() && row() >= 0 && std::size_t(row()) < work_.program.size())
        work_.program[std::size_t(row())].P_critical = read_num(edPmax);
}

// ---- handlers ---------------------------------------------------------------------

void TCementOptionsForm::btnPoreAndInstrOptClick() {
    read_back();
    // The hub's own windows, on the hub's well data: each takes the hub's
    // lock for its reads and writes, so the recording goes on meanwhile.
    {
        reg::ConstructionWindow w(this, *sys()->get_pore().get_construction(), sys_lock_obj());
        w.execute();
    }
    edit_drill_string(this);
    copy_well();
    fill();
}

void TCementOptionsForm::btnAddClick() {
    read_back();
    TRastvorForm ask(this);
    ask.SetCaption("Введите новое имя");
    ask.btnAdd->SetCaption("Добавить");
    if (ask.ShowModal() != mrCancel && !ask.edName->Text().empty()) {
        work_.fluids.push_back(TRastvor::made_by_operator(ask.edName->Text()));
        work_.selected_fluid = int(work_.fluids.size()) - 1;
    } else {
        work_.selected_fluid = -1;
    }
    fill();
}

void TCementOptionsForm::btnDelClick() {
    read_back();
    int& sel = work_.selected_fluid;
    if (sel >= 0 && std::size_t(sel) < work_.fluids.size()) work_.fluids.erase(work_.fluids.begin() + sel);
    if (sel >= int(work_.fluids.size())) sel = int(work_.fluids.size()) - 1;
    fill();
}

void TCementOptionsForm::cbRastvorChange() {
    if (filling_) return;
    read_back();
    work_.selected_fluid = cbRastvor->ItemIndex();
    fill();
}

void TCementOptionsForm::btnAddProgramClick() {
    read_back();
    TAddProgramForm add(this);
    if (add.add_element(work_, false)) {
        origin_.resize(work_.program.size() - 1);
        origin_.push_back(-1);
        row() = int(work_.program.size()) - 1;
    } else {
        row() = -1;
    }
    fill();
}

void TCementOptionsForm::btnDelProgramClick() {
    read_back();
    const int r = row();
    if (r >= 0 && std::size_t(r) < work_.program.size()) {
        work_.program.erase(work_.program.begin() + r);
        if (std::size_t(r) < origin_.size()) origin_.erase(origin_.begin() + r);
    }
    if (row() >= int(work_.program.size())) row() = int(work_.program.size()) - 1;
    fill();
}

void TCementOptionsForm::grdProgramClick() {
    read_back();
    row() = grdProgram->Row();
    fill();
}

void TCementOptionsForm::btnRenameProgramClick() {
    read_back();
    const int r = row();
    if (r < 0 || std::size_t(r) >= work_.program.size()) return;
    TRastvorForm ask(this);
    ask.SetCaption("Введите новое имя");
    ask.btnAdd->SetCaption("OK");
    ask.edName->SetText(work_.program[std::size_t(r)].name);
    if (ask.ShowModal() != mrCancel) work_.program[std::size_t(r)].name = ask.edName->Text();
    fill();
}

void TCementOptionsForm::btnDefaultProgramClick() {
    read_back();
    make_default_programme(work_);
    origin_.assign(work_.program.size(), -1);
    programme_replaced_ = true;
    stored_element_ = element_none;
    row() = 0;
    fill();
}

void TCementOptionsForm::take_fixed(CementProgramElement& e, int fixed) {
    e.fixed = work_.fixed_fluids[std::size_t(fixed)];
}

void TCementOptionsForm::cbSelRastvorChange() {
    if (filling_ || work_.program.empty() || row() < 0) return;
    read_back();
    CementProgramElement& e = work_.program[std::size_t(row())];
    const int f = cbSelRastvor->ItemIndex();
    e.fluid_type = f;
    if (f >= fluid_cement && f <= fluid_gas_cement) {
        take_fixed(e, f);
        e.kind = f + 1;
    } else if (f >= list_fluid_base && std::size_t(f - list_fluid_base) < work_.fluids.size()) {
        e.fluid = work_.fluids[std::size_t(f - list_fluid_base)];
    }
    fill();
}

void TCementOptionsForm::rgIdClick() {
    if (filling_ || work_.program.empty() || row() < 0) return;
    read_back();
    CementProgramElement& e = work_.program[std::size_t(row())];
    e.kind = rgId->ItemIndex();
    if (e.kind >= kind_cement && e.kind <= kind_gas_cement) {
        e.fluid_type = e.kind - 1;
        take_fixed(e, e.fluid_type);
    }
    fill();
}

void TCementOptionsForm::btnSelConstructionClick() {
    read_back();
    work_.columns.clear();
    if (ConstrGrid->Enabled()) {
        const TGridRect s = ConstrGrid->Selection();
        const pore::Construction& c = *well_->get_construction();
        // An element the well does not have is no column to cement: the
        // report would take its stale numbers for the column's.
        for (int r = std::max(1, s.Top); r <= s.Bottom && r <= c.size(); ++r)
            if (c.get_item(r - 1).enabled) work_.columns.push_back(r - 1);
        // A selection of nothing real leaves the grid to choose again.
    }
    fill();
}

std::string TCementOptionsForm::browse_calibration() {
    std::string exe = sys()->get_exe_path();
    if (!exe.empty() && exe.back() != '/') exe += '/';
    const std::string folder = exe + "params/calibr";
    (void)os::make_directories(folder);
    OpenCalDialog->SetInitialDir(folder);
    OpenCalDialog->SetFileName("");
    if (!OpenCalDialog->Execute()) return {};
    return std::filesystem::absolute(OpenCalDialog->FileName()).string();
}

void TCementOptionsForm::btnCalFileBrowseClick() {
    read_back();
    const int sel = work_.selected_fluid;
    if (sel < 0 || std::size_t(sel) >= work_.fluids.size()) return;
    const std::string file = browse_calibration();
    if (!file.empty()) work_.fluids[std::size_t(sel)].calibr_file_name = file;
    fill();
}

void TCementOptionsForm::btnCalFileFixedBrowseClick(int fixed) {
    read_back();
    const std::string file = browse_calibration();
    if (!file.empty()) work_.fixed_fluids[std::size_t(fixed)].calibr_file_name = file;
    fill();
}

void TCementOptionsForm::btnApplyClick() {
    read_back();
    fill();
}
