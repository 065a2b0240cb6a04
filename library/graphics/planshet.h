#pragma once
// The log chart sheet: columns side by side across the window sharing one
// axis that runs down it (date-time in days by default, depth when the data
// say so).
//
// The owner creates the sheet, creates its columns with the sheet as owner,
// adds them with add_column, fills the columns' curves and data sources,
// optionally sets double buffering, the editor's container and the repaint
// callbacks, then loads the saved settings. In its paint handler it calls
// paint; it feeds clicks and double clicks (client coordinates) to
// mouse_click and mouse_dblclick, drives a vertical scroll bar from
// get_scroll_bar_values and set_offset, changes the scale with set_scale and
// saves the settings on close.
//
// A paint lays the columns out with a fixed gap, clears and rebuilds the
// mouse hit areas and draws in passes: column backgrounds, the owner's
// per-column hook, the dotted grid with axis labels (one line per
// centimetre, on whole multiples of the scale), the columns' scale lines,
// the curves, the frames and last the header cells. Double-buffered sheets
// draw into one back buffer shared by every sheet of the process; it grows
// to the largest width and the largest height asked for and is never shrunk.
//
// Only the vertical direction is laid out; a horizontal sheet paints nothing.
// Main thread only.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "library/graphics/column.h"
#include "library/graphics/mouse_events.h"

namespace ui {
class TWinControl;
class TBitmap;
}  // namespace ui

namespace lib::graphics {

// The smallest round step of a time axis (in days) that is at least
// `at_least`: 1, 2, 5, 10, 15 and 30 seconds, as many minutes, 1, 2, 3, 6 and
// 12 hours, then 1, 2, 5, 10, 20, 50 ... days. Never below a second, so
// labels to the second never repeat.
double round_time_step(double at_least);

class Planshet {
public:
    // One line of the grid: its axis value, its pixel along the axis, and
    // its label (empty where none is drawn).
    struct GridLine {
        double value = 0;
        int y = 0;
        std::string label;
    };

    struct ColumnCoord {
        int start = 0;
        int end = 0;
    };
    enum DrawMode { dm_background = 0, dm_data = 1, dm_frame = 2, dm_scales = 3, dm_user = 4 };

    Planshet();
    ~Planshet();
    Planshet(const Planshet&) = delete;
    Planshet& operator=(const Planshet&) = delete;

    // Columns, left to right. A column already present is not added twice.
    void add_column(ColumnPtr column);
    void delete_column(const ColumnPtr& column);
    void clear_columns() { columns_.clear(); }
    unsigned get_columns_count() const { return static_cast<unsigned>(columns_.size()); }
    // Throws std::out_of_range for an index not below the count.
    ColumnPtr get_column(unsigned index) const;
    void for_each(const std::function<void(Column*)>& fn) const;

    // Geometry. With no data calc_min_max_x leaves min > max.
    void calc_min_max_x(double& min, double& max) const;
    int get_hat_size(ui::TCanvas* canvas) const;
    void calc_paint_data(PaintData& pd, ui::TCanvas* canvas) const;
    void calc_columns_coords(std::vector<ColumnCoord>& coords, int width) const;
    int get_lenght(const ui::TRect& r) const;
    void get_visible_x_range(double& from, double& to, const ui::TRect& r, ui::TCanvas* canvas) const;
    double pos_to_x(int pos, const PaintData& pd) const;
    int x_to_pos(double x, const PaintData& pd) const;
    double get_ppcm() const { return ppcm_; }

    // Gives each column its width on a sheet `width` pixels wide, which the
    // header's height follows; paint does it, and so must whoever asks for
    // the header's height before a paint at a new width.
    void lay_out(int width);
    // Paints the whole sheet; `color` only clears the back buffer.
    void paint(ui::TCanvas* canvas, ui::TColor color, int width, int height);
    void draw_data(ui::TCanvas* canvas, const ui::TRect& data, const std::vector<ColumnCoord>& coords,
                   const PaintData& pd, DrawMode mode);
    void draw_hat(ui::TCanvas* canvas, int hat_height, const std::vector<ColumnCoord>& coords);
    void draw_frame_rect(ui::TCanvas* canvas, const ui::TRect& r, bool fill);
    void paint_scales1(ui::TCanvas* canvas, const ui::TRect& data, const std::vector<ColumnCoord>& coords,
                       const PaintData& pd);
    // The grid over the data rectangle: lines on whole multiples of the
    // grid step (at least a centimetre apart), each labelled just below
    // itself where the whole label fits inside the rectangle and does not
    // repeat the label before it.
    std::vector<GridLine> grid_lines(ui::TCanvas* canvas, const ui::TRect& data, const PaintData& pd) const;
    // The grid the last paint drew.
    const std::vector<GridLine>& painted_grid() const { return painted_grid_; }
    void paint_columns_delims(ui::TCanvas*, const std::vector<ColumnCoord>&, int) {}
    // Grows the shared back buffer to at least width x height.
    static void check_bitmap_sizes(int width, int height);
    // The shared back buffer (null until a double-buffered paint).
    static const ui::TBitmap* shared_bitmap() { return bitmap_; }

    // Settings and state. A scale must be a positive number of axis units per
    // centimetre: anything else throws std::invalid_argument.
    void set_scale(double scale);
    double get_scale() const { return scale_; }
    void set_offset(int offset);
    int get_offset() const { return offset_; }
    void set_direction(Direction d);
    Direction get_direction() const { return direction_; }
    void set_double_buffered(bool v) { double_buffered_ = v; }
    bool get_double_buffered() const { return double_buffered_; }
    ui::TColor get_bk_color() const { return bk_color_; }
    ui::TColor get_frame_color() const { return frame_color_; }
    ui::TColor get_text_color() const { return text_color_; }
    int get_columns_gap() const { return columns_gap_; }
    void set_container(ui::TWinControl* container) { container_ = container; }
    void smart_invalidate();

    // Scroll-bar values for the client rectangle: false (outputs untouched)
    // with no columns, no data or no scale.
    bool get_scroll_bar_values(int& position, int& max, int& page, ui::TCanvas* canvas, const ui::TRect& r) const;

    // The in-place editor shared by the columns, created on first use and
    // owned by the container. Without a container there is no editor (null),
    // and range values cannot be edited in place.
    ui::TEdit* get_editor();
    MouseEvents& get_mouse_events() const { return *mouse_events_; }

    // Points in the canvas's coordinates. A click first commits every open
    // range edit.
    void mouse_click(const ui::TPoint& p);
    void mouse_dblclick(const ui::TPoint& p);

    void load_from_ini(const std::string& prefix, rtl::IniFile* ini);
    // Erases every section whose name contains prefix + "_" (settings of
    // curves that are gone), then saves every column, in one rewrite.
    void save_to_ini(const std::string& prefix, rtl::IniFile* ini);

    std::function<void()> on_invalidate;
    std::function<void()> on_invalidate_buffered;
    std::function<std::string(double)> label_formatter;
    // The axis distance between grid lines for a scale (axis units a
    // centimetre). By default the round time step of round_time_step, so a
    // scale that is not round still gets a grid a reader can count; a depth
    // axis sets its own. Empty: one line a centimetre.
    std::function<double(double)> grid_step;
    std::function<void(ui::TCanvas*, const ui::TRect&, int, const ColumnPtr&)> on_paint_column;
    std::function<void(int& x, int& y)> editor_offset;

private:
    ui::TEdit* editor_ = nullptr;
    ui::TWinControl* container_ = nullptr;
    std::unique_ptr<MouseEvents> mouse_events_;
    ui::TColor bk_color_ = ui::clWhite;
    ui::TColor frame_color_ = ui::clBlack;
    ui::TColor text_color_ = ui::clBlack;
    std::vector<ColumnPtr> columns_;
    std::vector<GridLine> painted_grid_;
    Direction direction_ = dir_vertical;
    int columns_gap_ = 6;
    int offset_ = 0;
    double scale_ = 1.0 / 24;
    double ppcm_;
    bool double_buffered_ = false;

    static ui::TBitmap* bitmap_;
    static int instance_counter_;
};

}  // namespace lib::graphics
