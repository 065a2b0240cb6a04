#pragma once
// The column of a log chart as the sheet (planshet.h) sees it, the geometry
// of one paint, and the conversions between axis units and pixels that the
// sheet and its columns share.
//
// The chart's axis runs down the window: a date-time axis in days, or depth
// in metres. `scale` is axis units per centimetre of screen and `ppcm` screen
// pixels per centimetre, so a distance d in axis units is ppcm * d / scale
// pixels.

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/canvas.h"

namespace rtl {
class IniFile;
}
namespace ui {
class TEdit;
}

namespace lib {

class MouseEvents;

namespace graphics {

class Planshet;

enum Direction { dir_horizontal = 0, dir_vertical = 1 };

struct PaintData {
    double min_x = 0;  // smallest axis value of all data
    double max_x = 0;  // largest
    double scale = 0;
    double ppcm = 0;
    int hat_size = 0;  // header height in pixels
    int offset = 0;    // scroll offset in pixels along the axis
    Direction direction = dir_vertical;
};

// Pixel values are kept within this bound before any conversion to an
// integer, so a huge or broken value lands far off the picture instead of
// overflowing.
inline constexpr double kPixelLimit = 1 << 28;

// A double brought into the pixel range and truncated toward zero; NaN goes
// to the low end.
inline int clamp_to_pixel(double v) {
    if (!(v >= -kPixelLimit)) return static_cast<int>(-kPixelLimit);  // NaN too
    return static_cast<int>(v > kPixelLimit ? kPixelLimit : v);
}

// Pixels per axis unit; a curve's points are converted with it in one
// multiplication each, and units_to_pixels gives exactly the same pixels.
inline double pixels_per_unit(double scale, double ppcm) { return ppcm / scale; }
// Axis units to pixels: ppcm * d / scale + 0.5, truncated toward zero (so a
// negative distance is not rounded symmetrically).
inline int units_to_pixels(double d, double scale, double ppcm) {
    return clamp_to_pixel(d * pixels_per_unit(scale, ppcm) + 0.5);
}
// Pixels to axis units: p * scale / ppcm.
inline double pixels_to_units(double p, double scale, double ppcm) { return p * scale / ppcm; }

class Column {
public:
    explicit Column(Planshet* planshet) : planshet_(planshet) {}
    virtual ~Column() = default;
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;

    Planshet* get_planshet() const { return planshet_; }

    // The column's width at the sheet's latest layout (0 before the first):
    // a header may need more lines where the column is narrow.
    int get_hat_width() const { return hat_width_; }
    void set_hat_width(int width) { hat_width_ = width; }

    virtual void paint(ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd) = 0;
    virtual void paint_hat(ui::TCanvas* canvas, Direction direction, const ui::TRect& cell) = 0;
    virtual int get_hat_size(ui::TCanvas* canvas, Direction direction) = 0;
    virtual void get_min_max_x(double& min, double& max) const = 0;
    virtual void finish_edit_operations() {}
    virtual void paint_scales(ui::TCanvas* canvas, Direction direction, const ui::TRect& rect, const PaintData& pd) {
        (void)canvas;
        (void)direction;
        (void)rect;
        (void)pd;
    }
    virtual void load_from_ini(const std::string& prefix, rtl::IniFile* ini) {
        (void)prefix;
        (void)ini;
    }
    virtual void save_to_ini(const std::string& prefix, rtl::IniFile* ini) {
        (void)prefix;
        (void)ini;
    }

    // Bound by the sheet's add_column to the sheet's shared editor and hit
    // areas.
    std::function<ui::TEdit*()> get_editor_fn;
    std::function<MouseEvents&()> get_mouse_events_fn;

private:
    Planshet* planshet_;
    int hat_width_ = 0;
};

using ColumnPtr = std::shared_ptr<Column>;

}  // namespace graphics
}  // namespace lib
