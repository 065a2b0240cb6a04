#include "library/text_conv.h"

#include "platform/ui/clipboard.h"

#include <cstdint>

#include "platform/rtl/codepage.h"
#include "platform/rtl/utf8.h"

namespace lib {
namespace {

bool is_control(char c) noexcept { return static_cast<unsigned char>(c) < 32; }

// The text as a C string would see it: up to the first 0 byte.
std::string_view up_to_nul(std::string_view s) noexcept {
    const auto nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// Bytes of the UTF-8 character that starts at s[pos] (1 for an invalid byte).
std::size_t char_length(std::string_view s, std::size_t pos) noexcept {
    std::size_t next = pos;
    rtl::utf8::decode(s, next);
    return next - pos;
}

}  // namespace

AnsiString normal_text_to_file(const AnsiString& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (char c : s) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            default:
                if (!is_control(c)) out.push_back(c);
        }
    }
    return out;
}

AnsiString file_text_to_normal(const AnsiString& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 1 == s.size()) break;  // a lone backslash at the end
        const char next = s[++i];
        switch (next) {
            case 'n': out.push_back('\n'); break;
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            default: out.push_back('\\'); out.push_back(next);
        }
    }
    return out;
}

std::string normal_text_to_file_std(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (char c : s) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': break;
            case '"': out += "''"; break;
            case '\\': out += "\\\\"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::string file_text_to_normal_std(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '\\') {
            out.push_back(s[i++]);
            continue;
        }
        if (i + 1 == s.size()) break;
        const char next = s[i + 1];
        if (next == 'n')
            out.push_back('\n');
        else if (next == '\\')
            out.push_back('\\');
        if (next == 'n' || next == '\\') {
            i += 2;
            continue;
        }
        // An unknown escape is dropped whole: the backslash and the character
        // after it, all of its bytes, so the text stays valid UTF-8.
        i += 1 + char_length(s, i + 1);
    }
    return out;
}

void parse_to_words(const AnsiString& s, rtl::StringList& list, char sep) {
    // Everything is taken from `s` before the list is cleared: `s` may be one
    // of the list's own entries.
    std::string work = rtl::Trim(s);
    if (work.empty() || sep != ' ') {
        std::string text;
        if (!work.empty()) {
            text.reserve(s.size() + 8);
            for (char c : s) {
                if (c == sep)
                    text += "\r\n";
                else
                    text.push_back(c);
            }
        }
        list.SetText(text);
        return;
    }
    list.Clear();
    std::string_view rest = work;
    for (;;) {
        // Trimmed at the start of every round; the end was trimmed once above,
        // so `rest` never runs empty while words remain.
        std::size_t b = 0;
        while (b < rest.size() && static_cast<unsigned char>(rest[b]) <= ' ') ++b;
        rest.remove_prefix(b);
        const std::size_t n = rest.size();
        std::size_t cut;
        if (!rest.empty() && rest[0] == '"') {
            const auto q = rest.find('"', 1);
            if (q == std::string_view::npos) {
                list.Add(std::string(rest.substr(1)));
                cut = n;
            } else {
                list.Add(std::string(rest.substr(1, q - 1)));
                cut = q + 1;
            }
        } else {
            const auto blank = rest.find(' ');
            if (blank == std::string_view::npos) {
                list.Add(std::string(rest));
                cut = n;
            } else {
                list.Add(std::string(rest.substr(0, blank)));
                cut = blank + 1;
            }
        }
        if (cut >= n) break;
        rest.remove_prefix(cut);
    }
}

AnsiString get_word(const AnsiString& s, int index, char sep) {
    // One cache per thread: callers walk the words of a line by index, and
    // threads never share a split they could free under each other.
    struct Cache {
        bool valid = false;
        char sep = ' ';
        std::string text;
        rtl::StringList words;
    };
    thread_local Cache cache;
    if (!cache.valid || cache.sep != sep || cache.text != s) {
        parse_to_words(s, cache.words, sep);
        cache.text = s;
        cache.sep = sep;
        cache.valid = true;
    }
    if (index < 0 || index >= cache.words.Count()) return AnsiString();
    return cache.words[index];
}

void separate_words1(const std::string& s, std::vector<std::string>& words, bool keep) {
    if (!keep) words.clear();
    std::size_t k = 0;
    std::size_t pos = 0;
    for (;;) {
        pos = s.find_first_not_of(' ', pos);
        if (pos == std::string::npos) break;
        std::string word;
        if (s[pos] == '"') {
            const auto q = s.find('"', pos + 1);
            if (q == std::string::npos) {
                word = s.substr(pos + 1);
                pos = s.size();
            } else {
                word = s.substr(pos + 1, q - pos - 1);
                pos = q + 1;
            }
        } else {
            const auto blank = s.find(' ', pos);
            const std::size_t end = blank == std::string::npos ? s.size() : blank;
            word = s.substr(pos, end - pos);
            pos = end;
        }
        if (k < words.size())
            words[k] = std::move(word);
        else
            words.push_back(std::move(word));
        ++k;
    }
}

int get_string_index(const rtl::StringList& list, const AnsiString& s) { return list.IndexOf(s); }

bool contains_string(const rtl::StringList& list, const AnsiString& s) { return get_string_index(list, s) != -1; }

void fill_strings(rtl::StringList& list, std::initializer_list<std::string_view> values) {
    list.Clear();
    for (std::string_view v : values) list.Add(std::string(v));
}

void fill_strings(rtl::StringList& list, const std::vector<std::string>& values) {
    list.Clear();
    for (const auto& v : values) list.Add(v);
}

AnsiString extract_year(std::string_view date) {
    rtl::StringList words;
    parse_to_words(rtl::Trim(date), words, ' ');
    return words.Count() > 2 ? words[2] : AnsiString();
}

StrCharCvt::StrCharCvt(const AnsiString& s) : buf_(s.begin(), s.end()) { buf_.push_back('\0'); }

void string_to_vector(const AnsiString& s, std::vector<char>& out) {
    out.assign(s.begin(), s.end());
    out.push_back('\0');
}

std::string str_borl_2_std(const AnsiString& s) { return std::string(up_to_nul(s)); }

void win_to_dos(const AnsiString& in, AnsiString& out) { out = rtl::utf8_to_cp866(up_to_nul(in)); }

void dos_to_win(const AnsiString& in, AnsiString& out) { out = rtl::cp866_to_utf8(up_to_nul(in)); }

void convert_to_win(const std::string& in, std::string& out) { dos_to_win(in, out); }

std::string win_to_coi8r(const std::string& in) {
    // Indexed by the Windows-1251 byte; the lower half is ASCII and unchanged.
    static constexpr std::uint8_t kHigh[128] = {
        0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E,  // 80
        0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E, 0x2E,  // 90
        0x9A, 0xAE, 0xBE, 0x2E, 0x9F, 0xBD, 0x2E, 0x2E, 0xB3, 0xBF, 0xB4, 0x9D, 0x2E, 0x2E, 0x9C, 0xB7,  // A0
        0x2E, 0x2E, 0xB6, 0xA6, 0xAD, 0x2E, 0x2E, 0x9E, 0xA3, 0x98, 0xA4, 0x9B, 0x2E, 0x2E, 0x2E, 0xA7,  // B0
        0xE1, 0xE2, 0xF7, 0xE7, 0xE4, 0xE5, 0xF6, 0xFA, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0,  // C0
        0xF2, 0xF3, 0xF4, 0xF5, 0xE6, 0xE8, 0xE3, 0xFE, 0xFB, 0xFD, 0xFF, 0xF9, 0xF8, 0xFC, 0xE0, 0xF1,  // D0
        0xC1, 0xC2, 0xD7, 0xC7, 0xC4, 0xC5, 0xD6, 0xDA, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,  // E0
        0xD2, 0xD3, 0xD4, 0xD5, 0xC6, 0xC8, 0xC3, 0xDE, 0xDB, 0xDD, 0xDF, 0xD9, 0xD8, 0xDC, 0xC0, 0xD1,  // F0
    };
    std::string out = rtl::utf8_to_cp1251(in);
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80) c = static_cast<char>(kHigh[b - 0x80]);
    }
    return out;
}

void convert_to_upper(const std::string& in, std::string& out) { out = rtl::AnsiUpperCase(in); }
void convert_to_lower(const std::string& in, std::string& out) { out = rtl::AnsiLowerCase(in); }
void to_upper(const std::string& in, std::string& out) { out = rtl::UpperCase(in); }
void to_lower(const std::string& in, std::string& out) { out = rtl::LowerCase(in); }

void trim(const std::string& in, std::string& out) {
    const auto first = in.find_first_not_of(' ');
    if (first == std::string::npos) {
        out.clear();
        return;
    }
    const auto last = in.find_last_not_of(' ');
    out = in.substr(first, last - first + 1);
}

bool text_to_clipboard(const std::u16string& text) {
    ui::TClipboard& clipboard = ui::Clipboard();
    if (!clipboard.Open()) return false;
    clipboard.SetAsUnicodeText(text);
    clipboard.Close();
    return true;
}

}  // namespace lib
