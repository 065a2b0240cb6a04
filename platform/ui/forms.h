#pragma once
// Forms: top-level windows with a caption, a frame, a client area in the
// form's colour, keyboard focus, default and cancel buttons, and modal runs.
// With the headless display each form keeps its picture in a bitmap of its
// whole window, which can be saved as PNG at any time.

#include <functional>
#include <string>

#include "platform/ui/controls.h"

namespace ui {

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;  // controls use bsNone and bsSingle
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = Set<TBorderIcon>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TCustomControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    TFormBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return border_icons_; }
    void SetBorderIcons(TBorderIcons icons);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TWindowState WindowState() const { return window_state_; }
    void SetWindowState(TWindowState state);
    // The bounds the form takes when restored: its own while it is normal,
    // the ones it had before it was maximised or minimised otherwise.
    TRect NormalBounds() const {
        return window_state_ == wsNormal || normal_bounds_.IsEmpty() ? BoundsRect() : normal_bounds_;
    }
    bool KeyPreview() const { return key_preview_; }
    // The smallest client area the form may be given (0: no limit), by the
    // user's resizing as by the code's: below it the window's content would
    // no longer be readable. Setting it grows a smaller form.
    TSize MinClientSize() const { return min_client_; }
    void SetMinClientSize(int width, int height);

    // The menu shown as a bar under the caption (while it has items); the
    // client area keeps its size when the bar comes or goes. Not owned.
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    // The bar in window coordinates; empty without one.
    TRect MenuBarRect() const;
    // The menu's items changed: the bar repaints (and the client area follows
    // when the bar came or went).
    void MenuChanged();
    // Runs the menu item of the key's shortcut: on the pop-up menus of the
    // focused control and its parents first, then on the main menu. True when
    // an item took the key.
    bool IsShortCut(TKey key, TShiftState shift);
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

    // The control that has (or will have, while the form is hidden) the focus.
    TWinControl* ActiveControl() const { return active_control_; }
    void SetActiveControl(TWinControl* control);
    bool Active() const;

    // Shows the form (placing it by Position the first time), makes it the
    // active form and fires OnShow.
    void Show();
    void SetVisible(bool visible) override;
    // The display follows the bounds of a shown form.
    void SetBounds(int left, int top, int width, int height) override;
    // Shows the form modally and returns its modal result: the main queue runs
    // until a button or the code sets a result (see display.h for who answers
    // in a headless run).
    TModalResult ShowModal();
    bool Modal() const { return modal_; }
    TModalResult ModalResult() const { return modal_result_; }
    // Ends a modal run; on a form that is not modal it is only kept.
    void SetModalResult(TModalResult result);
    // Asks OnCloseQuery, then OnClose decides: hide (the default), free,
    // or nothing. A modal form gets the result mrCancel instead; closing the
    // main form ends the application.
    void Close();
    bool CloseQuery();
    // Frees the form after the event that is running now.
    void Release();

    // The picture of the whole window, repainted where it is out of date.
    TBitmap& Picture();
    // Writes Picture() as a PNG file ("screenshot").
    void SaveToPng(const std::string& path);
    // Marks part of the window (window coordinates) for repainting.
    void InvalidateWindowRect(const TRect& r);
    // Paints whatever is marked; true when anything was painted.
    bool PaintPending();

    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // Bookkeeping of the focus and the router; not for components.
    void FocusControl(TWinControl* control);
    void ControlRemoved(TControl* control);
    void Activate();
    void Deactivate();
    // Tab, Enter and Escape on the form: the focus moves, or the default or
    // cancel button is pressed. True when taken.
    bool DialogKeyDown(TKey key, TShiftState shift);
    // A modal result was set: asks OnCloseQuery and OnClose whether the
    // modal run may end; when not, the result goes back to mrNone.
    bool CloseModal();
    // Counts the changes of the picture, so that a headless modal run can
    // tell a busy form from an idle one.
    unsigned long PaintGeneration() const { return paint_generation_; }
    // The control whose pop-up (a combo box's list, a menu) is open over the
    // form; a new one closes the one before.
    TControl* Popup() const { return popup_; }
    void SetPopup(TControl* control);

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void Resized() override;
    void TextChanged() override;
    void place_on_screen();

private:
    TFormBorderStyle border_style_ = bsSizeable;
    TBorderIcons border_icons_{biSystemMenu, biMinimize, biMaximize};
    TPosition position_ = poDesigned;
    TWindowState window_state_ = wsNormal;
    TRect normal_bounds_;
    bool key_preview_ = false;
    TSize min_client_{0, 0};
    TMainMenu* menu_ = nullptr;
    bool bar_shown_ = false;
    TWinControl* active_control_ = nullptr;
    TControl* popup_ = nullptr;
    bool modal_ = false;
    bool placed_ = false;
    bool destroying_ = false;
    TModalResult modal_result_ = mrNone;
    TBitmap picture_;
    TRect dirty_;
    unsigned long paint_generation_ = 0;
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

// Metrics of the window frames, as the headless display draws them.
constexpr int kCaptionHeight = 20;
constexpr int kToolCaptionHeight = 16;

}  // namespace ui
