#include "platform/ui/graphics.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/text_engine.h"

namespace ui {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ascii_lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = lower(c);
    return r;
}

struct FontAlias {
    const char* windows_name;
    const char* face;
};

// Sans serif Windows faces are drawn with DejaVu Sans, fixed-pitch ones with
// DejaVu Sans Mono: DejaVu is on every station, so metrics never depend on
// what else happens to be installed.
constexpr FontAlias kAliases[] = {
    {"Tahoma", "DejaVu Sans"},
    {"Arial", "DejaVu Sans"},
    {"MS Sans Serif", "DejaVu Sans"},
    {"Microsoft Sans Serif", "DejaVu Sans"},
    {"Verdana", "DejaVu Sans"},
    {"Courier New", "DejaVu Sans Mono"},
    {"Courier New Cyr", "DejaVu Sans Mono"},
    {"Courier", "DejaVu Sans Mono"},
    {"Lucida Console", "DejaVu Sans Mono"},
    {"Times New Roman", "DejaVu Serif"},
};

}  // namespace

std::string font_face_for(std::string_view name) {
    const std::string key = ascii_lower(name);
    for (const auto& a : kAliases)
        if (key == ascii_lower(a.windows_name)) return a.face;
    if (key.empty()) return "DejaVu Sans";
    return std::string(name);
}

std::vector<std::string> screen_font_names() {
    std::vector<std::string> names = text_engine::installed_families();
    for (const auto& a : kAliases) {
        const bool have_face = std::any_of(names.begin(), names.end(),
                                           [&](const std::string& n) { return ascii_lower(n) == ascii_lower(a.face); });
        if (have_face) names.emplace_back(a.windows_name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return ascii_lower(a) < ascii_lower(b); });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

// --- TFont ---------------------------------------------------------------

TFont::TFont() = default;

TFont::TFont(const TFont& other)
    : name_(other.name_),
      height_(other.height_),
      color_(other.color_),
      style_(other.style_),
      charset_(other.charset_) {}

TFont& TFont::operator=(const TFont& other) {
    Assign(other);
    return *this;
}

void TFont::Assign(const TFont& other) {
    if (this == &other) return;
    const bool same = SameAs(other);
    name_ = other.name_;
    height_ = other.height_;
    color_ = other.color_;
    style_ = other.style_;
    charset_ = other.charset_;
    if (!same) changed();
}

bool TFont::SameAs(const TFont& o) const {
    return name_ == o.name_ && height_ == o.height_ && color_ == o.color_ && style_ == o.style_ &&
           charset_ == o.charset_;
}

void TFont::changed() {
    if (OnChange) OnChange();
}

void TFont::SetName(std::string name) {
    if (name == name_) return;
    name_ = std::move(name);
    changed();
}

int TFont::Size() const {
    const int h = height_ < 0 ? -height_ : height_;
    return static_cast<int>(std::lround(h * 72.0 / kPixelsPerInch));
}

void TFont::SetSize(int points) {
    SetHeight(-static_cast<int>(std::lround(points * static_cast<double>(kPixelsPerInch) / 72.0)));
}

void TFont::SetHeight(int height) {
    if (height == height_) return;
    height_ = height;
    changed();
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    changed();
}

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    changed();
}

void TFont::SetCharset(int charset) {
    if (charset == charset_) return;
    charset_ = charset;
    changed();
}

std::string TFont::Face() const { return font_face_for(name_); }

int TFont::PixelSize() const {
    if (height_ < 0) return -height_;
    if (height_ == 0) return 11;
    // A positive height is the whole cell; DejaVu's cell is 1.164 em.
    return std::max(1, static_cast<int>(std::lround(height_ / 1.164)));
}

// --- TPen, TBrush --------------------------------------------------------

void TPen::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    changed();
}

void TPen::SetWidth(int width) {
    width = std::max(1, width);
    if (width == width_) return;
    width_ = width;
    changed();
}

void TPen::SetStyle(TPenStyle style) {
    if (style == style_) return;
    style_ = style;
    changed();
}

void TPen::SetMode(TPenMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    changed();
}

void TPen::Assign(const TPen& o) {
    color_ = o.color_;
    width_ = o.width_;
    style_ = o.style_;
    mode_ = o.mode_;
    changed();
}

void TBrush::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    changed();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (style == style_) return;
    style_ = style;
    changed();
}

void TBrush::Assign(const TBrush& o) {
    color_ = o.color_;
    style_ = o.style_;
    changed();
}

}  // namespace ui
