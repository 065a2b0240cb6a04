#pragma once
// The object model of the window layer: components with an owner, controls
// with a parent, bounds, colour, font and events, and windowed controls that
// hold children, take the focus and align their children.
//
// Ownership follows the stations' class library: an owner frees the
// components it owns when it is freed, a windowed control frees its child
// controls, and a control that is freed first leaves its owner and parent.
// Controls live on the main thread.
//
// Properties are read with `X()` and written with `SetX(...)`; events are
// public std::function members named as the windows name them (OnClick, ...).
// The display and the test driver reach a control through the same virtual
// input handlers (MouseDown, Click, KeyDown, ...), which run the event and
// then the control's own behaviour.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/canvas.h"
#include "platform/ui/types.h"

namespace ui {

class TComponent;
class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;

class TObject {
public:
    virtual ~TObject() = default;
    // Generic helpers set published Boolean properties by name ("Enabled",
    // "Visible"); returns false when the object has no such property.
    virtual bool SetBoolProperty(std::string_view name, bool value);
};

enum TOperation { opInsert, opRemove };

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;  // throws std::out_of_range
    // The owned component of that name (letter case ignored), or null.
    TComponent* FindComponent(std::string_view name) const;
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Frees every owned component now, newest first.
    void DestroyComponents();

    // Asks to be told (Notification with opRemove) when `component` is freed,
    // for a component that refers to another it does not own (an image list).
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    virtual void Notification(TComponent* component, TOperation operation) {
        (void)component;
        (void)operation;
    }

private:
    TComponent* owner_ = nullptr;
    std::string name_;
    int tag_ = 0;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> free_notifies_;  // both sides hold each other
};

// A turn of the mouse wheel: WheelDelta is 120 per notch, positive away from
// the user; MousePos in screen coordinates. Setting Handled takes the turn.
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;

enum TControlStyleItem { csCaptureMouse, csClickEvents, csDoubleClicks, csAcceptsControls, csOpaque };
using TControlStyle = Set<TControlStyleItem>;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    // Bounds in the parent's client coordinates (a form's in the screen's).
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }

    // The client area: where children sit and the canvas of a form draws.
    TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int w);
    void SetClientHeight(int h);
    // Screen position of the client area's top-left.
    TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible together with every parent, on a form that is shown.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    // Enabled together with every parent.
    bool EnabledInTree() const;

    TColor Color() const;
    void SetColor(TColor color);
    bool ParentColor() const { return parent_color_; }
    void SetParentColor(bool v);
    TFont& Font() { return font_; }
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& f) { font_.Assign(f); }
    bool ParentFont() const { return parent_font_; }
    void SetParentFont(bool v);

    // Caption and Text are one text, as on the stations' controls.
    const std::string& Caption() const { return text_; }
    void SetCaption(std::string text) { SetText(std::move(text)); }
    const std::string& Text() const { return text_; }
    void SetText(std::string text);

    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint) { hint_ = std::move(hint); }
    bool ShowHint() const { return show_hint_; }
    void SetShowHint(bool v) { show_hint_ = v; }
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor c) { cursor_ = c; }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors anchors) { anchors_ = anchors; }

    TControlStyle ControlStyle() const { return style_; }
    void SetControlStyle(TControlStyle s) { style_ = s; }

    // The menu a right click on the control (or on a child without a menu of
    // its own) pops up; its key shortcuts work while the focus is inside the
    // control. Not owned.
    TPopupMenu* PopupMenu() const { return popup_menu_; }
    void SetPopupMenu(TPopupMenu* menu);

    // Repainting: Invalidate marks the control for the next paint; Update
    // paints what is marked now; Repaint and Refresh do both.
    void Invalidate();
    void Update();
    void Repaint();
    void Refresh() { Repaint(); }

    void BringToFront();
    // Scales the control's size, its font (unless it follows the parent's)
    // and, for windowed controls, the bounds of every child by m / d, rounded;
    // the control keeps its own position.
    void ScaleBy(int m, int d);

    // The control's canvas over its client area: during a paint it is clipped
    // to the control; at other times it draws straight onto the form's
    // picture.
    TCanvas& Canvas();

    virtual bool IsWindowed() const { return false; }
    bool MouseInControl() const { return mouse_in_; }

    // Input entry points: the display and the test driver call these.
    // Coordinates are client coordinates of this control.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseEnter();
    virtual void MouseLeave();
    // A wheel turn over the control: OnMouseWheel may take it, otherwise the
    // control's own scrolling (WheelScroll) does. False when neither took it,
    // so that the router offers it to the parent.
    virtual bool MouseWheel(TShiftState shift, int delta, TPoint mouse_pos);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;
    TMouseWheelEvent OnMouseWheel;

    // A pop-up the control shows over its form while open (a combo box's
    // list): its rectangle in the form's window coordinates, its painting
    // (canvas origin at the pop-up's top-left) and its mouse input (points
    // relative to the pop-up). ClosePopup closes it.
    virtual TRect PopupRect() const { return {}; }
    virtual void PaintPopup(TCanvas& canvas) { (void)canvas; }
    virtual void PopupMouseDown(TPoint p) { (void)p; }
    virtual void PopupMouseMove(TPoint p) { (void)p; }
    // Keys while the pop-up is open and the control does not have the focus
    // (a menu): true when the pop-up took the key.
    virtual bool PopupKeyDown(TKey key, TShiftState shift) {
        (void)key;
        (void)shift;
        return false;
    }
    virtual void ClosePopup() {}

    bool SetBoolProperty(std::string_view name, bool value) override;
    // The control's published font, or null when it has none.
    virtual TFont* PublishedFont() { return &font_; }

    // Draws the control and (for windowed controls) its children onto `target`
    // with the control's top-left at `origin` (pixels of the target), touching
    // nothing outside `clip`. Forms use it to render themselves.
    void PaintTo(cairo_surface_t* target, TPoint origin, const TRect& clip);

protected:
    // Draws the control on Canvas() (its own coordinates).
    virtual void Paint() {}
    // After bounds, text, font or enabled state changed.
    virtual void Resized() {}
    virtual void TextChanged() {}
    virtual void FontChanged() {}
    virtual void EnabledChanged() {}
    virtual void VisibleChanged() {}
    // The frame around the client area: Left and Top are where the client
    // area starts inside the control, Right and Bottom what the frame takes
    // on those sides.
    virtual TRect ClientInsets() const { return {}; }
    // Draws the frame (outside the client area) on a canvas whose origin is
    // the control's top-left.
    virtual void PaintFrame(TCanvas& canvas) { (void)canvas; }
    // A control may set its own height (auto-size) whenever its text or font
    // changes.
    virtual void AdjustSize() {}
    // The control's own answer to the wheel (scrolling); true when taken.
    virtual bool WheelScroll(TShiftState shift, int delta, TPoint mouse_pos) {
        (void)shift;
        (void)delta;
        (void)mouse_pos;
        return false;
    }

    void set_bounds_raw(int left, int top, int width, int height) {
        left_ = left;
        top_ = top;
        width_ = width;
        height_ = height;
    }
    // The area of this control in the pixels of its form's picture, and the
    // part of it that is not clipped away by its parents.
    bool form_geometry(TPoint& origin, TRect& visible) const;
    TCustomForm* form() const;

private:
    friend class TWinControl;
    friend class TCustomForm;
    friend class Router;
    class ControlCanvas;
    void parent_font_changed();
    void font_changed();
    void change_scale(int m, int d, bool move);
    void paint_children(cairo_surface_t* target, TPoint origin, const TRect& clip);

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clWindow;
    bool parent_color_ = false;
    TFont font_;
    bool parent_font_ = true;
    bool syncing_font_ = false;
    std::string text_;
    std::string hint_;
    bool show_hint_ = false;
    TCursor cursor_ = crDefault;
    TAlign align_ = alNone;
    TAnchors anchors_{akLeft, akTop};
    TControlStyle style_{csCaptureMouse, csClickEvents, csDoubleClicks};
    TPopupMenu* popup_menu_ = nullptr;
    bool mouse_in_ = false;
    std::unique_ptr<ControlCanvas> canvas_;
};

// A control drawn on its parent: labels, paint boxes, speed buttons.
class TGraphicControl : public TControl {
public:
    using TControl::TControl;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    bool IsWindowed() const override { return true; }

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const;  // throws std::out_of_range
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // The visible child under the client point: windowed children over
    // graphic ones, later ones over earlier ones; null when there is none.
    TControl* ControlAtPos(TPoint p, bool allow_disabled) const;

    bool TabStop() const { return tab_stop_; }
    void SetTabStop(bool v) { tab_stop_ = v; }
    int TabOrder() const;
    void SetTabOrder(int order);
    // The windowed children that take the focus by Tab, in tab order,
    // depth first.
    void GetTabOrderList(std::vector<TWinControl*>& list) const;
    // Moves the focus to the next (or previous) control in tab order after
    // `current`.
    void SelectNext(TWinControl* current, bool forward, bool check_tab_stop);

    bool Focused() const;
    virtual bool CanFocus() const;
    void SetFocus();
    // Whether a click on the control moves the focus to it.
    virtual bool FocusOnClick() const { return tab_stop_; }

    // Alignment of the children (client, top, bottom, left, right) and their
    // anchors when the control changes size.
    void DisableAlign() { ++align_disabled_; }
    void EnableAlign();
    void Realign();

    // Keyboard entry points (the router calls them for the focused control):
    // KeyDown/KeyPress run the events and then the control's own behaviour.
    // KeyDown runs OnKeyDown, then offers Tab, Enter and Escape to the form
    // unless the control wants them (WantsKey), then DoKeyDown; a key set to
    // 0 on the way was taken.
    virtual void KeyDown(TKey& key, TShiftState shift);
    virtual void KeyUp(TKey& key, TShiftState shift);
    virtual void KeyPress(char32_t& key);
    // True when the control handles the key itself, so that it does not act
    // on the form (Tab moving the focus, Enter and Escape pressing the
    // default and cancel buttons).
    virtual bool WantsKey(TKey key, TShiftState shift) const;
    // Enter and Escape offered to every control of the form: a default or a
    // cancel button takes them. Returns true when taken.
    virtual bool DialogKey(TKey key);
    bool BroadcastDialogKey(TKey key);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    // The area the aligned children share, inside the client area.
    virtual void AdjustClientRect(TRect& r) const { (void)r; }
    virtual void DoEnter();
    virtual void DoExit();
    // Own behaviour after the events; the defaults do nothing.
    virtual void DoKeyDown(TKey& key, TShiftState shift) {
        (void)key;
        (void)shift;
    }
    virtual void DoKeyPress(char32_t& key) { (void)key; }
    void DestroyChildren();
    void Resized() override;

private:
    friend class TControl;
    friend class TCustomForm;
    void align_controls();
    void child_changed(TControl* child);

    std::vector<TControl*> controls_;  // back to front
    std::vector<TWinControl*> tab_list_;
    bool tab_stop_ = false;
    int align_disabled_ = 0;
    bool aligning_ = false;
    int client_w_ = -1, client_h_ = -1;  // the client size the anchors last saw
};

// A windowed control that draws itself: grids, panels, custom components.
class TCustomControl : public TWinControl {
public:
    using TWinControl::TWinControl;
};

// The form that holds the control, or null.
TCustomForm* GetParentForm(const TControl* control);

// Drawing helpers shared by the controls: the raised and sunken frames of
// the stations' look.
void Frame3D(TCanvas& canvas, TRect& r, TColor top_left, TColor bottom_right, int width);
enum class Edge { Raised, Sunken, Etched, Bump };
// A two-pixel edge (outer and inner) around r; r shrinks to the inside.
void DrawEdge(TCanvas& canvas, TRect& r, Edge edge);

}  // namespace ui
