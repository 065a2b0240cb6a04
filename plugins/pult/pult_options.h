#pragma once
// PultOptions: what the operator chose for the driller's console, kept in
// the station's options INI file in the plug-in's own section.

#include <cstdint>
#include <string>

namespace lib {
class ini_options_elements;
}

using AnsiString = std::string;

// How the degasser is driven.
enum DegazContType : std::int32_t {
    dct_auto = 1,    // by the mud pressure
    dct_manual = 2,  // switched by the operator
};

namespace pult {
// The INI section of the options, which is also the plug-in's module name.
constexpr const char* options_section = "PultPlugin";
// The phrase that stands for the current time on the console's line.
constexpr const char* time_placeholder = "* ТЕКУЩЕЕ ВРЕМЯ *";
// The phrases offered for the text line, as a comma list.
AnsiString default_text_variants();
}  // namespace pult

struct PultOptions {
    bool degaz_on = false;
    bool have_to_send_indi = false;
    DegazContType degaz_cont_type = dct_auto;
    AnsiString text_variants = pult::default_text_variants();
    AnsiString text;
    // Empty, "wob_optim.pult_text", "ds.depth_z", "ds.depth_cur" or a
    // parameter's global name.
    AnsiString text_param;
    int light = 7;
    std::int32_t indi_depth = 1;
    std::int32_t indi_gaz = 0;
    int indi_level = 1;
    int indi_plotn = 1;
    bool use_volt_check = true;

    // Binds every key into the list, section "PultPlugin", in the stored order.
    void bind(lib::ini_options_elements& list);
};
