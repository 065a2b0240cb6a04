// The drill-string editor in its modal window on the real screen, worked
// through the X server with and without a window manager: the grid's
// context menu takes the mouse (also opened again after a choice and after
// Escape, and on an empty tally, whose grid is disabled), Enter in a cell
// keeps the window open with the typed number taken, and the type list
// scrolls to its last types, the column showing them whole.

#include <gtest/gtest.h>

#include "gti/registr_old/InstrPipes/instr_options_frame.h"
#include "gti/registr_old/InstrPipes/testdata/instr_testing.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"

namespace {

using namespace ui;
using ui::testing::Operator;

class DrillStringScreen : public ui::testing::ScreenSuite {
protected:
    void edit_as_an_operator(const std::string& grab_prefix);
    void empty_tally_menu(const std::string& grab_prefix);
};

using instr::testing::short_string;

void DrillStringScreen::edit_as_an_operator(const std::string& grab_prefix) {
    instr::Items items = short_string();
    TForm form(nullptr);
    form.SetCaption("Промер инструмента");
    form.SetBorderStyle(bsDialog);
    form.SetBounds(150, 100, 780, 460);
    auto* bottom = new TPanel(&form);
    bottom->SetParent(&form);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(36);
    auto* ok = new TButton(&form);
    ok->SetParent(bottom);
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    ok->SetBounds(580, 6, 85, 25);
    auto* cancel = new TButton(&form);
    cancel->SetParent(bottom);
    cancel->SetCaption("Отмена");
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    cancel->SetBounds(672, 6, 85, 25);
    TInstrOptionsFrame* frame = instr::get_options_frame(&form, items, true);
    frame->SetParent(&form);
    frame->SetAlign(alClient);
    widrak::TMyGrid* grid = frame->grdInstr;
    Clipboard().SetAsText("");

    auto cell = [grid](int c, int r) {
        const TRect rc = grid->CellRect(c, r);
        return grid->ClientToScreen({(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
    };
    const TModalResult result = ui::testing::run_modal_with_operator(form, [&](Operator& op) {
        // The stands' count typed, then Enter: the window stays, the count
        // is taken.
        op.click_at(op.ask<TPoint>([&] { return cell(1, 2); }));
        op.type("42");
        op.key("Return");
        EXPECT_TRUE(op.wait_for([&] { return grid->Cells(1, 2) == "42"; }));
        EXPECT_FALSE(op.wait_for([&] { return form.ModalResult() != mrNone || !form.Visible(); }, 500))
            << "Enter in the cell closed the window";
        op.key("Tab");
        EXPECT_TRUE(op.wait_for([&] { return grid->Col() == 2; }));
        op.key("shift+Tab");
        EXPECT_TRUE(op.wait_for([&] { return grid->Col() == 1; }));

        // The context menu of the modal window takes the click on its item.
        auto open_menu = [&] {
            op.click_at(op.ask<TPoint>([&] { return cell(2, 1); }), 3);
            return op.wait_for([&] { return frame->ppmnInstr->IsOpen(); });
        };
        auto choose = [&](const char* caption) {
            const TRect item = op.ask<TRect>([&] {
                for (int i = 0; i < frame->ppmnInstr->Items()->Count(); ++i)
                    if (frame->ppmnInstr->Items()->Items(i)->Caption() == caption)
                        return frame->ppmnInstr->ItemScreenRect(frame->ppmnInstr->Items()->Items(i));
                return TRect{};
            });
            EXPECT_FALSE(item.IsEmpty()) << caption;
            op.click_at({item.Left + 20, (item.Top + item.Bottom) / 2});
        };
        ASSERT_TRUE(open_menu()) << "no context menu";
        choose("Копировать все");
        EXPECT_TRUE(op.wait_for([&] { return !frame->ppmnInstr->IsOpen(); }));
        // Opened again, put away with Escape, opened once more: the menu
        // comes each time, and "Вставить" pastes what was copied.
        ASSERT_TRUE(open_menu()) << "the menu did not open after a chosen item";
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return !frame->ppmnInstr->IsOpen(); }));
        ASSERT_TRUE(open_menu()) << "the menu did not open after Escape";
        EXPECT_TRUE(ui::testing::popup_shown(op, form)) << "the screen never showed the menu as it paints itself";
        const TRect whole = op.ask<TRect>([&] {
            TRect r;
            for (int i = 0; i < frame->ppmnInstr->Items()->Count(); ++i)
                r = UnionRect(r, frame->ppmnInstr->ItemScreenRect(frame->ppmnInstr->Items()->Items(i)));
            return r;
        });
        ui::testing::save_screen_part(whole.Inflate(4, 4), grab_prefix + "_menu_again.png");
        choose("Вставить");
        EXPECT_TRUE(op.wait_for([&] { return frame->items().size() == 4; })) << "the click on \"Вставить\" did nothing";

        // The type list: the wheel brings its last type into view.
        op.click_at(op.ask<TPoint>([&] { return cell(0, 1); }));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->Visible(); }));
        op.click_at(op.centre_of(*grid->ComboBox()));
        ASSERT_TRUE(op.wait_for([&] { return grid->ComboBox()->DroppedDown(); }));
        const TRect list = op.ask<TRect>([&] { return grid->ComboBox()->PopupRect().Offset(form.Left(), form.Top()); });
        op.wheel_at({list.Left + 30, list.Top + 20}, true, 5);
        const int rows = op.ask<int>([&] { return grid->ComboBox()->DropDownCount(); });
        const int h = op.ask<int>([&] { return grid->ComboBox()->ItemHeight(); });
        ui::testing::save_screen_part(list.Inflate(4, 4), grab_prefix + "_type_list.png");
        op.click_at({list.Left + 30, list.Top + 1 + (rows - 1) * h + h / 2});
        EXPECT_TRUE(op.wait_for([&] { return grid->ComboBox()->Text() == "Калибратор"; }))
            << "the wheel did not bring the last type: "
            << op.ask<std::string>([&] { return grid->ComboBox()->Text(); });
        ui::testing::save_screen_part(form.BoundsRect().Inflate(4, 30), grab_prefix + "_window.png");
        op.click_at(op.centre_of(*ok));
    });
    EXPECT_EQ(result, mrOk);
    // The type column shows its longest name beside the box's button.
    TBitmap measure(1, 1);
    measure.Canvas().Font().Assign(grid->Font());
    int widest = 0;
    for (const auto& [type, name] : instr::get_elem_types())
        widest = std::max(widest, measure.Canvas().TextWidth(name));
    EXPECT_GE(grid->ColWidths(0), widest + 17 + 8);
    instr::set_options_frame(frame, items);
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items.get(0).type, instr::elem_type::stabilizer);
    // The typed count, in the stands and in their pasted copy.
    int typed = 0;
    for (int i = 0; i < items.size(); ++i) typed += items.get(i).count == 42;
    EXPECT_EQ(typed, 2);
}

TEST_F(DrillStringScreen, OperatorWorksTheEditorWithoutAWindowManager) { edit_as_an_operator("drill_string_bare"); }

TEST_F(DrillStringScreen, OperatorWorksTheEditorUnderAWindowManager) {
    ASSERT_TRUE(with_window_manager());
    edit_as_an_operator("drill_string_wm");
}

// A new well's tally is empty and its grid disabled: the right button on a
// cell or on the grid's empty area still brings the menu, with only what
// works on an empty string enabled, and the menu's "Добавить", "Копировать
// все", "Удалить все" and "Вставить" take the clicks.
void DrillStringScreen::empty_tally_menu(const std::string& grab_prefix) {
    instr::Items items;
    TForm form(nullptr);
    form.SetCaption("Промер инструмента");
    form.SetBorderStyle(bsDialog);
    form.SetBounds(150, 100, 780, 460);
    TInstrOptionsFrame* frame = instr::get_options_frame(&form, items, true);
    frame->SetParent(&form);
    frame->SetAlign(alClient);
    widrak::TMyGrid* grid = frame->grdInstr;
    ASSERT_FALSE(grid->Enabled());
    Clipboard().SetAsText("");
    TPopupMenu* menu = frame->ppmnInstr;

    auto item_of = [menu](const std::string& caption) -> TMenuItem* {
        for (int i = 0; i < menu->Items()->Count(); ++i)
            if (menu->Items()->Items(i)->Caption() == caption) return menu->Items()->Items(i);
        return nullptr;
    };
    auto cell = [grid](int c, int r) {
        const TRect rc = grid->CellRect(c, r);
        return grid->ClientToScreen({(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
    };
    // Below the rows: the grid's empty area.
    auto empty_area = [grid] { return grid->ClientToScreen({grid->ClientWidth() / 2, grid->ClientHeight() - 12}); };
    ui::testing::run_with_operator([&] { form.ShowModal(); }, [&](Operator& op) {
        auto open_at = [&](std::function<TPoint()> where) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                op.click_at(op.ask<TPoint>(where), 3);
                if (op.wait_for([&] { return menu->IsOpen(); }, 5000)) return true;
            }
            return false;
        };
        auto choose = [&](const char* caption) {
            const TRect r = op.ask<TRect>([&] { return menu->ItemScreenRect(item_of(caption)); });
            ASSERT_FALSE(r.IsEmpty()) << caption;
            op.click_at({r.Left + 20, (r.Top + r.Bottom) / 2});
            EXPECT_TRUE(op.wait_for([&] { return !menu->IsOpen(); })) << caption;
        };
        auto enabled = [&] {
            return op.ask<std::vector<std::string>>([&] {
                std::vector<std::string> on;
                for (int i = 0; i < menu->Items()->Count(); ++i)
                    if (TMenuItem* m = menu->Items()->Items(i); m->Caption() != "-" && m->Enabled())
                        on.push_back(m->Caption());
                return on;
            });
        };
        const std::vector<std::string> for_empty = {"Добавить", "Вставить"};

        ASSERT_TRUE(open_at([&] { return cell(2, 1); })) << "no menu on a cell of the empty tally";
        EXPECT_EQ(enabled(), for_empty);
        EXPECT_TRUE(ui::testing::popup_shown(op, form)) << "the screen never showed the menu as it paints itself";
        const TRect whole = op.ask<TRect>([&] {
            TRect r;
            for (int i = 0; i < menu->Items()->Count(); ++i)
                r = UnionRect(r, menu->ItemScreenRect(menu->Items()->Items(i)));
            return r;
        });
        ui::testing::save_screen_part(whole.Inflate(4, 4), grab_prefix + "_empty_menu.png");
        ASSERT_NO_FATAL_FAILURE(choose("Добавить"));
        EXPECT_TRUE(op.wait_for([&] { return frame->items().size() == 1 && grid->Enabled(); }))
            << "the click on \"Добавить\" did nothing";

        // With an element every item serves.
        ASSERT_TRUE(open_at(empty_area)) << "no menu below the tally's row";
        EXPECT_EQ(enabled().size(), 7u);
        ASSERT_NO_FATAL_FAILURE(choose("Копировать все"));
        EXPECT_TRUE(op.wait_for([&] { return !Clipboard().AsText().empty(); }));
        ASSERT_TRUE(open_at(empty_area));
        ASSERT_NO_FATAL_FAILURE(choose("Удалить все"));
        EXPECT_TRUE(op.wait_for([&] { return frame->items().size() == 0 && !grid->Enabled(); }));

        // Empty again: the menu on the grid's empty area pastes the copy.
        ASSERT_TRUE(open_at(empty_area)) << "no menu on the empty tally's empty area";
        EXPECT_EQ(enabled(), for_empty);
        ASSERT_NO_FATAL_FAILURE(choose("Вставить"));
        EXPECT_TRUE(op.wait_for([&] { return frame->items().size() == 1; })) << "the click on \"Вставить\" did nothing";
    });
}

TEST_F(DrillStringScreen, EmptyTallyHasItsMenuWithoutAWindowManager) { empty_tally_menu("drill_string_empty_bare"); }

TEST_F(DrillStringScreen, EmptyTallyHasItsMenuUnderAWindowManager) {
    ASSERT_TRUE(with_window_manager());
    empty_tally_menu("drill_string_empty_wm");
}

}  // namespace
