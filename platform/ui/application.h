#pragma once
// The process-wide objects of the window layer: the application (main form,
// the run until it closes, ProcessMessages, errors shown to the user), the
// screen (size, resolution, fonts, forms, cursor), the mouse position, the
// system metrics, and the router that takes mouse and key input from a
// display or the test driver to the control it is meant for.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/strings.h"

namespace ui {

class TCustomForm;

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    // The main form: the first form created with CreateForm, unless set.
    TCustomForm* MainForm() const { return main_form_; }
    void SetMainForm(TCustomForm* form) { main_form_ = form; }
    // Creates a form owned by the application; the first becomes the main form.
    template <typename F, typename... Args>
    F* CreateForm(Args&&... args) {
        F* f = new F(this, std::forward<Args>(args)...);
        if (!main_form_) main_form_ = f;
        return f;
    }

    // Shows the main form and runs the main queue until the application is
    // terminated (closing the main form terminates it).
    void Run();
    // Runs what is waiting on the main queue, repaints the forms and frees
    // the forms that were released.
    void ProcessMessages();
    // Calls OnIdle, when one is set (the loops do).
    void Idle();
    // Called by the application's loop and by every modal form's loop each
    // time they have run what was waiting. Work that must go on whichever
    // window is in front runs here: a recording keeps reading its line while
    // the operator edits in a dialog.
    std::function<void()> OnIdle;
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Starts anew (tests run several applications in one process).
    void ResetTerminated() { terminated_ = false; }

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    // The host's application window handle, which the libraries are given at
    // start-up so that their forms belong to the host's main window.
    std::intptr_t Handle() const { return handle_; }
    void SetHandle(std::intptr_t handle) { handle_ = handle; }

    // Shows an error to the user (a message box with the error icon) unless
    // OnException takes it.
    void HandleException(const std::exception& e);
    std::function<void(TObject* Sender, const std::exception& e)> OnException;

    // Forms released with TCustomForm::Release are freed here.
    void ReleaseForm(TCustomForm* form);
    void FreeReleasedForms();

private:
    TCustomForm* main_form_ = nullptr;
    bool terminated_ = false;
    std::string title_;
    std::intptr_t handle_ = 0;
    std::vector<TCustomForm*> released_;
    friend class TCustomForm;
    void form_destroyed(TCustomForm* form);
};

TApplication& Application();

class TScreen {
public:
    int Width() const;
    int Height() const;
    int PixelsPerInch() const;
    // The area a maximised form takes (the whole screen on the headless one).
    TRect WorkAreaRect() const;
    int WorkAreaWidth() const { return WorkAreaRect().Width(); }
    int WorkAreaHeight() const { return WorkAreaRect().Height(); }
    // The names of the fonts the screen offers (see graphics.h).
    const TStrings& Fonts();

    // The cursor shown over every window while it is not crDefault (the
    // process-wide pointer shape of screen_cursor.h).
    TCursor Cursor() const { return screen_cursor(); }
    void SetCursor(TCursor cursor);

    int FormCount() const { return static_cast<int>(forms_.size()); }
    TCustomForm* Forms(int index) const;  // front to back
    TCustomForm* ActiveForm() const { return active_form_; }
    TWinControl* ActiveControl() const;

    // Bookkeeping of the forms; not for components.
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    void BringFormToFront(TCustomForm* form);
    void SetActiveForm(TCustomForm* form);

private:
    std::vector<TCustomForm*> forms_;  // front first
    TCustomForm* active_form_ = nullptr;
    TStrings fonts_;
    bool fonts_loaded_ = false;
};

TScreen& Screen();

class TMouse {
public:
    TPoint CursorPos() const { return pos_; }
    void SetCursorPos(TPoint p) { pos_ = p; }

private:
    TPoint pos_;
};

TMouse& Mouse();

// System metrics the windows size themselves by.
constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CXBORDER = 5,
              SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10,
              SM_CXHSCROLL = 21, SM_CYVSCROLL = 20, SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXMAXIMIZED = 61,
              SM_CYMAXIMIZED = 62;
// 0 for an index the layer does not know.
int GetSystemMetrics(int index);

// Takes input to the control it is meant for: the form under the point
// (only the modal form while one runs), the control under the point inside
// it, the control that captured the mouse, the focused control for keys.
// Displays and the test driver call the functions of input.h, which use it.
class Router {
public:
    static Router& instance();
    void mouse_down(TPoint screen, TMouseButton button, TShiftState shift, bool double_click);
    void mouse_up(TPoint screen, TMouseButton button, TShiftState shift);
    void mouse_move(TPoint screen, TShiftState shift);
    // The control under the point, then its parents, until one takes it.
    void mouse_wheel(TPoint screen, int delta, TShiftState shift);
    // Returns true when the key was taken before it could become a character
    // (a dialog key, or an event that cleared it).
    bool key_down(TKey key, TShiftState shift);
    void key_up(TKey key, TShiftState shift);
    void key_press(char32_t ch);
    // The control that would get a mouse event at the screen point.
    TControl* control_at(TPoint screen, bool allow_disabled = false) const;
    // A control that goes away is forgotten (capture, hover).
    void forget(TControl* control);
    TControl* Capture() const { return capture_; }
    // See input.h.
    void mouse_leave();
    void set_pointer_form(TCustomForm* form) { pointer_form_ = form; }

private:
    TCustomForm* form_at(TPoint screen) const;
    TControl* capture_ = nullptr;
    TControl* hover_ = nullptr;
    TControl* pressed_ = nullptr;  // the control a left click started on
    bool pressed_double_ = false;
    TCustomForm* pointer_form_ = nullptr;
};

}  // namespace ui
