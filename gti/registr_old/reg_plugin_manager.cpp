#include "gti/registr_old/reg_plugin_manager.h"

#include "gti/registr_old/config.h"
#include "gti/registr_old/err_log.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/values.h"
#include "library/serial/module_list.h"
#include "platform/os/error_log.h"
#include "platform/ui/forms.h"
#include "platform/ui/pages.h"

#include <algorithm>
#include <exception>

namespace reg {

RegPluginManager::RegPluginManager(System* root) : root_(root) {}

// Told when a page, form or options control the manager refers to is freed
// by someone else (the host's page control takes its sheets and their forms
// with it), so that free() never deletes a form twice.
class RegPluginManager::Watcher : public ui::TComponent {
public:
    explicit Watcher(RegPluginManager& owner) : ui::TComponent(nullptr), owner_(owner) {}
    ~Watcher() override {
        for (ui::TComponent* c : watched_) c->RemoveFreeNotification(this);
    }
    void watch(ui::TComponent* c) {
        if (!c || std::find(watched_.begin(), watched_.end(), c) != watched_.end()) return;
        watched_.push_back(c);
        c->FreeNotification(this);
    }
    void unwatch(ui::TComponent* c) {
        auto it = std::find(watched_.begin(), watched_.end(), c);
        if (it == watched_.end()) return;
        watched_.erase(it);
        c->RemoveFreeNotification(this);
    }

protected:
    void Notification(ui::TComponent* c, ui::TOperation op) override {
        if (op != ui::opRemove) return;
        watched_.erase(std::remove(watched_.begin(), watched_.end(), c), watched_.end());
        owner_.forget(c);
    }

private:
    RegPluginManager& owner_;
    std::vector<ui::TComponent*> watched_;
};

void RegPluginManager::watch(ui::TComponent* component) {
    if (!watcher_) watcher_ = std::make_unique<Watcher>(*this);
    watcher_->watch(component);
}

void RegPluginManager::forget(ui::TComponent* component) {
    for (PluginData& d : data_) {
        if (d.page == component) d.page = nullptr;
        if (d.form == component) d.form = nullptr;
        if (d.opt_control == component) d.opt_control = nullptr;
    }
}

void RegPluginManager::destroy_form(PluginData& d) {
    ui::TForm* form = d.form;
    d.form = nullptr;
    if (!form) return;
    if (watcher_) watcher_->unwatch(form);
    delete form;
}

RegPluginManager::~RegPluginManager() {
    // The base's destructor would free too, but by then this class's hooks
    // are gone: the modules must be unregistered and the forms destroyed
    // while this object still stands.
    free();
}

void RegPluginManager::free() {
    plugin_to_activate_ = nullptr;
    lib::PluginManager::free();
    data_.clear();
}

RegPlugin* RegPluginManager::get_item(int index) const {
    return static_cast<RegPlugin*>(lib::PluginManager::get_item(index));
}

void RegPluginManager::get_plugin_info(RegPlugin* plugin, PluginInfo& info) {
    info.clear();
    plugin->fill_plugin_info(info);
}

RegPluginManager::PluginData& RegPluginManager::data_at(int index) {
    if (static_cast<std::size_t>(index) >= data_.size()) data_.resize(static_cast<std::size_t>(index) + 1);
    return data_[static_cast<std::size_t>(index)];
}

const RegPluginManager::PluginData* RegPluginManager::get_plugin_data(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= data_.size()) return nullptr;
    return &data_[static_cast<std::size_t>(index)];
}

void RegPluginManager::after_load_item(System* system, lib::PluginBase* item, int index) {
    if (!system) system = root_;
    auto* plugin = static_cast<RegPlugin*>(item);
    data_at(index);

    PluginInfo info;
    get_plugin_info(plugin, info);
    if (system && (info.flags & PluginInfo::record_by_time)) system->get_config().time_step = 1;
    if (auto* module = dynamic_cast<lib::ModuleBaseOld*>(item); module && system)
        system->get_module_list().register_module(info.module_name.c_str(), module);
    set_host_callbacks(*plugin);
    plugin->set_root(system);
}

void RegPluginManager::before_unload_item(lib::PluginBase* item, int index) {
    // A module list that outlives the plug-in must not keep a dangling entry.
    if (auto* module = dynamic_cast<lib::ModuleBaseOld*>(item); module && root_)
        root_->get_module_list().unregister_module(module);
    if (index >= 0 && static_cast<std::size_t>(index) < data_.size()) {
        destroy_form(data_[static_cast<std::size_t>(index)]);
    }
    if (plugin_to_activate_ == item) plugin_to_activate_ = nullptr;
}

void RegPluginManager::set_workpath(const AnsiString& path) {
    work_path_ = path;
    if (root_) root_->get_values().set_variable("work_path", path);
}

RegPlugin* RegPluginManager::find(const AnsiString& name) const {
    for (int i = 0; i < size(); ++i) {
        RegPlugin* plugin = get_item(i);
        PluginInfo info;
        get_plugin_info(plugin, info);
        if (info.module_name == name) return plugin;
    }
    return nullptr;
}

void RegPluginManager::log_error(const AnsiString& message) const {
    if (root_)
        root_->get_err_log().add(message);
    else
        os::log_error(message);
}

void RegPluginManager::for_each(const std::function<void(RegPlugin*)>& f) {
    for (int i = 0; i < size(); ++i) {
        RegPlugin* plugin = get_item(i);
        if (!plugin) continue;
        PluginInfo info;
        try {
            get_plugin_info(plugin, info);
            if (!f) throw std::bad_function_call();
            f(plugin);
        } catch (const std::exception& e) {
            log_error(AnsiString("Исключение \"") + e.what() + "\" в модуле \"" + info.title + "\"");
        } catch (...) {
            log_error("Неизвестное исключение в модуле \"" + info.title + "\"");
        }
    }
}

void RegPluginManager::call_event(PluginEventType type, const std::any& payload) {
    for (int i = 0; i < size(); ++i) get_item(i)->event(type, payload);
}

void RegPluginManager::correct_interface() {
    bool changed = false;
    for (int i = 0; i < size(); ++i) {
        PluginInfo info;
        get_plugin_info(get_item(i), info);
        if (!(info.flags & PluginInfo::has_page)) continue;
        ui::TTabSheet* page = data_at(i).page;
        if (!page) continue;  // the host has not built the pages yet
        bool visible = info.page_visible != 0;
        ui::TPageControl* control = page->PageControl();
        if (control && control->ActivePage() == page && page->TabVisible() != visible) changed = true;
        page->SetTabVisible(visible);
        page->SetCaption(info.title);
    }
    interface_changed(changed);
}

void RegPluginManager::before_show() {
    RegPlugin* wanted = plugin_to_activate_;
    plugin_to_activate_ = nullptr;
    if (!wanted || !show_page_callback) return;
    int index = index_of_plugin(wanted);
    if (index < 0) return;
    show_page_callback(data_at(index).page);
}

void RegPluginManager::call_rect_callback(const ui::TRect& rect) {
    if (rect_callback) rect_callback(rect);
}

}  // namespace reg
