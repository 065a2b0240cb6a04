#pragma once
// The window layer's text engine on pango: one process-wide context (main
// thread only, as every window) whose font options are fixed so that text
// measures the same wherever the station runs. Used by the canvas; not meant
// for components.

#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/graphics.h"

typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;

namespace ui::text_engine {

std::vector<std::string> installed_families();

// The height of one line of the font in pixels (ascent plus descent).
int line_height(const TFont& font);

struct LineBox {
    int x = 0;       // logical left of the line inside the layout
    int width = 0;   // logical width
    int top = 0;     // top of the line inside the layout
    int height = 0;  // logical height
};

// One piece of text laid out in a font. Without a width the text is one
// paragraph per line break (or a single line when `single_paragraph`).
class Layout {
public:
    Layout(const TFont& font, std::string_view text, bool single_paragraph);
    ~Layout();
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    // Wraps at word boundaries to `width` pixels.
    void WrapTo(int width);
    // Cuts each line that does not fit `width` with "…"; with a height as well
    // the last line that fits is cut.
    void EllipsizeTo(int width, int height = -1);
    // Underlines the character that starts at the byte offset.
    void UnderlineAt(int byte_index);

    TSize Size();  // logical size in pixels
    std::vector<LineBox> Lines();
    // Draws the whole layout with its logical top-left at (x, y).
    void Draw(cairo_t* cr, double x, double y, TColor color);
    // Draws one line with its logical top-left at (x, y).
    void DrawLine(cairo_t* cr, int line, double x, double y, TColor color);

private:
    PangoLayout* layout_ = nullptr;
};

}  // namespace ui::text_engine
