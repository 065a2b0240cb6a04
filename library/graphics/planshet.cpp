#include "library/graphics/planshet.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "library/controls/draw_helpers.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/display.h"
#include "platform/ui/edits.h"

namespace lib::graphics {

ui::TBitmap* Planshet::bitmap_ = nullptr;
int Planshet::instance_counter_ = 0;

Planshet::Planshet()
    : mouse_events_(std::make_unique<MouseEvents>()), ppcm_(ui::display().PixelsPerInch() * 0.3937007874015748) {
    label_formatter = [](double v) { return rtl::FormatDateTime("hh:nn:ss", v); };
    grid_step = [](double scale) { return round_time_step(scale); };
    ++instance_counter_;
}

Planshet::~Planshet() {
    if (--instance_counter_ == 0) {
        delete bitmap_;
        bitmap_ = nullptr;
    }
}

// --- columns ----------------------------------------------------------------

void Planshet::add_column(ColumnPtr column) {
    if (!column || std::find(columns_.begin(), columns_.end(), column) != columns_.end()) return;
    column->get_editor_fn = [this] { return get_editor(); };
    column->get_mouse_events_fn = [this]() -> MouseEvents& { return get_mouse_events(); };
    columns_.push_back(std::move(column));
}

void Planshet::delete_column(const ColumnPtr& column) {
    const auto it = std::find(columns_.begin(), columns_.end(), column);
    if (it != columns_.end()) columns_.erase(it);
}

ColumnPtr Planshet::get_column(unsigned index) const {
    if (index >= columns_.size()) throw std::out_of_range("Planshet::get_column: index out of range");
    return columns_[index];
}

void Planshet::for_each(const std::function<void(Column*)>& fn) const {
    for (const ColumnPtr& c : columns_) fn(c.get());
}

// --- geometry ---------------------------------------------------------------

void Planshet::calc_min_max_x(double& min, double& max) const {
    min = 1e30;
    max = -1e30;
    for (const ColumnPtr& c : columns_) c->get_min_max_x(min, max);
}

int Planshet::get_hat_size(ui::TCanvas* canvas) const {
    int size = 0;
    for (const ColumnPtr& c : columns_) size = std::max(size, c->get_hat_size(canvas, direction_));
    return size;
}

void Planshet::calc_paint_data(PaintData& pd, ui::TCanvas* canvas) const {
    calc_min_max_x(pd.min_x, pd.max_x);
    pd.hat_size = get_hat_size(canvas);
    pd.scale = scale_;
    pd.direction = direction_;
    pd.offset = offset_;
    pd.ppcm = ppcm_;
}

void Planshet::calc_columns_coords(std::vector<ColumnCoord>& coords, int width) const {
    const long long n = static_cast<long long>(columns_.size());
    coords.assign(columns_.size(), ColumnCoord{});
    if (n == 0) return;
    const long long available = width - static_cast<long long>(columns_gap_) * (n - 1);
    long long x = 0;
    for (long long i = 0; i < n; ++i) {
        ColumnCoord& c = coords[static_cast<std::size_t>(i)];
        c.start = clamp_to_pixel(static_cast<double>(x));
        const long long end = i == n - 1 ? width : (i + 1) * available / n;
        c.end = clamp_to_pixel(static_cast<double>(end));
        x = end + columns_gap_;
    }
}

int Planshet::get_lenght(const ui::TRect& r) const {
    switch (direction_) {
        case dir_horizontal: return r.Right - r.Left;
        case dir_vertical: return r.Bottom - r.Top;
    }
    return 0;
}

double Planshet::pos_to_x(int pos, const PaintData& pd) const {
    return pixels_to_units(static_cast<double>(pos) + pd.offset - pd.hat_size, pd.scale, pd.ppcm) + pd.min_x;
}

int Planshet::x_to_pos(double x, const PaintData& pd) const {
    return clamp_to_pixel(static_cast<double>(units_to_pixels(x - pd.min_x, scale_, ppcm_)) + pd.hat_size - pd.offset);
}

void Planshet::get_visible_x_range(double& from, double& to, const ui::TRect& r, ui::TCanvas* canvas) const {
    PaintData pd;
    calc_paint_data(pd, canvas);
    from = pos_to_x(r.Top, pd);
    to = pos_to_x(r.Bottom, pd);
}

bool Planshet::get_scroll_bar_values(int& position, int& max, int& page, ui::TCanvas* canvas,
                                     const ui::TRect& r) const {
    if (columns_.empty()) return false;
    int p = get_lenght(r) - get_hat_size(canvas);
    if (p < 0) p = 1;
    double min_x = 0, max_x = 0;
    calc_min_max_x(min_x, max_x);
    if (min_x > max_x || scale_ == 0) return false;
    const int total = units_to_pixels(max_x - min_x, scale_, ppcm_);
    max = clamp_to_pixel(static_cast<double>(total) - p);
    position = std::min(offset_, max);
    page = p;
    return true;
}

// --- painting ---------------------------------------------------------------

void Planshet::check_bitmap_sizes(int width, int height) {
    // Sheets of different sizes share the buffer: it takes the largest width
    // and the largest height seen, so they stop reallocating it in turns.
    if (!bitmap_) {
        bitmap_ = new ui::TBitmap(std::max(width, 1), std::max(height, 1));
        return;
    }
    if (bitmap_->Width() < width || bitmap_->Height() < height)
        bitmap_->SetSize(std::max(bitmap_->Width(), width), std::max(bitmap_->Height(), height));
}

void Planshet::lay_out(int width) {
    std::vector<ColumnCoord> coords;
    calc_columns_coords(coords, width);
    for (std::size_t i = 0; i < coords.size(); ++i) columns_[i]->set_hat_width(coords[i].end - coords[i].start);
}

void Planshet::paint(ui::TCanvas* canvas, ui::TColor color, int width, int height) {
    if (columns_.empty() || !canvas) return;
    if (width <= 0 || height <= 0) return;
    lay_out(width);
    if (double_buffered_) check_bitmap_sizes(width, height);
    mouse_events_->clear();
    ui::TCanvas* target = double_buffered_ ? &bitmap_->Canvas() : canvas;

    PaintData pd;
    calc_paint_data(pd, target);
    if (pd.min_x > pd.max_x) return;
    if (direction_ != dir_vertical) return;

    const ui::TRect data(0, pd.hat_size - 1, width, height);
    if (double_buffered_) {
        target->Brush().SetStyle(ui::bsSolid);
        target->Brush().SetColor(color);
        target->FillRect(ui::Rect(0, 0, width, height));
    }
    std::vector<ColumnCoord> coords;
    calc_columns_coords(coords, width);

    draw_data(target, data, coords, pd, dm_background);
    draw_data(target, data, coords, pd, dm_user);
    paint_scales1(target, data, coords, pd);
    draw_data(target, data, coords, pd, dm_scales);
    draw_data(target, data, coords, pd, dm_data);
    draw_data(target, data, coords, pd, dm_frame);
    draw_hat(target, pd.hat_size, coords);

    if (double_buffered_) canvas->CopyRect(ui::Rect(0, 0, width, height), *target, ui::Rect(0, 0, width, height));
}

void Planshet::draw_data(ui::TCanvas* canvas, const ui::TRect& data, const std::vector<ColumnCoord>& coords,
                         const PaintData& pd, DrawMode mode) {
    const std::size_t n = std::min(coords.size(), columns_.size());
    for (std::size_t i = 0; i < n; ++i) {
        const ui::TRect r(coords[i].start, data.Top, coords[i].end, data.Bottom);
        const ColumnPtr& column = columns_[i];
        switch (mode) {
            case dm_background: draw_frame_rect(canvas, r, true); break;
            case dm_data: column->paint(canvas, r, pd); break;
            case dm_frame: draw_frame_rect(canvas, r, false); break;
            case dm_scales: column->paint_scales(canvas, direction_, r, pd); break;
            case dm_user:
                if (on_paint_column) on_paint_column(canvas, r, static_cast<int>(i), column);
                break;
        }
    }
}

void Planshet::draw_frame_rect(ui::TCanvas* canvas, const ui::TRect& r, bool fill) {
    if (fill) {
        canvas->Brush().SetColor(bk_color_);
        canvas->Brush().SetStyle(ui::bsSolid);
        canvas->FillRect(r);
    } else {
        canvas->Brush().SetStyle(ui::bsClear);
        canvas->Pen().SetColor(frame_color_);
        canvas->Pen().SetWidth(1);
        canvas->Pen().SetStyle(ui::psSolid);
        canvas->Rectangle(r);
    }
}

void Planshet::draw_hat(ui::TCanvas* canvas, int hat_height, const std::vector<ColumnCoord>& coords) {
    const std::size_t n = std::min(coords.size(), columns_.size());
    for (std::size_t i = 0; i < n; ++i) {
        const ui::TRect cell(coords[i].start, 0, coords[i].end, hat_height);
        draw_frame_rect(canvas, cell, true);
        columns_[i]->paint_hat(canvas, direction_, cell);
        draw_frame_rect(canvas, cell, false);
    }
}

double round_time_step(double at_least) {
    // Seconds, minutes and hours a reader counts in, then whole days.
    static const double seconds[] = {1,    2,    5,    10,   15,    30,    60,    120,   300,
                                     600,  900,  1800, 3600, 7200,  10800, 21600, 43200, 86400};
    const double wanted = at_least * 86400;
    for (double s : seconds)
        if (s >= wanted * (1 - 1e-9)) return s / 86400;
    double days = 1;
    for (;;)
        for (double m : {2.0, 5.0, 10.0}) {
            if (days * m >= at_least * (1 - 1e-9) || !std::isfinite(days * m)) return days * m;
            if (m == 10.0) days *= 10;
        }
}

std::vector<Planshet::GridLine> Planshet::grid_lines(ui::TCanvas* canvas, const ui::TRect& data,
                                                     const PaintData& pd) const {
    std::vector<GridLine> lines;
    const double step = grid_step ? grid_step(pd.scale) : pd.scale;
    if (!(step > 0) || !std::isfinite(step)) return lines;
    const double from = pos_to_x(data.Top, pd);
    const double to = pos_to_x(data.Bottom, pd);
    // Whole multiples of the step; the index is kept in 64 bits and the span
    // checked, so a fine step far from zero cannot overflow it.
    const double lo = std::trunc(from / step - 1), hi = std::trunc(to / step + 1);
    if (!std::isfinite(lo) || !std::isfinite(hi) || std::fabs(lo) > 9e15 || std::fabs(hi) > 9e15) return lines;
    if (hi - lo > 100000) return lines;  // more lines than the screen has pixels: nothing sensible to draw
    const long long first = static_cast<long long>(lo), last = static_cast<long long>(hi);
    std::string previous;
    for (long long i = first; i <= last; ++i) {
        GridLine line;
        line.value = static_cast<double>(i) * step;
        line.y = clamp_to_pixel(static_cast<double>(units_to_pixels(line.value - pd.min_x, pd.scale, pd.ppcm)) +
                                pd.hat_size - pd.offset);
        // A label goes just below its line, and only where all of it shows:
        // under the header cells (drawn last, over the grid) and above the
        // bottom. Two lines that would read the same keep the first label.
        if (label_formatter && line.y + 1 >= data.Top + 1 && line.y < data.Bottom) {
            std::string text = label_formatter(line.value);
            const int height = canvas ? canvas->TextHeight(text.empty() ? std::string("0") : text) : 0;
            if (line.y + 1 + height <= data.Bottom && text != previous) {
                previous = text;
                line.label = std::move(text);
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void Planshet::paint_scales1(ui::TCanvas* canvas, const ui::TRect& data, const std::vector<ColumnCoord>& coords,
                             const PaintData& pd) {
    canvas->Pen().SetStyle(ui::psDot);
    canvas->Pen().SetColor(ui::clGray);
    canvas->Pen().SetWidth(1);
    canvas->Font().SetColor(text_color_);
    painted_grid_ = grid_lines(canvas, data, pd);
    for (const GridLine& line : painted_grid_) {
        for (std::size_t c = 0; c < coords.size(); ++c) {
            lib::line(canvas, coords[c].start, line.y, coords[c].end, line.y);
            if (c == 0 && !line.label.empty()) canvas->TextOut(coords[c].start + 1, line.y + 1, line.label);
        }
    }
}

// --- settings and state -----------------------------------------------------

void Planshet::smart_invalidate() {
    if (double_buffered_ && on_invalidate_buffered) {
        on_invalidate_buffered();
        return;
    }
    if (on_invalidate) on_invalidate();
}

void Planshet::set_offset(int offset) {
    if (offset == offset_) return;
    offset_ = offset;
    smart_invalidate();
}

void Planshet::set_scale(double scale) {
    // A scale of 0 would divide every conversion by zero, and a negative one
    // turns the axis upside down with the grid loop running backwards.
    if (!(scale > 0) || !std::isfinite(scale))
        throw std::invalid_argument("Planshet::set_scale: the scale must be a positive number");
    scale_ = scale;
    if (on_invalidate) on_invalidate();
}

void Planshet::set_direction(Direction d) {
    if (d == direction_) return;
    direction_ = d;
    if (on_invalidate) on_invalidate();
}

ui::TEdit* Planshet::get_editor() {
    if (!container_) return editor_;
    if (!editor_) editor_ = new ui::TEdit(container_);
    editor_->SetParent(container_);
    editor_->SetParentFont(true);
    editor_->SetColor(bk_color_);
    return editor_;
}

// --- mouse ------------------------------------------------------------------

void Planshet::mouse_click(const ui::TPoint& p) {
    for (const ColumnPtr& c : columns_) c->finish_edit_operations();
    mouse_events_->mouse_click(p);
}

void Planshet::mouse_dblclick(const ui::TPoint& p) { mouse_events_->mouse_dbl_click(p); }

// --- persistence --------------------------------------------------------------

void Planshet::load_from_ini(const std::string& prefix, rtl::IniFile* ini) {
    if (!ini) return;
    for (const ColumnPtr& c : columns_) c->load_from_ini(prefix, ini);
}

void Planshet::save_to_ini(const std::string& prefix, rtl::IniFile* ini) {
    if (!ini) return;
    // One rewrite of the file: a failure on the way leaves the old settings.
    rtl::IniFile::Batch batch(*ini);
    const std::string mark = prefix + "_";
    for (const std::string& section : ini->ReadSections())
        if (section.find(mark) != std::string::npos) ini->EraseSection(section);
    for (const ColumnPtr& c : columns_) c->save_to_ini(prefix, ini);
    batch.commit();
}

}  // namespace lib::graphics
