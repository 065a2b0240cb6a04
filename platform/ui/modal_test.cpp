// Modal runs and timers on the main message queue.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/timer.h"

namespace ui {
namespace {

TEST(Timer, TicksUntilDisabled) {
    TForm form(nullptr);
    auto* timer = new TTimer(&form);
    timer->SetInterval(5);
    int ticks = 0;
    timer->OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, timer);
        if (++ticks == 3) timer->SetEnabled(false);
    };
    EXPECT_TRUE(main_queue().run_until([&] { return ticks >= 3; }, 5000));
    main_queue().run_until([] { return false; }, 30);
    EXPECT_EQ(ticks, 3);
    // Freed with its owner: the timer stops.
    timer->SetEnabled(true);
}

TEST(Timer, HandlerMayFreeItsTimer) {
    auto* timer = new TTimer(nullptr);
    timer->SetInterval(1);
    bool fired = false;
    timer->OnTimer = [&](TObject*) {
        fired = true;
        delete timer;
    };
    EXPECT_TRUE(main_queue().run_until([&] { return fired; }, 5000));
    main_queue().run_until([] { return false; }, 20);
}

TEST(Modal, NestedLoopRunsTimersAndPostedWork) {
    TForm progress(nullptr);
    progress.SetCaption("Сжатие");
    auto* label = new TLabel(&progress);
    label->SetParent(&progress);
    // The form counts down on a timer and closes itself: no script answers it.
    auto* timer = new TTimer(&progress);
    timer->SetInterval(5);
    int left = 5;
    timer->OnTimer = [&](TObject*) {
        label->SetCaption(std::to_string(--left));
        if (left == 0) progress.SetModalResult(mrOk);
    };
    EXPECT_EQ(progress.ShowModal(), mrOk);
    EXPECT_EQ(left, 0);
    timer->SetEnabled(false);

    // A worker thread posts its progress and the end of its job. However late
    // a loaded machine runs it, the unanswered-form guard must not end the
    // loop first.
    HeadlessDisplay* hd = headless_display();
    ASSERT_NE(hd, nullptr);
    const int saved = hd->IdleTimeoutMs();
    hd->SetIdleTimeoutMs(60000);
    std::atomic<bool> stop{false};
    int steps = 0;
    std::thread worker([&] {
        for (int i = 0; i < 5 && !stop; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            main_queue().post([&] { label->SetCaption("шаг " + std::to_string(++steps)); });
        }
        main_queue().post([&] { progress.SetModalResult(mrOk); });
    });
    EXPECT_EQ(progress.ShowModal(), mrOk);
    stop = true;
    worker.join();
    hd->SetIdleTimeoutMs(saved);
    EXPECT_EQ(steps, 5);
}

TEST(Modal, TheApplicationsIdleWorkGoesOnWhileAFormIsModal) {
    // As a recording reading its line while a dialog is open: the idle work
    // runs turn after turn inside the form's loop, and may answer it.
    TForm dialog(nullptr);
    int turns = 0;
    Application().OnIdle = [&] {
        if (++turns == 3) dialog.SetModalResult(mrOk);
    };
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    Application().OnIdle = nullptr;
    EXPECT_EQ(turns, 3);
    EXPECT_FALSE(dialog.Visible());
}

TEST(Modal, UnansweredFormIsCancelledEvenIfItRefusesToClose) {
    HeadlessDisplay* hd = headless_display();
    ASSERT_NE(hd, nullptr);
    const int saved = hd->IdleTimeoutMs();
    hd->SetIdleTimeoutMs(30);
    TForm form(nullptr);
    int queries = 0;
    form.OnCloseQuery = [&](TObject*, bool& can) {
        ++queries;
        can = false;
    };
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_GE(queries, 1);
    EXPECT_FALSE(form.Visible());
    hd->SetIdleTimeoutMs(saved);
}

TEST(Modal, CloseOnAModalFormCancelsAndOnCloseMayKeepItOpen) {
    HeadlessDisplay* hd = headless_display();
    TForm form(nullptr);
    int attempts = 0;
    form.OnClose = [&](TObject*, TCloseAction& action) {
        if (++attempts > 1) return;
        // Kept open this time; closed again a moment later.
        action = caNone;
        main_queue().post([&form] { form.Close(); });
    };
    hd->SetIdleTimeoutMs(5000);
    hd->ExpectModal([&](TCustomForm& f) { f.Close(); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(attempts, 2);
    // Closed by the posted Close, not by the idle time.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
    hd->SetIdleTimeoutMs(1000);
}

TEST(Application, RunEndsWhenTheMainFormCloses) {
    auto* main = Application().CreateForm<TForm>();
    EXPECT_EQ(Application().MainForm(), main);
    Application().ResetTerminated();
    main_queue().post([main] { main->Close(); });
    Application().Run();
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(main->Visible());
    // A released form is freed by the next round of messages.
    bool destroyed = false;
    main->OnDestroy = [&](TObject*) { destroyed = true; };
    main->Release();
    Application().ProcessMessages();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(Application().MainForm(), nullptr);
    Application().ResetTerminated();
}

}  // namespace
}  // namespace ui
