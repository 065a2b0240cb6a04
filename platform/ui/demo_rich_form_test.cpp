// A settings-like window with a menu bar, a tree on the left, pages on the
// right (a string grid with an owner-drawn column and its editor up, a list
// view, a scroll box) and a cool bar, rendered to a PNG under the build
// folder (test_output/demo_rich_form.png) with a pop-up menu open, so that
// the look can be checked by eye; the test checks a few pixels of it.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ui/application.h"
#include "platform/ui/cool_bar.h"
#include "platform/ui/edits.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/grids.h"
#include "platform/ui/input.h"
#include "platform/ui/list_view.h"
#include "platform/ui/lists.h"
#include "platform/ui/menus.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/tree_view.h"

namespace ui {
namespace {

std::string output_path(const char* name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

TMenuItem* menu_item(TComponent* owner, TMenuItem* parent, const char* caption, TShortCut shortcut = scNone) {
    auto* i = new TMenuItem(owner);
    i->SetCaption(caption);
    i->SetShortCut(shortcut);
    parent->Add(i);
    return i;
}

void add_picture(TImageList& list, TColor colour, bool round) {
    TBitmap b(16, 16);
    b.Canvas().Brush().SetColor(clFuchsia);
    b.Canvas().FillRect(Rect(0, 0, 16, 16));
    b.Canvas().Brush().SetColor(colour);
    if (round)
        b.Canvas().Ellipse(2, 2, 14, 14);
    else
        b.Canvas().Rectangle(2, 3, 14, 13);
    list.AddMasked(b, clFuchsia);
}

TEST(DemoForm, GridTreePagesAndMenusRenderToPng) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetCaption("Настройки станции");
    form->SetClientWidth(640);
    form->SetClientHeight(400);
    form->SetPosition(poScreenCenter);

    auto* menu = new TMainMenu(form.get());
    TMenuItem* data = menu_item(form.get(), menu->Items(), "&Данные");
    menu_item(form.get(), data, "Сжать", ShortCut('T', {ssAlt}));
    menu_item(form.get(), data, "-");
    menu_item(form.get(), data, "Выход");
    TMenuItem* view = menu_item(form.get(), menu->Items(), "&Вид");
    menu_item(form.get(), view, "Обновить", ShortCut(VK_F5, {}));
    menu_item(form.get(), menu->Items(), "&Справка");
    form->SetMenu(menu);

    auto* bar = new TCoolBar(form.get());
    bar->SetParent(form.get());
    bar->SetAlign(alTop);
    bar->SetAutoSize(true);
    auto* combo = new TComboBox(form.get());
    combo->SetBounds(0, 0, 160, 21);
    combo->Items().Add("Скважина 7");
    combo->SetItemIndex(0);
    TCoolBand* band = bar->Bands().Add();
    band->SetText("Скважина");
    band->SetControl(combo);
    auto* tools = new TPanel(form.get());
    tools->SetBounds(0, 0, 120, 22);
    tools->SetCaption("Инструменты");
    TCoolBand* band2 = bar->Bands().Add();
    band2->SetControl(tools);
    band2->SetBreak(false);

    auto* images = new TImageList(form.get());
    add_picture(*images, clNavy, false);
    add_picture(*images, clOlive, false);
    add_picture(*images, clGreen, true);
    add_picture(*images, clRed, true);
    auto* tree = new TTreeView(form.get());
    tree->SetParent(form.get());
    tree->SetAlign(alLeft);
    tree->SetWidth(190);
    tree->SetImages(images);
    tree->SetIndent(19);
    TTreeNodes& nodes = tree->Items();
    TTreeNode* root = nodes.Add(nullptr, "Скважина \"7\"");
    root->SetImageIndex(0);
    TTreeNode* trips = nodes.AddChild(root, "По рейсам");
    trips->SetImageIndex(1);
    for (int t : {3, 5, 8}) nodes.AddChild(trips, "Рейс #" + std::to_string(t))->SetImageIndex(t == 5 ? 3 : 2);
    TTreeNode* times = nodes.AddChild(root, "По времени");
    times->SetImageIndex(1);
    nodes.AddChild(times, "Все данные")->SetImageIndex(2);
    for (const char* d : {"Позавчера", "Вчера", "Сегодня"}) nodes.AddChild(times, d)->SetImageIndex(1);
    tree->FullExpand();
    times->Collapse(false);

    auto* pages = new TPageControl(form.get());
    pages->SetParent(form.get());
    pages->SetAlign(alClient);
    auto* grid_page = new TTabSheet(form.get());
    grid_page->SetCaption("Колонна");
    grid_page->SetPageControl(pages);
    auto* list_page = new TTabSheet(form.get());
    list_page->SetCaption("Тексты");
    list_page->SetPageControl(pages);
    auto* box_page = new TTabSheet(form.get());
    box_page->SetCaption("Прочее");
    box_page->SetPageControl(pages);

    auto* grid = new TStringGrid(form.get());
    grid->SetParent(grid_page);
    grid->SetAlign(alClient);
    grid->SetColCount(5);
    grid->SetRowCount(12);
    grid->SetFixedCols(0);
    grid->SetDefaultRowHeight(20);
    grid->SetOptions(grid->Options() + TGridOptions{goEditing, goAlwaysShowEditor, goColSizing, goThumbTracking});
    const char* heads[] = {"Исп.", "Тип", "Длина, м", "Диаметр", "Цвет"};
    for (int c = 0; c < 5; ++c) grid->SetCells(c, 0, heads[c]);
    grid->SetColWidths(1, 120);
    const TColor swatches[] = {clRed, clLime, clBlue, clYellow, clAqua, clFuchsia};
    for (int r = 1; r < 12; ++r) {
        grid->SetCells(0, r, r % 3 ? "*" : "");
        grid->SetCells(1, r, r % 2 ? "Бурильная труба" : "УБТ");
        grid->SetCells(2, r, std::to_string(r * 125) + ",0");
        grid->SetCells(3, r, std::to_string(89 + r * 2) + ",0");
    }
    grid->OnDrawCell = [grid, swatches](TObject*, int c, int r, const TRect& rect, TGridDrawState) {
        if (c != 4 || r == 0) return;
        TCanvas& cv = grid->Canvas();
        cv.Brush().SetColor(swatches[r % 6]);
        cv.Pen().SetColor(clWindowFrame);
        cv.Rectangle(rect.Left + 3, rect.Top + 3, rect.Right - 3, rect.Bottom - 3);
    };

    auto* list = new TListView(form.get());
    list->SetParent(list_page);
    list->SetAlign(alClient);
    list->SetViewStyle(vsReport);
    list->Columns().Add()->SetCaption("Строка");
    list->Columns()[0]->SetWidth(200);
    for (const char* s : {"Промывка", "Наращивание", "Спуск"}) list->Items().Add()->SetCaption(s);
    list->SetItemIndex(1);

    auto* box = new TScrollBox(form.get());
    box->SetParent(box_page);
    box->SetAlign(alClient);
    for (int i = 0; i < 6; ++i) {
        auto* check = new TCheckBox(form.get());
        check->SetParent(box);
        check->SetCaption("Параметр " + std::to_string(i + 1));
        check->SetBounds(10, 10 + i * 60, 150, 17);
    }

    auto* popup = new TPopupMenu(form.get());
    menu_item(form.get(), popup->Items(), "Добавить", ShortCut(VK_INSERT, {}));
    menu_item(form.get(), popup->Items(), "Удалить")->SetEnabled(false);
    menu_item(form.get(), popup->Items(), "-");
    menu_item(form.get(), popup->Items(), "Вверх", ShortCut(VK_UP, {ssCtrl}))->SetChecked(true);
    TMenuItem* more = menu_item(form.get(), popup->Items(), "Ещё");
    menu_item(form.get(), more, "Копировать все", ShortCut(VK_INSERT, {ssCtrl}));
    grid->SetPopupMenu(popup);

    form->Show();
    tree->SetSelected(trips->Item(1));
    grid->SetFocus();
    grid->SetRow(2);
    grid->SetCol(1);
    popup->SetPopupComponent(grid);
    const TPoint at = grid->ClientToScreen({300, 120});
    popup->Popup(at.x, at.y);
    ASSERT_TRUE(popup->IsOpen());
    const TRect more_rect = popup->ItemScreenRect(more);
    input::mouse_move({(more_rect.Left + more_rect.Right) / 2, (more_rect.Top + more_rect.Bottom) / 2});

    EXPECT_TRUE(form->Active());
    TBitmap& picture = form->Picture();
    form->SaveToPng(output_path("demo_rich_form.png"));

    const TPoint w{form->Left(), form->Top()};
    // The editor stands on the current cell.
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    EXPECT_TRUE(grid->InplaceEditor()->Visible());
    EXPECT_EQ(grid->InplaceEditor()->BoundsRect(), grid->CellRect(1, 2));
    // An owner-drawn swatch, the tree's red image of the selected trip, the
    // menu bar, and the open sub-menu.
    const TRect swatch = grid->CellRect(4, 3);
    const TPoint sw = grid->ClientToScreen({swatch.Left + 8, swatch.Top + 8}) - w;
    EXPECT_EQ(picture.Pixel(sw.x, sw.y), swatches[3]);
    const TRect trip = trips->Item(1)->DisplayRect(false);
    const TPoint im = tree->ClientToScreen({2 + 3 * 19 + 8, trip.Top + (trip.Height() - 16) / 2 + 8}) - w;
    EXPECT_EQ(picture.Pixel(im.x, im.y), clRed);
    EXPECT_EQ(picture.Pixel(form->MenuBarRect().Right - 4, form->MenuBarRect().Top + 4), ColorToRGB(clMenu));
    EXPECT_FALSE(popup->ItemScreenRect(more->Items(0)).IsEmpty());
    popup->CloseMenu();
}

}  // namespace
}  // namespace ui
