#include "platform/ui/pages.h"

#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/edits.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

struct PagesForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TPageControl* pages;
    TTabSheet *data, *program, *report;
    TEdit* edit;
    std::vector<std::string> log;
    TestDriver drv;

    PagesForm() {
        form->SetBounds(30, 30, 420, 320);
        pages = new TPageControl(form.get());
        pages->SetParent(form.get());
        pages->SetBounds(8, 8, 360, 240);
        for (auto [sheet, caption] :
             {std::pair{&data, "Исходные данные"}, std::pair{&program, "Программа"}, std::pair{&report, "Отчет"}}) {
            *sheet = new TTabSheet(form.get());
            (*sheet)->SetCaption(caption);
            (*sheet)->SetPageControl(pages);
            TTabSheet* s = *sheet;
            s->OnShow = [this, s](TObject*) { log.push_back("show " + s->Caption()); };
            s->OnHide = [this, s](TObject*) { log.push_back("hide " + s->Caption()); };
        }
        edit = new TEdit(form.get());
        edit->SetParent(data);
        edit->SetBounds(10, 10, 100, 21);
        pages->OnChanging = [this](TObject*, bool&) { log.push_back("changing"); };
        pages->OnChange = [this](TObject*) { log.push_back("change " + pages->ActivePage()->Caption()); };
        form->Show();
    }
    TPoint tab_centre(int i) const {
        const TRect r = pages->TabRect(i);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
};

TEST(PageControl, TheFirstSheetIsActiveAndOnlyTheActiveSheetShows) {
    PagesForm p;
    EXPECT_EQ(p.pages->PageCount(), 3);
    EXPECT_EQ(p.pages->ActivePage(), p.data);
    EXPECT_TRUE(p.data->Showing());
    EXPECT_FALSE(p.program->Showing());
    EXPECT_EQ(p.report->PageIndex(), 2);
    EXPECT_EQ(p.report->TabIndex(), 2);
    // The sheets fill the area under the tabs.
    const TRect d = p.pages->DisplayRect();
    EXPECT_EQ(d.Top, p.pages->TabHeight() + 2);
    EXPECT_EQ(p.program->BoundsRect(), d);
    // Code changes fire no change events, only the sheets' show and hide.
    p.pages->SetActivePageIndex(2);
    EXPECT_EQ(p.log, (std::vector<std::string>{"hide Исходные данные", "show Отчет"}));
    p.pages->SetActivePage(nullptr);
    EXPECT_EQ(p.pages->ActivePage(), nullptr);
    EXPECT_EQ(p.pages->ActivePageIndex(), -1);
    TTabSheet stranger(nullptr);
    p.pages->SetActivePage(&stranger);
    EXPECT_EQ(p.pages->ActivePage(), nullptr);
    EXPECT_THROW(p.pages->Pages(3), std::out_of_range);
}

TEST(PageControl, ThePressOnATabAsksAndChangesAndKeysWalkTheTabs) {
    PagesForm p;
    p.log.clear();
    p.drv.Click(*p.pages, p.tab_centre(1));
    EXPECT_EQ(p.pages->ActivePage(), p.program);
    EXPECT_EQ(p.log,
              (std::vector<std::string>{"changing", "hide Исходные данные", "show Программа", "change Программа"}));
    // OnChanging may refuse.
    p.pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
    p.drv.Click(*p.pages, p.tab_centre(2));
    EXPECT_EQ(p.pages->ActivePage(), p.program);
    p.pages->OnChanging = nullptr;
    // A press on the active tab changes nothing.
    p.log.clear();
    p.drv.Click(*p.pages, p.tab_centre(1));
    EXPECT_TRUE(p.log.empty());
    p.pages->SetFocus();
    p.drv.Press(VK_TAB, {ssCtrl});
    EXPECT_EQ(p.pages->ActivePage(), p.report);
    p.drv.Press(VK_TAB, {ssCtrl});
    EXPECT_EQ(p.pages->ActivePage(), p.data);
    p.drv.Press(VK_LEFT);
    EXPECT_EQ(p.pages->ActivePage(), p.report);
}

TEST(PageControl, HiddenTabsLeaveTheNavigationToTheCode) {
    PagesForm p;
    p.program->SetTabVisible(false);
    EXPECT_EQ(p.program->TabIndex(), -1);
    EXPECT_EQ(p.report->TabIndex(), 1);
    EXPECT_EQ(p.pages->FindNextPage(p.data, true, true), p.report);
    EXPECT_EQ(p.pages->FindNextPage(p.data, true, false), p.program);
    EXPECT_EQ(p.pages->FindNextPage(p.data, false, true), p.report);
    // A sheet with a hidden tab still shows when made active.
    p.pages->SetActivePage(p.program);
    EXPECT_TRUE(p.program->Showing());
    for (TTabSheet* s : {p.data, p.report}) s->SetTabVisible(false);
    EXPECT_EQ(p.pages->IndexOfTabAt(p.tab_centre(0).x, 5), -1);
    EXPECT_EQ(p.pages->DisplayRect(), Rect(2, 2, 360 - 2, 240 - 2));
    EXPECT_EQ(p.program->BoundsRect(), Rect(2, 2, 358, 238));
    p.pages->SetStyle(tsFlatButtons);
    EXPECT_EQ(p.program->BoundsRect(), Rect(0, 0, 360, 240));
    // A page control with no tab to go to stays where it is.
    p.pages->SelectNextPage(true);
    EXPECT_EQ(p.pages->ActivePage(), p.program);
}

TEST(PageControl, SheetsComeGoAndMoveAndTheFocusLeavesAPageThatIsPutAway) {
    PagesForm p;
    p.edit->SetFocus();
    ASSERT_TRUE(p.edit->Focused());
    p.pages->SetActivePage(p.program);
    EXPECT_TRUE(p.pages->Focused());
    // Freeing the active sheet activates the next one.
    delete p.program;
    EXPECT_EQ(p.pages->PageCount(), 2);
    EXPECT_EQ(p.pages->ActivePage(), p.report);
    p.report->SetPageIndex(0);
    EXPECT_EQ(p.pages->Pages(0), p.report);
    // A sheet moved elsewhere leaves the page control.
    auto* other = new TPageControl(p.form.get());
    other->SetParent(p.form.get());
    p.data->SetParent(other);
    EXPECT_EQ(p.pages->PageCount(), 1);
    EXPECT_EQ(other->ActivePage(), p.data);
    EXPECT_EQ(p.data->PageControl(), other);
    // Sheets follow the size of their page control.
    int resized = 0;
    p.report->OnResize = [&](TObject*) { ++resized; };
    p.pages->SetWidth(300);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(p.report->Width(), 300 - 4);
    // Freeing the page control frees its sheets.
    delete p.pages;
    EXPECT_EQ(p.form->ComponentCount(), 3);  // the data sheet, its edit, the other control
}

TEST(ScrollBox, ChildrenMoveUnderTheClientAreaAsTheBarsScroll) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(10, 10, 400, 300);
    auto* box = new TScrollBox(form.get());
    box->SetParent(form.get());
    box->SetBounds(0, 0, 200, 150);
    auto* low = new TPanel(form.get());
    low->SetParent(box);
    low->SetBounds(10, 300, 50, 40);
    form->Show();
    TestDriver drv;
    TControlScrollBar& v = box->VertScrollBar();
    EXPECT_TRUE(v.IsScrollBarVisible());
    EXPECT_FALSE(box->HorzScrollBar().IsScrollBarVisible());
    EXPECT_EQ(v.Range(), 340);
    EXPECT_EQ(box->ClientWidth(), 200 - 4 - 16);
    v.SetPosition(100);
    EXPECT_EQ(low->Top(), 200);
    EXPECT_EQ(v.Range(), 340);
    v.SetPosition(1000);  // no further than the end
    EXPECT_EQ(v.Position(), 340 - box->ClientHeight());
    EXPECT_EQ(low->Top() + low->Height(), box->ClientHeight());
    drv.Wheel(*box, 1);
    EXPECT_EQ(v.Position(), 340 - box->ClientHeight() - 24);
    // The up arrow steps by the increment.
    drv.Click(*box, {box->ClientWidth() + 8, 8});
    EXPECT_EQ(v.Position(), 340 - box->ClientHeight() - 32);
    v.SetPosition(0);
    EXPECT_EQ(low->Top(), 300);
    // Flat bars; a fixed range without AutoScroll.
    v.SetStyle(ssFlat);
    box->HorzScrollBar().SetStyle(ssFlat);
    box->SetAutoScroll(false);
    EXPECT_FALSE(v.IsScrollBarVisible());
    v.SetRange(1000);
    EXPECT_TRUE(v.IsScrollBarVisible());
    form->Picture();
}

}  // namespace
}  // namespace ui
