#pragma once
// Fonts, pens and brushes: the drawing tools a canvas holds. Each tool tells
// its owner about a change through OnChange, so that a control repaints when
// its font changes and the children that share the parent's font follow.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/types.h"

namespace ui {

// Character sets a font may be asked for; the text itself is always UTF-8,
// so the value is only kept.
constexpr int ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, RUSSIAN_CHARSET = 204;

// The screen's resolution: every size in points turns into pixels with it.
constexpr int kPixelsPerInch = 96;

class TFont {
public:
    TFont();
    TFont(const TFont& other);             // copies the look, not the OnChange hook
    TFont& operator=(const TFont& other);  // the same as Assign
    void Assign(const TFont& other);

    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    // Size in points; Height in pixels, negative for the character height
    // without leading (the usual form), positive for the whole cell.
    int Size() const;
    void SetSize(int points);
    int Height() const { return height_; }
    void SetHeight(int height);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    int Charset() const { return charset_; }
    void SetCharset(int charset);

    // The same look (name, height, colour, style, character set).
    bool SameAs(const TFont& other) const;
    // The font face that draws this font and its em size in pixels.
    std::string Face() const;
    int PixelSize() const;

    std::function<void()> OnChange;

private:
    void changed();
    std::string name_ = "MS Sans Serif";
    int height_ = -11;  // 8 points at 96 pixels per inch
    TColor color_ = clWindowText;
    TFontStyles style_;
    int charset_ = DEFAULT_CHARSET;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// How a thin line's pixels combine with what is there; wide lines, shapes and
// text always copy.
enum TPenMode { pmCopy, pmNot, pmXor, pmNotXor, pmBlack, pmWhite, pmNop };

class TPen {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);  // below 1 counts as 1
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return mode_; }
    void SetMode(TPenMode mode);
    void Assign(const TPen& other);
    std::function<void()> OnChange;

private:
    void changed() {
        if (OnChange) OnChange();
    }
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

// Hatches are drawn in the brush colour on an 8-pixel grid fixed to the
// bitmap's origin and leave the pixels between their lines as they were.
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    void Assign(const TBrush& other);
    std::function<void()> OnChange;

private:
    void changed() {
        if (OnChange) OnChange();
    }
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

// The font families the screen offers, sorted: the installed families and the
// Windows names that map onto them ("Tahoma", "Arial", "MS Sans Serif",
// "Courier New", "Lucida Console", "Times New Roman").
std::vector<std::string> screen_font_names();

// The installed family that draws a font of the given name: Windows sans
// serif names map to DejaVu Sans, fixed-pitch ones to DejaVu Sans Mono, serif
// ones to DejaVu Serif; other names go to the font system as they are.
std::string font_face_for(std::string_view name);

}  // namespace ui
