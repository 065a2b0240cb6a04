#pragma once
// Menus: the main menu a form shows as a bar under its caption, and pop-up
// menus that a right click on a control (or the code) opens. Both are trees
// of menu items with a caption ("-" makes a separator line, "&x" marks the
// access letter), a tag, a key shortcut, and enabled, visible and checked
// flags.
//
// An open menu is drawn over its form as the form's pop-up: a click on an
// item without sub-items closes the menu and then runs the item's Click; a
// click on an item with sub-items (or the pointer resting on it) opens them
// beside it; Up, Down, Right, Left, Enter and Escape work the open menu.
// Shortcuts work while the menu is closed: a key stroke that matches the
// shortcut of an enabled, visible item (whose parents are enabled and
// visible) on the pop-up menu of the focused control or of one of its
// parents, or else on the form's main menu, runs that item's Click instead of
// reaching the control.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/controls.h"

namespace ui {

// A key with its shift keys in one number: the key code in the low byte.
using TShortCut = unsigned short;
constexpr TShortCut scNone = 0, scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
TShortCut ShortCut(TKey key, TShiftState shift);
// The text a menu shows for a shortcut: "Ctrl+Ins", "Shift+Ins", "Alt+T",
// "F5", "Del", "Ctrl+Up"; empty for scNone.
std::string ShortCutToText(TShortCut shortcut);
// The reverse of ShortCutToText (letter case ignored); scNone for a text that
// names no shortcut.
TShortCut TextToShortCut(std::string_view text);

class TMenu;
class MenuWindow;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    // Frees the sub-items and leaves the parent item.
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    bool IsLine() const { return caption_ == "-"; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    TShortCut ShortCut() const { return shortcut_; }
    void SetShortCut(TShortCut shortcut);
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint) { hint_ = std::move(hint); }

    // Sub-items. An item belongs to one parent at a time: adding it elsewhere
    // moves it. Delete and Clear free the items; Remove only takes one out.
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const;  // throws std::out_of_range
    TMenuItem* operator[](int index) const { return Items(index); }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);  // index may be Count()
    void Delete(int index);
    void Remove(TMenuItem* item);
    void Clear();
    int IndexOf(const TMenuItem* item) const;
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
    // The menu whose tree holds the item, or null.
    TMenu* GetParentMenu() const;
    // The sub-item of that caption ("&" marks ignored, letter case ignored).
    TMenuItem* Find(std::string_view caption) const;

    // Runs OnClick when the item is enabled.
    virtual void Click();
    TNotifyEvent OnClick;

    bool SetBoolProperty(std::string_view name, bool value) override;

private:
    friend class TMenu;
    void changed();
    std::string caption_;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    TShortCut shortcut_ = scNone;
    std::string hint_;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on the root item only
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;

    // The root item, whose sub-items the menu shows.
    TMenuItem* Items() const { return items_; }
    // The enabled and visible item of the shortcut, or null.
    TMenuItem* FindShortCut(TShortCut shortcut) const;
    // Clicks the item of the key's shortcut; true when there was one.
    bool IsShortCut(TKey key, TShiftState shift);

    bool IsOpen() const;
    void CloseMenu();
    // Where an item of the open menu (or of the main menu's bar) is shown, in
    // screen coordinates; empty when it is not shown.
    TRect ItemScreenRect(const TMenuItem* item) const;

    // An item of the tree changed (the bar and the open menu repaint).
    virtual void Changed();

protected:
    MenuWindow& window();
    // The open menu, or null.
    MenuWindow* open_window() const;

private:
    TMenuItem* items_;
    std::unique_ptr<MenuWindow> window_;
};

// The menu bar of a form (TCustomForm::SetMenu).
class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner);
    ~TMainMenu() override;

    // The form that shows the bar, or null.
    TCustomForm* Form() const { return form_; }
    // Opens the sub-items of a top-level item below it, or clicks it when it
    // has none: what a click on the bar does.
    void DropDown(TMenuItem* item);
    // The bar's item rectangles in the form's window coordinates (hidden
    // items get none), and the item at a window point.
    TRect BarItemRect(const TMenuItem* item) const;
    TMenuItem* BarItemAt(TPoint window_point) const;
    // Draws the bar in `bar` (window coordinates of the form).
    void PaintBar(TCanvas& canvas, const TRect& bar) const;

    void Changed() override;

private:
    friend class TCustomForm;
    TCustomForm* form_ = nullptr;
};

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    // Opens the menu with its top-left at the screen point, on the form of
    // PopupComponent (or the active form); OnPopup runs first.
    void Popup(int x, int y);
    // A right click pops the menu up.
    bool AutoPopup() const { return auto_popup_; }
    // The control the menu was last popped up for.
    TComponent* PopupComponent() const { return popup_component_; }
    void SetPopupComponent(TComponent* c) { popup_component_ = c; }
    TNotifyEvent OnPopup;

    // Bookkeeping of the controls that show the menu; not for components.
    void user_added(TControl* control);
    void user_gone(TControl* control);

private:
    bool auto_popup_ = true;
    TComponent* popup_component_ = nullptr;
    std::vector<TControl*> users_;
};

// The height of a form's menu bar.
int MenuBarHeight();

}  // namespace ui
