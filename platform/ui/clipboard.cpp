#include "platform/ui/clipboard.h"

namespace ui {
namespace {

void put(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto n = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((n & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (n & 0x3F);
        }
        if (ok && ((len == 2 && c < 0x80) || (len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
                   (c >= 0xD800 && c <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(len);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        put(out, c);
    }
    return out;
}

namespace {
ClipboardStore* store = nullptr;
}

void set_clipboard_store(ClipboardStore* s) { store = s; }

TClipboard& Clipboard() {
    static auto* c = new TClipboard();
    return *c;
}

bool TClipboard::Open() {
    if (!available_) return false;
    ++open_;
    return true;
}

void TClipboard::Close() {
    if (open_ > 0) --open_;
}

void TClipboard::Clear() {
    if (!available_) return;
    text_.clear();
    has_text_ = false;
    if (store) store->Clear();
}

bool TClipboard::HasFormat(unsigned format) const {
    if (store) return available_ && (format == CF_TEXT || format == CF_UNICODETEXT) && store->HasText();
    return available_ && has_text_ && (format == CF_TEXT || format == CF_UNICODETEXT);
}

std::string TClipboard::AsText() const {
    if (store) return available_ ? store->Text() : std::string();
    return available_ && has_text_ ? text_ : std::string();
}

void TClipboard::SetAsText(std::string_view utf8) {
    if (!available_) return;
    text_ = std::string(utf8);
    has_text_ = true;
    if (store) store->SetText(utf8);
}

std::u16string TClipboard::AsUnicodeText() const { return utf8_to_utf16(AsText()); }

void TClipboard::SetAsUnicodeText(std::u16string_view text) { SetAsText(utf16_to_utf8(text)); }

}  // namespace ui
