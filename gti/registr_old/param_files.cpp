#include "gti/registr_old/param.h"

#include <stdexcept>

#include "gti/registr_old/whole_file.h"
#include "library/io/binary_stream.h"
#include "library/io/file_streams.h"
#include "library/number_conv.h"
#include "library/serial/serial_list.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/text.h"

// The file and stream forms of a parameter: the table file record, the
// ".extended" part, the calibration file and the module stream.

namespace {

// A text the record can hold: at most 511 bytes on disk (one per
// character in Windows-1251), and no 0 byte, which would end it early and
// put the rest of the record out of step.
void check_file_string(const AnsiString& s, const char* what) {
    if (rtl::char_count(s) > Param::max_file_string)
        throw std::length_error(std::string("Param::save_to_file: ") + what + " '" + s + "' is longer than " +
                                std::to_string(Param::max_file_string) + " characters");
    if (s.find('\0') != AnsiString::npos)
        throw std::invalid_argument(std::string("Param::save_to_file: ") + what + " holds a 0 character");
}

// A record string: the bytes up to a 0 byte, at most 511 of them.
AnsiString read_file_string(lib::io::BinaryInputStream& in) {
    std::string bytes;
    for (;;) {
        const int c = in.get();
        if (c == 0) break;
        if (bytes.size() == Param::max_file_string)
            throw std::length_error("Param::load_from_file: a text longer than 511 bytes");
        bytes.push_back(static_cast<char>(c));
    }
    return rtl::cp1251_to_utf8(bytes);
}

}  // namespace

void ParamExtInfo::save(lib::io::BinaryOutputStream& out) const {
    out << static_cast<unsigned int>(items_.size());
    for (const auto& [key, item] : items_) out << key << item.text;
}

void ParamExtInfo::load(lib::io::BinaryInputStream& in) {
    unsigned int count = 0;
    in >> count;
    items_.clear();
    // Nothing is reserved by the count: a damaged count runs into the end of
    // the stream, which throws, instead of into a huge allocation.
    for (unsigned int i = 0; i < count; ++i) {
        AnsiString key, value;
        in >> key >> value;
        set(key, value);
    }
}

// --- Module stream -----------------------------------------------------------------

void Param::get_serial_list(lib::serial_list& list) {
    list | name | short_name | units | global_name | channel | range | zero | min_value | max_value | averaging | kind;
}

// --- Table file record -------------------------------------------------------------

void Param::save_to_file(lib::io::BinaryOutputStream& out) const {
    check_file_string(name, "the name");
    // A name of one LF is the end-of-records marker: everything after it
    // would be read as calibration blocks.
    if (name == "\n") throw std::invalid_argument("Param::save_to_file: the name is a single line feed");
    check_file_string(short_name, "the short name");
    check_file_string(units, "the units");
    check_file_string(global_name, "the global name");
    out << name << short_name << units << global_name << channel << range << zero << min_value << max_value << averaging
        << static_cast<char>(kind);
}

bool Param::load_from_file(lib::io::BinaryInputStream& in) {
    name = read_file_string(in);
    if (name == "\n") return false;
    short_name = read_file_string(in);
    units = read_file_string(in);
    global_name = read_file_string(in);
    char k = 0;
    in >> channel >> range >> zero >> min_value >> max_value >> averaging >> k;
    kind = static_cast<std::uint8_t>(k);
    return true;
}

void Param::save_extended_info(lib::io::BinaryOutputStream& out) const {
    out << global_name;
    ext_info.save(out);
}

// --- Calibration file ----------------------------------------------------------------

bool Param::save_calibr_to_file(const AnsiString& file) const {
    if (file.empty()) return false;
    try {
        lib::io::BinaryMemoryOutputStream out(64 + 32 * points.size());
        out.write_line("param_name=" + global_name);
        for (const UnitCalibrPoint& p : points) out.write_line(format_calibr_line(p));
        // Never empty: the first line is always there.
        registr::write_whole_file(file, std::string(out.get_buffer(), out.get_size()));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool Param::load_calibr_from_file(const AnsiString& file) {
    try {
        lib::io::InputMappedFile in;
        in.open(file, true);
        return read_calibr(in);
    } catch (const std::exception&) {
        // A missing or locked file keeps the points as they were (or as read
        // so far): callers treat the file as optional.
    }
    return true;
}

bool Param::load_calibr_from_bytes(const std::string& bytes) {
    lib::io::BinaryMemoryInputStream in;
    in.set_data(bytes.data(), bytes.size());
    try {
        return read_calibr(in);
    } catch (const std::exception&) {
    }
    return true;
}

bool Param::read_calibr(lib::io::BinaryInputStream& in) {
    const AnsiString first = in.read_line();
    const AnsiString owner = first.size() > 11 ? first.substr(11) : AnsiString();
    if (owner != global_name) return false;
    points.clear();
    while (!in.eof()) {
        const AnsiString line = in.read_line();
        const auto part = [&](std::size_t from) { return from < line.size() ? line.substr(from, 15) : AnsiString(); };
        points.emplace_back(static_cast<double>(lib::str_to_float(part(0), 0)),
                            static_cast<double>(lib::str_to_float(part(16), 0)));
    }
    return true;
}
