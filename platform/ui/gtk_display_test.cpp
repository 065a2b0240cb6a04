// The real screen's display under a virtual X server: a form shown through
// GTK, worked by xdotool as a user would (moves, clicks, a double click,
// the wheel, Latin and Cyrillic typing, the menu, a modal message box, a
// resize and the window taken away), with the controls' state and events
// checked, and grabs of the X screen compared with the pictures of the form,
// of a form over it and of a pop-up menu over it.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "platform/os/dynlib.h"
#include "platform/ui/application.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/grids.h"
#include "platform/ui/menus.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"
#include "platform/ui/testdata/screen_testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"

namespace ui {
namespace {

using testing::run_tool;

std::string output_path(const char* name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "screen";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

class ScreenDisplay : public testing::ScreenSuite {
protected:
    // Runs an X tool on a thread of its own while this (the main) thread goes
    // on with the window system's events: the tool's input needs them.
    static std::string act(std::vector<std::string> argv) {
        std::atomic<bool> done{false};
        std::string out;
        int rc = -1;
        std::thread t([&] {
            rc = run_tool(argv, &out);
            done = true;
        });
        main_queue().run_until([&] { return done.load(); }, 60000);
        t.join();
        Application().ProcessMessages();
        EXPECT_EQ(rc, 0) << argv[0] << " " << (argv.size() > 1 ? argv[1] : "") << ": " << out;
        return out;
    }
    static bool pump_until(const std::function<bool()>& done, int ms = 5000) {
        const bool ok = main_queue().run_until(done, ms);
        Application().ProcessMessages();
        return ok;
    }
    // Runs the X tool again, the window loop going on between the runs,
    // until its output satisfies `done`; false when it never does within
    // the bound (which only ends a hung test).
    static bool act_until(const std::vector<std::string>& argv, const std::function<bool(const std::string&)>& done,
                          int ms = 60000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (done(act(argv))) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            pump_until([] { return false; }, 20);
        }
    }
    // The id of the shown (viewable) window with the caption, the window
    // loop going on meanwhile; empty when none shows within the bound.
    static std::string shown_window(const std::string& caption) {
        std::string id;
        act_until({"xdotool", "search", "--onlyvisible", "--name", caption}, [&](const std::string& out) {
            id = out.substr(0, out.find('\n'));
            return !id.empty();
        });
        return id;
    }

    static void click(TControl& c, TPoint p, const char* button = "1") {
        const TPoint s = c.ClientToScreen(p);
        act({"xdotool", "mousemove", "--sync", std::to_string(s.x), std::to_string(s.y), "click", button});
    }
    static void click(TControl& c) { click(c, {c.ClientWidth() / 2, c.ClientHeight() / 2}); }
};

struct TestForm {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TMainMenu* menu = new TMainMenu(form.get());
    TMenuItem* file = new TMenuItem(form.get());
    TMenuItem* ask = new TMenuItem(form.get());
    TEdit* edit = new TEdit(form.get());
    TButton* button = new TButton(form.get());
    TCheckBox* check = new TCheckBox(form.get());
    TStringGrid* grid = new TStringGrid(form.get());
    TPanel* bottom = new TPanel(form.get());
    int clicks = 0, grid_dbl = 0, enters = 0, leaves = 0, close_queries = 0, closes = 0;
    TPoint dbl_cell{-1, -1};
    int answer = 0;

    TestForm() {
        form->SetCaption("Проверка экрана");
        form->SetBounds(100, 80, 500, 380);
        file->SetCaption("Файл");
        ask->SetCaption("Спросить");
        file->Add(ask);
        menu->Items()->Add(file);
        form->SetMenu(menu);
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 220, 24);
        button->SetParent(form.get());
        button->SetCaption("Нажать");
        button->SetBounds(240, 10, 90, 25);
        button->OnClick = [this](TObject*) { ++clicks; };
        button->OnMouseEnter = [this](TObject*) { ++enters; };
        button->OnMouseLeave = [this](TObject*) { ++leaves; };
        check->SetParent(form.get());
        check->SetCaption("Флажок");
        check->SetBounds(10, 44, 150, 20);
        grid->SetParent(form.get());
        grid->SetBounds(10, 72, 320, 150);
        grid->SetColCount(4);
        grid->SetRowCount(30);
        for (int r = 0; r < 30; ++r) grid->SetCells(0, r, std::to_string(r));
        grid->SetCells(1, 1, "ячейка");
        grid->OnDblClick = [this](TObject*) {
            ++grid_dbl;
            dbl_cell = {grid->Col(), grid->Row()};
        };
        bottom->SetParent(form.get());
        bottom->SetAlign(alBottom);
        bottom->SetHeight(30);
        bottom->SetCaption("Низ");
        ask->OnClick = [this](TObject*) {
            answer = MessageBox("Продолжить?", "Вопрос", MB_OKCANCEL | MB_ICONQUESTION);
        };
        form->OnCloseQuery = [this](TObject*, bool&) { ++close_queries; };
        form->OnClose = [this](TObject*, TCloseAction&) { ++closes; };
    }

    // The window's content (menu bar and client area) on the screen.
    TRect content() const {
        const TRect bar = form->MenuBarRect();
        const TPoint o = form->ClientOrigin();
        return Rect(o.x, form->Top() + bar.Top, o.x + form->ClientWidth(), o.y + form->ClientHeight());
    }
};

// Whether xdotool's geometry of a window puts it at the rectangle.
bool placed_at(const std::string& geometry, const TRect& r) {
    return geometry.find("Position: " + std::to_string(r.Left) + "," + std::to_string(r.Top)) != std::string::npos &&
           geometry.find("Geometry: " + std::to_string(r.Width()) + "x" + std::to_string(r.Height())) !=
               std::string::npos;
}

TEST_F(ScreenDisplay, FormOnTheScreenTakesTheUsersInput) {
    TestForm t;
    t.form->Show();
    const std::string id = shown_window("Проверка экрана");
    ASSERT_FALSE(id.empty()) << "the form's window never appeared";

    // The window stands where the form says its client area is.
    const TRect c = t.content();
    std::string geometry;
    EXPECT_TRUE(act_until({"xdotool", "getwindowgeometry", id}, [&](const std::string& g) {
        geometry = g;
        return placed_at(g, c);
    })) << geometry;

    // The grab of the screen is the form's own picture, pixel for pixel,
    // once the window is painted.
    act({"xdotool", "mousemove", "--sync", "1270", "1010"});
    const TBitmap& picture = t.form->Picture();
    t.form->SaveToPng(output_path("form_headless.png"));
    TBitmap shot(c.Width(), c.Height());
    int differ = -1;
    std::string why;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (differ != 0 && std::chrono::steady_clock::now() < end) {
        pump_until([] { return false; }, 20);
        testing::ScreenGrab grab;
        ASSERT_TRUE(testing::grab_screen(grab, &why)) << why;
        differ = 0;
        for (int y = 0; y < c.Height(); ++y)
            for (int x = 0; x < c.Width(); ++x) {
                const TColor g = static_cast<TColor>(grab.color_at(c.Left + x, c.Top + y));
                shot.Canvas().SetPixel(x, y, g);
                const TColor h = picture.Pixel(c.Left - t.form->Left() + x, c.Top - t.form->Top() + y);
                differ += g != h;
            }
    }
    shot.SaveToFile(output_path("form_grab.png"));
    EXPECT_EQ(differ, 0) << "pixels of the grab that differ from the form's picture";

    // Mouse: hover, click, check box.
    const TPoint b = t.button->ClientToScreen({10, 10});
    act({"xdotool", "mousemove", "--sync", std::to_string(b.x), std::to_string(b.y)});
    EXPECT_TRUE(pump_until([&] { return t.enters == 1; }));
    click(*t.button);
    EXPECT_TRUE(pump_until([&] { return t.clicks == 1; }));
    click(*t.check, {6, 10});
    EXPECT_TRUE(pump_until([&] { return t.check->Checked(); }));
    act({"xdotool", "mousemove", "--sync", "1270", "1010"});
    EXPECT_TRUE(pump_until([&] { return t.leaves >= 1; }));

    // A double click on a cell, the wheel over the grid.
    const TRect cell = t.grid->CellRect(1, 1);
    const TPoint cp = t.grid->ClientToScreen({(cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2});
    act({"xdotool", "mousemove", "--sync", std::to_string(cp.x), std::to_string(cp.y), "click", "--repeat", "2",
         "--delay", "60", "1"});
    EXPECT_TRUE(pump_until([&] { return t.grid_dbl == 1; }));
    EXPECT_EQ(t.dbl_cell, (TPoint{1, 1}));
    // The wheel moves the grid's current row, a notch a row.
    act({"xdotool", "click", "--repeat", "2", "--delay", "30", "5"});
    EXPECT_TRUE(pump_until([&] { return t.grid->Row() == 3; })) << "the wheel left the grid at row " << t.grid->Row();

    // Typing: Latin, then Cyrillic through the Russian layout.
    click(*t.edit);
    EXPECT_TRUE(pump_until([&] { return Screen().ActiveControl() == t.edit; }));
    act({"setxkbmap", "-layout", "us,ru"});
    act({"xdotool", "type", "--delay", "30", "Abc 12"});
    EXPECT_TRUE(pump_until([&] { return t.edit->Text() == "Abc 12"; })) << t.edit->Text();
    act({"xdotool", "type", "--delay", "30", "Привет"});
    EXPECT_TRUE(pump_until([&] { return t.edit->Text() == "Abc 12Привет"; })) << t.edit->Text();
    act({"xdotool", "key", "BackSpace"});
    EXPECT_TRUE(pump_until([&] { return t.edit->Text() == "Abc 12Приве"; })) << t.edit->Text();
    act({"setxkbmap", "-layout", "us"});

    // The menu, and a modal message box answered with its OK button.
    const TRect item = t.menu->BarItemRect(t.file);
    const TPoint ip{t.form->Left() + (item.Left + item.Right) / 2, t.form->Top() + (item.Top + item.Bottom) / 2};
    act({"xdotool", "mousemove", "--sync", std::to_string(ip.x), std::to_string(ip.y), "click", "1"});
    ASSERT_TRUE(pump_until([&] { return t.form->Popup() != nullptr; })) << "the menu did not open";
    const TRect pr = t.form->Popup()->PopupRect();
    const TPoint first{t.form->Left() + pr.Left + 20, t.form->Top() + pr.Top + 8};
    // The box's OK button, found by the main thread while the box is up.
    std::atomic<int> ok_x{-1}, ok_y{-1};
    const int watch = main_queue().set_timer(20, [&] {
        TCustomForm* f = Screen().ActiveForm();
        if (!f || !f->Modal() || f == t.form.get()) return;
        if (auto* ok = dynamic_cast<TControl*>(f->FindComponent("Button" + std::to_string(IDOK)))) {
            if (ok_x < 0) f->SaveToPng(output_path("message_box.png"));
            const TPoint p = ok->ClientToScreen({ok->ClientWidth() / 2, ok->ClientHeight() / 2});
            ok_x = p.x;
            ok_y = p.y;
        }
    });
    std::atomic<bool> done{false};
    std::thread user([&] {
        run_tool({"xdotool", "mousemove", "--sync", std::to_string(first.x), std::to_string(first.y), "click", "1"});
        for (int i = 0; i < 3000 && ok_x < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // The click goes once the box's window shows: before, the X server
        // would hand it to the window below.
        std::string shown;
        for (int i = 0; i < 3000 && ok_x >= 0 && shown.empty(); ++i) {
            run_tool({"xdotool", "search", "--onlyvisible", "--name", "Вопрос"}, &shown);
            if (shown.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!shown.empty())
            run_tool({"xdotool", "mousemove", "--sync", std::to_string(ok_x.load()), std::to_string(ok_y.load()),
                      "click", "1"});
        done = true;
    });
    pump_until([&] { return done && t.answer != 0; }, 20000);
    user.join();
    main_queue().kill_timer(watch);
    EXPECT_GE(ok_x.load(), 0) << "no modal message box came up";
    EXPECT_EQ(t.answer, IDOK);
    EXPECT_TRUE(Screen().ActiveForm() == t.form.get());

    // The form's bounds move the window; the user's resize reaches the form
    // and its alignment.
    t.form->SetBounds(160, 120, t.form->Width(), t.form->Height());
    EXPECT_TRUE(act_until({"xdotool", "getwindowgeometry", id}, [&](const std::string& g) {
        geometry = g;
        return placed_at(g, t.content());
    })) << geometry;
    const int bar = t.form->MenuBarRect().Height();
    act({"xdotool", "windowsize", "--sync", id, "640", "460"});
    EXPECT_TRUE(pump_until([&] { return t.form->ClientWidth() == 640 && t.form->ClientHeight() == 460 - bar; }))
        << t.form->ClientWidth() << "x" << t.form->ClientHeight();
    EXPECT_EQ(t.bottom->Top(), t.form->ClientHeight() - 30);
    EXPECT_EQ(t.bottom->Width(), 640);

    // The clipboard is the desktop's.
    Clipboard().SetAsText("Глубина 1234,5");
    EXPECT_EQ(Clipboard().AsText(), "Глубина 1234,5");

    // Closing the window asks the form, which hides.
    act({"xdotool", "windowclose", id});
    EXPECT_TRUE(pump_until([&] { return !t.form->Visible(); }));
    EXPECT_EQ(t.close_queries, 1);
    EXPECT_EQ(t.closes, 1);
}

// The pixels of the screen's part that differ from the picture (its
// top-left at `from`), the grab kept as test_output/screen/<name>; -1 when
// the screen cannot be grabbed.
int grab_differs(const TRect& part, const TBitmap& picture, TPoint from, const char* name) {
    testing::ScreenGrab grab;
    std::string why;
    if (!testing::grab_screen(grab, &why)) {
        ADD_FAILURE() << why;
        return -1;
    }
    TBitmap shot(part.Width(), part.Height());
    int differ = 0;
    for (int y = 0; y < part.Height(); ++y)
        for (int x = 0; x < part.Width(); ++x) {
            const TColor g = static_cast<TColor>(grab.color_at(part.Left + x, part.Top + y));
            shot.Canvas().SetPixel(x, y, g);
            differ += g != picture.Pixel(from.x + x, from.y + y);
        }
    shot.SaveToFile(output_path(name));
    return differ;
}

// A window over another (an owned form) and a pop-up over its form's window
// show on the screen as painted: a grab of the whole screen is their own
// pictures, pixel for pixel.
TEST_F(ScreenDisplay, WindowsOverOthersShowInAGrabOfTheScreen) {
    TestForm t;
    t.form->Show();
    ASSERT_FALSE(shown_window("Проверка экрана").empty()) << "the form's window never appeared";
    TForm owned(t.form.get());
    owned.SetCaption("Над формой");
    owned.SetBounds(360, 150, 200, 160);
    owned.SetColor(clYellow);
    auto* label = new TLabel(&owned);
    label->SetParent(&owned);
    label->SetCaption("Поверх");
    label->SetBounds(10, 10, 120, 20);
    owned.Show();
    ASSERT_FALSE(shown_window("Над формой").empty()) << "the owned form's window never appeared";
    auto* menu = new TPopupMenu(t.form.get());
    for (const char* caption : {"Первый", "Второй", "Третий"}) {
        auto* item = new TMenuItem(t.form.get());
        item->SetCaption(caption);
        menu->Items()->Add(item);
    }
    menu->SetPopupComponent(t.form.get());
    menu->Popup(180, 200);
    ASSERT_TRUE(pump_until([&] { return t.form->Popup() != nullptr; })) << "the menu did not open";
    act({"xdotool", "mousemove", "--sync", "1270", "1010"});

    const TPoint o = owned.ClientOrigin();
    const TRect owned_part = Rect(o.x, o.y, o.x + owned.ClientWidth(), o.y + owned.ClientHeight());
    ASSERT_TRUE(IntersectRect(owned_part, t.content()) == owned_part) << "the owned form must lie over the form";
    TControl* popup = t.form->Popup();
    const TRect pr = popup->PopupRect();
    const TRect popup_part = pr.Offset(t.form->Left(), t.form->Top());
    ASSERT_TRUE(IntersectRect(popup_part, t.content()) == popup_part) << "the menu must lie over the form";
    ASSERT_TRUE(IntersectRect(popup_part, owned_part).IsEmpty());
    TBitmap menu_picture(pr.Width(), pr.Height());
    menu_picture.Canvas().Font().Assign(popup->Font());
    popup->PaintPopup(menu_picture.Canvas());

    int owned_differ = -1, menu_differ = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((owned_differ != 0 || menu_differ != 0) && std::chrono::steady_clock::now() < end) {
        pump_until([] { return false; }, 20);
        owned_differ =
            grab_differs(owned_part, owned.Picture(), o - TPoint{owned.Left(), owned.Top()}, "owned_form_grab.png");
        menu_differ = grab_differs(popup_part, menu_picture, {0, 0}, "popup_menu_grab.png");
    }
    EXPECT_EQ(owned_differ, 0) << "pixels of the owned form's grab that differ from its picture";
    EXPECT_EQ(menu_differ, 0) << "pixels of the menu's grab that differ from its picture";
    if (TControl* p = t.form->Popup()) p->ClosePopup();
}

TEST_F(ScreenDisplay, TimersAndPostsFromOtherThreadsRunInTheWindowLoop) {
    int ticks = 0;
    const int timer = main_queue().set_timer(5, [&] { ++ticks; });
    std::atomic<bool> ran{false};
    std::thread poster([&] { main_queue().post([&] { ran = true; }); });
    poster.join();
    EXPECT_TRUE(pump_until([&] { return ran && ticks >= 3; }, 5000));
    main_queue().kill_timer(timer);
}

TEST_F(ScreenDisplay, ModalFormIsNeverCancelledForIdleness) {
    TForm box(nullptr);
    box.SetCaption("Ожидание");
    box.SetBounds(200, 200, 240, 120);
    // The headless display would cancel this form after a second of nothing;
    // on a real screen only the user (here: a timer at 1.5 s) answers.
    const auto started = std::chrono::steady_clock::now();
    const int timer = main_queue().set_timer(1500, [&] { box.SetModalResult(mrOk); });
    EXPECT_EQ(box.ShowModal(), mrOk);
    main_queue().kill_timer(timer);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1400));
}

TEST(ScreenStart, WithoutADesktopTheProgramIsTold) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    ::unsetenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const std::string saved_wl = wl ? wl : "";
    ::unsetenv("WAYLAND_DISPLAY");
    if (!screen_display_running()) {
        try {
            start_screen_display();
            ADD_FAILURE() << "started without a desktop";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("DISPLAY"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(headless_display() != nullptr);
    }
    if (!saved.empty()) ::setenv("DISPLAY", saved.c_str(), 1);
    if (!saved_wl.empty()) ::setenv("WAYLAND_DISPLAY", saved_wl.c_str(), 1);
}

// Only the display module brings GTK in: a program that shows no window
// neither loads nor starts it.
TEST(ScreenStart, OnlyTheDisplayModuleLinksGtk) {
    const std::string platform = os::library_path_of(reinterpret_cast<const void*>(&desktop_reachable));
    ASSERT_NE(platform.find("libplatform"), std::string::npos) << platform;
    const std::string module = (std::filesystem::path(platform).parent_path() / "platform_gtk.so").string();
    ASSERT_TRUE(std::filesystem::exists(module)) << module;
    std::string platform_needs, module_needs;
    ASSERT_EQ(testing::run_tool({"ldd", platform}, &platform_needs), 0);
    ASSERT_EQ(testing::run_tool({"ldd", module}, &module_needs), 0);
    EXPECT_EQ(platform_needs.find("libgtk-3"), std::string::npos) << platform_needs;
    EXPECT_NE(module_needs.find("libgtk-3"), std::string::npos) << module_needs;
    EXPECT_EQ(os::library_path_of(nullptr), "");
}

// An X error about a window that is no more (here a pixmap asked of a
// window id nobody has) comes back after the request: it is passed over,
// never the end of the program and of what the program records.
TEST_F(ScreenDisplay, AnXErrorAboutAWindowGoneDoesNotEndTheProgram) {
    using GetDisplay = void* (*)();
    using CreatePixmap = unsigned long (*)(void*, unsigned long, unsigned, unsigned, unsigned);
    using Sync = int (*)(void*, int);
    // The libraries the display module brought in (it keeps them local).
    void* gdk = ::dlopen("libgdk-3.so.0", RTLD_NOW | RTLD_NOLOAD);
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_TRUE(gdk && x11) << "the screen's display module has no X11 in this process";
    auto get_display = reinterpret_cast<GetDisplay>(::dlsym(gdk, "gdk_x11_get_default_xdisplay"));
    auto create_pixmap = reinterpret_cast<CreatePixmap>(::dlsym(x11, "XCreatePixmap"));
    auto sync = reinterpret_cast<Sync>(::dlsym(x11, "XSync"));
    ASSERT_TRUE(get_display && create_pixmap && sync);
    void* x = get_display();
    ASSERT_NE(x, nullptr);
    create_pixmap(x, 0x7ffffff, 4, 4, 24);
    // The error comes back within the sync, and its handler runs there.
    sync(x, 0);
    Application().ProcessMessages();
    // Still here, and the display still shows a window.
    TestForm f;
    f.form->Show();
    EXPECT_TRUE(f.form->Visible());
    EXPECT_FALSE(shown_window("Проверка экрана").empty()) << "no window shows after the error";
}

}  // namespace
}  // namespace ui
