// Linked into every test binary: a test fails when a modal script it queued
// never ran, or when a modal form ended only because nobody answered it. The
// headless display cancels such a form after its idle time, so without this
// a test whose script missed its window would pass on the cancel alone.

#include <gtest/gtest.h>

#include <string>

#include "platform/ui/display.h"

namespace {

class ModalScriptsCheck : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        ui::HeadlessDisplay* hd = ui::headless_display();
        if (!hd) return;
        if (const int left = hd->PendingScripts()) {
            ADD_FAILURE() << left << " modal script(s) queued by the test never ran: no modal form came to answer";
            hd->ClearScripts();
        }
        for (const ui::HeadlessDisplay::Unanswered& u : hd->TakeUnanswered())
            ADD_FAILURE() << "the modal form '" << u.caption << "' was cancelled because nobody answered it"
                          << (u.scripted ? " (its script ran and left it waiting)" : " (no script was queued for it)");
    }
};

// Appended before gtest_main runs the tests; the end of a test reaches the
// listeners last-first, so the failure is reported with the test, before its
// result is printed.
[[maybe_unused]] const bool kInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ModalScriptsCheck);
    return true;
}();

}  // namespace
