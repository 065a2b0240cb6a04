#pragma once
// The clipboard, kept inside the process: text put there by one window is
// read back by another. Text is held once and offered in both text formats:
// as UTF-8 text and as UTF-16 Unicode text. Main thread, as every window.

#include <string>
#include <string_view>

namespace ui {

constexpr unsigned CF_TEXT = 1, CF_UNICODETEXT = 13;

class TClipboard {
public:
    // Opening fails while the clipboard is unavailable (a test's stand-in
    // for another program holding it); readers and writers then leave
    // everything as it was.
    bool Open();
    void Close();
    void Clear();
    bool HasFormat(unsigned format) const;

    std::string AsText() const;
    void SetAsText(std::string_view utf8);
    std::u16string AsUnicodeText() const;
    void SetAsUnicodeText(std::u16string_view text);

    void SetAvailable(bool available) { available_ = available; }

private:
    std::string text_;
    bool has_text_ = false;
    bool available_ = true;
    int open_ = 0;
};

TClipboard& Clipboard();

// Where the clipboard's text lives when it is not kept in the process: the
// display of a real screen sets the desktop's clipboard here, so that text
// goes to and comes from other programs. Null keeps it in the process.
class ClipboardStore {
public:
    virtual ~ClipboardStore() = default;
    virtual bool HasText() = 0;
    virtual std::string Text() = 0;
    virtual void SetText(std::string_view utf8) = 0;
    virtual void Clear() = 0;
};
void set_clipboard_store(ClipboardStore* store);

// UTF-8 and UTF-16 text; invalid input becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view text);

}  // namespace ui
