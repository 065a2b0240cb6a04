// The display of a real screen, through GTK 3 (X11 or Wayland).
//
// GTK only hosts pictures: each shown top-level form gets a window holding
// one drawing area, and the area shows the form's own picture from its menu
// bar (or client area) down, since the desktop's window manager draws the
// caption and the frame. Mouse, keys and input-method text go into input.h,
// the path the test driver takes, so the controls never know which display
// runs. The user's moves and resizes reach the form's bounds (and with them
// its alignment); the form's SetBounds moves the window.
//
// The main queue waits in GLib's main context (MessageQueue::EventLoop), and
// a source of the context runs the queue whenever work waits or a timer is
// due, so the queue also runs inside GTK's own nested loops (a clipboard
// request, a window move).
//
// Built as a module of its own, "platform_gtk.so" beside the platform
// library, loaded by start_screen_display (screen_display.cpp): the programs
// and tools that never show a window neither load GTK nor pay for its start.
//
// Main thread only, as every window.

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/os/error_log.h"
#include "platform/os/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"

// Last: X11's macros must not meet the window layer's names.
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace ui {
namespace {

using Clock = MessageQueue::Clock;

// The part of the form's picture the window shows (window coordinates of
// the form): the menu bar and the client area.
TRect content_rect(const TCustomForm& form) {
    const TPoint origin = form.ClientOrigin() - TPoint{form.Left(), form.Top()};
    const TRect bar = form.MenuBarRect();
    const int top = bar.IsEmpty() ? origin.y : std::min(bar.Top, origin.y);
    return Rect(origin.x, top, origin.x + form.ClientWidth(), origin.y + form.ClientHeight());
}

TShiftState shift_of(guint state) {
    TShiftState s;
    if (state & GDK_SHIFT_MASK) s <<= ssShift;
    if (state & GDK_CONTROL_MASK) s <<= ssCtrl;
    if (state & GDK_MOD1_MASK) s <<= ssAlt;
    if (state & GDK_BUTTON1_MASK) s <<= ssLeft;
    if (state & GDK_BUTTON2_MASK) s <<= ssMiddle;
    if (state & GDK_BUTTON3_MASK) s <<= ssRight;
    return s;
}

// The key's code as the stations number keys: by the key's place on the
// keyboard, so that Ctrl+C is Ctrl+C in the Russian layout too.
TKey key_of(const GdkEventKey* e) {
    guint kv = e->keyval;
    GdkKeymap* map = gdk_keymap_get_for_display(gdk_display_get_default());
    guint latin = 0;
    if (gdk_keymap_translate_keyboard_state(map, e->hardware_keycode, GdkModifierType(0), 0, &latin, nullptr, nullptr,
                                            nullptr))
        if ((latin >= GDK_KEY_a && latin <= GDK_KEY_z) || (latin >= GDK_KEY_0 && latin <= GDK_KEY_9)) kv = latin;
    if (kv >= GDK_KEY_a && kv <= GDK_KEY_z) return static_cast<TKey>('A' + (kv - GDK_KEY_a));
    if (kv >= GDK_KEY_A && kv <= GDK_KEY_Z) return static_cast<TKey>(kv);
    if (kv >= GDK_KEY_0 && kv <= GDK_KEY_9) return static_cast<TKey>(kv);
    if (kv >= GDK_KEY_F1 && kv <= GDK_KEY_F12) return static_cast<TKey>(VK_F1 + (kv - GDK_KEY_F1));
    if (kv >= GDK_KEY_KP_0 && kv <= GDK_KEY_KP_9) return static_cast<TKey>(0x60 + (kv - GDK_KEY_KP_0));
    switch (kv) {
        case GDK_KEY_BackSpace: return VK_BACK;
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab: return VK_TAB;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter: return VK_RETURN;
        case GDK_KEY_Escape: return VK_ESCAPE;
        case GDK_KEY_space: return VK_SPACE;
        case GDK_KEY_Page_Up:
        case GDK_KEY_KP_Page_Up: return VK_PRIOR;
        case GDK_KEY_Page_Down:
        case GDK_KEY_KP_Page_Down: return VK_NEXT;
        case GDK_KEY_End:
        case GDK_KEY_KP_End: return VK_END;
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home: return VK_HOME;
        case GDK_KEY_Left:
        case GDK_KEY_KP_Left: return VK_LEFT;
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up: return VK_UP;
        case GDK_KEY_Right:
        case GDK_KEY_KP_Right: return VK_RIGHT;
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down: return VK_DOWN;
        case GDK_KEY_Insert:
        case GDK_KEY_KP_Insert: return VK_INSERT;
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete: return VK_DELETE;
        case GDK_KEY_Shift_L:
        case GDK_KEY_Shift_R: return VK_SHIFT;
        case GDK_KEY_Control_L:
        case GDK_KEY_Control_R: return VK_CONTROL;
        case GDK_KEY_Alt_L:
        case GDK_KEY_Alt_R: return VK_MENU;
        default: return 0;
    }
}

// The characters of keys that an input method leaves alone.
char32_t control_char(TKey key) {
    switch (key) {
        case VK_RETURN: return U'\r';
        case VK_ESCAPE: return 27;
        case VK_BACK: return 8;
        case VK_TAB: return U'\t';
        default: return 0;
    }
}

const char* cursor_name(TCursor c) {
    switch (c) {
        case crNone: return "none";
        case crCross: return "crosshair";
        case crIBeam: return "text";
        case crSizeNESW: return "nesw-resize";
        case crSizeNS: return "ns-resize";
        case crSizeNWSE: return "nwse-resize";
        case crSizeWE: return "ew-resize";
        case crUpArrow: return "n-resize";
        case crHourGlass: return "wait";
        case crDrag: return "grabbing";
        case crNoDrop: return "no-drop";
        case crHSplit: return "col-resize";
        case crVSplit: return "row-resize";
        case crHandPoint: return "pointer";
        default: return "default";
    }
}

// A failure inside a window-system callback must not cross GTK's C frames.
template <typename F>
void guarded(const char* what, F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        try {
            Application().HandleException(e);
        } catch (...) {
            os::log_error(std::string("GtkDisplay: ") + what + ": " + e.what());
        }
    } catch (...) {
        os::log_error(std::string("GtkDisplay: ") + what + " failed with an unknown exception");
    }
}

// The X screen's own visual for a window. On a screen with GL, GDK picks
// another visual of the same depth (with a colormap of its own) for its
// windows; ours only show cairo pictures and need no GL. On the root's
// visual and installed colormap, what reads the screen back window by
// window, through each one's visual (xwd and the like), gets a window or
// pop-up over another as painted, not black. Null where the display is
// not X11.
GdkVisual* screen_visual(GtkWidget* window) {
#ifdef GDK_WINDOWING_X11
    GdkScreen* screen = gtk_widget_get_screen(window);
    if (GDK_IS_X11_SCREEN(screen)) {
        const Visual* own = DefaultVisual(GDK_SCREEN_XDISPLAY(screen), gdk_x11_screen_get_screen_number(screen));
        if (own) return gdk_x11_screen_lookup_visual(screen, own->visualid);
    }
#endif
    (void)window;
    return nullptr;
}

void use_screen_visual(GtkWidget* window) {
    if (GdkVisual* v = screen_visual(window)) gtk_widget_set_visual(window, v);
}

class GtkDisplay;

struct FormWindow {
    GtkDisplay* display = nullptr;
    TCustomForm* form = nullptr;  // null once the form is hidden
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    GtkIMContext* im = nullptr;
    // The form's open pop-up (a menu, a drop-down list) in a pop-up window
    // of its own, so that it may reach beyond the form's window.
    GtkWidget* popup = nullptr;
    GtkWidget* popup_area = nullptr;
    TRect popup_rect;  // form window coordinates
    // What the window was last told or last reported, so that a change is
    // passed on once and never echoed back.
    TRect shown;  // content rectangle, screen coordinates
    TWindowState state = wsNormal;
    std::string title;
    TCursor cursor = crDefault;
    // Double clicks are told by the press times: the second press of a pair
    // becomes the double press, as the test driver sends it.
    guint32 last_press = 0;
    guint last_button = 0;
    double last_x = 0, last_y = 0;
    bool last_was_double = false;
};

// The main queue's wait in GLib's main context.
class GlibLoop : public MessageQueue::EventLoop {
public:
    void wake() override { g_main_context_wakeup(nullptr); }
    void wait(Clock::time_point until) override {
        const auto now = Clock::now();
        if (until <= now) {
            g_main_context_iteration(nullptr, FALSE);
            return;
        }
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        bool fired = false;
        const guint id = g_timeout_add(static_cast<guint>(std::min<long long>(ms, INT_MAX)), on_timeout, &fired);
        g_main_context_iteration(nullptr, TRUE);
        if (!fired) g_source_remove(id);
    }

private:
    static gboolean on_timeout(gpointer fired) {
        *static_cast<bool*>(fired) = true;
        return G_SOURCE_REMOVE;
    }
};

// Runs the main queue from GLib's side.
struct QueueSource {
    GSource base;

    static bool ready(gint* timeout) {
        if (main_queue().pending() > 0) {
            if (timeout) *timeout = 0;
            return true;
        }
        const auto due = main_queue().next_timer_due();
        const auto now = Clock::now();
        if (due <= now) {
            if (timeout) *timeout = 0;
            return true;
        }
        if (timeout) {
            *timeout = due == Clock::time_point::max()
                           ? -1
                           : static_cast<gint>(std::min<long long>(
                                 std::chrono::ceil<std::chrono::milliseconds>(due - now).count(), INT_MAX));
        }
        return false;
    }
    static gboolean prepare(GSource*, gint* timeout) { return ready(timeout); }
    static gboolean check(GSource*) { return ready(nullptr); }
    static gboolean dispatch(GSource*, GSourceFunc, gpointer) {
        guarded("main queue", [] {
            main_queue().process_messages();
            Application().FreeReleasedForms();
        });
        return G_SOURCE_CONTINUE;
    }
    static GSourceFuncs funcs;
};

GSourceFuncs QueueSource::funcs = {
    QueueSource::prepare, QueueSource::check, QueueSource::dispatch, nullptr, nullptr, nullptr};

class DesktopClipboard : public ClipboardStore {
public:
    bool HasText() override { return gtk_clipboard_wait_is_text_available(board()); }
    std::string Text() override {
        gchar* t = gtk_clipboard_wait_for_text(board());
        std::string s = t ? t : "";
        g_free(t);
        return s;
    }
    void SetText(std::string_view utf8) override {
        gtk_clipboard_set_text(board(), utf8.data(), static_cast<gint>(utf8.size()));
    }
    void Clear() override { gtk_clipboard_set_text(board(), "", 0); }

private:
    static GtkClipboard* board() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }
};


// ---- the desktop's file and folder choosers -----------------------------------

bool is_folder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

// A folder as the station stores it ("\\" or "/", maybe relative to the
// program's folder, maybe gone) as the nearest folder that exists, so that
// the chooser opens as close to it as it can.
std::string existing_folder(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty()) return "";
    if (path.front() != '/') path = os::program_dir() + "/" + path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    for (;;) {
        if (is_folder(path)) return path;
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) return "";
        if (slash == 0) return "/";
        path.erase(slash);
    }
}

// A mask of the stations' filters ("*.clb") for GTK, whose patterns tell
// letter case: "*.[cC][lL][bB]", as the stations' file systems ignore it.
std::string caseless_pattern(const std::string& mask) {
    std::string out;
    for (const char c : mask) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter) {
            out += c;
            continue;
        }
        const char lower = static_cast<char>(c | 0x20), upper = static_cast<char>(c & ~0x20);
        out += '[';
        out += lower;
        out += upper;
        out += ']';
    }
    return out;
}

// "Name|*.a;*.b|Other|*.*" as GTK filters, added to the chooser in order;
// returns them.
std::vector<GtkFileFilter*> add_filters(GtkFileChooser* chooser, const std::string& text) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= text.size() && !text.empty()) {
        const std::size_t bar = text.find('|', at);
        parts.push_back(text.substr(at, bar == std::string::npos ? std::string::npos : bar - at));
        if (bar == std::string::npos) break;
        at = bar + 1;
    }
    std::vector<GtkFileFilter*> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        GtkFileFilter* f = gtk_file_filter_new();
        gtk_file_filter_set_name(f, parts[i].c_str());
        std::size_t from = 0;
        const std::string& masks = parts[i + 1];
        while (from <= masks.size()) {
            const std::size_t semi = masks.find(';', from);
            const std::string mask = masks.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
            if (!mask.empty()) gtk_file_filter_add_pattern(f, mask == "*.*" ? "*" : caseless_pattern(mask).c_str());
            if (semi == std::string::npos) break;
            from = semi + 1;
        }
        gtk_file_chooser_add_filter(chooser, f);  // the chooser takes the reference
        filters.push_back(f);
    }
    return filters;
}

std::string take_string(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

class GtkDisplay : public Display {
public:
    GtkDisplay() {
        main_queue().set_event_loop(&loop_);
        source_ = g_source_new(&QueueSource::funcs, sizeof(QueueSource));
        g_source_set_can_recurse(source_, TRUE);
        g_source_attach(source_, nullptr);
        set_clipboard_store(&clipboard_);
        old_message_box_ = set_message_box_handler(ShowMessageForm);
        old_file_dialog_ = set_file_dialog_handler([this](FileDialogRequest& r) { return choose_file(r); });
        old_folder_dialog_ = set_folder_dialog_handler(
            [this](const std::string& caption, std::string& folder) { return choose_folder(caption, folder); });
    }

    ~GtkDisplay() override {
        for (auto& [form, w] : windows_) drop(w);
        windows_.clear();
        set_message_box_handler(std::move(old_message_box_));
        set_file_dialog_handler(std::move(old_file_dialog_));
        set_folder_dialog_handler(std::move(old_folder_dialog_));
        set_clipboard_store(nullptr);
        main_queue().set_event_loop(nullptr);
        g_source_destroy(source_);
        g_source_unref(source_);
        input::set_pointer_form(nullptr);
        // Let GTK finish the windows' destruction.
        while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
    }

    TRect ScreenRect() const override {
        GdkDisplay* d = gdk_display_get_default();
        GdkMonitor* m = gdk_display_get_primary_monitor(d);
        if (!m && gdk_display_get_n_monitors(d) > 0) m = gdk_display_get_monitor(d, 0);
        if (!m) return {0, 0, 1280, 1024};
        GdkRectangle g;
        gdk_monitor_get_geometry(m, &g);
        return {g.x, g.y, g.x + g.width, g.y + g.height};
    }

    int PixelsPerInch() const override {
        // The desktop's font resolution, as the stations' screens gave theirs.
        const double dpi = gdk_screen_get_resolution(gdk_screen_get_default());
        return dpi > 0 ? static_cast<int>(std::lround(dpi)) : Display::PixelsPerInch();
    }

    void FormShown(TCustomForm& form) override {
        if (windows_.count(&form)) return;
        auto* w = new FormWindow;
        w->display = this;
        w->form = &form;
        windows_[&form] = w;
        create(*w);
    }

    void FormHidden(TCustomForm& form) override {
        auto it = windows_.find(&form);
        if (it == windows_.end()) return;
        FormWindow* w = it->second;
        windows_.erase(it);
        drop(w);
    }

    void FormInvalidated(TCustomForm& form, const TRect& area) override {
        FormWindow* w = find(form);
        if (!w) return;
        const TRect c = content_rect(form);
        sync_popup(*w);
        const TRect r = IntersectRect(area, c);
        if (r.IsEmpty()) return;
        gtk_widget_queue_draw_area(w->area, r.Left - c.Left, r.Top - c.Top, r.Width(), r.Height());
    }

    void FormActivated(TCustomForm& form) override {
        // The code's choice raises the window and gives it the keys; the user's
        // (a click, the window manager) has done so already.
        FormWindow* w = find(form);
        if (w && !focusing_ && !gtk_window_is_active(GTK_WINDOW(w->window))) {
            gtk_window_present(GTK_WINDOW(w->window));
            raise_dependents(*w);
        }
    }

    void FormChanged(TCustomForm& form) override {
        FormWindow* w = find(form);
        if (!w || syncing_) return;
        push(*w);
    }

    void CursorChanged(TCursor) override {
        for (auto& [form, w] : windows_) update_cursor(*w, nullptr);
    }

    void ProcessEvents() override {
        // Bounded, so that a flood of events cannot keep the caller forever.
        for (int i = 0; i < 200 && g_main_context_pending(nullptr); ++i) g_main_context_iteration(nullptr, FALSE);
    }

    void PaintNow(TCustomForm& form) override {
        FormWindow* w = find(form);
        if (!w || !gtk_widget_get_realized(w->area)) {
            form.PaintPending();
            return;
        }
        GdkWindow* gw = gtk_widget_get_window(w->area);
        // The frame clock would paint at its next frame; a benchmark wants the
        // paint itself, not the wait for the frame.
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gdk_window_process_updates(gw, TRUE);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gdk_display_sync(gdk_window_get_display(gw));
    }

    void RunModal(TCustomForm& form) override {
        // The nested loop: the window-system events, posted work and timers go
        // on while the form waits for its answer.
        for (;;) {
            main_queue().run_until([&] { return form.ModalResult() != mrNone || !form.Visible(); }, 100);
            Application().ProcessMessages();
            Application().Idle();
            if (form.ModalResult() != mrNone) {
                if (form.CloseModal()) return;
                continue;
            }
            if (!form.Visible()) {
                form.SetModalResult(mrCancel);
                return;
            }
        }
    }

private:
    FormWindow* find(TCustomForm& form) const {
        auto it = windows_.find(&form);
        return it == windows_.end() ? nullptr : it->second;
    }

    FormWindow* window_of(TCustomForm* form) const { return form ? find(*form) : nullptr; }

    // A window manager keeps a window above the one it is transient for (an
    // owned form above its owner, a modal one above the form that was in
    // front); without one the X server stacks only as it is told, and the
    // owner raised would hide them. So they are raised after it, the
    // front-most form last, and theirs after each of them.
    void raise_dependents(FormWindow& w, int depth = 0) {
        if (depth > 8) return;  // a loop of owners is a fault, not a hang
        for (int i = Screen().FormCount() - 1; i >= 0; --i) {
            FormWindow* d = find(*Screen().Forms(i));
            if (!d || d == &w || gtk_window_get_transient_for(GTK_WINDOW(d->window)) != GTK_WINDOW(w.window)) continue;
            if (GdkWindow* g = gtk_widget_get_window(d->window)) gdk_window_raise(g);
            raise_dependents(*d, depth + 1);
        }
        if (w.popup)
            if (GdkWindow* g = gtk_widget_get_window(w.popup)) gdk_window_raise(g);
    }

    // The window a chooser stays above: the form in front (a modal one
    // first), else the main form.
    GtkWindow* chooser_parent() const {
        TCustomForm* front = nullptr;
        for (int i = 0; i < Screen().FormCount(); ++i) {
            TCustomForm* f = Screen().Forms(i);
            if (!f->Visible() || !find(*f)) continue;
            if (f->Modal()) front = f;
            if (!front && f->Active()) front = f;
        }
        if (!front) front = Application().MainForm();
        FormWindow* w = window_of(front);
        return w ? GTK_WINDOW(w->window) : nullptr;
    }

    // GTK's own dialog, run in its nested loop (the main queue goes on
    // inside it); true when the user accepted.
    static bool run_chooser(GtkWidget* dialog) {
        gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
        const gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
        return answer == GTK_RESPONSE_ACCEPT;
    }

    bool choose_folder(const std::string& caption, std::string& folder) {
        // The stations' folder picker has its caption inside and a title of
        // its own.
        GtkWidget* dialog = gtk_file_chooser_dialog_new(
            caption.empty() ? "Обзор папок" : caption.c_str(), chooser_parent(), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
            "_Отмена", GTK_RESPONSE_CANCEL, "_Выбрать", GTK_RESPONSE_ACCEPT, nullptr);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
        gtk_file_chooser_set_create_folders(chooser, TRUE);
        const std::string start = existing_folder(folder);
        if (!start.empty()) gtk_file_chooser_set_current_folder(chooser, start.c_str());
        bool chosen = false;
        guarded("folder choice", [&] {
            if (!run_chooser(dialog)) return;
            std::string path = take_string(gtk_file_chooser_get_filename(chooser));
            if (path.empty()) return;
            folder = path;
            chosen = true;
        });
        gtk_widget_destroy(dialog);
        return chosen;
    }

    bool choose_file(FileDialogRequest& r) {
        const char* title = !r.title.empty() ? r.title.c_str() : r.save ? "Сохранить как" : "Открыть";
        GtkWidget* dialog = gtk_file_chooser_dialog_new(
            title, chooser_parent(), r.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Отмена",
            GTK_RESPONSE_CANCEL, r.save ? "_Сохранить" : "_Открыть", GTK_RESPONSE_ACCEPT, nullptr);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
        const std::vector<GtkFileFilter*> filters = add_filters(chooser, r.filter);
        if (r.filter_index >= 1 && static_cast<std::size_t>(r.filter_index) <= filters.size())
            gtk_file_chooser_set_filter(chooser, filters[static_cast<std::size_t>(r.filter_index - 1)]);
        if (!r.save) gtk_file_chooser_set_select_multiple(chooser, r.options.Contains(ofAllowMultiSelect));
        if (r.save) gtk_file_chooser_set_do_overwrite_confirmation(chooser, r.options.Contains(ofOverwritePrompt));

        std::string name = r.file_name;
        for (char& c : name)
            if (c == '\\') c = '/';
        const std::size_t slash = name.find_last_of('/');
        std::string start = existing_folder(slash == std::string::npos ? r.initial_dir : name.substr(0, slash + 1));
        if (start.empty()) start = existing_folder(r.initial_dir);
        if (!start.empty()) gtk_file_chooser_set_current_folder(chooser, start.c_str());
        const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
        if (r.save && !base.empty()) gtk_file_chooser_set_current_name(chooser, base.c_str());

        bool chosen = false;
        guarded("file choice", [&] {
            if (!run_chooser(dialog)) return;
            std::vector<std::string> files;
            GSList* list = gtk_file_chooser_get_filenames(chooser);
            for (GSList* i = list; i; i = i->next) files.push_back(take_string(static_cast<gchar*>(i->data)));
            g_slist_free(list);
            if (files.empty()) return;
            GtkFileFilter* now = gtk_file_chooser_get_filter(chooser);
            for (std::size_t i = 0; i < filters.size(); ++i)
                if (filters[i] == now) r.filter_index = static_cast<int>(i + 1);
            r.files = files;
            r.file_name = files.front();
            chosen = true;
        });
        gtk_widget_destroy(dialog);
        return chosen;
    }


    void create(FormWindow& w) {
        TCustomForm& f = *w.form;
        const TRect c = content_rect(f);
        w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWindow* win = GTK_WINDOW(w.window);
        use_screen_visual(w.window);
        w.title = f.Caption();
        gtk_window_set_title(win, w.title.c_str());
        const bool sizeable = f.BorderStyle() == bsSizeable || f.BorderStyle() == bsSizeToolWin;
        gtk_window_set_resizable(win, sizeable);
        gtk_window_set_decorated(win, f.BorderStyle() != bsNone);
        if (f.BorderStyle() == bsDialog) gtk_window_set_type_hint(win, GDK_WINDOW_TYPE_HINT_DIALOG);
        if (f.BorderStyle() == bsToolWindow || f.BorderStyle() == bsSizeToolWin)
            gtk_window_set_type_hint(win, GDK_WINDOW_TYPE_HINT_UTILITY);
        if (!f.BorderIcons().Contains(biSystemMenu)) gtk_window_set_deletable(win, FALSE);

        w.area = gtk_drawing_area_new();
        gtk_widget_set_can_focus(w.area, TRUE);
        gtk_widget_add_events(w.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                          GDK_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                          GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
        gtk_container_add(GTK_CONTAINER(win), w.area);
        gtk_window_set_default_size(win, std::max(1, c.Width()), std::max(1, c.Height()));
        if (!sizeable) gtk_widget_set_size_request(w.area, std::max(1, c.Width()), std::max(1, c.Height()));
        apply_min_size(w);
        w.shown = Rect(f.Left() + c.Left, f.Top() + c.Top, f.Left() + c.Right, f.Top() + c.Bottom);
        // A place given to the window is that of its content, as the form's
        // bounds are read back from the content: with the frame's corner
        // instead, a window manager's frame would move every window put
        // back where it was by the frame's width and caption each time.
        gtk_window_set_gravity(win, GDK_GRAVITY_STATIC);
        gtk_window_move(win, w.shown.Left, w.shown.Top);

        // Owned forms stay above their owner; a modal form above the form that
        // was in front.
        FormWindow* owner = window_of(dynamic_cast<TCustomForm*>(f.Owner()));
        if (f.Modal()) {
            gtk_window_set_modal(win, TRUE);
            if (!owner)
                for (int i = 0; i < Screen().FormCount() && !owner; ++i)
                    if (Screen().Forms(i) != &f && Screen().Forms(i)->Visible()) owner = window_of(Screen().Forms(i));
            if (!owner) owner = window_of(Application().MainForm());
        }
        if (owner && owner != &w) gtk_window_set_transient_for(win, GTK_WINDOW(owner->window));

        w.im = gtk_im_multicontext_new();
        g_signal_connect(w.im, "commit", G_CALLBACK(on_commit), &w);

        g_signal_connect(w.area, "draw", G_CALLBACK(on_draw), &w);
        g_signal_connect(w.area, "size-allocate", G_CALLBACK(on_size_allocate), &w);
        g_signal_connect(w.area, "realize", G_CALLBACK(on_realize), &w);
        g_signal_connect(w.area, "button-press-event", G_CALLBACK(on_button_press), &w);
        g_signal_connect(w.area, "button-release-event", G_CALLBACK(on_button_release), &w);
        g_signal_connect(w.area, "motion-notify-event", G_CALLBACK(on_motion), &w);
        g_signal_connect(w.area, "scroll-event", G_CALLBACK(on_scroll), &w);
        g_signal_connect(w.area, "enter-notify-event", G_CALLBACK(on_enter), &w);
        g_signal_connect(w.area, "leave-notify-event", G_CALLBACK(on_leave), &w);
        g_signal_connect(w.window, "key-press-event", G_CALLBACK(on_key_press), &w);
        g_signal_connect(w.window, "key-release-event", G_CALLBACK(on_key_release), &w);
        g_signal_connect(w.window, "focus-in-event", G_CALLBACK(on_focus_in), &w);
        g_signal_connect(w.window, "focus-out-event", G_CALLBACK(on_focus_out), &w);
        g_signal_connect(w.window, "delete-event", G_CALLBACK(on_delete), &w);
        g_signal_connect(w.window, "destroy-event", G_CALLBACK(on_destroyed), &w);
        g_signal_connect(w.window, "configure-event", G_CALLBACK(on_configure), &w);
        g_signal_connect(w.window, "window-state-event", G_CALLBACK(on_window_state), &w);

        gtk_widget_show_all(w.window);
        gtk_widget_grab_focus(w.area);
        w.state = wsNormal;
        if (f.WindowState() == wsMaximized) gtk_window_maximize(win);
        if (f.WindowState() == wsMinimized) gtk_window_iconify(win);
        w.state = f.WindowState();
        gtk_window_present(win);
    }

    // The pop-up window follows the form's pop-up: opened, moved, repainted,
    // closed.
    void sync_popup(FormWindow& w) {
        TControl* p = w.form ? w.form->Popup() : nullptr;
        const TRect r = p ? p->PopupRect() : TRect{};
        if (r.IsEmpty()) {
            close_popup(w);
            return;
        }
        const TPoint at{w.form->Left() + r.Left, w.form->Top() + r.Top};
        if (!w.popup) {
            w.popup = gtk_window_new(GTK_WINDOW_POPUP);
            GtkWindow* win = GTK_WINDOW(w.popup);
            use_screen_visual(w.popup);
            gtk_window_set_transient_for(win, GTK_WINDOW(w.window));
            // A modal form holds GTK's grab over its window group, which
            // sends the pointer's events of every other window of the group
            // to the form: the pop-up of a modal form would never see a click
            // or a move. A group of its own keeps it out of that grab; the
            // form still takes the keys, and the other forms stay shut out.
            GtkWindowGroup* group = gtk_window_group_new();
            gtk_window_group_add_window(group, win);
            g_object_unref(group);
            gtk_window_set_type_hint(win, GDK_WINDOW_TYPE_HINT_POPUP_MENU);
            w.popup_area = gtk_drawing_area_new();
            gtk_widget_add_events(w.popup_area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                                    GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK);
            gtk_container_add(GTK_CONTAINER(win), w.popup_area);
            g_signal_connect(w.popup_area, "draw", G_CALLBACK(on_popup_draw), &w);
            g_signal_connect(w.popup_area, "button-press-event", G_CALLBACK(on_popup_button), &w);
            g_signal_connect(w.popup_area, "button-release-event", G_CALLBACK(on_popup_button), &w);
            g_signal_connect(w.popup_area, "motion-notify-event", G_CALLBACK(on_popup_motion), &w);
            g_signal_connect(w.popup_area, "scroll-event", G_CALLBACK(on_popup_scroll), &w);
            gtk_widget_set_size_request(w.popup_area, r.Width(), r.Height());
            gtk_window_move(win, at.x, at.y);
            gtk_widget_show_all(w.popup);
        } else if (r != w.popup_rect) {
            gtk_widget_set_size_request(w.popup_area, r.Width(), r.Height());
            gtk_window_resize(GTK_WINDOW(w.popup), r.Width(), r.Height());
            gtk_window_move(GTK_WINDOW(w.popup), at.x, at.y);
        }
        w.popup_rect = r;
        gtk_widget_queue_draw(w.popup_area);
    }

    static void close_popup(FormWindow& w) {
        if (!w.popup) return;
        g_signal_handlers_disconnect_by_data(w.popup_area, &w);
        gtk_widget_destroy(w.popup);
        w.popup = w.popup_area = nullptr;
        w.popup_rect = {};
    }

    // The window goes at once; the record of it after the events that may be
    // running on it now.
    void drop(FormWindow* w) {
        close_popup(*w);
        w->form = nullptr;
        g_signal_handlers_disconnect_by_data(w->im, w);
        gtk_im_context_set_client_window(w->im, nullptr);
        g_signal_handlers_disconnect_by_data(w->area, w);
        g_signal_handlers_disconnect_by_data(w->window, w);
        gtk_widget_destroy(w->window);
        g_idle_add(
            [](gpointer p) -> gboolean {
                auto* dead = static_cast<FormWindow*>(p);
                g_object_unref(dead->im);
                delete dead;
                return G_SOURCE_REMOVE;
            },
            w);
    }

    // A sizeable form's least client area becomes the least size GTK gives
    // the window: the window manager's hints, and GTK's own answer to a
    // resize without a manager.
    static void apply_min_size(FormWindow& w) {
        TCustomForm& f = *w.form;
        if (!gtk_window_get_resizable(GTK_WINDOW(w.window))) return;
        const TSize least = f.MinClientSize();
        const TRect bar = f.MenuBarRect();
        const int width = least.cx > 0 ? least.cx : -1;
        const int height = least.cy > 0 ? least.cy + (bar.IsEmpty() ? 0 : bar.Height()) : -1;
        gint now_w = 0, now_h = 0;
        gtk_widget_get_size_request(w.area, &now_w, &now_h);
        if (now_w != width || now_h != height) gtk_widget_set_size_request(w.area, width, height);
    }

    // Form to window: the caption, the window state, the bounds.
    void push(FormWindow& w) {
        TCustomForm& f = *w.form;
        GtkWindow* win = GTK_WINDOW(w.window);
        apply_min_size(w);
        if (f.Caption() != w.title) {
            w.title = f.Caption();
            gtk_window_set_title(win, w.title.c_str());
        }
        if (f.WindowState() != w.state) {
            w.state = f.WindowState();
            switch (w.state) {
                case wsMaximized:
                    gtk_window_deiconify(win);
                    gtk_window_maximize(win);
                    break;
                case wsMinimized: gtk_window_iconify(win); break;
                default:
                    gtk_window_deiconify(win);
                    gtk_window_unmaximize(win);
                    break;
            }
            return;  // the window manager reports the bounds that follow
        }
        if (w.state != wsNormal) return;
        const TRect c = content_rect(f);
        const TRect want = Rect(f.Left() + c.Left, f.Top() + c.Top, f.Left() + c.Right, f.Top() + c.Bottom);
        if (want.Width() != w.shown.Width() || want.Height() != w.shown.Height()) {
            if (!gtk_window_get_resizable(win))
                gtk_widget_set_size_request(w.area, std::max(1, want.Width()), std::max(1, want.Height()));
            gtk_window_resize(win, std::max(1, want.Width()), std::max(1, want.Height()));
        }
        if (want.Left != w.shown.Left || want.Top != w.shown.Top) gtk_window_move(win, want.Left, want.Top);
        w.shown = want;
    }

    // Another program may take the window away at any moment: asking the X
    // server where it is must not end the program.
    static bool origin_of(GdkWindow* gw, gint& x, gint& y) {
#ifdef GDK_WINDOWING_X11
        GdkDisplay* d = gdk_window_get_display(gw);
        if (GDK_IS_X11_DISPLAY(d)) {
            gdk_x11_display_error_trap_push(d);
            gdk_window_get_origin(gw, &x, &y);
            return gdk_x11_display_error_trap_pop(d) == 0;
        }
#endif
        gdk_window_get_origin(gw, &x, &y);
        return true;
    }

    // Window to form: where the window's content really is and how large.
    void pull(FormWindow& w) {
        if (!w.form || !gtk_widget_get_realized(w.area)) return;
        GdkWindow* gw = gtk_widget_get_window(w.area);
        if (gdk_window_is_destroyed(gw)) return;
        gint x = 0, y = 0;
        if (!origin_of(gw, x, y)) return;
        const int width = gtk_widget_get_allocated_width(w.area), height = gtk_widget_get_allocated_height(w.area);
        const TRect now = Rect(x, y, x + width, y + height);
        if (now == w.shown) return;
        w.shown = now;
        TCustomForm& f = *w.form;
        const TRect c = content_rect(f);
        syncing_ = true;
        guarded("resize", [&] {
            f.SetBounds(x - c.Left, y - c.Top, width + f.Width() - c.Width(), height + f.Height() - c.Height());
        });
        syncing_ = false;
    }

    void update_cursor(FormWindow& w, TControl* under) {
        if (!w.form || !gtk_widget_get_realized(w.area)) return;
        TCursor want = screen_cursor();
        if (want == crDefault && under) want = under->Cursor();
        if (want == w.cursor) return;
        w.cursor = want;
        GdkWindow* gw = gtk_widget_get_window(w.area);
        GdkCursor* cursor =
            want == crDefault ? nullptr : gdk_cursor_new_from_name(gdk_window_get_display(gw), cursor_name(want));
        gdk_window_set_cursor(gw, cursor);
        if (cursor) g_object_unref(cursor);
    }

    TPoint to_screen(const FormWindow& w, double x, double y) const {
        const TRect c = content_rect(*w.form);
        return {w.form->Left() + c.Left + static_cast<int>(std::floor(x)),
                w.form->Top() + c.Top + static_cast<int>(std::floor(y))};
    }

    // ---- GTK's callbacks ----------------------------------------------------

    static void on_realize(GtkWidget*, FormWindow* w) {
        gtk_im_context_set_client_window(w->im, gtk_widget_get_window(w->area));
    }

    static gboolean on_draw(GtkWidget*, cairo_t* cr, FormWindow* w) {
        if (!w->form) return TRUE;
        guarded("paint", [&] {
            TCustomForm& f = *w->form;
            const TBitmap& picture = f.Picture();
            const TRect c = content_rect(f);
            const TColor face = ColorToRGB(f.Color());
            cairo_set_source_rgb(cr, GetRValue(face) / 255.0, GetGValue(face) / 255.0, GetBValue(face) / 255.0);
            cairo_paint(cr);
            cairo_rectangle(cr, 0, 0, c.Width(), c.Height());
            cairo_clip(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr, picture.Surface(), -c.Left, -c.Top);
            cairo_paint(cr);
        });
        return TRUE;
    }

    static gboolean on_popup_draw(GtkWidget*, cairo_t* cr, FormWindow* w) {
        TControl* p = w->form ? w->form->Popup() : nullptr;
        if (!p) return TRUE;
        guarded("paint", [&] {
            const TRect r = p->PopupRect();
            TBitmap picture(std::max(1, r.Width()), std::max(1, r.Height()));
            picture.Canvas().Font().Assign(p->Font());
            p->PaintPopup(picture.Canvas());
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr, picture.Surface(), 0, 0);
            cairo_paint(cr);
        });
        return TRUE;
    }

    static TPoint popup_to_screen(const FormWindow& w, double x, double y) {
        return {w.form->Left() + w.popup_rect.Left + static_cast<int>(std::floor(x)),
                w.form->Top() + w.popup_rect.Top + static_cast<int>(std::floor(y))};
    }

    static gboolean on_popup_button(GtkWidget*, GdkEventButton* e, FormWindow* w) {
        if (!w->form || e->button != 1 || (e->type != GDK_BUTTON_PRESS && e->type != GDK_BUTTON_RELEASE)) return TRUE;
        const TPoint p = popup_to_screen(*w, e->x, e->y);
        const TShiftState shift = shift_of(e->state);
        const bool press = e->type == GDK_BUTTON_PRESS;
        guarded("mouse", [&] {
            PointerIn in(w->form);
            if (press)
                input::mouse_down(p, mbLeft, shift);
            else
                input::mouse_up(p, mbLeft, shift);
        });
        return TRUE;
    }

    static gboolean on_popup_motion(GtkWidget*, GdkEventMotion* e, FormWindow* w) {
        if (!w->form) return TRUE;
        const TPoint p = popup_to_screen(*w, e->x, e->y);
        guarded("mouse", [&] {
            PointerIn in(w->form);
            input::mouse_move(p, shift_of(e->state));
        });
        return TRUE;
    }

    static gboolean on_popup_scroll(GtkWidget*, GdkEventScroll* e, FormWindow* w) {
        const int delta = wheel_delta(e);
        if (!w->form || delta == 0) return TRUE;
        const TPoint p = popup_to_screen(*w, e->x, e->y);
        guarded("wheel", [&] {
            PointerIn in(w->form);
            input::mouse_wheel(p, delta, shift_of(e->state));
        });
        return TRUE;
    }

    static void on_size_allocate(GtkWidget*, GdkRectangle*, FormWindow* w) { w->display->pull(*w); }

    static gboolean on_configure(GtkWidget*, GdkEventConfigure* e, FormWindow* w) {
        // Without a window manager nothing holds a resize to the window's
        // least size (the hints are for a manager): the window goes back.
        gint least_w = -1, least_h = -1;
        if (w->form && gtk_widget_get_realized(w->area)) {
            gtk_widget_get_size_request(w->area, &least_w, &least_h);
            // GTK takes the size it asked for as granted: the X window is
            // told itself.
            if (gtk_window_get_resizable(GTK_WINDOW(w->window)) && (e->width < least_w || e->height < least_h))
                gdk_window_resize(gtk_widget_get_window(w->window), std::max(e->width, least_w),
                                  std::max(e->height, least_h));
        }
        w->display->pull(*w);
        return FALSE;
    }

    static gboolean on_window_state(GtkWidget*, GdkEventWindowState* e, FormWindow* w) {
        if (!w->form) return FALSE;
        const TWindowState state = (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED)   ? wsMinimized
                                   : (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) ? wsMaximized
                                                                                        : wsNormal;
        if (state == w->state) return FALSE;
        w->state = state;
        GtkDisplay* d = w->display;
        d->syncing_ = true;
        guarded("window state", [&] { w->form->SetWindowState(state); });
        d->syncing_ = false;
        // The form's own idea of its maximised bounds gives way to the window's.
        w->shown = {};
        d->pull(*w);
        return FALSE;
    }

    static gboolean on_delete(GtkWidget*, GdkEvent*, FormWindow* w) {
        if (w->form) guarded("close", [&] { w->form->Close(); });
        return TRUE;  // the form decides; hiding it takes the window away
    }

    // Another program took the window away (a destroy request to the X
    // server): that is a close as well. A form that stays gets a new window.
    static gboolean on_destroyed(GtkWidget*, GdkEvent*, FormWindow* w) {
        TCustomForm* f = w->form;
        if (!f) return FALSE;
        GtkDisplay* d = w->display;
        guarded("close", [&] { f->Close(); });
        if (d->find(*f) == w) {
            d->windows_.erase(f);
            d->drop(w);
            d->FormShown(*f);
        }
        return TRUE;
    }

    static gboolean on_focus_in(GtkWidget*, GdkEventFocus*, FormWindow* w) {
        if (!w->form) return FALSE;
        gtk_im_context_focus_in(w->im);
        GtkDisplay* d = w->display;
        d->focusing_ = true;
        guarded("activate", [&] {
            if (!w->form->Active() && w->form->Visible()) w->form->Activate();
        });
        d->focusing_ = false;
        return FALSE;
    }

    static gboolean on_focus_out(GtkWidget*, GdkEventFocus*, FormWindow* w) {
        gtk_im_context_focus_out(w->im);
        return FALSE;
    }

    // Every mouse event names its form first: the pointer is in its window.
    struct PointerIn {
        explicit PointerIn(TCustomForm* f) { input::set_pointer_form(f); }
        ~PointerIn() { input::set_pointer_form(nullptr); }
    };

    static gboolean on_button_press(GtkWidget*, GdkEventButton* e, FormWindow* w) {
        // Our own pairing of presses makes the double clicks.
        if (e->type != GDK_BUTTON_PRESS || !w->form) return TRUE;
        TMouseButton button;
        switch (e->button) {
            case 1: button = mbLeft; break;
            case 2: button = mbMiddle; break;
            case 3: button = mbRight; break;
            default: return TRUE;
        }
        gtk_widget_grab_focus(w->area);
        gint time = 400, distance = 5;
        g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &time, "gtk-double-click-distance", &distance,
                     nullptr);
        const bool dbl = !w->last_was_double && e->button == w->last_button &&
                         e->time - w->last_press <= static_cast<guint32>(time) &&
                         std::abs(e->x - w->last_x) <= distance && std::abs(e->y - w->last_y) <= distance;
        w->last_was_double = dbl;
        w->last_button = e->button;
        w->last_press = e->time;
        w->last_x = e->x;
        w->last_y = e->y;
        const TPoint p = w->display->to_screen(*w, e->x, e->y);
        const TShiftState shift = shift_of(e->state);
        guarded("mouse", [&] {
            PointerIn in(w->form);
            if (dbl)
                input::mouse_double_down(p, button, shift);
            else
                input::mouse_down(p, button, shift);
        });
        return TRUE;
    }

    static gboolean on_button_release(GtkWidget*, GdkEventButton* e, FormWindow* w) {
        if (!w->form) return TRUE;
        TMouseButton button;
        switch (e->button) {
            case 1: button = mbLeft; break;
            case 2: button = mbMiddle; break;
            case 3: button = mbRight; break;
            default: return TRUE;
        }
        const TPoint p = w->display->to_screen(*w, e->x, e->y);
        TShiftState shift = shift_of(e->state);
        shift >>= button == mbLeft ? ssLeft : button == mbRight ? ssRight : ssMiddle;
        guarded("mouse", [&] {
            PointerIn in(w->form);
            input::mouse_up(p, button, shift);
        });
        return TRUE;
    }

    static gboolean on_motion(GtkWidget*, GdkEventMotion* e, FormWindow* w) {
        if (!w->form) return TRUE;
        const TPoint p = w->display->to_screen(*w, e->x, e->y);
        guarded("mouse", [&] {
            PointerIn in(w->form);
            input::mouse_move(p, shift_of(e->state));
            if (!w->form) return;
            TControl* under = Router::instance().Capture();
            if (!under) under = Router::instance().control_at(p, true);
            w->display->update_cursor(*w, under);
        });
        return TRUE;
    }

    // A wheel event as the window layer counts it: 120 a notch, positive
    // away from the user; 0 for none.
    static int wheel_delta(const GdkEventScroll* e) {
        switch (e->direction) {
            case GDK_SCROLL_UP: return 120;
            case GDK_SCROLL_DOWN: return -120;
            case GDK_SCROLL_SMOOTH: return static_cast<int>(std::lround(-e->delta_y * 120));
            default: return 0;
        }
    }

    static gboolean on_scroll(GtkWidget*, GdkEventScroll* e, FormWindow* w) {
        const int delta = wheel_delta(e);
        if (!w->form || delta == 0) return TRUE;
        const TPoint p = w->display->to_screen(*w, e->x, e->y);
        guarded("wheel", [&] {
            PointerIn in(w->form);
            input::mouse_wheel(p, delta, shift_of(e->state));
        });
        return TRUE;
    }

    static gboolean on_enter(GtkWidget*, GdkEventCrossing* e, FormWindow* w) {
        if (!w->form) return FALSE;
        const TPoint p = w->display->to_screen(*w, e->x, e->y);
        guarded("mouse", [&] {
            PointerIn in(w->form);
            input::mouse_move(p, shift_of(e->state));
        });
        return FALSE;
    }

    static gboolean on_leave(GtkWidget*, GdkEventCrossing* e, FormWindow* w) {
        // A button held keeps the pointer's events with this window.
        if (!w->form || e->mode != GDK_CROSSING_NORMAL || Router::instance().Capture()) return FALSE;
        guarded("mouse", [] { input::mouse_leave(); });
        return FALSE;
    }

    static gboolean on_key_press(GtkWidget*, GdkEventKey* e, FormWindow* w) {
        if (!w->form) return TRUE;
        const TKey key = key_of(e);
        const TShiftState shift = shift_of(e->state);
        bool taken = false;
        if (key) guarded("key", [&] { taken = input::key_down(key, shift); });
        if (taken || !w->form) return TRUE;
        if (gtk_im_context_filter_keypress(w->im, e)) return TRUE;
        char32_t ch = control_char(key);
        if (!ch && !(e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK))) ch = gdk_keyval_to_unicode(e->keyval);
        if (ch) guarded("key", [&] { input::character(ch); });
        return TRUE;
    }

    static gboolean on_key_release(GtkWidget*, GdkEventKey* e, FormWindow* w) {
        if (!w->form) return TRUE;
        gtk_im_context_filter_keypress(w->im, e);
        const TKey key = key_of(e);
        if (key && w->form) guarded("key", [&] { input::key_up(key, shift_of(e->state)); });
        return TRUE;
    }

    static void on_commit(GtkIMContext*, const gchar* text, FormWindow* w) {
        if (!w->form || !text) return;
        guarded("text", [&] {
            for (const gchar* p = text; *p; p = g_utf8_next_char(p)) input::character(g_utf8_get_char(p));
        });
    }

    GlibLoop loop_;
    GSource* source_ = nullptr;
    DesktopClipboard clipboard_;
    MessageBoxHandler old_message_box_;
    FileDialogHandler old_file_dialog_;
    FolderDialogHandler old_folder_dialog_;
    std::map<TCustomForm*, FormWindow*> windows_;
    bool syncing_ = false;
    bool focusing_ = false;  // the window system gave a window the focus
};

}  // namespace

// The module's entry points, looked up by screen_display.cpp: the display
// library stays out of every process that shows no window.
extern "C" {

// Opens the desktop's display and sets the GTK display; throws
// std::runtime_error naming the display when it cannot be opened.
void station_gtk_display_start() {
    if (!gtk_init_check(nullptr, nullptr)) {
        const char* x = std::getenv("DISPLAY");
        const char* wl = std::getenv("WAYLAND_DISPLAY");
        throw std::runtime_error(std::string("start_screen_display: cannot open the desktop's display '") +
                                 (wl && *wl ? wl
                                  : x       ? x
                                            : "") +
                                 "'");
    }
    set_display(std::make_unique<GtkDisplay>());
#ifdef GDK_WINDOWING_X11
    // X errors arrive after the request that caused them: one about a window
    // that went a moment before (a pop-up closed, a resize racing a repaint)
    // must not end the program, which for the station would end the
    // recording behind the window. GDK ends the program on any error that
    // no trap covers; this trap covers the whole run (the traps pushed
    // around single calls still get their own errors).
    GdkDisplay* screen = gdk_display_get_default();
    if (GDK_IS_X11_DISPLAY(screen)) gdk_x11_display_error_trap_push(screen);
#endif
}

bool station_gtk_display_running() { return dynamic_cast<GtkDisplay*>(&display()) != nullptr; }

}  // extern "C"

}  // namespace ui
