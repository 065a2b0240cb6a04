#include "platform/rtl/string_list.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/text.h"

namespace rtl {
namespace {

constexpr char kQuote = '"';
constexpr char kDelimiter = ',';

bool is_blank(char c) noexcept { return static_cast<unsigned char>(c) <= ' '; }

std::string errno_text(int err) { return std::strerror(err); }

[[noreturn]] void fail(const char* method, const std::string& what, const std::string& path, int err) {
    throw std::runtime_error(std::string("StringList::") + method + ": " + what + " '" + path +
                             "': " + errno_text(err));
}

}  // namespace

void StringList::check_index(int i, std::size_t limit) const {
    if (i < 0 || static_cast<std::size_t>(i) >= limit)
        throw std::out_of_range("List index out of bounds (" + std::to_string(i) + ")");
}

int StringList::Add(std::string s) {
    items_.push_back(std::move(s));
    return Count() - 1;
}

void StringList::Insert(int i, std::string s) {
    check_index(i, items_.size() + 1);
    items_.insert(items_.begin() + i, std::move(s));
}

void StringList::Delete(int i) {
    check_index(i, items_.size());
    items_.erase(items_.begin() + i);
}

const std::string& StringList::operator[](int i) const {
    check_index(i, items_.size());
    return items_[static_cast<std::size_t>(i)];
}

std::string& StringList::operator[](int i) {
    check_index(i, items_.size());
    return items_[static_cast<std::size_t>(i)];
}

int StringList::IndexOf(std::string_view s) const noexcept {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], s)) return static_cast<int>(i);
    return -1;
}

int StringList::IndexOfName(std::string_view name) const noexcept {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const auto eq = items_[i].find('=');
        if (eq != std::string::npos && SameText(std::string_view(items_[i]).substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string StringList::Names(int i) const {
    const std::string& s = (*this)[i];
    const auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string StringList::ValueFromIndex(int i) const {
    const std::string& s = (*this)[i];
    const auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

std::string StringList::Values(std::string_view name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void StringList::SetValue(std::string_view name, std::string_view value) {
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line.append(name).append(1, '=').append(value);
    if (i < 0)
        Add(std::move(line));
    else
        items_[static_cast<std::size_t>(i)] = std::move(line);
}

std::string StringList::CommaText() const {
    if (items_.size() == 1 && items_[0].empty()) return std::string(2, kQuote);
    std::string out;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const std::string& s = items_[i];
        if (i > 0) out.push_back(kDelimiter);
        bool quote = false;
        for (char c : s)
            if (is_blank(c) || c == kQuote || c == kDelimiter) {
                quote = true;
                break;
            }
        if (!quote) {
            out += s;
            continue;
        }
        out.push_back(kQuote);
        for (char c : s) {
            if (c == kQuote) out.push_back(kQuote);
            out.push_back(c);
        }
        out.push_back(kQuote);
    }
    return out;
}

void StringList::SetCommaText(std::string_view text) {
    items_.clear();
    const std::size_t n = text.size();
    std::size_t p = 0;
    auto skip_blanks = [&] {
        while (p < n && is_blank(text[p])) ++p;
    };
    skip_blanks();
    while (p < n) {
        std::string s;
        if (text[p] == kQuote) {
            // Up to the closing quote, a doubled quote standing for one; an
            // unterminated quote takes the rest of the text.
            ++p;
            while (p < n) {
                if (text[p] == kQuote) {
                    if (p + 1 < n && text[p + 1] == kQuote) {
                        s.push_back(kQuote);
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                s.push_back(text[p++]);
            }
        } else {
            const std::size_t start = p;
            while (p < n && !is_blank(text[p]) && text[p] != kDelimiter) ++p;
            s.assign(text.substr(start, p - start));
        }
        items_.push_back(std::move(s));
        skip_blanks();
        if (p < n && text[p] == kDelimiter) {
            ++p;
            skip_blanks();
            if (p == n) items_.emplace_back();  // "a," holds an empty last entry
        }
    }
}

std::string StringList::Text() const {
    std::size_t size = 0;
    for (const auto& s : items_) size += s.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& s : items_) out.append(s).append("\r\n");
    return out;
}

void StringList::SetText(std::string_view text) {
    items_.clear();
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n) {
        const std::size_t start = p;
        while (p < n && text[p] != '\r' && text[p] != '\n') ++p;
        items_.emplace_back(text.substr(start, p - start));
        if (p < n && text[p] == '\r') ++p;
        if (p < n && text[p] == '\n') ++p;
    }
}

void StringList::LoadFromFile(const std::string& path) {
    std::string bytes;
    const int err = os::read_file(path, bytes);
    if (err != 0) fail("LoadFromFile", err == EISDIR ? "cannot read" : "cannot open", path, err);
    SetText(cp1251_to_utf8(bytes));
}

void StringList::SaveToFile(const std::string& path) const {
    const std::string bytes = utf8_to_cp1251(Text());
    // Replaced whole: a reader sees the old list or the new one, never a part.
    os::ReplacementFile file;
    if (!file.create(path)) fail("SaveToFile", "cannot create a temporary file for", path, file.last_error());
    if (!file.write(bytes.data(), bytes.size()) || !file.commit())
        fail("SaveToFile", "cannot write", path, file.last_error());
}

}  // namespace rtl
