#include "platform/ui/menus.h"

#include <algorithm>
#include <stdexcept>

#include "platform/rtl/text.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/frame_controls.h"
#include "platform/ui/text_engine.h"

namespace ui {
namespace {

// The caption without its access marks, as it is measured and compared.
std::string plain_caption(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&') {
            if (i + 1 < s.size() && s[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += s[i];
    }
    return out;
}

int text_width(const TFont& font, std::string_view text) {
    if (text.empty()) return 0;
    text_engine::Layout l(font, text, true);
    return l.Size().cx;
}

struct KeyName {
    TKey key;
    const char* name;
};

constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},  {VK_TAB, "Tab"},     {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},      {VK_HOME, "Home"},  {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},    {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},
};

std::string key_name(TKey key) {
    for (const KeyName& k : kKeyNames)
        if (k.key == key) return k.name;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key < VK_F1 + 24) return "F" + std::to_string(key - VK_F1 + 1);
    return {};
}

bool shown(const TMenuItem* item) { return item->Visible(); }

bool has_sub_items(const TMenuItem* item) {
    for (int i = 0; i < item->Count(); ++i)
        if (shown(item->Items(i))) return true;
    return false;
}

constexpr int kCheckColumn = 20;
constexpr int kArrowColumn = 18;
constexpr int kSeparatorHeight = 9;
constexpr int kFrame = 3;

int row_height() { return text_engine::line_height(TFont()) + 6; }

}  // namespace

int MenuBarHeight() { return text_engine::line_height(TFont()) + 6; }

// --- shortcuts ---------------------------------------------------------------

TShortCut ShortCut(TKey key, TShiftState shift) {
    if (key == 0 || key > 0xFF) return scNone;
    TShortCut s = key;
    if (shift.Contains(ssShift)) s |= scShift;
    if (shift.Contains(ssCtrl)) s |= scCtrl;
    if (shift.Contains(ssAlt)) s |= scAlt;
    return s;
}

std::string ShortCutToText(TShortCut shortcut) {
    const std::string name = key_name(shortcut & 0xFF);
    if (name.empty()) return {};
    std::string s;
    if (shortcut & scShift) s += "Shift+";
    if (shortcut & scCtrl) s += "Ctrl+";
    if (shortcut & scAlt) s += "Alt+";
    return s + name;
}

TShortCut TextToShortCut(std::string_view text) {
    TShortCut mods = 0;
    for (;;) {
        bool found = false;
        for (auto [prefix, bit] :
             {std::pair{"shift+", scShift}, std::pair{"ctrl+", scCtrl}, std::pair{"alt+", scAlt}}) {
            const std::string_view p(prefix);
            if (text.size() > p.size() && rtl::SameText(text.substr(0, p.size()), p)) {
                mods |= bit;
                text.remove_prefix(p.size());
                found = true;
            }
        }
        if (!found) break;
    }
    for (int key = 1; key <= 0xFF; ++key) {
        const std::string name = key_name(static_cast<TKey>(key));
        if (!name.empty() && rtl::SameText(name, text)) return static_cast<TShortCut>(key | mods);
    }
    return scNone;
}

// --- the open menu -----------------------------------------------------------

// The open levels of a menu, drawn as the pop-up of their form: the first
// level under the bar item or at the pop-up point, each further one beside
// the item it belongs to.
class MenuWindow : public TControl {
public:
    explicit MenuWindow(TMenu& menu) : TControl(nullptr), menu_(menu) {}
    ~MenuWindow() override { Close(); }

    // Another pop-up on the form (a combo box's list) puts the menu away.
    bool IsOpen() const { return form_ && form_->Popup() == this; }
    TCustomForm* Form() const { return form_; }
    TMenuItem* OpenRoot() const { return levels_.empty() ? nullptr : levels_.front().parent; }

    void Open(TCustomForm& form, TPoint at, TMenuItem* parent) {
        Close();
        form_ = &form;
        levels_.push_back(make_level(parent, at, nullptr));
        form.SetPopup(this);
    }

    void Close() {
        if (!form_) return;
        if (form_->Popup() != this) {
            form_ = nullptr;
            levels_.clear();
            return;
        }
        TCustomForm* f = form_;
        form_ = nullptr;
        if (f->Popup() == this) f->SetPopup(nullptr);
        levels_.clear();
        if (auto* m = dynamic_cast<TMainMenu*>(&menu_); m && m->Form()) m->Form()->Invalidate();
    }

    TRect PopupRect() const override {
        TRect r;
        for (const Level& l : levels_) r = UnionRect(r, l.rect);
        return r;
    }

    TRect ItemRect(const TMenuItem* item) const {
        for (const Level& l : levels_)
            for (std::size_t i = 0; i < l.items.size(); ++i)
                if (l.items[i] == item) return l.rows[i];
        return {};
    }

    void PaintPopup(TCanvas& c) override {
        const TPoint o = PopupRect().TopLeft();
        for (const Level& l : levels_) paint_level(c, l, o);
    }

    void PopupMouseMove(TPoint p) override {
        const TPoint w = p + PopupRect().TopLeft();
        int level = -1, row = -1;
        hit(w, level, row);
        if (level < 0) return;
        set_hot(level, row);
        if (row < 0) return;
        TMenuItem* item = levels_[static_cast<std::size_t>(level)].items[static_cast<std::size_t>(row)];
        if (has_sub_items(item) && item->Enabled())
            open_sub(level, row);
        else
            truncate(level + 1);
    }

    void PopupMouseDown(TPoint p) override {
        const TPoint w = p + PopupRect().TopLeft();
        int level = -1, row = -1;
        hit(w, level, row);
        if (level < 0) {
            Close();
            return;
        }
        if (row < 0) return;
        activate(level, row);
    }

    bool PopupKeyDown(TKey key, TShiftState) override {
        if (levels_.empty()) return false;
        const int last = static_cast<int>(levels_.size()) - 1;
        Level& l = levels_.back();
        switch (key) {
            case VK_ESCAPE:
            case VK_LEFT:
                if (last == 0)
                    Close();
                else
                    truncate(last);
                break;
            case VK_UP:
            case VK_DOWN: {
                const int n = static_cast<int>(l.items.size());
                int i = l.hot;
                for (int step = 0; step < n; ++step) {
                    i = key == VK_DOWN ? (i + 1) % n : (i <= 0 ? n - 1 : i - 1);
                    if (!l.items[static_cast<std::size_t>(i)]->IsLine()) break;
                }
                set_hot(last, i);
                break;
            }
            case VK_RIGHT:
                if (l.hot >= 0 && has_sub_items(l.items[static_cast<std::size_t>(l.hot)])) open_sub(last, l.hot, true);
                break;
            case VK_RETURN:
            case VK_SPACE:
                if (l.hot >= 0) activate(last, l.hot);
                break;
            default: break;
        }
        return true;
    }

    void ClosePopup() override { Close(); }

    void Refresh() {
        if (!form_) return;
        form_->InvalidateWindowRect(PopupRect());
    }

private:
    struct Level {
        TMenuItem* parent = nullptr;
        TRect rect;  // window coordinates of the form
        std::vector<TMenuItem*> items;
        std::vector<TRect> rows;
        int hot = -1;
    };

    Level make_level(TMenuItem* parent, TPoint at, const TRect* beside) {
        Level l;
        l.parent = parent;
        const TFont& font = Font();
        int caption_w = 0, shortcut_w = 0, height = 0;
        for (int i = 0; i < parent->Count(); ++i) {
            TMenuItem* item = parent->Items(i);
            if (!shown(item)) continue;
            l.items.push_back(item);
            const int h = item->IsLine() ? kSeparatorHeight : row_height();
            l.rows.push_back(Bounds(0, height, 0, h));
            height += h;
            caption_w = std::max(caption_w, text_width(font, plain_caption(item->Caption())));
            shortcut_w = std::max(shortcut_w, text_width(font, ShortCutToText(item->ShortCut())));
        }
        const int width = kCheckColumn + caption_w + (shortcut_w ? 24 + shortcut_w : 0) + kArrowColumn + 2 * kFrame;
        const int total_h = height + 2 * kFrame;
        // Kept inside the form's picture: a menu is drawn there.
        const int fw = form_->Width(), fh = form_->Height();
        int x = at.x, y = at.y;
        if (beside) {
            x = beside->Right - 2;
            y = beside->Top - kFrame;
            if (x + width > fw) x = std::max(0, beside->Left - width + 2);
        }
        if (x + width > fw) x = fw - width;
        if (y + total_h > fh) y = fh - total_h;
        x = std::max(0, x);
        y = std::max(0, y);
        l.rect = Bounds(x, y, width, total_h);
        for (TRect& r : l.rows) r = Rect(x + kFrame, y + kFrame + r.Top, x + width - kFrame, y + kFrame + r.Bottom);
        return l;
    }

    void hit(TPoint w, int& level, int& row) const {
        level = row = -1;
        for (int i = static_cast<int>(levels_.size()) - 1; i >= 0; --i) {
            const Level& l = levels_[static_cast<std::size_t>(i)];
            if (!l.rect.Contains(w)) continue;
            level = i;
            for (std::size_t k = 0; k < l.rows.size(); ++k)
                if (l.rows[k].Contains(w)) row = static_cast<int>(k);
            return;
        }
    }

    void set_hot(int level, int row) {
        Level& l = levels_[static_cast<std::size_t>(level)];
        if (l.hot == row) return;
        l.hot = row;
        Refresh();
    }

    void truncate(int count) {
        if (static_cast<int>(levels_.size()) <= count) return;
        Refresh();
        levels_.resize(static_cast<std::size_t>(count));
        Refresh();
    }

    void open_sub(int level, int row, bool hot_first = false) {
        Level& l = levels_[static_cast<std::size_t>(level)];
        TMenuItem* item = l.items[static_cast<std::size_t>(row)];
        if (static_cast<int>(levels_.size()) > level + 1 && levels_[static_cast<std::size_t>(level) + 1].parent == item)
            return;
        truncate(level + 1);
        const TRect beside = l.rows[static_cast<std::size_t>(row)];
        levels_.push_back(make_level(item, {}, &beside));
        if (hot_first && !levels_.back().items.empty()) levels_.back().hot = 0;
        form_->SetPopup(this);  // the pop-up grew
    }

    void activate(int level, int row) {
        TMenuItem* item = levels_[static_cast<std::size_t>(level)].items[static_cast<std::size_t>(row)];
        if (item->IsLine() || !item->Enabled()) return;
        if (has_sub_items(item)) {
            open_sub(level, row, true);
            return;
        }
        // The menu closes before the command runs: the command may free it.
        Close();
        item->Click();
    }

    void paint_level(TCanvas& c, const Level& l, TPoint o) {
        TRect r = l.rect.Offset(-o.x, -o.y);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clMenu);
        c.FillRect(r);
        DrawEdge(c, r, Edge::Raised);
        for (std::size_t i = 0; i < l.items.size(); ++i) {
            TMenuItem* item = l.items[i];
            const TRect row = l.rows[i].Offset(-o.x, -o.y);
            if (item->IsLine()) {
                const int y = (row.Top + row.Bottom) / 2 - 1;
                c.Pen().SetColor(clBtnShadow);
                c.MoveTo(row.Left + 1, y);
                c.LineTo(row.Right - 1, y);
                c.Pen().SetColor(clBtnHighlight);
                c.MoveTo(row.Left + 1, y + 1);
                c.LineTo(row.Right - 1, y + 1);
                continue;
            }
            const bool hot = static_cast<int>(i) == l.hot;
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(hot ? clHighlight : clMenu);
            c.FillRect(row);
            const TColor text = !item->Enabled() ? clGrayText : hot ? clHighlightText : clMenuText;
            c.Font().Assign(Font());
            c.Font().SetColor(text);
            c.Brush().SetStyle(bsClear);
            if (item->Checked()) DrawCheckMark(c, row.Left + 4, row.Top + (row.Height() - 13) / 2, text);
            TRect t = Rect(row.Left + kCheckColumn, row.Top, row.Right - kArrowColumn, row.Bottom);
            if (!item->Enabled() && !hot) {
                DrawDisabledText(c, item->Caption(), t, DT_SINGLELINE | DT_VCENTER);
            } else {
                c.DrawText(item->Caption(), t, DT_SINGLELINE | DT_VCENTER);
                const std::string sc = ShortCutToText(item->ShortCut());
                if (!sc.empty()) c.DrawText(sc, t, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
            }
            if (has_sub_items(item))
                DrawArrow(c, Rect(row.Right - kArrowColumn, row.Top, row.Right, row.Bottom), DFCS_SCROLLRIGHT, text);
        }
    }

    TMenu& menu_;
    TCustomForm* form_ = nullptr;
    std::vector<Level> levels_;
};

// --- TMenuItem ---------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    if (TMenu* m = GetParentMenu()) m->CloseMenu();
    Clear();
    if (parent_) parent_->Remove(this);
}

void TMenuItem::changed() {
    if (TMenu* m = GetParentMenu()) m->Changed();
}

void TMenuItem::SetCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    changed();
}

void TMenuItem::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    changed();
}

void TMenuItem::SetVisible(bool v) {
    if (v == visible_) return;
    if (TMenu* m = GetParentMenu()) m->CloseMenu();
    visible_ = v;
    changed();
}

void TMenuItem::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    changed();
}

void TMenuItem::SetShortCut(TShortCut shortcut) {
    shortcut_ = shortcut;
    changed();
}

bool TMenuItem::SetBoolProperty(std::string_view name, bool value) {
    if (name == "Enabled")
        SetEnabled(value);
    else if (name == "Visible")
        SetVisible(value);
    else if (name == "Checked")
        SetChecked(value);
    else
        return false;
    return true;
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TMenuItem::Items: index " + std::to_string(index) + " out of range");
    return items_[static_cast<std::size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!item) return;
    for (const TMenuItem* p = this; p; p = p->parent_)
        if (p == item) throw std::invalid_argument("TMenuItem::Insert: an item can't hold itself");
    if (item->parent_) item->parent_->Remove(item);
    if (index < 0 || index > Count())
        throw std::out_of_range("TMenuItem::Insert: index " + std::to_string(index) + " out of range");
    if (TMenu* m = GetParentMenu()) m->CloseMenu();
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    changed();
}

void TMenuItem::Delete(int index) { delete Items(index); }

void TMenuItem::Remove(TMenuItem* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    if (TMenu* m = GetParentMenu()) m->CloseMenu();
    items_.erase(it);
    item->parent_ = nullptr;
    changed();
}

void TMenuItem::Clear() {
    while (!items_.empty()) delete items_.back();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* root = this;
    while (root->parent_) root = root->parent_;
    return root->menu_;
}

TMenuItem* TMenuItem::Find(std::string_view caption) const {
    const std::string wanted = plain_caption(caption);
    for (TMenuItem* item : items_)
        if (rtl::SameText(plain_caption(item->caption_), wanted)) return item;
    return nullptr;
}

void TMenuItem::Click() {
    if (enabled_ && OnClick) OnClick(this);
}

// --- TMenu -------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }

TMenu::~TMenu() {
    window_.reset();
    items_->menu_ = nullptr;
    delete items_;
}

MenuWindow& TMenu::window() {
    if (!window_) window_ = std::make_unique<MenuWindow>(*this);
    return *window_;
}

bool TMenu::IsOpen() const { return window_ && window_->IsOpen(); }

MenuWindow* TMenu::open_window() const { return IsOpen() ? window_.get() : nullptr; }

void TMenu::CloseMenu() {
    if (window_) window_->Close();
}

void TMenu::Changed() {
    if (window_) window_->Refresh();
}

TMenuItem* TMenu::FindShortCut(TShortCut shortcut) const {
    if (shortcut == scNone) return nullptr;
    // Depth first; hidden or disabled branches hold no live shortcuts.
    std::vector<const TMenuItem*> stack{items_};
    while (!stack.empty()) {
        const TMenuItem* p = stack.back();
        stack.pop_back();
        for (int i = p->Count() - 1; i >= 0; --i) {
            TMenuItem* item = p->Items(i);
            if (!item->Visible() || !item->Enabled()) continue;
            stack.push_back(item);
        }
        for (int i = 0; i < p->Count(); ++i) {
            TMenuItem* item = p->Items(i);
            if (item->Visible() && item->Enabled() && item->ShortCut() == shortcut) return item;
        }
    }
    return nullptr;
}

bool TMenu::IsShortCut(TKey key, TShiftState shift) {
    TMenuItem* item = FindShortCut(ShortCut(key, shift));
    if (!item) return false;
    CloseMenu();
    item->Click();
    return true;
}

TRect TMenu::ItemScreenRect(const TMenuItem* item) const {
    TCustomForm* form = nullptr;
    TRect r;
    if (auto* m = dynamic_cast<const TMainMenu*>(this); m && m->Form()) {
        form = m->Form();
        r = m->BarItemRect(item);
    }
    if (r.IsEmpty() && IsOpen()) {
        r = window_->ItemRect(item);
        form = window_->Form();
    }
    if (r.IsEmpty() || !form) return {};
    return r.Offset(form->Left(), form->Top());
}

// --- TMainMenu ---------------------------------------------------------------

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

TMainMenu::~TMainMenu() {
    CloseMenu();
    if (form_) form_->SetMenu(nullptr);
}

void TMainMenu::Changed() {
    TMenu::Changed();
    if (form_) form_->MenuChanged();
}

TRect TMainMenu::BarItemRect(const TMenuItem* item) const {
    if (!form_ || !item || item->Parent() != Items() || !item->Visible()) return {};
    const TRect bar = form_->MenuBarRect();
    const TFont font;
    int x = bar.Left;
    for (int i = 0; i < Items()->Count(); ++i) {
        const TMenuItem* it = Items()->Items(i);
        if (!it->Visible()) continue;
        const int w = text_width(font, plain_caption(it->Caption())) + 14;
        if (it == item) return Rect(x, bar.Top, x + w, bar.Bottom);
        x += w;
    }
    return {};
}

TMenuItem* TMainMenu::BarItemAt(TPoint p) const {
    for (int i = 0; i < Items()->Count(); ++i)
        if (BarItemRect(Items()->Items(i)).Contains(p)) return Items()->Items(i);
    return nullptr;
}

void TMainMenu::PaintBar(TCanvas& c, const TRect& bar) const {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clMenu);
    c.FillRect(bar);
    const TMenuItem* open = open_window() ? open_window()->OpenRoot() : nullptr;
    for (int i = 0; i < Items()->Count(); ++i) {
        const TMenuItem* item = Items()->Items(i);
        TRect r = BarItemRect(item);
        if (r.IsEmpty()) continue;
        if (item == open) {
            TRect e = r;
            Frame3D(c, e, clBtnShadow, clBtnHighlight, 1);
        }
        c.Brush().SetStyle(bsClear);
        if (item->Enabled()) {
            c.Font().SetColor(clMenuText);
            c.DrawText(item->Caption(), r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        } else {
            DrawDisabledText(c, item->Caption(), r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        }
    }
}

void TMainMenu::DropDown(TMenuItem* item) {
    if (!form_ || !item || item->Parent() != Items() || !item->Visible() || !item->Enabled()) return;
    if (!has_sub_items(item)) {
        CloseMenu();
        item->Click();
        return;
    }
    const TRect r = BarItemRect(item);
    window().Open(*form_, {r.Left, r.Bottom}, item);
    form_->Invalidate();
}

// --- TPopupMenu --------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() {
    CloseMenu();
    for (TControl* c : std::vector<TControl*>(users_)) c->SetPopupMenu(nullptr);
}

void TPopupMenu::user_added(TControl* control) { users_.push_back(control); }

void TPopupMenu::user_gone(TControl* control) {
    users_.erase(std::remove(users_.begin(), users_.end(), control), users_.end());
    if (popup_component_ == control) popup_component_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    TCustomForm* form = nullptr;
    if (auto* c = dynamic_cast<TControl*>(popup_component_)) form = GetParentForm(c);
    if (!form) form = Screen().ActiveForm();
    if (!form || !form->Visible()) return;
    if (!has_sub_items(Items())) return;
    window().Open(*form, {x - form->Left(), y - form->Top()}, Items());
}

}  // namespace ui
