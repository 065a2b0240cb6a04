#include "platform/ui/forms.h"

#include <gtest/gtest.h>

#include "platform/ui/application.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/lists.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

// A dialog with an edit, OK (default) and Cancel (cancel) buttons.
struct Dialog {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TEdit* edit;
    TButton* ok;
    TButton* cancel;
    int ok_clicks = 0, cancel_clicks = 0;

    Dialog() {
        form->SetBounds(100, 100, 300, 200);
        form->SetCaption("Dialog");
        edit = new TEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 150, 21);
        ok = new TButton(form.get());
        ok->SetParent(form.get());
        ok->SetBounds(10, 100, 75, 25);
        ok->SetCaption("OK");
        ok->SetDefault(true);
        ok->SetModalResult(mrOk);
        ok->OnClick = [this](TObject*) { ++ok_clicks; };
        cancel = new TButton(form.get());
        cancel->SetParent(form.get());
        cancel->SetBounds(100, 100, 75, 25);
        cancel->SetCaption("Cancel");
        cancel->SetCancel(true);
        cancel->SetModalResult(mrCancel);
        cancel->OnClick = [this](TObject*) { ++cancel_clicks; };
    }
};

TEST(Components, OwnersFreeWhatTheyOwnAndFreedControlsLeave) {
    auto form = std::make_unique<TForm>(nullptr);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetName("pnlTop");
    auto* button = new TButton(form.get());
    button->SetParent(panel);
    button->SetName("btnOk");
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(form->FindComponent("BTNOK"), button);
    EXPECT_EQ(panel->ControlCount(), 1);
    // Freeing the panel frees its child, which leaves the owner's list too.
    delete panel;
    EXPECT_EQ(form->ComponentCount(), 0);
    EXPECT_EQ(form->ControlCount(), 0);
    auto* label = new TLabel(form.get());
    label->SetParent(form.get());
    delete label;
    EXPECT_EQ(form->ControlCount(), 0);
    EXPECT_THROW(form->Controls(0), std::out_of_range);
}

TEST(Controls, AlignmentAnchorsAndCoordinates) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(50, 60, 400, 300);
    auto* top = new TPanel(&form);
    top->SetParent(&form);
    top->SetAlign(alTop);
    top->SetHeight(40);
    auto* bottom = new TPanel(&form);
    bottom->SetParent(&form);
    bottom->SetAlign(alBottom);
    bottom->SetHeight(30);
    auto* client = new TPanel(&form);
    client->SetParent(&form);
    client->SetAlign(alClient);
    auto* anchored = new TButton(&form);
    anchored->SetParent(bottom);
    anchored->SetBounds(300, 2, 90, 25);
    anchored->SetAnchors({akRight, akTop});
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 400, 40));
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, 270, 400, 300));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 40, 400, 270));
    form.SetWidth(500);
    form.SetHeight(400);
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, 370, 500, 400));
    EXPECT_EQ(client->BoundsRect(), Rect(0, 40, 500, 370));
    EXPECT_EQ(anchored->Left(), 400);
    EXPECT_EQ(anchored->ClientToScreen({0, 0}), Point(50 + 400, 60 + 370 + 2));
    EXPECT_EQ(anchored->ScreenToClient({460, 440}), Point(10, 8));
}

TEST(Controls, AnchorsHoldTheDistancesOfTheSizeTheParentHadWhenPlaced) {
    TForm form(nullptr);  // the default size
    const int w = form.ClientWidth();
    auto* b = new TButton(&form);
    b->SetParent(&form);
    b->SetBounds(w - 85, 10, 75, 25);
    b->SetAnchors({akRight, akTop});
    auto* e = new TEdit(&form);
    e->SetParent(&form);
    e->SetBounds(10, 40, w - 20, 21);
    e->SetAnchors({akLeft, akTop, akRight});
    form.SetClientWidth(600);
    EXPECT_EQ(b->Left(), 600 - 85);
    EXPECT_EQ(e->Width(), 580);
}

TEST(Controls, ParentFontAndColourFollowUntilSetOwn) {
    TForm form(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    auto* label = new TLabel(&form);
    label->SetParent(panel);
    form.Font().SetName("Arial");
    EXPECT_EQ(label->Font().Name(), "Arial");
    label->Font().SetStyle({fsBold});
    EXPECT_FALSE(label->ParentFont());
    form.Font().SetName("Tahoma");
    EXPECT_EQ(label->Font().Name(), "Arial");
    EXPECT_EQ(panel->Font().Name(), "Tahoma");
    panel->SetColor(clRed);
    EXPECT_EQ(label->Color(), clRed);
    label->SetColor(clBlue);
    EXPECT_FALSE(label->ParentColor());
}

TEST(Input, ClickReachesTheControlUnderThePoint) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(10, 10, 200, 100);
    auto* inner = new TButton(&form);
    inner->SetParent(panel);
    inner->SetBounds(20, 20, 50, 20);
    auto* over = new TButton(&form);  // overlaps the panel, later so on top
    over->SetParent(&form);
    over->SetBounds(150, 50, 100, 40);
    std::vector<std::string> clicks;
    panel->OnClick = [&](TObject*) { clicks.push_back("panel"); };
    inner->OnClick = [&](TObject*) { clicks.push_back("inner"); };
    over->OnClick = [&](TObject*) { clicks.push_back("over"); };
    int down_x = -1, down_y = -1;
    panel->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        down_x = x;
        down_y = y;
    };
    form.Show();
    TestDriver d;
    const TPoint origin = form.ClientOrigin();
    d.ClickAt(origin + TPoint{40, 40});   // on the inner button
    d.ClickAt(origin + TPoint{180, 60});  // where the two overlap
    d.ClickAt(origin + TPoint{15, 95});   // on the panel only
    EXPECT_EQ(clicks, (std::vector<std::string>{"inner", "over", "panel"}));
    EXPECT_EQ(down_x, 5);
    EXPECT_EQ(down_y, 85);
    EXPECT_TRUE(inner->Focused() || over->Focused());
    // Disabled and hidden controls take no clicks.
    over->SetEnabled(false);
    d.ClickAt(origin + TPoint{180, 60});
    inner->SetVisible(false);
    d.ClickAt(origin + TPoint{40, 40});
    EXPECT_EQ(clicks.back(), "panel");
    EXPECT_EQ(clicks.size(), 4u);
}

TEST(Input, PressAndReleaseOutsideIsNoClick) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* b = new TButton(&form);
    b->SetParent(&form);
    b->SetBounds(10, 10, 50, 20);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    form.Show();
    TestDriver d;
    d.Drag(*b, {5, 5}, {100, 100});
    EXPECT_EQ(clicks, 0);
    d.DoubleClick(*b);  // buttons take a double click as two clicks
    EXPECT_EQ(clicks, 2);
}

TEST(Input, DoubleClickOnAListFiresOnDblClick) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* list = new TListBox(&form);
    list->SetParent(&form);
    list->SetBounds(10, 10, 150, 100);
    for (const char* s : {"a", "b", "c"}) list->Items().Add(s);
    int clicks = 0, doubles = 0;
    list->OnClick = [&](TObject*) { ++clicks; };
    list->OnDblClick = [&](TObject*) { ++doubles; };
    form.Show();
    TestDriver d;
    const int h = list->ItemHeight();
    d.DoubleClick(*list, {10, h + h / 2});
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubles, 1);
    d.Press(VK_DOWN);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(clicks, 2);
    list->SetItemIndex(0);  // code changes fire nothing
    EXPECT_EQ(clicks, 2);
}

TEST(Keys, EnterAndEscapeReachTheDefaultAndCancelButtons) {
    Dialog dlg;
    dlg.form->Show();
    dlg.edit->SetFocus();
    TestDriver d;
    d.Press(VK_RETURN);
    EXPECT_EQ(dlg.ok_clicks, 1);
    d.Press(VK_ESCAPE);
    EXPECT_EQ(dlg.cancel_clicks, 1);
    // A focused button takes Enter itself.
    dlg.cancel->SetFocus();
    d.Press(VK_RETURN);
    EXPECT_EQ(dlg.cancel_clicks, 2);
    EXPECT_EQ(dlg.ok_clicks, 1);
    // A disabled default button does nothing; the Enter then becomes a
    // character for the edit, which ignores it.
    dlg.ok->SetEnabled(false);
    dlg.edit->SetFocus();
    d.Press(VK_RETURN);
    EXPECT_EQ(dlg.ok_clicks, 1);
    // An event that clears the key stops it.
    dlg.ok->SetEnabled(true);
    dlg.edit->OnKeyDown = [](TObject*, TKey& key, TShiftState) {
        if (key == VK_RETURN) key = 0;
    };
    d.Press(VK_RETURN);
    EXPECT_EQ(dlg.ok_clicks, 1);
    // A memo that wants returns keeps Enter for itself.
    auto* memo = new TMemo(dlg.form.get());
    memo->SetParent(dlg.form.get());
    memo->SetBounds(10, 40, 150, 50);
    memo->SetFocus();
    d.Type("ab");
    d.Press(VK_RETURN);
    d.Type("c");
    EXPECT_EQ(memo->Lines().Count(), 2);
    EXPECT_EQ(memo->Text(), "ab\r\nc");
    EXPECT_EQ(dlg.ok_clicks, 1);
}

TEST(Keys, TabMovesTheFocusInTabOrder) {
    Dialog dlg;
    std::vector<std::string> events;
    dlg.edit->OnExit = [&](TObject*) { events.push_back("edit exit"); };
    dlg.ok->OnEnter = [&](TObject*) { events.push_back("ok enter"); };
    dlg.form->Show();
    EXPECT_EQ(dlg.form->ActiveControl(), dlg.edit);  // the first tab stop
    TestDriver d;
    d.Press(VK_TAB);
    EXPECT_EQ(dlg.form->ActiveControl(), dlg.ok);
    EXPECT_EQ(events, (std::vector<std::string>{"edit exit", "ok enter"}));
    d.Press(VK_TAB, {ssShift});
    EXPECT_EQ(dlg.form->ActiveControl(), dlg.edit);
    dlg.cancel->SetTabOrder(0);
    d.Press(VK_TAB, {ssShift});
    EXPECT_EQ(dlg.form->ActiveControl(), dlg.cancel);
}

TEST(Keys, TypingEditsTextByCharactersWithSelectionAndClipboard) {
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    std::vector<std::string> changes;
    edit->OnChange = [&](TObject*) { changes.push_back(edit->Text()); };
    edit->SetMaxLength(6);
    form.Show();
    TestDriver d;
    d.TypeOn(*edit, "Жук");
    EXPECT_EQ(edit->Text(), "Жук");
    EXPECT_EQ(edit->SelStart(), 3);
    // A click puts the caret between the characters nearest to it.
    d.Click(*edit, {1 + edit->Canvas().TextWidth("Ж") + 1, 5});
    EXPECT_EQ(edit->SelStart(), 1);
    d.Press(VK_END);
    d.Press(VK_BACK);
    d.Press(VK_HOME);
    d.Type("Ёж");
    EXPECT_EQ(edit->Text(), "ЁжЖу");
    d.Type("12345");  // only two more fit
    EXPECT_EQ(edit->Text(), "Ёж12Жу");
    d.Press(VK_END);
    d.Press(VK_LEFT, {ssShift});
    d.Press(VK_LEFT, {ssShift});
    EXPECT_EQ(edit->SelText(), "Жу");
    d.Press('C', {ssCtrl});
    EXPECT_EQ(Clipboard().AsText(), "Жу");
    EXPECT_EQ(Clipboard().AsUnicodeText(), u"Жу");
    d.Press(VK_DELETE);
    EXPECT_EQ(edit->Text(), "Ёж12");
    d.Press('V', {ssCtrl});
    EXPECT_EQ(edit->Text(), "Ёж12Жу");
    EXPECT_EQ(changes.size(), 10u);
    edit->SetReadOnly(true);
    d.Type("x");
    EXPECT_EQ(edit->Text(), "Ёж12Жу");
    // Setting the text by code fires OnChange too.
    edit->SetText("new");
    EXPECT_EQ(changes.back(), "new");
}

TEST(Keys, UpDownStepsTheNumberInItsEdit) {
    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(10, 10, 100, 21);
    auto* ud = new TUpDown(&form);
    ud->SetMin(0);
    ud->SetMax(10);
    ud->SetAssociate(edit);
    EXPECT_EQ(edit->Width(), 100 - ud->Width());
    EXPECT_EQ(ud->Left(), edit->Left() + edit->Width());
    ud->SetPosition(9);
    EXPECT_EQ(edit->Text(), "9");
    form.Show();
    TestDriver d;
    d.Click(*ud, {5, 3});
    EXPECT_EQ(ud->Position(), 10);
    d.Click(*ud, {5, 3});
    EXPECT_EQ(ud->Position(), 10);  // no wrap
    d.Click(*ud, {5, ud->Height() - 3});
    EXPECT_EQ(edit->Text(), "9");
    edit->SetText("3");  // the user's number is stepped from
    d.PressOn(*edit, VK_UP);
    EXPECT_EQ(ud->Position(), 4);
    ud->SetPosition(50);
    EXPECT_EQ(ud->Position(), 10);
}

TEST(Controls, CheckRadioAndGroupFireOnClickOnEveryChange) {
    TForm form(nullptr);
    auto* check = new TCheckBox(&form);
    check->SetParent(&form);
    int check_clicks = 0;
    check->OnClick = [&](TObject*) { ++check_clicks; };
    check->SetChecked(true);
    check->SetChecked(true);
    EXPECT_EQ(check_clicks, 1);
    form.Show();
    TestDriver d;
    d.Click(*check);
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(check_clicks, 2);
    d.PressOn(*check, VK_SPACE);
    EXPECT_TRUE(check->Checked());

    auto* r1 = new TRadioButton(&form);
    r1->SetParent(&form);
    r1->SetBounds(0, 30, 100, 17);
    auto* r2 = new TRadioButton(&form);
    r2->SetParent(&form);
    r2->SetBounds(0, 50, 100, 17);
    r1->SetChecked(true);
    d.Click(*r2);
    EXPECT_TRUE(r2->Checked());
    EXPECT_FALSE(r1->Checked());

    auto* group = new TRadioGroup(&form);
    group->SetParent(&form);
    group->SetBounds(120, 0, 150, 100);
    for (const char* s : {"a", "b", "c"}) group->Items().Add(s);
    std::vector<int> seen;
    group->OnClick = [&](TObject*) { seen.push_back(group->ItemIndex()); };
    group->SetItemIndex(1);
    d.Click(*group->Buttons(2));
    d.Click(*group->Buttons(2));
    group->SetItemIndex(7);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, -1}));
    EXPECT_FALSE(group->Buttons(2)->Checked());
}

TEST(Controls, ComboBoxDropsDownAndTheUsersChoiceFiresEvents) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    auto* combo = new TComboBox(&form);
    combo->SetParent(&form);
    combo->SetBounds(10, 10, 150, 21);
    combo->SetStyle(csDropDownList);
    for (const char* s : {"Цемент", "Гель-цемент", "Газоцемент"}) combo->Items().Add(s);
    std::vector<std::string> events;
    combo->OnClick = [&](TObject*) { events.push_back("click " + combo->Text()); };
    combo->OnChange = [&](TObject*) { events.push_back("change " + combo->Text()); };
    combo->OnDropDown = [&](TObject*) { events.push_back("drop"); };
    combo->SetItemIndex(0);
    EXPECT_TRUE(events.empty());
    form.Show();
    TestDriver d;
    d.Click(*combo);
    EXPECT_TRUE(combo->DroppedDown());
    EXPECT_EQ(form.Popup(), combo);
    // Click the third item of the list below the box.
    const TRect pr = combo->PopupRect();
    d.ClickAt({form.Left() + pr.Left + 10, form.Top() + pr.Top + 1 + 2 * combo->ItemHeight() + 3});
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(events, (std::vector<std::string>{"drop", "click Газоцемент", "change Газоцемент"}));
    d.Press(VK_UP);
    EXPECT_EQ(combo->Text(), "Гель-цемент");
    // Escape closes an open list and does not reach a cancel button.
    auto* cancel = new TButton(&form);
    cancel->SetParent(&form);
    cancel->SetBounds(10, 200, 75, 25);
    cancel->SetCancel(true);
    int cancels = 0;
    cancel->OnClick = [&](TObject*) { ++cancels; };
    combo->SetDroppedDown(true);
    d.Press(VK_ESCAPE);
    EXPECT_FALSE(combo->DroppedDown());
    EXPECT_EQ(cancels, 0);
    d.Press(VK_ESCAPE);
    EXPECT_EQ(cancels, 1);
    // Text set by code selects its item; a list-only box refuses other text.
    combo->SetText("ЦЕМЕНТ");
    EXPECT_EQ(combo->ItemIndex(), 0);
    combo->SetText("нет такого");
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->Text(), "Цемент");
}

TEST(Controls, ProgressScrollAndTrackKeepTheirRange) {
    TForm form(nullptr);
    auto* p = new TProgressBar(&form);
    p->SetParent(&form);
    p->SetPosition(150);
    EXPECT_EQ(p->Position(), 100);
    p->SetPosition(-5);
    EXPECT_EQ(p->Position(), 0);
    p->SetMin(10);
    EXPECT_EQ(p->Position(), 10);
    p->SetPosition(95);
    p->SetMax(50);
    EXPECT_EQ(p->Position(), 50);

    auto* bar = new TScrollBar(&form);
    bar->SetParent(&form);
    bar->SetBounds(0, 40, 200, 16);
    bar->SetParams(0, 0, 99);
    bar->SetPageSize(10);
    bar->SetLargeChange(10);
    int changes = 0;
    bar->OnChange = [&](TObject*) { ++changes; };
    bar->SetPosition(500);
    EXPECT_EQ(bar->Position(), 90);
    form.Show();
    TestDriver d;
    d.Click(*bar, {5, 8});  // left arrow
    EXPECT_EQ(bar->Position(), 89);
    d.Click(*bar, {30, 8});  // the track left of the thumb
    EXPECT_EQ(bar->Position(), 79);
    EXPECT_EQ(changes, 3);

    auto* track = new TTrackBar(&form);
    track->SetParent(&form);
    track->SetBounds(0, 60, 150, 45);
    int track_changes = 0;
    track->OnChange = [&](TObject*) { ++track_changes; };
    track->SetPosition(20);
    EXPECT_EQ(track->Position(), 10);
    EXPECT_EQ(track_changes, 0);
    d.PressOn(*track, VK_LEFT);
    EXPECT_EQ(track->Position(), 9);
    EXPECT_EQ(track_changes, 1);
}

TEST(Forms, CloseMayBeRefusedAndClosingHides) {
    Dialog dlg;
    bool allow = false;
    int closes = 0;
    dlg.form->OnCloseQuery = [&](TObject*, bool& can) { can = allow; };
    dlg.form->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
    dlg.form->Show();
    dlg.form->Close();
    EXPECT_TRUE(dlg.form->Visible());
    allow = true;
    dlg.form->Close();
    EXPECT_FALSE(dlg.form->Visible());
    EXPECT_EQ(closes, 1);
    // Setting the modal result of a form that is not modal closes nothing.
    dlg.form->Show();
    TestDriver d;
    d.Click(*dlg.ok);
    EXPECT_TRUE(dlg.form->Visible());
    EXPECT_EQ(dlg.ok_clicks, 1);
}

TEST(Forms, ShowingPlacesActivatesAndDeactivates) {
    HeadlessDisplay* hd = headless_display();
    ASSERT_NE(hd, nullptr);
    TForm a(nullptr), b(nullptr);
    a.SetBounds(0, 0, 200, 100);
    b.SetBounds(0, 0, 300, 200);
    b.SetPosition(poScreenCenter);
    int deactivated = 0;
    a.OnDeactivate = [&](TObject*) { ++deactivated; };
    a.Show();
    EXPECT_TRUE(a.Active());
    b.Show();
    EXPECT_EQ(b.Left(), (Screen().Width() - 300) / 2);
    EXPECT_EQ(b.Top(), (Screen().Height() - 200) / 2);
    EXPECT_TRUE(b.Active());
    EXPECT_EQ(deactivated, 1);
    b.Hide();
    EXPECT_TRUE(a.Active());
    EXPECT_EQ(Screen().ActiveForm(), &a);
}

TEST(Forms, ScriptedModalDialogIsAnsweredByTheTest) {
    HeadlessDisplay* hd = headless_display();
    ASSERT_NE(hd, nullptr);
    Dialog dlg;
    // OnClick refusing the first OK keeps the dialog open.
    bool valid = false;
    dlg.ok->OnClick = [&](TObject*) {
        ++dlg.ok_clicks;
        if (!valid) dlg.form->SetModalResult(mrNone);
    };
    hd->ExpectModal([&](TCustomForm& f) {
        EXPECT_EQ(&f, dlg.form.get());
        EXPECT_TRUE(f.Visible());
        EXPECT_TRUE(f.Modal());
        TestDriver d;
        d.TypeOn(*dlg.edit, "12,5");
        d.Click(*dlg.ok);
        EXPECT_EQ(f.ModalResult(), mrNone);
        valid = true;
        d.Press(VK_RETURN);
    });
    EXPECT_EQ(dlg.form->ShowModal(), mrOk);
    EXPECT_FALSE(dlg.form->Visible());
    EXPECT_FALSE(dlg.form->Modal());
    EXPECT_EQ(dlg.edit->Text(), "12,5");
    EXPECT_EQ(dlg.ok_clicks, 2);
    EXPECT_EQ(hd->PendingScripts(), 0);

    // Without a script nobody answers: the dialog is cancelled, and the
    // display tells the test so.
    EXPECT_TRUE(hd->TakeUnanswered().empty());
    hd->SetIdleTimeoutMs(20);
    EXPECT_EQ(dlg.form->ShowModal(), mrCancel);
    hd->SetIdleTimeoutMs(1000);
    const auto unanswered = hd->TakeUnanswered();
    ASSERT_EQ(unanswered.size(), 1u);
    EXPECT_EQ(unanswered[0].caption, dlg.form->Caption());
    // A script that leaves its form waiting counts as unanswered too.
    hd->ExpectModal([](TCustomForm&) {});
    hd->SetIdleTimeoutMs(20);
    EXPECT_EQ(dlg.form->ShowModal(), mrCancel);
    hd->SetIdleTimeoutMs(1000);
    const auto waited = hd->TakeUnanswered();
    ASSERT_EQ(waited.size(), 1u);
    EXPECT_TRUE(waited[0].scripted);
    // Escape through the cancel button.
    hd->ExpectModal([](TCustomForm&) { TestDriver().Press(VK_ESCAPE); });
    EXPECT_EQ(dlg.form->ShowModal(), mrCancel);
    EXPECT_EQ(dlg.cancel_clicks, 1);
    // A visible form can't be shown modally.
    dlg.form->Show();
    EXPECT_THROW(dlg.form->ShowModal(), std::logic_error);
}

TEST(Forms, ModalFormTakesAllInput) {
    HeadlessDisplay* hd = headless_display();
    Dialog owner;
    owner.form->SetBounds(0, 0, 400, 300);
    owner.form->Show();
    Dialog modal;
    modal.form->SetBounds(500, 0, 300, 200);
    hd->ExpectModal([&](TCustomForm&) {
        TestDriver d;
        d.Click(*owner.ok);  // the other form is blocked
        EXPECT_EQ(owner.ok_clicks, 0);
        d.Click(*modal.ok);
    });
    EXPECT_EQ(modal.form->ShowModal(), mrOk);
    EXPECT_TRUE(owner.form->Active());
}

TEST(Services, MessageBoxesAndChoicesGoThroughReplaceableHandlers) {
    std::vector<MessageBoxRequest> asked;
    auto previous = set_message_box_handler([&](const MessageBoxRequest& r) {
        asked.push_back(r);
        return r.buttons.back();
    });
    EXPECT_EQ(MessageBox("Вы уверены?", "Рейс завершен", MB_YESNO | MB_ICONQUESTION), IDNO);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, "Рейс завершен");
    EXPECT_EQ(asked[0].icon, MessageIcon::Question);
    EXPECT_EQ(asked[0].buttons, (std::vector<int>{IDYES, IDNO}));
    set_message_box_handler(nullptr);
    // The default answers with the default button and never blocks.
    EXPECT_EQ(MessageBox("text", "caption", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);

    TOpenDialog open(nullptr);
    open.SetDefaultExt("clb");
    EXPECT_FALSE(open.Execute());
    set_file_dialog_handler([](FileDialogRequest& r) {
        r.file_name = r.initial_dir + "/calibr";
        return true;
    });
    open.SetInitialDir("/data");
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName(), "/data/calibr.clb");
    set_file_dialog_handler(nullptr);
    std::string folder = "/x";
    EXPECT_FALSE(SelectDirectory("Папка", "/", folder));
    EXPECT_EQ(folder, "/x");
    TColorDialog colour(nullptr);
    colour.SetColor(clRed);
    EXPECT_FALSE(colour.Execute());
    set_color_dialog_handler([](TColor& c) {
        c = clLime;
        return true;
    });
    EXPECT_TRUE(colour.Execute());
    EXPECT_EQ(colour.Color(), clLime);
    set_color_dialog_handler(nullptr);
    (void)previous;
}

TEST(Services, ClipboardHoldsTextInBothFormats) {
    TClipboard& c = Clipboard();
    c.SetAsUnicodeText(u"Промер 𝄞");
    EXPECT_EQ(c.AsText(), "Промер 𝄞");
    EXPECT_TRUE(c.HasFormat(CF_TEXT));
    c.SetAvailable(false);
    EXPECT_FALSE(c.Open());
    c.SetAsText("lost");
    EXPECT_EQ(c.AsText(), "");
    c.SetAvailable(true);
    EXPECT_EQ(c.AsText(), "Промер 𝄞");
    c.Clear();
    EXPECT_FALSE(c.HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(utf8_to_utf16("\xFF"
                            "a"),
              u"\uFFFDa");
}

TEST(Screen, SizeFontsAndMetrics) {
    EXPECT_EQ(Screen().Width(), 1280);
    EXPECT_EQ(Screen().PixelsPerInch(), 96);
    EXPECT_GE(Screen().Fonts().IndexOf("tahoma"), 0);
    EXPECT_GE(Screen().Fonts().IndexOf("LUCIDA CONSOLE"), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CYHSCROLL), 16);
    Screen().SetCursor(crHourGlass);
    EXPECT_EQ(screen_cursor(), crHourGlass);
    Screen().SetCursor(crDefault);
}

TEST(Forms, PictureShowsControlsAndRepaintsWhatChanged) {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 100, 100);
    form.SetColor(clWhite);
    auto* box = new TPaintBox(&form);
    box->SetParent(&form);
    box->SetBounds(10, 10, 20, 20);
    TColor fill = clRed;
    int paints = 0;
    box->OnPaint = [&](TObject*) {
        ++paints;
        box->Canvas().Brush().SetColor(fill);
        box->Canvas().FillRect(Rect(-50, -50, 100, 100));  // clipped to the box
    };
    form.Show();
    TBitmap& p = form.Picture();
    EXPECT_EQ(p.Pixel(15, 15), clRed);
    EXPECT_EQ(p.Pixel(30, 15), clWhite);
    EXPECT_EQ(p.Pixel(9, 9), clWhite);
    const int before = paints;
    form.Picture();
    EXPECT_EQ(paints, before);  // nothing changed, nothing painted
    fill = clBlue;
    box->Invalidate();
    EXPECT_EQ(form.Picture().Pixel(15, 15), clBlue);
    box->SetEnabled(false);  // a change of the enabled state repaints
    EXPECT_GT(form.PaintGeneration(), 0u);
    // Drawing outside a paint goes straight onto the picture.
    box->Canvas().Pixel(0, 0);
    box->Canvas().SetPixel(1, 1, clLime);
    EXPECT_EQ(form.Picture().Pixel(11, 11), clLime);
}

}  // namespace
}  // namespace ui

namespace {

// Counts the forms the display is asked to show as windows of their own.
class CountingDisplay : public ui::HeadlessDisplay {
public:
    void FormShown(ui::TCustomForm& form) override {
        ++shown;
        HeadlessDisplay::FormShown(form);
    }
    int shown = 0;
};

TEST(Forms, AFormInsideAnotherWindowIsOneOfItsControls) {
    auto owned = std::make_unique<CountingDisplay>();
    CountingDisplay* counting = owned.get();
    ui::set_display(std::move(owned));
    {
        ui::TForm host(nullptr);
        host.SetBounds(0, 0, 300, 200);
        host.Show();
        ASSERT_EQ(counting->shown, 1);
        ui::TForm page(nullptr);
        int shows = 0;
        page.OnShow = [&](ui::TObject*) { ++shows; };
        page.SetParent(&host);
        page.SetBorderStyle(ui::bsNone);
        page.SetAlign(ui::alClient);
        page.SetColor(ui::clRed);
        page.SetVisible(true);
        // No window of its own: its picture is in the host's.
        EXPECT_EQ(counting->shown, 1);
        EXPECT_EQ(shows, 1);
        EXPECT_TRUE(page.Visible());
        EXPECT_EQ(host.Picture().Canvas().Pixel(150, 100), ui::clRed);
        page.SetVisible(false);
        EXPECT_FALSE(page.Visible());
        EXPECT_NE(host.Picture().Canvas().Pixel(150, 100), ui::clRed);
        page.SetParent(nullptr);
    }
    ui::set_display(std::make_unique<ui::HeadlessDisplay>());
}

}  // namespace
