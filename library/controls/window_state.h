#pragma once
// Window state kept in INI files between runs: a form's place, size and
// state, the recent entries of a combo box, the order and widths of a cool
// bar's bands. The caller opens the INI file and names the section; each
// function touches only its own keys (save_cool_bar the whole section).
//
// Keys: "top", "left", "width", "height" (the form's restored rectangle,
// also while it is maximised) and "state" (0 normal, 1 minimised, 2
// maximised); control name + "->Items" (the box's entries as comma text)
// and control name + "->Text", both written in double quotes; "CoolBand0",
// "CoolBand1", ...: the band control's name, its break flag, its visible
// flag and its width, separated by blanks.
//
// What is read back never hides a window: a stored state outside 0..2 is
// ignored, a size of 0 or less keeps the form's own, and the rectangle is
// kept on the screen's work area. A combo box keeps at most 15 entries,
// however many the file lists.

#include <string>

#include "platform/rtl/ini_file.h"
#include "platform/ui/cool_bar.h"
#include "platform/ui/forms.h"
#include "platform/ui/lists.h"

namespace lib {

using AnsiString = std::string;

// The most entries a combo box's history keeps.
constexpr int kComboHistory = 15;

void save_window_pos(ui::TCustomForm* form, const AnsiString& section, rtl::IniFile* ini);
void load_window_pos(ui::TCustomForm* form, const AnsiString& section, rtl::IniFile* ini);

// Puts the box's trimmed text first in its entries (once; an entry equal to
// it in any letter case goes) and stores the entries, with with_text also
// the text. A text that is empty after trimming stores nothing.
void store_last_cb_values(rtl::IniFile* ini, ui::TComboBox* box, const AnsiString& section, bool with_text);
// The entries back (missing: as they are), with with_text also the text
// (missing: empty).
void restore_last_cb_values(rtl::IniFile* ini, ui::TComboBox* box, const AnsiString& section, bool with_text);

// Bands without a control are not stored.
void save_cool_bar(ui::TCoolBar* bar, rtl::IniFile* ini, const AnsiString& section);
// The stored bands move behind the others in their stored order, lose their
// break and take their visibility and width; names that match no band are
// passed over.
void load_cool_bar(ui::TCoolBar* bar, rtl::IniFile* ini, const AnsiString& section);

}  // namespace lib
