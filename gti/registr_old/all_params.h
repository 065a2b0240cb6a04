#pragma once
// AllParams: the registry of every parameter the station knows, configured
// or not: the built-in list with default names, units, channels and scales,
// 64 placeholder rows ("__0" to "__63", group "Входящие") that parameters
// arriving from outside take over, and the rows plug-ins register at run
// time. The parameter table adds parameters from it by global name.
//
// There is one registry in the process, get_all_params(). It also keeps the
// list of fast parameters, read from and written back to "fast_params" in
// the program's folder.
//
// Look-ups by name ignore letter case (Cyrillic folded) without trimming and
// allocate nothing (an index, checked against the rows after each change or
// writable access); a name that occurs twice is found at its first row.
// No locking inside: the hub's lock guards it where plug-ins reach it.

#include <set>
#include <string>
#include <vector>

#include "gti/registr_old/name_index.h"
#include "gti/registr_old/param.h"
#include "platform/rtl/string_list.h"

// One row of the registry.
struct DefaultParam {
    AnsiString name;
    AnsiString short_name;
    AnsiString units;
    AnsiString global_name;
    int channel = -1;
    int averaging = 1;
    int group = 0;  // index into the group names (AllParams::get_group_name)
    float range = 0.0f;
    float zero = 0.0f;
    float min_value = 0.0f;
    float max_value = 0.0f;
    std::uint8_t kind = 0;
    AnsiString extra;  // set only by the thirteen-argument register_param

    // Copies the four names, channel, averaging, range, zero, bounds and
    // kind; the group and the extra text are not copied, and the points and
    // extra data of p stay as they are.
    void assign_to(Param& p) const;
};

// Global names that other modules and the plug-ins refer to.
namespace ParamVars {
extern const char* const h_emk1;
extern const char* const h_emk2;
extern const char* const h_emk3;
extern const char* const h_emk4;
extern const char* const h_emk5;
extern const char* const h_emk6;
extern const char* const h_emk7;
extern const char* const h_emk8;
extern const char* const h_emk9;
extern const char* const h_emk10;
extern const char* const h_emk11;
extern const char* const h_emk12;
extern const char* const h_emk13;
extern const char* const h_emk14;
extern const char* const h_emk15;
extern const char* const h_emk16;
extern const char* const v_emk1;
extern const char* const v_emk2;
extern const char* const v_emk3;
extern const char* const v_emk4;
extern const char* const v_emk5;
extern const char* const v_emk6;
extern const char* const v_emk7;
extern const char* const v_emk8;
extern const char* const v_emk9;
extern const char* const v_emk10;
extern const char* const v_emk11;
extern const char* const v_emk12;
extern const char* const v_emk13;
extern const char* const v_emk14;
extern const char* const v_emk15;
extern const char* const v_emk16;
extern const char* const ob_rot;
extern const char* const nagr;
extern const char* const v_meh;
extern const char* const radio_dens_in;
extern const char* const radio_dens_out;
extern const char* const ud_soprotivl_in;
extern const char* const ud_soprotivl_out;
extern const char* const el_prov_in;
extern const char* const el_prov_out;
}  // namespace ParamVars

class AllParams {
public:
    // The test test_param makes; only has_options_dialog can be true.
    enum ParamTest { has_options_dialog = 0 };

    static constexpr int builtin_count = 159;
    static constexpr int placeholder_count = 64;
    // Incoming parameters take over at most the placeholders "__0".."__31".
    static constexpr int max_incoming = 32;
    static constexpr const char* fast_params_file = "fast_params";

    // Fills the registry (init) and reads the fast list from the program's
    // folder.
    AllParams();
    // Writes the fast list back to "fast_params" in the program's folder;
    // failures are ignored.
    ~AllParams();
    AllParams(const AllParams&) = delete;
    AllParams& operator=(const AllParams&) = delete;

    void init();

    // std::out_of_range "invalid vector<T> subscript" outside the rows.
    DefaultParam& at(int i);
    const DefaultParam& at(int i) const;
    int get_items_count() const { return static_cast<int>(rows_.size()); }
    static AnsiString get_group_name(int index);

    // The first row whose global name equals name ignoring case, else -1.
    int get_param_number(const char* name) const;
    int get_param_number(std::string_view name) const;

    bool test_param(const AnsiString& name, ParamTest test) const;
    void add_digit_params(const AnsiString& name);
    int remove_digit_params(const AnsiString& name);

    // Appends a row; a global name registered before is not checked for,
    // so the new row is never found by name.
    void register_param(const AnsiString& name, const AnsiString& short_name, const AnsiString& units,
                        const AnsiString& global_name, int channel, int averaging, int group, float range, float zero,
                        float min_value, float max_value, char kind);
    // The same in the other order, then sets the extra text of the first row
    // with that global name.
    void register_param(const AnsiString& extra, int channel, int averaging, int group, float range, float zero,
                        float min_value, float max_value, char kind, const AnsiString& global_name,
                        const AnsiString& short_name, const AnsiString& units, const AnsiString& name);
    // Takes over the next placeholder row ("__" and the count of incoming
    // parameters taken), unless 32 are taken already or the global name is
    // registered.
    void add_incoming_param(const AnsiString& name, const AnsiString& short_name, const AnsiString& units,
                            const AnsiString& global_name, int channel, int averaging, int group, float range,
                            float zero, float min_value, float max_value, char kind);
    int get_incoming_count() const { return incoming_count_; }

    // out becomes one Param per row, filled by DefaultParam::assign_to.
    void get_all_params(std::vector<Param>& out) const;

    // The global names of the fast parameters.
    rtl::StringList& fast_params() { return fast_params_; }
    const rtl::StringList& fast_params() const { return fast_params_; }

private:
    void load_fast_params();

    std::set<AnsiString> digit_params_;
    std::vector<DefaultParam> rows_;
    int incoming_count_ = 0;
    rtl::StringList fast_params_;
    NameIndex index_;
};

// The one registry of the process, built on the first call.
AllParams& get_all_params();
