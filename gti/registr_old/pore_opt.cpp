#include "gti/registr_old/pore_opt.h"

#include <algorithm>

#include "library/numeric/numeric.h"

namespace pore {

namespace {

struct Segment {
    float top;
    float bottom;
    float diameter;
};

// The first segment whose bottom lies below cur, or null.
const Segment* first_below(const std::vector<Segment>& segments, float cur) {
    for (const Segment& s : segments)
        if (s.bottom > cur) return &s;
    return nullptr;
}

float not_negative(float v) { return v > 0 ? v : 0.0f; }

}  // namespace

bool PoreSection::len_is_null() const { return lib::is_over_null(top - bottom); }

PoreOpt::PoreOpt()
    : options_(std::make_unique<Options>()),
      construction_(std::make_unique<Construction>()),
      instr_(std::make_unique<instr::Items>()) {}

PoreOpt::~PoreOpt() = default;

PoreOpt& PoreOpt::operator=(const PoreOpt& other) {
    if (this == &other) return *this;
    // The options are plain fields below their bases; the module bases
    // (registration) stay each object's own.
    static_cast<BasicPoreOptions&>(*options_) = static_cast<const BasicPoreOptions&>(*other.options_);
    *construction_ = *other.construction_;
    *instr_ = *other.instr_;
    return *this;
}

void PoreOpt::save_additional_info(rtl::IniFile* ini) {
    options_->save_to_ini(ini);
    construction_->lib::IniSerialData::save(ini);
    instr_->lib::IniSerialData::save(ini);  // writes the string's two options after its list
}

void PoreOpt::load_additional_info(rtl::IniFile* ini) {
    options_->load_from_ini(ini);
    construction_->lib::IniSerialData::load(ini);
    instr_->lib::IniSerialData::load(ini);
}

float PoreOpt::get_volume(int count, int pipes, float k) const {
    instr::CalcResult r;
    instr_->calc_misc(count, pipes, instr_->get_total_len(), r);
    return not_negative(construction_->get_volume(k) - r.metal_volume);
}

float PoreOpt::get_zatrub_volume(float depth, float k) const {
    instr::CalcResult r;
    instr_->calc_misc(instr_->get_total_count(), 0, depth, r);
    return not_negative(construction_->get_volume(k) - r.total_volume);
}

void PoreOpt::divide_to_sections(std::vector<PoreSection>& out, float depth, bool with_bit) const {
    out.clear();
    const auto& elements = construction_->elements();
    if (!elements.empty() && depth > elements.back().bottom) depth = elements.back().bottom;

    // The string, laid from the bit upward; ordered from the surface down.
    std::vector<Segment> string;
    float rem = depth;
    for (int i = 0; i < instr_->size(); ++i) {
        const instr::Elem& e = instr_->get(i);
        if (e.type == instr::elem_type::bit && !with_bit) continue;
        const float u = rem - e.get_len(e.count);
        if (u <= 0) {
            string.insert(string.begin(), Segment{0, rem, e.diameter});
            break;
        }
        string.insert(string.begin(), Segment{u, rem, e.diameter});
        rem = u;
    }

    // The construction elements in use, made contiguous.
    std::vector<Segment> bore;
    for (const ConstrElement& e : elements)
        if (e.enabled) bore.push_back({e.top, e.bottom, e.inner_diameter});
    for (std::size_t i = 0; i + 1 < bore.size(); ++i) bore[i].bottom = bore[i + 1].top;

    float cur = 0;
    for (;;) {
        const Segment* s = first_below(string, cur);
        const Segment* c = first_below(bore, cur);
        if (!s && !c) break;
        const float next_s = s ? s->bottom : 0.0f;
        const float next_c = c ? c->bottom : 0.0f;
        float next;
        if (next_s != 0 && next_c != 0)
            next = std::min(next_s, next_c);
        else
            next = next_s != 0 ? next_s : next_c;
        out.push_back({s ? s->diameter : 0.0f, c ? c->diameter : 0.0f, cur, next});
        cur = next;
    }
}

}  // namespace pore
