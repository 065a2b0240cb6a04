#pragma once
// The host window's menu of the hub's data ("Скважина"): the well
// construction, the alarm limits, the depth sensor's calibration, the event
// log, the remarks and the trip information, each in a window beside the
// recording (one of a kind at a time). The items
// work while a run's hub is attached; detaching closes the windows without
// applying them, since their objects go with the run.

#include <memory>
#include <vector>

#include "gti/registr_old/grid_binding.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"

namespace reg {
class System;
}

namespace station_host {

class HubMenu {
public:
    // Adds the menu to the bar; the windows are owned by `owner`.
    HubMenu(ui::TMenuItem* bar, ui::TComponent* owner);
    ~HubMenu();
    HubMenu(const HubMenu&) = delete;
    HubMenu& operator=(const HubMenu&) = delete;

    void attach(reg::System* system);
    void detach();

    ui::TMenuItem* menu() const { return menu_; }
    // The open window of the item's caption, or null.
    ui::TForm* window(const std::string& caption) const;

private:
    void open(const std::string& caption);

    ui::TComponent* owner_;
    ui::TMenuItem* menu_;
    // Only these follow attach/detach: the host adds items of its own to the menu.
    std::vector<ui::TMenuItem*> items_;
    reg::System* system_ = nullptr;
    std::vector<std::unique_ptr<reg::GridBinding<ui::TForm>>> windows_;
};

}  // namespace station_host
