// Modal runs and timers on the main message queue.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/os/process.h"
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
    EXPECT_TRUE(main_queue().run_until([&] { return ticks >= 3; }, 60000));
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
    EXPECT_TRUE(main_queue().run_until([&] { return fired; }, 60000));
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

// A loaded machine gives the form's loop its turns late. A turn that takes
// longer than the whole idle time is no sign that nobody answers the form,
// scripted or not: here the idle work stands in for the machine, taking
// well over the idle time on its first turn and answering on its third.
// And what a script leaves its form waiting for (a worker, a child process)
// may come well after the idle time.
TEST(Modal, ASlowMachineIsNotTakenForAFormNobodyAnswers) {
    HeadlessDisplay* hd = headless_display();
    ASSERT_NE(hd, nullptr);
    const int saved = hd->IdleTimeoutMs();
    hd->SetIdleTimeoutMs(100);
    for (const bool scripted : {false, true}) {
        SCOPED_TRACE(scripted ? "scripted" : "no script");
        TForm dialog(nullptr);
        int turns = 0;
        Application().OnIdle = [&] {
            if (++turns == 1) std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (turns == 3) dialog.SetModalResult(mrOk);
        };
        if (scripted) hd->ExpectModal([](TCustomForm&) {});
        EXPECT_EQ(dialog.ShowModal(), mrOk);
        Application().OnIdle = nullptr;
        EXPECT_EQ(turns, 3);
    }
    {
        TForm dialog(nullptr);
        std::thread worker;
        hd->ExpectModal([&](TCustomForm& f) {
            worker = std::thread([&f] {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                main_queue().post([&f] { f.SetModalResult(mrOk); });
            });
        });
        EXPECT_EQ(dialog.ShowModal(), mrOk);
        worker.join();
    }
    hd->SetIdleTimeoutMs(saved);
    EXPECT_TRUE(hd->TakeUnanswered().empty());
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
    form.SetCaption("Никто не ответит");
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_GE(queries, 1);
    EXPECT_FALSE(form.Visible());
    hd->SetIdleTimeoutMs(saved);
    const auto unanswered = hd->TakeUnanswered();
    ASSERT_EQ(unanswered.size(), 1u);
    EXPECT_EQ(unanswered[0].caption, "Никто не ответит");
    EXPECT_FALSE(unanswered[0].scripted);
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
    hd->SetIdleTimeoutMs(60000);
    hd->ExpectModal([&](TCustomForm& f) { f.Close(); });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(attempts, 2);
    // Closed by the posted Close, not by the idle time.
    EXPECT_TRUE(hd->TakeUnanswered().empty());
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

namespace ui {
namespace {

// Tests that must fail: registered only in the child process the check
// below starts, so no other run sees them.
constexpr const char* kChildVariable = "STATION_MODAL_CHECK_CHILD";

class MustFail : public ::testing::Test {
public:
    explicit MustFail(bool leave_script) : leave_script_(leave_script) {}
    void TestBody() override {
        HeadlessDisplay* hd = headless_display();
        if (leave_script_) {
            hd->ExpectModal([](TCustomForm& f) { f.SetModalResult(mrOk); });
            return;
        }
        hd->SetIdleTimeoutMs(20);
        TForm form(nullptr);
        form.SetCaption("Без ответа");
        form.ShowModal();
        hd->SetIdleTimeoutMs(1000);
    }

private:
    bool leave_script_;
};

[[maybe_unused]] const bool kMustFailRegistered = [] {
    if (!std::getenv(kChildVariable)) return false;
    for (const bool leave_script : {true, false})
        ::testing::RegisterTest("ModalScriptsChild", leave_script ? "AScriptNoFormTakes" : "AFormNobodyAnswers",
                                nullptr, nullptr, __FILE__, __LINE__,
                                [leave_script]() -> ::testing::Test* { return new MustFail(leave_script); });
    return true;
}();

// Every test binary fails a test that left a modal script unused or a modal
// form unanswered: the failure is the test's own, with what went wrong.
TEST(ModalScriptsCheck, FailsTheTestThatLeftAScriptOrAFormUnanswered) {
    struct Case {
        const char* test;
        const char* says;
    };
    for (const Case& c : {Case{"AScriptNoFormTakes", "1 modal script(s) queued by the test never ran"},
                          Case{"AFormNobodyAnswers", "the modal form 'Без ответа' was cancelled because nobody answered it"}}) {
        SCOPED_TRACE(c.test);
        os::Process child;
        os::SpawnOptions o;
        o.program = "/proc/self/exe";
        o.args = {std::string("--gtest_filter=ModalScriptsChild.") + c.test};
        o.capture_output = true;
        std::string error;
        ::setenv(kChildVariable, "1", 1);
        const bool started = child.start(o, &error);
        ::unsetenv(kChildVariable);
        ASSERT_TRUE(started) << error;
        std::string output;
        const auto code = child.read_lines([&](const std::string& l) { output += l + "\n"; }, 60000);
        ASSERT_TRUE(code) << "the child test hung";
        EXPECT_EQ(*code, 1) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
        EXPECT_NE(output.find(std::string("[  FAILED  ] ModalScriptsChild.") + c.test), std::string::npos)
            << output;
    }
}

}  // namespace
}  // namespace ui
