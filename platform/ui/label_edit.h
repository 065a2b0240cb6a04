#pragma once
// The editor a tree view or a list view puts over an item's caption while
// the user renames it. Enter, or the focus leaving it, ends the editing and
// keeps the text; Escape ends it and keeps the old caption. It takes every
// key for itself, so that menu shortcuts (Delete, Insert) do not act on the
// item under it. The view keeps one editor and hides it between uses. Not
// meant for components.

#include <functional>
#include <string>

#include "platform/ui/edits.h"

namespace ui {

class LabelEditor : public TEdit {
public:
    // `done(accept)` runs once per editing, with the editor still showing.
    LabelEditor(TWinControl* view, std::function<void(bool accept)> done);
    // Shows the editor on `r` (the view's client coordinates) with the text,
    // all of it selected, and gives it the focus.
    void Start(const TRect& r, const std::string& text);
    bool Editing() const { return editing_; }
    // Ends the editing as Enter (accept) or Escape does.
    void Finish(bool accept);

    bool WantsKey(TKey key, TShiftState shift) const override;

protected:
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;
    void DoExit() override;
    void AdjustSize() override {}

private:
    TWinControl* view_;
    std::function<void(bool)> done_;
    bool editing_ = false;
};

}  // namespace ui
