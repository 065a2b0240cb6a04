#include "library/options/grid_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/ui/application.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib {
namespace {

using namespace ui;
using options_detailed::meta_class;
using options_detailed::meta_class_enum;

enum Operation : int { drilling, tripping_in, tripping_out };

// One option of each kind, spread over sectors as a settings page has them.
struct Settings : options_base {
    double depth = 2512.345;  // kept in millimetres, shown in metres
    int pulses = 40;
    bool sound = true;
    bool alarm = false;
    Operation operation = tripping_in;
    std::string well = "Скв. 12";
    int hidden = 7;
    int fixed = 5;
    void enum_values(options_list& list) override {
        list.sector("main", "Основные");
        list.add(new meta_class<double>(depth, 1000, "depth", "Глубина", "м", 2, 1000));
        list.add(new meta_class<int>(pulses, 10, "pulses", "Импульсы", "Имп/м"));
        list.add(new meta_class<bool>(sound, false, "sound", "Звук"));
        list.add(new meta_class<bool>(alarm, false, "alarm", "Тревога", "Нет|Да"));
        list.add(new meta_class<int>(hidden, 0, "hidden", "", ""));  // no caption: never shown
        // Same caption again: still one heading.
        list.sector("main2", "Основные");
        list.add(new meta_class_enum<Operation>(operation, drilling, "operation", "Операция", "Бурение|Спуск|Подъём"));
        list.sector("well", "Скважина");
        list.add(new meta_class<std::string>(well, "", "well", "Название"));
        list.add(new meta_class<int>(fixed, 0, "fixed", "Постоянная", ""));
    }
};

struct GridForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    widrak::TMyGrid* grid;
    TestDriver drv;
    Settings settings;
    options_list list;
    std::unique_ptr<grid_options> editor;

    explicit GridForm(int flags = grid_columns::all) {
        form->SetBounds(40, 30, 520, 320);
        form->SetCaption("Настройки");
        grid = new widrak::TMyGrid(form.get());
        grid->SetParent(form.get());
        grid->SetAlign(alClient);
        grid->SetColCount(4);
        grid->SetFixedCols(0);
        grid->SetRowCount(2);
        grid->SetOptions(grid->Options() << goEditing);
        grid->SetCells(0, 0, "№");
        grid->SetCells(1, 0, "Название");
        grid->SetCells(2, 0, "Ед.изм.");
        grid->SetCells(3, 0, "Значение");
        editor = std::make_unique<grid_options>(grid);
        show(flags);
        form->Show();
        grid->SetFocus();
    }
    void show(int flags = grid_columns::all) {
        list.clear();
        settings.enum_values(list);
        editor->show_options(list, 1, flags);
        grid->AlignHorizontal();
    }
    std::string cell(int c, int r) const { return grid->Cells(c, r); }
    std::vector<std::string> row(int r) const { return {cell(0, r), cell(1, r), cell(2, r), cell(3, r)}; }
    void click(int c, int r) {
        const TRect rc = grid->CellRect(c, r);
        drv.Click(*grid, {(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
    }
};

using Row = std::vector<std::string>;

TEST(GridOptions, RowsHeadingsNumbersAndStyles) {
    GridForm f;
    EXPECT_EQ(f.row(1), (Row{"", "Основные", "", ""}));
    EXPECT_EQ(f.row(2), (Row{"1", "Глубина", "м", "2,51"}));
    EXPECT_EQ(f.row(3), (Row{"2", "Импульсы", "Имп/м", "40"}));
    EXPECT_EQ(f.row(4), (Row{"3", "Звук", "", "1"}));
    EXPECT_EQ(f.row(5), (Row{"4", "Тревога", "", "Нет"}));
    // The caption-less option is neither shown nor counted, and the second
    // sector of the same caption adds no heading.
    EXPECT_EQ(f.row(6), (Row{"5", "Операция", "", "Спуск"}));
    EXPECT_EQ(f.row(7), (Row{"", "Скважина", "", ""}));
    EXPECT_EQ(f.row(8), (Row{"6", "Название", "", "Скв. 12"}));
    EXPECT_EQ(f.row(9), (Row{"7", "Постоянная", "", "5"}));
    EXPECT_EQ(f.grid->RowCount(), 10);
    EXPECT_EQ(f.editor->end_row(), 10);
    EXPECT_EQ(f.grid->Col(), 3);
    EXPECT_EQ(f.editor->get_item_by_index(1), nullptr);
    ASSERT_NE(f.editor->get_item_by_index(6), nullptr);
    EXPECT_EQ(f.editor->get_item_by_index(6)->get_full_name(), "main2.operation");

    // Cell kinds: headings and plain booleans have no editor, choices a list.
    auto kind = [&](int c, int r) {
        widrak::CELL_PROPS p;
        f.grid->OnGetCellProps(f.grid, c, r, p);
        return static_cast<int>(p.kind);
    };
    EXPECT_EQ(kind(3, 1), widrak::cpReadOnly);
    EXPECT_EQ(kind(3, 2), widrak::cpText);
    EXPECT_EQ(kind(3, 4), widrak::cpReadOnly);
    EXPECT_EQ(kind(3, 5), widrak::cpList);
    EXPECT_EQ(kind(3, 6), widrak::cpList);
    EXPECT_EQ(kind(0, 6), widrak::cpList);  // the whole row

    TStrings popup;
    f.grid->OnGetPopupStrings(f.grid, 3, 6, &popup);
    EXPECT_EQ(popup.ToVector(), (Row{"Бурение", "Спуск", "Подъём"}));
    TStrings none;
    f.grid->OnGetPopupStrings(f.grid, 1, 6, &none);
    EXPECT_EQ(none.Count(), 0);

    TAlignment a = taCenter;
    f.grid->OnGetAlignment(f.grid, 3, 1, a);
    EXPECT_EQ(a, taRightJustify);
    f.grid->OnGetAlignment(f.grid, 3, 2, a);
    EXPECT_EQ(a, taLeftJustify);
    f.grid->OnGetAlignment(f.grid, 0, 2, a);
    EXPECT_EQ(a, taCenter);

    TColor back = clWindow;
    TFont font;
    f.grid->OnGetDrawParams(f.grid, 1, 7, back, &font);
    EXPECT_EQ(back, f.editor->heading_color);
    EXPECT_TRUE(font.Style().Contains(fsBold));
}

TEST(GridOptions, ColumnFlagsChooseTheColumns) {
    struct Case {
        int flags;
        int number, name, unit, value;
    };
    for (const Case& c : {Case{15, 0, 1, 2, 3}, Case{14, -1, 0, 1, 2}, Case{8, -1, -1, -1, 0}, Case{6, -1, 0, 1, -1},
                          Case{9, 0, -1, -1, 1}}) {
        SCOPED_TRACE(c.flags);
        grid_options e(nullptr);
        e.calc_col_indexes(c.flags);
        EXPECT_EQ(e.number_col(), c.number);
        EXPECT_EQ(e.name_col(), c.name);
        EXPECT_EQ(e.unit_col(), c.unit);
        EXPECT_EQ(e.value_col(), c.value);
    }
}

TEST(GridOptions, ValuesOnlyAndNoValueColumn) {
    {
        GridForm f(grid_columns::value);
        // Each sector still takes a heading row, whose cell stays empty.
        EXPECT_EQ(f.cell(0, 1), "");
        EXPECT_EQ(f.cell(0, 2), "2,51");
        EXPECT_EQ(f.cell(0, 7), "");
        EXPECT_EQ(f.cell(0, 9), "5");
        EXPECT_EQ(f.cell(1, 2), "");
    }
    {
        // Without a value column the current cell stays where it was, and
        // nothing is read back.
        GridForm f(grid_columns::name | grid_columns::unit);
        EXPECT_EQ(f.cell(0, 2), "Глубина");
        EXPECT_LT(f.grid->Col(), f.grid->ColCount());
        f.grid->SetCells(1, 3, "999");
        f.editor->get_options();
        EXPECT_EQ(f.settings.pulses, 40);
    }
}

TEST(GridOptions, NameListsHideAndProtect) {
    GridForm f;
    // Black list by sector and by item, names in any case.
    f.editor->black_list().add_sector("MAIN2");
    f.editor->black_list().sector("Main");
    f.editor->black_list().add("SOUND");
    f.editor->clear();
    f.show();
    EXPECT_EQ(f.row(2), (Row{"1", "Глубина", "м", "2,51"}));
    EXPECT_EQ(f.row(4), (Row{"3", "Тревога", "", "Нет"}));
    EXPECT_EQ(f.row(5), (Row{"", "Скважина", "", ""}));
    EXPECT_EQ(f.grid->RowCount(), 8);

    // A white list shows only its items.
    f.editor->black_list().clear();
    f.editor->white_list().sector("WELL");
    f.editor->white_list().add("Fixed");
    f.editor->white_list().sector("main");
    f.editor->white_list().add("pulses");
    f.editor->clear();
    f.show();
    EXPECT_EQ(f.row(2), (Row{"1", "Импульсы", "Имп/м", "40"}));
    EXPECT_EQ(f.row(4), (Row{"2", "Постоянная", "", "5"}));
    EXPECT_EQ(f.grid->RowCount(), 5);

    // Read-only: grey, no editor, never written back even when the cell
    // was changed by code.
    f.editor->read_only_list().sector("well");
    f.editor->read_only_list().add("fixed");
    f.show();
    EXPECT_TRUE(f.editor->is_read_only_item(4));
    EXPECT_FALSE(f.editor->is_read_only_item(2));
    EXPECT_FALSE(f.editor->is_read_only_item(1));
    widrak::CELL_PROPS p;
    f.grid->OnGetCellProps(f.grid, 3, 4, p);
    EXPECT_EQ(p.kind, widrak::cpReadOnly);
    TColor back = clWindow;
    TFont font;
    f.grid->OnGetDrawParams(f.grid, 3, 4, back, &font);
    EXPECT_EQ(font.Color(), 0x808080);
    f.grid->SetCells(3, 4, "77");
    f.grid->SetCells(3, 2, "41");
    f.editor->get_options();
    EXPECT_EQ(f.settings.fixed, 5);
    EXPECT_EQ(f.settings.pulses, 41);

    grid_options_list l;
    EXPECT_THROW(l.add("x"), std::logic_error);
}

TEST(GridOptions, UserEditsEveryKindAndOnlyChangesAreWritten) {
    GridForm f;
    // Integer: typed over the selected text.
    f.click(3, 3);
    f.drv.Type("55");
    EXPECT_EQ(f.cell(3, 3), "55");
    // A click on another column of an option row goes to its value.
    f.click(1, 8);
    EXPECT_EQ(f.grid->Col(), 3);
    f.drv.Type("Скв. 14");
    // Plain boolean: a click on its value toggles it, and so does Space.
    f.click(3, 4);
    EXPECT_EQ(f.cell(3, 4), "0");
    f.click(3, 4);
    EXPECT_EQ(f.cell(3, 4), "1");
    f.drv.Press(VK_SPACE);
    EXPECT_EQ(f.cell(3, 4), "0");
    // Enumeration: chosen in the drop-down.
    f.click(3, 6);
    widrak::GridComboBox& cb = *f.grid->ComboBox();
    ASSERT_TRUE(cb.Visible());
    EXPECT_EQ(cb.Items().ToVector(), (Row{"Бурение", "Спуск", "Подъём"}));
    cb.SelectByUser(2);
    // Worded boolean: its drop-down taken by key; the previous choice
    // reached its cell when the grid was clicked.
    f.click(3, 5);
    EXPECT_EQ(f.cell(3, 6), "Подъём");
    ASSERT_TRUE(cb.Visible());
    cb.SetFocus();
    f.drv.Press(VK_DOWN);
    EXPECT_EQ(cb.Text(), "Да");

    // The depth row was never touched: its 2,51 must not cut the variable
    // to two decimals. The drop-down's choice counts though it is still
    // open.
    f.editor->get_options();
    EXPECT_DOUBLE_EQ(f.settings.depth, 2512.345);
    EXPECT_EQ(f.settings.pulses, 55);
    EXPECT_FALSE(f.settings.sound);
    EXPECT_TRUE(f.settings.alarm);
    EXPECT_EQ(f.settings.operation, tripping_out);
    EXPECT_EQ(f.settings.well, "Скв. 14");

    // A float typed in display units goes back scaled; bad text gives 0.
    f.click(3, 2);
    f.drv.Type("1,5");
    f.editor->get_options();
    EXPECT_DOUBLE_EQ(f.settings.depth, 1500);
    f.grid->SetCells(3, 2, "abc");
    f.editor->get_options();
    EXPECT_DOUBLE_EQ(f.settings.depth, 0);
}

TEST(GridOptions, PressesOffTheCurrentBooleanToggleNothing) {
    GridForm f;
    f.click(3, 4);  // selects and toggles the plain boolean
    ASSERT_EQ(f.cell(3, 4), "0");
    // The header row, and the empty space below the last row.
    f.click(3, 0);
    const TRect last = f.grid->CellRect(3, f.grid->RowCount() - 1);
    f.drv.Click(*f.grid, {(last.Left + last.Right) / 2, last.Bottom + 30});
    EXPECT_EQ(f.cell(3, 4), "0");
    // Directly: a cell that is not the current row's.
    f.editor->check_to_click(3, 9);
    f.editor->check_to_click(-1, -1);
    EXPECT_EQ(f.cell(3, 4), "0");
    // A click on another row's value selects that row; the boolean stays.
    f.click(3, 3);
    EXPECT_EQ(f.grid->Row(), 3);
    EXPECT_EQ(f.cell(3, 4), "0");
}

TEST(GridOptions, ClearLeavesNoStaleRowsAndDestructionLetsTheGridGo) {
    GridForm f;
    struct Short : options_base {
        int a = 1;
        void enum_values(options_list& list) override {
            list.sector("s", "Короткий");
            list.add(new meta_class<int>(a, 0, "a", "Одно", ""));
        }
    } small;
    options_list l;
    small.enum_values(l);
    f.editor->clear();
    EXPECT_EQ(f.grid->RowCount(), 2);
    EXPECT_EQ(f.editor->get_item_by_index(2), nullptr);
    f.editor->show_options(l, 1, grid_columns::all);
    EXPECT_EQ(f.grid->RowCount(), 3);
    EXPECT_EQ(f.row(2), (Row{"1", "Одно", "", "1"}));
    EXPECT_EQ(f.cell(1, 0), "Название");  // the titles stay

    f.editor.reset();
    EXPECT_FALSE(f.grid->OnGetCellProps);
    EXPECT_FALSE(f.grid->OnGetDrawParams);
    EXPECT_FALSE(f.grid->OnMouseDown);
    EXPECT_FALSE(f.grid->OnClick);
    EXPECT_FALSE(f.grid->OnDrawCell);
    EXPECT_FALSE(f.grid->OnGetAlignment);
    EXPECT_FALSE(f.grid->OnGetPopupStrings);
    f.click(3, 2);  // nothing reaches the gone editor
}

TEST(GridOptions, PictureForReview) {
    GridForm f;
    f.form->SetBounds(40, 30, 460, 300);
    f.click(3, 6);
    f.grid->ComboBox()->SetDroppedDown(true);
    std::filesystem::create_directories(std::filesystem::path(STATION_BINARY_DIR) / "library_png");
    const std::string png = std::string(STATION_BINARY_DIR) + "/library_png/grid_options.png";
    f.form->SaveToPng(png);
    EXPECT_TRUE(std::filesystem::exists(png));
    // The plain boolean's check box follows its cell: a mark of dark pixels
    // while it holds 1, none for 0.
    f.grid->ComboBox()->SetDroppedDown(false);
    f.click(3, 2);
    const TRect r = f.grid->CellRect(3, 4);
    // Grid client points in the window's picture.
    const TPoint o = f.grid->ClientOrigin();
    const int dx = o.x - f.form->Left(), dy = o.y - f.form->Top();
    auto dark = [&] {
        TBitmap& pic = f.form->Picture();
        int n = 0;
        for (int x = r.Left; x < r.Right; ++x)
            for (int y = r.Top; y < r.Bottom; ++y)
                if (pic.Pixel(x + dx, y + dy) == clBlack) ++n;
        return n;
    };
    const int checked = dark();
    EXPECT_GT(checked, 4);
    f.grid->SetCells(3, 4, "0");
    f.grid->InvalidateCell(3, 4);
    EXPECT_LT(dark(), checked);
}

TEST(PlainGrids, FillAlignSetAndDisable) {
    TForm form(nullptr);
    auto* g = new TStringGrid(&form);
    g->SetParent(&form);
    g->SetBounds(0, 0, 600, 200);
    fill_grid_top(g, {"Глубина", "Время", "Вес"});
    EXPECT_EQ(g->ColCount(), 3);
    EXPECT_EQ(g->Cells(1, 0), "Время");
    fill_grid_left(g, {"Глубина", "1", "2", "3"});
    EXPECT_EQ(g->RowCount(), 4);
    EXPECT_EQ(g->Cells(0, 3), "3");
    EXPECT_TRUE(set_grid_cell(g, 2, 2, "x"));
    EXPECT_FALSE(set_grid_cell(g, 2, 2, "x"));

    TBitmap m(1, 1);
    m.Canvas().Font().Assign(g->Font());
    const int w0 = m.Canvas().TextWidth("Глубина  ") + 1;
    const int total = align_grid(g, false);
    EXPECT_EQ(g->ColWidths(0), w0);
    EXPECT_EQ(g->ColWidths(2), m.Canvas().TextWidth("Вес  ") + 1);
    EXPECT_EQ(total, 1 + g->ColWidths(0) + g->ColWidths(1) + g->ColWidths(2) + 3);
    // Stretched, the last column takes the rest of the client width...
    align_grid(g, true);
    // (the line width counted once more, as the stations' grids have it)
    EXPECT_EQ(1 + g->ColWidths(0) + 1 + g->ColWidths(1) + 1 + g->ColWidths(2), g->ClientWidth() + 1);
    // ...but never less than its own text, however narrow the grid.
    g->SetWidth(60);
    align_grid(g, true);
    EXPECT_EQ(g->ColWidths(2), m.Canvas().TextWidth("Вес  ") + 1);

    disable_grid(g);
    EXPECT_EQ(g->RowCount(), 2);
    EXPECT_FALSE(g->Enabled());
    EXPECT_EQ(g->Cells(2, 1), "");
}

}  // namespace
}  // namespace lib
