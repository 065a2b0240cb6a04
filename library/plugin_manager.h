#pragma once
// Plug-ins are shared objects exporting the C entry `_reg_plugin`, which takes
// the host's application window handle and returns a new plug-in object (or
// null when the plug-in declines to load). The manager finds them in a
// folder tree, filters them by a list file or by a trailing "_" in the name,
// keeps the objects and deletes them again. Plug-in libraries are never
// unloaded: code of theirs may still be referenced (vtables, callbacks)
// until the process ends.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "library/lock_object.h"

namespace reg {
class System;
}

namespace lib {

using AnsiString = std::string;

class PluginBase {
public:
    virtual ~PluginBase() = default;
    // The folder the plug-in's library was found in, with its separator.
    AnsiString get_path() const { return path_; }
    void set_path(const AnsiString& path) { path_ = path; }

private:
    AnsiString path_;
};

// The entry every plug-in library exports.
using RegPluginEntry = PluginBase* (*)(std::intptr_t application_handle);
inline constexpr const char* reg_plugin_entry_name = "_reg_plugin";

class PluginManager {
public:
    PluginManager() = default;
    virtual ~PluginManager();
    PluginManager(const PluginManager&) = delete;
    PluginManager& operator=(const PluginManager&) = delete;

    // Loads the plug-ins of folder and its sub-folders whose library file
    // name is listed in list_file (letter case ignored) or whose bare name
    // ends with "_"; every library found when the list can't be read.
    // system is handed through to after_load_item; a plug-in for which
    // after_load_item throws is logged, handed to before_unload_item and
    // deleted again (its library stays loaded).
    void load(reg::System* system, const AnsiString& folder, const AnsiString& list_file);
    // Calls before_unload_item for each item in order, then deletes it.
    void free();
    void add(PluginBase* plugin);

    int size() const { return static_cast<int>(items_.size()); }
    // Null for an index outside the list.
    PluginBase* get_item(int index) const;
    int index_of_plugin(const PluginBase* plugin) const;

    // The file mask of plug-in libraries on this system.
    static constexpr const char* library_mask = "*.so";

protected:
    virtual void after_load_item(reg::System* system, PluginBase* plugin, int index);
    virtual void before_unload_item(PluginBase* plugin, int index);

private:
    void drop_last(PluginBase* plugin, int index, const AnsiString& name, const AnsiString& cause);
    static void log_load_failure(const AnsiString& name, const AnsiString& cause);

    std::vector<std::pair<PluginBase*, void*>> items_;
};

// A small text logger: lines of the local date and time, ": " and the
// message, for messages whose level is below the threshold.
class LogBase {
public:
    virtual ~LogBase() = default;
    void add(const AnsiString& message, int level);
    void set_level(int level);

protected:
    virtual void output(const AnsiString& line) = 0;

private:
    lock_object lock_;
    int level_ = 0;
};

// Appends each line to a file (Windows-1251, CR LF), opening and closing it
// per line so that other processes appending to it interleave whole lines.
// A line that cannot be written goes to the process error log.
class SimpleFileLog : public LogBase {
public:
    void set_file_name(const AnsiString& name);
    AnsiString file_name() const;

protected:
    void output(const AnsiString& line) override;

private:
    lock_object name_lock_;
    AnsiString file_name_;
};

// The process-wide log of the plug-in loader.
SimpleFileLog& plugin_log();

// The host's application window handle, given by DurvalibInit.
std::intptr_t application_handle();

}  // namespace lib

extern "C" void DurvalibInit(std::intptr_t handle);
