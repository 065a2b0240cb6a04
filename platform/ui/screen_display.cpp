// Choosing the real screen's display. The GTK display is a module of its own
// beside this library (modules/gtk_display.cpp), loaded the first time a
// program asks for windows and kept to the end of the process, as GDK's
// connection to the desktop is.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/os/dynlib.h"
#include "platform/ui/display.h"

namespace ui {
namespace {

const char kModule[] = "platform_gtk.so";

struct Module {
    void (*start)() = nullptr;
    bool (*running)() = nullptr;
};

// An address inside this library, to find the folder it was loaded from.
const int kHere = 0;

// Null when the module has not been loaded (no program asked for windows).
Module* loaded = nullptr;

Module& load_module() {
    static Module module;
    if (loaded) return module;
    const std::string self = os::library_path_of(&kHere);
    const std::string path =
        self.empty() ? std::string(kModule) : (std::filesystem::path(self).parent_path() / kModule).string();
    std::string error;
    void* handle = os::library_open(path, &error);
    if (!handle)
        throw std::runtime_error("start_screen_display: cannot load the screen's display module '" + path +
                                 "': " + error);
    module.start = reinterpret_cast<void (*)()>(os::library_symbol(handle, "station_gtk_display_start"));
    module.running = reinterpret_cast<bool (*)()>(os::library_symbol(handle, "station_gtk_display_running"));
    if (!module.start || !module.running) {
        os::library_close(handle);
        module = {};
        throw std::runtime_error("start_screen_display: the display module '" + path +
                                 "' lacks its entry points");
    }
    loaded = &module;
    return module;
}

}  // namespace

bool desktop_reachable() {
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl);
}

void start_screen_display() {
    if (screen_display_running()) return;
    if (!desktop_reachable())
        throw std::runtime_error(
            "start_screen_display: no desktop to show the windows on (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set)");
    load_module().start();
}

void stop_screen_display() {
    if (!screen_display_running()) return;
    set_display(nullptr);
    // GDK's connection stays open to the end of the process, as in every GTK
    // program: closing it leaves cairo's records of the X display behind.
}

bool screen_display_running() { return loaded && loaded->running(); }

}  // namespace ui
