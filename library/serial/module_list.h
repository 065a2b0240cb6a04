#pragma once
// The registry of the station's named modules: every component whose
// settings or state the recording hub keeps registers once under a name,
// and the registry saves and loads them all together, to an INI file and as
// one module stream (the hub's "sys.bin").
//
// What the registry does with a module depends on what else the module is,
// found by its run-time type (a cross-cast from lib::ModuleBaseOld, so a
// module that derives ModuleBaseOld and one of the bases below directly is
// found as surely as one of the ready-made combinations):
//
//   also a                    INI save / load                    stream
//   lib::ini_options          ini_options::save / load           -
//   lib::IniSerialData        IniSerialData::save / load         -
//   lib::options_base         options_base::save_to_ini / load   -
//   lib::SerialModuleBase     -                                  its record
//
// A module may be several of these; each applicable action is taken. The
// registry never owns a module.

#include "library/options/ini_options.h"
#include "library/options/ini_serial.h"
#include "library/options/options.h"
#include "library/serial/serializator.h"

#include <map>
#include <string>
#include <vector>

namespace rtl {
class IniFile;
class Stream;
}  // namespace rtl

namespace lib {

class lock_object;

// The base of every module that can be registered.
class ModuleBaseOld {
public:
    ModuleBaseOld() = default;
    // A copy is a module of its own, registered nowhere yet.
    ModuleBaseOld(const ModuleBaseOld&) {}
    ModuleBaseOld& operator=(const ModuleBaseOld&) { return *this; }
    virtual ~ModuleBaseOld();
    bool is_registered() const { return registered_; }

private:
    friend class ModuleList;
    bool registered_ = false;
};

// A module that writes itself into the module stream.
class SerialModule : public virtual ModuleBaseOld, public SerialModuleBase {};

// A module whose options the registry keeps in the INI file.
class OptModule : public virtual ModuleBaseOld, public options_base {};

// A module that is a list kept in one INI section.
class IniCollectModule : public virtual ModuleBaseOld, public IniSerialData {
public:
    explicit IniCollectModule(const char* section) : IniSerialData(section) {}
};

class ModuleList {
public:
    static constexpr int default_version = 1030;

    ModuleList() = default;
    ModuleList(const ModuleList&) = delete;
    ModuleList& operator=(const ModuleList&) = delete;

    int get_version() const { return version_; }

    // The first registration under a name stays: a second module of that
    // name is ignored (and not marked registered). A null module or name is
    // ignored too.
    void register_module(const char* name, ModuleBaseOld* module);
    // Forgets the module under every name it was registered with, so that
    // an owner may delete a module while the registry lives on.
    void unregister_module(ModuleBaseOld* module);
    // The module registered under exactly that name, or null.
    ModuleBaseOld* find(const std::string& name) const;
    int size() const { return static_cast<int>(modules_.size()); }

    // Every module's own sections and keys, in the order of the names; a
    // save reaches the file in one rewrite.
    void save_to_ini(rtl::IniFile* ini);
    void load_from_ini(rtl::IniFile* ini);

    // Appends, in the order of the names, each module that is also a
    // serial module.
    void get_ser_modules(std::vector<SerialModuleBase*>& out) const;

    // Writes the module stream of every serial module, in the order of the
    // names, holding the lock (when given) for the whole write; the records
    // are all built before the first byte is written.
    void serialize(rtl::Stream* stream, lock_object* lock, unsigned param);
    // Reads a module stream into the modules of the same record names. A
    // stream of another version throws "Serializator::deserialize: incorrect
    // version" before any module changes. A damaged record or one a module
    // can't read is reported through on_error (the process error log when it
    // is empty) and the following records are still read.
    void deserialize(rtl::Stream* stream, unsigned param, const Serializator::ErrorCallback& on_error = {});

private:
    int version_ = default_version;
    std::map<std::string, ModuleBaseOld*> modules_;
};

}  // namespace lib
