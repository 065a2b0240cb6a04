#pragma once
// The well profile the monitor draws: the well's sections with neighbours
// of the same diameters merged, checked and copied top down.

#include <vector>

#include "gti/registr_old/pore_opt.h"

struct SectionsResultItem {
    float outer_diameter = 0;
    float inner_diameter = 0;
    float top = 0;
    float bottom = 0;
};

struct SectionsResult {
    std::vector<SectionsResultItem> items;
    float extra = 0;
};

namespace cement {
// Neighbours whose two diameters differ by less than 0.01 become one; a
// trailing run shorter than 0.01 m is dropped.
void merge_sections(std::vector<pore::PoreSection>& sections);
}  // namespace cement

// Throws std::runtime_error "Общая длина всех секций = 0" or "Внешний
// диаметр секции = 0" (the items before that section stay).
void Cement_calc(const std::vector<pore::PoreSection>& sections, SectionsResult& result);
