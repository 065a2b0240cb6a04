// Modal runs and the application's loop.
#include "platform/ui/application.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"

#include <stdexcept>

namespace ui {

TModalResult TCustomForm::ShowModal() {
  if (visible_ || modal_) throw std::logic_error("TCustomForm::ShowModal: the form '" + Name() + "' is already visible");
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
  if (!scripts_.empty()) {
    ModalScript script = std::move(scripts_.front());
    scripts_.pop_front();
    script(form);
  }
  for (int round = 0; round < 2; ++round) {
    Application().ProcessMessages();
    if (form.ModalResult() != mrNone && form.CloseModal()) return;
    if (!form.Visible()) break;
  }
  if (form.ModalResult() == mrNone) form.SetModalResult(mrCancel);
}

void TApplication::ProcessMessages() {
  FreeReleasedForms();
  for (int i = 0; i < Screen().FormCount(); ++i) Screen().Forms(i)->PaintPending();
}

void TApplication::Run() {
  if (main_form_) main_form_->Show();
  ProcessMessages();
}

}  // namespace ui
