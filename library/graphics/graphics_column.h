#pragma once
// The chart column that draws curves.
//
// Each curve is scaled between its own left and right values (left may
// exceed right: the axis is then reversed), or all curves share one
// logarithmic axis (log mode). The header ("hat") names the curves in their
// colours with a legend line each and shows their ranges; a click on a range
// value opens the sheet's editor over it, and Enter or any click on the sheet
// commits the typed value. A double click near a curve point puts a value
// mark there; a double click on a mark removes it.
//
// The column owns no data: four data-source functions, filled by the owner,
// give the points of each curve by its parameter name. Positions (time or
// depth) must not decrease with the point number: the visible points are
// found by bisection, and only they (plus three on each side) are drawn.
//
// Settings are kept in an INI file: per curve a section
// prefix_param_title with "left", "right", "color" and "width", and per
// column a section prefix_caption with "log_left" and "log_right".
//
// Values are brought into range in floating point before they become
// pixels: a value off the scale is drawn at the column's edge, and so is NaN
// or, in log mode, a value that is not positive.

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "library/graphics/column.h"

namespace ui {
class TObject;
}

namespace lib::graphics {

class Curve {
public:
    Curve(const std::string& title, const std::string& param_name, double left, double right, ui::TColor color,
          int width)
        : title(title), param_name(param_name), left(left), right(right), color(color), width(width) {}

    void load_from_ini(const std::string& prefix, rtl::IniFile* ini);
    void save_to_ini(const std::string& prefix, rtl::IniFile* ini) const;
    std::string section(const std::string& prefix) const { return prefix + "_" + param_name + "_" + title; }

    std::string title;
    std::string param_name;
    double left;
    double right;
    ui::TColor color;
    int width;
};

enum MarkType { mark_none = 0, mark_value = 1 };

// The data of the column-wide hit area: the paint that made it.
struct DblAreaHelper {
    PaintData pd;
    ui::TRect rect;
};

// The data of a range value's hit area. side: 0 the left value, 2 the right
// one. The curve index equals the number of curves for the shared
// logarithmic range.
struct RangeClickData {
    ui::TRect rect;
    std::string text;
    int curve = 0;
    int side = 0;
};

class GraphicsColumn : public Column {
public:
    struct Mark {
        double value = 0;  // axis position of the marked point
        int curve = 0;
        int id = 0;  // names the mark in its hit area, whatever was removed since
    };
    enum PaintCurveMode { pcm_draw = 0, pcm_find_nearest = 1 };
    // The state of a nearest-point search; x and y relative to the column
    // rectangle's top-left.
    struct CalcMinLenResult {
        int x = 0;
        int y = 0;
        int curve = -1;
        double value = 0;
        double min_len = 1e10;  // smallest squared distance so far
    };

    static constexpr int hat_font_size = 9;

    GraphicsColumn(Planshet* planshet, const char* caption);
    ~GraphicsColumn() override;

    void add_curve(const std::string& title, const std::string& param_name, double left, double right, ui::TColor color,
                   int width);
    // The first curve of that parameter name (exact comparison), or null.
    Curve* find_curve(const std::string& param_name);
    // Removes every curve; marks stay.
    void clear_curves() { curves_.clear(); }
    int get_curves_count() const { return static_cast<int>(curves_.size()); }
    Curve& get_curve(int index) { return curves_.at(static_cast<std::size_t>(index)); }

    void set_log_mode(bool on) { log_mode_ = on; }
    void set_log_scale(double left, double right) {
        log_left_ = left;
        log_right_ = right;
    }
    double get_left_log_scale() const { return log_left_; }
    double get_right_log_scale() const { return log_right_; }
    void set_mark_type(MarkType type);
    const std::vector<Mark>& get_marks() const { return marks_; }
    int get_edit_mode() const { return edit_mode_; }

    // Conversions across a span of `size` pixels, in the column's mode.
    int y_value_to_coord(double value, int size, double left, double right) const;
    double coord_to_y_value(int coord, int size, double left, double right) const;

    // An index next to position x among the count points of the data index:
    // the point at x itself when there is one.
    int find_point_index(double x, int count, int data_index) const;

    int paint_curve(const Curve& curve, ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd,
                    int curve_index, PaintCurveMode mode, CalcMinLenResult* result);
    void paint_marks(const Curve& curve, ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd,
                     int curve_index);
    int get_hat_item_size(ui::TCanvas* canvas, Direction direction) const;
    // The lines a curve's title takes in the header: one where it fits
    // between the range values at the column's width, else broken between
    // words (a word wider than the room between letters), never cut short.
    std::vector<std::string> get_title_lines(ui::TCanvas* canvas, int curve) const;

    // Hit-area handlers; the point is relative to the area.
    void on_dbl_click(const std::any& data, const ui::TPoint& p);
    void on_mark_dbl_click(const std::any& data, const ui::TPoint& p);
    void on_param_click(const std::any& data, const ui::TPoint& p);
    void on_range_click(const std::any& data, const ui::TPoint& p);

    void finish_range_edit();
    void editor_key_press(ui::TObject* source, char32_t& key);

    // Column
    void paint(ui::TCanvas* canvas, const ui::TRect& rect, const PaintData& pd) override;
    void paint_hat(ui::TCanvas* canvas, Direction direction, const ui::TRect& cell) override;
    int get_hat_size(ui::TCanvas* canvas, Direction direction) override;
    void get_min_max_x(double& min, double& max) const override;
    void finish_edit_operations() override { finish_range_edit(); }
    void paint_scales(ui::TCanvas* canvas, Direction direction, const ui::TRect& rect, const PaintData& pd) override;
    void load_from_ini(const std::string& prefix, rtl::IniFile* ini) override;
    void save_to_ini(const std::string& prefix, rtl::IniFile* ini) override;

    // The data sources; all four must be set before the column is painted or
    // asked for its range (an empty one throws std::bad_function_call).
    std::function<int(const std::string&)> get_param_index;  // -1: no data
    std::function<int(int)> get_points_count;
    std::function<double(int, int)> get_point_pos;
    std::function<double(int, int)> get_point_value;

private:
    // The curve or the shared logarithmic range an open edit will write to.
    struct EditTarget {
        bool log = false;
        int curve = 0;
        std::string param_name;
        std::string title;
    };

    // The value's pixel across the column, kept inside the rectangle.
    int curve_x(double value, const Curve& curve, const ui::TRect& rect) const;
    // The data index and point count of a curve that can be drawn; false for
    // one without data or with a span too small to scale.
    bool curve_data(const Curve& curve, int& data_index, int& count) const;
    void visible_span(const ui::TRect& rect, const PaintData& pd, double& from, double& to) const;
    void add_range_area(const ui::TRect& r, const std::string& text, int curve, int side);
    // The pixels left for a curve's title between its range values.
    int title_room(ui::TCanvas* canvas, const Curve& curve) const;
    // The height of a curve's part of the header.
    int curve_item_size(ui::TCanvas* canvas, int curve) const;
    bool edit_target_valid() const;

    std::string caption_;
    int edit_mode_ = 0;
    std::vector<Curve> curves_;
    int divisions_ = 4;
    int tick_height_ = 3;
    int edit_curve_ = 0;
    bool log_mode_ = false;
    double log_left_ = 0.001;
    double log_right_ = 10.0;
    MarkType mark_type_ = mark_value;
    std::vector<Mark> marks_;
    int next_mark_id_ = 1;
    EditTarget edit_target_;
    bool in_key_press_ = false;
    // Held by the editor's key handler, so that a column destroyed while its
    // edit is open never receives the key.
    std::shared_ptr<GraphicsColumn*> alive_;
};

}  // namespace lib::graphics
