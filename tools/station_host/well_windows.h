#pragma once
// The host's windows for the well data and the parameters the hub keeps:
// the drill-string tally's settings window (its options frame with OK and
// Cancel), the picture of the well with its construction, the string and
// the sections the cementing calculations use, and the parameters that
// have a settings window of their own.

#include <string>
#include <vector>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/pore_opt.h"

class ParTabl;

namespace station_host {

// Modal; true when closed with OK, `items` then holding the edited tally.
bool edit_drill_string(instr::Items& items);

// Modal: the well drawn with its construction and string, and its sections
// from the surface down, the string hanging from the surface.
void show_well(const pore::PoreOpt& well);

// The positions in `table` of the parameters that have a settings window.
std::vector<int> params_with_window(const ParTabl& table);

}  // namespace station_host
