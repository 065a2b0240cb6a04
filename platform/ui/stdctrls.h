#pragma once
// The common controls: labels, static text, buttons, check boxes, radio
// buttons and radio groups, group boxes and panels.
//
// As on the stations' class library, a change of Checked (or of a radio
// group's ItemIndex) made by code fires OnClick just as a user's click does,
// and a button's click first hands its ModalResult to its form and then runs
// OnClick (which may set the form's result back to mrNone).

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/strings.h"

namespace ui {

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout l);
    void SetWordWrap(bool v);
    void SetTransparent(bool v);

protected:
    void Paint() override;
    void AdjustSize() override;
    unsigned text_flags() const;

private:
    bool auto_size_ = true;
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool word_wrap_ = false;
    bool transparent_ = false;
    bool show_accel_ = true;
};

enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };

class TStaticText : public TWinControl {
public:
    explicit TStaticText(TComponent* owner);
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    TStaticBorderStyle BorderStyle() const { return border_; }
    void SetBorderStyle(TStaticBorderStyle b);

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void AdjustSize() override;

private:
    bool auto_size_ = true;
    TAlignment alignment_ = taLeftJustify;
    TStaticBorderStyle border_ = sbsNone;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    // The button Enter presses anywhere on its form.
    bool Default() const { return default_; }
    void SetDefault(bool v);
    // The button Escape presses anywhere on its form.
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult r) { modal_result_ = r; }

    void Click() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool WantsKey(TKey key, TShiftState shift) const override;
    bool DialogKey(TKey key) override;
    bool Pressed() const { return pressed_ && pressed_inside_; }

protected:
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;

private:
    bool default_ = false;
    bool cancel_ = false;
    TModalResult modal_result_ = mrNone;
    bool pressed_ = false;
    bool pressed_inside_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);
    bool Checked() const { return state_ == cbChecked; }
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return state_; }
    // A change fires OnClick.
    void SetState(TCheckBoxState s);
    void SetAllowGrayed(bool v) { allow_grayed_ = v; }
    // taRightJustify: the box on the left, the text to its right.
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    // The user's click: the next state.
    void Click() override;
    void Toggle();

protected:
    void Paint() override;
    void DoKeyPress(char32_t& key) override;

private:
    TCheckBoxState state_ = cbUnchecked;
    bool allow_grayed_ = false;
    TAlignment alignment_ = taRightJustify;
};

class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* owner);
    bool Checked() const { return checked_; }
    // Checking one unchecks the other radio buttons of the parent and fires
    // OnClick.
    void SetChecked(bool v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    void Click() override;

protected:
    void Paint() override;
    void DoKeyPress(char32_t& key) override;

private:
    bool checked_ = false;
    TAlignment alignment_ = taRightJustify;
};

class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void AdjustClientRect(TRect& r) const override;
    void Paint() override;
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* owner);
    TBevelCut BevelInner() const { return bevel_inner_; }
    TBevelCut BevelOuter() const { return bevel_outer_; }
    void SetBevelOuter(TBevelCut b);
    int BevelWidth() const { return bevel_width_; }
    int BorderWidth() const { return border_width_; }
    void SetBorderWidth(int w);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle b);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void AdjustClientRect(TRect& r) const override;
    void Paint() override;

private:
    int bevels_width() const;
    TBevelCut bevel_inner_ = bvNone;
    TBevelCut bevel_outer_ = bvRaised;
    int bevel_width_ = 1;
    int border_width_ = 0;
    TBorderStyle border_style_ = bsNone;
    TAlignment alignment_ = taCenter;
};

// A group box of radio buttons made from its Items, in Columns columns.
class TRadioGroup : public TGroupBox {
public:
    explicit TRadioGroup(TComponent* owner);
    TStrings& Items() { return items_; }
    int ItemIndex() const { return item_index_; }
    // -1 or an item; a change fires OnClick.
    void SetItemIndex(int index);
    int Columns() const { return columns_; }
    void SetColumns(int columns);
    // The radio button of an item (for tests and look-ups).
    TRadioButton* Buttons(int index) const;

protected:
    void Resized() override;
    void FontChanged() override;
    void EnabledChanged() override;

private:
    void rebuild();
    void arrange();
    TStrings items_;
    std::vector<TRadioButton*> buttons_;
    int item_index_ = -1;
    int columns_ = 1;
    bool updating_ = false;
};

}  // namespace ui
