#include "library/graphics/graphics_column.h"

#include <algorithm>
#include <cmath>

#include "library/controls/draw_helpers.h"
#include "library/graphics/mouse_events.h"
#include "library/graphics/planshet.h"
#include "library/number_conv.h"
#include "platform/rtl/colors.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"

namespace lib::graphics {
namespace {

// One point list reused by every curve drawing: a repaint of long curves
// allocates nothing once it has grown.
std::vector<ui::TPoint>& shared_points() {
    static std::vector<ui::TPoint> points;
    return points;
}

// Points further than this above or below the column are cut off where
// their segment crosses the band, so a gap in the data never turns into a
// line of millions of pixels walked off the picture.
constexpr int kBand = 64;

// Value to pixel between two edges: linearly, or on the decimal logarithm
// of the log edges in log mode, where a value or an edge that is not
// positive gives -1 (the left edge once clamped). The edges' logarithms are
// taken once per curve, not once per point.
class ValueMap {
public:
    ValueMap(double left, double right, double log_left, double log_right, int left_px, int right_px, bool log)
        : log_(log), left_px_(left_px + 0.5) {
        if (log) {
            valid_ = log_left > 0 && log_right > 0;
            left = valid_ ? std::log10(log_left) : 0;
            right = valid_ ? std::log10(log_right) : 0;
        }
        left_ = left;
        // Pixels per unit of value; left == right gives an infinite factor, and
        // the value then lands on an edge (or NaN, the left edge).
        factor_ = static_cast<double>(right_px - left_px) / (right - left);
    }
    int operator()(double value) const {
        if (log_) {
            if (!valid_ || !(value > 0)) return -1;
            value = std::log10(value);
        }
        return clamp_to_pixel((value - left_) * factor_ + left_px_);
    }

private:
    bool log_;
    bool valid_ = true;
    double left_px_;
    double left_ = 0;
    double factor_ = 0;
};

int value_to_coord(double value, double left, double right, double log_left, double log_right, int left_px,
                   int right_px, bool log) {
    return ValueMap(left, right, log_left, log_right, left_px, right_px, log)(value);
}

// The value map of a curve across its column, with the column's edges.
struct CurveX {
    ValueMap map;
    int x_lo;
    int x_hi;
    int operator()(double value) const { return std::max(x_lo, std::min(map(value), x_hi - 1)); }
};

// Collects the points of one curve for drawing. Samples are often far
// denser than pixels; the points of one pixel row are kept as its first,
// its leftmost, its rightmost and its last point (the two extremes in the
// order they came), which draws the same row as all of them would.
class RowReducer {
public:
    explicit RowReducer(std::vector<ui::TPoint>& out) : out_(out) {}

    void add(int x, int y) {
        if (count_ > 0 && y == y_) {
            if (x < min_x_) {
                min_x_ = x;
                min_at_ = count_;
            }
            if (x > max_x_) {
                max_x_ = x;
                max_at_ = count_;
            }
            last_x_ = x;
            ++count_;
            return;
        }
        flush();
        y_ = y;
        first_x_ = min_x_ = max_x_ = last_x_ = x;
        min_at_ = max_at_ = 0;
        count_ = 1;
    }

    void flush() {
        if (count_ == 0) return;
        out_.push_back({first_x_, y_});
        if (count_ > 1) {
            const bool min_first = min_at_ <= max_at_;
            push(min_first ? min_x_ : max_x_);
            push(min_first ? max_x_ : min_x_);
            push(last_x_);
        }
        count_ = 0;
    }

private:
    void push(int x) {
        if (out_.back().x != x || out_.back().y != y_) out_.push_back({x, y_});
    }

    std::vector<ui::TPoint>& out_;
    int y_ = 0, first_x_ = 0, min_x_ = 0, max_x_ = 0, last_x_ = 0;
    int min_at_ = 0, max_at_ = 0, count_ = 0;
};

}  // namespace

// --- Curve ------------------------------------------------------------------

void Curve::load_from_ini(const std::string& prefix, rtl::IniFile* ini) {
    if (!ini) return;
    const std::string s = section(prefix);
    left = ini->ReadFloat(s, "left", left);
    right = ini->ReadFloat(s, "right", right);
    const std::string c = ini->ReadString(s, "color", "");
    // A colour text that names no colour keeps the curve's own.
    if (!c.empty()) rtl::TryStringToColor(c, color);
    width = ini->ReadInteger(s, "width", width);
}

void Curve::save_to_ini(const std::string& prefix, rtl::IniFile* ini) const {
    if (!ini) return;
    const std::string s = section(prefix);
    ini->WriteFloat(s, "left", left);
    ini->WriteFloat(s, "right", right);
    ini->WriteString(s, "color", rtl::ColorToString(color));
    ini->WriteInteger(s, "width", width);
}

// --- construction -----------------------------------------------------------

GraphicsColumn::GraphicsColumn(Planshet* planshet, const char* caption)
    : Column(planshet), caption_(caption ? caption : ""), alive_(std::make_shared<GraphicsColumn*>(this)) {}

GraphicsColumn::~GraphicsColumn() = default;

void GraphicsColumn::add_curve(const std::string& title, const std::string& param_name, double left, double right,
                               ui::TColor color, int width) {
    curves_.emplace_back(title, param_name, left, right, color, width);
}

Curve* GraphicsColumn::find_curve(const std::string& param_name) {
    for (Curve& c : curves_)
        if (c.param_name == param_name) return &c;
    return nullptr;
}

void GraphicsColumn::set_mark_type(MarkType type) {
    if (type == mark_type_) return;
    mark_type_ = type;
    get_planshet()->smart_invalidate();
}

// --- conversions ------------------------------------------------------------

int GraphicsColumn::y_value_to_coord(double value, int size, double left, double right) const {
    return value_to_coord(value, left, right, left, right, 0, size, log_mode_);
}

double GraphicsColumn::coord_to_y_value(int coord, int size, double left, double right) const {
    if (log_mode_) {
        left = std::log10(left);
        right = std::log10(right);
    }
    const double v = left + coord * (right - left) / size;
    return log_mode_ ? std::pow(10.0, v) : v;
}

int GraphicsColumn::curve_x(double value, const Curve& curve, const ui::TRect& rect) const {
    const CurveX x{ValueMap(curve.left, curve.right, log_left_, log_right_, rect.Left, rect.Right, log_mode_),
                   std::min(rect.Left, rect.Right), std::max(rect.Left, rect.Right)};
    return x(value);
}

int GraphicsColumn::find_point_index(double x, int count, int data_index) const {
    if (count <= 0) return 0;
    if (!(x > get_point_pos(data_index, 0))) return 0;
    if (x >= get_point_pos(data_index, count - 1)) return count - 1;
    // p(lo) < x <= p(hi) all the way down.
    int lo = 0, hi = count - 1;
    for (int k = 0; k < 32 && hi - lo >= 2; ++k) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (x <= get_point_pos(data_index, mid))
            hi = mid;
        else
            lo = mid;
    }
    // The nearer end of the bracket; a point at x itself is always `hi`.
    return x - get_point_pos(data_index, lo) < get_point_pos(data_index, hi) - x ? lo : hi;
}

bool GraphicsColumn::curve_data(const Curve& curve, int& data_index, int& count) const {
    data_index = get_param_index(curve.param_name);
    if (data_index == -1) return false;
    count = get_points_count(data_index);
    if (count <= 0) return false;
    return !(std::fabs(curve.left - curve.right) < 0.00001);
}

void GraphicsColumn::visible_span(const ui::TRect& rect, const PaintData& pd, double& from, double& to) const {
    const int length = get_planshet()->get_lenght(rect);
    from = pixels_to_units(pd.offset, pd.scale, pd.ppcm) + pd.min_x;
    to = pixels_to_units(static_cast<double>(pd.offset) + length, pd.scale, pd.ppcm) + pd.min_x;
}

// --- painting ---------------------------------------------------------------

void GraphicsColumn::paint(ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd) {
    RectArea area(rect, DblAreaHelper{pd, rect});
    std::weak_ptr<GraphicsColumn*> alive = alive_;
    area.on_dblclick = [alive](const std::any& data, const ui::TPoint& p) {
        if (auto self = alive.lock()) (*self)->on_dbl_click(data, p);
    };
    get_mouse_events_fn().add_object(area);
    for (std::size_t i = 0; i < curves_.size(); ++i)
        paint_curve(curves_[i], canvas, rect, pd, static_cast<int>(i), pcm_draw, nullptr);
    for (std::size_t i = 0; i < curves_.size(); ++i) paint_marks(curves_[i], canvas, rect, pd, static_cast<int>(i));
}

int GraphicsColumn::paint_curve(const Curve& curve, ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd,
                                int curve_index, PaintCurveMode mode, CalcMinLenResult* result) {
    int d = -1, n = 0;
    if (!curve_data(curve, d, n)) return d == -1 ? -1 : 0;
    if (mode == pcm_find_nearest && !result) return 0;
    if (mode == pcm_draw && !canvas) return 0;

    double from = 0, to = 0;
    visible_span(rect, pd, from, to);
    const int first = std::max(0, find_point_index(from, n, d) - 3);
    const int last = std::min(n - 1, find_point_index(to, n, d) + 3);

    const CurveX to_x{ValueMap(curve.left, curve.right, log_left_, log_right_, rect.Left, rect.Right, log_mode_),
                      std::min(rect.Left, rect.Right), std::max(rect.Left, rect.Right)};
    const int band_top = rect.Top - kBand, band_bottom = rect.Bottom + kBand;
    const double per_unit = pixels_per_unit(pd.scale, pd.ppcm);
    std::vector<ui::TPoint>& points = shared_points();
    if (mode == pcm_draw) points.clear();
    RowReducer rows(points);
    bool have_prev = false;
    double px = 0, py = 0;  // the previous point, for cutting at the band
    auto cut = [&](double x1, double y1, double x2, double y2, int y) {
        rows.add(clamp_to_pixel(std::round(x1 + (x2 - x1) * (y - y1) / (y2 - y1))), y);
    };

    for (int i = first; i <= last; ++i) {
        const double pos = get_point_pos(d, i);
        if (std::isnan(pos)) continue;
        // units_to_pixels with its factor hoisted out of the loop.
        const int y = clamp_to_pixel(static_cast<double>(clamp_to_pixel((pos - pd.min_x) * per_unit + 0.5)) +
                                     pd.hat_size - pd.offset);
        const int x = to_x(get_point_value(d, i));
        if (mode == pcm_find_nearest) {
            const float dx = static_cast<float>(x - rect.Left) - static_cast<float>(result->x);
            const float dy = static_cast<float>(y - rect.Top) - static_cast<float>(result->y);
            const double d2 = static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
            if (d2 < result->min_len) {
                result->min_len = d2;
                result->curve = curve_index;
                result->value = pos;
            }
            continue;
        }
        const bool inside = y >= band_top && y <= band_bottom;
        if (!have_prev) {
            if (inside) rows.add(x, y);
        } else {
            const bool prev_inside = py >= band_top && py <= band_bottom;
            if (prev_inside && inside) {
                rows.add(x, y);
            } else if (prev_inside) {
                cut(px, py, x, y, y < band_top ? band_top : band_bottom);
            } else if (inside) {
                cut(px, py, x, y, py < band_top ? band_top : band_bottom);
                rows.add(x, y);
            } else if (py < band_top && y > band_bottom) {
                cut(px, py, x, y, band_top);
                cut(px, py, x, y, band_bottom);
            } else if (py > band_bottom && y < band_top) {
                cut(px, py, x, y, band_bottom);
                cut(px, py, x, y, band_top);
            }
        }
        px = x;
        py = y;
        have_prev = true;
    }
    if (mode == pcm_find_nearest) return last - first + 1;
    rows.flush();
    if (!points.empty()) {
        ui::TPen& pen = canvas->Pen();
        pen.SetWidth(curve.width);
        pen.SetStyle(ui::psSolid);
        pen.SetColor(curve.color);
        lib::smart_draw_points(points, canvas, rect, false, static_cast<float>(get_planshet()->get_ppcm() + 0.5));
    }
    return last - first + 1;
}

void GraphicsColumn::paint_marks(const Curve& curve, ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd,
                                 int curve_index) {
    int d = -1, n = 0;
    if (marks_.empty() || !canvas || !curve_data(curve, d, n)) return;
    canvas->Font().SetColor(get_planshet()->get_text_color());
    double from = 0, to = 0;
    visible_span(rect, pd, from, to);
    std::weak_ptr<GraphicsColumn*> alive = alive_;
    for (const Mark& m : marks_) {
        if (m.curve != curve_index || !(from <= m.value && m.value <= to)) continue;
        const double v = get_point_value(d, find_point_index(m.value, n, d));
        const int y = clamp_to_pixel(static_cast<double>(units_to_pixels(m.value - pd.min_x, pd.scale, pd.ppcm)) +
                                     pd.hat_size - pd.offset);
        const int x = curve_x(v, curve, rect);
        const std::string text = lib::float_to_str(v, -1, -1);
        const ui::TSize ext = canvas->TextExtent(text);
        ui::TPen& pen = canvas->Pen();
        pen.SetColor(curve.color);
        pen.SetWidth(1);
        pen.SetStyle(ui::psSolid);
        canvas->Brush().SetColor(ui::clWhite);
        canvas->Brush().SetStyle(ui::bsSolid);
        const ui::TRect box(x + 8, y + 8, x + 8 + ext.cx + 6, y + 8 + ext.cy + 2);
        lib::line(canvas, x, y, x + 8, y + 8);
        canvas->Rectangle(box);
        canvas->Rectangle(x - 2, y - 2, x + 3, y + 3);
        canvas->TextOut((box.Left + box.Right - ext.cx) / 2, (box.Top + box.Bottom - ext.cy) / 2, text);

        RectArea area(box, m.id);
        area.on_dblclick = [alive](const std::any& data, const ui::TPoint& p) {
            if (auto self = alive.lock()) (*self)->on_mark_dbl_click(data, p);
        };
        get_mouse_events_fn().add_object(area);
    }
}

int GraphicsColumn::get_hat_item_size(ui::TCanvas* canvas, Direction direction) const {
    if (direction != dir_vertical || !canvas) return 0;
    const int h = canvas->TextHeight("#");
    return log_mode_ ? h * 15 / 10 : h * 20 / 10;
}

int GraphicsColumn::title_room(ui::TCanvas* canvas, const Curve& curve) const {
    const int pad = canvas->TextWidth(" ");
    int room = get_hat_width() - 2 * (pad + 1);
    if (!log_mode_)
        // Two blanks each side: a number closer to the title reads as part of it.
        room -= canvas->TextWidth(lib::float_to_str(curve.left, -1, -1)) +
                canvas->TextWidth(lib::float_to_str(curve.right, -1, -1)) + 4 * pad;
    return room;
}

std::vector<std::string> GraphicsColumn::get_title_lines(ui::TCanvas* canvas, int curve) const {
    const Curve& c = curves_.at(static_cast<std::size_t>(curve));
    const int room = title_room(canvas, c);
    // Before the first layout the width is not known, and a room too small
    // for a letter holds no line at all: the title stays whole.
    if (get_hat_width() <= 0 || canvas->TextWidth(c.title) <= room || canvas->TextWidth("W") > room) return {c.title};
    std::vector<std::string> lines;
    std::string line;
    auto fits = [&](const std::string& text) { return canvas->TextWidth(text) <= room; };
    auto push = [&] {
        if (!line.empty()) lines.push_back(line);
        line.clear();
    };
    std::size_t at = 0;
    while (at < c.title.size()) {
        std::size_t end = c.title.find(' ', at);
        if (end == std::string::npos) end = c.title.size();
        const std::string word = c.title.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        if (fits(line.empty() ? word : line + " " + word)) {
            line = line.empty() ? word : line + " " + word;
            continue;
        }
        push();
        if (fits(word)) {
            line = word;
            continue;
        }
        // A word wider than the room: as many whole letters (UTF-8
        // sequences) a line as fit.
        std::size_t from = 0;
        while (from < word.size()) {
            std::size_t cut = from, next = from;
            do {
                next = cut + 1;
                while (next < word.size() && (static_cast<unsigned char>(word[next]) & 0xC0) == 0x80) ++next;
                if (cut > from && !fits(word.substr(from, next - from))) break;
                cut = next;
            } while (cut < word.size());
            line = word.substr(from, cut - from);
            from = cut;
            if (from < word.size()) push();
        }
    }
    push();
    return lines.empty() ? std::vector<std::string>{c.title} : lines;
}

int GraphicsColumn::curve_item_size(ui::TCanvas* canvas, int curve) const {
    const int lines = static_cast<int>(get_title_lines(canvas, curve).size());
    return get_hat_item_size(canvas, dir_vertical) + (lines - 1) * canvas->TextHeight("#");
}

int GraphicsColumn::get_hat_size(ui::TCanvas* canvas, Direction direction) {
    if (get_planshet()->get_direction() != dir_vertical || !canvas) return 0;
    canvas->Font().SetSize(hat_font_size);
    const int item = get_hat_item_size(canvas, direction);
    int size = item / 5;
    for (std::size_t i = 0; i < curves_.size(); ++i) size += curve_item_size(canvas, static_cast<int>(i));
    if (log_mode_) size += canvas->TextHeight("#") + item / 5;
    return size;
}

void GraphicsColumn::add_range_area(const ui::TRect& r, const std::string& text, int curve, int side) {
    RectArea area(r, RangeClickData{r, text, curve, side});
    std::weak_ptr<GraphicsColumn*> alive = alive_;
    area.on_click = [alive](const std::any& data, const ui::TPoint& p) {
        if (auto self = alive.lock()) (*self)->on_range_click(data, p);
    };
    get_mouse_events_fn().add_object(area);
}

void GraphicsColumn::paint_hat(ui::TCanvas* canvas, Direction direction, const ui::TRect& cell) {
    if (!canvas || direction != dir_vertical) return;
    const int pad = canvas->TextWidth(" ");
    std::weak_ptr<GraphicsColumn*> alive = alive_;
    int y = cell.Top;
    const int line_height = canvas->TextHeight("#");
    for (std::size_t i = 0; i < curves_.size(); ++i) {
        const Curve& curve = curves_[i];
        const int index = static_cast<int>(i);
        const int bottom = y + curve_item_size(canvas, index);
        const int text_top = (bottom + y - line_height) / 2;
        canvas->Font().SetColor(curve.color);
        // Centred over the column, or over the room between the range values
        // where the centre would run into one of them.
        const std::vector<std::string> lines = get_title_lines(canvas, index);
        const int room = title_room(canvas, curve);
        const int left_w = log_mode_ ? 0 : canvas->TextWidth(lib::float_to_str(curve.left, -1, -1));
        const int room_left = log_mode_ ? cell.Left + pad + 1 : cell.Left + 3 * pad + 1 + left_w;
        int title_left = cell.Right, title_right = cell.Left;
        int line_top = (bottom + y - line_height * static_cast<int>(lines.size())) / 2;
        for (const std::string& line : lines) {
            const int w = canvas->TextWidth(line);
            int x = (cell.Left + cell.Right - w) / 2;
            if (get_hat_width() > 0 && w <= room) x = std::clamp(x, room_left, room_left + room - w);
            canvas->TextOut(x, line_top, line);
            title_left = std::min(title_left, x);
            title_right = std::max(title_right, x + w);
            line_top += line_height;
        }

        RectArea name(ui::Rect(title_left, y, title_right, bottom), index);
        name.on_click = [alive](const std::any& data, const ui::TPoint& p) {
            if (auto self = alive.lock()) (*self)->on_param_click(data, p);
        };
        get_mouse_events_fn().add_object(name);

        ui::TPen& pen = canvas->Pen();
        pen.SetStyle(ui::psSolid);
        pen.SetWidth(curve.width);
        pen.SetColor(curve.color);
        lib::line(canvas, cell.Left, bottom, cell.Right, bottom);

        if (!log_mode_) {
            for (int k = 1; k < divisions_; ++k) {
                const int x = (cell.Right - cell.Left) * k / divisions_ + cell.Left;
                lib::line(canvas, x, bottom, x, bottom - tick_height_);
            }
            const std::string left_text = lib::float_to_str(curve.left, -1, -1);
            const int left_x = cell.Left + pad + 1;
            const int left_w = canvas->TextWidth(left_text);
            canvas->TextOut(left_x, text_top, left_text);
            add_range_area(ui::Rect(left_x, y, left_x + left_w, bottom), left_text, index, 0);

            const std::string right_text = lib::float_to_str(curve.right, -1, -1);
            const int right_w = canvas->TextWidth(right_text);
            const int right_x = cell.Right - right_w - pad - 1;
            canvas->TextOut(right_x, text_top, right_text);
            add_range_area(ui::Rect(right_x, y, right_x + right_w, bottom), right_text, index, 2);
        }
        y = bottom;
    }
    if (log_mode_) {
        const int top = y + pad;
        const int bottom = top + canvas->TextHeight("#");
        const int n = static_cast<int>(curves_.size());
        const std::string left_text = lib::float_to_str(log_left_, -1, -1);
        const int left_x = cell.Left + pad + 1;
        canvas->TextOut(left_x, top, left_text);
        add_range_area(ui::Rect(left_x, top, left_x + canvas->TextWidth(left_text), bottom), left_text, n, 0);
        const std::string right_text = lib::float_to_str(log_right_, -1, -1);
        const int right_w = canvas->TextWidth(right_text);
        const int right_x = cell.Right - right_w - pad - 1;
        canvas->TextOut(right_x, top, right_text);
        add_range_area(ui::Rect(right_x, top, right_x + right_w, bottom), right_text, n, 2);
    }
}

void GraphicsColumn::paint_scales(ui::TCanvas* canvas, Direction direction, const ui::TRect& rect,
                                  const PaintData& pd) {
    if (!canvas) return;
    if (log_mode_) {
        if (!(log_left_ > 0 && log_right_ > 0) || !std::isfinite(log_left_) || !std::isfinite(log_right_)) return;
        ui::TPen& pen = canvas->Pen();
        const ui::TPenStyle style = pen.Style();
        const int e_first = static_cast<int>(std::trunc(std::log10(log_left_) - 2));
        const int e_last = static_cast<int>(std::trunc(std::log10(log_right_)));
        auto x_of = [&](double v) {
            return value_to_coord(v, 0, 1, log_left_, log_right_, rect.Left, rect.Right, true);
        };
        for (int e = e_first; e <= e_last; ++e) {
            const double v = std::pow(10.0, e);
            if (log_left_ < v && v < log_right_) {
                pen.SetStyle(ui::psSolid);
                const int x = x_of(v);
                lib::line(canvas, x, rect.Top, x, rect.Bottom);
                pen.SetStyle(style);
            }
            for (int j = 1; j <= 9; ++j) {
                const double t = v + v * j;
                if (log_left_ <= t && t <= log_right_) {
                    const int x = x_of(t);
                    lib::line(canvas, x, rect.Top, x, rect.Bottom);
                }
            }
        }
        return;
    }
    if (direction != dir_vertical) return;
    for (int k = 1; k < divisions_; ++k) {
        const int x = (rect.Right - rect.Left) * k / divisions_ + rect.Left;
        lib::line(canvas, x, rect.Top - (pd.offset % 32), x, rect.Bottom);
    }
}

void GraphicsColumn::get_min_max_x(double& min, double& max) const {
    for (const Curve& c : curves_) {
        const int d = get_param_index(c.param_name);
        if (d == -1) continue;
        const int n = get_points_count(d);
        if (n <= 0) continue;
        const double a = get_point_pos(d, 0), b = get_point_pos(d, n - 1);
        if (std::min(a, b) < min) min = std::min(a, b);
        if (std::max(a, b) > max) max = std::max(a, b);
    }
}

// --- marks --------------------------------------------------------------------

void GraphicsColumn::on_dbl_click(const std::any& data, const ui::TPoint& p) {
    if (mark_type_ == mark_none) return;
    const DblAreaHelper helper = std::any_cast<DblAreaHelper>(data);
    CalcMinLenResult result;
    result.x = p.x;
    result.y = p.y;
    for (std::size_t i = 0; i < curves_.size(); ++i)
        paint_curve(curves_[i], nullptr, helper.rect, helper.pd, static_cast<int>(i), pcm_find_nearest, &result);
    if (result.curve < 0 || std::sqrt(result.min_len) > 32) return;
    marks_.push_back(Mark{result.value, result.curve, next_mark_id_++});
    get_planshet()->smart_invalidate();
}

void GraphicsColumn::on_mark_dbl_click(const std::any& data, const ui::TPoint&) {
    // Marks are named by id: a second double click before the repaint finds
    // its mark gone and does nothing, instead of erasing a neighbour or
    // reaching past the end.
    const int id = std::any_cast<int>(data);
    const auto it = std::find_if(marks_.begin(), marks_.end(), [id](const Mark& m) { return m.id == id; });
    if (it == marks_.end()) return;
    marks_.erase(it);
    get_planshet()->smart_invalidate();
}

void GraphicsColumn::on_param_click(const std::any&, const ui::TPoint&) {}

// --- range editing --------------------------------------------------------------

void GraphicsColumn::on_range_click(const std::any& data, const ui::TPoint&) {
    const RangeClickData rc = std::any_cast<RangeClickData>(data);
    ui::TEdit* editor = get_editor_fn();
    if (!editor || (rc.side != 0 && rc.side != 2)) return;
    // The areas are those of the last paint; a click on a range of a curve
    // that has gone since, or of the other mode, opens nothing.
    const int n = static_cast<int>(curves_.size());
    EditTarget target;
    if (rc.curve == n && log_mode_) {
        target.log = true;
    } else if (rc.curve >= 0 && rc.curve < n && !log_mode_) {
        target.curve = rc.curve;
        target.param_name = curves_[static_cast<std::size_t>(rc.curve)].param_name;
        target.title = curves_[static_cast<std::size_t>(rc.curve)].title;
    } else {
        return;
    }
    edit_target_ = target;
    edit_curve_ = rc.curve;
    const int editor_width = ui::display().PixelsPerInch() / 3;
    int dx = 0, dy = 0;
    if (get_planshet()->editor_offset) get_planshet()->editor_offset(dx, dy);
    int left = 0;
    if (rc.side == 0) {
        left = rc.rect.Left - 2;
        edit_mode_ = 1;
    } else {
        left = rc.rect.Right - editor_width + 2;
        edit_mode_ = 2;
    }
    editor->SetBounds(left + dx, (rc.rect.Top + rc.rect.Bottom - editor->Height()) / 2 + dy, editor_width,
                      editor->Height());
    editor->SetText(rc.text);
    editor->Font().SetColor(target.log ? get_planshet()->get_text_color()
                                       : curves_[static_cast<std::size_t>(rc.curve)].color);
    std::weak_ptr<GraphicsColumn*> alive = alive_;
    editor->OnKeyPress = [alive](ui::TObject* source, char32_t& key) {
        if (auto self = alive.lock()) (*self)->editor_key_press(source, key);
    };
    editor->Show();
    editor->SetFocus();
}

void GraphicsColumn::editor_key_press(ui::TObject*, char32_t& key) {
    if (key != U'\r') return;
    in_key_press_ = true;
    finish_range_edit();
    in_key_press_ = false;
}

bool GraphicsColumn::edit_target_valid() const {
    if (edit_target_.log) return log_mode_;
    if (log_mode_ || edit_target_.curve < 0 || edit_target_.curve >= static_cast<int>(curves_.size())) return false;
    const Curve& c = curves_[static_cast<std::size_t>(edit_target_.curve)];
    return c.param_name == edit_target_.param_name && c.title == edit_target_.title;
}

void GraphicsColumn::finish_range_edit() {
    if (edit_mode_ != 1 && edit_mode_ != 2) return;
    const int mode = edit_mode_;
    edit_mode_ = 0;
    ui::TEdit* editor = get_editor_fn ? get_editor_fn() : nullptr;
    if (!editor) return;
    const double value = static_cast<double>(lib::str_to_float(editor->Text(), 0));
    // The typed value goes where the click was, and nowhere if that curve or
    // mode has gone meanwhile.
    if (std::isfinite(value) && edit_target_valid()) {
        if (edit_target_.log)
            (mode == 1 ? log_left_ : log_right_) = value;
        else {
            Curve& c = curves_[static_cast<std::size_t>(edit_target_.curve)];
            (mode == 1 ? c.left : c.right) = value;
        }
    }
    editor->Hide();
    get_planshet()->smart_invalidate();
    // The handler that runs now must not be destroyed under itself; left in
    // place it does nothing until the next edit replaces it.
    if (!in_key_press_) editor->OnKeyPress = nullptr;
}

// --- settings -----------------------------------------------------------------

void GraphicsColumn::load_from_ini(const std::string& prefix, rtl::IniFile* ini) {
    if (!ini) return;
    for (Curve& c : curves_) c.load_from_ini(prefix, ini);
    const std::string s = prefix + "_" + caption_;
    log_left_ = ini->ReadFloat(s, "log_left", log_left_);
    log_right_ = ini->ReadFloat(s, "log_right", log_right_);
}

void GraphicsColumn::save_to_ini(const std::string& prefix, rtl::IniFile* ini) {
    if (!ini) return;
    for (const Curve& c : curves_) c.save_to_ini(prefix, ini);
    const std::string s = prefix + "_" + caption_;
    ini->WriteFloat(s, "log_left", log_left_);
    ini->WriteFloat(s, "log_right", log_right_);
}

}  // namespace lib::graphics
