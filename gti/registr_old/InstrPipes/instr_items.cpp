#include "gti/registr_old/InstrPipes/instr_items.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace instr {

namespace {

int saturate(long long v) { return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v)); }

}  // namespace

const Elem& Items::get(int i) const {
    if (i < 0 || i >= size()) throw std::out_of_range("invalid vector<T> subscript");
    return elements_[static_cast<std::size_t>(i)];
}

Elem& Items::get(int i) {
    if (i < 0 || i >= size()) throw std::out_of_range("invalid vector<T> subscript");
    return elements_[static_cast<std::size_t>(i)];
}

int Items::add_new() {
    elements_.emplace_back();
    return size() - 1;
}

int Items::move_item(int i, int delta) {
    if (i < 0 || i >= size()) return i;
    const long long j = static_cast<long long>(i) + delta;
    if (j < 0 || j >= size()) return i;
    std::swap(elements_[static_cast<std::size_t>(i)], elements_[static_cast<std::size_t>(j)]);
    return static_cast<int>(j);
}

void Items::delete_item(int i) {
    if (i >= 0 && i < size()) elements_.erase(elements_.begin() + i);
}

void Items::copy(Elem& dst, const Elem& src) {
    dst.diameter = src.diameter;
    dst.weight_per_metre = src.weight_per_metre;
    dst.wall = src.wall;
}

const Elem* Items::get_item_by_number(int n) const {
    if (n < 0) return nullptr;
    long long rest = n;
    for (const Elem& e : elements_) {
        rest -= e.count;
        if (rest <= 0) return &e;
    }
    return nullptr;
}

int Items::get_total_count() const {
    long long sum = 0;
    for (const Elem& e : elements_) sum += e.count;
    return saturate(sum);
}

int Items::get_total_pipe_count() const {
    long long sum = 0;
    for (const Elem& e : elements_) sum += static_cast<long long>(e.count) * static_cast<long long>(e.lengths.size());
    return saturate(sum);
}

float Items::get_total_len() const {
    float sum = 0;
    for (const Elem& e : elements_) sum += e.get_len(e.count);
    return sum;
}

float Items::calc_max_diam() const {
    float m = 0;
    for (const Elem& e : elements_) m = std::max(m, e.diameter);
    return m;
}

void Items::set_doloto_diam(float d) {
    for (Elem& e : elements_)
        if (e.type == elem_type::bit) e.diameter = d;
}

void Items::calc_summ(int n, float& len, float& weight) const {
    len = 0;
    weight = 0;
    for (int i = 0; i < size(); ++i) {
        const Elem& e = elements_[static_cast<std::size_t>(i)];
        len += e.get_len(e.count);
        weight += e.get_metal_weight(e.count);
        if (i >= n) break;
    }
}

void Items::calc_misc(int count, int pipes, float depth, CalcResult& r) const {
    r.clear();
    if (count == -1) {
        count = get_total_count();
        pipes = 0;
    }

    // In the hole: whole units from the bottom, then the pipes of the unit
    // being run. A count below zero means none, not negative steel.
    int remaining = std::max(count, 0);
    for (const Elem& e : elements_) {
        const int k = std::max(0, std::min(e.count, remaining));
        r.metal_volume += e.get_metal_volume(k);
        r.volume += e.get_total_volume(k);
        r.weight += e.get_metal_weight(k);
        r.len += e.get_len(k);
        remaining -= k;
        if (remaining <= 0) {
            const float l = e.get_len_pipes(pipes);
            r.metal_volume += e.get_metal_volume(l);
            r.volume += e.get_total_volume(l);
            r.weight += e.get_metal_weight(l);
            r.len += l;
            break;
        }
    }

    // Down to a depth: the top element takes any depth beyond the string.
    float x = depth;
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        const Elem& e = elements_[i];
        const float L = e.get_len(e.count);
        float d = (L > x || i + 1 == elements_.size()) ? x : L;
        if (d < 0) d = 0;
        r.metal_volume_to_depth += e.get_metal_volume(d);
        r.weight_to_depth += e.get_metal_weight(d);
        x -= d;
    }

    for (const Elem& e : elements_) {
        r.total_count += static_cast<float>(e.count);
        r.total_len += e.get_len(e.count);
        r.total_weight += e.get_metal_weight(e.count);
        r.total_volume += e.get_total_volume(e.count);
        r.total_metal_volume += e.get_metal_volume(e.count);
        r.max_diam = std::max(r.max_diam, e.diameter);
    }
}

// An element that narasch may go on filling: a single unit that narasch
// itself typed by its number of pipes and that is still short of a stand.
bool Items::continues_stand(const Elem& e) const {
    const int n = static_cast<int>(e.lengths.size());
    if (e.count != 1 || n < 1 || n >= svecha_size_) return false;
    return e.type == elem_type::single + (n - 1) && e.type <= elem_type::triple_pipe;
}

void Items::narasch(const AnsiString& lengths) {
    Elem parsed;
    parsed.set_len_string(lengths);

    Elem templ;
    if (!elements_.empty()) templ = elements_.back();

    for (float l : parsed.lengths) {
        if (elements_.empty() || !continues_stand(elements_.back())) {
            Elem fresh;
            copy(fresh, templ);
            elements_.push_back(std::move(fresh));
        }
        Elem& top = elements_.back();
        top.lengths.push_back(l);
        const int n = static_cast<int>(top.lengths.size());
        if (n == svecha_size_)
            top.type = elem_type::stand;
        else if (n == 1)
            top.type = elem_type::single;
        else if (n == 2)
            top.type = elem_type::double_pipe;
        else if (n == 3)
            top.type = elem_type::triple_pipe;
        else
            top.type = elem_type::stand;
    }
}

void Items::get_serial_list(lib::serial_list& list, unsigned) {
    if (list.is_writing()) {
        list.write_range_size(elements_.size());
        for (Elem& e : elements_) e.get_serial_list(list);
        list | svecha_size_ | zapor_klapan_;
    } else if (list.is_reading()) {
        // Read aside and taken whole, so a record that fails half-way leaves
        // the tally as it was.
        const int n = list.read_range_size(Elem::min_serial_bytes);
        std::vector<Elem> read(static_cast<std::size_t>(n));
        for (Elem& e : read) e.get_serial_list(list);
        std::int32_t size = svecha_size_;
        bool valve = zapor_klapan_;
        list | size | valve;
        elements_ = std::move(read);
        svecha_size_ = std::clamp(size, 1, max_svecha_size);
        zapor_klapan_ = valve;
    }
}

void Items::set_elems_size(int n) { elements_.resize(static_cast<std::size_t>(std::clamp(n, 0, max_elements))); }

void Items::after_save(rtl::IniFile* ini) { lib::ini_options::save(ini); }

void Items::after_load(rtl::IniFile* ini) { lib::ini_options::load(ini); }

void Items::get_elements_list(lib::ini_options_elements& list) {
    list.add(svecha_size_, section_name, "svecha_size");
    list.add(zapor_klapan_, section_name, "zapor_klapan");
}

void Items::load_additional_info(rtl::IniFile*) { svecha_size_ = std::clamp(svecha_size_, 1, max_svecha_size); }

void Items::durak_protection() {
    for (Elem& e : elements_) {
        if (!(e.diameter >= 0)) e.diameter = 0;
        if (!(e.weight_per_metre >= 0)) e.weight_per_metre = 0;
    }
    svecha_size_ = std::clamp(svecha_size_, 1, max_svecha_size);
}

}  // namespace instr
