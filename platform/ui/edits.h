#pragma once
// Text entry: the one-line edit, the memo, and the up-down that steps a
// number in an edit. Positions (SelStart, SelLength, MaxLength) count
// characters, not bytes. OnChange fires on every change of the text, by the
// user or by code.

#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/strings.h"

namespace ui {

class TUpDown;

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* owner);

    int MaxLength() const { return max_length_; }  // 0: no limit
    void SetMaxLength(int n) { max_length_ = n < 0 ? 0 : n; }
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v) { read_only_ = v; }
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle b);
    void SetAutoSelect(bool v) { auto_select_ = v; }

    int SelStart() const { return sel_start_; }
    int SelLength() const { return sel_length_; }
    std::string SelText() const;
    // Replaces the selection (as typing or pasting does, but ignoring
    // ReadOnly and MaxLength).
    void SetSelText(std::string_view text);
    void SelectAll();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();

    TNotifyEvent OnChange;

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void TextChanged() override;
    void DoEnter() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void DoKeyPress(char32_t& key) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    // User input: replaces the selection, honouring ReadOnly and MaxLength.
    void type_text(std::string_view text);
    int length() const;  // in characters
    bool multi_line_ = false;
    TUpDown* up_down_ = nullptr;
    int scroll_x_ = 0;  // how far a long text is scrolled left
    friend class TUpDown;

private:
    void clamp_selection();
    int max_length_ = 0;
    bool read_only_ = false;
    bool modified_ = false;
    bool auto_select_ = true;
    TBorderStyle border_style_ = bsSingle;
    int sel_start_ = 0;
    int sel_length_ = 0;
    bool changing_ = false;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* owner);
    void SetPasswordChar(char32_t c);

protected:
    void Paint() override;
    void AdjustSize() override;

private:
    char32_t password_char_ = 0;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TCustomEdit {
public:
    explicit TMemo(TComponent* owner);
    // The lines; Text is the lines joined with CR LF.
    TStrings& Lines() { return lines_; }
    void SetWordWrap(bool v);
    void SetScrollBars(TScrollStyle s);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    // The first line shown.
    int TopLine() const { return top_line_; }
    void SetTopLine(int line);

    bool WantsKey(TKey key, TShiftState shift) const override;

protected:
    void Paint() override;
    void TextChanged() override;
    void DoKeyPress(char32_t& key) override;

private:
    TStrings lines_;
    bool syncing_ = false;
    bool word_wrap_ = true;
    TScrollStyle scroll_bars_ = ssNone;
    bool want_returns_ = true;
    bool want_tabs_ = false;
    TAlignment alignment_ = taLeftJustify;
    int top_line_ = 0;
};

enum TUDBtnType { btNext, btPrev };
enum TUDOrientation { udHorizontal, udVertical };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TUpDown : public TCustomControl {
public:
    explicit TUpDown(TComponent* owner);
    ~TUpDown() override;
    // The edit whose number the up-down steps: the up-down sits at its right
    // (the edit gives up the width), shows Position in it and, with
    // ArrowKeys, takes its Up and Down keys.
    void SetAssociate(TCustomEdit* edit);
    int Min() const { return min_; }
    void SetMin(int v);
    int Max() const { return max_; }
    void SetMax(int v);
    int Position() const { return position_; }
    void SetPosition(int v);  // kept within Min .. Max
    int Increment() const { return increment_; }
    bool ArrowKeys() const { return arrow_keys_; }
    TUDOrientation Orientation() const { return orientation_; }
    void SetOrientation(TUDOrientation o);
    // A step as the user's click on a button makes it.
    void Step(TUDBtnType button);

    TUDClickEvent OnClick;
    TUDChangingEvent OnChanging;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void Paint() override;

private:
    void show_position();
    TCustomEdit* associate_ = nullptr;
    int min_ = 0, max_ = 100, position_ = 0, increment_ = 1;
    bool wrap_ = false;
    bool arrow_keys_ = true;
    TUDOrientation orientation_ = udVertical;
    int pressed_ = -1;  // 0 upper/left button, 1 lower/right
};

}  // namespace ui
