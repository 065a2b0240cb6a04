#pragma once
// reg::RegPluginManager: the hub's plug-in manager, owned by the root. The
// general loader finds the libraries and keeps the objects; this adds what
// the hub needs: each object is taken as a reg::RegPlugin, registered as a
// module when it is one, given the host callback table, and called through
// one loop that keeps one plug-in's failure from stopping the others.
//
// All operations run on the host's main thread. for_each takes no lock
// itself: the root's callers hold the hub lock around it.

#include "gti/registr_old/reg_plugin.h"
#include "library/controls/control_helpers.h"
#include "library/plugin_manager.h"
#include "platform/ui/types.h"

#include <boost/signals2/signal.hpp>

#include <any>
#include <functional>
#include <string>
#include <vector>

namespace ui {
class TTabSheet;
class TPageControl;
}  // namespace ui

namespace reg {

class System;

class RegPluginManager : public lib::PluginManager {
public:
    // What the manager keeps of each plug-in, at the plug-in's index; there
    // from the moment the plug-in is loaded.
    struct PluginData {
        ui::TTabSheet* page = nullptr;  // null: no page
        ui::TForm* form = nullptr;      // null until first shown
        ui::TRect area;                 // on the status bar
        lib::ControlResizer resizer;    // for forms of fixed size
        ui::TControl* opt_control = nullptr;
    };

    // root: the object whose module list, configuration, named values and
    // error log the manager uses (the root hands itself in; it is not used
    // while the root is being built).
    explicit RegPluginManager(System* root = nullptr);
    ~RegPluginManager() override;

    // Unregisters and deletes every plug-in (their libraries stay loaded).
    void free();

    RegPlugin* get_item(int index) const;
    int get_size() const { return size(); }

    // Clears the record and asks the plug-in to fill it.
    static void get_plugin_info(RegPlugin* plugin, PluginInfo& info);
    // The plug-in whose page before_show brings forward.
    void set_plugin_active(RegPlugin* plugin) { plugin_to_activate_ = plugin; }

    // Also sets the text variable "work_path".
    void set_workpath(const AnsiString& path);
    const AnsiString& get_work_path() const { return work_path_; }

    // The first plug-in whose module name equals name exactly (letter case
    // counts), or null.
    RegPlugin* find(const AnsiString& name) const;
    bool is_active(const AnsiString& name) const { return find(name) != nullptr; }

    // Calls f on every plug-in in index order. The count is read again
    // before every call, so a list that grows or shrinks on the way is
    // followed. A failure of one plug-in (or an empty f) goes to the error
    // log and the loop goes on.
    void for_each(const std::function<void(RegPlugin*)>& f);
    // Every plug-in's event, in index order; failures pass to the caller.
    void call_event(PluginEventType type, const std::any& payload);

    // Builds a hidden-tab page in the page control for each plug-in with a
    // page.
    void fill_to_tab_control(ui::TPageControl* page_control);
    // Tab visibility and captions from the plug-ins' descriptions; fires
    // interface_changed with whether the active page's tab changed.
    void correct_interface();
    // Brings forward the page host_set_plugin_active asked for, once.
    void before_show();
    // What host callback 24 calls.
    void call_rect_callback(const ui::TRect& rect);

    const PluginData* get_plugin_data(int index) const;

    // Not fired inside the hub; the station host's.
    boost::signals2::signal<void()> notification;
    // Set by the station host.
    std::function<void(ui::TTabSheet*)> show_page_callback;
    std::function<void(const ui::TRect&)> rect_callback;
    boost::signals2::signal<void(bool)> interface_changed;

protected:
    void after_load_item(System* system, lib::PluginBase* item, int index) override;
    void before_unload_item(lib::PluginBase* item, int index) override;

private:
    PluginData& data_at(int index);
    void log_error(const AnsiString& message) const;

    System* root_;
    std::vector<PluginData> data_;
    RegPlugin* plugin_to_activate_ = nullptr;
    AnsiString work_path_;
};

}  // namespace reg
