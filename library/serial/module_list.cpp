#include "library/serial/module_list.h"

#include "library/lock_object.h"
#include "platform/rtl/ini_file.h"

#include <memory>
#include <optional>

namespace lib {

ModuleBaseOld::~ModuleBaseOld() = default;

void ModuleList::register_module(const char* name, ModuleBaseOld* module) {
    if (!name || !module) return;
    auto [it, inserted] = modules_.emplace(name, module);
    if (inserted) module->registered_ = true;
}

void ModuleList::unregister_module(ModuleBaseOld* module) {
    if (!module) return;
    for (auto it = modules_.begin(); it != modules_.end();) {
        if (it->second == module)
            it = modules_.erase(it);
        else
            ++it;
    }
    module->registered_ = false;
}

ModuleBaseOld* ModuleList::find(const std::string& name) const {
    auto it = modules_.find(name);
    return it == modules_.end() ? nullptr : it->second;
}

void ModuleList::save_to_ini(rtl::IniFile* ini) {
    rtl::IniFile::Batch batch(*ini);
    for (const auto& [name, module] : modules_) {
        if (auto* opts = dynamic_cast<ini_options*>(module)) opts->save(ini);
        if (auto* list = dynamic_cast<IniSerialData*>(module)) list->save(ini);
        if (auto* opts = dynamic_cast<options_base*>(module)) opts->save_to_ini(ini);
    }
    batch.commit();
}

void ModuleList::load_from_ini(rtl::IniFile* ini) {
    for (const auto& [name, module] : modules_) {
        if (auto* opts = dynamic_cast<ini_options*>(module)) opts->load(ini);
        if (auto* list = dynamic_cast<IniSerialData*>(module)) list->load(ini);
        if (auto* opts = dynamic_cast<options_base*>(module)) opts->load_from_ini(ini);
    }
}

void ModuleList::get_ser_modules(std::vector<SerialModuleBase*>& out) const {
    for (const auto& [name, module] : modules_)
        if (auto* serial = dynamic_cast<SerialModuleBase*>(module)) out.push_back(serial);
}

void ModuleList::serialize(rtl::Stream* stream, lock_object* lock, unsigned param) {
    std::optional<Locker> hold;
    if (lock) hold.emplace(lock);
    Serializator serializator(version_);
    std::vector<SerialModuleBase*> modules;
    get_ser_modules(modules);
    serializator.serialize(modules, stream, param);
}

void ModuleList::deserialize(rtl::Stream* stream, unsigned param, const Serializator::ErrorCallback& on_error) {
    Serializator serializator(version_);
    std::vector<SerialModuleBase*> modules;
    get_ser_modules(modules);
    serializator.deserialize(modules, stream, param, on_error);
}

}  // namespace lib
