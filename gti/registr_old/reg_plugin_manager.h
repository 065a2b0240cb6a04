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
#include <memory>
#include <string>
#include <vector>

namespace ui {
class TComponent;
class TMenuItem;
class TObject;
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

    // ---- the station host's main window (main thread) ----------------------
    // An item per plug-in with a menu entry (tag 10000 + index); a click
    // runs the plug-in's options() and sends it event 1.
    void fill_opts_menu(ui::TMenuItem* parent);
    void OnMenuClick(ui::TObject* sender);
    // Builds a hidden-tab page in the page control for each plug-in with a
    // page.
    void fill_to_tab_control(ui::TPageControl* page_control);
    // Puts the plug-in's form into its page the first time (width and
    // height: the designed size of a fixed-size form) and calls its show().
    void show_tab_sheet(ui::TTabSheet* sheet, int width, int height);
    void show_pages(ui::TTabSheet* sheet);
    // Keeps a fixed-size form centred in its page; one larger than the page
    // starts at its corner, and the page scrolls to the rest.
    void tab_sheet_resized(ui::TObject* sender);
    // A page per plug-in options control in the host's options dialog, and
    // the values the user entered handed back to the plug-ins.
    void show_opts_on_start(ui::TPageControl* page_control);
    void get_opts_on_start();
    // Measuring lays the plug-ins' areas out from 0 with 3-pixel gaps and
    // returns the total width; painting fills and paints each area.
    int paint_status_bar(const ui::TRect& rect, ui::TCanvas* canvas, bool measure);
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
    boost::signals2::connection connect_interface_changed(const std::function<void(bool)>& slot);

protected:
    void after_load_item(System* system, lib::PluginBase* item, int index) override;
    void before_unload_item(lib::PluginBase* item, int index) override;

private:
    PluginData& data_at(int index);
    int index_of_page(const ui::TTabSheet* sheet) const;
    void log_error(const AnsiString& message) const;
    // Forgets a page, form or options control the host freed first.
    void forget(ui::TComponent* component);
    void watch(ui::TComponent* component);
    void destroy_form(PluginData& data);
    class Watcher;

    System* root_;
    std::vector<PluginData> data_;
    RegPlugin* plugin_to_activate_ = nullptr;
    AnsiString work_path_;
    std::unique_ptr<Watcher> watcher_;
};

}  // namespace reg
