#include "library/options/opt_window_service.h"

#include <cstdint>
#include <vector>

#include "library/text_conv.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/application.h"
#include "widrak/myfunctions.h"

namespace lib {

OptWindowService::OptWindowService(ui::TForm* window)
    : tree_color_(widrak::get_light_color(window->Color(), -9, 0)), window_(window) {
    rtl::StringList fonts;
    const ui::TStrings& screen_fonts = ui::Screen().Fonts();
    for (int i = 0; i < screen_fonts.Count(); ++i) fonts.Add(screen_fonts[i]);
    for (const char* name : {"lucida console", "courier new", "courier new cyr", "courier"})
        if (contains_string(fonts, name)) {
            font_name_ = name;
            break;
        }
}

void OptWindowService::check_controls() { check_controls2(window_); }

void OptWindowService::check_controls2(ui::TWinControl* control) {
    if (!control) return;
    if (auto* tree = dynamic_cast<ui::TTreeView*>(control)) {
        tree->FullExpand();
    } else if (auto* pages = dynamic_cast<ui::TPageControl*>(control)) {
        for (int i = 0; i < pages->PageCount(); ++i) pages->Pages(i)->SetTabVisible(false);
    } else if (auto* box = dynamic_cast<ui::TScrollBox*>(control)) {
        box->HorzScrollBar().SetStyle(ui::ssFlat);
        box->VertScrollBar().SetStyle(ui::ssFlat);
    }
    for (int i = 0; i < control->ControlCount(); ++i)
        if (auto* child = dynamic_cast<ui::TWinControl*>(control->Controls(i))) check_controls2(child);
}

void OptWindowService::set_page(int index, ui::TPageControl* pages) {
    for (int i = 0; i < pages->PageCount(); ++i)
        if (pages->Pages(i)->PageIndex() == index) {
            pages->SetActivePage(pages->Pages(i));
            return;
        }
    pages->SetActivePage(nullptr);
}

int OptWindowService::node_id(const ui::TTreeNode* node) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(node->Data()));
}

void OptWindowService::erase_tree_item(ui::TTreeNodes* nodes, ui::TTreeNode* node, int id) {
    if (!node) return;
    if (node_id(node) == id) {
        nodes->Delete(node);
        return;
    }
    // A copy: deleting a child changes the node's list.
    std::vector<ui::TTreeNode*> children;
    for (int i = 0; i < node->Count(); ++i) children.push_back(node->Item(i));
    for (ui::TTreeNode* child : children) erase_tree_item(nodes, child, id);
}

void OptWindowService::erase_tree_items(ui::TTreeView* tree, std::initializer_list<int> ids) {
    for (int id : ids) {
        std::vector<ui::TTreeNode*> roots;
        for (ui::TTreeNode* n = tree->Items().GetFirstNode(); n; n = n->getNextSibling()) roots.push_back(n);
        for (ui::TTreeNode* n : roots) erase_tree_item(&tree->Items(), n, id);
    }
}

void OptWindowService::set_first_tree_item(ui::TTreeView* tree) {
    ui::TTreeNode* first = tree->Items().GetFirstNode();
    if (first && first->HasChildren()) tree->SetSelected(first->getFirstChild());
}

}  // namespace lib
