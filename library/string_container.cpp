#include "library/string_container.h"

#include <charconv>
#include <stdexcept>

#include "library/text_conv.h"
#include "platform/rtl/text.h"

namespace lib {
namespace {

std::string int_text(int v) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace

void StringContainer::add(int v) { list_.Add(int_text(v)); }

AnsiString StringContainer::get_string(int i) {
    const int at = take(i);
    if (at < 0 || at >= list_.Count()) return AnsiString();
    return list_[at];
}

void StringContainer::set_string(int i, const AnsiString& s) {
    if (i < 0) throw std::out_of_range("List index out of bounds (" + std::to_string(i) + ")");
    while (list_.Count() <= i) list_.Add(std::string());
    list_[i] = s;
}

void StringContainer::set_int(int i, int v) { set_string(i, int_text(v)); }

void StringContainer::set_comma_text(const AnsiString& s) {
    list_.SetCommaText(s);
    cursor_ = 0;
}

void StringContainer::set_space_text(const AnsiString& s, char sep) {
    parse_to_words(rtl::Trim(s), list_, sep);
    cursor_ = 0;
}

AnsiString StringContainer::get_space_text() const {
    std::string out;
    for (int i = 0; i < list_.Count(); ++i) {
        const std::string& s = list_[i];
        if (i > 0) out.push_back(' ');
        if (s.empty() || s.find(' ') != std::string::npos)
            out.append(1, '"').append(s).append(1, '"');
        else
            out += s;
    }
    return out;
}

}  // namespace lib
