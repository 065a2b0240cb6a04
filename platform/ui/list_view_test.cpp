#include "platform/ui/list_view.h"

#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

// The console settings' list of preset texts: one column, no header, a
// pop-up menu with the three commands.
struct TextList {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TListView* list;
    TButton *rename, *remove;
    TMenuItem* add_item;
    std::vector<std::string> log;
    TestDriver drv;

    TextList() {
        form->SetBounds(10, 10, 360, 260);
        list = new TListView(form.get());
        list->SetParent(form.get());
        list->SetBounds(8, 8, 200, 120);
        list->SetViewStyle(vsReport);
        list->SetShowColumnHeaders(false);
        list->SetRowSelect(true);
        list->Columns().Add()->SetCaption("Строка");
        list->Columns()[0]->SetWidth(180);
        for (const char* s : {"Промывка", "Наращивание", "Спуск", "Подъём", "Ремонт", "Простой", "Проработка"})
            list->Items().Add()->SetCaption(s);
        rename = new TButton(form.get());
        rename->SetParent(form.get());
        rename->SetBounds(220, 8, 100, 25);
        remove = new TButton(form.get());
        remove->SetParent(form.get());
        remove->SetBounds(220, 40, 100, 25);
        list->OnSelectItem = [this](TObject*, TListItem* item, bool selected) {
            log.push_back((selected ? "+" : "-") + item->Caption());
            rename->SetEnabled(list->Selected() != nullptr);
            remove->SetEnabled(list->Selected() != nullptr);
        };
        auto* menu = new TPopupMenu(form.get());
        add_item = new TMenuItem(form.get());
        add_item->SetCaption("Добавить");
        add_item->SetShortCut(ShortCut(VK_INSERT, {}));
        add_item->OnClick = [this](TObject*) {
            if (list->FindCaption(0, "Новый текст", false, true, false)) return;
            TListItem* item = list->Items().Add();
            item->SetCaption("Новый текст");
            list->SetSelected(item);
            item->EditCaption();
        };
        menu->Items()->Add(add_item);
        auto* del = new TMenuItem(form.get());
        del->SetShortCut(ShortCut(VK_DELETE, {}));
        del->OnClick = [this](TObject*) {
            if (list->Selected()) list->Selected()->Delete();
        };
        menu->Items()->Add(del);
        list->SetPopupMenu(menu);
        form->Show();
        list->SetFocus();
    }
    TPoint row(int i) const { return {40, i * list->RowHeight() + list->RowHeight() / 2}; }
};

TEST(ListView, SelectionEventsFollowTheUserAndTheCode) {
    TextList t;
    EXPECT_EQ(t.list->HeaderHeight(), 0);
    EXPECT_EQ(t.list->GetItemAt(40, t.row(2).y)->Caption(), "Спуск");
    t.drv.Click(*t.list, t.row(1));
    EXPECT_EQ(t.list->ItemIndex(), 1);
    t.drv.Press(VK_DOWN);
    t.list->SetItemIndex(4);
    EXPECT_EQ(t.log, (std::vector<std::string>{"+Наращивание", "-Наращивание", "+Спуск", "-Спуск", "+Ремонт"}));
    EXPECT_TRUE(t.rename->Enabled());
    // A press below the items leaves none selected.
    t.log.clear();
    t.list->Items().Clear();
    t.list->Items().Add()->SetCaption("Один");
    EXPECT_EQ(t.log, (std::vector<std::string>{"-Ремонт"}));
    EXPECT_FALSE(t.remove->Enabled());
    t.drv.Click(*t.list, t.row(0));
    t.drv.Click(*t.list, t.row(3));
    EXPECT_EQ(t.list->Selected(), nullptr);
    EXPECT_EQ(t.log.back(), "-Один");
}

TEST(ListView, CaptionsAreEditedAndMenuKeysStayOutOfTheEditor) {
    TextList t;
    int deleted = 0;
    t.list->OnDeletion = [&](TObject*, TListItem*) { ++deleted; };
    t.list->OnEdited = [](TObject*, TListItem*, std::string& s) { s = "«" + s + "»"; };
    // Insert adds an item and starts editing its caption.
    t.drv.Press(VK_INSERT);
    ASSERT_TRUE(t.list->IsEditing());
    EXPECT_EQ(t.list->ItemIndex(), 7);
    t.drv.Type("Бурение");
    t.drv.Press(VK_DELETE);
    t.drv.Press(VK_INSERT);
    t.drv.Press(VK_RETURN);
    EXPECT_FALSE(t.list->IsEditing());
    EXPECT_EQ(t.list->Items()[7]->Caption(), "«Бурение»");
    EXPECT_EQ(t.list->Items().Count(), 8);
    EXPECT_EQ(deleted, 0);
    // The list scrolled to show the new item.
    EXPECT_FALSE(t.list->Items()[7]->DisplayRect(false).IsEmpty());
    EXPECT_TRUE(t.list->Items()[0]->DisplayRect(false).IsEmpty());
    // F2 edits the selection; Escape keeps the old caption.
    t.list->SetItemIndex(2);
    t.drv.Press(VK_F2);
    t.drv.Type("x");
    t.drv.Press(VK_ESCAPE);
    EXPECT_EQ(t.list->Items()[2]->Caption(), "Спуск");
    // Delete (the menu's) removes the selected item.
    t.drv.Press(VK_DELETE);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(t.list->Items()[2]->Caption(), "Подъём");
    EXPECT_EQ(t.list->Selected(), nullptr);
    // An existing caption is not added again; read-only lists do not edit.
    t.list->Items()[0]->SetCaption("новый ТЕКСТ");
    t.drv.Press(VK_INSERT);
    EXPECT_EQ(t.list->Items().Count(), 7);
    t.list->SetReadOnly(true);
    EXPECT_FALSE(t.list->Items()[0]->EditCaption());
    EXPECT_EQ(t.list->FindCaption(0, "под", true, true, false)->Caption(), "Подъём");
    EXPECT_EQ(t.list->FindCaption(5, "Промывка", false, false, false), nullptr);
    EXPECT_EQ(t.list->FindCaption(5, "Ремонт", false, false, true)->Index(), 3);
}

TEST(ListView, ReportColumnsAndThePicture) {
    TextList t;
    t.list->SetShowColumnHeaders(true);
    t.list->Columns().Add()->SetCaption("Код");
    t.list->Columns()[0]->SetWidth(120);
    t.list->Items()[0]->SubItems().Add("17");
    t.list->SetItemIndex(0);
    EXPECT_GT(t.list->HeaderHeight(), 0);
    EXPECT_EQ(t.list->GetItemAt(40, 2), nullptr);  // the header
    const TRect r = t.list->Items()[0]->DisplayRect(false);
    EXPECT_EQ(r.Top, t.list->HeaderHeight());
    EXPECT_EQ(r.Right, 120 + 50);
    const TPoint o = t.list->ClientOrigin() - TPoint{t.form->Left(), t.form->Top()};
    TBitmap& picture = t.form->Picture();
    EXPECT_EQ(picture.Pixel(o.x + 160, o.y + r.Top + 2), ColorToRGB(clHighlight));
    EXPECT_EQ(picture.Pixel(o.x + 175, o.y + r.Top + 2), ColorToRGB(clWindow));
    EXPECT_EQ(picture.Pixel(o.x + 175, o.y + 3), ColorToRGB(clBtnFace));
    EXPECT_THROW(t.list->Columns()[2], std::out_of_range);
    EXPECT_THROW(t.list->Items().Delete(99), std::out_of_range);
}

}  // namespace
}  // namespace ui
