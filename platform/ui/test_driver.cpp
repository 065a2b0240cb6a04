#include "platform/ui/test_driver.h"

#include "platform/ui/input.h"

namespace ui {
namespace {

char32_t char_of(TKey key, TShiftState shift) {
    switch (key) {
        case VK_RETURN: return U'\r';
        case VK_ESCAPE: return 27;
        case VK_BACK: return 8;
        case VK_TAB: return U'\t';
        case VK_SPACE: return U' ';
        default: break;
    }
    if (shift.Contains(ssCtrl) || shift.Contains(ssAlt)) return 0;
    if (key >= 'A' && key <= 'Z') return shift.Contains(ssShift) ? key : key + 32;
    if (key >= '0' && key <= '9') return key;
    return 0;
}

// Reads one code point; invalid bytes stand for themselves.
char32_t next_char(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
    if (i + static_cast<std::size_t>(len) > s.size() || len == 1) {
        ++i;
        return b;
    }
    char32_t c = len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    i += static_cast<std::size_t>(len);
    return c;
}

}  // namespace

TPoint TestDriver::Centre(const TControl& control) { return {control.ClientWidth() / 2, control.ClientHeight() / 2}; }

void TestDriver::Click(TControl& control, TMouseButton button, TShiftState shift) {
    Click(control, Centre(control), button, shift);
}

void TestDriver::Click(TControl& control, TPoint p, TMouseButton button, TShiftState shift) {
    ClickAt(control.ClientToScreen(p), button, shift);
}

void TestDriver::ClickAt(TPoint screen, TMouseButton button, TShiftState shift) {
    input::mouse_move(screen, shift);
    input::mouse_down(screen, button, shift);
    input::mouse_up(screen, button, shift);
}

void TestDriver::DoubleClick(TControl& control) { DoubleClick(control, Centre(control)); }

void TestDriver::DoubleClick(TControl& control, TPoint p) { DoubleClickAt(control.ClientToScreen(p)); }

void TestDriver::DoubleClickAt(TPoint screen) {
    input::mouse_move(screen);
    input::mouse_down(screen, mbLeft);
    input::mouse_up(screen, mbLeft);
    input::mouse_double_down(screen, mbLeft);
    input::mouse_up(screen, mbLeft);
}

void TestDriver::MoveTo(TControl& control, TPoint p) { input::mouse_move(control.ClientToScreen(p)); }

void TestDriver::Wheel(TControl& control, int notches) { Wheel(control, Centre(control), notches); }

void TestDriver::Wheel(TControl& control, TPoint p, int notches) {
    const TPoint screen = control.ClientToScreen(p);
    input::mouse_move(screen);
    input::mouse_wheel(screen, notches * 120);
}

void TestDriver::Drag(TControl& control, TPoint from, TPoint to) {
    const TPoint a = control.ClientToScreen(from), b = control.ClientToScreen(to);
    input::mouse_move(a);
    input::mouse_down(a, mbLeft);
    constexpr int kSteps = 4;
    for (int i = 1; i <= kSteps; ++i)
        input::mouse_move({a.x + (b.x - a.x) * i / kSteps, a.y + (b.y - a.y) * i / kSteps}, {ssLeft});
    input::mouse_up(b, mbLeft);
}

void TestDriver::Press(TKey key, TShiftState shift) { input::key_stroke(key, shift, char_of(key, shift)); }

void TestDriver::PressOn(TWinControl& control, TKey key, TShiftState shift) {
    control.SetFocus();
    Press(key, shift);
}

void TestDriver::Type(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char32_t c = next_char(text, i);
        TKey key = 0;
        TShiftState shift;
        if (c >= 'a' && c <= 'z')
            key = static_cast<TKey>(c - 32);
        else if (c >= 'A' && c <= 'Z') {
            key = static_cast<TKey>(c);
            shift = {ssShift};
        } else if (c >= '0' && c <= '9')
            key = static_cast<TKey>(c);
        else if (c == ' ')
            key = VK_SPACE;
        else if (c == '\r' || c == '\n')
            key = VK_RETURN;
        if (key)
            input::key_stroke(key, shift, c == '\n' ? U'\r' : c);
        else
            input::character(c);
    }
}

void TestDriver::TypeOn(TWinControl& control, std::string_view text) {
    control.SetFocus();
    Type(text);
}

}  // namespace ui
