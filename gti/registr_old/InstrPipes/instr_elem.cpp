#include "gti/registr_old/InstrPipes/instr_elem.h"

#include <algorithm>
#include <cmath>

#include "library/number_conv.h"
#include "library/serial/serial_list.h"
#include "library/string_container.h"
#include "library/text_conv.h"
#include "platform/rtl/string_list.h"

namespace instr {

namespace {

constexpr double pi = 3.141592653589793;

const std::map<ElemType, AnsiString> elem_types = {
    {elem_type::none, "НЕТ"},
    {elem_type::bit, "Долото"},
    {elem_type::motor, "Двигатель"},
    {elem_type::collar, "УБТ"},
    {elem_type::alloy_pipe, "ЛБТ"},
    {elem_type::telemetry, "Телесист."},
    {elem_type::stand, "Свеча"},
    {elem_type::single, "Одиночка"},
    {elem_type::double_pipe, "Двухтрубка"},
    {elem_type::triple_pipe, "Трёхтрубка"},
    {elem_type::sub, "Переводник"},
    {elem_type::centralizer, "Центратор"},
    {elem_type::stabilizer, "Калибратор"},
};

}  // namespace

const std::map<ElemType, AnsiString>& get_elem_types() { return elem_types; }

AnsiString Elem::get_name() const {
    auto it = elem_types.find(type);
    return it == elem_types.end() ? AnsiString("Другое") : it->second;
}

void Elem::set_name(const AnsiString& name) {
    for (const auto& [key, text] : elem_types) {
        if (text == name) {
            type = key;
            return;
        }
    }
}

AnsiString Elem::get_len_string() const {
    AnsiString out;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (i) out += " + ";
        out += lib::float_to_str(lengths[i], 2, -1);
    }
    return out;
}

void Elem::set_len_string(const AnsiString& text) {
    lengths.clear();
    rtl::StringList words;
    lib::parse_to_words(text, words, '+');
    for (const auto& w : words) {
        // A length past what a float holds is as bad as one that is no
        // number: an infinite pipe makes every sum of the string nonsense.
        const float l = static_cast<float>(lib::str_to_float(w, 0));
        lengths.push_back(std::isfinite(l) ? l : 0.0f);
    }
}

void Elem::set_to_string(AnsiString& out) const {
    lib::StringContainer c;
    c.add(static_cast<int>(count));
    c.add(static_cast<int>(type));
    c.add(static_cast<double>(diameter));
    c.add(static_cast<double>(weight_per_metre));
    c.add(static_cast<double>(wall));
    c.add(static_cast<int>(lengths.size()));
    for (float l : lengths) c.add(static_cast<double>(l));
    out = c.get_space_text();
}

void Elem::get_from_string(const AnsiString& in) {
    lib::StringContainer c;
    c.set_space_text(in, ' ');
    count = c.get_int(-1, 0);
    type = c.get_int(-1, 0);
    diameter = static_cast<float>(c.get_float(-1));
    weight_per_metre = static_cast<float>(c.get_float(-1));
    wall = static_cast<float>(c.get_float(-1));
    int n = c.get_int(-1, 0);
    // A negative count means no lengths; a count past any real unit takes
    // only the lengths the line actually holds.
    if (n < 0) n = 0;
    if (n > max_stored_lengths) n = std::max(0, std::min(n, c.size() - 6));
    lengths.assign(static_cast<std::size_t>(n), 0.0f);
    for (float& l : lengths) l = static_cast<float>(c.get_float(-1));
}

float Elem::get_len(int n) const {
    if (n == -1) n = count;
    double sum = 0;
    for (float l : lengths) sum += l;
    return static_cast<float>(n * sum);
}

float Elem::get_len_pipes(int k) const {
    double sum = 0;
    const std::size_t take = k <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(k), lengths.size());
    for (std::size_t i = 0; i < take; ++i) sum += lengths[i];
    return static_cast<float>(sum);
}

namespace {

// Outer and inner cross-sections in square metres, each rounded to single
// precision as the tally has always stored them.
struct Areas {
    float outer;
    float inner;
};

Areas areas(const Elem& e) {
    const float D = static_cast<float>(e.diameter * 0.001);
    const float d = static_cast<float>((e.diameter - 2 * e.wall) * 0.001);
    return {static_cast<float>(static_cast<double>(D) * D * pi * 0.25),
            static_cast<float>(static_cast<double>(d) * d * pi * 0.25)};
}

}  // namespace

float Elem::get_metal_volume(float length) const {
    const Areas a = areas(*this);
    const float ring = a.outer - a.inner;
    return static_cast<float>(static_cast<double>(ring) * length);
}

float Elem::get_total_volume(float length) const {
    return static_cast<float>(static_cast<double>(areas(*this).outer) * length);
}

float Elem::get_metal_weight(float length) const { return length * weight_per_metre; }

void Elem::get_serial_list(lib::serial_list& list) {
    list | count | type | lengths | diameter | weight_per_metre | wall;
}

bool Elem::have_to_be_counted() const { return type >= elem_type::motor && type <= elem_type::stand; }

}  // namespace instr
