#include "platform/ui/label_edit.h"

#include "platform/ui/forms.h"

namespace ui {

LabelEditor::LabelEditor(TWinControl* view, std::function<void(bool)> done)
    : TEdit(view), view_(view), done_(std::move(done)) {
    SetVisible(false);
    SetTabStop(false);
    SetParent(view);
}

void LabelEditor::Start(const TRect& r, const std::string& text) {
    SetBounds(r.Left, r.Top, r.Width(), r.Height());
    SetText(text);
    editing_ = true;
    Show();
    BringToFront();
    SetFocus();
    SelectAll();
}

void LabelEditor::Finish(bool accept) {
    if (!editing_) return;
    editing_ = false;
    done_(accept);
    // The view takes the focus back before the editor goes.
    if (TCustomForm* f = GetParentForm(this); f && f->ActiveControl() == this) view_->SetFocus();
    Hide();
}

bool LabelEditor::WantsKey(TKey, TShiftState) const { return true; }

void LabelEditor::DoKeyDown(TKey& key, TShiftState shift) {
    if (key == VK_RETURN || key == VK_ESCAPE) {
        Finish(key == VK_RETURN);
        key = 0;
        return;
    }
    TEdit::DoKeyDown(key, shift);
}

void LabelEditor::DoKeyPress(char32_t& key) {
    if (key == U'\r' || key == 27 || key == U'\t') {
        key = 0;
        return;
    }
    TEdit::DoKeyPress(key);
}

void LabelEditor::DoExit() {
    TEdit::DoExit();
    Finish(true);
}

}  // namespace ui
