#include "gti/registr_old/hub_windows.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <optional>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/min_max_values.h"
#include "gti/registr_old/pore_construction.h"
#include "gti/registr_old/race_info.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/text_storage.h"
#include "library/controls/control_helpers.h"
#include "library/options/grid_options.h"
#include "library/options/options.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/canvas.h"

namespace reg {

using namespace ui;

namespace {

// Holds the lock, when there is one, for a read or write of the object.
class MaybeLocked {
public:
    explicit MaybeLocked(lib::lock_object* lock) {
        if (lock) hold_.emplace(lock);
    }

private:
    std::optional<lib::Locker> hold_;
};

constexpr int button_width = 85;
constexpr int gap = 8;

// A number a float holds, with a decimal comma or point; blanks around it
// do not count.
bool number_in(const std::string& text, double& value) {
    double v = 0;
    if (!rtl::TryStrToFloat(text, v) || !std::isfinite(v) || std::fabs(v) > FLT_MAX) return false;
    value = v;
    return true;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

// ---- the common frame ----------------------------------------------------------------

HubGridWindow::HubGridWindow(TComponent* owner, const std::string& caption, lib::lock_object* lock, bool editing)
    : TForm(owner), lock_(lock) {
    SetCaption(caption);
    SetPosition(poDesktopCenter);
    SetClientWidth(640);
    SetClientHeight(360);

    pnlBottom = new TPanel(this);
    pnlBottom->SetParent(this);
    pnlBottom->SetAlign(alBottom);
    pnlBottom->SetHeight(43);
    pnlBottom->SetBevelOuter(bvNone);

    pnlMessage = new TPanel(this);
    pnlMessage->SetName("pnlMessage");
    pnlMessage->SetParent(this);
    pnlMessage->SetAlign(alBottom);
    pnlMessage->SetBevelOuter(bvNone);
    pnlMessage->SetCaption("");
    pnlMessage->SetVisible(false);
    lblMessage = new TLabel(this);
    lblMessage->SetName("lblMessage");
    lblMessage->SetParent(pnlMessage);
    lblMessage->SetWordWrap(true);
    lblMessage->Font().SetColor(clMaroon);

    const int width = ClientWidth();
    btnOk = nullptr;
    if (editing) {
        btnOk = new TButton(this);
        btnOk->SetName("btnOk");
        btnOk->SetParent(pnlBottom);
        btnOk->SetCaption("OK");
        btnOk->SetDefault(true);
        btnOk->SetBounds(width - 2 * (gap + button_width), 9, button_width, 25);
        btnOk->SetAnchors({akTop, akRight});
        btnOk->OnClick = [this](TObject*) {
            Grid->CommitComboValue();
            if (!accepted()) return;
            {
                MaybeLocked hold(lock_);
                apply();
            }
            finish(mrOk);
        };
    }
    btnCancel = new TButton(this);
    btnCancel->SetName("btnCancel");
    btnCancel->SetParent(pnlBottom);
    btnCancel->SetCaption(editing ? "Отмена" : "Закрыть");
    btnCancel->SetCancel(true);
    btnCancel->SetBounds(width - gap - button_width, 9, button_width, 25);
    btnCancel->SetAnchors({akTop, akRight});
    btnCancel->OnClick = [this](TObject*) { finish(mrCancel); };

    Grid = new widrak::TMyGrid(this);
    Grid->SetName("Grid");
    Grid->SetParent(this);
    Grid->SetAlign(alClient);
    Grid->SetFixedCols(0);
    TGridOptions options{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    if (editing) options = options << goEditing;
    Grid->SetOptions(options);
    Grid->SetTabStop(true);
    SetActiveControl(Grid);

    OnClose = [this](TObject*, TCloseAction& action) {
        if (!closed_) {
            closed_ = true;
            closing();
        }
        // A window beside the recording is done with once closed.
        if (!Modal()) action = caFree;
    };
    lib::colorize_form(this);
}

bool HubGridWindow::execute() {
    closed_ = false;
    const bool ok = ShowModal() == mrOk;
    if (!closed_) {
        closed_ = true;
        closing();
    }
    return ok;
}

void HubGridWindow::tell(const std::string& text) {
    if (text.empty()) {
        pnlMessage->SetVisible(false);
        lblMessage->SetCaption("");
        return;
    }
    // Above the buttons, as high as the text's lines at the window's width.
    pnlMessage->SetTop(pnlBottom->Top() - 1);
    pnlMessage->SetVisible(true);
    lblMessage->SetBounds(gap, 6, ClientWidth() - 2 * gap, 16);
    lblMessage->SetAnchors({akLeft, akTop, akRight});
    lblMessage->SetCaption(text);
    pnlMessage->SetHeight(lblMessage->Height() + 10);
}

void HubGridWindow::tell_refusals() {
    Grid->OnEditRefused = [this](TObject*, int, int, const std::string& refusal) { tell(refusal); };
    Grid->OnSetEditText = [this](TObject*, int, int, const std::string&) { tell(""); };
}

void HubGridWindow::show_cell(int col, int row) {
    if (col < Grid->FixedCols() || col >= Grid->ColCount() || row < Grid->FixedRows() || row >= Grid->RowCount())
        return;
    Grid->SetCol(col);
    Grid->SetRow(row);
    SetActiveControl(Grid);
}

void HubGridWindow::finish(TModalResult result) {
    if (Modal())
        SetModalResult(result);
    else
        Close();
}

// ---- the construction ------------------------------------------------------------------

ConstructionWindow::ConstructionWindow(TComponent* owner, pore::Construction& construction, lib::lock_object* lock)
    : HubGridWindow(owner, "Конструкция скважины", lock, true), construction_(construction) {
    SetClientWidth(860);
    SetClientHeight(340);
    Drawing = new TPaintBox(this);
    Drawing->SetName("Drawing");
    Drawing->SetParent(this);
    Drawing->SetAlign(alRight);
    Drawing->SetWidth(180);
    Drawing->OnPaint = [this](TObject*) { paint_drawing(); };
    Grid->SetAlignment(taLeftJustify);  // the names; the numbers the construction aligns
    MaybeLocked hold(lock_);
    construction_.set_grid(Grid);
    construction_.fill_grid();
}

ConstructionWindow::~ConstructionWindow() {
    // Freed without being closed (with its owner): the binding goes all the
    // same.
    if (construction_.get_grid() == Grid) construction_.set_grid(nullptr);
}

void ConstructionWindow::apply() {
    // Another editor of the construction may have bound its own grid since:
    // this window's rows are the ones taken.
    if (construction_.get_grid() != Grid) construction_.set_grid(Grid);
    construction_.get_opt_from_grid();
}

void ConstructionWindow::closing() {
    MaybeLocked hold(lock_);
    if (construction_.get_grid() == Grid) construction_.set_grid(nullptr);
}

void ConstructionWindow::paint_drawing() {
    TCanvas& c = Drawing->Canvas();
    const TRect r = Drawing->ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clWhite);
    c.FillRect(r);
    MaybeLocked hold(lock_);
    float depth = 0;
    for (const pore::ConstrElement& e : construction_.elements())
        if (e.enabled) depth = std::max(depth, e.bottom);
    const float diameter = construction_.calc_max_diam();
    if (!(depth > 0) || !(diameter > 0)) return;
    c.Pen().SetColor(clBlack);
    c.Pen().SetStyle(psSolid);
    c.Brush().SetColor(clSilver);
    // A margin each side: the widest element does not touch the edges.
    construction_.draw(depth, diameter, &c, Rect(r.Left + 10, r.Top + 6, r.Right - 10, r.Bottom - 6), true);
}

// ---- the alarm limits -------------------------------------------------------------------

namespace {

// The columns of the limits' grid as the operator reads them.
const char* const limit_columns[] = {"Название параметра", "Мин. значение",      "Макс. значение",
                                     "№ реле",             "Реле мин. значение", "Реле макс. значение"};

// Why a limits cell cannot hold the text, or nothing. A limit is a number
// or nothing (the limit off); the relay is a whole number or nothing.
std::string limit_refusal(const std::string& text, int col, const std::string& param) {
    const std::string t = rtl::Trim(text);
    if (t.empty() || col < 1 || col > 5) return {};
    if (col == 3) {
        int n = 0;
        if (rtl::TryStrToInt(t, n)) return {};
        return quoted(t) + " — не номер реле.\nНомер реле параметра " + quoted(param) +
               " — целое число от 1 до 4; пустая ячейка — без реле.";
    }
    double v = 0;
    if (number_in(t, v)) return {};
    return quoted(t) + " — не число.\n" + quoted(limit_columns[col]) + " параметра " + quoted(param) +
           " задаётся числом (например 1,9); пустая ячейка выключает предел.";
}

}  // namespace

AlarmLimitsWindow::AlarmLimitsWindow(TComponent* owner, MinMaxValues& limits, lib::lock_object* lock)
    : HubGridWindow(owner, "Пределы сигнализации", lock, true), limits_(limits) {
    {
        MaybeLocked hold(lock_);
        work_ = std::make_unique<MinMaxValues>(limits_);
    }
    cbParam = new TComboBox(this);
    cbParam->SetName("cbParam");
    cbParam->SetParent(pnlBottom);
    cbParam->SetStyle(csDropDownList);
    cbParam->SetBounds(gap, 10, 230, 23);
    const AllParams& all = get_all_params();
    for (int i = 0; i < all.get_items_count(); ++i) {
        const DefaultParam& p = all.at(i);
        if (!p.global_name.empty() && p.global_name.rfind("__", 0) != 0) cbParam->Items().AddObject(p.name, i);
    }
    btnAdd = new TButton(this);
    btnAdd->SetName("btnAdd");
    btnAdd->SetParent(pnlBottom);
    btnAdd->SetCaption("Добавить");
    btnAdd->SetBounds(gap + 230 + gap, 9, button_width, 25);
    btnAdd->OnClick = [this](TObject*) {
        const int k = cbParam->ItemIndex();
        if (k < 0) return;
        const AnsiString param = get_all_params().at(static_cast<int>(cbParam->Items().Objects(k))).global_name;
        work_->read_from_grid(Grid);
        if (!work_->contains(param)) work_->add(param);
        refill();
        // The new row's limits are typed next.
        Grid->SetRow(work_->size());
        Grid->SetCol(1);
        SetActiveControl(Grid);
    };
    btnDelete = new TButton(this);
    btnDelete->SetName("btnDelete");
    btnDelete->SetParent(pnlBottom);
    btnDelete->SetCaption("Удалить");
    btnDelete->SetBounds(gap + 230 + gap + button_width + gap, 9, button_width, 25);
    btnDelete->OnClick = [this](TObject*) {
        const int row = Grid->Row();
        if (!Grid->Enabled() || row < 1 || row > work_->size()) return;
        // Reading the grid drops the rows without a parameter (a damaged
        // table's): the chosen row then stands as many places higher as
        // such rows lie above it, and a chosen row of that kind is gone.
        const auto& rows = work_->rows();
        const bool dropped = rows[static_cast<std::size_t>(row - 1)].param.empty();
        const int index = static_cast<int>(
            std::count_if(rows.begin(), rows.begin() + row - 1, [](const MinMaxValue& v) { return !v.param.empty(); }));
        work_->read_from_grid(Grid);
        if (!dropped) work_->erase(index);
        refill();
        SetActiveControl(Grid);
    };
    Grid->OnGetCellProps = [](TObject*, int col, int, widrak::CELL_PROPS& props) {
        if (col == 0) props = widrak::cpReadOnly;  // the parameter is chosen where the row is added
    };
    Grid->OnGetAlignment = [](TObject*, int col, int, TAlignment& a) { a = col == 0 ? taLeftJustify : taRightJustify; };
    Grid->OnCheckEdit = [this](TObject*, int col, int row, const std::string& text, std::string& refusal) {
        refusal = limit_refusal(text, col, rtl::Trim(Grid->Cells(0, row)));
    };
    tell_refusals();
    refill();
}

AlarmLimitsWindow::~AlarmLimitsWindow() = default;

void AlarmLimitsWindow::refill() {
    work_->fill_to_grid(Grid);
    Grid->AlignHorizontal();
    Grid->ResizeRow(0);
    Grid->Invalidate();
}

bool AlarmLimitsWindow::accepted() {
    if (!Grid->Enabled()) return true;
    for (int row = 1; row < Grid->RowCount(); ++row) {
        const std::string param = rtl::Trim(Grid->Cells(0, row));
        if (param.empty()) continue;  // a row the table keeps as it was
        for (int col = 1; col <= 5; ++col) {
            const std::string refusal = limit_refusal(Grid->Cells(col, row), col, param);
            if (refusal.empty()) continue;
            show_cell(col, row);
            tell(refusal);
            return false;
        }
        // A pair of limits that no value can satisfy alarms always.
        auto crossed = [&](int lo_col, int hi_col, const char* what) {
            const std::string lo = rtl::Trim(Grid->Cells(lo_col, row)), hi = rtl::Trim(Grid->Cells(hi_col, row));
            double a = 0, b = 0;
            if (lo.empty() || hi.empty() || !number_in(lo, a) || !number_in(hi, b) ||
                !(static_cast<float>(a) > static_cast<float>(b)))
                return false;
            show_cell(lo_col, row);
            tell(std::string(what) + " параметра " + quoted(param) + " выше " +
                 (lo_col == 1 ? "максимума" : "максимума реле") + ": " + lo + " > " + hi +
                 ". Исправьте один из пределов.");
            return true;
        };
        if (crossed(1, 2, "Минимум")) return false;
        int relay = 0;
        if (rtl::TryStrToInt(rtl::Trim(Grid->Cells(3, row)), relay) && relay >= 1 && relay <= 4 &&
            crossed(4, 5, "Минимум реле"))
            return false;
    }
    return true;
}

void AlarmLimitsWindow::apply() {
    work_->read_from_grid(Grid);
    limits_ = *work_;
}

// ---- the depth sensor's calibration ----------------------------------------------------

namespace {

const char* const calibration_columns[] = {"Таль.1, м", "Таль.2, м", "Коэф.ДОЛ, имп/м"};

// Why a calibration cell cannot hold the text, or nothing: every cell holds
// a number.
std::string calibration_refusal(const std::string& text, int col, int row) {
    double v = 0;
    if (col < 0 || col > 2 || number_in(text, v)) return {};
    const std::string t = rtl::Trim(text);
    return (t.empty() ? std::string("Пустая ячейка") : quoted(t) + " — не число") + ".\nВ ячейке " +
           quoted(calibration_columns[col]) + " интервала " + std::to_string(row) + " должно стоять число.";
}

}  // namespace

DepthCalibrationWindow::DepthCalibrationWindow(TComponent* owner, calc::DepthCalc& calc, lib::lock_object* lock)
    : HubGridWindow(owner, "Калибровка датчика глубины", lock, true), calc_(calc) {
    SetClientWidth(360);
    {
        MaybeLocked hold(lock_);
        calc_.set_data_to_grid(Grid);
    }
    Grid->AlignHorizontal();
    Grid->ResizeRow(0);
    Grid->OnCheckEdit = [](TObject*, int col, int row, const std::string& text, std::string& refusal) {
        refusal = calibration_refusal(text, col, row);
    };
    tell_refusals();
    // The warning about a table without calibration stands for the table
    // it was given for: a change asks again.
    Grid->OnSetEditText = [this](TObject*, int, int, const std::string&) {
        tell("");
        uncalibrated_told_ = false;
    };
}

bool DepthCalibrationWindow::accepted() {
    struct Interval {
        double top = 0, bottom = 0, coeff = 0;
        std::string shown;
    };
    std::vector<Interval> intervals;
    for (int row = 1; row < Grid->RowCount(); ++row) {
        double v[3] = {};
        for (int col = 0; col < 3; ++col) {
            const std::string refusal = calibration_refusal(Grid->Cells(col, row), col, row);
            if (refusal.empty()) {
                number_in(Grid->Cells(col, row), v[col]);
                continue;
            }
            show_cell(col, row);
            tell(refusal);
            return false;
        }
        Interval i{v[0], v[1], v[2],
                   std::to_string(row) + " (" + rtl::Trim(Grid->Cells(0, row)) + " → " +
                       rtl::Trim(Grid->Cells(1, row)) + " м)"};
        // The block travels down an interval: from Таль.1 to the lower Таль.2.
        if (!(static_cast<float>(i.top) > static_cast<float>(i.bottom))) {
            show_cell(0, row);
            tell("Интервал " + i.shown + ": его концы в неверном порядке. " +
                 "Таль.1 — верхний конец интервала, она должна быть больше Таль.2.");
            return false;
        }
        for (std::size_t k = 0; k < intervals.size(); ++k) {
            const Interval& o = intervals[k];
            if (std::min(i.top, o.top) > std::max(i.bottom, o.bottom)) {
                show_cell(0, row);
                tell("Интервалы " + o.shown + " и " + i.shown + " перекрываются. " +
                     "Интервалы могут только примыкать друг к другу.");
                return false;
            }
        }
        intervals.push_back(i);
    }
    const bool calibrated = std::any_of(intervals.begin(), intervals.end(), [](const Interval& i) {
        return static_cast<float>(i.coeff) > 0;
    });
    if (calibrated || intervals.empty() || uncalibrated_told_) return true;
    uncalibrated_told_ = true;
    tell("Ни у одного интервала нет коэффициента больше 0: датчик глубины не откалиброван, и глубина по "
         "нему не считается. Нажмите OK ещё раз, чтобы сохранить таблицу без калибровки.");
    return false;
}

void DepthCalibrationWindow::apply() { calc_.get_data_from_grid(Grid); }

// ---- the event log ------------------------------------------------------------------------

EventLogWindow::EventLogWindow(TComponent* owner, RegistrLogOld& log)
    : HubGridWindow(owner, "Журнал событий", nullptr, false), log_(log) {
    SetClientWidth(760);
    SetClientHeight(420);
    Grid->SetOptions(Grid->Options() << goRowSelect);
    Grid->SetColCount(3);
    Grid->SetAlignment(taLeftJustify);
    Grid->OnGetAlignment = [](TObject*, int col, int, TAlignment& a) { a = col == 2 ? taLeftJustify : taRightJustify; };
    log_.set_grid(Grid);
    log_.load();
    Grid->SetColWidths(0, 50);
    Grid->SetColWidths(1, 150);
    Grid->SetColWidths(2, 540);
    Grid->SetRow(Grid->RowCount() - 1);
}

EventLogWindow::~EventLogWindow() {
    if (log_.get_grid() == Grid) log_.set_grid(nullptr);
}

void EventLogWindow::closing() {
    if (log_.get_grid() == Grid) log_.set_grid(nullptr);
}

// ---- the remarks ----------------------------------------------------------------------------

RemarksWindow::RemarksWindow(TComponent* owner, text::Storage& remarks) : TForm(owner), remarks_(remarks) {
    SetCaption("Примечания");
    SetPosition(poDesktopCenter);
    SetClientWidth(360);
    SetClientHeight(420);
    // The window has no other way out where no window manager frames it.
    pnlBottom = new TPanel(this);
    pnlBottom->SetName("pnlBottom");
    pnlBottom->SetParent(this);
    pnlBottom->SetAlign(alBottom);
    pnlBottom->SetHeight(43);
    pnlBottom->SetBevelOuter(bvNone);
    btnClose = new TButton(this);
    btnClose->SetName("btnClose");
    btnClose->SetParent(pnlBottom);
    btnClose->SetCaption("Закрыть");
    btnClose->SetCancel(true);
    btnClose->SetBounds(ClientWidth() - gap - button_width, 9, button_width, 25);
    btnClose->SetAnchors({akTop, akRight});
    btnClose->OnClick = [this](TObject*) { Close(); };
    SetActiveControl(btnClose);
    Drawing = new TPaintBox(this);
    Drawing->SetName("Drawing");
    Drawing->SetParent(this);
    Drawing->SetAlign(alClient);
    Drawing->OnPaint = [this](TObject*) { paint_remarks(); };
    OnClose = [this](TObject*, TCloseAction& action) {
        if (!Modal()) action = caFree;
    };
    lib::colorize_form(this);
}

void RemarksWindow::paint_remarks() {
    TCanvas& c = Drawing->Canvas();
    const TRect r = Drawing->ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clWhite);
    c.FillRect(r);
    c.Font().SetColor(clBlack);
    // The store takes its own lock for each call; copies are drawn.
    std::vector<text::Record> records = remarks_.get_records();
    int bottom = r.Bottom - 4;
    for (auto it = records.rbegin(); it != records.rend() && bottom > r.Top; ++it) {
        it->draw(&c, bottom, r.Left + 6, r.Right - 6);
        c.Pen().SetColor(clSilver);
        c.MoveTo(r.Left + 2, it->rect.Top - 3);
        c.LineTo(r.Right - 2, it->rect.Top - 3);
        bottom = it->rect.Top - 6;
    }
}

// ---- the trip information --------------------------------------------------------------------

RaceInfoWindow::RaceInfoWindow(TComponent* owner, RaceInfoOld& race, int kind, lib::lock_object* lock)
    : HubGridWindow(owner, "Сведения о рейсе", lock, true), race_(race) {
    SetClientWidth(560);
    SetClientHeight(520);
    {
        MaybeLocked hold(lock_);
        shown_ = std::make_unique<RaceInfoOld>(race_);
    }
    edited_ = std::make_unique<RaceInfoOld>(*shown_);
    Grid->SetColCount(4);
    Grid->SetRowCount(2);
    Grid->SetFixedRows(1);
    Grid->SetOptions(Grid->Options() << goAlwaysShowEditor);
    Grid->SetCells(0, 0, "№");
    Grid->SetCells(1, 0, "Название");
    Grid->SetCells(2, 0, "Ед.изм.");
    Grid->SetCells(3, 0, "Значение");
    editor_ = std::make_unique<lib::grid_options>(Grid);
    RaceInfoOld::correct_race_options(kind, editor_->read_only_list(), editor_->black_list());
    list_ = std::make_unique<lib::options_list>();
    edited_->enum_values(*list_);
    editor_->show_options(*list_, 1, lib::grid_columns::all);
    for (int row = 0; row < Grid->RowCount(); ++row) Grid->ResizeRow(row);
    // The values take the width the names leave.
    lib::align_grid(Grid, true);
    const int first = Grid->FixedRows() + 1;
    if (first < Grid->RowCount() && editor_->get_item_by_index(first)) Grid->SetRow(first);
}

// The editor lets the grid's events go before the grid is freed.
RaceInfoWindow::~RaceInfoWindow() { editor_.reset(); }

void RaceInfoWindow::apply() {
    editor_->get_options();
    // Option by option: what the operator changed goes into the record, the
    // rest of it stays as the recording left it.
    lib::options_list shown, edited, live;
    shown_->enum_values(shown);
    edited_->enum_values(edited);
    race_.enum_values(live);
    if (shown.size() != edited.size() || live.size() != edited.size()) return;
    for (int i = 0; i < edited.size(); ++i) {
        const std::string text = edited.get_item(i)->get_serial_string();
        if (text != shown.get_item(i)->get_serial_string()) live.get_item(i)->set_serial_string(text);
    }
}

bool edit_race_info(RaceInfoOld& race, int kind, lib::lock_object* lock) {
    RaceInfoWindow w(nullptr, race, kind, lock);
    return w.execute();
}

}  // namespace reg
