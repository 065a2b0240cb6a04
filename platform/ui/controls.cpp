#include "platform/ui/controls.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"

namespace ui {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// A canvas bound to a surface by its user (frames of controls).
class PlainCanvas : public TCanvas {
public:
    using TCanvas::Bind;
};

}  // namespace

bool TObject::SetBoolProperty(std::string_view, bool) { return false; }

// --- TComponent ----------------------------------------------------------

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    while (!free_notifies_.empty()) {
        TComponent* c = free_notifies_.back();
        free_notifies_.pop_back();
        c->free_notifies_.erase(std::remove(c->free_notifies_.begin(), c->free_notifies_.end(), this),
                                c->free_notifies_.end());
        c->Notification(this, opRemove);
    }
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(free_notifies_.begin(), free_notifies_.end(), component) != free_notifies_.end()) return;
    free_notifies_.push_back(component);
    component->free_notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!component) return;
    free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), component), free_notifies_.end());
    component->free_notifies_.erase(
        std::remove(component->free_notifies_.begin(), component->free_notifies_.end(), this),
        component->free_notifies_.end());
}

void TComponent::DestroyComponents() {
    while (!components_.empty()) {
        TComponent* c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        delete c;
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw std::out_of_range("TComponent::Components: index " + std::to_string(index) + " out of range");
    return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (same_name(c->name_, name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->owner_ == this) return;
    if (component->owner_) component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it != components_.end()) components_.erase(it);
    if (component && component->owner_ == this) component->owner_ = nullptr;
}

// --- the control canvas ------------------------------------------------------

class TControl::ControlCanvas : public TCanvas {
public:
    explicit ControlCanvas(TControl& control) : control_(control) {}

    // Fixes the binding for a paint: fresh tools in the control's font.
    void BeginPaint(cairo_surface_t* surface, TPoint origin, const TRect& clip) {
        Bind(surface, origin, clip);
        painting_ = true;
        ResetClip();
        Pen().SetColor(clBlack);
        Pen().SetWidth(1);
        Pen().SetStyle(psSolid);
        Pen().SetMode(pmCopy);
        Brush().SetStyle(bsSolid);
        Brush().SetColor(control_.Color());
        Font().Assign(control_.Font());
    }
    void EndPaint() { painting_ = false; }

protected:
    void Prepare() override {
        if (painting_) return;
        TPoint origin;
        TRect visible;
        TCustomForm* f = control_.form();
        if (!f || !control_.form_geometry(origin, visible)) {
            Unbind();
            return;
        }
        const TRect in = control_.ClientInsets();
        const TPoint client = origin + TPoint{in.Left, in.Top};
        const TRect client_rect = Bounds(client.x, client.y, control_.ClientWidth(), control_.ClientHeight());
        Bind(f->Picture().Surface(), client, IntersectRect(visible, client_rect));
    }

private:
    TControl& control_;
    bool painting_ = false;
};

// --- TControl ------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner), canvas_(std::make_unique<ControlCanvas>(*this)) {
    font_.OnChange = [this] { font_changed(); };
}

TControl::~TControl() {
    SetPopupMenu(nullptr);
    Router::instance().forget(this);
    if (TCustomForm* f = form()) f->ControlRemoved(this);
    if (parent_) parent_->RemoveControl(this);
}

bool TControl::SetBoolProperty(std::string_view name, bool value) {
    if (name == "Enabled") {
        SetEnabled(value);
        return true;
    }
    if (name == "Visible") {
        SetVisible(value);
        return true;
    }
    return false;
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (menu == popup_menu_) return;
    if (popup_menu_) popup_menu_->user_gone(this);
    popup_menu_ = menu;
    if (menu) menu->user_added(this);
}

TCustomForm* TControl::form() const { return GetParentForm(this); }

TCustomForm* GetParentForm(const TControl* control) {
    while (control && control->Parent()) control = control->Parent();
    return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(control));
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent == this) throw std::invalid_argument("TControl::SetParent: a control can't be its own parent");
    if (parent_) parent_->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    Invalidate();
    const bool resized = width != width_ || height != height_;
    set_bounds_raw(left, top, width, height);
    if (resized) {
        Resized();
        if (OnResize) OnResize(this);
    }
    Invalidate();
    if (parent_) parent_->child_changed(this);
}

int TControl::ClientWidth() const {
    const TRect in = ClientInsets();
    return std::max(0, width_ - in.Left - in.Right);
}

int TControl::ClientHeight() const {
    const TRect in = ClientInsets();
    return std::max(0, height_ - in.Top - in.Bottom);
}

void TControl::SetClientWidth(int w) {
    const TRect in = ClientInsets();
    SetWidth(w + in.Left + in.Right);
}

void TControl::SetClientHeight(int h) {
    const TRect in = ClientInsets();
    SetHeight(h + in.Top + in.Bottom);
}

TPoint TControl::ClientOrigin() const {
    const TRect in = ClientInsets();
    TPoint p{left_ + in.Left, top_ + in.Top};
    if (parent_) p = p + parent_->ClientOrigin();
    return p;
}

TPoint TControl::ClientToScreen(TPoint p) const { return p + ClientOrigin(); }

TPoint TControl::ScreenToClient(TPoint p) const { return p - ClientOrigin(); }

bool TControl::form_geometry(TPoint& origin, TRect& visible) const {
    // Walk up to the form, collecting the offset and the clipping of every
    // parent's client area.
    origin = {0, 0};
    const TControl* c = this;
    std::vector<const TControl*> chain;
    while (c->parent_) {
        chain.push_back(c);
        c = c->parent_;
    }
    if (!dynamic_cast<const TCustomForm*>(c)) return false;
    visible = Bounds(0, 0, c->width_, c->height_);
    TPoint at{0, 0};
    const TControl* outer = c;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const TRect in = outer->ClientInsets();
        const TPoint client = at + TPoint{in.Left, in.Top};
        visible = IntersectRect(visible, Bounds(client.x, client.y, outer->ClientWidth(), outer->ClientHeight()));
        at = client + TPoint{(*it)->left_, (*it)->top_};
        outer = *it;
    }
    origin = at;
    visible = IntersectRect(visible, Bounds(at.x, at.y, width_, height_));
    return true;
}

bool TControl::Showing() const {
    const TControl* c = this;
    while (c) {
        if (!c->visible_) return false;
        if (!c->parent_) return dynamic_cast<const TCustomForm*>(c) != nullptr;
        c = c->parent_;
    }
    return false;
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    Invalidate();
    visible_ = visible;
    VisibleChanged();
    Invalidate();
    if (!visible) {
        if (TCustomForm* f = form()) f->ControlRemoved(this);
    }
    if (parent_) parent_->child_changed(this);
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (!enabled) {
        if (TCustomForm* f = form()) f->ControlRemoved(this);
    }
    EnabledChanged();
    Invalidate();
}

bool TControl::EnabledInTree() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->enabled_) return false;
    return true;
}

TColor TControl::Color() const {
    if (parent_color_ && parent_) return parent_->Color();
    return color_;
}

void TControl::SetColor(TColor color) {
    if (color == color_ && !parent_color_) return;
    color_ = color;
    parent_color_ = false;
    Invalidate();
}

void TControl::SetParentColor(bool v) {
    if (v == parent_color_) return;
    if (!v) color_ = Color();
    parent_color_ = v;
    Invalidate();
}

void TControl::SetParentFont(bool v) {
    parent_font_ = v;
    if (v) parent_font_changed();
}

void TControl::font_changed() {
    if (!syncing_font_) parent_font_ = false;
    FontChanged();
    AdjustSize();
    Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(this))
        for (TControl* c : w->controls_)
            if (c->parent_font_) c->parent_font_changed();
}

void TControl::parent_font_changed() {
    if (!parent_font_ || !parent_) return;
    syncing_font_ = true;
    font_.Assign(parent_->font_);
    syncing_font_ = false;
}

void TControl::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    TextChanged();
    AdjustSize();
    Invalidate();
}

void TControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    if (parent_) parent_->child_changed(this);
}

void TControl::Invalidate() {
    TCustomForm* f = form();
    if (!f) return;
    if (f == this) {
        f->InvalidateWindowRect(Bounds(0, 0, width_, height_));
        return;
    }
    TPoint origin;
    TRect visible;
    if (form_geometry(origin, visible)) f->InvalidateWindowRect(visible);
}

void TControl::Update() {
    if (TCustomForm* f = form()) f->PaintPending();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& v = parent_->controls_;
    v.erase(std::find(v.begin(), v.end(), this));
    v.push_back(this);
    Invalidate();
}

TCanvas& TControl::Canvas() { return *canvas_; }

namespace {

int mul_div(int v, int m, int d) {
    const long long p = static_cast<long long>(v) * m;
    const long long half = d / 2;
    return static_cast<int>(p >= 0 ? (p + half) / d : -((-p + half) / d));
}

}  // namespace

void TControl::ScaleBy(int m, int d) {
    if (m == d || d == 0 || m <= 0 || d < 0) return;
    change_scale(m, d, false);
}

void TControl::change_scale(int m, int d, bool move) {
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        w->DisableAlign();
        for (TControl* c : w->controls_) c->change_scale(m, d, true);
    }
    if (!parent_font_) {
        syncing_font_ = true;
        font_.SetHeight(mul_div(font_.Height(), m, d));
        syncing_font_ = false;
    }
    const int l = move ? mul_div(left_, m, d) : left_;
    const int t = move ? mul_div(top_, m, d) : top_;
    // The children are scaled already: their anchors must not move them again.
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->client_w_ = -1;
    SetBounds(l, t, mul_div(width_, m, d), mul_div(height_, m, d));
    if (auto* w = dynamic_cast<TWinControl*>(this)) {
        w->client_w_ = w->ClientWidth();
        w->client_h_ = w->ClientHeight();
        w->EnableAlign();
    }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseEnter() {
    mouse_in_ = true;
    if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
    mouse_in_ = false;
    if (OnMouseLeave) OnMouseLeave(this);
}

bool TControl::MouseWheel(TShiftState shift, int delta, TPoint mouse_pos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, shift, delta, mouse_pos, handled);
    if (handled) return true;
    return WheelScroll(shift, delta, mouse_pos);
}

void TControl::PaintTo(cairo_surface_t* target, TPoint origin, const TRect& clip) {
    if (!visible_) return;
    const TRect whole = Bounds(origin.x, origin.y, width_, height_);
    const TRect area = IntersectRect(whole, clip);
    if (area.IsEmpty()) return;
    const TRect in = ClientInsets();
    if (in.Left || in.Top || in.Right || in.Bottom) {
        PlainCanvas frame;
        frame.Bind(target, origin, area);
        frame.Font().Assign(font_);
        frame.Brush().SetColor(Color());
        PaintFrame(frame);
    }
    const TPoint client_origin = origin + TPoint{in.Left, in.Top};
    const TRect client = IntersectRect(area, Bounds(client_origin.x, client_origin.y, ClientWidth(), ClientHeight()));
    if (client.IsEmpty()) return;
    canvas_->BeginPaint(target, client_origin, client);
    Paint();
    canvas_->EndPaint();
    paint_children(target, client_origin, client);
}

void TControl::paint_children(cairo_surface_t* target, TPoint origin, const TRect& clip) {
    auto* w = dynamic_cast<TWinControl*>(this);
    if (!w) return;
    // Graphic controls lie under the windowed ones.
    for (TControl* c : w->controls_)
        if (!c->IsWindowed()) c->PaintTo(target, origin + TPoint{c->left_, c->top_}, clip);
    for (TControl* c : w->controls_)
        if (c->IsWindowed()) c->PaintTo(target, origin + TPoint{c->left_, c->top_}, clip);
}

// --- TWinControl ---------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() { DestroyChildren(); }

void TWinControl::DestroyChildren() {
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        RemoveControl(c);
        delete c;
    }
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount())
        throw std::out_of_range("TWinControl::Controls: index " + std::to_string(index) + " out of range");
    return controls_[static_cast<std::size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) {
    if (!control || control->parent_ == this) return;
    if (control->parent_) control->parent_->RemoveControl(control);
    // Anchors hold the distances to the edges of the size the parent has now.
    if (client_w_ < 0) {
        client_w_ = ClientWidth();
        client_h_ = ClientHeight();
    }
    controls_.push_back(control);
    control->parent_ = this;
    if (auto* w = dynamic_cast<TWinControl*>(control)) tab_list_.push_back(w);
    control->parent_font_changed();
    control->Invalidate();
    child_changed(control);
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it == controls_.end()) return;
    control->Invalidate();
    if (TCustomForm* f = form()) f->ControlRemoved(control);
    Router::instance().forget(control);
    controls_.erase(it);
    auto t = std::find(tab_list_.begin(), tab_list_.end(), control);
    if (t != tab_list_.end()) tab_list_.erase(t);
    control->parent_ = nullptr;
    if (control->align_ != alNone) Realign();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allow_disabled) const {
    auto hit = [&](TControl* c) {
        return c->visible_ && (allow_disabled || c->enabled_) &&
               Bounds(c->left_, c->top_, c->width_, c->height_).Contains(p);
    };
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if ((*it)->IsWindowed() && hit(*it)) return *it;
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if (!(*it)->IsWindowed() && hit(*it)) return *it;
    return nullptr;
}

int TWinControl::TabOrder() const {
    if (!parent_) return -1;
    const auto& l = parent_->tab_list_;
    return static_cast<int>(std::find(l.begin(), l.end(), this) - l.begin());
}

void TWinControl::SetTabOrder(int order) {
    if (!parent_) return;
    auto& l = parent_->tab_list_;
    l.erase(std::find(l.begin(), l.end(), this));
    order = std::clamp(order, 0, static_cast<int>(l.size()));
    l.insert(l.begin() + order, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
    for (TWinControl* c : tab_list_) {
        list.push_back(c);
        c->GetTabOrderList(list);
    }
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool check_tab_stop) {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return;
    const int n = static_cast<int>(list.size());
    int start = static_cast<int>(std::find(list.begin(), list.end(), current) - list.begin());
    if (start >= n) start = forward ? n - 1 : 0;
    int i = start;
    for (int step = 0; step < n; ++step) {
        i = forward ? (i + 1) % n : (i + n - 1) % n;
        TWinControl* c = list[static_cast<std::size_t>(i)];
        if (c != current && (!check_tab_stop || c->tab_stop_) && c->CanFocus()) {
            c->SetFocus();
            return;
        }
    }
}

bool TWinControl::Focused() const {
    const TCustomForm* f = form();
    return f && f->ActiveControl() == this && f->Active();
}

bool TWinControl::CanFocus() const {
    if (dynamic_cast<const TCustomForm*>(this)) return visible_ && enabled_;
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->visible_ || !c->enabled_) return false;
    return form() != nullptr;
}

void TWinControl::SetFocus() {
    TCustomForm* f = form();
    if (!f || f == this) return;
    if (!CanFocus()) return;
    f->FocusControl(this);
}

void TWinControl::EnableAlign() {
    if (align_disabled_ > 0 && --align_disabled_ == 0) Realign();
}

void TWinControl::Realign() {
    if (align_disabled_ > 0 || aligning_) return;
    align_controls();
}

void TWinControl::child_changed(TControl* child) {
    if (aligning_) return;
    if (child->align_ != alNone || child->visible_) Realign();
}

void TWinControl::align_controls() {
    aligning_ = true;
    TRect r = ClientRect();
    AdjustClientRect(r);
    auto place = [&](TAlign a) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->align_ == a && c->visible_) list.push_back(c);
        // Controls of one side keep their order on that side.
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
                case alTop: return x->top_ < y->top_;
                case alBottom: return x->top_ + x->height_ > y->top_ + y->height_;
                case alLeft: return x->left_ < y->left_;
                case alRight: return x->left_ + x->width_ > y->left_ + y->width_;
                default: return false;
            }
        });
        for (TControl* c : list) {
            switch (a) {
                case alTop:
                    c->SetBounds(r.Left, r.Top, r.Width(), c->height_);
                    r.Top += c->height_;
                    break;
                case alBottom:
                    c->SetBounds(r.Left, r.Bottom - c->height_, r.Width(), c->height_);
                    r.Bottom -= c->height_;
                    break;
                case alLeft:
                    c->SetBounds(r.Left, r.Top, c->width_, r.Height());
                    r.Left += c->width_;
                    break;
                case alRight:
                    c->SetBounds(r.Right - c->width_, r.Top, c->width_, r.Height());
                    r.Right -= c->width_;
                    break;
                case alClient: c->SetBounds(r.Left, r.Top, r.Width(), r.Height()); break;
                default: break;
            }
        }
    };
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) place(a);
    aligning_ = false;
}

void TWinControl::Resized() {
    // Anchored children follow the change of the client size.
    const int w = ClientWidth(), h = ClientHeight();
    if (client_w_ >= 0) {
        const int dw = w - client_w_, dh = h - client_h_;
        if (dw || dh) {
            aligning_ = true;
            for (TControl* c : controls_) {
                if (c->align_ != alNone) continue;
                int l = c->left_, t = c->top_, cw = c->width_, ch = c->height_;
                const TAnchors a = c->anchors_;
                if (a.Contains(akRight)) {
                    if (a.Contains(akLeft))
                        cw += dw;
                    else
                        l += dw;
                } else if (!a.Contains(akLeft)) {
                    l += dw / 2;
                }
                if (a.Contains(akBottom)) {
                    if (a.Contains(akTop))
                        ch += dh;
                    else
                        t += dh;
                } else if (!a.Contains(akTop)) {
                    t += dh / 2;
                }
                c->SetBounds(l, t, cw, ch);
            }
            aligning_ = false;
        }
    }
    client_w_ = w;
    client_h_ = h;
    Realign();
}

void TWinControl::KeyDown(TKey& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
    if (key == 0) return;
    if (!WantsKey(key, shift)) {
        TCustomForm* f = form();
        if (f && f->DialogKeyDown(key, shift)) {
            key = 0;
            return;
        }
    }
    DoKeyDown(key, shift);
}

void TWinControl::KeyUp(TKey& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char32_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
    if (key != 0) DoKeyPress(key);
}

bool TWinControl::WantsKey(TKey, TShiftState) const { return false; }

bool TWinControl::DialogKey(TKey) { return false; }

bool TWinControl::BroadcastDialogKey(TKey key) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
        auto* w = dynamic_cast<TWinControl*>(c);
        if (!w || !w->visible_) continue;
        if (w->DialogKey(key) || w->BroadcastDialogKey(key)) return true;
    }
    return false;
}

void TWinControl::DoEnter() {
    Invalidate();
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    Invalidate();
    if (OnExit) OnExit(this);
}

// --- frames ----------------------------------------------------------------

void Frame3D(TCanvas& canvas, TRect& r, TColor top_left, TColor bottom_right, int width) {
    TPen saved;
    saved.Assign(canvas.Pen());
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetStyle(psSolid);
    canvas.Pen().SetMode(pmCopy);
    for (int i = 0; i < width; ++i) {
        if (r.IsEmpty()) break;
        canvas.Pen().SetColor(top_left);
        canvas.MoveTo(r.Left, r.Bottom - 1);
        canvas.LineTo(r.Left, r.Top);
        canvas.LineTo(r.Right - 1, r.Top);
        canvas.Pen().SetColor(bottom_right);
        canvas.LineTo(r.Right - 1, r.Bottom - 1);
        canvas.LineTo(r.Left - 1, r.Bottom - 1);
        r = r.Inflate(-1, -1);
    }
    canvas.Pen().Assign(saved);
}

void DrawEdge(TCanvas& canvas, TRect& r, Edge edge) {
    switch (edge) {
        case Edge::Raised:
            Frame3D(canvas, r, clBtnHighlight, cl3DDkShadow, 1);
            Frame3D(canvas, r, cl3DLight, clBtnShadow, 1);
            break;
        case Edge::Sunken:
            Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
            Frame3D(canvas, r, cl3DDkShadow, cl3DLight, 1);
            break;
        case Edge::Etched:
            Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
            Frame3D(canvas, r, clBtnHighlight, clBtnShadow, 1);
            break;
        case Edge::Bump:
            Frame3D(canvas, r, clBtnHighlight, clBtnShadow, 1);
            Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
            break;
    }
}

}  // namespace ui
