#pragma once
// For tests only: a drill string small enough to read in a picture or grid.

#include "gti/registr_old/InstrPipes/instr_items.h"

namespace instr::testing {

// A bit and 40 stands of 127 mm pipe, in place of what the list held.
inline void put_short_string(Items& items) {
    items.clear();
    Elem bit;
    bit.type = elem_type::bit;
    bit.lengths = {0.3f};
    bit.diameter = 215.9f;
    items.get(items.add_new()) = bit;
    Elem stands;
    stands.type = elem_type::stand;
    stands.count = 40;
    stands.lengths = {12.5f, 12.5f};
    stands.diameter = 127;
    items.get(items.add_new()) = stands;
}

inline Items short_string() {
    Items items;
    put_short_string(items);
    return items;
}

}  // namespace instr::testing
