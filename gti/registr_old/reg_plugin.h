#pragma once
// reg::RegPlugin: what a plug-in library hands the hub from its
// `_reg_plugin` entry. The hub's plug-in manager asks it to describe itself
// (fill_plugin_info), writes the table of host callbacks into it and from
// then on calls its virtual operations. A plug-in reaches the hub only
// through that table, the root the manager hands it with the table
// (root()) and the export sys_lock_obj(); the export sys() is for its
// constructor, which runs before anything is handed in.
//
// Binary layout that plug-ins are built against:
//  - the base lib::PluginBase, then the 30 host callback pointers in the
//    order below; the manager zeroes them all and writes each one, and a
//    plug-in never writes them;
//  - 17 virtual slots in the order below (slot 0 the destructor); a plug-in
//    class may add virtual operations of its own after them.
// The defaults are defined in core, so a plug-in that overrides an
// operation binds to nothing, and one that does not binds to core's.
//
// Locking: every callback but 18, 24, 27, 28 and 29 takes the hub lock
// (sys_lock_obj(), recursive) for its whole duration, so a plug-in need not
// hold it around a call, and one that holds it already (through a
// HostObject) may still call. Indexes, sample numbers and pointers that a
// plug-in passes are checked: anything outside gives 0 (or nothing).

#include "gti/registr_old/InstrPipes/instr_elem.h"
#include "gti/registr_old/values.h"
#include "library/plugin_manager.h"

#include <any>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ParTabl;
struct CommIncomData;
namespace lib {
class options_base;
}
namespace ui {
class TControl;
class TCanvas;
class TForm;
struct TRect;
}  // namespace ui

using AnsiString = std::string;

namespace reg {

class System;

// What a plug-in tells about itself; cleared before each use.
struct PluginInfo {
    // Flags.
    static constexpr int has_page = 0x01;        // a page in the main page control
    static constexpr int has_menu = 0x02;        // an item in the options menu
    static constexpr int fixed_size = 0x04;      // form keeps its size, centred
    static constexpr int record_by_time = 0x10;  // switches recording to "by time"

    AnsiString title;        // page caption, name in exception messages
    AnsiString module_name;  // module key, name for find() and the error log
    AnsiString menu_caption;
    int page_visible = 0;  // 1 shows the page's tab
    int flags = 0;

    void clear() { *this = PluginInfo(); }
};

// Events handed to RegPlugin::event. The hub itself sends only pe_options
// (from the options menu, empty payload); the station host sends the others
// through RegPluginManager::call_event with payloads of its choosing.
enum PluginEventType : int {
    pe_options = 1,
    pe_params_changed = 2,
    pe_refresh = 3,
    // The host's question at the end of its run: which of the plug-in's
    // files are still unwritten. Payload std::vector<std::string>*: each
    // plug-in adds one "<file>: <cause>" per file.
    pe_unwritten_files = 4,
};

// A hub object handed out by name, with the hub lock's lock and unlock; the
// plug-in holds the lock around its use of the object. All three are null
// when the object is not available.
struct HostObject {
    void* object = nullptr;
    void (*lock)() = nullptr;
    void (*unlock)() = nullptr;
};

// Drill-string elements handed to a plug-in, one per physical unit.
class InstrElements {
public:
    void clear() { items_.clear(); }
    int size() const { return static_cast<int>(items_.size()); }
    // A copy; an index outside the list gives a default element.
    instr::Elem get_element(int i) const;
    void add(const instr::Elem& e) { items_.push_back(e); }

private:
    std::vector<instr::Elem> items_;
};

// One remark as a plug-in receives it. An empty text marks a remark the
// operator deleted, so that the plug-in can remove its own copy.
struct TextRemark {
    AnsiString text;
    std::uint32_t time = 0;  // station unix time
    double depth = 0;        // the remarks store keeps none: 0
};

// The argument of host_get_text_remarks: depth bounds and the caller's list.
struct TextRemarksQuery {
    double lower_depth = 0;
    double upper_depth = 0;
    std::vector<TextRemark>* list = nullptr;
};

class RegPlugin : public lib::PluginBase {
public:
    RegPlugin();

    // ---- host callbacks, written by the manager (order is the layout) ----
    double (*host_get_value)(const char* name);                                // 0
    void (*host_set_value)(const char* name, double value);                    // 1
    void (*host_correct_interface)();                                          // 2
    void (*host_enum_values)(std::vector<ValueParam>& out, bool with_params);  // 3
    bool (*host_get_param)(const AnsiString& name, ValueParam& out);           // 4
    bool (*host_find_param)(const AnsiString& name);                           // 5
    int (*host_get_operation)();                                               // 6
    void (*host_register_value)(const char* name, const char* title, const char* unit, ValueType type,
                                const std::function<double()>& getter);             // 7
    double (*host_call_function1)(const char* name, double a);                      // 8
    double (*host_call_function2)(const char* name, double a, double b);            // 9
    double (*host_call_function3)(const char* name, double a, double b, double c);  // 10
    void (*host_set_variable)(const char* name, const AnsiString& value);           // 11
    AnsiString (*host_get_variable)(const char* name);                              // 12
    double (*host_get_float_variable)(const char* name);                            // 13
    bool (*host_get_reg_active)();                                                  // 14
    unsigned char (*host_get_crush_flag)(const AnsiString& param);                  // 15
    void (*host_set_plugin_active)(RegPlugin* plugin);                              // 16
    int (*host_get_view_records_size)();                                            // 17
    double (*host_get_view_value)(int kind, int a, int b);                          // 18
    int (*host_get_param_number)(const char* text);                                 // 19
    void (*host_enum_variables)(std::vector<AnsiString>& out);                      // 20
    void (*host_add_log)(const AnsiString& text);                                   // 21
    void (*host_get_text_remarks)(std::uint32_t from_time, std::uint32_t to_time,
                                  TextRemarksQuery query);              // 22
    void (*host_add_error)(RegPlugin* plugin, const AnsiString& text);  // 23
    void (*host_call_rect_callback)();                                  // 24
    void (*host_get_instr_elements)(InstrElements& out);                // 25
    void (*host_get_par_tabl)(ParTabl& out);                            // 26
    void (*host_reserved)();                                            // 27
    void (*host_add_comparsion)(const char* name, lib::options_base& old_opts,
                                lib::options_base& new_opts);  // 28
    HostObject (*host_get_object)(const char* name);           // 29

    static constexpr int host_callback_count = 30;

    // ---- virtual operations, in slot order --------------------------------
    ~RegPlugin() override;  // 0
    // No options page unless a plug-in offers one.
    virtual ui::TControl* get_opt_control();                                                    // 1
    virtual void set_opt_control(ui::TControl* control);                                        // 2
    virtual void fill_plugin_info(PluginInfo& info) = 0;                                        // 3
    virtual void start_registration(int race_num, bool load);                                   // 4
    virtual void stop_registration();                                                           // 5
    virtual void data();                                                                        // 6
    virtual void options();                                                                     // 7
    virtual void show(bool first);                                                              // 8
    virtual void init();                                                                        // 9
    virtual void finalize();                                                                    // 10
    virtual void event(PluginEventType type, const std::any& payload);                          // 11
    virtual ui::TForm* get_form();                                                              // 12
    virtual void before_new_pore();                                                             // 13
    virtual bool send_data_to_pult(AnsiString& header, std::vector<char>& data);                // 14
    virtual void adc_data(CommIncomData* data);                                                 // 15
    virtual int paint_on_status_bar(const ui::TRect& rect, ui::TCanvas* canvas, bool measure);  // 16

    // Zeroes all 30 callback pointers (the manager does, then writes them).
    void clear_host_callbacks();

    // The hub's root, handed in by the manager with the callback table, so
    // before init; null in a plug-in no manager loaded. After the table in
    // the layout: the callbacks keep their places.
    System* root() const { return root_; }
    void set_root(System* root) { root_ = root; }

private:
    System* root_ = nullptr;
};

// Writes core's callbacks into a plug-in's table.
void set_host_callbacks(RegPlugin& plugin);

}  // namespace reg

// Plug-in libraries export `extern "C" lib::PluginBase* _reg_plugin(std::intptr_t)`
// (lib::RegPluginEntry): the host's application window handle in, a new
// plug-in object out, null to decline.
