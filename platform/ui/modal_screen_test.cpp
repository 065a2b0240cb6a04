// A modal dialog on the real screen, worked through the X server as an
// operator works it, with and without a window manager: its pop-ups (a
// grid's context menu, a drop-down list too long to show whole) take the
// pointer and the wheel, and a grid's editor keeps Enter, Tab and Escape
// for the cell before the dialog's buttons see them. A window with a least
// size keeps it against the operator's (or another program's) resize.

#include <gtest/gtest.h>

#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"

namespace ui {
namespace {

using testing::Operator;

// Gas names: more than the eight rows a drop-down shows at once.
const char* const kGases[] = {"Метан",  "Водород", "Этан",   "Пропан", "Изобутан", "Бутан",         "Изопентан",
                              "Пентан", "Гексан",  "Гептан", "Азот",   "Гелий",    "Углекислый газ"};

struct Dialog {
    TForm form{nullptr};
    TStringGrid* grid = new TStringGrid(&form);
    TPopupMenu* menu = new TPopupMenu(&form);
    TMenuItem* insert = new TMenuItem(&form);
    TMenuItem* remove = new TMenuItem(&form);
    TComboBox* gas = new TComboBox(&form);
    TButton* ok = new TButton(&form);
    TButton* cancel = new TButton(&form);
    int inserts = 0;

    Dialog() {
        form.SetCaption("Модальный диалог");
        form.SetBorderStyle(bsDialog);
        form.SetBounds(200, 150, 460, 330);
        grid->SetParent(&form);
        grid->SetBounds(8, 8, 330, 200);
        grid->SetColCount(3);
        grid->SetRowCount(6);
        grid->SetOptions(grid->Options() << goEditing << goAlwaysShowEditor);
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 6; ++r) grid->SetCells(c, r, std::to_string(c) + ":" + std::to_string(r));
        remove->SetCaption("Удалить");
        insert->SetCaption("Вставить");
        insert->OnClick = [this](TObject*) { ++inserts; };
        menu->Items()->Add(remove);
        menu->Items()->Add(insert);
        grid->SetPopupMenu(menu);
        gas->SetParent(&form);
        gas->SetStyle(csDropDownList);
        gas->SetBounds(8, 220, 200, 22);
        for (const char* g : kGases) gas->Items().Add(g);
        gas->SetItemIndex(0);
        ok->SetParent(&form);
        ok->SetCaption("OK");
        ok->SetDefault(true);
        ok->SetModalResult(mrOk);
        ok->SetBounds(270, 260, 85, 25);
        cancel->SetParent(&form);
        cancel->SetCaption("Отмена");
        cancel->SetCancel(true);
        cancel->SetModalResult(mrCancel);
        cancel->SetBounds(362, 260, 85, 25);
    }

    TPoint cell_centre(int c, int r) const {
        const TRect rc = grid->CellRect(c, r);
        return grid->ClientToScreen({(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
    }
    // The screen point of a row of the open drop-down list (0 = the top row
    // shown).
    TPoint list_row(int row) const {
        const TRect pr = gas->PopupRect();
        return {form.Left() + pr.Left + 30, form.Top() + pr.Top + 1 + row * gas->ItemHeight() + gas->ItemHeight() / 2};
    }
    TRect list_on_screen() const { return gas->PopupRect().Offset(form.Left(), form.Top()); }
};

class ModalScreen : public testing::ScreenSuite {
protected:
    void pop_ups_take_the_pointer(const char* grab_name);
    void grid_keeps_its_keys();
};

void ModalScreen::pop_ups_take_the_pointer(const char* grab_name) {
    Dialog d;
    const TModalResult result = testing::run_modal_with_operator(d.form, [&](Operator& op) {
        // The grid's context menu: a right click opens it, a click on an item
        // runs it.
        op.click_at(op.ask<TPoint>([&] { return d.cell_centre(1, 2); }), 3);
        ASSERT_TRUE(op.wait_for([&] { return d.form.Popup() != nullptr; })) << "no context menu";
        const TRect item = op.ask<TRect>([&] { return d.menu->ItemScreenRect(d.insert); });
        ASSERT_FALSE(item.IsEmpty());
        op.move_to({item.Left + 20, (item.Top + item.Bottom) / 2});
        std::string why;
        op.ask<bool>([&] { return testing::save_screen_part(d.form.BoundsRect().Inflate(40, 40), grab_name, &why); });
        op.click_at({item.Left + 20, (item.Top + item.Bottom) / 2});
        EXPECT_TRUE(op.wait_for([&] { return d.inserts == 1; })) << "the click on the menu's item did nothing";
        EXPECT_TRUE(op.wait_for([&] { return d.form.Popup() == nullptr; }));
        // Opened again, put away with Escape, opened once more: the menu
        // comes each time.
        op.click_at(op.ask<TPoint>([&] { return d.cell_centre(2, 3); }), 3);
        EXPECT_TRUE(op.wait_for([&] { return d.form.Popup() != nullptr; })) << "no menu after a chosen item";
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return d.form.Popup() == nullptr; }));
        op.click_at(op.ask<TPoint>([&] { return d.cell_centre(2, 3); }), 3);
        EXPECT_TRUE(op.wait_for([&] { return d.form.Popup() != nullptr; })) << "no menu after Escape";
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return d.form.Popup() == nullptr; }));

        // The drop-down list: a click on the second gas chooses it.
        op.click_at(op.centre_of(*d.gas));
        ASSERT_TRUE(op.wait_for([&] { return d.gas->DroppedDown(); })) << "the list did not drop down";
        op.click_at(op.ask<TPoint>([&] { return d.list_row(1); }));
        EXPECT_TRUE(op.wait_for([&] { return d.gas->ItemIndex() == 1 && !d.gas->DroppedDown(); }))
            << "the click on the list's item did nothing: " << op.ask<int>([&] { return d.gas->ItemIndex(); });

        // The list longer than its eight rows: the wheel brings the last
        // gases into view, where a click chooses one.
        op.click_at(op.centre_of(*d.gas));
        ASSERT_TRUE(op.wait_for([&] { return d.gas->DroppedDown(); }));
        op.wheel_at(op.ask<TPoint>([&] { return d.list_row(3); }), true, 5);
        op.click_at(op.ask<TPoint>([&] { return d.list_row(7); }));
        EXPECT_TRUE(op.wait_for([&] { return d.gas->ItemIndex() == 12; }))
            << "the wheel did not scroll the list: " << op.ask<std::string>([&] { return d.gas->Text(); });

        // Its scroll bar: the up arrow steps back a row at a time.
        op.click_at(op.centre_of(*d.gas));
        ASSERT_TRUE(op.wait_for([&] { return d.gas->DroppedDown(); }));
        const TRect list = op.ask<TRect>([&] { return d.list_on_screen(); });
        for (int i = 0; i < 5; ++i) op.click_at({list.Right - 8, list.Top + 8});
        op.click_at(op.ask<TPoint>([&] { return d.list_row(0); }));
        EXPECT_TRUE(op.wait_for([&] { return d.gas->ItemIndex() == 0; }))
            << "the scroll bar did not scroll the list: " << op.ask<std::string>([&] { return d.gas->Text(); });

        // The dialog's own button still takes the click.
        op.click_at(op.centre_of(*d.ok));
    });
    EXPECT_EQ(result, mrOk);
}

TEST_F(ModalScreen, PopUpsOfAModalDialogTakeThePointerWithoutAWindowManager) {
    pop_ups_take_the_pointer("modal_popup_bare.png");
}

TEST_F(ModalScreen, PopUpsOfAModalDialogTakeThePointerUnderAWindowManager) {
    ASSERT_TRUE(with_window_manager());
    pop_ups_take_the_pointer("modal_popup_wm.png");
}

void ModalScreen::grid_keeps_its_keys() {
    Dialog d;
    int edits_seen_by_ok = -1;
    d.ok->OnClick = [&](TObject*) { edits_seen_by_ok = d.grid->Cells(1, 2) == "12,5" ? 1 : 0; };
    const TModalResult result = testing::run_modal_with_operator(d.form, [&](Operator& op) {
        op.click_at(op.ask<TPoint>([&] { return d.cell_centre(1, 2); }));
        ASSERT_TRUE(op.wait_for([&] { return d.grid->InplaceEditor() && d.grid->InplaceEditor()->Focused(); }));
        op.type("12,5");
        op.key("Return");
        // Enter ends the cell's edit with its text; the dialog stays.
        EXPECT_TRUE(op.wait_for([&] { return d.grid->Cells(1, 2) == "12,5"; }));
        EXPECT_FALSE(op.wait_for([&] { return d.form.ModalResult() != mrNone || !d.form.Visible(); }, 500))
            << "Enter in the cell closed the dialog";
        EXPECT_TRUE(op.ask<bool>([&] { return d.grid->InplaceEditor()->Focused(); }));
        // Tab and Shift+Tab move between the cells.
        op.key("Tab");
        EXPECT_TRUE(op.wait_for([&] { return d.grid->Col() == 2 && d.grid->Row() == 2; }));
        op.key("shift+Tab");
        EXPECT_TRUE(op.wait_for([&] { return d.grid->Col() == 1 && d.grid->Row() == 2; }));
        // Escape first abandons the cell's edit, the dialog stays.
        op.type("99");
        EXPECT_TRUE(op.wait_for([&] { return d.grid->Cells(1, 2) == "99"; }));
        op.key("Escape");
        EXPECT_TRUE(op.wait_for([&] { return d.grid->Cells(1, 2) == "12,5"; }));
        EXPECT_FALSE(op.wait_for([&] { return d.form.ModalResult() != mrNone; }, 500))
            << "Escape cancelled the dialog before the cell's edit";
        // Enter on the dialog's button, outside the grid, is its default.
        op.click_at(op.centre_of(*d.cancel), 1);
    });
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(edits_seen_by_ok, -1);
    EXPECT_EQ(d.grid->Cells(1, 2), "12,5");
}

TEST_F(ModalScreen, GridInADialogKeepsEnterTabAndEscapeWithoutAWindowManager) { grid_keeps_its_keys(); }

// The window's geometry as the X server has it.
bool window_size(const std::string& id, int& width, int& height) {
    std::string out;
    if (testing::run_tool({"xdotool", "getwindowgeometry", "--shell", id}, &out) != 0) return false;
    auto value = [&](const char* key) {
        const auto at = out.find(std::string(key) + "=");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + std::string(key).size() + 1));
    };
    width = value("WIDTH");
    height = value("HEIGHT");
    return width > 0 && height > 0;
}

void keeps_its_least_size(ModalScreen&) {
    TForm form(nullptr);
    form.SetCaption("Окно с наименьшим размером");
    form.SetBounds(100, 100, 600, 450);
    form.SetMinClientSize(500, 380);
    EXPECT_GE(form.ClientWidth(), 500);
    form.SetBounds(100, 100, 200, 100);
    EXPECT_EQ(form.ClientWidth(), 500) << "the code's resize went below the least size";
    EXPECT_EQ(form.ClientHeight(), 380);
    form.Show();
    std::string id;
    int width = 0, height = 0;
    testing::run_with_operator(
        [&] {
            // No dialog here: the window's own loop runs until the operator
            // is done.
            main_queue().run_until([&] { return !form.Visible(); }, 60000);
        },
        [&](Operator& op) {
            std::string out;
            ASSERT_EQ(testing::run_tool({"xdotool", "search", "--sync", "--onlyvisible", "--name", "наименьшим"}, &out,
                                        20000),
                      0);
            id = out.substr(0, out.find('\n'));
            op.xdotool({"windowsize", id, "120", "90"});
            EXPECT_TRUE(op.wait_for([&] { return window_size(id, width, height) && width >= 500 && height >= 380; }))
                << "the window was left at " << width << "x" << height;
            EXPECT_TRUE(op.wait_for([&] { return form.ClientWidth() >= 500 && form.ClientHeight() >= 380; }));
            op.ask<bool>([&] {
                form.Hide();
                return true;
            });
        },
        false);
}

// (Under a window manager the station host's main window shows it.)
TEST_F(ModalScreen, WindowKeepsItsLeastSizeWithoutAWindowManager) { keeps_its_least_size(*this); }

}  // namespace
}  // namespace ui
