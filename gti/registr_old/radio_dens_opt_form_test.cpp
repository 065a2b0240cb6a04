#include "gti/registr_old/radio_dens_opt_form.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "gti/registr_old/root_testing.h"
#include "library/number_conv.h"
#include "library/numeric/interpolation.h"
#include "platform/os/clock.h"
#include "platform/rtl/datetime.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace {

using namespace ui;

std::string png(const std::string& name) {
    const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "gti_png";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

HeadlessDisplay& headless() { return *headless_display(); }

// The density meter at the mud inlet as a station keeps it.
Param density_meter() {
    Param p;
    p.name = "Плотность ПЖ на входе (р/а)";
    p.short_name = "Пл.вх.";
    p.units = "г/см3";
    p.global_name = "плотн_пж_вх_радиоакт";
    p.channel = 19;
    p.averaging = 30;
    p.points = {{500, 1.0}, {1500, 2.0}};
    p.ext_info.set("half_life", "30,1234567");
    p.ext_info.set("radio_koeff", "0,998712345");
    p.ext_info.set("last_calibr_time", "45000,5");
    return p;
}

// The acquisition unit's channel as the host reads it; counted, any thread.
struct Channel {
    std::atomic<int> value{1000};
    std::atomic<int> reads{0};
    HostData host(bool recalibration = true) {
        HostData h;
        h.show_recalibration = recalibration;
        h.read_channel = [this](int channel) {
            ++reads;
            return channel == 19 ? value.load() : -1;
        };
        return h;
    }
};

// Records the message boxes and answers them.
struct Messages {
    explicit Messages(int answer = IDOK) {
        previous = set_message_box_handler([this, answer](const MessageBoxRequest& r) {
            std::lock_guard<std::mutex> hold(mutex);
            texts.push_back(r.text);
            return answer;
        });
    }
    ~Messages() { set_message_box_handler(previous); }
    std::vector<std::string> all() {
        std::lock_guard<std::mutex> hold(mutex);
        return texts;
    }
    MessageBoxHandler previous;
    std::mutex mutex;
    std::vector<std::string> texts;
};

void retype(TestDriver& drv, TEdit* edit, const std::string& text) {
    edit->SetText("");
    drv.TypeOn(*edit, text);
}

TEST(RadioDensOptForm, OkWritesOnlyTheChangedFieldsAtFullPrecision) {
    Channel ch;
    Param p = density_meter();
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm& f) {
        EXPECT_EQ(f.Caption(), " Настройка параметра \"Плотность ПЖ на входе (р/а)\"");
        EXPECT_EQ(dlg.PageControl1->ActivePage(), dlg.tsMain);
        EXPECT_EQ(dlg.edHalfLife->Text(), "30,12");
        EXPECT_EQ(dlg.lblRawValue->Caption(), "1000");
        EXPECT_FALSE(dlg.edSecretKoeff->Visible());
        retype(drv, dlg.edShortName, "ПлВх");
        retype(drv, dlg.edChannel, "канал");
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute(p));
    EXPECT_EQ(p.short_name, "ПлВх");
    EXPECT_EQ(p.channel, 19);  // not a number: the density meters' channel
    EXPECT_EQ(p.averaging, 30);
    // Shown rounded, never touched: every digit kept.
    EXPECT_EQ(p.ext_info.get("half_life"), "30,1234567");
    EXPECT_EQ(p.ext_info.get("radio_koeff"), "0,998712345");
    EXPECT_EQ(p.ext_info.get("last_calibr_time"), "45000,5");

    headless().ExpectModal([&](TCustomForm&) {
        drv.DoubleClick(*dlg.PaintBox1);
        EXPECT_TRUE(dlg.edSecretKoeff->Visible());
        EXPECT_EQ(dlg.edSecretKoeff->Text(), "0,998712345");
        retype(drv, dlg.edSecretKoeff, "0,9");
        retype(drv, dlg.edHalfLife, "полвека");
        dlg.cbxAveraging->SetText("много");
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute(p));
    EXPECT_EQ(p.ext_info.get("radio_koeff"), "0,9");
    EXPECT_EQ(p.ext_info.get("half_life"), "0");
    EXPECT_EQ(p.averaging, 120);

    // Never calibrated: the pickers show now, which is not written back
    // unless the operator sets a time.
    Param fresh = density_meter();
    fresh.ext_info = ParamExtInfo();
    for (const bool set_time : {false, true}) {
        headless().ExpectModal([&](TCustomForm&) {
            if (set_time) dlg.dtpCalibrTime->SetTime(rtl::EncodeTime(7, 30, 0, 0));
            drv.Click(*dlg.btnOk);
        });
        ASSERT_TRUE(dlg.execute(fresh));
        EXPECT_EQ(fresh.ext_info.get("last_calibr_time").empty(), !set_time);
    }
    EXPECT_NEAR(fresh.ext_info.get_float("last_calibr_time") - std::floor(fresh.ext_info.get_float("last_calibr_time")),
                7.5 / 24, 1e-9);
    EXPECT_EQ(headless().PendingScripts(), 0);
}

TEST(RadioDensOptForm, EditingThePointsKeepsThemSortedAndCancelDiscardsEverything) {
    Channel ch;
    Param p = density_meter();
    p.points = {{500, 1.0123456}, {1000, 1.5}, {1500, 2.0}};
    const Param before = p;
    Messages answers(IDYES);
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm&) {
        dlg.PageControl1->SetActivePage(dlg.tsCalibr);
        auto* grid = dlg.grdCalibrTable;
        EXPECT_EQ(grid->Cells(1, 1), "1,012");
        const TRect row1 = grid->CellRect(0, 1);
        drv.Click(*grid, {row1.Left + 5, row1.Top + 5});
        EXPECT_EQ(dlg.edCalibrX->Text(), "500,000");
        // The first point's reading typed past its neighbour's.
        retype(drv, dlg.edCalibrX, "1200");
        const auto& pts = dlg.working_copy().points;
        ASSERT_EQ(pts.size(), 3u);
        EXPECT_DOUBLE_EQ(pts[1].x, 1200);
        EXPECT_DOUBLE_EQ(pts[1].y, 1.0123456);  // not the three decimals shown
        EXPECT_EQ(grid->Row(), 2);              // the edited point stays selected
        drv.Click(*dlg.btnAdd);
        EXPECT_EQ(dlg.working_copy().points.size(), 4u);
        EXPECT_EQ(grid->Row(), 1);  // (0, 0) sorts first
        drv.Click(*dlg.btnDel);
        EXPECT_EQ(dlg.working_copy().points.size(), 3u);
        // A recalibration, then Cancel: the shifted table goes too.
        dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
        retype(drv, dlg.edDensity, "1,3");
        drv.Click(*dlg.btnSetCurrValue);
        main_queue().run_until([&] { return !dlg.busy(); }, 60000);
        EXPECT_NE(dlg.working_copy().points, before.points);
        drv.Click(*dlg.btnCancel);
    });
    {
        os::ManualClock clock;
        os::ScopedClock use(clock);
        EXPECT_FALSE(dlg.execute(p));
    }
    EXPECT_EQ(p.points, before.points);
    EXPECT_EQ(p.ext_info, before.ext_info);
    EXPECT_EQ(answers.all().front(), "Вы хотите удалить точку калибровки?");

    // Without points the table's controls are off.
    p.points.clear();
    headless().ExpectModal([&](TCustomForm&) {
        EXPECT_FALSE(dlg.btnDel->Enabled());
        EXPECT_FALSE(dlg.edCalibrX->Enabled());
        EXPECT_EQ(dlg.edCalibrX->Text(), "");
        EXPECT_TRUE(dlg.btnAdd->Enabled());
        drv.Click(*dlg.btnCancel);
    });
    dlg.execute(p);
}

TEST(RadioDensOptForm, APointPastAnyNumberIsNotTaken) {
    // An infinite point in the table would give every reading an infinite or
    // NaN value; the point keeps what it had while such text stands. (Pasted
    // into the edits: one change each.)
    Channel ch;
    Param p = density_meter();
    const Param before = p;
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm&) {
        dlg.PageControl1->SetActivePage(dlg.tsCalibr);
        const TRect row1 = dlg.grdCalibrTable->CellRect(0, 1);
        drv.Click(*dlg.grdCalibrTable, {row1.Left + 5, row1.Top + 5});
        dlg.edCalibrX->SetText("1e400");
        dlg.edCalibrY->SetText("-1e999");
        EXPECT_EQ(dlg.grdCalibrTable->Row(), 1);
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute(p));
    EXPECT_EQ(p.points, before.points);
}

TEST(RadioDensOptForm, RecalibrationShiftsTheTableSoTheAverageGivesTheDensity) {
    Channel ch;
    ch.value = 1000;
    Param p = density_meter();
    Messages answers;
    os::ManualClock clock;
    os::ScopedClock use(clock);
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    const double started = rtl::Now();
    headless().ExpectModal([&](TCustomForm& f) {
        EXPECT_TRUE(dlg.tsRecalibr->TabVisible());
        dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
        retype(drv, dlg.edDensity, "1,3");
        const int before = ch.reads;
        drv.Click(*dlg.btnSetCurrValue);
        EXPECT_TRUE(dlg.busy());
        EXPECT_EQ(dlg.btnSetCurrValue->Caption(), "Отменить");
        EXPECT_FALSE(dlg.btnOk->Enabled());
        // The window stays while it averages.
        f.Close();
        EXPECT_TRUE(f.Visible());
        main_queue().run_until([&] { return !dlg.busy(); }, 60000);
        EXPECT_FALSE(dlg.busy());
        EXPECT_GE(ch.reads - before, 30);
        EXPECT_EQ(dlg.btnSetCurrValue->Caption(), "Перекалибровать");
        EXPECT_TRUE(dlg.btnOk->Enabled());
        EXPECT_EQ(dlg.lblProgress->Caption(), "Идёт перекалибровка... 100%");
        f.SaveToPng(png("radio_dens_recalibration"));
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute(p));
    EXPECT_EQ(answers.all(), std::vector<std::string>{"Перекалибровка завершена!"});
    // 30 readings a second apart, then a second and a half.
    const std::vector<int> sleeps = clock.sleeps();
    ASSERT_EQ(sleeps.size(), 31u);
    EXPECT_EQ(sleeps.back(), 1500);
    // 1.3 lay at 800 pulses; the steady 1000 now reads 1.3.
    ASSERT_EQ(p.points.size(), 2u);
    EXPECT_DOUBLE_EQ(p.points[0].x, 700);
    EXPECT_DOUBLE_EQ(p.points[1].x, 1700);
    lib::Interpolation table;
    table.set_size(2);
    for (int i = 0; i < 2; ++i) table.set_point(i, p.points[i].x, p.points[i].y);
    EXPECT_NEAR(table.get_line_value(1000), 1.3, 1e-12);
    EXPECT_GE(p.ext_info.get_float("last_calibr_time"), started - 1.0 / 86400);

    // An averaging of none still takes one reading over a second.
    p.averaging = 0;
    clock.clear();
    ch.value = 1200;
    headless().ExpectModal([&](TCustomForm&) {
        dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
        retype(drv, dlg.edDensity, "1,3");
        drv.Click(*dlg.btnSetCurrValue);
        main_queue().run_until([&] { return !dlg.busy(); }, 60000);
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute(p));
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{1000, 1500}));
    EXPECT_DOUBLE_EQ(p.points[0].x, 900);
}

TEST(RadioDensOptForm, RecalibrationIsRefusedWithoutItsInputs) {
    struct Case {
        const char* name;
        const char* density;
        const char* half_life;
        std::vector<UnitCalibrPoint> points;
        const char* message;
    };
    const std::vector<UnitCalibrPoint> two = density_meter().points;
    const Case cases[] = {
        {"no density", "", "30", two, "Вы не ввели корректное значение плотности!"},
        {"no half-life", "1,2", "0", two,
         "Перед переклибровкой задайте значение периода полураспада радиоактивного источника!"},
        {"both: the half-life's", "0", "", two,
         "Перед переклибровкой задайте значение периода полураспада радиоактивного источника!"},
        // Past any double: the shift would make every point infinite, and
        // such a half-life is written back as 0.
        {"a density past any number", "1e400", "30", two, "Вы не ввели корректное значение плотности!"},
        {"a half-life past any number", "1,2", "1e400", two,
         "Перед переклибровкой задайте значение периода полураспада радиоактивного источника!"},
        {"one point",
         "1,2",
         "30",
         {{500, 1.0}},
         "Для перекалибровки в таблице должно быть не меньше двух точек калибровки!"},
        {"two points, one value",
         "1,2",
         "30",
         {{500, 1.2}, {1500, 1.2}},
         "Для перекалибровки точки калибровки должны иметь разные значения параметра!"},
        {"three points, two of one value",
         "1,0",
         "30",
         {{500, 1.2}, {1500, 1.2}, {2500, 1.8}},
         "Для перекалибровки точки калибровки должны иметь разные значения параметра!"},
    };
    Channel ch;
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Param p = density_meter();
        p.points = c.points;
        Messages answers;
        headless().ExpectModal([&](TCustomForm&) {
            retype(drv, dlg.edHalfLife, c.half_life);
            dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
            retype(drv, dlg.edDensity, c.density);
            drv.Click(*dlg.btnSetCurrValue);
            EXPECT_FALSE(dlg.busy());
            drv.Click(*dlg.btnCancel);
        });
        dlg.execute(p);
        EXPECT_EQ(answers.all(), std::vector<std::string>{c.message});
    }
}

// A clock whose pauses on the worker wait until the test lets them go, one
// pause a pass; the main thread's own pauses (the message loop's) are real.
struct GateClock : os::Clock {
    std::int64_t now_ms() override { return os::system_clock().now_ms(); }
    void sleep_ms(int ms) override {
        if (main_queue().is_main_thread()) return os::system_clock().sleep_ms(ms);
        std::unique_lock<std::mutex> hold(mutex);
        ++started;
        changed.notify_all();
        changed.wait(hold, [&] { return passes > 0; });
        --passes;
    }
    // Until the worker has begun its n-th pause since the clock was made.
    void wait_for_pause(int n) {
        std::unique_lock<std::mutex> hold(mutex);
        changed.wait(hold, [&] { return started >= n; });
    }
    void let_go(int n = 1) {
        std::lock_guard<std::mutex> hold(mutex);
        passes += n;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    int passes = 0;
};

TEST(RadioDensOptForm, TheTableStaysAsTheRunFoundItWhileItAverages) {
    Channel ch;
    Param p = density_meter();
    p.averaging = 0;  // one reading
    GateClock gate;
    os::ScopedClock use(gate);
    Messages answers(IDYES);
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm& f) {
        auto* grid = dlg.grdCalibrTable;
        dlg.PageControl1->SetActivePage(dlg.tsCalibr);
        const TRect row1 = grid->CellRect(0, 1);
        drv.Click(*grid, {row1.Left + 5, row1.Top + 5});
        dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
        retype(drv, dlg.edDensity, "1,3");
        drv.Click(*dlg.btnSetCurrValue);
        gate.wait_for_pause(1);
        dlg.PageControl1->SetActivePage(dlg.tsCalibr);
        for (TControl* c : std::initializer_list<TControl*>{grid, dlg.edCalibrX, dlg.edCalibrY, dlg.btnAdd, dlg.btnDel})
            EXPECT_FALSE(c->Enabled()) << c->Name();
        f.SaveToPng(png("radio_dens_table_while_averaging"));
        // Neither the buttons nor their handlers (a shortcut's way in)
        // touch the points the run will shift.
        drv.Click(*dlg.btnDel);
        dlg.btnDel->Click();
        dlg.btnAdd->Click();
        dlg.edCalibrX->SetText("1400");
        EXPECT_EQ(dlg.working_copy().points, p.points);
        gate.let_go(2);
        main_queue().run_until([&] { return !dlg.busy(); }, 60000);
        EXPECT_TRUE(dlg.btnDel->Enabled());
        EXPECT_TRUE(dlg.btnAdd->Enabled());
        EXPECT_TRUE(grid->Enabled());
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute(p));
    // No deletion was asked; both points moved by 1000 - 800.
    EXPECT_EQ(answers.all(), std::vector<std::string>{"Перекалибровка завершена!"});
    ASSERT_EQ(p.points.size(), 2u);
    EXPECT_DOUBLE_EQ(p.points[0].x, 700);
    EXPECT_DOUBLE_EQ(p.points[1].x, 1700);
}

TEST(RadioDensOptForm, AProgramEndingWhileItAveragesCancelsTheRunAndThenCloses) {
    Channel ch;
    Param p = density_meter();
    p.averaging = 600;
    GateClock gate;
    os::ScopedClock use(gate);
    struct Reset {
        ~Reset() {
            Application().OnIdle = nullptr;
            Application().ResetTerminated();
        }
    } reset;
    TRadioDensOptForm dlg(nullptr, ch.host());
    TestDriver drv;
    // The window's own loop asks it to close turn after turn, as the
    // station's window does once a stop comes: first as an operator's close,
    // then with the program ending.
    // The gate lets one reading go, so a window that waited for the whole
    // averaging would never close; the bound is real time, as the worker
    // needs a loaded machine's while to hand back.
    bool averaging = false, refused_running = false, released = false, gave_up = false;
    int turns = 0;
    const auto give_up_at = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    Application().OnIdle = [&] {
        if (!averaging) return;
        ++turns;
        if (std::chrono::steady_clock::now() > give_up_at) {  // end the test, not hang it
            gave_up = true;
            gate.let_go(1000);
            dlg.Hide();
            return;
        }
        if (turns <= 3) {
            if (turns == 3) refused_running = dlg.recalibration_running() && dlg.Visible();
            dlg.SetModalResult(mrCancel);
            return;
        }
        Application().Terminate();
        if (!dlg.recalibration_running() && !released) {
            released = true;
            gate.let_go();  // the reading under way ends; the run hands back
        }
        dlg.SetModalResult(mrCancel);
    };
    headless().ExpectModal([&](TCustomForm&) {
        dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
        retype(drv, dlg.edDensity, "1,3");
        drv.Click(*dlg.btnSetCurrValue);
        gate.wait_for_pause(1);
        averaging = true;
    });
    EXPECT_FALSE(dlg.execute(p));
    EXPECT_TRUE(refused_running);
    EXPECT_TRUE(released);
    EXPECT_FALSE(gave_up);
    EXPECT_FALSE(dlg.busy());
    gate.let_go(1000);
    EXPECT_EQ(p.points, density_meter().points);
}

TEST(RadioDensOptForm, CancelledRunKeepsTheTableAndLateStepsFindNoWindow) {
    Channel ch;
    Param p = density_meter();
    p.averaging = 0;  // still at least one reading
    GateClock gate;
    os::ScopedClock use(gate);
    lib::MessCaller hub_caller;  // outlives the window, as the hub's does
    {
        TRadioDensOptForm dlg(nullptr, ch.host(), &hub_caller);
        TestDriver drv;
        headless().ExpectModal([&](TCustomForm& f) {
            dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
            retype(drv, dlg.edDensity, "1,3");
            drv.Click(*dlg.btnSetCurrValue);
            gate.wait_for_pause(1);
            drv.Click(*dlg.btnSetCurrValue);  // "Отменить"
            EXPECT_FALSE(dlg.recalibration_running());
            // Until the run has handed back, the window stays.
            f.Close();
            EXPECT_TRUE(f.Visible());
            gate.let_go();
            main_queue().run_until([&] { return !dlg.busy(); }, 60000);
            EXPECT_EQ(dlg.btnSetCurrValue->Caption(), "Перекалибровать");
            EXPECT_EQ(dlg.working_copy().points, p.points);
            drv.Click(*dlg.btnOk);
        });
        EXPECT_TRUE(dlg.execute(p));
        EXPECT_EQ(p.points, density_meter().points);

        // The window taken away while a run averages (the display closes it
        // whatever the window says): the window is idle again at once.
        headless().ExpectModal([&](TCustomForm& f) {
            dlg.PageControl1->SetActivePage(dlg.tsRecalibr);
            retype(drv, dlg.edDensity, "1,3");
            drv.Click(*dlg.btnSetCurrValue);
            gate.wait_for_pause(2);
            f.Hide();
        });
        EXPECT_FALSE(dlg.execute(p));
        EXPECT_FALSE(dlg.busy());
        EXPECT_EQ(dlg.btnSetCurrValue->Caption(), "Перекалибровать");
        EXPECT_TRUE(dlg.btnOk->Enabled());

        // A new run queues behind the abandoned one on the worker: once it
        // pauses, the abandoned run has handed over all it had (its last
        // progress and its end). Those steps carry the old token: they
        // must neither end the new run nor touch the window.
        gate.let_go();
        dlg.edDensity->SetText("1,3");
        dlg.btnSetCurrValue->Click();
        gate.wait_for_pause(3);
        Application().ProcessMessages();
        EXPECT_TRUE(dlg.busy());
        EXPECT_TRUE(dlg.recalibration_running());
        EXPECT_EQ(dlg.btnSetCurrValue->Caption(), "Отменить");
        EXPECT_EQ(dlg.lblProgress->Caption(), "Идёт перекалибровка... 0%");
        EXPECT_EQ(dlg.pbProgress->Position(), 0);
        EXPECT_EQ(dlg.working_copy().points, density_meter().points);

        // The window goes with that run still on the worker: what the run
        // hands to the hub's caller after that finds no window (the
        // sanitizer build watches the late steps).
        gate.let_go(10);
    }
    Application().ProcessMessages();
    EXPECT_EQ(p.points, density_meter().points);
}

TEST(ParamCalibrForm, CurvePicture) {
    Param p = density_meter();
    p.points = {{200, 1.0}, {800, 1.4}, {1500, 2.1}, {2600, 2.4}};
    Channel ch;
    TRadioDensOptForm dlg(nullptr, ch.host());
    TParamCalibrForm chart(nullptr);
    chart.fill(p);
    chart.Show();
    chart.SaveToPng(png("param_calibr_curve"));
    EXPECT_EQ(chart.Caption(), " График");
    // The window's button opens it modally.
    headless().ExpectModal([&](TCustomForm&) {
        headless().ExpectModal([&](TCustomForm& f) {
            EXPECT_EQ(f.Caption(), " График");
            f.Close();
        });
        dlg.PageControl1->SetActivePage(dlg.tsCalibr);
        dlg.btnShowCalibrGr->Click();
        dlg.btnCancel->Click();
    });
    dlg.execute(p);
    EXPECT_EQ(headless().PendingScripts(), 0);
}

TEST(RadioDensOptForm, ParamOptionsOpensTheWindowOnceInstalled) {
    // The installed window hands its steps to the hub's caller: a root of
    // its own.
    root_testing::in_fresh_process([] {
        Param p = density_meter();
        init_core_lib(reinterpret_cast<void*>(std::intptr_t{77}));
        EXPECT_EQ(Application().Handle(), 77);
        Channel ch;
        headless().ExpectModal([&](TCustomForm& f) {
            auto* form = dynamic_cast<TRadioDensOptForm*>(&f);
            ASSERT_NE(form, nullptr);
            EXPECT_FALSE(form->tsRecalibr->TabVisible());
            form->edName->SetText("Плотность на входе");
            form->btnOk->Click();
        });
        EXPECT_TRUE(p.param_options(ch.host(false)));
        EXPECT_EQ(p.name, "Плотность на входе");
    });
}

}  // namespace
