#pragma once
// The tree view: nodes with a text, an image for the plain and for the
// selected state (indexes into the view's image list), and a pointer of the
// owner's data; children that show while their node is expanded; one
// selected node.
//
// Events. The user's choice of a node (a press on its row, the arrow keys)
// and code that sets Selected ask OnChanging, which may refuse, and then
// fire OnChange; a selection that moves because its node was deleted or
// hidden by a collapse fires OnChange only. Expanding and collapsing, by the
// user (a press on the button, a double click, the arrow keys) or by code,
// ask OnExpanding or OnCollapsing, which may refuse, and then fire
// OnExpanded or OnCollapsed. A press on a row selects the node first and
// then fires OnMouseDown. Every node that goes, also while the view itself
// is freed, fires OnDeletion first (its children before it), so that the
// owner can free the node's data.
//
// Unless ReadOnly, F2 (or EditText) starts editing the selected node's text:
// OnEditing may refuse; Enter or leaving the editor keeps the text (OnEdited
// may change it first), Escape keeps the old one.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/img_list.h"

namespace ui {

class TTreeNodes;
class TTreeView;
class LabelEditor;
class RowScroll;

class TTreeNode {
public:
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    TTreeNodes* Owner() const { return owner_; }
    TTreeView* TreeView() const;

    const std::string& Text() const { return text_; }
    void SetText(std::string text);
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int index);
    // The image while the node is selected.
    int SelectedIndex() const { return selected_index_; }
    void SetSelectedIndex(int index);
    void* Data() const { return data_; }
    void SetData(void* data) { data_ = data; }

    // Null for a node at the top level.
    TTreeNode* Parent() const;
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Item(int index) const;  // throws std::out_of_range
    TTreeNode* operator[](int index) const { return Item(index); }
    bool HasChildren() const { return !children_.empty(); }
    TTreeNode* getFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
    TTreeNode* getNextSibling() const;
    TTreeNode* getPrevSibling() const;
    // The next node of the whole tree, depth first; null after the last.
    TTreeNode* GetNext() const;
    // The next node shown (its parents expanded).
    TTreeNode* GetNextVisible() const;
    // The position among the siblings, the depth (0 at the top), and the
    // position in the whole tree.
    int Index() const;
    int Level() const;
    int AbsoluteIndex() const;
    bool HasAsParent(const TTreeNode* node) const;
    // Every parent is expanded.
    bool IsVisible() const;

    bool Expanded() const { return expanded_; }
    void SetExpanded(bool v);
    // A node without children neither expands nor asks. With `recurse` the
    // whole branch below follows.
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    void SetSelected(bool v);
    // Expands the parents and scrolls the node into view.
    void MakeVisible();
    // The node's row (or only its text), in the view's client coordinates;
    // empty while the node is not shown.
    TRect DisplayRect(bool text_only) const;
    // Starts the editing of the text; false when it may not start.
    bool EditText();

    // Frees the node with its children.
    void Delete();

private:
    friend class TTreeNodes;
    friend class TTreeView;
    explicit TTreeNode(TTreeNodes* owner) : owner_(owner) {}
    ~TTreeNode() = default;
    void changed();

    TTreeNodes* owner_;
    TTreeNode* parent_ = nullptr;  // the hidden root for top-level nodes
    std::vector<TTreeNode*> children_;
    std::string text_;
    int image_index_ = -1;
    int selected_index_ = -1;
    void* data_ = nullptr;
    bool expanded_ = false;
};

class TTreeNodes {
public:
    explicit TTreeNodes(TTreeView* view);
    ~TTreeNodes();
    TTreeNodes(const TTreeNodes&) = delete;
    TTreeNodes& operator=(const TTreeNodes&) = delete;

    TTreeView* Owner() const { return view_; }
    // All nodes of the tree; Item counts them depth first.
    int Count() const;
    TTreeNode* Item(int index) const;  // throws std::out_of_range
    TTreeNode* operator[](int index) const { return Item(index); }
    TTreeNode* GetFirstNode() const { return root_->getFirstChild(); }

    // A node after the last sibling of `sibling` (at the top level when it is
    // null), or before `sibling` (Insert), or as the last child of `parent`.
    TTreeNode* Add(TTreeNode* sibling, std::string text);
    TTreeNode* AddObject(TTreeNode* sibling, std::string text, void* data);
    TTreeNode* AddChild(TTreeNode* parent, std::string text);
    TTreeNode* AddChildObject(TTreeNode* parent, std::string text, void* data);
    TTreeNode* Insert(TTreeNode* sibling, std::string text);
    // Frees the node with its children (OnDeletion for each).
    void Delete(TTreeNode* node);
    void Clear();
    // Changes in between repaint once.
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TTreeView;
    TTreeNode* make(TTreeNode* parent, int index, std::string text, void* data);
    void free_branch(TTreeNode* node);
    TTreeView* view_;
    TTreeNode* root_;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;

class TTreeView : public TWinControl {
public:
    explicit TTreeView(TComponent* owner);
    ~TTreeView() override;

    TTreeNodes& Items() { return *items_; }
    const TTreeNodes& Items() const { return *items_; }
    TTreeNode* Selected() const { return selected_; }
    // Asks OnChanging, then fires OnChange.
    void SetSelected(TTreeNode* node);

    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v) { read_only_ = v; }
    // The step in pixels from a node to its children.
    void SetIndent(int v);
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* images);
    // Without the focus the selection is not marked (else in grey).
    void SetHideSelection(bool v);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle b);

    // The first node shown at the top.
    TTreeNode* TopItem() const;
    // The node whose row holds the client point, or null.
    TTreeNode* GetNodeAt(int x, int y) const;
    int RowHeight() const;
    void FullExpand();
    bool IsEditing() const;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void DblClick() override;

    TTVChangedEvent OnChange;
    TTVChangingEvent OnChanging;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    TTVExpandedEvent OnDeletion;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;

protected:
    TRect ClientInsets() const override;
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    bool WheelScroll(TShiftState shift, int delta, TPoint mouse_pos) override;
    void Notification(TComponent* component, TOperation operation) override;
    void Resized() override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    std::vector<TTreeNode*> shown_nodes() const;
    int node_x(const TTreeNode* node) const;  // where the node's image starts
    TRect text_rect(const TTreeNode* node, int row) const;
    bool select(TTreeNode* node, bool ask);
    void node_going(TTreeNode* node);
    void node_hidden(TTreeNode* node);
    void ensure_shown(const TTreeNode* node);
    bool needs_bar() const;
    int page_rows() const;  // the rows that fit in the client area
    bool start_edit(TTreeNode* node);
    void end_edit(bool accept);

    std::unique_ptr<TTreeNodes> items_;
    TTreeNode* selected_ = nullptr;
    bool read_only_ = false;
    int indent_ = 19;
    TCustomImageList* images_ = nullptr;
    bool show_lines_ = true, show_buttons_ = true, show_root_ = true, hide_selection_ = true;
    TBorderStyle border_style_ = bsSingle;
    int updating_ = 0;
    bool destroying_ = false;
    std::unique_ptr<RowScroll> scroll_;
    LabelEditor* editor_ = nullptr;
    TTreeNode* editing_ = nullptr;
};

}  // namespace ui
