#include "gti/registr_old/radio_dens_opt_form.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "gti/registr_old/reg_system.h"
#include "library/controls/control_helpers.h"
#include "library/number_conv.h"
#include "library/numeric/interpolation.h"
#include "library/numeric/numeric.h"
#include "platform/os/clock.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/ui/application.h"
#include "platform/ui/canvas.h"
#include "platform/ui/dialogs.h"

using namespace ui;

namespace {

constexpr int kDefaultChannel = 19;
constexpr int kDefaultAveraging = 120;
constexpr const char* kRecalibrating = "Идёт перекалибровка... ";
constexpr const char* kAttention = " ВНИМАНИЕ!";
// A date-time the pickers show differs from the stored one by rounding
// only; a change the operator makes is at least a minute.
constexpr double kSameTime = 0.5 / 86400;

TLabel* label(TComponent* owner, TWinControl* parent, const char* caption, int left, int top) {
    auto* l = new TLabel(owner);
    l->SetParent(parent);
    l->SetCaption(caption);
    l->SetLeft(left);
    l->SetTop(top);
    return l;
}

TEdit* edit(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width) {
    auto* e = new TEdit(owner);
    e->SetName(name);
    e->SetParent(parent);
    e->SetBounds(left, top, width, 21);
    return e;
}

TButton* button(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left, int top,
                int width) {
    auto* b = new TButton(owner);
    b->SetName(name);
    b->SetParent(parent);
    b->SetCaption(caption);
    b->SetBounds(left, top, width, 25);
    return b;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

TRadioDensOptForm::TRadioDensOptForm(TComponent* owner, const HostData& host, lib::MessCaller* caller)
    : TForm(owner), host_(host), caller_(caller), param_(std::make_unique<Param>()), token_(std::make_shared<int>(0)) {
    if (!caller_) {
        own_caller_ = std::make_unique<lib::MessCaller>();
        caller_ = own_caller_.get();
    }
    SetName("RadioDensOptForm");
    SetCaption("Настройка параметра");
    SetBorderStyle(bsDialog);
    SetPosition(poDesktopCenter);
    SetClientWidth(430);
    SetClientHeight(330);

    PageControl1 = new TPageControl(this);
    PageControl1->SetParent(this);
    PageControl1->SetBounds(4, 4, 422, 282);
    PageControl1->SetStyle(tsFlatButtons);
    auto page = [this](const char* name, const char* caption) {
        auto* p = new TTabSheet(this);
        p->SetName(name);
        p->SetPageControl(PageControl1);
        p->SetCaption(caption);
        return p;
    };
    tsMain = page("tsMain", "Основные");
    tsCalibr = page("tsCalibr", "Калибровка");
    tsRecalibr = page("tsRecalibr", "Перекалибровка датчика");

    // "Основные"
    label(this, tsMain, "Канал АЦП", 8, 12);
    edChannel = edit(this, tsMain, "edChannel", 200, 8, 60);
    edChannel->SetHint(" Для датчиков плотности \n предусмотрен один канал АЦП - 19");
    edChannel->SetShowHint(true);
    udChannel = new TUpDown(this);
    udChannel->SetParent(tsMain);
    udChannel->SetMin(0);
    udChannel->SetMax(255);
    udChannel->SetAssociate(edChannel);
    label(this, tsMain, "Количество точек осреднения", 8, 42);
    cbxAveraging = new TComboBox(this);
    cbxAveraging->SetName("cbxAveraging");
    cbxAveraging->SetParent(tsMain);
    cbxAveraging->SetBounds(200, 38, 80, 21);
    for (const char* n : {"30", "40", "50", "60", "90", "120", "180", "240", "300"}) cbxAveraging->Items().Add(n);
    label(this, tsMain, "Название", 8, 72);
    edName = edit(this, tsMain, "edName", 200, 68, 200);
    label(this, tsMain, "Краткое название", 8, 102);
    edShortName = edit(this, tsMain, "edShortName", 200, 98, 120);
    label(this, tsMain, "Период полураспада источника", 8, 132);
    edHalfLife = edit(this, tsMain, "edHalfLife", 200, 128, 80);
    label(this, tsMain, "лет", 286, 132);
    label(this, tsMain, "Дата калибровки", 8, 162);
    dtpCalibrDate = new TDateTimePicker(this);
    dtpCalibrDate->SetParent(tsMain);
    dtpCalibrDate->SetBounds(200, 158, 100, 21);
    dtpCalibrTime = new TDateTimePicker(this);
    dtpCalibrTime->SetParent(tsMain);
    dtpCalibrTime->SetKind(dtkTime);
    dtpCalibrTime->SetFormat("HH:mm");
    dtpCalibrTime->SetBounds(304, 158, 70, 21);
    lblSecretKoeff = label(this, tsMain, "Секретный коэфф.", 8, 192);
    edSecretKoeff = edit(this, tsMain, "edSecretKoeff", 200, 188, 80);
    edSecretKoeff->SetText("1");
    lib::set_visible(false, {lblSecretKoeff, edSecretKoeff});

    // "Калибровка"
    label(this, tsCalibr, "Таблица соответствия", 8, 6);
    grdCalibrTable = new TStringGrid(this);
    grdCalibrTable->SetName("grdCalibrTable");
    grdCalibrTable->SetParent(tsCalibr);
    grdCalibrTable->SetBounds(8, 24, 200, 220);
    grdCalibrTable->SetColCount(2);
    grdCalibrTable->SetFixedCols(0);
    grdCalibrTable->SetRowCount(2);
    grdCalibrTable->SetFixedRows(1);
    grdCalibrTable->SetDefaultColWidth(90);
    grdCalibrTable->SetRowHeights(0, 34);
    grdCalibrTable->SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRowSelect});
    grdCalibrTable->OnClick = [this](TObject* s) { grdCalibrTableClick(s); };
    lblCalibrX = label(this, tsCalibr, "Показания счётчика", 220, 24);
    edCalibrX = edit(this, tsCalibr, "edCalibrX", 220, 42, 120);
    lblCalibrY = label(this, tsCalibr, "Значение параметра", 220, 72);
    edCalibrY = edit(this, tsCalibr, "edCalibrY", 220, 90, 120);
    edCalibrX->OnChange = [this](TObject* s) { edCalibrValuesChange(s); };
    edCalibrY->OnChange = [this](TObject* s) { edCalibrValuesChange(s); };
    btnAdd = button(this, tsCalibr, "btnAdd", "Добавить", 220, 130, 90);
    btnAdd->SetHint(" Добавить новую строчку в таблицу ");
    btnDel = button(this, tsCalibr, "btnDel", "Удалить", 220, 160, 90);
    btnDel->SetHint(" Удалить выделенную запись из таблицы ");
    btnShowCalibrGr = button(this, tsCalibr, "btnShowCalibrGr", "Графики...", 220, 190, 90);
    btnShowCalibrGr->SetHint(" Просмотр зависимости в графическом виде ");
    for (TButton* b : {btnAdd, btnDel, btnShowCalibrGr}) b->SetShowHint(true);
    btnAdd->OnClick = [this](TObject* s) { btnAddClick(s); };
    btnDel->OnClick = [this](TObject* s) { btnDelClick(s); };
    btnShowCalibrGr->OnClick = [this](TObject* s) { btnShowCalibrGrClick(s); };

    // "Перекалибровка датчика"
    label(this, tsRecalibr, "Прямое значение с датчика:", 8, 10);
    lblRawValue = label(this, tsRecalibr, "", 200, 10);
    lblRawValue->SetName("lblRawValue");
    label(this, tsRecalibr, "Осреднённое значение", 8, 32);
    lblAverage = label(this, tsRecalibr, "", 200, 32);
    lblAverage->SetName("lblAverage");
    shpDensity = new TPanel(this);
    shpDensity->SetParent(tsRecalibr);
    shpDensity->SetBounds(8, 60, 400, 110);
    shpDensity->SetBevelOuter(bvLowered);
    lblInstruction = label(this, shpDensity, "", 8, 6);
    lblInstruction->SetWordWrap(true);
    lblInstruction->SetAutoSize(false);
    lblInstruction->SetBounds(8, 6, 384, 50);
    lblInstruction->SetCaption(
        "Для коррекции калибровки датчика введите текущее значение плотности и нажмите конпку "
        "\"Перекалибровать\".");
    lblDensity = label(this, shpDensity, "Значение плотности", 8, 70);
    edDensity = edit(this, shpDensity, "edDensity", 160, 66, 80);
    lblDensityUnit = label(this, shpDensity, "г/см3", 246, 70);
    lblProgress = label(this, tsRecalibr, "Идёт перекалибровка...", 8, 180);
    lblProgress->SetName("lblProgress");
    pbProgress = new TProgressBar(this);
    pbProgress->SetParent(tsRecalibr);
    pbProgress->SetBounds(8, 200, 400, 18);
    btnSetCurrValue = button(this, tsRecalibr, "btnSetCurrValue", "Перекалибровать", 260, 224, 148);
    btnSetCurrValue->OnClick = [this](TObject* s) { btnSetCurrValueClick(s); };
    recalibr_caption_ = btnSetCurrValue->Caption();

    PaintBox1 = new TPaintBox(this);
    PaintBox1->SetName("PaintBox1");
    PaintBox1->SetParent(this);
    PaintBox1->SetBounds(6, 296, 24, 24);
    PaintBox1->OnDblClick = [this](TObject* s) { PaintBox1DblClick(s); };
    btnOk = button(this, this, "btnOk", "OK", 250, 296, 85);
    btnOk->SetDefault(true);
    btnOk->SetModalResult(mrOk);
    btnCancel = button(this, this, "btnCancel", "Отмена", 341, 296, 85);
    btnCancel->SetCancel(true);
    btnCancel->SetModalResult(mrCancel);

    Timer1 = new TTimer(this);
    Timer1->SetInterval(1000);
    Timer1->OnTimer = [this](TObject* s) { TimerTimer(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };

    lib::colorize_form(this);
    show_running(false);
}

TRadioDensOptForm::~TRadioDensOptForm() {
    // A run still going ends at its next reading; what it hands back after
    // this finds no window.
    if (run_) *run_ = false;
    token_.reset();
    Timer1->SetEnabled(false);
    worker_.stop();
    if (own_caller_) own_caller_->stop();
}

bool TRadioDensOptForm::execute(Param& param) {
    *param_ = param;
    readings_.clear();
    SetCaption(" Настройка параметра " + quoted(param.name));
    fill_controls();
    PageControl1->SetActivePage(tsMain);
    TimerTimer(this);
    tsRecalibr->SetTabVisible(host_.show_recalibration);
    Timer1->SetEnabled(true);
    const TModalResult result = ShowModal();
    Timer1->SetEnabled(false);
    // What the closed run still hands back finds a new generation.
    token_ = std::make_shared<int>(0);
    // The window was taken away while a run averaged (the display closes a
    // window it is told to, whatever the window says): none of that run's
    // steps will reach the window now, so it ends here and the window is
    // idle for its next opening instead of waiting for them forever.
    if (busy_) restore_idle();
    if (result != mrOk) return false;
    write_back(param);
    return true;
}

void TRadioDensOptForm::fill_controls() {
    const Param& p = *param_;
    edName->SetText(p.name);
    edShortName->SetText(p.short_name);
    udChannel->SetPosition(p.channel);
    edChannel->SetText(std::to_string(p.channel));
    cbxAveraging->SetText(std::to_string(p.averaging));
    edHalfLife->SetText(lib::float_to_str(p.ext_info.get_float("half_life"), 2, -1));
    double t = p.ext_info.get_float("last_calibr_time");
    if (t == 0) t = rtl::Now();
    dtpCalibrDate->SetDateTime(t);
    dtpCalibrTime->SetDateTime(t);
    double koeff = 1;
    if (!rtl::TryStrToFloat(rtl::Trim(p.ext_info.get("radio_koeff")), koeff)) koeff = 1;
    edSecretKoeff->SetText(rtl::FloatToStr(koeff));
    shown_ = {edChannel->Text(),
              cbxAveraging->Text(),
              edName->Text(),
              edShortName->Text(),
              edHalfLife->Text(),
              edSecretKoeff->Text(),
              dtpCalibrDate->Date() + dtpCalibrTime->Time()};
    fill_grid();
}

void TRadioDensOptForm::write_back(Param& param) {
    Param& p = *param_;
    // Only what the operator changed is read back: a field shown rounded
    // (the half-life with two decimals) keeps its stored digits otherwise.
    if (edChannel->Text() != shown_.channel)
        p.channel = rtl::StrToIntDef(rtl::Trim(edChannel->Text()), kDefaultChannel);
    if (cbxAveraging->Text() != shown_.averaging)
        p.averaging = rtl::StrToIntDef(rtl::Trim(cbxAveraging->Text()), kDefaultAveraging);
    if (edName->Text() != shown_.name) p.name = edName->Text();
    if (edShortName->Text() != shown_.short_name) p.short_name = edShortName->Text();
    if (edHalfLife->Text() != shown_.half_life) {
        double v = 0;
        if (!rtl::TryStrToFloat(rtl::Trim(edHalfLife->Text()), v)) v = 0;
        p.ext_info.set("half_life", rtl::FloatToStr(v));
    }
    if (edSecretKoeff->Text() != shown_.koeff) {
        double v = 1;
        if (!rtl::TryStrToFloat(rtl::Trim(edSecretKoeff->Text()), v)) v = 1;
        p.ext_info.set("radio_koeff", lib::float_to_str(v, -1, -1));
    }
    // Against what the pickers showed: a parameter never calibrated shows
    // now, which must not become its calibration time unless it is set.
    const double t = dtpCalibrDate->Date() + dtpCalibrTime->Time();
    if (std::fabs(t - shown_.calibr_time) > kSameTime) p.ext_info.set("last_calibr_time", rtl::FloatToStr(t));
    param = p;
}

void TRadioDensOptForm::fill_grid() {
    const auto& pts = param_->points;
    grdCalibrTable->SetCells(0, 0, "Импульсы");
    grdCalibrTable->SetCells(1, 0, "Значения\nпараметра");
    grdCalibrTable->SetRowCount(std::max<int>(2, static_cast<int>(pts.size()) + 1));
    for (std::size_t i = 0; i < pts.size(); ++i) {
        grdCalibrTable->SetCells(0, static_cast<int>(i) + 1, lib::float_to_str(pts[i].x, 3, -1));
        grdCalibrTable->SetCells(1, static_cast<int>(i) + 1, lib::float_to_str(pts[i].y, 3, -1));
    }
    const bool any = !pts.empty();
    if (!any) {
        grdCalibrTable->SetCells(0, 1, "");
        grdCalibrTable->SetCells(1, 1, "");
        follow_grid_ = true;
        edCalibrX->SetText("");
        edCalibrY->SetText("");
        follow_grid_ = false;
    }
    enable_table(!busy_);
}

void TRadioDensOptForm::enable_table(bool idle) {
    const bool any = !param_->points.empty();
    lib::set_enabled(idle && any, {grdCalibrTable, edCalibrX, edCalibrY, lblCalibrX, lblCalibrY, btnDel});
    btnAdd->SetEnabled(idle);
    btnShowCalibrGr->SetEnabled(any);
}

int TRadioDensOptForm::selected_point() const {
    const int i = grdCalibrTable->Row() - 1;
    return i >= 0 && i < static_cast<int>(param_->points.size()) ? i : -1;
}

void TRadioDensOptForm::select_point(int index) {
    if (index < 0 || index >= static_cast<int>(param_->points.size())) return;
    grdCalibrTable->SetRow(index + 1);
}

void TRadioDensOptForm::grdCalibrTableClick(TObject*) {
    const int i = selected_point();
    if (i < 0 || typing_point_) return;
    follow_grid_ = true;
    edCalibrX->SetText(grdCalibrTable->Cells(0, i + 1));
    edCalibrY->SetText(grdCalibrTable->Cells(1, i + 1));
    follow_grid_ = false;
}

void TRadioDensOptForm::edCalibrValuesChange(TObject* sender) {
    if (follow_grid_ || busy_) return;
    const int i = selected_point();
    if (i < 0) return;
    auto& pts = param_->points;
    // Only the coordinate being typed is taken: the other one keeps its
    // digits instead of the three decimals the grid shows.
    UnitCalibrPoint edited = pts[static_cast<std::size_t>(i)];
    // A number past any double is no coordinate: an infinite point would
    // give every reading an infinite or NaN value. The point keeps what it
    // had while such text stands in the edit.
    auto typed = [](TEdit* e, double& v) {
        const double t = static_cast<double>(lib::str_to_float(e->Text(), 0));
        if (std::isfinite(t)) v = t;
    };
    if (sender == edCalibrX) typed(edCalibrX, edited.x);
    if (sender == edCalibrY) typed(edCalibrY, edited.y);
    pts.erase(pts.begin() + i);
    const auto at = std::upper_bound(pts.begin(), pts.end(), edited,
                                     [](const UnitCalibrPoint& a, const UnitCalibrPoint& b) { return a.x < b.x; });
    const int index = static_cast<int>(at - pts.begin());
    pts.insert(at, edited);
    typing_point_ = true;
    fill_grid();
    select_point(index);
    typing_point_ = false;
}

void TRadioDensOptForm::btnAddClick(TObject*) {
    if (busy_) return;
    auto& pts = param_->points;
    const UnitCalibrPoint zero(0, 0);
    const auto at = std::upper_bound(pts.begin(), pts.end(), zero,
                                     [](const UnitCalibrPoint& a, const UnitCalibrPoint& b) { return a.x < b.x; });
    const int index = static_cast<int>(at - pts.begin());
    pts.insert(at, zero);
    fill_grid();
    select_point(index);
    grdCalibrTableClick(grdCalibrTable);
}

void TRadioDensOptForm::btnDelClick(TObject*) {
    const int i = selected_point();
    if (i < 0 || busy_) return;
    if (MessageBox("Вы хотите удалить точку калибровки?", kAttention, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    param_->points.erase(param_->points.begin() + i);
    fill_grid();
    select_point(std::min(i, static_cast<int>(param_->points.size()) - 1));
    grdCalibrTableClick(grdCalibrTable);
}

void TRadioDensOptForm::btnShowCalibrGrClick(TObject*) {
    auto form = std::make_unique<TParamCalibrForm>(this);
    form->fill(*param_);
    form->ShowModal();
}

void TRadioDensOptForm::PaintBox1DblClick(TObject*) { lib::set_visible(true, {lblSecretKoeff, edSecretKoeff}); }

void TRadioDensOptForm::TimerTimer(TObject*) {
    if (!host_.read_channel) return;  // a host without readings: nothing to show
    const int raw = host_.read_channel(param_->channel);
    lblRawValue->SetCaption(std::to_string(raw));
    readings_.push_back(raw);
    const std::size_t keep = static_cast<std::size_t>(std::max(1, param_->averaging));
    while (readings_.size() > keep) readings_.pop_front();
    float sum = 0;
    for (double r : readings_) sum += static_cast<float>(r);
    lblAverage->SetCaption(lib::float_to_str(sum / readings_.size(), 1, -1));
}

void TRadioDensOptForm::show_running(bool running) {
    lib::set_visible(!running, {lblInstruction, shpDensity, edDensity});
    lib::set_visible(running, {lblProgress, pbProgress});
    btnOk->SetEnabled(!running);
    btnCancel->SetEnabled(!running);
    enable_table(!running);
}

std::string TRadioDensOptForm::line_error() const {
    const auto& pts = param_->points;
    // The table is shifted along the line through its points: without two
    // of them there is no line, and the shift would be nonsense.
    if (pts.size() < 2) return "Для перекалибровки в таблице должно быть не меньше двух точек калибровки!";
    // Points of one value give no line either: the reading for the entered
    // density would be 0 and every point would move by the whole average.
    // Nor do two points of one value among others: the line is read from
    // the density back to the reading, and between those two it has no
    // slope to read (a density beyond them would give one reading for all).
    std::vector<double> values;
    values.reserve(pts.size());
    for (const auto& p : pts) values.push_back(p.y);
    std::sort(values.begin(), values.end());
    for (std::size_t i = 1; i < values.size(); ++i)
        if (lib::is_over_null(values[i] - values[i - 1]))
            return "Для перекалибровки точки калибровки должны иметь разные значения параметра!";
    return {};
}

void TRadioDensOptForm::post(const std::weak_ptr<int>& alive, std::function<void()> step) {
    caller_->call([alive, step = std::move(step)] {
        if (alive.lock()) step();
    });
}

void TRadioDensOptForm::btnSetCurrValueClick(TObject*) {
    if (recalibration_running()) {
        *run_ = false;  // the run sees it at its next reading
        return;
    }
    if (busy_) return;  // a cancelled run has not handed back yet
    const double density = static_cast<double>(lib::str_to_float(edDensity->Text(), 0));
    const double half_life = static_cast<double>(lib::str_to_float(edHalfLife->Text(), 0));
    std::string error;
    // Past any double: the shift would make every point infinite, and such a
    // half-life is written back as 0.
    if (lib::is_over_null(density) || !std::isfinite(density)) error = "Вы не ввели корректное значение плотности!";
    if (lib::is_over_null(half_life) || !std::isfinite(half_life))
        error = "Перед переклибровкой задайте значение периода полураспада радиоактивного источника!";
    if (error.empty()) error = line_error();
    if (!error.empty()) {
        MessageBox(error, kAttention, MB_OK | MB_ICONSTOP);
        return;
    }
    if (!host_.read_channel) {
        MessageBox("Нет показаний датчика: перекалибровка невозможна!", kAttention, MB_OK | MB_ICONSTOP);
        return;
    }
    // At least one reading, so at least a second of averaging.
    const int count = std::max(1, param_->averaging);
    busy_ = true;
    show_running(true);
    run_ = std::make_shared<std::atomic<bool>>(true);
    btnSetCurrValue->SetCaption("Отменить");
    std::weak_ptr<int> alive = token_;
    const int channel = param_->channel;
    worker_.add_task([this, alive, going = run_, channel, count, density] {
        run_recalibration(alive, going, channel, count, density);
    });
}

void TRadioDensOptForm::run_recalibration(const std::weak_ptr<int>& alive, std::shared_ptr<std::atomic<bool>> going,
                                          int channel, int count, double density) {
    // The worker reads the channel and the running flag only; everything
    // the window shows goes through post().
    const std::function<int(int)>& read = host_.read_channel;
    auto progress = [this, &alive](int k, int n) {
        post(alive, [this, k, n] {
            pbProgress->SetMax(n);
            pbProgress->SetPosition(k);
            lblProgress->SetCaption(kRecalibrating + std::to_string(static_cast<long long>(k) * 100 / n) + "%");
        });
    };
    double sum = 0;
    int readings = 0;
    bool failed = false;
    try {
        progress(0, count);
        for (int k = 1; k <= count && *going; ++k) {
            sum += read(channel);
            ++readings;
            os::sleep_ms(1000);
            progress(k, count);
        }
    } catch (const std::exception&) {
        failed = true;
    }
    if (!*going || failed || readings == 0) {
        post(alive, [this, failed] {
            restore_idle();
            if (failed) MessageBox("Нет показаний датчика: перекалибровка прервана!", kAttention, MB_OK | MB_ICONSTOP);
        });
        return;
    }
    os::sleep_ms(1500);
    const double average = sum / readings;
    post(alive, [this, average, density] { finish_recalibration(average, density); });
}

void TRadioDensOptForm::restore_idle() {
    if (run_) *run_ = false;
    run_.reset();
    busy_ = false;
    btnSetCurrValue->SetCaption(recalibr_caption_);
    show_running(false);
}

void TRadioDensOptForm::finish_recalibration(double average, double density) {
    // The table is the one the run was started on only as long as nothing
    // could change it meanwhile; a table that gives no line is not shifted.
    if (const std::string error = line_error(); !error.empty()) {
        restore_idle();
        MessageBox(error, kAttention, MB_OK | MB_ICONSTOP);
        return;
    }
    auto& pts = param_->points;
    lib::Interpolation line;
    line.set_size(static_cast<int>(pts.size()));
    for (std::size_t i = 0; i < pts.size(); ++i) line.set_point(static_cast<int>(i), pts[i].y, pts[i].x);
    const double shift = average - line.get_line_value(density);
    for (auto& p : pts) p.x += shift;
    const double now = rtl::Now();
    param_->ext_info.set("last_calibr_time", rtl::FloatToStr(now));
    dtpCalibrDate->SetDateTime(now);
    dtpCalibrTime->SetDateTime(now);
    restore_idle();
    fill_grid();
    MessageBox("Перекалибровка завершена!", kAttention, MB_OK | MB_ICONINFORMATION);
}

void TRadioDensOptForm::FormClose(TObject*, TCloseAction& action) {
    if (!busy_) return;
    // The window stays while it averages. When the program is ending (a
    // stop while the window is open) the run is cancelled too, so that the
    // window can go once the run has handed back, within a reading, instead
    // of holding the stop up for the whole averaging time.
    if (Application().Terminated() && run_) *run_ = false;
    action = caNone;
}

// --- The curve ------------------------------------------------------------------

TParamCalibrForm::TParamCalibrForm(TComponent* owner) : TForm(owner) {
    SetName("ParamCalibrForm");
    SetCaption(" График");
    SetPosition(poScreenCenter);
    SetClientWidth(520);
    SetClientHeight(400);
    auto* bottom = new TPanel(this);
    bottom->SetParent(this);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(37);
    bottom->SetBevelOuter(bvNone);
    btnClose = button(this, bottom, "btnClose", "Закрыть", 520 - 93, 6, 85);
    btnClose->SetModalResult(mrCancel);
    btnClose->SetCancel(true);
    btnClose->SetAnchors({akTop, akRight});
    Chart = new TPaintBox(this);
    Chart->SetName("Chart");
    Chart->SetParent(this);
    Chart->SetAlign(alClient);
    Chart->OnPaint = [this](TObject* s) { ChartPaint(s); };
    lib::colorize_form(this);
}

void TParamCalibrForm::fill(const Param& param) {
    title_ = "Калибровочная кривая для параметра " + quoted(param.name);
    left_title_ = "Значение параметра, " + param.units;
    points_ = param.points;
    std::sort(points_.begin(), points_.end());
    Chart->Invalidate();
}

void TParamCalibrForm::ChartPaint(TObject*) {
    TCanvas& c = Chart->Canvas();
    const TRect all(0, 0, Chart->Width(), Chart->Height());
    c.Brush().SetColor(clWhite);
    c.Brush().SetStyle(bsSolid);
    c.FillRect(all);
    c.Font().SetColor(clBlack);
    c.TextOut((all.Right - c.TextWidth(title_)) / 2, 6, title_);
    const TRect plot(70, 46, all.Right - 20, all.Bottom - 44);
    c.Pen().SetColor(clBlack);
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsClear);
    c.Rectangle(plot);
    c.TextOut((plot.Left + plot.Right - c.TextWidth("Число импульсов")) / 2, all.Bottom - 20, "Число импульсов");
    c.TextOut(4, plot.Top - 18, left_title_);
    if (points_.empty() || plot.Width() <= 0 || plot.Height() <= 0) return;
    double x0 = points_.front().x, x1 = points_.back().x, y0 = points_.front().y, y1 = y0;
    for (const auto& p : points_) {
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    if (x1 - x0 < 1e-9) x1 = x0 + 1;
    if (y1 - y0 < 1e-9) y1 = y0 + 1;
    auto px = [&](const UnitCalibrPoint& p) {
        return TPoint{plot.Left + 8 + static_cast<int>((p.x - x0) / (x1 - x0) * (plot.Width() - 16)),
                      plot.Bottom - 8 - static_cast<int>((p.y - y0) / (y1 - y0) * (plot.Height() - 16))};
    };
    c.TextOut(plot.Left, plot.Bottom + 4, lib::float_to_str(x0, -1, -1));
    const std::string right = lib::float_to_str(x1, -1, -1);
    c.TextOut(plot.Right - c.TextWidth(right), plot.Bottom + 4, right);
    const std::string top = lib::float_to_str(y1, -1, -1), low = lib::float_to_str(y0, -1, -1);
    c.TextOut(plot.Left - 4 - c.TextWidth(top), plot.Top, top);
    c.TextOut(plot.Left - 4 - c.TextWidth(low), plot.Bottom - 16, low);
    c.Pen().SetColor(clBlue);
    c.Pen().SetWidth(2);
    std::vector<TPoint> line;
    for (const auto& p : points_) line.push_back(px(p));
    c.Polyline(line.data(), static_cast<int>(line.size()));
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clBlue);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const TPoint q = line[i];
        c.Rectangle(q.x - 3, q.y - 3, q.x + 4, q.y + 4);
    }
    c.Brush().SetStyle(bsClear);
    c.Font().SetColor(clBlack);
    for (std::size_t i = 0; i < line.size(); ++i)
        c.TextOut(line[i].x + 5, line[i].y - 18, lib::float_to_str(points_[i].y, -1, -1));
}

// --- Installation -------------------------------------------------------------

extern "C" void init_core_lib(void* handle) {
    Application().SetHandle(reinterpret_cast<std::intptr_t>(handle));
    set_param_options_dialog([](Param& param, const HostData& host) {
        TRadioDensOptForm form(nullptr, host, &sys()->get_mess_caller());
        form.execute(param);
    });
}
