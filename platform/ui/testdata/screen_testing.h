#pragma once
// For the tests that work the windows of this process on a virtual X server
// as an operator would: the real screen's display started once per suite,
// an operator on a thread of its own who moves the pointer and presses keys
// through xdotool while the main thread runs the windows (a modal dialog's
// own loop as well), and a light window manager started on demand, so a
// test can be run with and without one.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/canvas.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/testdata/virtual_screen_testing.h"

namespace ui::testing {

// A window manager (openbox) on the virtual screen, for as long as it lives.
class WindowManager {
public:
    WindowManager() = default;
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    ~WindowManager() { stop(); }

    // Starts it and waits until it manages the screen; false with error().
    bool start() {
        pid_ = ::fork();
        if (pid_ < 0) return fail("cannot fork");
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // A manager that runs names itself on the root window.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return fail(WIFEXITED(status) && WEXITSTATUS(status) == 127
                                ? "openbox is not installed (scripts/setup.sh installs it)"
                                : "openbox ended at its start");
            }
            std::string out;
            if (run_tool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, &out) == 0 &&
                out.find("window id") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        stop();
        return fail("openbox did not take the screen within 60 s");
    }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 300; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            ::usleep(10000);
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        // The root window loses the manager's name once it is gone.
        for (int i = 0; i < 300; ++i) {
            std::string out;
            if (run_tool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, &out) != 0 ||
                out.find("window id") == std::string::npos)
                return;
            ::usleep(10000);
        }
    }

    const std::string& error() const { return error_; }

private:
    bool fail(std::string why) {
        error_ = std::move(why);
        return false;
    }
    pid_t pid_ = -1;
    std::string error_;
};

// Where a screen test keeps its grabs: test_output/screen/<name>.
inline std::string screen_output(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "screen";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// Keeps the part of the screen (screen coordinates) as
// test_output/screen/<name> for review; false with the cause in *why.
inline bool save_screen_part(const TRect& part, const std::string& name, std::string* why = nullptr) {
    ScreenGrab grab;
    if (!grab_screen(grab, why)) return false;
    const TRect r = IntersectRect(part, Rect(0, 0, grab.width, grab.height));
    if (r.IsEmpty()) {
        if (why) *why = "the part lies off the screen";
        return false;
    }
    TBitmap shot(r.Width(), r.Height());
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x)
            shot.Canvas().SetPixel(x, y, static_cast<TColor>(grab.color_at(r.Left + x, r.Top + y)));
    shot.SaveToFile(screen_output(name));
    return true;
}

// The operator: runs on a thread of its own and reaches the windows only
// through the X server (xdotool), asking the main thread where things are.
class Operator {
public:
    // What `f` gives, computed on the main thread (within 60 s; a default
    // value and a test failure when the windows never answer).
    template <typename T>
    T ask(std::function<T()> f) {
        auto done = std::make_shared<std::promise<T>>();
        auto result = done->get_future();
        main_queue().post([done, f] {
            try {
                done->set_value(f());
            } catch (...) {
                done->set_exception(std::current_exception());
            }
        });
        if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ADD_FAILURE() << "the windows did not answer the operator within 60 s";
            return T{};
        }
        return result.get();
    }

    // Waits until the condition (checked on the main thread) holds; false
    // after `ms`. The default only ends a hung test: a loaded machine may
    // take seconds to deliver a key or a click.
    bool wait_for(std::function<bool()> condition, int ms = 60000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            if (ask<bool>(condition)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // xdotool with the arguments; true on success.
    bool xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        std::string out;
        const int rc = run_tool(args, &out);
        if (rc != 0) ADD_FAILURE() << "xdotool " << (args.size() > 1 ? args[1] : "") << ": " << out;
        return rc == 0;
    }
    // (Without --sync: xdotool would wait forever for a pointer already
    // there to move.)
    void move_to(TPoint p) { xdotool({"mousemove", std::to_string(p.x), std::to_string(p.y)}); }
    void click_at(TPoint p, int button = 1) {
        move_to(p);
        // The window sees the pointer arrive before the press.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        xdotool({"click", std::to_string(button)});
    }
    void wheel_at(TPoint p, bool down, int notches = 1) {
        move_to(p);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        xdotool({"click", "--repeat", std::to_string(notches), "--delay", "40", down ? "5" : "4"});
    }
    void key(const std::string& name) { xdotool({"key", "--delay", "40", name}); }
    // Text outside the keyboard's map (Cyrillic) is typed by xdotool
    // through a keycode it remaps for the moment, and under load a letter
    // can arrive after the map is back: type such text only where a lost
    // letter does not matter.
    void type(const std::string& text) { xdotool({"type", "--delay", "40", text}); }
    // A control's point (client coordinates) on the screen.
    TPoint screen_point(TControl& c, TPoint client) {
        return ask<TPoint>([&c, client] { return c.ClientToScreen(client); });
    }
    TPoint centre_of(TControl& c) {
        return ask<TPoint>([&c] { return c.ClientToScreen({c.ClientWidth() / 2, c.ClientHeight() / 2}); });
    }
};

// Whether the screen shows the form's open pop-up (a menu or a list) as the
// pop-up paints itself, waited for up to `ms`: its window is drawn a moment
// after it opens, and a grab taken before shows what lay under it.
inline bool popup_shown(Operator& op, TForm& form, int ms = 20000) {
    struct Picture {
        TRect part;
        std::vector<TColor> pixels;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        const Picture p = op.ask<Picture>([&] {
            Picture p;
            TControl* popup = form.Popup();
            if (!popup) return p;
            const TRect pr = popup->PopupRect();
            p.part = pr.Offset(form.Left(), form.Top());
            TBitmap b(pr.Width(), pr.Height());
            b.Canvas().Font().Assign(popup->Font());
            popup->PaintPopup(b.Canvas());
            for (int y = 0; y < pr.Height(); ++y)
                for (int x = 0; x < pr.Width(); ++x) p.pixels.push_back(b.Pixel(x, y));
            return p;
        });
        ScreenGrab g;
        if (!p.pixels.empty() && grab_screen(g) && p.part.Left >= 0 && p.part.Top >= 0 &&
            p.part.Right <= g.width && p.part.Bottom <= g.height) {
            bool same = true;
            for (int y = 0; y < p.part.Height() && same; ++y)
                for (int x = 0; x < p.part.Width() && same; ++x)
                    same = static_cast<TColor>(g.color_at(p.part.Left + x, p.part.Top + y)) ==
                           p.pixels[static_cast<std::size_t>(y) * p.part.Width() + x];
            if (same) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Runs `work` on the main thread (it shows a modal dialog and returns when
// the dialog is done) while `script` plays the operator. A script that
// leaves a modal dialog open is followed by a cancel of every one still
// open, so a failing test never hangs.
// With `dialog` false the operator starts at once (the work shows no dialog).
inline void run_with_operator(const std::function<void()>& work, const std::function<void(Operator&)>& script,
                              bool dialog = true) {
    std::atomic<bool> finished{false};
    Operator op;
    std::thread user([&] {
        // A dialog is up before the operator starts.
        if (dialog) {
            op.wait_for([] {
                for (int i = 0; i < Screen().FormCount(); ++i)
                    if (Screen().Forms(i)->Visible() && Screen().Forms(i)->Modal()) return true;
                return false;
            });
            // Under a window manager the dialog takes the keyboard focus a
            // moment after it shows: keys (and the first click's focus)
            // sent before then go to the window behind it.
            std::string managed;
            if (run_tool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, &managed) == 0 &&
                managed.find("window id") != std::string::npos) {
                const std::string caption = op.ask<std::string>([] {
                    for (int i = 0; i < Screen().FormCount(); ++i)
                        if (Screen().Forms(i)->Visible() && Screen().Forms(i)->Modal())
                            return Screen().Forms(i)->Caption();
                    return std::string();
                });
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
                while (std::chrono::steady_clock::now() < deadline) {
                    std::string focused;
                    run_tool({"xdotool", "getwindowfocus", "getwindowname"}, &focused);
                    while (!focused.empty() && (focused.back() == '\n' || focused.back() == '\r')) focused.pop_back();
                    if (focused == caption) break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        script(op);
        finished = true;
        main_queue().post([] {
            for (int i = 0; i < Screen().FormCount(); ++i) {
                TCustomForm* f = Screen().Forms(i);
                if (f->Visible() && f->Modal() && f->ModalResult() == mrNone) f->SetModalResult(mrCancel);
            }
        });
    });
    work();
    // The operator may still be at work when the dialog closed by itself.
    main_queue().run_until([&] { return finished.load(); }, 120000);
    user.join();
    Application().ProcessMessages();
}

// Shows the form modally while `script` plays the operator; its modal
// result.
inline TModalResult run_modal_with_operator(TCustomForm& form, const std::function<void(Operator&)>& script) {
    TModalResult result = mrNone;
    run_with_operator([&] { result = form.ShowModal(); }, script);
    return result;
}

// One virtual X server for the whole test process: GTK stays connected to
// the first display it opened, so every suite of the process shares it. It
// goes with the process.
inline VirtualScreen* shared_screen(std::string& why) {
    static VirtualScreen* screen = nullptr;
    static std::string error;
    static bool tried = false;
    if (!tried) {
        tried = true;
        auto* s = new VirtualScreen;
        if (s->start())
            screen = s;
        else
            error = s->error();
    }
    why = error;
    return screen;
}

// The real screen's display under the virtual X server for a whole suite;
// the headless display comes back after it.
class ScreenSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ok_ = shared_screen(why_) != nullptr;
        if (!ok_) return;
        try {
            start_screen_display();
        } catch (const std::exception& e) {
            ok_ = false;
            why_ = e.what();
        }
    }
    static void TearDownTestSuite() { stop_screen_display(); }
    void SetUp() override { VIRTUAL_SCREEN_OR_SKIP(ok_, why_); }

    // Starts a window manager for the rest of the test (the fixture stops
    // it); fails the test when it cannot be started.
    bool with_window_manager() {
        wm_ = std::make_unique<WindowManager>();
        if (wm_->start()) return true;
        ADD_FAILURE() << "no window manager: " << wm_->error();
        return false;
    }
    void TearDown() override { wm_.reset(); }

    std::unique_ptr<WindowManager> wm_;
    static inline bool ok_ = false;
    static inline std::string why_;
};

}  // namespace ui::testing
