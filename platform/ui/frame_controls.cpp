#include "platform/ui/frame_controls.h"

#include <algorithm>

#include "platform/ui/controls.h"

namespace ui {

void DrawCheckMark(TCanvas& c, int x, int y, TColor color) {
    TPen saved;
    saved.Assign(c.Pen());
    c.Pen().SetColor(color);
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(psSolid);
    // Three rows of a V: down two pixels, then up four.
    for (int d = 0; d < 3; ++d) {
        c.MoveTo(x + 3, y + 5 + d);
        c.LineTo(x + 5, y + 7 + d);
        c.LineTo(x + 10, y + 2 + d);
    }
    c.Pen().Assign(saved);
}

void DrawArrow(TCanvas& c, const TRect& r, unsigned direction, TColor color) {
    const int size = std::max(2, std::min(r.Width(), r.Height()) / 4 + 1);
    const int cx = r.Left + (r.Width() - 1) / 2, cy = r.Top + (r.Height() - 1) / 2;
    TPen saved;
    saved.Assign(c.Pen());
    c.Pen().SetColor(color);
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(psSolid);
    // Rows (or columns) of shrinking length make the triangle pixel-exact.
    for (int i = 0; i < size; ++i) {
        switch (direction) {
            case DFCS_SCROLLUP:
                c.MoveTo(cx - i, cy - size / 2 + i);
                c.LineTo(cx + i + 1, cy - size / 2 + i);
                break;
            case DFCS_SCROLLLEFT:
                c.MoveTo(cx - size / 2 + i, cy - i);
                c.LineTo(cx - size / 2 + i, cy + i + 1);
                break;
            case DFCS_SCROLLRIGHT:
                c.MoveTo(cx + size / 2 - i, cy - i);
                c.LineTo(cx + size / 2 - i, cy + i + 1);
                break;
            default:  // down and the combo box button
                c.MoveTo(cx - i, cy + size / 2 - i);
                c.LineTo(cx + i + 1, cy + size / 2 - i);
                break;
        }
    }
    c.Pen().Assign(saved);
}

bool DrawFrameControl(TCanvas& c, const TRect& r, unsigned type, unsigned state) {
    const bool inactive = (state & DFCS_INACTIVE) != 0;
    const bool pushed = (state & DFCS_PUSHED) != 0;
    if (type == DFC_BUTTON) {
        const unsigned kind = state & 0xFF;
        if (kind == DFCS_BUTTONPUSH) {
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(clBtnFace);
            c.FillRect(r);
            TRect e = r;
            if (state & DFCS_FLAT)
                Frame3D(c, e, clBtnShadow, clBtnShadow, 1);
            else
                DrawEdge(c, e, pushed ? Edge::Sunken : Edge::Raised);
            return true;
        }
        if (kind == DFCS_BUTTONRADIO) {
            const TRect box = Bounds(r.Left, r.Top, 12, 12);
            c.Brush().SetStyle(bsSolid);
            c.Pen().SetStyle(psSolid);
            c.Pen().SetWidth(1);
            c.Pen().SetColor(clBtnShadow);
            c.Brush().SetColor(inactive || pushed ? clBtnFace : clWindow);
            c.Ellipse(box);
            c.Pen().SetColor(cl3DDkShadow);
            c.Arc(box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1, box.Right, box.Top, box.Left, box.Bottom);
            if (state & DFCS_CHECKED) {
                const TColor dot = inactive ? clBtnShadow : clWindowText;
                c.Brush().SetColor(dot);
                c.Pen().SetColor(dot);
                c.Ellipse(box.Left + 4, box.Top + 4, box.Left + 8, box.Top + 8);
            }
            return true;
        }
        // A check box.
        TRect box = Bounds(r.Left, r.Top, 13, 13);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(inactive || pushed ? clBtnFace : clWindow);
        c.FillRect(box);
        if (state & DFCS_FLAT) {
            c.Brush().SetColor(clBtnShadow);
            c.FrameRect(box);
        } else {
            DrawEdge(c, box, Edge::Sunken);
        }
        if (state & DFCS_CHECKED) DrawCheckMark(c, r.Left, r.Top, inactive ? clBtnShadow : clWindowText);
        return true;
    }
    if (type == DFC_SCROLL) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(clBtnFace);
        c.FillRect(r);
        TRect e = r;
        if (state & DFCS_FLAT)
            Frame3D(c, e, clBtnShadow, clBtnShadow, 1);
        else
            DrawEdge(c, e, pushed ? Edge::Sunken : Edge::Raised);
        const unsigned dir = state & 0xFF;
        TRect glyph = r;
        if (pushed) glyph = glyph.Offset(1, 1);
        if (inactive) DrawArrow(c, glyph.Offset(1, 1), dir, clBtnHighlight);
        DrawArrow(c, glyph, dir == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : dir, inactive ? clBtnShadow : clBtnText);
        return true;
    }
    return false;
}

void DrawDisabledText(TCanvas& c, std::string_view text, TRect r, unsigned flags) {
    const TColor saved = c.Font().Color();
    const TBrushStyle style = c.Brush().Style();
    c.Brush().SetStyle(bsClear);
    TRect shadow = r.Offset(1, 1);
    c.Font().SetColor(clBtnHighlight);
    c.DrawText(text, shadow, flags);
    c.Font().SetColor(clBtnShadow);
    c.DrawText(text, r, flags);
    c.Font().SetColor(saved);
    c.Brush().SetStyle(style);
}

}  // namespace ui
