#pragma once
// The service of the larger settings windows: a tree of sectors on the left
// does the navigation, a page control on the right shows one page per tree
// item with its tabs hidden, scroll boxes hold the long pages. The service
// hides the tabs, expands the trees, flattens the scroll bars, selects pages
// by index, takes tree items out by their page identifier, and names a
// fixed-pitch font for the window's tables.
//
// Page identifiers: each tree node carries its page's identifier in its
// data pointer (TTreeNode::SetData(reinterpret_cast<void*>(id))), the way
// the settings windows fill their trees.

#include <initializer_list>
#include <string>

#include "platform/ui/forms.h"
#include "platform/ui/pages.h"
#include "platform/ui/tree_view.h"

namespace lib {

class OptWindowService {
public:
    // The tree colour is a shade darker than the window's; the font is the
    // first of Lucida Console, Courier New, Courier New Cyr and Courier the
    // screen has (empty when it has none).
    explicit OptWindowService(ui::TForm* window);

    // check_controls2 over the whole window.
    void check_controls();
    // Trees fully expanded, page controls' tabs hidden, scroll boxes' bars
    // flat, for the control and every windowed control inside it.
    void check_controls2(ui::TWinControl* control);
    // The page whose page index is `index` becomes the active page; no page
    // is active when none has it.
    void set_page(int index, ui::TPageControl* pages);
    // Deletes the node (with its children) when it carries the id, else
    // looks among its children.
    void erase_tree_item(ui::TTreeNodes* nodes, ui::TTreeNode* node, int id);
    // erase_tree_item for each id, over every top-level node.
    void erase_tree_items(ui::TTreeView* tree, std::initializer_list<int> ids);
    // Selects the first child of the first node, when it has one.
    void set_first_tree_item(ui::TTreeView* tree);

    ui::TColor tree_color() const { return tree_color_; }
    const std::string& font_name() const { return font_name_; }

    // The identifier a node carries.
    static int node_id(const ui::TTreeNode* node);

private:
    ui::TColor tree_color_;
    ui::TForm* window_;
    std::string font_name_;
};

}  // namespace lib
