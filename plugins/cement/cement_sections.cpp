#include "plugins/cement/cement_sections.h"

#include <cmath>
#include <stdexcept>

#include "library/numeric/numeric.h"

namespace cement {

void merge_sections(std::vector<pore::PoreSection>& sections) {
    if (sections.empty()) return;
    std::vector<pore::PoreSection> merged;
    pore::PoreSection run = sections.front();
    for (const pore::PoreSection& s : sections) {
        if (std::fabs(s.instr_diam - run.instr_diam) >= 0.01f || std::fabs(s.pore_diam - run.pore_diam) >= 0.01f) {
            merged.push_back(run);
            run.instr_diam = s.instr_diam;
            run.pore_diam = s.pore_diam;
            run.top = s.top;
        }
        run.bottom = s.bottom;
    }
    if (std::fabs(run.bottom - run.top) >= 0.01f) merged.push_back(run);
    sections = std::move(merged);
}

}  // namespace cement

void Cement_calc(const std::vector<pore::PoreSection>& sections, SectionsResult& result) {
    result.items.clear();
    double length = 0;
    for (const pore::PoreSection& s : sections) length += s.bottom - s.top;
    if (lib::is_over_null(length)) throw std::runtime_error("Общая длина всех секций = 0");
    for (const pore::PoreSection& s : sections) {
        if (lib::is_over_null(s.pore_diam)) throw std::runtime_error("Внешний диаметр секции = 0");
        result.items.push_back({s.pore_diam, s.instr_diam, s.top, s.bottom});
    }
}
