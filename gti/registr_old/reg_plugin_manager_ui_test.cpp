#include "gti/registr_old/reg_plugin_manager.h"

#include "platform/rtl/colors.h"
#include "platform/ui/canvas.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/pages.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A plug-in of the test with a page, a form, an options control and an
// area on the status bar as its flags and fields say.
struct WindowPlugin : reg::RegPlugin {
    WindowPlugin(const char* title, int flags, int status_width = 0)
        : title(title), flags(flags), status_width(status_width) {}
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = title;
        info.module_name = title;
        info.menu_caption = std::string("Настройки: ") + title;
        info.flags = flags;
        info.page_visible = 1;
    }
    ui::TForm* get_form() override {
        ++forms_asked;
        if (!form) {
            form = new ui::TForm(nullptr);
            form->SetBounds(0, 0, 200, 100);
        }
        return form;
    }
    void show(bool first) override { shows.push_back(first); }
    void options() override { ++options_runs; }
    void event(reg::PluginEventType type, const std::any& payload) override {
        events.push_back(type);
        EXPECT_FALSE(payload.has_value());
    }
    ui::TControl* get_opt_control() override {
        if (!with_options) return nullptr;
        opt_control = new ui::TPanel(nullptr);
        return opt_control;
    }
    void set_opt_control(ui::TControl* c) override { taken_back = c; }
    int paint_on_status_bar(const ui::TRect& r, ui::TCanvas*, bool measure) override {
        if (!measure) painted.push_back(r);
        return status_width;
    }

    std::string title;
    int flags;
    int status_width;
    bool with_options = false;
    ui::TForm* form = nullptr;
    ui::TControl* opt_control = nullptr;
    ui::TControl* taken_back = nullptr;
    int forms_asked = 0;
    int options_runs = 0;
    std::vector<bool> shows;
    std::vector<int> events;
    std::vector<ui::TRect> painted;
};

using Info = reg::PluginInfo;

TEST(RegPluginManagerWindow, MenuItemsRunTheirPluginsOptionsAndSendEventOne) {
    reg::RegPluginManager m;
    auto* first = new WindowPlugin("первый", Info::has_menu);
    auto* none = new WindowPlugin("без меню", 0);
    auto* third = new WindowPlugin("третий", Info::has_menu);
    m.add(first);
    m.add(none);
    m.add(third);
    ui::TMenuItem root(nullptr);
    m.fill_opts_menu(&root);
    ASSERT_EQ(root.Count(), 2);
    EXPECT_EQ(root[0]->Tag(), 10000);
    EXPECT_EQ(root[1]->Tag(), 10002);
    EXPECT_EQ(root[1]->Caption(), "Настройки: третий");
    root[1]->Click();
    EXPECT_EQ(third->options_runs, 1);
    EXPECT_EQ(third->events, std::vector<int>{reg::pe_options});
    EXPECT_EQ(first->options_runs, 0);

    // An item left over from a longer list reaches nothing.
    m.free();
    root[1]->Click();
}

TEST(RegPluginManagerWindow, AFormIsPutIntoItsPageOnceAndAFixedOneStaysCentred) {
    ui::TPageControl pages(nullptr);
    pages.SetBounds(0, 0, 600, 400);
    reg::RegPluginManager m;
    auto* filling = new WindowPlugin("заполняет", Info::has_page);
    auto* fixed = new WindowPlugin("фиксированная", Info::has_page | Info::fixed_size);
    m.add(filling);
    m.add(fixed);
    m.fill_to_tab_control(&pages);
    ui::TTabSheet* sheet0 = m.get_plugin_data(0)->page;
    ui::TTabSheet* sheet1 = m.get_plugin_data(1)->page;
    ASSERT_NE(sheet0, nullptr);
    ASSERT_NE(sheet1, nullptr);

    m.show_tab_sheet(sheet0, 0, 0);
    m.show_tab_sheet(sheet0, 0, 0);
    m.show_pages(sheet0);
    EXPECT_EQ(filling->forms_asked, 1);
    EXPECT_EQ(filling->shows, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(filling->form->Parent(), sheet0);
    EXPECT_EQ(filling->form->Align(), ui::alClient);
    EXPECT_EQ(filling->form->BorderStyle(), ui::bsNone);
    EXPECT_TRUE(filling->form->Visible());

    m.show_tab_sheet(sheet1, 200, 100);
    ui::TForm* form = fixed->form;
    ASSERT_EQ(form->Parent(), sheet1);
    EXPECT_NE(form->Align(), ui::alClient);
    sheet1->SetBounds(0, 0, 500, 300);
    form->SetBounds(0, 0, 200, 100);
    m.tab_sheet_resized(sheet1);
    EXPECT_EQ(form->Left(), 150);
    EXPECT_EQ(form->Top(), 100);
    sheet1->SetBounds(0, 0, 100, 50);  // smaller than the form: pinned at 0
    m.tab_sheet_resized(sheet1);
    EXPECT_EQ(form->Left(), 0);
    EXPECT_EQ(form->Top(), 0);

    // A sheet of nobody's does nothing.
    ui::TTabSheet stray(nullptr);
    m.show_tab_sheet(&stray, 0, 0);
    m.show_pages(&stray);
    m.show_pages(nullptr);
    EXPECT_EQ(filling->shows.size(), 3u);
    m.free();
}

// The operator's page smaller than a plug-in's window (a fixed one scaled
// for the larger page it was first shown in, one with a least size): the
// page's scroll bars and the wheel bring the window's far corner into sight,
// where a click reaches the control there. A page large enough shows the
// window as before, without bars.
TEST(RegPluginManagerWindow, AWindowLargerThanItsPageIsReachedByThePagesScrollBars) {
    ui::TForm host(nullptr);
    host.SetBorderStyle(ui::bsNone);
    host.SetBounds(0, 0, 600, 400);
    auto* pages = new ui::TPageControl(&host);
    pages->SetParent(&host);
    pages->SetAlign(ui::alClient);
    reg::RegPluginManager m;
    auto* fixed = new WindowPlugin("фиксированная", Info::has_page | Info::fixed_size);
    auto* filling = new WindowPlugin("заполняет", Info::has_page);
    m.add(fixed);
    m.add(filling);
    m.fill_to_tab_control(pages);
    ui::TTabSheet* fixed_page = m.get_plugin_data(0)->page;
    ui::TTabSheet* filling_page = m.get_plugin_data(1)->page;
    host.Show();
    ui::TestDriver drv;

    // Scaled to the large page (as the host asks), nothing to scroll.
    const lib::ControlResizer& resizer = m.get_plugin_data(0)->resizer;
    m.show_tab_sheet(fixed_page, resizer.max_width(), resizer.max_height());
    ui::TForm* form = fixed->form;
    ASSERT_GT(form->Width(), 400);
    auto* corner = new ui::TButton(form);
    corner->SetParent(form);
    corner->SetBounds(form->ClientWidth() - 44, form->ClientHeight() - 28, 40, 24);
    int clicks = 0;
    corner->OnClick = [&](ui::TObject*) { ++clicks; };
    EXPECT_FALSE(fixed_page->HorzScrollBar().IsScrollBarVisible());
    EXPECT_FALSE(fixed_page->VertScrollBar().IsScrollBarVisible());

    host.SetBounds(0, 0, 300, 200);
    ASSERT_EQ(form->Left(), 0);
    ASSERT_EQ(form->Top(), 0);
    ASSERT_TRUE(fixed_page->HorzScrollBar().IsScrollBarVisible());
    ASSERT_TRUE(fixed_page->VertScrollBar().IsScrollBarVisible());
    // The bar's arrow lies over the form and is the bar's, not the form's.
    drv.Click(*fixed_page, {fixed_page->ClientWidth() - 8, fixed_page->ClientHeight() + 8});
    EXPECT_EQ(form->Left(), -fixed_page->HorzScrollBar().Increment());
    // Down by the wheel, right by presses on the bar's track.
    for (int i = 0; i < 20; ++i) drv.Wheel(*fixed_page, -1);
    for (int i = 0; i < 10; ++i) drv.Click(*fixed_page, {fixed_page->ClientWidth() - 24, fixed_page->ClientHeight() + 8});
    EXPECT_EQ(form->Left() + form->Width(), fixed_page->ClientWidth());
    EXPECT_EQ(form->Top() + form->Height(), fixed_page->ClientHeight());
    drv.Click(*corner);
    EXPECT_EQ(clicks, 1);

    // Large again: centred, no bars, whatever was scrolled.
    host.SetBounds(0, 0, 900, 600);
    EXPECT_FALSE(fixed_page->HorzScrollBar().IsScrollBarVisible());
    EXPECT_FALSE(fixed_page->VertScrollBar().IsScrollBarVisible());
    EXPECT_EQ(form->Left(), (fixed_page->ClientWidth() - form->Width()) / 2);
    EXPECT_EQ(form->Top(), (fixed_page->ClientHeight() - form->Height()) / 2);

    // A filling window fills a page larger than its least size...
    pages->SetActivePage(filling_page);
    m.show_tab_sheet(filling_page, 0, 0);
    ui::TForm* fill = filling->form;
    fill->SetMinClientSize(400, 300);
    EXPECT_EQ(fill->Width(), filling_page->ClientWidth());
    EXPECT_EQ(fill->Height(), filling_page->ClientHeight());
    EXPECT_FALSE(filling_page->VertScrollBar().IsScrollBarVisible());
    // ...and keeps that size in a smaller one, the rest scrolled to.
    host.SetBounds(0, 0, 300, 200);
    EXPECT_EQ(fill->Align(), ui::alClient);
    EXPECT_EQ(fill->Width(), 400);
    EXPECT_EQ(fill->Height(), 300);
    EXPECT_EQ(filling_page->HorzScrollBar().Range(), 400);
    filling_page->HorzScrollBar().SetPosition(1000);
    filling_page->VertScrollBar().SetPosition(1000);
    EXPECT_EQ(fill->Left() + fill->Width(), filling_page->ClientWidth());
    EXPECT_EQ(fill->Top() + fill->Height(), filling_page->ClientHeight());
    host.SetBounds(0, 0, 900, 600);
    EXPECT_EQ(fill->Left(), 0);
    EXPECT_EQ(fill->Top(), 0);
    EXPECT_EQ(fill->Width(), filling_page->ClientWidth());
    EXPECT_FALSE(filling_page->HorzScrollBar().IsScrollBarVisible());
    m.free();
}

TEST(RegPluginManagerWindow, FormsAreFreedOnceWhoeverGoesFirst) {
    // The manager frees the forms before the plug-ins...
    {
        ui::TPageControl pages(nullptr);
        reg::RegPluginManager m;
        m.add(new WindowPlugin("один", Info::has_page));
        m.fill_to_tab_control(&pages);
        m.show_tab_sheet(m.get_plugin_data(0)->page, 0, 0);
        m.free();
        EXPECT_EQ(pages.Pages(0)->ControlCount(), 0);
    }
    // ...or the host's page control took them with it first.
    {
        reg::RegPluginManager m;
        {
            ui::TPageControl pages(nullptr);
            m.add(new WindowPlugin("один", Info::has_page));
            m.fill_to_tab_control(&pages);
            m.show_tab_sheet(m.get_plugin_data(0)->page, 0, 0);
        }
        EXPECT_EQ(m.get_plugin_data(0)->page, nullptr);
        EXPECT_EQ(m.get_plugin_data(0)->form, nullptr);
        m.free();
    }
}

TEST(RegPluginManagerWindow, OptionsPagesAreBuiltAndHandedBack) {
    ui::TPageControl dialog(nullptr);
    reg::RegPluginManager m;
    auto* with = new WindowPlugin("с настройками", 0);
    with->with_options = true;
    auto* without = new WindowPlugin("без настроек", 0);
    m.add(without);
    m.add(with);
    m.show_opts_on_start(&dialog);
    ASSERT_EQ(dialog.PageCount(), 1);
    EXPECT_EQ(dialog.Pages(0)->Caption(), "с настройками");
    EXPECT_EQ(with->opt_control->Parent(), dialog.Pages(0));
    EXPECT_EQ(with->opt_control->Align(), ui::alClient);
    m.get_opts_on_start();
    EXPECT_EQ(with->taken_back, with->opt_control);
    EXPECT_EQ(without->taken_back, nullptr);
    m.free();
}

TEST(RegPluginManagerWindow, StatusBarAreasCountFromZeroWithGapsOnlyAfterWidePlugins) {
    reg::RegPluginManager m;
    ui::TBitmap bitmap(200, 20);
    EXPECT_EQ(m.paint_status_bar(ui::TRect(10, 2, 200, 18), &bitmap.Canvas(), true), 0);
    EXPECT_EQ(m.paint_status_bar(ui::TRect(10, 2, 200, 18), &bitmap.Canvas(), false), 0);

    auto* a = new WindowPlugin("a", 0, 40);
    auto* zero = new WindowPlugin("zero", 0, 0);
    auto* b = new WindowPlugin("b", 0, 25);
    m.add(a);
    m.add(zero);
    m.add(b);
    EXPECT_EQ(m.paint_status_bar(ui::TRect(10, 2, 200, 18), &bitmap.Canvas(), true), 40 + 3 + 25 + 3);
    EXPECT_EQ(m.get_plugin_data(0)->area, ui::TRect(0, 2, 40, 18));
    EXPECT_EQ(m.get_plugin_data(1)->area, ui::TRect(43, 2, 43, 18));
    EXPECT_EQ(m.get_plugin_data(2)->area, ui::TRect(43, 2, 68, 18));

    EXPECT_EQ(m.paint_status_bar(ui::TRect(10, 2, 200, 18), &bitmap.Canvas(), false), 65);
    EXPECT_EQ(a->painted, std::vector<ui::TRect>{ui::TRect(0, 2, 40, 18)});
    EXPECT_TRUE(zero->painted.empty());
    EXPECT_EQ(b->painted, std::vector<ui::TRect>{ui::TRect(43, 2, 68, 18)});
    m.free();
}

}  // namespace
