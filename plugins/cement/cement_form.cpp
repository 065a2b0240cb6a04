#include "plugins/cement/cement_form.h"

#include <algorithm>
#include <filesystem>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/reg_system.h"
#include "library/controls/control_helpers.h"
#include "library/controls/draw_helpers.h"
#include "library/graphics/graphics_column.h"
#include "library/number_conv.h"
#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/application.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "plugins/cement/cement_plugin.h"

using namespace ui;
using namespace cement;

namespace {

struct CurveRow {
    const char* column;
    const char* param;
    const char* caption;
    TColor color;
    int width;
    int indicator;  // index into the six value indicators, -1 none
};

const CurveRow curve_rows[] = {
    {"колонка1", "cem_davl", "Давление", 0x0000FF, 1, 0},  {"колонка1", "cem_plotn", "Плотность", 0x008000, 1, 1},
    {"колонка1", "cem_temp", "Температура", 0x800080, 1, 2}, {"колонка1", "cem_rasx", "Расход", 0xFF0000, 1, 3},
    {"колонка2", "cem_V", "Объем", 0x008080, 1, 4},          {"колонка2", "cem_plan_V", "Плановый объем", 0x000000, 1, -1},
    {"колонка2", "cem_Vsumm", "Суммарный объем", 0x808000, 2, 5},
};

// The value each indicator shows, in the order of the indicators.
const char* const value_names[6] = {"cem_davl", "cem_plotn", "cem_temp", "cem_rasx", "cem_V", "cem_Vsumm"};

const char* const scale_names[12] = {"5 сек.",  "10 сек.", "20 сек.", "30 сек.", "1 мин.",  "2 мин.",
                                     "3 мин.",  "5 мин.",  "10 мин.", "15 мин.", "20 мин.", "30 мин."};

// The display range a parameter was registered with.
void chart_range(const char* name, double& left, double& right) {
    left = 0;
    right = 100;
    const AllParams& all = get_all_params();
    const int n = all.get_param_number(name);
    if (n < 0) return;
    left = all.at(n).min_value;
    right = all.at(n).max_value;
    if (!(right > left)) right = left + 1;
}

TPanel* make_indicator(TWinControl* parent, TComponent* owner, const char* name) {
    auto* p = new TPanel(owner);
    p->SetName(name);
    p->SetParent(parent);
    p->SetCaption("-");
    p->SetBevelOuter(bvLowered);
    p->SetParentColor(false);
    p->Font().SetName("Tahoma");
    p->Font().SetStyle({fsBold});
    return p;
}

}  // namespace

const int TCementForm::scale_seconds[12] = {5, 10, 20, 30, 60, 120, 180, 300, 600, 900, 1200, 1800};

TColor TCementForm::band_color(int kind) {
    switch (kind) {
        case kind_buffer: return 0xFF6666;
        case kind_cement: return 0x66FFFF;
        case kind_gel_cement: return 0x6666FF;
        case kind_waiting: return 0xF0F0F0;
        case kind_displacement: return 0xFF66FF;
        case kind_other: return 0xFFFFFF;
        default: return 0xC0C0C0;
    }
}

TColor TCementForm::state_color(int state) {
    switch (state) {
        case state_running: return 0x00FFFF;
        case state_done: return 0x808080;
        default: return 0xFFFFFF;
    }
}

TCementForm::TCementForm(TComponent* owner, CementData& job, ChartPoints& points)
    : TForm(owner), job_(job), points_(points) {
    SetName("CementForm");
    SetCaption("Контроль цементирования");
    SetClientWidth(1000);
    SetClientHeight(660);
    // Smaller, the programme's column (its values, its buttons and a couple
    // of its stages) or the profile and the chart beside it would be cut:
    // a page smaller than this scrolls instead.
    SetMinClientSize(760, 480);

    // ---- left: the programme, the values, the buttons -----------------------
    pnlProgram = new TGroupBox(this);
    pnlProgram->SetParent(this);
    pnlProgram->SetCaption("Программа цементирования");
    pnlProgram->SetAlign(alLeft);
    pnlProgram->SetWidth(260);

    pnlValues = new TPanel(this);
    pnlValues->SetParent(pnlProgram);
    pnlValues->SetAlign(alBottom);
    pnlValues->SetHeight(374);
    pnlValues->SetBevelOuter(bvNone);

    grdShowProgram = new TStringGrid(this);
    grdShowProgram->SetName("grdShowProgram");
    grdShowProgram->SetParent(pnlProgram);
    grdShowProgram->SetAlign(alClient);
    grdShowProgram->SetColCount(1);
    grdShowProgram->SetFixedCols(0);
    grdShowProgram->SetRowCount(1);
    grdShowProgram->SetFixedRows(0);
    grdShowProgram->SetDefaultDrawing(false);
    grdShowProgram->SetOptions({goRowSelect});
    grdShowProgram->SetScrollBars(ssVertical);
    grdShowProgram->OnDrawCell = [this](TObject*, int, int row, const TRect& r, TGridDrawState) {
        TCanvas& c = grdShowProgram->Canvas();
        const bool has = row >= 0 && std::size_t(row) < job_.program.size();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(has ? state_color(job_.program[std::size_t(row)].mode) : clWhite);
        c.FillRect(r);
        if (!has) return;
        const std::string& name = job_.program[std::size_t(row)].name;
        c.Font().SetColor(clBlack);
        c.Brush().SetStyle(bsClear);
        c.TextOut(r.Left + 2, r.Top + (r.Height() - c.TextHeight(name)) / 2, name);
    };

    struct Row {
        const char* caption;
        TPanel** indicator;
        const char* name;
    };
    const Row rows[] = {{"Давление", &tiP, "tiP"},           {"Плотность", &tiPl, "tiPl"},
                        {"Температура", &tiT, "tiT"},         {"Расход", &tiQ, "tiQ"},
                        {"Объем", &tiV, "tiV"},               {"Суммарный объем", &tiVsumm, "tiVsumm"},
                        {"Текущий этап", &tiCurrentProgram, "tiCurrentProgram"}};
    int y = 6;
    for (const Row& r : rows) {
        auto* l = new TLabel(this);
        l->SetParent(pnlValues);
        l->SetCaption(r.caption);
        l->SetBounds(6, y + 4, 120, 18);
        *r.indicator = make_indicator(pnlValues, this, r.name);
        (*r.indicator)->SetBounds(126, y, 124, 24);
        y += 28;
    }
    tiCurrentProgram->SetCaption("");
    lblLine = new TLabel(this);
    lblLine->SetName("lblLine");
    lblLine->SetParent(pnlValues);
    lblLine->SetBounds(6, y, 244, 18);
    lblLine->Font().SetStyle({fsBold});
    lblLine->Font().SetColor(clRed);
    lblLine->SetVisible(false);
    y += 22;
    auto* scale_label = new TLabel(this);
    scale_label->SetParent(pnlValues);
    scale_label->SetCaption("Масштаб");
    scale_label->SetBounds(6, y + 4, 120, 18);
    cbxScale = new TComboBox(this);
    cbxScale->SetName("cbxScale");
    cbxScale->SetParent(pnlValues);
    cbxScale->SetStyle(csDropDownList);
    cbxScale->SetBounds(126, y, 124, 24);
    y += 32;
    auto button = [&](TButton*& b, const char* name, const char* caption, int command) {
        b = new TButton(this);
        b->SetName(name);
        b->SetParent(pnlValues);
        b->SetCaption(caption);
        b->SetBounds(6, y, 244, 26);
        y += 30;
        b->OnClick = [this, command](TObject*) {
            if (on_command) on_command(command);
        };
    };
    button(btnOptions, "btnOptions", "Настройки", cmd_settings);
    button(btnNextProgram, "btnNextProgram", "Начать программу", cmd_next);
    button(btnReport, "btnReport", "Отчет", cmd_report);
    button(btnPrevProgram, "btnPrevProgram", "Возврат к предыдущему этапу", cmd_back);
    btnNextProgram->SetEnabled(false);
    btnReport->SetEnabled(false);

    // ---- right: the chart and the profile -----------------------------------
    pnlResult = new TGroupBox(this);
    pnlResult->SetParent(this);
    pnlResult->SetCaption("Результат");
    pnlResult->SetAlign(alClient);

    sbarVert = new TScrollBar(this);
    sbarVert->SetName("sbarVert");
    sbarVert->SetParent(pnlResult);
    sbarVert->SetKind(sbVertical);
    sbarVert->SetAlign(alRight);
    sbarVert->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
    sbarVert->OnChange = [this](TObject*) {
        if (!sbarVert->Enabled()) return;
        chart_.set_offset(sbarVert->Position());
        pbCementCurve->Invalidate();
    };

    ResultsPanel = new TPanel(this);
    ResultsPanel->SetName("ResultsPanel");
    ResultsPanel->SetParent(pnlResult);
    ResultsPanel->SetAlign(alClient);
    ResultsPanel->SetBevelOuter(bvNone);

    grdSections = new TStringGrid(this);
    grdSections->SetName("grdSections");
    grdSections->SetParent(ResultsPanel);
    grdSections->SetAlign(alLeft);
    grdSections->SetWidth(150);
    grdSections->SetColCount(2);
    grdSections->SetFixedCols(0);
    grdSections->SetRowCount(1);
    grdSections->SetFixedRows(0);
    grdSections->SetDefaultDrawing(false);
    grdSections->SetOptions({goRowSelect});
    grdSections->SetScrollBars(ssNone);
    grdSections->OnDrawCell = [this](TObject*, int col, int row, const TRect& r, TGridDrawState) {
        draw_profile_cell(shown_sections, grdSections->Canvas(), col, row, r, Font().Size());
    };
    grdSections->OnResize = [this](TObject*) { layout_sections(); };

    pbCementCurve = new TPaintBox(this);
    pbCementCurve->SetName("pbCementCurve");
    pbCementCurve->SetParent(ResultsPanel);
    pbCementCurve->SetAlign(alClient);
    pbCementCurve->OnPaint = [this](TObject*) {
        chart_.paint(&pbCementCurve->Canvas(), pbCementCurve->Color(), pbCementCurve->Width(),
                     pbCementCurve->Height());
    };
    pbCementCurve->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
        last_mouse_ = TPoint{x, y};
    };
    pbCementCurve->OnClick = [this](TObject*) { chart_.mouse_click(last_mouse_); };
    pbCementCurve->OnDblClick = [this](TObject*) { chart_.mouse_dblclick(last_mouse_); };
    pbCementCurve->OnResize = [this](TObject*) { update_scroll_bar(); };

    lblError = new TLabel(this);
    lblError->SetName("lblError");
    lblError->SetParent(ResultsPanel);
    lblError->SetAlign(alClient);
    lblError->SetWordWrap(true);
    lblError->Font().SetName("Arial");
    lblError->Font().SetStyle({fsBold});
    lblError->Font().SetColor(clRed);
    lblError->Font().SetHeight(20);
    lblError->SetVisible(false);

    // The job's files a failing disk kept from being written: the operator
    // sees that the stage's record is only in memory.
    lblUnwritten = new TLabel(this);
    lblUnwritten->SetName("lblUnwritten");
    lblUnwritten->SetParent(pnlProgram);
    lblUnwritten->SetAlign(alBottom);
    lblUnwritten->SetWordWrap(true);
    lblUnwritten->SetHeight(64);
    lblUnwritten->Font().SetStyle({fsBold});
    lblUnwritten->Font().SetColor(clRed);
    lblUnwritten->SetVisible(false);

    lib::colorize_form(this);

    for (const char* s : scale_names) cbxScale->Items().Add(s);
    cbxScale->SetItemIndex(5);
    if (job_.chart_scale >= 0 && job_.chart_scale < cbxScale->Items().Count()) cbxScale->SetItemIndex(job_.chart_scale);
    cbxScale->OnChange = [this](TObject*) {
        job_.chart_scale = cbxScale->ItemIndex();
        apply_scale();
        update_scroll_bar();
        if (sbarVert->Enabled()) sbarVert->SetFocus();
    };

    build_chart();
    apply_scale();
    sbarVert->SetPosition(sbarVert->Max());
    update_scroll_bar();
}

TCementForm::~TCementForm() {
    if (chart_loaded_) {
        try {
            (void)os::make_directories(std::filesystem::path(settings_path_).parent_path().string());
            rtl::IniFile ini(settings_path_);
            chart_.save_to_ini("cement", &ini);
        } catch (const std::exception& e) {
            os::log_error("TCementForm: " + std::string(e.what()));
        }
    }
    if (on_destroy) on_destroy();
}

std::string TCementForm::settings_path() const {
    std::string exe = sys()->get_exe_path();
    if (!exe.empty() && exe.back() != '/') exe += '/';
    return exe + "params/cement.ini";
}


void TCementForm::build_chart() {
    chart_.set_double_buffered(true);
    TPanel* indicators[6] = {tiP, tiPl, tiT, tiQ, tiV, tiVsumm};
    std::shared_ptr<lib::graphics::GraphicsColumn> columns[2];
    const char* captions[2] = {"колонка1", "колонка2"};
    for (int i = 0; i < 2; ++i) {
        auto c = std::make_shared<lib::graphics::GraphicsColumn>(&chart_, captions[i]);
        c->get_points_count = [this](int) { return int(points_.points.size()); };
        c->get_param_index = [this](const std::string& name) { return points_.column_index(name); };
        c->get_point_pos = [this](int, int i) {
            return i >= 0 && std::size_t(i) < points_.points.size() ? points_.points[std::size_t(i)].time : 0.0;
        };
        c->get_point_value = [this](int a, int i) {
            if (i < 0 || std::size_t(i) >= points_.points.size() || a < 0) return -1.0;
            const ChartPoint& p = points_.points[std::size_t(i)];
            return std::size_t(a) < p.values.size() ? double(p.values[std::size_t(a)]) : -1.0;
        };
        columns[i] = c;
        chart_.add_column(c);
    }
    for (const CurveRow& r : curve_rows) {
        double left, right;
        chart_range(r.param, left, right);
        columns[std::string(r.column) == "колонка1" ? 0 : 1]->add_curve(r.caption, r.param, left, right, r.color,
                                                                         r.width);
        if (r.indicator >= 0) indicators[r.indicator]->SetColor(lib::transform_color_light(r.color, 220, 0));
    }
    chart_.on_paint_column = [this](TCanvas* canvas, const TRect& r, int, const lib::graphics::ColumnPtr&) {
        paint_bands(canvas, r);
    };
    chart_.on_invalidate = [this] { pbCementCurve->Invalidate(); };
    chart_.on_invalidate_buffered = [this] { pbCementCurve->Invalidate(); };
    chart_.set_container(ResultsPanel);
    chart_.editor_offset = [this](int& x, int& y) {
        x += pbCementCurve->Left();
        y += pbCementCurve->Top();
    };
    // Kept from here on: the window may outlive the hub's root.
    settings_path_ = settings_path();
    try {
        rtl::IniFile ini(settings_path_);
        chart_.load_from_ini("cement", &ini);
    } catch (const std::exception& e) {
        os::log_error("TCementForm: " + std::string(e.what()));
    }
    chart_loaded_ = true;
}

void TCementForm::paint_bands(TCanvas* canvas, const TRect& r) {
    const int n = int(job_.program.size());
    const int last = job_.element == element_finished ? n - 1 : std::min(job_.element, n - 1);
    if (last < 0) return;
    lib::graphics::PaintData pd;
    chart_.calc_paint_data(pd, canvas);
    // The sheet draws on after the bands with whatever the canvas holds.
    const TColor pen_color = canvas->Pen().Color(), brush_color = canvas->Brush().Color();
    const TPenStyle pen_style = canvas->Pen().Style();
    const TBrushStyle brush_style = canvas->Brush().Style();
    for (int i = 0; i <= last; ++i) {
        const CementProgramElement& e = job_.program[std::size_t(i)];
        if (!(e.start > 0) || !(e.end > 0)) continue;
        int y1 = chart_.x_to_pos(e.start, pd), y2 = chart_.x_to_pos(e.end, pd);
        if (y1 > y2) std::swap(y1, y2);
        if (y2 < r.Top || y1 > r.Bottom) continue;
        canvas->Pen().SetColor(clBlack);
        canvas->Pen().SetStyle(psSolid);
        canvas->Brush().SetColor(band_color(e.kind));
        canvas->Brush().SetStyle(bsDiagCross);
        canvas->Rectangle(r.Left, std::max(y1, r.Top), r.Right, std::min(y2, r.Bottom));
    }
    canvas->Pen().SetColor(pen_color);
    canvas->Pen().SetStyle(pen_style);
    canvas->Brush().SetColor(brush_color);
    canvas->Brush().SetStyle(brush_style);
}

void TCementForm::apply_scale() {
    int i = cbxScale->ItemIndex();
    if (i < 0 || i >= 12) i = 5;
    chart_.set_scale(scale_seconds[i] / 86400.0);
    pbCementCurve->Invalidate();
}

void TCementForm::update_scroll_bar() {
    const bool at_max = sbarVert->Position() >= sbarVert->MaxPosition();
    int position = 0, max = 0, page = 0;
    const TRect r = pbCementCurve->ClientRect();
    const bool have = chart_.get_scroll_bar_values(position, max, page, &pbCementCurve->Canvas(), r);
    if (have && max > 0) {
        // The thumb is a page long and its last position is the chart's
        // largest offset, so the end of the data can be brought into view.
        page = std::max(page, 1);
        sbarVert->SetPageSize(0);
        sbarVert->SetParams(std::clamp(position, 0, max), 0, max + page - 1);
        sbarVert->SetPageSize(page);
        if (at_max || !sbarVert->Enabled()) sbarVert->SetPosition(sbarVert->MaxPosition());
        // 5 mm of screen.
        sbarVert->SetLargeChange(std::max(1, int(Screen().PixelsPerInch() * 0.19685)));
        sbarVert->SetEnabled(true);
    } else {
        sbarVert->SetEnabled(false);
        sbarVert->SetPosition(0);
    }
    chart_.set_offset(sbarVert->Position());
    pbCementCurve->Invalidate();
}

void TCementForm::chart_changed() {
    update_scroll_bar();
    pbCementCurve->Invalidate();
}

void TCementForm::alarm(TPanel* indicator, TColor base, bool on) {
    // A value the station no longer gives is grey, over its limit or not.
    if (!on) {
        indicator->Font().SetColor(stale ? stale_color : clBlack);
        indicator->SetColor(lib::transform_color_light(base, 220, 0));
        return;
    }
    const std::int64_t ms = os::clock().now_ms();
    indicator->Font().SetColor(stale ? stale_color : clRed);
    indicator->SetColor(lib::transform_color_light(base, (ms / 1000) % 2 ? 220 : 120, 0));
}

void TCementForm::show_programme() {
    const int n = int(job_.program.size());
    const int i = job_.element;
    if (n == 0) {
        btnNextProgram->SetEnabled(false);
        btnNextProgram->SetCaption("Начать программу");
    } else {
        btnNextProgram->SetEnabled(true);
        btnReport->SetEnabled(false);
        if (i == element_none) {
            btnNextProgram->SetCaption("Начать программу");
            btnPrevProgram->SetVisible(false);
        } else if (i == element_finished) {
            btnNextProgram->SetEnabled(true);
            btnReport->SetEnabled(true);
            btnNextProgram->SetCaption("Начать новую программу");
            tiCurrentProgram->SetCaption("");
            btnPrevProgram->SetVisible(false);
        } else if (i >= 0 && i < n) {
            const CementProgramElement& e = job_.program[std::size_t(i)];
            btnPrevProgram->SetVisible(i > 0);
            tiCurrentProgram->SetCaption(e.name);
            if (i < n - 1)
                btnNextProgram->SetCaption("Следующий этап");
            else if (e.mode == state_running)
                btnNextProgram->SetCaption("Завершить этап");
        }
    }
    const CementProgramElement* running = i >= 0 && i < n ? &job_.program[std::size_t(i)] : nullptr;
    const float volume = shown_values[4], pressure = shown_values[0];
    const float plan = running ? job_.plan_for_kind(CementData::plan_volume, running->kind) : 0.0f;
    alarm(tiV, 0x008080, running && volume > plan);
    alarm(tiP, 0x0000FF, running && running->P_critical != 0 && running->P_critical < pressure);

    const int text_height = grdShowProgram->Canvas().TextHeight("Ag");
    grdShowProgram->SetDefaultRowHeight(text_height + 3);
    grdShowProgram->SetColWidths(0, std::max(1, grdShowProgram->ClientWidth()));
    grdShowProgram->SetRowCount(std::max(1, n));
    for (int r = 0; r < n; ++r) grdShowProgram->SetCells(0, r, job_.program[std::size_t(r)].name);
    grdShowProgram->Invalidate();
}

void TCementForm::update_values(const CementLiveData& live) {
    TPanel* indicators[6] = {tiP, tiPl, tiT, tiQ, tiV, tiVsumm};
    stale = live.stale;
    for (int k = 0; k < 6; ++k) {
        shown_values[k] = live.get(value_names[k]);
        indicators[k]->SetCaption(lib::float_to_str(shown_values[k]));
        indicators[k]->Font().SetColor(stale ? stale_color : clBlack);
    }
    // The line's state, as the host's status bar says it.
    if (stale) {
        std::string text = "СКЦ: нет данных";
        if (live.silent_since > 0) text += " с " + rtl::FormatDateTime("hh:mm:ss", live.silent_since);
        lblLine->SetCaption(text);
    }
    lblLine->SetVisible(stale);
}

void TCementForm::layout_sections() {
    const int rows = int(shown_sections.items.size());
    if (rows > 0) grdSections->SetDefaultRowHeight(std::max(1, grdSections->ClientHeight() / rows - 2));
    grdSections->SetDefaultColWidth(std::max(1, grdSections->ClientWidth() / 2 - 2));
    const std::vector<int> heights =
        profile_row_heights(shown_sections, grdSections->ClientHeight(), grdSections->GridLineWidth());
    for (std::size_t r = 0; r < heights.size() && int(r) < grdSections->RowCount(); ++r)
        grdSections->SetRowHeights(int(r), heights[r]);
    grdSections->Invalidate();
}

void TCementForm::show_sections(const SectionsResult& sections) {
    pbCementCurve->SetVisible(true);
    lblError->SetVisible(false);
    error_shown = false;
    shown_sections = sections;
    grdSections->SetRowCount(std::max<int>(1, int(sections.items.size())));
    layout_sections();
    update_scroll_bar();
    pbCementCurve->Invalidate();
}

void TCementForm::show_unwritten(const std::string& text) {
    lblUnwritten->SetCaption(text);
    lblUnwritten->SetVisible(!text.empty());
}

void TCementForm::show_error() {
    pbCementCurve->SetVisible(false);
    lblError->SetCaption("ОШИБКА: Неверно введена конструкция скважины!!!");
    lblError->SetVisible(true);
    error_shown = true;
}
