#pragma once
// Where forms appear. The window layer talks to one display: the headless
// display (the default) keeps every form's picture in the form's own bitmap
// and has no user, so a modal form is answered by a script a test queued or
// cancelled once nothing happens on it. A display for a real screen can be
// set instead without touching the controls: it shows the forms' pictures
// and feeds mouse and keys to the functions of input.h (modules/
// gtk_display.cpp, a module that start_screen_display loads).

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/types.h"

namespace ui {

class TCustomForm;

class Display {
public:
    virtual ~Display() = default;
    virtual TRect ScreenRect() const = 0;
    virtual int PixelsPerInch() const;
    virtual void FormShown(TCustomForm& form) { (void)form; }
    virtual void FormHidden(TCustomForm& form) { (void)form; }
    // Part of the form's picture (window coordinates) needs repainting.
    virtual void FormInvalidated(TCustomForm& form, const TRect& area) {
        (void)form;
        (void)area;
    }
    // The form became the active one (the code's choice, or the user's).
    virtual void FormActivated(TCustomForm& form) { (void)form; }
    // The shown form's caption, bounds or window state changed.
    virtual void FormChanged(TCustomForm& form) { (void)form; }
    virtual void CursorChanged(TCursor cursor) { (void)cursor; }
    // Handles the window system's events that are waiting, without waiting
    // for more (TApplication::ProcessMessages).
    virtual void ProcessEvents() {}
    // Repaints what is out of date of the form at once and returns when the
    // screen shows it (benchmarks, screen grabs).
    virtual void PaintNow(TCustomForm& form);
    // Runs the modal form until it has a modal result or is hidden; the form
    // is shown and modal when this is called.
    virtual void RunModal(TCustomForm& form) = 0;
};

class HeadlessDisplay : public Display {
public:
    explicit HeadlessDisplay(int width = 1280, int height = 1024);
    TRect ScreenRect() const override { return {0, 0, width_, height_}; }

    // A script answers the next modal form that is shown: it runs with the
    // form shown and may click its buttons through the test driver or set the
    // modal result itself. Scripts are used in the order they were queued.
    using ModalScript = std::function<void(TCustomForm& form)>;
    void ExpectModal(ModalScript script);
    int PendingScripts() const { return static_cast<int>(scripts_.size()); }
    void ClearScripts() { scripts_.clear(); }

    // A modal form that ended because nobody answered it: the idle time ran
    // out, whether a script ran on it first or none was queued. A test can
    // pass that way without what its script meant to do, so the tests'
    // support fails a test that leaves any behind; a test that means a form
    // to go unanswered takes them itself.
    struct Unanswered {
        std::string caption;
        bool scripted = false;
    };
    std::vector<Unanswered> TakeUnanswered();

    // After its script (if any), a modal form runs the main queue until it
    // gets a result; when its picture has not changed for this long (a form
    // that nobody answers), it is cancelled with mrCancel, once its loop has
    // also had a few turns; a form whose script ran waits thirty times as
    // long.
    int IdleTimeoutMs() const { return idle_timeout_ms_; }
    void SetIdleTimeoutMs(int ms) { idle_timeout_ms_ = ms; }

    void RunModal(TCustomForm& form) override;

private:
    int width_;
    int height_;
    std::deque<ModalScript> scripts_;
    std::vector<Unanswered> unanswered_;
    int idle_timeout_ms_ = 1000;
};

// The display in use (a HeadlessDisplay until another is set).
Display& display();
// The headless display in use, or null when another display is set.
HeadlessDisplay* headless_display();
void set_display(std::unique_ptr<Display> display);

// True when a desktop can be reached: DISPLAY or WAYLAND_DISPLAY is set.
bool desktop_reachable();
// For a program that asks for windows: sets the display of the real screen
// (GTK 3 on X11 or Wayland). Throws std::runtime_error naming the cause when
// no desktop is reachable or its display cannot be opened; the headless
// display then stays. Main thread, before the first form is shown.
void start_screen_display();
// Puts the headless display back (a test's end, a program's); the
// connection to the desktop stays open until the process ends.
void stop_screen_display();
// Whether the display in use shows real windows.
bool screen_display_running();

}  // namespace ui
