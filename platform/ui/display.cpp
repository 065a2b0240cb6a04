#include "platform/ui/display.h"

#include <utility>

#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"

namespace ui {
namespace {

std::unique_ptr<Display>& slot() {
    static auto* d = new std::unique_ptr<Display>(std::make_unique<HeadlessDisplay>());
    return *d;
}

}  // namespace

int Display::PixelsPerInch() const { return kPixelsPerInch; }

void Display::PaintNow(TCustomForm& form) { form.PaintPending(); }

HeadlessDisplay::HeadlessDisplay(int width, int height) : width_(width), height_(height) {}

void HeadlessDisplay::ExpectModal(ModalScript script) { scripts_.push_back(std::move(script)); }

std::vector<HeadlessDisplay::Unanswered> HeadlessDisplay::TakeUnanswered() { return std::exchange(unanswered_, {}); }

Display& display() { return *slot(); }

HeadlessDisplay* headless_display() { return dynamic_cast<HeadlessDisplay*>(slot().get()); }

void set_display(std::unique_ptr<Display> display) {
    slot() = display ? std::move(display) : std::make_unique<HeadlessDisplay>();
}

}  // namespace ui
