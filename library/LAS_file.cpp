#include "library/LAS_file.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <stdexcept>

#include "library/file_finder.h"
#include "library/mapped_file.h"
#include "library/text_conv.h"
#include "platform/os/file.h"
#include "platform/os/memory.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/rtl/utf8.h"

namespace lib::las {

namespace {

const char* const kLineEnd = "\r\n";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_view(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// The first character that is not a blank, or 0.
char first_non_blank(std::string_view line) {
    for (char c : line)
        if (!is_blank(c)) return c;
    return 0;
}

std::string lower(const std::string& s) {
    std::string out;
    lib::convert_to_lower(s, out);
    return out;
}

void write_text(std::ostream& out, std::string_view utf8) {
    std::string bytes = rtl::utf8_to_cp1251(utf8);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void write_blanks(std::ostream& out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out.put(' ');
}

// The shortest text that reads back as the same double: -9999, -999.25.
std::string shortest(double value) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (r.ec != std::errc()) return "0";
    return std::string(buffer, r.ptr);
}

// Plain decimal text, nearly all of a log: an optional minus, digits, and
// optionally a point and more digits. When the digits make an integer of at
// most 2^53, both that integer and the power of ten of its decimals (at most
// 10^19 here) are exact doubles, so their quotient, rounded once by the
// division, is the nearest double to the text: the very value
// std::from_chars gives, found without its general machinery. Returns where
// the number's text ends, or null when the text at p does not start with
// such a number (a token may go on after the end returned: the caller
// looks).
//
// Up to eight digits are taken at once where eight bytes of the line are
// left: a log's numbers are short, and a digit at a time costs a
// mispredicted branch at each number's end.
inline std::uint64_t add_digits(const char*& p, const char* e, std::uint64_t mantissa) {
    while (e - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        // A byte is a digit when its high half is 3 and adding 6 keeps it so.
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL, kThrees = 0x3030303030303030ULL;
        const std::uint64_t other = ((word & kHigh) ^ kThrees) | (((word + 0x0606060606060606ULL) & kHigh) ^ kThrees);
        const int count = other ? std::countr_zero(other) / 8 : 8;
        if (count == 0) return mantissa;
        // The digits as a number: they move to the top bytes, zeros before.
        std::uint64_t d = (word - kThrees) << (8 * (8 - count));
        d = d * 10 + (d >> 8);
        d = (((d & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
             (((d >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
            32;
        static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
        mantissa = mantissa * kScale[count] + d;
        p += count;
        if (count < 8) return mantissa;
    }
    while (p < e && static_cast<unsigned>(*p - '0') < 10) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    return mantissa;
}

inline const char* scan_plain_decimal(const char* p, const char* e, double& value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    const bool negative = p < e && *p == '-';
    if (negative) ++p;
    const char* const int_start = p;
    std::uint64_t mantissa = add_digits(p, e, 0);
    const std::ptrdiff_t int_digits = p - int_start;
    if (int_digits == 0) return nullptr;
    std::ptrdiff_t decimals = 0;
    if (p < e && *p == '.') {
        const char* const frac_start = ++p;
        mantissa = add_digits(p, e, mantissa);
        decimals = p - frac_start;
    }
    // More than 19 digits may have wrapped the integer around.
    if (int_digits + decimals > 19 || mantissa > (std::uint64_t{1} << 53)) return nullptr;
    double v = static_cast<double>(mantissa);
    if (decimals > 0) v /= kPowers[decimals];
    value = negative ? -v : v;
    return p;
}

// Any other number text: std::from_chars for what starts like a decimal
// number (which is what the general reader does with it too after checking
// its form), the general reader for the rest (a comma, a plus sign, a value
// out of range).
[[gnu::noinline]] bool parse_other_number(std::string_view token, double& value) {
    const char* b = token.data();
    const char* e = b + token.size();
    const char* digit = (b < e && *b == '-') ? b + 1 : b;
    if (digit < e && *digit >= '0' && *digit <= '9' && token.size() <= 64) {
        double v;
        const auto r = std::from_chars(b, e, v, std::chars_format::general);
        if (r.ec == std::errc() && r.ptr == e) {
            value = v;
            return true;
        }
    }
    return rtl::TryStrToFloat(token, value);
}

// A data token; not a number gives nothing.
bool parse_number(std::string_view token, double& value) {
    const char* e = token.data() + token.size();
    double v = 0;
    if (scan_plain_decimal(token.data(), e, v) == e) {
        value = v;
        return true;
    }
    return parse_other_number(token, value);
}

// Reads the values of one data line, split at blanks and control
// characters, into row[0, width); tokens beyond the width are counted but
// not read. Missing values and tokens that are not numbers (counted in
// `not_numbers`) take the null value: a value that cannot be read must not
// pass for a measured 0. Returns the number of tokens; a line without any
// leaves the row as it was. The usual token is read as it is scanned.
std::size_t parse_row(std::string_view line, double* row, std::size_t width, double null_value, int& not_numbers) {
    const char* p = line.data();
    const char* const e = p + line.size();
    std::size_t tokens = 0;
    while (true) {
        while (p < e && static_cast<unsigned char>(*p) <= ' ') ++p;
        if (p == e) break;
        const char* const start = p;
        double v = null_value;
        const char* const stop = scan_plain_decimal(p, e, v);
        if (stop && (stop == e || static_cast<unsigned char>(*stop) <= ' ')) {
            p = stop;
        } else {
            while (p<e&& static_cast<unsigned char>(*p)> ' ') ++p;
            if (tokens < width &&
                !parse_other_number(std::string_view(start, static_cast<std::size_t>(p - start)), v)) {
                v = null_value;
                ++not_numbers;
            }
        }
        if (tokens < width) row[tokens] = v;
        ++tokens;
    }
    if (tokens > 0)
        for (std::size_t i = tokens; i < width; ++i) row[i] = null_value;
    return tokens;
}

// Eight bytes at a time: the test runs over the whole of a large file.
bool is_ascii(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    std::uint64_t high = 0;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    if (high & 0x8080808080808080ULL) return false;
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

bool is_valid_utf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size())
        if (rtl::utf8::decode(bytes, pos) == rtl::utf8::kInvalid) return false;
    return true;
}

// The file's bytes stay in the mapping while it is read: a copy would cost
// as much again in memory and time as the file itself.
bool read_file_bytes(const std::string& file_name, lib::mapped_file& map, std::string_view& bytes) {
    if (map.open(file_name, lib::om_read)) {
        bytes = std::string_view(map.get_pointer(), map.get_file_size());
        return true;
    }
    // An empty file cannot be mapped, yet it is a file to read.
    os::File probe;
    bytes = {};
    return probe.open(file_name, os::File::Mode::read, false, os::RetryPolicy{1, {}}) == os::File::Status::ok &&
           probe.size() == 0;
}

}  // namespace

// --- Header lines -------------------------------------------------------------

bool file_value::have_name(const std::string& lower_name) const { return lower(name) == lower_name; }

void file_value::save_to_stream(std::ostream& out) const {
    std::size_t name_width = std::max<std::size_t>(4, rtl::char_count(name));
    write_text(out, name);
    write_blanks(out, name_width - rtl::char_count(name));
    out.put('.');
    write_text(out, unit);
    // The value ends in column 53 when it fits; a value that does not fit
    // still gets a blank after the unit, or a reader would take it for unit.
    std::size_t used = rtl::char_count(unit) + name_width;
    std::size_t field = used < 52 ? 52 - used : 0;
    std::size_t value_width = rtl::char_count(data);
    write_blanks(out, value_width < field ? field - value_width : 1);
    write_text(out, data);
    out << ": ";
    write_text(out, description);
    out << kLineEnd;
}

namespace detailed {

// Below a megabyte the system's own pages cost little; above it a block of
// huge pages is worth its rounding.
constexpr std::size_t kLargeRows = std::size_t{1} << 20;

void* allocate_rows(std::size_t bytes) {
    if (bytes < kLargeRows) return ::operator new(bytes);
    void* p = os::allocate_large(bytes);
    if (!p) throw std::bad_alloc();
    return p;
}

void free_rows(void* p, std::size_t bytes) noexcept {
    if (bytes < kLargeRows)
        ::operator delete(p);
    else
        os::free_large(p, bytes);
}

bool parse_header_line(std::string_view line, file_value& value) {
    std::size_t dot = line.find('.');
    std::size_t colon = line.rfind(':');
    if (dot == std::string_view::npos || colon == std::string_view::npos || colon < dot) return false;
    std::size_t unit_end = dot + 1;
    while (unit_end < colon && !is_blank(line[unit_end])) ++unit_end;
    value.name = std::string(trim_view(line.substr(0, dot)));
    value.unit = std::string(line.substr(dot + 1, unit_end - dot - 1));
    value.data = std::string(trim_view(line.substr(unit_end, colon - unit_end)));
    value.description = std::string(trim_view(line.substr(colon + 1)));
    return true;
}

std::string decode(std::string_view bytes, coding code_page) {
    switch (code_page) {
        case dos: {
            std::string out;
            lib::convert_to_win(std::string(bytes), out);
            return out;
        }
        case utf8: return std::string(bytes);
        case windows:
        case detect: break;
    }
    return rtl::cp1251_to_utf8(bytes);
}

}  // namespace detailed

// --- Sections -------------------------------------------------------------------

char las_block_base::letter() const {
    if (name_.empty()) return 0;
    char c = name_.front();
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

namespace {

// "GR  .API" or "GR .API 07 310 01 00" without the colon and description.
bool parse_line_without_colon(std::string_view line, file_value& value) {
    std::size_t dot = line.find('.');
    if (dot == std::string_view::npos || line.find(':') != std::string_view::npos) return false;
    std::string_view name = trim_view(line.substr(0, dot));
    if (name.empty()) return false;
    std::size_t unit_end = dot + 1;
    while (unit_end < line.size() && !is_blank(line[unit_end])) ++unit_end;
    value.name = std::string(name);
    value.unit = std::string(line.substr(dot + 1, unit_end - dot - 1));
    value.data = std::string(trim_view(line.substr(unit_end)));
    value.description.clear();
    return true;
}

}  // namespace

void text_headers::load(line_iterator first, line_iterator end, detailed::coding code_page) {
    lines_.clear();
    notes_.clear();
    for (auto it = first; it != end; ++it) {
        file_value value;
        const std::string line = detailed::decode(*it, code_page);
        if (detailed::parse_header_line(line, value)) {
            lines_.push_back(std::move(value));
        } else if (lines_without_colon_ && parse_line_without_colon(line, value)) {
            // Skipping it would shift every later curve onto its neighbour's
            // column.
            notes_.push_back("the line \"" + std::string(trim_view(line)) + "\" has no colon; read as \"" + value.name +
                             "\" with the unit \"" + value.unit + "\"");
            lines_.push_back(std::move(value));
        } else {
            notes_.push_back("the line \"" + std::string(trim_view(line)) + "\" is not a header line; skipped");
        }
    }
}

void text_headers::save(std::ostream& out) const {
    out << '~';
    write_text(out, get_name());
    out << kLineEnd;
    out << "#MNEM.UNIT" << std::string(39, ' ') << "DATA DESCRIPTION ON MNEMONIC" << kLineEnd;
    out << '#' << std::string(23, '-') << ' ' << std::string(28, '-') << ' ' << std::string(23, '-') << kLineEnd;
    for (int i = 0; i < lines_.size(); ++i) lines_[i].save_to_stream(out);
}

int text_headers::find_param(const std::string& name) const {
    std::string key = lower(name);
    for (int i = 0; i < lines_.size(); ++i)
        if (lines_[i].have_name(key)) return i;
    return -1;
}

file_value& text_headers::add(const std::string& name) {
    int index = find_param(name);
    if (index >= 0) return lines_[index];
    file_value& added = lines_.push_back(file_value(name, "", "", ""));
    changed();
    return added;
}

file_value& text_headers::add(const std::string& name, const std::string& unit, const std::string& value,
                              const std::string& description) {
    file_value& line = add(name);
    line.unit = unit;
    line.data = value;
    line.description = description;
    return line;
}

void text_headers::clear() {
    lines_.clear();
    changed();
}

void text_headers::changed() {
    if (on_change_) on_change_(lines_.size());
}

void simple_headers::load(line_iterator first, line_iterator end, detailed::coding code_page) {
    lines_.clear();
    for (auto it = first; it != end; ++it) lines_.push_back(detailed::decode(*it, code_page));
}

void simple_headers::save(std::ostream& out) const {
    out << '~';
    write_text(out, get_name());
    out << kLineEnd;
    for (const auto& line : lines_) {
        write_text(out, line);
        out << kLineEnd;
    }
}

const std::string& simple_headers::get(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size())
        throw std::out_of_range("invalid vector<T> subscript");
    return lines_[static_cast<std::size_t>(index)];
}

// --- Data -------------------------------------------------------------------------

double& values_line::at(int index) {
    if (index < 0 || index >= size_) throw std::out_of_range("invalid vector<T> subscript");
    return values_[index];
}

double values_line::at(int index) const {
    if (index < 0 || index >= size_) throw std::out_of_range("invalid vector<T> subscript");
    return values_[index];
}

namespace {

// Appends one row as text: the file's rows are written through here, so a
// log written whole and one streamed row by row read the same.
void append_row_text(std::string& out, const double* values, int size, int precision, double null_value) {
    const std::size_t width = static_cast<std::size_t>(precision) + 5;
    // Fixed notation of the largest double with 15 decimals fits.
    char text[512];
    for (int i = 0; i < size; ++i) {
        const double v = std::isfinite(values[i]) ? values[i] : null_value;
        if (i == 0) {
            // The depth keeps every decimal it has (within the precision),
            // but at least one: a 0.125 m step must not come back as 0.1.
            auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, std::max(precision, 1));
            char* end = r.ec == std::errc() ? r.ptr : (text[0] = '0', text + 1);
            while (end - text >= 2 && end[-1] == '0' && end[-2] != '.') --end;
            const std::size_t n = static_cast<std::size_t>(end - text);
            out.append(text, n);
            if (n < width) out.append(width - n, ' ');
        } else {
            auto r = std::to_chars(text, text + sizeof text - 1, v, std::chars_format::fixed, precision);
            char* end = r.ec == std::errc() ? r.ptr : (text[0] = '0', text + 1);
            if (precision == 0) *end++ = '.';
            const std::size_t n = static_cast<std::size_t>(end - text);
            if (n < width) out.append(width - n, ' ');
            out.append(text, n);
        }
        out.push_back(' ');
    }
    out.append(kLineEnd);
}

void save_row(std::ostream& out, const double* values, int size, int precision, double null_value) {
    std::string text;
    append_row_text(text, values, size, precision, null_value);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

void values_line::save_to_stream(std::ostream& out, int precision, double null_value) const {
    save_row(out, values_, size_, precision, null_value);
}

int values_cont::add() {
    const int count = count_source_ ? count_source_() : column_count_;
    on_params_resize(count);
    values_.insert(values_.end(), static_cast<std::size_t>(column_count_), null_value_);
    return rows_++;
}

values_line values_cont::line(int row) {
    if (row < 0 || row >= rows_) throw std::out_of_range("invalid vector<T> subscript");
    return values_line(values_.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(column_count_),
                       column_count_);
}

double& values_cont::at(int column, int row) {
    if (row < 0 || row >= rows_ || column < 0 || column >= column_count_)
        throw std::out_of_range("invalid vector<T> subscript");
    return values_[static_cast<std::size_t>(row) * static_cast<std::size_t>(column_count_) +
                   static_cast<std::size_t>(column)];
}

double values_cont::at(int column, int row) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= column_count_)
        throw std::out_of_range("invalid vector<T> subscript");
    return values_[static_cast<std::size_t>(row) * static_cast<std::size_t>(column_count_) +
                   static_cast<std::size_t>(column)];
}

void values_cont::clear() {
    decltype(values_)().swap(values_);  // a cleared file gives its memory back
    rows_ = 0;
    column_count_ = 0;
}

void values_cont::on_params_resize(int count) {
    count = std::max(count, 0);
    if (count == column_count_) return;
    const std::size_t old_width = static_cast<std::size_t>(column_count_);
    const std::size_t width = static_cast<std::size_t>(count);
    decltype(values_) resized(static_cast<std::size_t>(rows_) * width, null_value_);
    const std::size_t kept = std::min(old_width, width);
    for (std::size_t r = 0; r < static_cast<std::size_t>(rows_); ++r)
        std::copy_n(values_.begin() + static_cast<std::ptrdiff_t>(r * old_width), kept,
                    resized.begin() + static_cast<std::ptrdiff_t>(r * width));
    values_ = std::move(resized);
    column_count_ = count;
}

void values_cont::set_precision(int precision) { precision_ = std::clamp(precision, 0, 15); }

void values_cont::parse_line(std::string_view line, std::vector<std::string_view>& tokens) {
    tokens.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
        std::size_t start = i;
        while (i < line.size() && static_cast<unsigned char>(line[i]) > ' ') ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
}

void values_cont::load(line_iterator first, line_iterator end, int count, bool wrapped) {
    count = std::max(count, 0);
    decltype(values_)().swap(values_);
    rows_ = 0;
    column_count_ = count;
    report_ = load_report();
    const std::size_t width = static_cast<std::size_t>(count);
    if (!wrapped) {
        // A row per line: the block is sized once for every line and cut
        // after the last row (lines of blanks make no row).
        values_.resize(static_cast<std::size_t>(end - first) * width);
        double* row = values_.data();
        for (auto it = first; it != end; ++it) {
            int not_numbers = 0;
            const std::size_t tokens = parse_row(*it, row, width, null_value_, not_numbers);
            if (tokens == 0) continue;
            row += width;
            ++rows_;
            report_.not_numbers += not_numbers;
            const int seen = static_cast<int>(std::min<std::size_t>(tokens, 0x7FFFFFFF));
            if (seen != count) {
                report_.min_width = report_.rows_other_width == 0 ? seen : std::min(report_.min_width, seen);
                report_.max_width = report_.rows_other_width == 0 ? seen : std::max(report_.max_width, seen);
                ++report_.rows_other_width;
            }
        }
        values_.resize(static_cast<std::size_t>(rows_) * width);
        return;
    }
    // A wrapped file spreads one depth step over several lines; the curve
    // count is the only thing that says where a step ends, so a file whose
    // values do not fill whole steps is refused instead of being shifted.
    std::vector<std::string_view> tokens;
    std::size_t in_step = 0;  // values of the current step so far
    for (auto it = first; it != end; ++it) {
        parse_line(*it, tokens);
        for (std::size_t t = 0; t < tokens.size(); ++t) {
            if (count <= 0) throw std::runtime_error("values_cont::load: wrapped data without curves");
            double v = null_value_;
            if (!parse_number(tokens[t], v)) ++report_.not_numbers;
            values_.push_back(v);
            if (++in_step < width) continue;
            if (t + 1 < tokens.size())
                throw std::runtime_error("values_cont::load: depth step " + std::to_string(rows_ + 1) +
                                         " of the wrapped data ends inside a line (" + std::to_string(count) +
                                         " curves)");
            ++rows_;
            in_step = 0;
        }
    }
    if (in_step != 0) {
        decltype(values_)().swap(values_);
        const int rows = rows_;
        rows_ = 0;
        throw std::runtime_error("values_cont::load: the wrapped data ends inside depth step " +
                                 std::to_string(rows + 1) + " (" + std::to_string(in_step) + " of " +
                                 std::to_string(count) + " values)");
    }
    values_.shrink_to_fit();
}

void values_cont::save_heading(std::ostream& out) const { out << '#' << kLineEnd << "~ASCII Log Data" << kLineEnd; }

void values_cont::save_to_stream(std::ostream& out) const {
    save_heading(out);
    save_rows(out);
}

void values_cont::save_rows(std::ostream& out) const {
    std::string text;
    for (int r = 0; r < rows_; ++r) {
        append_row_text(text, values_.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(column_count_),
                   column_count_, precision_, null_value_);
        if (text.size() >= (1u << 16) || r + 1 == rows_) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
}

void values_cont::append_row(std::string& out, const double* values, int count) const {
    append_row_text(out, values, count, precision_, null_value_);
}

// --- The file ---------------------------------------------------------------------

file::file() {
    values_.set_count_source([this] { return get_param_count(); });
}

void file::clear() {
    blocks_.clear();
    values_.clear();
    dept_index_ = -1;
    warnings_.clear();
}

std::shared_ptr<las_block_base> file::find_block(char letter) const {
    char wanted = (letter >= 'A' && letter <= 'Z') ? static_cast<char>(letter - 'A' + 'a') : letter;
    for (const auto& block : blocks_)
        if (block->letter() == wanted) return block;
    return nullptr;
}

template <class Block>
std::shared_ptr<Block> file::find_or_create_block(char letter, const std::string& name) {
    if (auto found = find_block(letter)) {
        auto typed = std::dynamic_pointer_cast<Block>(found);
        if (!typed)
            throw std::logic_error("file::find_or_create_block: the section '~" + found->get_name() +
                                   "' is not of the kind asked for");
        return typed;
    }
    auto created = std::make_shared<Block>(name);
    blocks_.push_back(created);
    return created;
}

template std::shared_ptr<text_headers> file::find_or_create_block<text_headers>(char, const std::string&);
template std::shared_ptr<simple_headers> file::find_or_create_block<simple_headers>(char, const std::string&);

std::shared_ptr<text_headers> file::get_version_block() {
    return find_or_create_block<text_headers>('v', "Version information block");
}

std::shared_ptr<text_headers> file::get_well_block() {
    return find_or_create_block<text_headers>('w', "Well information block");
}

std::shared_ptr<text_headers> file::get_param_block() {
    return find_or_create_block<text_headers>('p', "Parameter information block");
}

std::shared_ptr<text_headers> file::get_curve_block() {
    auto block = find_or_create_block<text_headers>('c', "Curve information block");
    block->set_change_callback([this](int count) { values_.on_params_resize(count); });
    return block;
}

std::shared_ptr<las_block_base> file::get_other_info_block(bool free_text) {
    if (free_text) return find_or_create_block<simple_headers>('o', "Other information block");
    return find_or_create_block<text_headers>('o', "Other information block");
}

int file::get_param_count() { return get_curve_block()->size(); }

void file::set_standart_version_info() {
    auto version = get_version_block();
    version->clear();
    version->add("VERS", "", "2.00", "CWLS log ASCII Standart");
    version->add("WRAP", "", "NO", "One line per depth step");
}

void file::check_for_null_param() {
    get_well_block()->add("NULL", "", shortest(values_.get_null_value()), "NULL VALUE");
}

void file::save(std::ostream& out) {
    save_header(out);
    values_.save_rows(out);
    out.flush();
    if (!out) throw std::runtime_error("file::save: the LAS text could not be written");
}

void file::save_header(std::ostream& out) {
    check_for_null_param();
    // The well items of a 1.x file were read into the places 2.0 gives them:
    // the file written is a 2.0 file, or a reader would swap them back.
    if (is_version_1()) {
        auto version = std::dynamic_pointer_cast<text_headers>(find_block('v'));
        file_value& vers = version->item_by_index(version->find_param("VERS"));
        vers.data = "2.00";
        vers.description = "CWLS log ASCII Standart";
    }
    // Rows are always written one per line, whatever the file said when read.
    if (auto version = std::dynamic_pointer_cast<text_headers>(find_block('v'))) {
        int wrap = version->find_param("WRAP");
        if (wrap >= 0 && rtl::UpperCase(version->item_by_index(wrap).data) != "NO") {
            version->item_by_index(wrap).data = "NO";
            version->item_by_index(wrap).description = "One line per depth step";
        }
    }
    for (const auto& block : blocks_) block->save(out);
    values_.save_heading(out);
    out.flush();
    if (!out) throw std::runtime_error("file::save_header: the LAS text could not be written");
}

void file::load(const std::string& file_name) {
    clear();
    lib::mapped_file bytes;
    std::vector<std::string_view> lines;
    load_to_strings(file_name, bytes, lines);
    try {
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        cut_to_blocks(lines, ranges);
        for (const auto& range : ranges) load_block(lines, range);
        // Also without data: a file saved again keeps its own NULL value.
        apply_null_value();
        if (is_version_1()) apply_version_1_well_rule();
    } catch (const std::exception& e) {
        clear();
        throw std::runtime_error("LAS file '" + file_name + "': " + e.what());
    }
}

void file::load_to_strings(const std::string& file_name, lib::mapped_file& bytes,
                           std::vector<std::string_view>& lines) {
    lines.clear();
    std::string_view text;
    if (!read_file_bytes(file_name, bytes, text)) throw std::runtime_error("Could not open file '" + file_name + "'");

    bool bom = text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom) text.remove_prefix(3);
    load_coding_ = coding_;
    if (coding_ == detailed::detect) {
        const bool ascii = is_ascii(text);
        if (bom || (!ascii && is_valid_utf8(text)))
            load_coding_ = detailed::utf8;
        else if (ascii)
            load_coding_ = detailed::windows;
        else {
            try {
                load_coding_ = lib::check_file_coding(file_name) ? detailed::dos : detailed::windows;
            } catch (const std::runtime_error&) {
                throw std::runtime_error("Could not open file '" + file_name + "'");
            }
        }
    }

    // CR LF, a lone CR or a lone LF ends a line. The next LF is looked for
    // once per line, and a CR only within the line it ends, so a file of a
    // million lines is not scanned byte by byte through a general search.
    const char* const base = text.data();
    const std::size_t n = text.size();
    lines.reserve(n / 64 + 16);  // a guess that spares most regrowth of a large file's list
    std::size_t pos = 0;
    std::size_t lf = 0;  // the next LF at or after pos, or n when there is none
    bool searched = false;
    while (pos < n) {
        if (!searched || lf < pos) {
            const void* found = std::memchr(base + pos, '\n', n - pos);
            lf = found ? static_cast<std::size_t>(static_cast<const char*>(found) - base) : n;
            searched = true;
        }
        const void* cr = std::memchr(base + pos, '\r', lf - pos);
        const std::size_t line_end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - base) : lf;
        std::string_view line(base + pos, line_end - pos);
        pos = (cr && line_end + 1 == lf && lf < n) ? lf + 1 : line_end + 1;
        if (line.empty() || first_non_blank(line) == '#') continue;
        lines.push_back(line);
    }
}

void file::cut_to_blocks(const std::vector<std::string_view>& lines,
                         std::vector<std::pair<std::size_t, std::size_t>>& ranges) {
    ranges.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (first_non_blank(lines[i]) != '~') continue;
        if (!ranges.empty()) ranges.back().second = i;
        ranges.emplace_back(i, lines.size());
    }
}

void file::load_block(const std::vector<std::string_view>& lines, std::pair<std::size_t, std::size_t> range) {
    std::string_view heading = lines[range.first];
    std::string name = rtl::Trim(detailed::decode(heading.substr(heading.find('~') + 1), load_coding_));
    if (name.empty()) return;
    auto first = lines.begin() + static_cast<std::ptrdiff_t>(range.first + 1);
    auto end = lines.begin() + static_cast<std::ptrdiff_t>(range.second);
    std::shared_ptr<las_block_base> block;
    switch ((name.front() >= 'A' && name.front() <= 'Z') ? name.front() - 'A' + 'a' : name.front()) {
        case 'a': {
            int count = get_curve_block()->size();
            apply_null_value();
            values_.load(first, end, count, is_wrapped());
            note_data_fit(count);
            return;
        }
        case 'c': {
            auto curves = std::make_shared<text_headers>(name);
            blocks_.push_back(curves);
            curves->set_takes_lines_without_colon(true);
            curves->load(first, end, load_coding_);
            for (const auto& note : curves->load_notes()) warnings_.push_back("~" + name + ": " + note);
            dept_index_ = curves->find_param("DEPT");
            return;
        }
        case 'o': block = std::make_shared<simple_headers>(name); break;
        default: block = std::make_shared<text_headers>(name); break;
    }
    blocks_.push_back(block);
    block->load(first, end, load_coding_);
    if (auto headers = std::dynamic_pointer_cast<text_headers>(block))
        for (const auto& note : headers->load_notes()) warnings_.push_back("~" + name + ": " + note);
}

void file::note_data_fit(int curves) {
    const values_cont::load_report& r = values_.get_load_report();
    if (r.rows_other_width > 0) {
        std::string widths = std::to_string(r.min_width);
        if (r.max_width != r.min_width) widths += " to " + std::to_string(r.max_width);
        warnings_.push_back("~A: " + std::to_string(r.rows_other_width) + " data rows hold " + widths +
                            " values where the curve list has " + std::to_string(curves) + " curves");
    }
    if (r.not_numbers > 0)
        warnings_.push_back("~A: " + std::to_string(r.not_numbers) +
                            " data values are not numbers; they read as the NULL value " +
                            shortest(values_.get_null_value()));
}

bool file::is_version_1() const {
    auto version = std::dynamic_pointer_cast<text_headers>(find_block('v'));
    if (!version) return false;
    int vers = version->find_param("VERS");
    double number;
    return vers >= 0 && rtl::TryStrToFloat(trim_view(version->item_by_index(vers).data), number) && number >= 1 &&
           number < 2;
}

void file::apply_version_1_well_rule() {
    for (const auto& block : blocks_) {
        if (block->letter() != 'w') continue;
        auto well = std::dynamic_pointer_cast<text_headers>(block);
        if (!well) continue;
        for (int i = 0; i < well->size(); ++i) {
            file_value& item = well->item_by_index(i);
            const std::string key = lower(item.name);
            if (key == "strt" || key == "stop" || key == "step" || key == "null") continue;
            std::swap(item.data, item.description);
        }
    }
}

bool file::is_wrapped() const {
    auto version = std::dynamic_pointer_cast<text_headers>(find_block('v'));
    if (!version) return false;
    int wrap = version->find_param("WRAP");
    return wrap >= 0 && rtl::UpperCase(version->item_by_index(wrap).data) == "YES";
}

void file::apply_null_value() {
    auto well = std::dynamic_pointer_cast<text_headers>(find_block('w'));
    if (!well) return;
    int index = well->find_param("NULL");
    double null_value;
    if (index >= 0 && rtl::TryStrToFloat(well->item_by_index(index).data, null_value))
        values_.set_null_value(null_value);
}

}  // namespace lib::las
