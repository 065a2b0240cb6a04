// Modal runs and the application's loop on the main message queue.
#include <chrono>
#include <stdexcept>

#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/os/clock.h"

namespace ui {

TModalResult TCustomForm::ShowModal() {
    if (visible_ || modal_)
        throw std::logic_error("TCustomForm::ShowModal: the form '" + Name() + "' is already visible");
    TCustomForm* previous = Screen().ActiveForm();
    modal_ = true;
    modal_result_ = mrNone;
    try {
        Show();
        display().RunModal(*this);
    } catch (...) {
        modal_ = false;
        if (visible_) SetVisible(false);
        throw;
    }
    modal_ = false;
    if (visible_) SetVisible(false);
    for (int i = 0; i < Screen().FormCount(); ++i)
        if (Screen().Forms(i) == previous && previous->Visible()) previous->Activate();
    return modal_result_;
}

void HeadlessDisplay::RunModal(TCustomForm& form) {
    const bool scripted = !scripts_.empty();
    if (scripted) {
        ModalScript script = std::move(scripts_.front());
        scripts_.pop_front();
        script(form);
    }
    // The nested loop: posted work, timers and repaints go on while the form
    // waits for its result. Nobody can answer a headless form, so one whose
    // picture stays unchanged for the idle time is cancelled, once the loop
    // has also had kQuietTurns turns without a change: a loaded machine that
    // gives the loop its turns late does not see a form cancelled that the
    // next turn's work would have answered, and a loop whose turns are long
    // (an application's idle work that waits on a line) does not multiply
    // the idle time. A form whose script ran waits kScriptedIdleFactor times
    // longer: what it still waits for comes from elsewhere (a worker thread,
    // a child process) that a loaded machine may run late, and the cancel
    // then only ends a run that hangs.
    using Clock = os::SteadyClock;
    constexpr int kTurnMs = 20;
    constexpr int kQuietTurns = 3;
    constexpr long long kScriptedIdleFactor = 30;
    const auto idle = std::chrono::milliseconds(scripted ? idle_timeout_ms_ * kScriptedIdleFactor : idle_timeout_ms_);
    auto last_change = Clock::now();
    int quiet_turns = 0;
    unsigned long generation = form.PaintGeneration();
    for (;;) {
        main_queue().run_until(
            [&] { return form.ModalResult() != mrNone || !form.Visible() || form.PaintGeneration() != generation; },
            kTurnMs);
        Application().ProcessMessages();
        Application().Idle();
        if (form.ModalResult() != mrNone) {
            if (form.CloseModal()) return;
            last_change = Clock::now();
            quiet_turns = 0;
            continue;
        }
        if (!form.Visible()) {
            form.SetModalResult(mrCancel);
            return;
        }
        if (form.PaintGeneration() != generation) {
            generation = form.PaintGeneration();
            last_change = Clock::now();
            quiet_turns = 0;
            continue;
        }
        if (++quiet_turns >= kQuietTurns && Clock::now() - last_change >= idle) {
            unanswered_.push_back({form.Caption(), scripted});
            form.SetModalResult(mrCancel);
            // A form that refuses even this is closed all the same: a headless
            // run must not hang on it.
            if (!form.CloseModal()) form.SetModalResult(mrCancel);
            return;
        }
    }
}

void TApplication::ProcessMessages() {
    display().ProcessEvents();
    main_queue().process_messages();
    FreeReleasedForms();
    for (int i = 0; i < Screen().FormCount(); ++i) Screen().Forms(i)->PaintPending();
}

void TApplication::Idle() {
    // A copy: the handler may set another or none.
    if (auto idle = OnIdle) idle();
}

void TApplication::Run() {
    if (main_form_) main_form_->Show();
    while (!terminated_ && main_form_) {
        main_queue().run_until([this] { return terminated_ || !main_form_; }, 100);
        ProcessMessages();
        Idle();
    }
    terminated_ = true;
}

}  // namespace ui
