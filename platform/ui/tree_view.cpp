#include "platform/ui/tree_view.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ui/application.h"
#include "platform/ui/label_edit.h"
#include "platform/ui/row_scroll.h"
#include "platform/ui/text_engine.h"

namespace ui {

// --- TTreeNode -----------------------------------------------------------------

TTreeView* TTreeNode::TreeView() const { return owner_->view_; }

void TTreeNode::changed() {
    TTreeView* v = TreeView();
    if (v && v->updating_ == 0) v->Invalidate();
}

void TTreeNode::SetText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    changed();
}

void TTreeNode::SetImageIndex(int index) {
    image_index_ = index;
    changed();
}

void TTreeNode::SetSelectedIndex(int index) {
    selected_index_ = index;
    changed();
}

TTreeNode* TTreeNode::Parent() const { return parent_ == owner_->root_ ? nullptr : parent_; }

TTreeNode* TTreeNode::Item(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TTreeNode::Item: index " + std::to_string(index) + " out of range");
    return children_[static_cast<std::size_t>(index)];
}

int TTreeNode::Index() const {
    if (!parent_) return -1;
    const auto& v = parent_->children_;
    return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

TTreeNode* TTreeNode::getNextSibling() const {
    if (!parent_) return nullptr;
    const int i = Index() + 1;
    return i < parent_->Count() ? parent_->children_[static_cast<std::size_t>(i)] : nullptr;
}

TTreeNode* TTreeNode::getPrevSibling() const {
    if (!parent_) return nullptr;
    const int i = Index() - 1;
    return i >= 0 ? parent_->children_[static_cast<std::size_t>(i)] : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
    if (!children_.empty()) return children_.front();
    for (const TTreeNode* n = this; n && n != owner_->root_; n = n->parent_)
        if (TTreeNode* s = n->getNextSibling()) return s;
    return nullptr;
}

TTreeNode* TTreeNode::GetNextVisible() const {
    if (expanded_ && !children_.empty()) return children_.front();
    for (const TTreeNode* n = this; n && n != owner_->root_; n = n->parent_)
        if (TTreeNode* s = n->getNextSibling()) return s;
    return nullptr;
}

int TTreeNode::Level() const {
    int level = 0;
    for (const TTreeNode* n = parent_; n && n != owner_->root_; n = n->parent_) ++level;
    return level;
}

int TTreeNode::AbsoluteIndex() const {
    int i = 0;
    for (const TTreeNode* n = owner_->GetFirstNode(); n; n = n->GetNext(), ++i)
        if (n == this) return i;
    return -1;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
    if (!node) return false;
    for (const TTreeNode* n = parent_; n; n = n->parent_)
        if (n == node) return true;
    return false;
}

bool TTreeNode::IsVisible() const {
    for (const TTreeNode* n = parent_; n && n != owner_->root_; n = n->parent_)
        if (!n->expanded_) return false;
    return true;
}

void TTreeNode::SetExpanded(bool v) {
    if (v)
        Expand(false);
    else
        Collapse(false);
}

void TTreeNode::Expand(bool recurse) {
    TTreeView* v = TreeView();
    if (!children_.empty() && !expanded_) {
        bool allow = true;
        if (v->OnExpanding) v->OnExpanding(v, this, allow);
        if (allow) {
            expanded_ = true;
            changed();
            if (v->OnExpanded) v->OnExpanded(v, this);
        }
    }
    if (recurse)
        for (TTreeNode* c : std::vector<TTreeNode*>(children_)) c->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
    TTreeView* v = TreeView();
    if (recurse)
        for (TTreeNode* c : std::vector<TTreeNode*>(children_)) c->Collapse(true);
    if (children_.empty() || !expanded_) return;
    bool allow = true;
    if (v->OnCollapsing) v->OnCollapsing(v, this, allow);
    if (!allow) return;
    expanded_ = false;
    v->node_hidden(this);
    changed();
    if (v->OnCollapsed) v->OnCollapsed(v, this);
}

bool TTreeNode::Selected() const { return TreeView()->selected_ == this; }

void TTreeNode::SetSelected(bool v) {
    TTreeView* view = TreeView();
    if (v)
        view->select(this, true);
    else if (view->selected_ == this)
        view->select(nullptr, true);
}

void TTreeNode::MakeVisible() {
    std::vector<TTreeNode*> chain;
    for (TTreeNode* n = Parent(); n; n = n->Parent()) chain.push_back(n);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->Expand(false);
    TreeView()->ensure_shown(this);
}

TRect TTreeNode::DisplayRect(bool text_only) const {
    const TTreeView* v = TreeView();
    const std::vector<TTreeNode*> shown = v->shown_nodes();
    const auto it = std::find(shown.begin(), shown.end(), this);
    if (it == shown.end()) return {};
    const int row = static_cast<int>(it - shown.begin()) - v->scroll_->top();
    const int y = row * v->RowHeight();
    if (row < 0 || y >= v->ClientHeight()) return {};
    return text_only ? v->text_rect(this, row) : Rect(0, y, v->ClientWidth(), y + v->RowHeight());
}

bool TTreeNode::EditText() { return TreeView()->start_edit(this); }

void TTreeNode::Delete() { owner_->Delete(this); }

// --- TTreeNodes ----------------------------------------------------------------

TTreeNodes::TTreeNodes(TTreeView* view) : view_(view), root_(new TTreeNode(this)) { root_->expanded_ = true; }

TTreeNodes::~TTreeNodes() { free_branch(root_); }

void TTreeNodes::free_branch(TTreeNode* node) {
    for (TTreeNode* c : node->children_) free_branch(c);
    delete node;
}

int TTreeNodes::Count() const {
    int n = 0;
    for (const TTreeNode* t = GetFirstNode(); t; t = t->GetNext()) ++n;
    return n;
}

TTreeNode* TTreeNodes::Item(int index) const {
    int i = 0;
    if (index >= 0)
        for (TTreeNode* t = GetFirstNode(); t; t = t->GetNext(), ++i)
            if (i == index) return t;
    throw std::out_of_range("TTreeNodes::Item: index " + std::to_string(index) + " out of range");
}

TTreeNode* TTreeNodes::make(TTreeNode* parent, int index, std::string text, void* data) {
    auto* node = new TTreeNode(this);
    node->parent_ = parent;
    node->text_ = std::move(text);
    node->data_ = data;
    parent->children_.insert(parent->children_.begin() + index, node);
    node->changed();
    return node;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, std::string text) {
    return AddObject(sibling, std::move(text), nullptr);
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, std::string text, void* data) {
    TTreeNode* parent = sibling ? sibling->parent_ : root_;
    return make(parent, parent->Count(), std::move(text), data);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, std::string text) {
    return AddChildObject(parent, std::move(text), nullptr);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, std::string text, void* data) {
    if (!parent) parent = root_;
    return make(parent, parent->Count(), std::move(text), data);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, std::string text) {
    TTreeNode* parent = sibling ? sibling->parent_ : root_;
    return make(parent, sibling ? sibling->Index() : 0, std::move(text), nullptr);
}

void TTreeNodes::Delete(TTreeNode* node) {
    if (!node || node == root_ || node->owner_ != this) return;
    view_->node_going(node);
    TTreeView* v = view_;
    const bool selection_goes = v->selected_ && (v->selected_ == node || v->selected_->HasAsParent(node));
    TTreeNode* next = nullptr;
    if (selection_goes) {
        next = node->getNextSibling();
        if (!next) next = node->getPrevSibling();
        if (!next) next = node->Parent();
        v->selected_ = nullptr;
    }
    auto& siblings = node->parent_->children_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    free_branch(node);
    v->scroll_->refresh();
    v->Invalidate();
    if (selection_goes && !v->destroying_) v->select(next, false);
}

void TTreeNodes::Clear() {
    TTreeView* v = view_;
    for (TTreeNode* n : std::vector<TTreeNode*>(root_->children_)) v->node_going(n);
    const bool had_selection = v->selected_ != nullptr;
    v->selected_ = nullptr;
    for (TTreeNode* n : root_->children_) free_branch(n);
    root_->children_.clear();
    v->scroll_->reset();
    v->Invalidate();
    if (had_selection && !v->destroying_ && v->OnChange) v->OnChange(v, nullptr);
}

void TTreeNodes::BeginUpdate() { ++view_->updating_; }

void TTreeNodes::EndUpdate() {
    if (view_->updating_ > 0 && --view_->updating_ == 0) view_->Invalidate();
}

// --- TTreeView: model ----------------------------------------------------------

TTreeView::TTreeView(TComponent* owner)
    : TWinControl(owner),
      items_(std::make_unique<TTreeNodes>(this)),
      scroll_(std::make_unique<RowScroll>(
          *this, [this] { return static_cast<int>(shown_nodes().size()); }, [this] { return page_rows(); })) {
    set_bounds_raw(0, 0, 121, 97);
    SetTabStop(true);
    SetColor(clWindow);
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks});
}

TTreeView::~TTreeView() {
    destroying_ = true;
    items_->Clear();
    if (images_) RemoveFreeNotification(images_);
}

void TTreeView::node_going(TTreeNode* node) {
    if (editing_ && (editing_ == node || editing_->HasAsParent(node)) && editor_) editor_->Finish(false);
    for (TTreeNode* c : std::vector<TTreeNode*>(node->children_)) node_going(c);
    if (OnDeletion) OnDeletion(this, node);
}

void TTreeView::node_hidden(TTreeNode* node) {
    if (selected_ && selected_->HasAsParent(node)) select(node, false);
    scroll_->refresh();
}

bool TTreeView::select(TTreeNode* node, bool ask) {
    if (node == selected_) return true;
    if (ask && OnChanging) {
        bool allow = true;
        OnChanging(this, node, allow);
        if (!allow) return false;
    }
    selected_ = node;
    if (node) node->MakeVisible();
    Invalidate();
    if (OnChange) OnChange(this, node);
    return true;
}

void TTreeView::SetSelected(TTreeNode* node) { select(node, true); }

void TTreeView::SetIndent(int v) {
    indent_ = std::max(0, v);
    Invalidate();
}

void TTreeView::SetImages(TCustomImageList* images) {
    if (images_) RemoveFreeNotification(images_);
    images_ = images;
    if (images_) FreeNotification(images_);
    Invalidate();
}

void TTreeView::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == images_) {
        images_ = nullptr;
        Invalidate();
    }
}

void TTreeView::SetHideSelection(bool v) {
    hide_selection_ = v;
    Invalidate();
}
void TTreeView::SetBorderStyle(TBorderStyle b) {
    border_style_ = b;
    Invalidate();
    Realign();
}

void TTreeView::FullExpand() {
    for (TTreeNode* n : std::vector<TTreeNode*>(items_->root_->children_)) n->Expand(true);
}

bool TTreeView::IsEditing() const { return editing_ != nullptr; }

bool TTreeView::start_edit(TTreeNode* node) {
    if (!node || read_only_ || node->owner_ != items_.get()) return false;
    if (editing_ && editor_) editor_->Finish(true);
    bool allow = true;
    if (OnEditing) OnEditing(this, node, allow);
    if (!allow) return false;
    node->MakeVisible();
    if (!editor_) editor_ = new LabelEditor(this, [this](bool accept) { end_edit(accept); });
    editing_ = node;
    TRect r = node->DisplayRect(true);
    r.Right = std::min(ClientWidth(), std::max(r.Right + 20, r.Left + 60));
    editor_->Start(r, node->Text());
    return true;
}

void TTreeView::end_edit(bool accept) {
    TTreeNode* node = editing_;
    if (!node) return;
    editing_ = nullptr;
    if (!accept) return;
    std::string s = editor_->Text();
    if (OnEdited) OnEdited(this, node, s);
    node->SetText(std::move(s));
}

// --- TTreeView: geometry --------------------------------------------------------------

std::vector<TTreeNode*> TTreeView::shown_nodes() const {
    std::vector<TTreeNode*> v;
    for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNextVisible()) v.push_back(n);
    return v;
}

int TTreeView::RowHeight() const {
    const int text = text_engine::line_height(Font()) + 4;
    return images_ ? std::max(text, images_->Height() + 2) : text;
}

int TTreeView::node_x(const TTreeNode* node) const { return 2 + (node->Level() + (show_root_ ? 1 : 0)) * indent_; }

TRect TTreeView::text_rect(const TTreeNode* node, int row) const {
    const int x = node_x(node) + (images_ ? images_->Width() + 3 : 0);
    const int w = text_engine::Layout(Font(), node->Text(), true).Size().cx + 4;
    const int y = row * RowHeight();
    return Rect(x, y, x + w, y + RowHeight());
}

bool TTreeView::needs_bar() const {
    const int b = RowScroll::border(border_style_);
    const int rows = std::max(1, (Height() - 2 * b) / std::max(1, RowHeight()));
    return static_cast<int>(shown_nodes().size()) > rows;
}

TRect TTreeView::ClientInsets() const { return RowScroll::insets(border_style_, needs_bar()); }

void TTreeView::Resized() {
    TWinControl::Resized();
    scroll_->refresh();
}

int TTreeView::page_rows() const { return std::max(1, ClientHeight() / RowHeight()); }

void TTreeView::ensure_shown(const TTreeNode* node) {
    const std::vector<TTreeNode*> shown = shown_nodes();
    const auto it = std::find(shown.begin(), shown.end(), node);
    if (it == shown.end()) return;
    scroll_->ensure_shown(static_cast<int>(it - shown.begin()));
}

TTreeNode* TTreeView::TopItem() const {
    const std::vector<TTreeNode*> shown = shown_nodes();
    const int top = scroll_->top();
    return top < static_cast<int>(shown.size()) ? shown[static_cast<std::size_t>(top)] : nullptr;
}

TTreeNode* TTreeView::GetNodeAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight()) return nullptr;
    const std::vector<TTreeNode*> shown = shown_nodes();
    const int i = scroll_->top() + y / RowHeight();
    return i < static_cast<int>(shown.size()) ? shown[static_cast<std::size_t>(i)] : nullptr;
}

// --- TTreeView: input ----------------------------------------------------------------

void TTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (!ClientRect().Contains({x, y})) {
        scroll_->frame_press(button, x, y, border_style_, needs_bar(), ClientInsets());
        return;
    }
    if (button == mbLeft && !shift.Contains(ssDouble)) {
        if (TTreeNode* node = GetNodeAt(x, y)) {
            const int bx = node_x(node) - indent_ / 2;
            const bool has_button = show_buttons_ && node->HasChildren() && (node->Level() > 0 || show_root_);
            if (has_button && x >= bx - 6 && x <= bx + 6)
                node->SetExpanded(!node->Expanded());
            else
                select(node, true);
        }
    }
    TWinControl::MouseDown(button, shift, x, y);
}

void TTreeView::MouseMove(TShiftState shift, int x, int y) {
    scroll_->mouse_move(x, y, ClientInsets());
    TWinControl::MouseMove(shift, x, y);
}

void TTreeView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    scroll_->mouse_up();
    TWinControl::MouseUp(button, shift, x, y);
}

void TTreeView::DblClick() {
    TWinControl::DblClick();
    const TPoint p = ScreenToClient(Mouse().CursorPos());
    if (TTreeNode* node = GetNodeAt(p.x, p.y); node && node->HasChildren()) node->SetExpanded(!node->Expanded());
}

void TTreeView::DoKeyDown(TKey& key, TShiftState) {
    const std::vector<TTreeNode*> shown = shown_nodes();
    if (shown.empty()) return;
    const int n = static_cast<int>(shown.size());
    const auto it = std::find(shown.begin(), shown.end(), selected_);
    const int i = it == shown.end() ? -1 : static_cast<int>(it - shown.begin());
    int target = i;
    if (paging_key(key, i, n, page_rows(), target)) {
        key = 0;
        if (target >= 0 && target != i) select(shown[static_cast<std::size_t>(target)], true);
        return;
    }
    switch (key) {
        case VK_LEFT:
            if (selected_ && selected_->Expanded() && selected_->HasChildren())
                selected_->Collapse(false);
            else if (selected_ && selected_->Parent())
                select(selected_->Parent(), true);
            key = 0;
            return;
        case VK_RIGHT:
            if (selected_ && selected_->HasChildren()) {
                if (!selected_->Expanded())
                    selected_->Expand(false);
                else
                    select(selected_->getFirstChild(), true);
            }
            key = 0;
            return;
        case VK_F2:
            start_edit(selected_);
            key = 0;
            return;
        default: return;
    }
}

bool TTreeView::WheelScroll(TShiftState, int delta, TPoint) {
    scroll_->wheel(delta);
    return true;
}

// --- TTreeView: painting -------------------------------------------------------------

void TTreeView::PaintFrame(TCanvas& c) { scroll_->paint_frame(c, border_style_, needs_bar()); }

void TTreeView::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    const std::vector<TTreeNode*> shown = shown_nodes();
    const int rh = RowHeight();
    const int rows = ClientHeight() / rh + 1;
    const bool focused = Focused() || (editor_ && editor_->Focused());
    const int top = scroll_->top();
    const int last = std::min(static_cast<int>(shown.size()), top + rows);
    auto column = [&](const TTreeNode* n) { return node_x(n) - indent_ / 2; };
    auto rooted = [&](const TTreeNode* n) { return n->Level() > 0 || show_root_; };
    for (int i = top; i < last; ++i) {
        const TTreeNode* node = shown[static_cast<std::size_t>(i)];
        const int row = i - top;
        const int y = row * rh, mid = y + rh / 2;
        if (show_lines_) {
            c.Pen().SetColor(clGray);
            c.Pen().SetStyle(psDot);
            c.Pen().SetWidth(1);
            c.Brush().SetColor(Color());
            if (rooted(node)) {
                const int bx = column(node);
                c.MoveTo(bx, mid);
                c.LineTo(node_x(node), mid);
                if (node->Parent() || node->getPrevSibling()) {
                    c.MoveTo(bx, y);
                    c.LineTo(bx, mid);
                }
                if (node->getNextSibling()) {
                    c.MoveTo(bx, mid);
                    c.LineTo(bx, y + rh);
                }
            }
            for (const TTreeNode* a = node->Parent(); a; a = a->Parent())
                if (a->getNextSibling() && rooted(a)) {
                    c.MoveTo(column(a), y);
                    c.LineTo(column(a), y + rh);
                }
            c.Pen().SetStyle(psSolid);
        }
        if (show_buttons_ && node->HasChildren() && rooted(node)) {
            const int bx = column(node);
            const TRect box = Rect(bx - 4, mid - 4, bx + 5, mid + 5);
            c.Brush().SetColor(clWindow);
            c.FillRect(box);
            c.Brush().SetColor(clGray);
            c.FrameRect(box);
            c.Pen().SetColor(clWindowText);
            c.MoveTo(bx - 2, mid);
            c.LineTo(bx + 3, mid);
            if (!node->Expanded()) {
                c.MoveTo(bx, mid - 2);
                c.LineTo(bx, mid + 3);
            }
        }
        const bool selected = node == selected_;
        if (images_) {
            const int index = selected && node->SelectedIndex() >= 0 ? node->SelectedIndex() : node->ImageIndex();
            images_->Draw(c, node_x(node), y + (rh - images_->Height()) / 2, index, EnabledInTree());
        }
        const TRect tr = text_rect(node, row);
        c.Font().Assign(Font());
        c.Brush().SetStyle(bsSolid);
        if (selected && (focused || !hide_selection_)) {
            c.Brush().SetColor(focused ? clHighlight : clBtnFace);
            if (focused) c.Font().SetColor(clHighlightText);
            c.FillRect(tr);
        }
        if (!EnabledInTree()) c.Font().SetColor(clGrayText);
        c.Brush().SetStyle(bsClear);
        c.TextOut(tr.Left + 2, y + (rh - text_engine::line_height(c.Font())) / 2, node->Text());
        c.Brush().SetStyle(bsSolid);
        if (selected && focused) c.DrawFocusRect(tr);
    }
}

}  // namespace ui
