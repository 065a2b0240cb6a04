#include "library/plugin_manager.h"

#include <atomic>
#include <cstring>

#include "library/file_finder.h"
#include "platform/os/dynlib.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/os/paths.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/string_list.h"

namespace lib {
namespace {

std::atomic<std::intptr_t> g_application_handle{0};

AnsiString bare_name(const AnsiString& name) {
    auto dot = name.rfind('.');
    return dot == AnsiString::npos ? name : name.substr(0, dot);
}

}  // namespace

std::intptr_t application_handle() { return g_application_handle.load(); }

PluginManager::~PluginManager() { free(); }

void PluginManager::load(reg::System* system, const AnsiString& folder, const AnsiString& list_file) {
    rtl::StringList list;
    bool have_list = false;
    try {
        list.LoadFromFile(list_file);
        have_list = true;
    } catch (...) {
        // No list: every library of the folder tree is tried.
    }

    FileFinder finder;
    finder.find(check_path_string(folder) + library_mask, 0, true);

    int index = 0;
    for (const auto& found : finder.files) {
        const AnsiString& name = found.name;
        AnsiString bare = bare_name(name);
        bool wanted = !have_list || list.IndexOf(name) >= 0 || (!bare.empty() && bare.back() == '_');
        if (!wanted) continue;

        void* handle = os::library_open(found.path + name);
        if (!handle) continue;
        auto entry = reinterpret_cast<RegPluginEntry>(os::library_symbol(handle, reg_plugin_entry_name));
        if (!entry) {
            os::library_close(handle);
            continue;
        }
        PluginBase* plugin = nullptr;
        try {
            plugin = entry(application_handle());
        } catch (...) {
            log_load_failure(name, "");
            plugin = nullptr;
        }
        if (!plugin) continue;  // the library stays loaded
        plugin->set_path(found.path);
        items_.emplace_back(plugin, handle);
        try {
            after_load_item(system, plugin, index);
        } catch (const std::exception& e) {
            drop_last(plugin, index, name, e.what());
            continue;
        } catch (...) {
            drop_last(plugin, index, name, "");
            continue;
        }
        ++index;
    }
}

// A plug-in whose hook failed half-way (it could not even describe itself)
// would stay in the list with its host table unwritten, and its first call
// back into the host would jump through a null pointer: it is taken out and
// deleted again, and the failure logged like a failed entry.
void PluginManager::drop_last(PluginBase* plugin, int index, const AnsiString& name, const AnsiString& cause) {
    log_load_failure(name, cause);
    items_.pop_back();
    try {
        before_unload_item(plugin, index);
    } catch (...) {}
    try {
        delete plugin;
    } catch (...) {}
}

void PluginManager::log_load_failure(const AnsiString& name, const AnsiString& cause) {
    SimpleFileLog& log = plugin_log();
    log.set_file_name(os::program_dir() + "/registr.errors.log");
    log.set_level(1);
    log.add("!!!! Ошибка при загрузке модуля " + name + (cause.empty() ? "" : " (" + cause + ")"), 0);
}

void PluginManager::free() {
    // Detach the list first so a hook that reaches back into the manager
    // never sees half-deleted items.
    auto items = std::move(items_);
    items_.clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        PluginBase* plugin = items[i].first;
        try {
            before_unload_item(plugin, static_cast<int>(i));
        } catch (const std::exception& e) {
            os::log_error(std::string("PluginManager::free: ") + e.what());
        } catch (...) {
            os::log_error("PluginManager::free: unknown exception");
        }
        delete plugin;
    }
}

void PluginManager::add(PluginBase* plugin) { items_.emplace_back(plugin, nullptr); }

PluginBase* PluginManager::get_item(int index) const {
    if (index < 0 || index >= size()) return nullptr;
    return items_[static_cast<std::size_t>(index)].first;
}

int PluginManager::index_of_plugin(const PluginBase* plugin) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].first == plugin) return static_cast<int>(i);
    return -1;
}

void PluginManager::after_load_item(reg::System*, PluginBase*, int) {}
void PluginManager::before_unload_item(PluginBase*, int) {}

void LogBase::add(const AnsiString& message, int level) {
    Locker guard(&lock_);
    if (level >= level_) return;
    output(rtl::DateTimeToStr(rtl::Now()) + ": " + message);
}

void LogBase::set_level(int level) {
    Locker guard(&lock_);
    level_ = level;
}

void SimpleFileLog::set_file_name(const AnsiString& name) {
    Locker guard(&name_lock_);
    file_name_ = name;
}

AnsiString SimpleFileLog::file_name() const {
    Locker guard(const_cast<lock_object*>(&name_lock_));
    return file_name_;
}

void SimpleFileLog::output(const AnsiString& line) {
    AnsiString name = file_name();
    if (name.empty()) return;
    std::string bytes = rtl::utf8_to_cp1251(line) + "\r\n";
    // One append write keeps lines of several processes whole.
    os::AppendOptions options;
    options.permissions = 0644;
    if (int err = os::append_file(name, bytes, options); err != 0)
        os::log_error("SimpleFileLog: can't write '" + name + "' (" + std::strerror(err) + "): " + line);
}

SimpleFileLog& plugin_log() {
    // Never destroyed: plug-ins may log while static objects are torn down.
    static SimpleFileLog* log = new SimpleFileLog;
    return *log;
}

}  // namespace lib

extern "C" void DurvalibInit(std::intptr_t handle) { lib::g_application_handle.store(handle); }
