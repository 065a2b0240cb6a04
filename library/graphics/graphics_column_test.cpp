#include "library/graphics/graphics_column.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <filesystem>

#include "library/graphics/planshet.h"
#include "library/graphics/testdata/chart_source.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/edits.h"
#include "platform/ui/forms.h"
#include "platform/ui/test_driver.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib::graphics {
namespace {

using testing::ChartSource;

struct Chart {
    Chart() {
        column = std::make_shared<GraphicsColumn>(&sheet, "Колонка");
        src.bind(*column);
        sheet.add_column(column);
    }
    PaintData paint_data(ui::TCanvas* canvas) {
        PaintData pd;
        sheet.calc_paint_data(pd, canvas);
        return pd;
    }
    Planshet sheet;
    ChartSource src;
    std::shared_ptr<GraphicsColumn> column;
};

TEST(GraphicsColumn, ValueToPixelAcrossTheSpan) {
    Chart c;
    EXPECT_EQ(c.column->y_value_to_coord(50, 200, 0, 100), 100);
    EXPECT_EQ(c.column->y_value_to_coord(25, 200, 100, 0), 150);  // reversed axis
    EXPECT_NEAR(c.column->coord_to_y_value(50, 200, 0, 100), 25, 1e-12);
    c.column->set_log_mode(true);
    EXPECT_EQ(c.column->y_value_to_coord(0.1, 400, 0.001, 10), 200);
    EXPECT_NEAR(c.column->coord_to_y_value(300, 400, 0.001, 10), 1, 1e-12);
    EXPECT_EQ(c.column->y_value_to_coord(0, 400, 0.001, 10), -1);
    EXPECT_EQ(c.column->y_value_to_coord(1, 400, -1, 10), -1);
    EXPECT_EQ(c.column->y_value_to_coord(1e300, 400, 0.001, 10), 30300);
}

TEST(GraphicsColumn, FindPointIndex) {
    Chart c;
    auto& s = c.src.series("p");
    for (double p : {0.0, 1.0, 2.0, 2.0, 3.0, 10.0, 11.0}) s.add(p, 0);
    struct Case {
        double x;
        int index;
    };
    const Case cases[] = {{-5, 0}, {0, 0}, {0.4, 0}, {0.6, 1},  {1, 1},  {2, 2},  {2.9, 4},
                          {6, 4},  {7, 5}, {10, 5},  {10.2, 5}, {11, 6}, {99, 6}, {NAN, 0}};
    for (const Case& k : cases) EXPECT_EQ(c.column->find_point_index(k.x, 7, 0), k.index) << k.x;
    // A long list: the point at x itself, found by bisection.
    auto& big = c.src.series("big");
    for (int i = 0; i < 100000; ++i) big.add(i * 0.5, 0);
    for (int i : {1, 2, 777, 50000, 99998}) EXPECT_EQ(c.column->find_point_index(i * 0.5, 100000, 1), i);
    EXPECT_EQ(c.column->find_point_index(1.0, 0, 1), 0);
}

TEST(GraphicsColumn, MinMaxOverCurvesWithData) {
    Chart c;
    c.column->add_curve("a", "a", 0, 1, ui::clRed, 1);
    c.column->add_curve("b", "b", 5, 5, ui::clRed, 1);  // too small a span still counts
    c.column->add_curve("none", "none", 0, 1, ui::clRed, 1);
    c.src.series("a").add(10, 0);
    c.src.series("a").add(20, 0);
    c.src.series("b").add(5, 0);
    c.src.series("b").add(15, 0);
    double min = 1e30, max = -1e30;
    c.column->get_min_max_x(min, max);
    EXPECT_EQ(min, 5);
    EXPECT_EQ(max, 20);
    EXPECT_EQ(c.column->find_curve("b"), &c.column->get_curve(1));
    EXPECT_EQ(c.column->find_curve("none")->title, "none");
    c.column->add_curve("by title", "x", 0, 1, ui::clRed, 1);
    EXPECT_EQ(c.column->find_curve("by title"), nullptr);
}

// Off-scale, NaN and huge values are drawn at the column's edge.
TEST(GraphicsColumn, ValuesAreClampedToTheColumn) {
    Chart c;
    c.column->add_curve("v", "v", 0, 100, ui::clRed, 1);
    auto& s = c.src.series("v");
    const double values[] = {50, 150, -5, NAN, 1e300, -INFINITY, 50, 50};
    const int expected_x[] = {110, 209, 10, 10, 209, 10, 110};
    const double day = 1.0 / 24 / c.sheet.get_ppcm();  // one pixel of axis
    for (int i = 0; i < 8; ++i) s.add(i * 20 * day, values[i]);
    ui::TBitmap b(220, 300);
    const PaintData pd = c.paint_data(&b.Canvas());
    c.column->paint(&b.Canvas(), ui::Rect(10, pd.hat_size - 1, 210, 300), pd);
    for (int i = 0; i < 7; ++i) {
        const int y = pd.hat_size + i * 20;
        EXPECT_EQ(b.Pixel(expected_x[i], y), ui::clRed) << "point " << i;
    }
    // Nothing of the curve outside the column.
    for (int y = 0; y < 300; ++y) {
        EXPECT_NE(b.Pixel(9, y), ui::clRed);
        EXPECT_NE(b.Pixel(210, y), ui::clRed);
    }
}

// In log mode values that are not positive sit at the left edge, and the
// scale has dotted lines at 2..9 of each decade and solid decade lines.
TEST(GraphicsColumn, LogScaleLines) {
    Chart c;
    c.column->set_log_mode(true);
    ui::TBitmap b(420, 100);
    ui::TCanvas& cv = b.Canvas();
    cv.Pen().SetStyle(ui::psDot);
    cv.Pen().SetColor(ui::clGray);
    PaintData pd;
    const ui::TRect rect(10, 0, 410, 100);
    c.column->paint_scales(&cv, dir_vertical, rect, pd);
    auto inked = [&](int x) {
        int n = 0;
        for (int y = 0; y < 100; ++y) n += b.Pixel(x, y) == ui::clGray;
        return n;
    };
    auto x_of = [&](double v) { return c.column->y_value_to_coord(v, 400, 0.001, 10) + 10; };
    for (double decade : {0.01, 0.1, 1.0}) EXPECT_EQ(inked(x_of(decade)), 100) << decade;
    for (double v : {0.002, 0.005, 0.009, 0.02, 0.2, 3.0, 9.0}) {
        EXPECT_GT(inked(x_of(v)), 30) << v;
        EXPECT_LT(inked(x_of(v)), 70) << v;
    }
    EXPECT_EQ(x_of(10), 410);
    EXPECT_GT(inked(410), 30);  // 10 itself, as 1 + 1 x 9
    EXPECT_LT(inked(10), 100);  // no solid line at 0.001 (the frame covers that edge)
    int lines = 0;
    for (int x = 11; x < 420; ++x) lines += inked(x) > 0;
    EXPECT_EQ(lines, 4 * 9);

    // Edges that are not positive draw no scale.
    ui::TBitmap e(420, 100);
    e.Canvas().Pen().SetColor(ui::clGray);
    c.column->set_log_scale(0, 10);
    c.column->paint_scales(&e.Canvas(), dir_vertical, rect, pd);
    for (int x = 0; x < 420; x += 3) ASSERT_NE(e.Pixel(x, 50), ui::clGray);
}

TEST(GraphicsColumn, HatSizes) {
    Chart c;
    c.column->add_curve("a", "a", 0, 1, ui::clRed, 1);
    c.column->add_curve("b", "b", 0, 1, ui::clRed, 1);
    ui::TBitmap b(10, 10);
    ui::TCanvas& cv = b.Canvas();
    const int linear = c.column->get_hat_size(&cv, dir_vertical);
    EXPECT_EQ(cv.Font().Size(), GraphicsColumn::hat_font_size);
    // "#" is 15 pixels high in the pinned DejaVu font at 9 points: an item
    // is 30 high in linear mode, 22 in log mode.
    ASSERT_EQ(cv.TextHeight("#"), 15);
    EXPECT_EQ(linear, 2 * 30 + 6);
    c.column->set_log_mode(true);
    EXPECT_EQ(c.column->get_hat_size(&cv, dir_vertical), 2 * 22 + 4 + 15 + 4);
    EXPECT_EQ(c.column->get_hat_item_size(&cv, dir_horizontal), 0);
    c.sheet.set_direction(dir_horizontal);
    EXPECT_EQ(c.column->get_hat_size(&cv, dir_vertical), 0);
}

// The header of the station's chart at the widths its window allows, the
// least first: no title runs into a range value or out of its column, every
// title is shown whole, and the header holds every line.
TEST(GraphicsColumn, TitlesNeverRunIntoTheRangeValues) {
    Planshet sheet;
    ChartSource src;
    std::vector<std::shared_ptr<GraphicsColumn>> columns;
    auto column = [&](const char* caption, std::vector<std::tuple<std::string, double, double>> curves) {
        auto c = std::make_shared<GraphicsColumn>(&sheet, caption);
        src.bind(*c);
        for (const auto& [title, left, right] : curves) c->add_curve(title, title, left, right, ui::clBlue, 1);
        sheet.add_column(c);
        columns.push_back(c);
    };
    column("Глубина", {{"Забой, м", 2400, 2500}, {"Долото, м", 2400, 2500}});
    column("Плотность", {{"Плановая плотность СКЦ, г/см3", 1, 2},
                         {"Давление ПЖ на входе, кгс/см2", 0, 250},
                         {"Расход ПЖ на входе, л/с", 0, 100}});
    column("Объем", {{"Суммарный объем закачки, м3", 0, 1000.5}, {"Объем_в_емкости_номер_один, м3", 0, 80}});
    column("Газ", {{"Газ", 0, 100}});
    src.series("Забой, м").add(45000, 2450);

    for (const int width : {760, 1000, 1900}) {
        ui::TBitmap b(width, 400);
        ui::TCanvas& cv = b.Canvas();
        sheet.paint(&cv, ui::clWhite, width, 400);
        const int hat = sheet.get_hat_size(&cv);
        std::vector<Planshet::ColumnCoord> coords;
        sheet.calc_columns_coords(coords, width);
        struct Placed {
            ui::TRect rect;
            std::string what;
        };
        std::vector<Placed> placed;
        for (const auto& area : sheet.get_mouse_events().areas()) {
            const auto* r = dynamic_cast<const RectArea*>(area.get());
            ASSERT_NE(r, nullptr);
            // The header's areas: the titles (their curve's index) and the
            // range values.
            const std::any& data = area->get_data();
            if (const auto* range = std::any_cast<RangeClickData>(&data))
                placed.push_back({r->rect, "range value " + range->text});
            if (const auto* curve = std::any_cast<int>(&data))
                placed.push_back({r->rect, "title " + std::to_string(*curve)});
        }
        ASSERT_FALSE(placed.empty());
        const std::string at = " at width " + std::to_string(width);
        for (std::size_t i = 0; i < placed.size(); ++i) {
            const ui::TRect& a = placed[i].rect;
            EXPECT_LE(a.Bottom, hat) << placed[i].what << at;
            bool inside = false;
            for (const auto& c : coords) inside = inside || (a.Left >= c.start && a.Right <= c.end);
            EXPECT_TRUE(inside) << placed[i].what << " leaves its column" << at;
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                const ui::TRect& o = placed[j].rect;
                // A blank at least between any two of them.
                const int blank = cv.TextWidth(" ");
                const bool apart = a.Right + blank <= o.Left || o.Right + blank <= a.Left || a.Bottom <= o.Top ||
                                   o.Bottom <= a.Top;
                EXPECT_TRUE(apart) << placed[i].what << " runs into " << placed[j].what << at;
            }
        }
        for (const auto& c : columns)
            for (int k = 0; k < c->get_curves_count(); ++k) {
                std::string joined;
                for (const auto& line : c->get_title_lines(&cv, k)) {
                    EXPECT_LE(cv.TextWidth(line), c->get_hat_width()) << line << at;
                    joined += joined.empty() || line.empty() ? line : " " + line;
                }
                // Broken only between words, but a word too wide for the room.
                std::string title = c->get_curve(k).title, flat = joined;
                title.erase(std::remove(title.begin(), title.end(), ' '), title.end());
                flat.erase(std::remove(flat.begin(), flat.end(), ' '), flat.end());
                EXPECT_EQ(flat, title) << at;
            }
        if (width == 760) {
            const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "chart";
            std::filesystem::create_directories(dir);
            b.SaveToFile((dir / "chart_hat_760.png").string());
        }
    }
    // Wide enough, every title is one line and the header as it always was.
    ui::TBitmap measure(10, 10);
    measure.Canvas().Font().SetSize(GraphicsColumn::hat_font_size);
    EXPECT_EQ(columns[1]->get_title_lines(&measure.Canvas(), 0), std::vector<std::string>{"Плановая плотность СКЦ, г/см3"});
}

// A double click within 32 pixels of a curve point marks that point; a
// double click on the mark removes it.
class Marks : public ::testing::Test {
protected:
    void SetUp() override {
        c.column->add_curve("v", "v", 0, 100, ui::clBlue, 1);
        auto& s = c.src.series("v");
        for (int i = 0; i <= 600; ++i) s.add(45000 + i / 1440.0, 50);  // a vertical line at x 100
        c.sheet.on_invalidate = [this] { ++repaints; };
    }
    void paint() { c.sheet.paint(&b.Canvas(), ui::clWhite, 200, 500); }
    Chart c;
    ui::TBitmap b{200, 500};
    int repaints = 0;
};

TEST_F(Marks, DoubleClickNearACurveSetsAMarkAndOnTheMarkRemovesIt) {
    paint();
    const PaintData pd = c.paint_data(&b.Canvas());
    const int y = pd.hat_size + 100;
    c.sheet.mouse_dblclick({140, y});  // 40 pixels off the line
    EXPECT_TRUE(c.column->get_marks().empty());
    c.sheet.mouse_dblclick({130, y});
    ASSERT_EQ(c.column->get_marks().size(), 1u);
    EXPECT_EQ(repaints, 1);
    const auto mark = c.column->get_marks()[0];
    EXPECT_EQ(mark.curve, 0);
    EXPECT_EQ(c.sheet.x_to_pos(mark.value, pd), y);

    paint();
    // The mark's box is down and right of the point; its value text is "50".
    EXPECT_EQ(b.Pixel(100 + 8, y + 8), ui::clBlue);
    EXPECT_EQ(b.Pixel(98, y), ui::clBlue);  // the square on the point
    EXPECT_EQ(b.Pixel(100, y), ui::clWhite);
    const ui::TPoint on_box{100 + 12, y + 14};
    c.sheet.mouse_dblclick(on_box);
    EXPECT_TRUE(c.column->get_marks().empty());
    EXPECT_EQ(repaints, 2);
    // The removed mark's area stays until the next paint and still takes the
    // double click: it finds its mark gone and does nothing.
    c.sheet.mouse_dblclick(on_box);
    EXPECT_TRUE(c.column->get_marks().empty());
    EXPECT_EQ(repaints, 2);
}

TEST_F(Marks, MarksOfAnotherPaintAreDroppedNotMisapplied) {
    paint();
    const PaintData pd = c.paint_data(&b.Canvas());
    for (int k : {50, 150}) c.sheet.mouse_dblclick({101, pd.hat_size + k});
    ASSERT_EQ(c.column->get_marks().size(), 2u);
    paint();
    const int second_id = c.column->get_marks()[1].id;
    // Both boxes' areas are from this paint; the first removal shifts the
    // list, the second still removes its own mark.
    c.sheet.mouse_dblclick({100 + 12, pd.hat_size + 50 + 14});
    ASSERT_EQ(c.column->get_marks().size(), 1u);
    EXPECT_EQ(c.column->get_marks()[0].id, second_id);
    c.sheet.mouse_dblclick({100 + 12, pd.hat_size + 150 + 14});
    EXPECT_TRUE(c.column->get_marks().empty());

    // No marks at all with mark_none; marks of curves that have gone are not
    // drawn.
    c.column->set_mark_type(mark_none);
    c.sheet.mouse_dblclick({101, pd.hat_size + 50});
    EXPECT_TRUE(c.column->get_marks().empty());
    c.column->set_mark_type(mark_value);
    c.sheet.mouse_dblclick({101, pd.hat_size + 50});
    c.column->clear_curves();
    EXPECT_NO_THROW(paint());
    EXPECT_EQ(c.column->get_marks().size(), 1u);
}

TEST(GraphicsColumn, WrongAreaDataIsABadCast) {
    Chart c;
    EXPECT_THROW(c.column->on_dbl_click(std::any(5), {0, 0}), std::bad_any_cast);
    EXPECT_THROW(c.column->on_mark_dbl_click(std::any(std::string("x")), {0, 0}), std::bad_any_cast);
    EXPECT_THROW(c.column->on_range_click(std::any(1), {0, 0}), std::bad_any_cast);
    GraphicsColumn bare(&c.sheet, "bare");
    double a = 0, z = 0;
    bare.add_curve("a", "a", 0, 1, ui::clRed, 1);
    EXPECT_THROW(bare.get_min_max_x(a, z), std::bad_function_call);
}

// A data gap far below the window: the segment into the gap is cut at the
// band round the column, so it is drawn with its true slope and quickly.
TEST(GraphicsColumn, FarPointsAreCutWithTheirSlope) {
    Chart c;
    c.column->add_curve("v", "v", 0, 100, ui::clRed, 1);
    auto& s = c.src.series("v");
    s.add(0, 0);
    s.add(1.0 / 24 / c.sheet.get_ppcm() * 100, 0);  // 100 pixels down
    s.add(1e7, 100);                                // hundreds of millions of pixels down
    ui::TBitmap b(100, 400);
    const PaintData pd = c.paint_data(&b.Canvas());
    c.column->paint(&b.Canvas(), ui::Rect(0, pd.hat_size - 1, 100, 400), pd);
    // From the second point on the line goes almost straight down at x 0.
    for (int y = pd.hat_size + 100; y < 400; ++y) EXPECT_EQ(b.Pixel(0, y), ui::clRed) << y;
    EXPECT_NE(b.Pixel(1, 399), ui::clRed);
}

// --- range editing ----------------------------------------------------------

class RangeEdit : public ::testing::Test {
protected:
    void SetUp() override {
        form.SetBounds(0, 0, 400, 400);
        form.Show();
        c.sheet.set_container(&form);
        c.column->add_curve("Вес", "вес", 0, 100, ui::clBlue, 1);
        c.column->add_curve("Давление", "давл", 10, 250, ui::clRed, 2);
        for (int i = 0; i < 10; ++i) {
            c.src.series("вес").add(i, i);
            c.src.series("давл").add(i, i);
        }
        c.sheet.on_invalidate = [this] { ++repaints; };
        paint();
    }
    void paint() { c.sheet.paint(&b.Canvas(), ui::clWhite, 300, 400); }
    // The centre of the range value's hit area.
    ui::TPoint range_point(int curve, int side) {
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 300; ++x) {
                auto r = c.sheet.get_mouse_events().get_events_area({x, y});
                if (!r.area || !r.area->get_data().has_value()) continue;
                if (const auto* rc = std::any_cast<RangeClickData>(&r.area->get_data()))
                    if (rc->curve == curve && rc->side == side)
                        return {(rc->rect.Left + rc->rect.Right) / 2, (rc->rect.Top + rc->rect.Bottom) / 2};
            }
        ADD_FAILURE() << "no range area for curve " << curve << " side " << side;
        return {};
    }
    // The editor as the column left it (the sheet's get_editor would give it
    // the container's font again).
    ui::TEdit* editor() {
        for (int i = 0; i < form.ControlCount(); ++i)
            if (auto* e = dynamic_cast<ui::TEdit*>(form.Controls(i))) return e;
        return nullptr;
    }
    void type(std::string_view text) {
        ui::TestDriver d;
        editor()->SelectAll();
        d.Type(text);
    }
    void enter() { ui::TestDriver().Press(ui::VK_RETURN); }

    ui::TForm form{nullptr};
    Chart c;
    ui::TBitmap b{300, 400};
    int repaints = 0;
};

TEST_F(RangeEdit, ClickTypeEnter) {
    c.sheet.editor_offset = [](int& x, int& y) {
        x = 5;
        y = 7;
    };
    c.sheet.mouse_click(range_point(1, 0));
    EXPECT_EQ(c.column->get_edit_mode(), 1);
    ui::TEdit* e = editor();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->Visible());
    EXPECT_TRUE(e->Focused());
    EXPECT_EQ(e->Text(), "10");
    EXPECT_EQ(e->Font().Color(), ui::clRed);
    EXPECT_EQ(e->Width(), 32);
    EXPECT_EQ(e->Owner(), &form);

    type("2,5");
    enter();
    EXPECT_EQ(c.column->get_edit_mode(), 0);
    EXPECT_DOUBLE_EQ(c.column->get_curve(1).left, 2.5);
    EXPECT_FALSE(e->Visible());
    EXPECT_EQ(repaints, 1);
    enter();  // nothing open: nothing happens
    EXPECT_EQ(repaints, 1);

    paint();
    c.sheet.mouse_click(range_point(0, 2));
    EXPECT_EQ(c.column->get_edit_mode(), 2);
    EXPECT_EQ(e->Text(), "100");
    type("abc");
    enter();
    EXPECT_DOUBLE_EQ(c.column->get_curve(0).right, 0);
}

TEST_F(RangeEdit, AClickAnywhereCommitsAndMayOpenTheNext) {
    const ui::TPoint right_of_first = range_point(0, 2);
    c.sheet.mouse_click(range_point(0, 0));
    type("-20");
    // A click on another range value commits the open edit first.
    c.sheet.mouse_click(right_of_first);
    EXPECT_DOUBLE_EQ(c.column->get_curve(0).left, -20);
    EXPECT_EQ(c.column->get_edit_mode(), 2);
    EXPECT_TRUE(editor()->Visible());
    type("300");
    c.sheet.mouse_click({150, 300});  // the column body
    EXPECT_EQ(c.column->get_edit_mode(), 0);
    EXPECT_DOUBLE_EQ(c.column->get_curve(0).right, 300);
    EXPECT_FALSE(editor()->Visible());
    EXPECT_FALSE(editor()->OnKeyPress);
}

TEST_F(RangeEdit, EditsWhoseTargetHasGoneAreDropped) {
    // Curves cleared while the edit is open.
    c.sheet.mouse_click(range_point(1, 2));
    type("77");
    c.column->clear_curves();
    enter();
    EXPECT_EQ(c.column->get_edit_mode(), 0);
    EXPECT_EQ(c.column->get_curves_count(), 0);

    // Log mode switched while a curve's edit is open: the log edge is kept.
    c.column->add_curve("Вес", "вес", 0, 100, ui::clBlue, 1);
    paint();
    c.sheet.mouse_click(range_point(0, 0));
    type("5");
    c.column->set_log_mode(true);
    enter();
    EXPECT_DOUBLE_EQ(c.column->get_left_log_scale(), 0.001);
    EXPECT_DOUBLE_EQ(c.column->get_curve(0).left, 0);

    // A stale area of the linear header clicked in log mode opens nothing.
    c.column->set_log_mode(false);
    paint();
    const ui::TPoint stale = range_point(0, 0);
    c.column->set_log_mode(true);
    c.sheet.mouse_click(stale);
    EXPECT_EQ(c.column->get_edit_mode(), 0);
}

TEST_F(RangeEdit, TheSharedLogRange) {
    c.column->set_log_mode(true);
    paint();
    c.sheet.mouse_click(range_point(2, 2));
    EXPECT_EQ(editor()->Text(), "10");
    EXPECT_EQ(editor()->Font().Color(), c.sheet.get_text_color());
    type("1000");
    enter();
    EXPECT_DOUBLE_EQ(c.column->get_right_log_scale(), 1000);
    c.sheet.mouse_click(range_point(2, 0));
    type("0,01");
    enter();
    EXPECT_DOUBLE_EQ(c.column->get_left_log_scale(), 0.01);
}

TEST(GraphicsColumnEdit, WithoutAContainerNothingOpens) {
    Chart c;
    c.column->add_curve("a", "a", 0, 1, ui::clRed, 1);
    c.src.series("a").add(0, 0);
    c.src.series("a").add(1, 1);
    ui::TBitmap b(300, 300);
    c.sheet.paint(&b.Canvas(), ui::clWhite, 300, 300);
    RangeClickData rc{ui::Rect(5, 5, 20, 20), "0", 0, 0};
    c.column->on_range_click(rc, {1, 1});
    EXPECT_EQ(c.column->get_edit_mode(), 0);
    EXPECT_EQ(c.sheet.get_editor(), nullptr);
}

// --- settings -----------------------------------------------------------------

TEST(GraphicsColumnIni, CurvesAndColumnsSavedAndReloaded) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("graphics_column_ini_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "cement.ini").string();
    std::filesystem::remove(path);
    {
        Chart c;
        c.column->add_curve("Давление", "cem_davl", 0, 250.5, ui::clRed, 2);
        c.column->add_curve("Расход", "cem_rash", -1, 1, 0x123456, 1);
        c.column->set_log_scale(0.01, 1000);
        rtl::IniFile ini(path);
        c.sheet.save_to_ini("P", &ini);
        EXPECT_EQ(ini.ReadSection("P_cem_davl_Давление"),
                  (std::vector<std::string>{"left", "right", "color", "width"}));
        EXPECT_EQ(ini.ReadString("P_cem_davl_Давление", "right", ""), "250,5");
        EXPECT_EQ(ini.ReadString("P_cem_davl_Давление", "color", ""), "clRed");
        EXPECT_EQ(ini.ReadString("P_cem_rash_Расход", "color", ""), "$00123456");
    }
    {
        rtl::IniFile ini(path);
        ini.WriteString("P_cem_rash_Расход", "width", "3");
        ini.WriteString("P_cem_rash_Расход", "color", "not a colour");
        Chart c;
        c.column->add_curve("Давление", "cem_davl", 1, 2, ui::clBlack, 1);
        c.column->add_curve("Расход", "cem_rash", 1, 2, ui::clGreen, 1);
        c.column->add_curve("Новая", "new", 7, 8, ui::clGreen, 4);  // nothing saved: keeps its own
        c.sheet.load_from_ini("P", &ini);
        const Curve& a = c.column->get_curve(0);
        EXPECT_EQ(a.left, 0);
        EXPECT_EQ(a.right, 250.5);
        EXPECT_EQ(a.color, ui::clRed);
        EXPECT_EQ(a.width, 2);
        const Curve& r = c.column->get_curve(1);
        EXPECT_EQ(r.left, -1);
        EXPECT_EQ(r.color, ui::clGreen);
        EXPECT_EQ(r.width, 3);
        EXPECT_EQ(c.column->get_curve(2).left, 7);
        EXPECT_EQ(c.column->get_curve(2).width, 4);
        EXPECT_EQ(c.column->get_left_log_scale(), 0.01);
        EXPECT_EQ(c.column->get_right_log_scale(), 1000);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lib::graphics
