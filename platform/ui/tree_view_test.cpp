#include "platform/ui/tree_view.h"

#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/frame_scroll.h"
#include "platform/ui/menus.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

// A 16 x 16 picture in one colour on a fuchsia (transparent) background.
void add_picture(TImageList& list, TColor colour) {
    TBitmap b(16, 16);
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, 16, 16));
    b.Canvas().Brush().SetColor(colour);
    b.Canvas().FillRect(Rect(3, 3, 13, 13));
    list.AddMasked(b, clFuchsia);
}

struct Info {
    int trip;
};

// A selection tree like the data window's: a root that may not collapse,
// "По рейсам" with trips, "По времени" with "Все данные" and days.
struct TreeForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TTreeView* tree;
    TImageList* images;
    TTreeNode *root, *trips, *times, *all;
    std::vector<std::string> log;
    int deleted = 0;
    TestDriver drv;

    TreeForm() {
        form->SetBounds(20, 20, 320, 300);
        images = new TImageList(form.get());
        for (TColor c : {clRed, clGreen, clBlue}) add_picture(*images, c);
        tree = new TTreeView(form.get());
        tree->SetParent(form.get());
        tree->SetBounds(8, 8, 250, 200);
        tree->SetIndent(20);
        tree->SetImages(images);
        tree->SetReadOnly(true);
        tree->OnDeletion = [this](TObject*, TTreeNode* n) {
            delete static_cast<Info*>(n->Data());
            ++deleted;
        };
        tree->OnChanging = [this](TObject*, TTreeNode* n, bool&) { log.push_back("changing " + text(n)); };
        tree->OnChange = [this](TObject*, TTreeNode* n) { log.push_back("change " + text(n)); };
        tree->OnCollapsing = [this](TObject*, TTreeNode* n, bool& allow) {
            allow = n != root;
            log.push_back("collapsing " + text(n));
        };
        tree->OnExpanded = [this](TObject*, TTreeNode* n) { log.push_back("expanded " + text(n)); };
        tree->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
            log.push_back("down " + text(tree->Selected()));
        };
        TTreeNodes& items = tree->Items();
        items.BeginUpdate();
        root = items.Add(nullptr, "Скважина \"7\"");
        trips = items.AddChild(root, "По рейсам");
        for (int t : {3, 5, 8})
            items.AddChildObject(trips, "Рейс #" + std::to_string(t), new Info{t})->SetImageIndex(2);
        times = items.AddChild(root, "По времени");
        all = items.AddChildObject(times, "Все данные", new Info{-1});
        for (const char* day : {"Позавчера", "Вчера", "Сегодня"}) {
            TTreeNode* d = items.AddChild(times, day);
            for (int h = 0; h < 24; h += 8)
                items.AddChildObject(d, std::to_string(h) + ":00 - " + std::to_string(h + 8) + ":00", new Info{-1});
        }
        items.EndUpdate();
        root->SetImageIndex(0);
        trips->SetImageIndex(1);
        times->SetImageIndex(1);
        form->Show();
        tree->SetFocus();
    }
    static std::string text(const TTreeNode* n) { return n ? n->Text() : "(none)"; }
    TPoint row_point(int row) const { return {120, row * tree->RowHeight() + tree->RowHeight() / 2}; }
    // The expand button of a node at a level: half an indent left of where
    // its image starts.
    TPoint button_point(const TTreeNode* n, int row) const {
        return {2 + (n->Level() + 1) * 20 - 10, row * tree->RowHeight() + tree->RowHeight() / 2};
    }
};

TEST(TreeView, NodesHoldTextsImagesDataAndOrder) {
    TreeForm t;
    TTreeNodes& items = t.tree->Items();
    EXPECT_EQ(items.Count(), 1 + 1 + 3 + 1 + 1 + 3 + 9);
    EXPECT_EQ(items.GetFirstNode(), t.root);
    EXPECT_EQ(items[2]->Text(), "Рейс #3");
    EXPECT_EQ(items[2]->AbsoluteIndex(), 2);
    EXPECT_EQ(static_cast<Info*>(items[3]->Data())->trip, 5);
    EXPECT_EQ(t.all->Level(), 2);
    EXPECT_EQ(t.all->Parent(), t.times);
    EXPECT_EQ(t.root->Parent(), nullptr);
    EXPECT_TRUE(t.all->HasAsParent(t.root));
    EXPECT_EQ(t.trips->getNextSibling(), t.times);
    EXPECT_EQ(t.trips->GetNext()->Text(), "Рейс #3");
    EXPECT_EQ(t.times->Item(1)->Index(), 1);
    EXPECT_THROW(t.times->Item(9), std::out_of_range);
    EXPECT_THROW(items[100], std::out_of_range);
    // Insert goes before its sibling.
    TTreeNode* first = items.Insert(t.trips, "Первый");
    EXPECT_EQ(t.root->getFirstChild(), first);
    first->Delete();
    // Nothing is expanded yet: only the root shows.
    EXPECT_FALSE(t.trips->IsVisible() && t.root->Expanded());
    EXPECT_EQ(t.tree->GetNodeAt(10, 5), t.root);
    EXPECT_EQ(t.tree->GetNodeAt(10, t.tree->RowHeight() + 2), nullptr);
}

TEST(TreeView, ExpandingAndCollapsingAskFirstAndTheRootStaysOpen) {
    TreeForm t;
    t.root->Expand(false);
    EXPECT_EQ(t.log, (std::vector<std::string>{"expanded " + t.root->Text()}));
    // A press on the button opens "По времени" (the second child row).
    t.log.clear();
    t.drv.Click(*t.tree, t.button_point(t.times, 2));
    EXPECT_TRUE(t.times->Expanded());
    EXPECT_EQ(t.log, (std::vector<std::string>{"expanded По времени", "down (none)"}));
    EXPECT_EQ(t.tree->GetNodeAt(120, t.row_point(3).y), t.all);
    // The root refuses to collapse, by code and by its button.
    t.root->Collapse(false);
    t.drv.Click(*t.tree, t.button_point(t.root, 0));
    EXPECT_TRUE(t.root->Expanded());
    // A double click toggles a node.
    t.drv.DoubleClick(*t.tree, t.row_point(2));
    EXPECT_FALSE(t.times->Expanded());
    t.tree->FullExpand();
    EXPECT_TRUE(t.times->Item(2)->Expanded());
    EXPECT_FALSE(t.times->Item(1)->Item(0)->DisplayRect(false).IsEmpty());
    // A node without children neither expands nor asks.
    t.log.clear();
    t.all->Expand(false);
    EXPECT_FALSE(t.all->Expanded());
    EXPECT_TRUE(t.log.empty());
}

TEST(TreeView, ChoosingANodeAsksFirstAndSelectsBeforeMouseDown) {
    TreeForm t;
    t.root->Expand(false);
    t.log.clear();
    t.drv.Click(*t.tree, t.row_point(1));
    EXPECT_EQ(t.tree->Selected(), t.trips);
    EXPECT_EQ(t.log, (std::vector<std::string>{"changing По рейсам", "change По рейсам", "down По рейсам"}));
    // OnChanging may refuse.
    t.tree->OnChanging = [](TObject*, TTreeNode*, bool& allow) { allow = false; };
    t.drv.Click(*t.tree, t.row_point(2));
    EXPECT_EQ(t.tree->Selected(), t.trips);
    t.tree->OnChanging = nullptr;
    // Keys walk the shown nodes and open and close them.
    t.drv.Press(VK_RIGHT);
    EXPECT_TRUE(t.trips->Expanded());
    t.drv.Press(VK_RIGHT);
    EXPECT_EQ(t.tree->Selected()->Text(), "Рейс #3");
    t.drv.Press(VK_DOWN);
    t.drv.Press(VK_DOWN);
    EXPECT_EQ(t.tree->Selected()->Text(), "Рейс #8");
    t.drv.Press(VK_LEFT);
    EXPECT_EQ(t.tree->Selected(), t.trips);
    t.drv.Press(VK_END);
    EXPECT_EQ(t.tree->Selected(), t.times);
    // Selecting a hidden node by code opens its parents.
    t.log.clear();
    t.tree->SetSelected(t.all);
    EXPECT_TRUE(t.times->Expanded());
    EXPECT_EQ(t.log.back(), "change Все данные");
}

TEST(TreeView, SelectionMovesWhenItsNodeGoesOrHidesAndDataIsFreed) {
    TreeForm t;
    t.tree->FullExpand();
    TTreeNode* trip5 = t.trips->Item(1);
    t.tree->SetSelected(trip5);
    t.log.clear();
    trip5->Delete();
    EXPECT_EQ(t.deleted, 1);
    EXPECT_EQ(t.tree->Selected()->Text(), "Рейс #8");
    EXPECT_EQ(t.log, (std::vector<std::string>{"change Рейс #8"}));
    // Collapsing hides the selection: the collapsed node takes it.
    t.log.clear();
    t.trips->Collapse(false);
    EXPECT_EQ(t.tree->Selected(), t.trips);
    EXPECT_EQ(t.log, (std::vector<std::string>{"collapsing По рейсам", "change По рейсам"}));
    // Deleting a branch frees every node's data, children first.
    std::vector<std::string> order;
    t.tree->OnDeletion = [&](TObject*, TTreeNode* n) {
        order.push_back(n->Text());
        delete static_cast<Info*>(n->Data());
    };
    t.trips->Delete();
    EXPECT_EQ(order, (std::vector<std::string>{"Рейс #3", "Рейс #8", "По рейсам"}));
    EXPECT_EQ(t.tree->Selected(), t.times);
    // Clearing leaves no selection; freeing the tree frees the rest (the
    // sanitizer build would report a leak otherwise).
    order.clear();
    t.tree->Items().Clear();
    EXPECT_EQ(order.size(), 15u);
    EXPECT_EQ(t.tree->Selected(), nullptr);
    EXPECT_EQ(t.log.back(), "change (none)");
}

TEST(TreeView, ScrollingKeepsTheSelectionInViewAndTheWheelScrolls) {
    TreeForm t;
    t.tree->FullExpand();
    const int rows = t.tree->ClientHeight() / t.tree->RowHeight();
    ASSERT_LT(rows, t.tree->Items().Count());
    EXPECT_EQ(t.tree->ClientWidth(), 250 - 4 - FrameScrollBar::kSize);
    t.tree->SetSelected(t.root);
    t.drv.Press(VK_END);
    EXPECT_NE(t.tree->TopItem(), t.root);
    EXPECT_FALSE(t.tree->Selected()->DisplayRect(true).IsEmpty());
    EXPECT_TRUE(t.root->DisplayRect(false).IsEmpty());
    t.drv.Wheel(*t.tree, 10);
    EXPECT_EQ(t.tree->TopItem(), t.root);
    t.drv.Wheel(*t.tree, -1);
    EXPECT_EQ(t.tree->TopItem(), t.root->GetNextVisible()->GetNextVisible()->GetNextVisible());
    // The down arrow of the scroll bar steps one row.
    t.drv.Click(*t.tree, {t.tree->ClientWidth() + 8, t.tree->ClientHeight() - 8});
    EXPECT_EQ(t.tree->TopItem()->AbsoluteIndex(), 4);
}

TEST(TreeView, TextsAreEditedUnlessReadOnly) {
    TreeForm t;
    auto* menu = new TPopupMenu(t.form.get());
    auto* del = new TMenuItem(t.form.get());
    del->SetShortCut(ShortCut(VK_DELETE, {}));
    int deletes = 0;
    del->OnClick = [&](TObject*) { ++deletes; };
    menu->Items()->Add(del);
    t.tree->SetPopupMenu(menu);
    t.tree->SetSelected(t.root);
    t.drv.Press(VK_F2);
    EXPECT_FALSE(t.tree->IsEditing());
    t.tree->SetReadOnly(false);
    t.tree->OnEdited = [&](TObject*, TTreeNode*, std::string& s) { s += "!"; };
    t.drv.Press(VK_F2);
    ASSERT_TRUE(t.tree->IsEditing());
    t.drv.Type("Скв");
    t.drv.Press(VK_DELETE);  // the editor's, not the menu's
    t.drv.Press(VK_RETURN);
    EXPECT_FALSE(t.tree->IsEditing());
    EXPECT_EQ(t.root->Text(), "Скв!");
    EXPECT_EQ(deletes, 0);
    EXPECT_TRUE(t.tree->Focused());
    // Escape keeps the old text; OnEditing may refuse.
    t.drv.Press(VK_F2);
    t.drv.Type("xyz");
    t.drv.Press(VK_ESCAPE);
    EXPECT_EQ(t.root->Text(), "Скв!");
    t.tree->OnEditing = [](TObject*, TTreeNode*, bool& allow) { allow = false; };
    EXPECT_FALSE(t.root->EditText());
    t.drv.Press(VK_DELETE);
    EXPECT_EQ(deletes, 1);
}

TEST(TreeView, ImagesReachThePictureAndAFreedListIsForgotten) {
    TreeForm t;
    t.root->Expand(false);
    t.tree->SetSelected(t.trips);
    t.trips->SetSelectedIndex(0);
    TBitmap& picture = t.form->Picture();
    const TPoint o = t.tree->ClientOrigin() - TPoint{t.form->Left(), t.form->Top()};
    const int rh = t.tree->RowHeight();
    const int image_y = (rh - 16) / 2;
    // The root's image (red) sits one indent in; the selected node shows its
    // selected image (red), its sibling its plain one (green).
    EXPECT_EQ(picture.Pixel(o.x + 2 + 20 + 8, o.y + image_y + 8), clRed);
    EXPECT_EQ(picture.Pixel(o.x + 2 + 20, o.y + image_y + 1), ColorToRGB(clWindow));  // transparent corner
    EXPECT_EQ(picture.Pixel(o.x + 2 + 40 + 8, o.y + rh + image_y + 8), clRed);
    EXPECT_EQ(picture.Pixel(o.x + 2 + 40 + 8, o.y + 2 * rh + image_y + 8), clGreen);
    // The selected text is marked in the highlight colour.
    const TRect text = t.trips->DisplayRect(true);
    EXPECT_EQ(picture.Pixel(o.x + text.Right - 2, o.y + text.Top + 2), ColorToRGB(clHighlight));
    delete t.images;
    EXPECT_EQ(t.tree->Images(), nullptr);
    t.form->Picture();
}

TEST(ImageList, PicturesSplitMaskAndDrawDisabled) {
    TImageList list(nullptr);
    TBitmap strip(48, 16);
    strip.Canvas().Brush().SetColor(clBlue);
    strip.Canvas().FillRect(Rect(0, 0, 48, 16));
    TBitmap mask(48, 16);
    mask.Canvas().Brush().SetColor(clBlack);
    mask.Canvas().FillRect(Rect(0, 0, 48, 16));
    mask.Canvas().Brush().SetColor(clWhite);
    mask.Canvas().FillRect(Rect(0, 0, 4, 16));
    EXPECT_EQ(list.Add(strip, &mask), 0);
    EXPECT_EQ(list.Count(), 3);
    TBitmap out;
    list.GetBitmap(0, out);
    EXPECT_EQ(out.Pixel(2, 2), clWhite);
    EXPECT_EQ(out.Pixel(8, 8), clBlue);
    TBitmap target(20, 20);
    list.Draw(target.Canvas(), 0, 0, 1, false);
    EXPECT_EQ(target.Pixel(5, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(target.Pixel(16, 16), ColorToRGB(clBtnHighlight));
    list.Draw(target.Canvas(), 0, 0, 7);  // nothing
    EXPECT_THROW(list.Delete(3), std::out_of_range);
    EXPECT_EQ(list.Add(TBitmap(8, 8)), -1);
    list.SetWidth(24);
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace ui
