#include "platform/ui/menus.h"

#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/edits.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

TPoint centre(const TRect& r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }

TMenuItem* item(TComponent* owner, TMenuItem* parent, const char* caption, std::vector<std::string>* log,
                TShortCut shortcut = scNone) {
    auto* i = new TMenuItem(owner);
    i->SetCaption(caption);
    i->SetShortCut(shortcut);
    if (log) i->OnClick = [log, caption](TObject*) { log->push_back(caption); };
    parent->Add(i);
    return i;
}

TEST(Menus, ShortCutsAndTheirTexts) {
    struct Case {
        TKey key;
        TShiftState shift;
        const char* text;
    } cases[] = {
        {VK_INSERT, {ssCtrl}, "Ctrl+Ins"},
        {VK_INSERT, {ssShift}, "Shift+Ins"},
        {'T', {ssAlt}, "Alt+T"},
        {VK_F5, {}, "F5"},
        {VK_DELETE, {}, "Del"},
        {VK_UP, {ssCtrl}, "Ctrl+Up"},
        {VK_F2, {}, "F2"},
        {'1', {ssCtrl, ssShift}, "Shift+Ctrl+1"},
    };
    for (const Case& c : cases) {
        const TShortCut s = ShortCut(c.key, c.shift);
        EXPECT_EQ(ShortCutToText(s), c.text);
        EXPECT_EQ(TextToShortCut(c.text), s) << c.text;
    }
    EXPECT_EQ(TextToShortCut("ctrl+ins"), ShortCut(VK_INSERT, {ssCtrl}));
    EXPECT_EQ(TextToShortCut("Ctrl+"), scNone);
    EXPECT_EQ(TextToShortCut("Hyper+X"), scNone);
    EXPECT_EQ(ShortCutToText(scNone), "");
}

// A main window with a menu bar and an edit, as the data selection window
// has it.
struct MenuForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TMainMenu* menu;
    TMenuItem *data, *pack, *quit, *view, *refresh, *more, *deep;
    TEdit* edit;
    std::vector<std::string> log;
    TestDriver drv;

    MenuForm() {
        form->SetBounds(50, 40, 400, 300);
        form->SetClientHeight(200);
        menu = new TMainMenu(form.get());
        data = item(form.get(), menu->Items(), "&Данные", nullptr);
        pack = item(form.get(), data, "Сжать", &log, ShortCut('T', {ssAlt}));
        item(form.get(), data, "-", &log);
        quit = item(form.get(), data, "Выход", &log);
        view = item(form.get(), menu->Items(), "&Вид", nullptr);
        refresh = item(form.get(), view, "Обновить", &log, ShortCut(VK_F5, {}));
        more = item(form.get(), view, "Ещё", nullptr);
        deep = item(form.get(), more, "Глубже", &log, ShortCut(VK_F2, {ssCtrl}));
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 150, 21);
        edit->OnKeyDown = [this](TObject*, TKey& key, TShiftState) { log.push_back("key " + std::to_string(key)); };
        form->SetMenu(menu);
        form->Show();
        edit->SetFocus();
    }
};

TEST(Menus, TheBarKeepsTheClientAreaAndShortcutsRunItems) {
    MenuForm m;
    EXPECT_EQ(m.form->ClientHeight(), 200);
    EXPECT_EQ(m.form->Height(), 200 + 4 + 4 + kCaptionHeight + MenuBarHeight());
    EXPECT_EQ(m.form->MenuBarRect().Height(), MenuBarHeight());
    // The bar is drawn in the menu colour under the caption.
    const TRect bar = m.form->MenuBarRect();
    EXPECT_EQ(m.form->Picture().Pixel(bar.Right - 5, bar.Top + 3), ColorToRGB(clMenu));

    m.drv.Press(VK_F5);
    m.drv.Press('T', {ssAlt});
    m.drv.Press(VK_F2, {ssCtrl});
    EXPECT_EQ(m.log, (std::vector<std::string>{"Обновить", "Сжать", "Глубже"}));
    // A disabled item, or one under a hidden parent, leaves the key to the
    // control.
    m.log.clear();
    m.pack->SetEnabled(false);
    m.more->SetVisible(false);
    m.drv.Press('T', {ssAlt});
    m.drv.Press(VK_F2, {ssCtrl});
    EXPECT_EQ(m.log, (std::vector<std::string>{"key " + std::to_string('T'), "key " + std::to_string(VK_F2)}));
    // Removing the menu gives the bar's height back to the client area.
    m.form->SetMenu(nullptr);
    EXPECT_EQ(m.form->ClientHeight(), 200);
    EXPECT_TRUE(m.form->MenuBarRect().IsEmpty());
    m.drv.Press(VK_F5);
    EXPECT_EQ(m.log.back(), "key " + std::to_string(VK_F5));
}

TEST(Menus, ClicksOnTheBarOpenItemsAndClicksOnItemsRunThem) {
    MenuForm m;
    m.drv.ClickAt(centre(m.menu->ItemScreenRect(m.data)));
    ASSERT_TRUE(m.menu->IsOpen());
    EXPECT_EQ(m.form->Popup() != nullptr, true);
    // The open menu lies under its bar item.
    const TRect pack = m.menu->ItemScreenRect(m.pack);
    EXPECT_EQ(pack.Top, m.menu->ItemScreenRect(m.data).Bottom + 3);
    // The separator takes no click; an item's click closes the menu first.
    const TRect quit = m.menu->ItemScreenRect(m.quit);
    m.drv.ClickAt({pack.Left + 10, (pack.Bottom + quit.Top) / 2});
    EXPECT_TRUE(m.menu->IsOpen());
    bool open_in_click = true;
    m.pack->OnClick = [&](TObject*) {
        open_in_click = m.menu->IsOpen();
        m.log.push_back("Сжать");
    };
    m.drv.ClickAt(centre(pack));
    EXPECT_FALSE(m.menu->IsOpen());
    EXPECT_FALSE(open_in_click);
    EXPECT_EQ(m.log, (std::vector<std::string>{"Сжать"}));
    EXPECT_EQ(m.form->Popup(), nullptr);
    // A click beside an open menu only closes it.
    m.drv.ClickAt(centre(m.menu->ItemScreenRect(m.view)));
    ASSERT_TRUE(m.menu->IsOpen());
    m.drv.Click(*m.form, {350, 180});
    EXPECT_FALSE(m.menu->IsOpen());
    // Resting on an item with sub-items opens them beside it.
    m.drv.ClickAt(centre(m.menu->ItemScreenRect(m.view)));
    m.drv.ClickAt(centre(m.menu->ItemScreenRect(m.more)));
    const TRect deep = m.menu->ItemScreenRect(m.deep);
    ASSERT_FALSE(deep.IsEmpty());
    EXPECT_GE(deep.Left, m.menu->ItemScreenRect(m.more).Right - 5);
    m.drv.ClickAt(centre(deep));
    EXPECT_EQ(m.log.back(), "Глубже");
    EXPECT_FALSE(m.menu->IsOpen());
    // Disabled items take no click.
    m.refresh->SetEnabled(false);
    m.drv.ClickAt(centre(m.menu->ItemScreenRect(m.view)));
    m.drv.ClickAt(centre(m.menu->ItemScreenRect(m.refresh)));
    EXPECT_TRUE(m.menu->IsOpen());
    EXPECT_EQ(m.log, (std::vector<std::string>{"Сжать", "Глубже"}));
}

TEST(Menus, KeysWorkTheOpenMenu) {
    MenuForm m;
    m.menu->DropDown(m.view);
    ASSERT_TRUE(m.menu->IsOpen());
    m.drv.Press(VK_DOWN);
    m.drv.Press(VK_DOWN);
    m.drv.Press(VK_RIGHT);
    EXPECT_FALSE(m.menu->ItemScreenRect(m.deep).IsEmpty());
    m.drv.Press(VK_RETURN);
    EXPECT_EQ(m.log, (std::vector<std::string>{"Глубже"}));
    EXPECT_FALSE(m.menu->IsOpen());
    // Keys go to the menu, not to the edit, while it is open; Escape closes
    // one level at a time.
    m.menu->DropDown(m.data);
    m.drv.Press(VK_F5);
    m.drv.Press(VK_ESCAPE);
    EXPECT_FALSE(m.menu->IsOpen());
    EXPECT_EQ(m.log.size(), 1u);
    EXPECT_EQ(m.edit->Text(), "");
}

TEST(Menus, AnotherPopupPutsAnOpenMenuAwayAndTheOtherWayRound) {
    MenuForm m;
    auto* combo = new TComboBox(m.form.get());
    combo->SetParent(m.form.get());
    combo->SetBounds(10, 60, 120, 21);
    combo->Items().Add("x");
    m.menu->DropDown(m.data);
    combo->SetDroppedDown(true);
    EXPECT_FALSE(m.menu->IsOpen());
    EXPECT_EQ(m.form->Popup(), combo);
    m.menu->DropDown(m.view);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_TRUE(m.menu->IsOpen());
    // A form that goes while its menu is open leaves nothing behind.
    m.form.reset();
}

TEST(Menus, PopupMenusOpenOnARightClickAndTheirShortcutsFollowTheFocus) {
    MenuForm m;
    auto* popup = new TPopupMenu(m.form.get());
    auto* add = item(m.form.get(), popup->Items(), "Добавить", &m.log, ShortCut(VK_INSERT, {}));
    item(m.form.get(), popup->Items(), "Удалить", &m.log, ShortCut(VK_DELETE, {}));
    auto* list = new TEdit(m.form.get());
    list->SetParent(m.form.get());
    list->SetBounds(10, 40, 150, 21);
    list->SetPopupMenu(popup);
    int popups = 0;
    popup->OnPopup = [&](TObject*) { ++popups; };

    m.drv.Click(*list, mbRight);
    EXPECT_EQ(popups, 1);
    ASSERT_TRUE(popup->IsOpen());
    EXPECT_EQ(popup->PopupComponent(), list);
    const TPoint at = list->ClientToScreen(TestDriver::Centre(*list));
    EXPECT_EQ(popup->ItemScreenRect(add).TopLeft(), (at + TPoint{3, 3}));
    m.drv.ClickAt(centre(popup->ItemScreenRect(add)));
    EXPECT_EQ(m.log, (std::vector<std::string>{"Добавить"}));
    // Insert works while the focus is in the control, not elsewhere.
    list->SetFocus();
    m.drv.Press(VK_INSERT);
    m.edit->SetFocus();
    m.drv.Press(VK_INSERT);
    EXPECT_EQ(m.log, (std::vector<std::string>{"Добавить", "Добавить", "key " + std::to_string(VK_INSERT)}));
    // A control forgets a menu that is freed.
    delete popup;
    EXPECT_EQ(list->PopupMenu(), nullptr);
}

TEST(Menus, ItemsBelongToOneParentAndFreeTheirSubItems) {
    auto owner = std::make_unique<TForm>(nullptr);
    TPopupMenu menu(nullptr);
    TMenuItem* a = item(owner.get(), menu.Items(), "&A", nullptr);
    TMenuItem* b = item(owner.get(), a, "B", nullptr);
    item(owner.get(), b, "C", nullptr);
    EXPECT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(menu.Items()->Find("a"), a);
    EXPECT_EQ(b->GetParentMenu(), &menu);
    EXPECT_EQ(b->MenuIndex(), 0);
    EXPECT_THROW(b->Add(a), std::invalid_argument);
    // Moving an item takes it from its old parent.
    menu.Items()->Add(b);
    EXPECT_EQ(a->Count(), 0);
    EXPECT_EQ(b->Parent(), menu.Items());
    // Deleting frees the item with its sub-items, which leave their owner.
    menu.Items()->Delete(1);
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_THROW(menu.Items()->Items(1), std::out_of_range);
    EXPECT_TRUE(a->SetBoolProperty("Visible", false));
    EXPECT_FALSE(a->Visible());
}

}  // namespace
}  // namespace ui
