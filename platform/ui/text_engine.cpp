#include "platform/ui/text_engine.h"

#include <pango/pangocairo.h>

#include <map>
#include <memory>
#include <string>

namespace ui::text_engine {
namespace {

struct Engine {
    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;
    std::map<std::string, PangoFontDescription*> descriptions;

    Engine() {
        map = pango_cairo_font_map_new();
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), kPixelsPerInch);
        context = pango_font_map_create_context(map);
        // Whole-pixel metrics and grey anti-aliasing on every machine: the sizes
        // that layouts compute must not depend on a desktop's settings.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context, TRUE);
        pango_context_set_base_dir(context, PANGO_DIRECTION_LTR);
        pango_context_set_language(context, pango_language_from_string("ru"));
    }
    ~Engine() {
        for (auto& d : descriptions) pango_font_description_free(d.second);
        g_object_unref(context);
        g_object_unref(map);
    }

    PangoFontDescription* description(const TFont& font) {
        const std::string face = font.Face();
        const int px = font.PixelSize();
        const bool bold = font.Style().Contains(fsBold);
        const bool italic = font.Style().Contains(fsItalic);
        std::string key = face;
        key += '|';
        key += std::to_string(px);
        key += bold ? "b" : "-";
        key += italic ? "i" : "-";
        auto it = descriptions.find(key);
        if (it != descriptions.end()) return it->second;
        PangoFontDescription* d = pango_font_description_new();
        pango_font_description_set_family(d, face.c_str());
        pango_font_description_set_absolute_size(d, static_cast<double>(px) * PANGO_SCALE);
        pango_font_description_set_weight(d, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(d, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        descriptions.emplace(key, d);
        return d;
    }
};

Engine& engine() {
    // Built on first use, after a test or host had the chance to choose the
    // font configuration; never destroyed, so late users at exit are safe.
    static Engine* e = new Engine();
    return *e;
}

void set_source(cairo_t* cr, TColor color) {
    const TColor c = ColorToRGB(color);
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

}  // namespace

std::vector<std::string> installed_families() {
    PangoFontFamily** families = nullptr;
    int n = 0;
    pango_font_map_list_families(engine().map, &families, &n);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        // Pango's generic aliases are not fonts of their own.
        const std::string name = pango_font_family_get_name(families[i]);
        std::string key = name;
        for (char& ch : key) ch = static_cast<char>(g_ascii_tolower(ch));
        if (key == "sans" || key == "sans-serif" || key == "serif" || key == "monospace" || key == "system-ui" ||
            key == "cursive" || key == "fantasy" || key == "emoji" || key == "math" || key == "fangsong")
            continue;
        names.push_back(name);
    }
    g_free(families);
    return names;
}

int line_height(const TFont& font) {
    Layout l(font, "", true);
    return l.Size().cy;
}

Layout::Layout(const TFont& font, std::string_view text, bool single_paragraph) {
    Engine& e = engine();
    layout_ = pango_layout_new(e.context);
    pango_layout_set_font_description(layout_, e.description(font));
    pango_layout_set_single_paragraph_mode(layout_, single_paragraph ? TRUE : FALSE);
    pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
    if (font.Style().Contains(fsUnderline) || font.Style().Contains(fsStrikeOut)) {
        PangoAttrList* attrs = pango_attr_list_new();
        if (font.Style().Contains(fsUnderline))
            pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (font.Style().Contains(fsStrikeOut)) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(layout_, attrs);
        pango_attr_list_unref(attrs);
    }
}

Layout::~Layout() {
    if (layout_) g_object_unref(layout_);
}

void Layout::WrapTo(int width) {
    pango_layout_set_width(layout_, std::max(1, width) * PANGO_SCALE);
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD);
}

void Layout::EllipsizeTo(int width, int height) {
    pango_layout_set_width(layout_, std::max(1, width) * PANGO_SCALE);
    pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
    if (height >= 0) pango_layout_set_height(layout_, std::max(1, height) * PANGO_SCALE);
}

void Layout::UnderlineAt(int byte_index) {
    const char* text = pango_layout_get_text(layout_);
    const char* start = text + byte_index;
    const char* next = g_utf8_next_char(start);
    PangoAttrList* old = pango_layout_get_attributes(layout_);
    PangoAttrList* attrs = old ? pango_attr_list_copy(old) : pango_attr_list_new();
    PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    a->start_index = static_cast<unsigned>(byte_index);
    a->end_index = static_cast<unsigned>(next - text);
    pango_attr_list_insert(attrs, a);
    pango_layout_set_attributes(layout_, attrs);
    pango_attr_list_unref(attrs);
}

TSize Layout::Size() {
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    return {logical.width, logical.height};
}

std::vector<LineBox> Layout::Lines() {
    std::vector<LineBox> lines;
    PangoLayoutIter* it = pango_layout_get_iter(layout_);
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        pango_extents_to_pixels(&logical, nullptr);
        lines.push_back({logical.x, logical.width, logical.y, logical.height});
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    return lines;
}

void Layout::Draw(cairo_t* cr, double x, double y, TColor color) {
    set_source(cr, color);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout_);
}

void Layout::DrawLine(cairo_t* cr, int line, double x, double y, TColor color) {
    PangoLayoutIter* it = pango_layout_get_iter(layout_);
    for (int i = 0; i < line; ++i)
        if (!pango_layout_iter_next_line(it)) break;
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(it, nullptr, &logical);
    const int baseline = pango_layout_iter_get_baseline(it);
    PangoLayoutLine* l = pango_layout_iter_get_line_readonly(it);
    PangoRectangle own;
    pango_layout_line_get_extents(l, nullptr, &own);
    set_source(cr, color);
    // The line's origin is on its baseline, left of its logical box by own.x.
    cairo_move_to(cr, x - static_cast<double>(own.x) / PANGO_SCALE,
                  y + static_cast<double>(baseline - logical.y) / PANGO_SCALE);
    pango_cairo_show_layout_line(cr, l);
    pango_layout_iter_free(it);
}

}  // namespace ui::text_engine
