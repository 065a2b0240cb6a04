#include "library/graphics/planshet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "library/graphics/graphics_column.h"
#include "library/graphics/testdata/chart_source.h"
#include "platform/rtl/ini_file.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace lib::graphics {
namespace {

using testing::ChartSource;

std::shared_ptr<GraphicsColumn> make_column(Planshet& sheet, ChartSource& src, const char* caption) {
    auto column = std::make_shared<GraphicsColumn>(&sheet, caption);
    src.bind(*column);
    sheet.add_column(column);
    return column;
}

TEST(Planshet, Defaults) {
    Planshet sheet;
    EXPECT_DOUBLE_EQ(sheet.get_scale(), 1.0 / 24);
    EXPECT_EQ(sheet.get_offset(), 0);
    EXPECT_EQ(sheet.get_columns_gap(), 6);
    EXPECT_EQ(sheet.get_direction(), dir_vertical);
    EXPECT_EQ(sheet.get_bk_color(), ui::clWhite);
    EXPECT_EQ(sheet.get_frame_color(), ui::clBlack);
    EXPECT_EQ(sheet.get_text_color(), ui::clBlack);
    EXPECT_FALSE(sheet.get_double_buffered());
    EXPECT_NEAR(sheet.get_ppcm(), 96 / 2.54, 1e-9);
    ASSERT_TRUE(sheet.label_formatter);
    EXPECT_EQ(sheet.label_formatter(0.5), "12:00:00");
    EXPECT_EQ(sheet.label_formatter(0.25 + 1.0 / 1440 + 7.0 / 86400), "06:01:07");
}

TEST(Planshet, ColumnsAreLaidOutWithTheGap) {
    struct Case {
        int columns;
        int width;
        std::vector<std::pair<int, int>> expected;
    };
    const Case cases[] = {
        {1, 300, {{0, 300}}},
        {2, 406, {{0, 200}, {206, 406}}},
        {3, 312, {{0, 100}, {106, 200}, {206, 312}}},
        {4, 1600, {{0, 395}, {401, 791}, {797, 1186}, {1192, 1600}}},  // the last one takes the rest
    };
    for (const Case& c : cases) {
        Planshet sheet;
        ChartSource src;
        for (int i = 0; i < c.columns; ++i) make_column(sheet, src, "c");
        std::vector<Planshet::ColumnCoord> coords;
        sheet.calc_columns_coords(coords, c.width);
        ASSERT_EQ(coords.size(), c.expected.size());
        for (std::size_t i = 0; i < coords.size(); ++i) {
            EXPECT_EQ(coords[i].start, c.expected[i].first) << c.columns << " columns, #" << i;
            EXPECT_EQ(coords[i].end, c.expected[i].second) << c.columns << " columns, #" << i;
        }
    }
}

TEST(Planshet, ColumnListKeepsOneShareOfEachColumn) {
    Planshet sheet;
    ChartSource src;
    auto a = make_column(sheet, src, "a");
    sheet.add_column(a);
    EXPECT_EQ(sheet.get_columns_count(), 1u);
    ASSERT_TRUE(a->get_editor_fn);
    ASSERT_TRUE(a->get_mouse_events_fn);
    EXPECT_EQ(&a->get_mouse_events_fn(), &sheet.get_mouse_events());
    EXPECT_THROW(sheet.get_column(1), std::out_of_range);
    auto b = make_column(sheet, src, "b");
    int seen = 0;
    sheet.for_each([&](Column* c) { seen += c == a.get() ? 1 : c == b.get() ? 10 : 100; });
    EXPECT_EQ(seen, 11);
    sheet.delete_column(a);
    EXPECT_EQ(sheet.get_column(0), b);
    sheet.clear_columns();
    EXPECT_EQ(sheet.get_columns_count(), 0u);
}

// Unit <-> pixel conversions for a table of scales: the time axis from
// seconds to days per centimetre and a depth axis in metres.
TEST(Planshet, UnitPixelConversions) {
    Planshet sheet;
    const double ppcm = sheet.get_ppcm();
    EXPECT_EQ(units_to_pixels(1, 1.0 / 24, ppcm), 907);    // one day at one hour a centimetre
    EXPECT_EQ(units_to_pixels(-1, 1.0 / 24, ppcm), -906);  // truncated toward zero after +0.5
    EXPECT_EQ(units_to_pixels(1e300, 1.0 / 24, ppcm), static_cast<int>(kPixelLimit));
    EXPECT_EQ(units_to_pixels(NAN, 1.0 / 24, ppcm), -static_cast<int>(kPixelLimit));
    EXPECT_NEAR(pixels_to_units(ppcm, 10, ppcm), 10, 1e-12);

    const double scales[] = {5.0 / 86400, 120.0 / 86400, 1.0 / 24, 1.0, 10.0, 0.5};
    const int offsets[] = {0, 37, 5000};
    for (double scale : scales) {
        for (int offset : offsets) {
            PaintData pd;
            pd.min_x = 45000.25;
            pd.scale = scale;
            pd.ppcm = ppcm;
            pd.hat_size = 30;
            pd.offset = offset;
            sheet.set_scale(scale);
            EXPECT_EQ(sheet.x_to_pos(pd.min_x, pd), 30 - offset);
            EXPECT_DOUBLE_EQ(sheet.pos_to_x(30 - offset, pd), pd.min_x);
            for (int pos : {0, 29, 30, 31, 500, 999}) {
                EXPECT_NEAR(sheet.x_to_pos(sheet.pos_to_x(pos, pd), pd), pos, 1) << scale << " " << offset;
                // One centimetre of screen is one scale step.
                EXPECT_NEAR(
                    sheet.pos_to_x(pos + static_cast<int>(std::lround(ppcm * 10)), pd) - sheet.pos_to_x(pos, pd),
                    scale * std::lround(ppcm * 10) / ppcm, scale * 1e-6);
            }
        }
    }
}

class SheetWithData : public ::testing::Test {
protected:
    void SetUp() override {
        column = make_column(sheet, src, "Колонка");
        column->add_curve("Вес", "вес", 0, 100, ui::clBlue, 1);
        // One day of data, one point an hour.
        for (int h = 0; h <= 24; ++h) src.series("вес").add(45000 + h / 24.0, h * 4);
    }
    Planshet sheet;
    ChartSource src;
    std::shared_ptr<GraphicsColumn> column;
};

TEST_F(SheetWithData, ScrollBarValues) {
    ui::TBitmap b(200, 600);
    const int hat = sheet.get_hat_size(&b.Canvas());
    ASSERT_GT(hat, 0);
    int position = -1, max = -1, page = -1;
    ASSERT_TRUE(sheet.get_scroll_bar_values(position, max, page, &b.Canvas(), ui::Rect(0, 0, 200, 500 + hat)));
    EXPECT_EQ(page, 500);
    EXPECT_EQ(max, 907 - 500);
    EXPECT_EQ(position, 0);
    sheet.set_offset(600);
    ASSERT_TRUE(sheet.get_scroll_bar_values(position, max, page, &b.Canvas(), ui::Rect(0, 0, 200, 500 + hat)));
    EXPECT_EQ(position, 407);
    EXPECT_EQ(sheet.get_offset(), 600);
    // A rectangle smaller than the header gives a page of one pixel.
    ASSERT_TRUE(sheet.get_scroll_bar_values(position, max, page, &b.Canvas(), ui::Rect(0, 0, 200, 3)));
    EXPECT_EQ(page, 1);
}

TEST(Planshet, NothingToShow) {
    Planshet sheet;
    ChartSource src;
    ui::TBitmap b(100, 100);
    int position = -7, max = -7, page = -7;
    EXPECT_FALSE(sheet.get_scroll_bar_values(position, max, page, &b.Canvas(), ui::Rect(0, 0, 100, 100)));
    auto c = make_column(sheet, src, "c");
    c->add_curve("t", "missing", 0, 1, ui::clRed, 1);
    src.series("empty");
    c->add_curve("e", "empty", 0, 1, ui::clRed, 1);
    EXPECT_FALSE(sheet.get_scroll_bar_values(position, max, page, &b.Canvas(), ui::Rect(0, 0, 100, 100)));
    EXPECT_EQ(position + max + page, -21);

    // Nothing is drawn, in either buffering mode.
    b.Canvas().Brush().SetColor(ui::clYellow);
    b.Canvas().FillRect(ui::Rect(0, 0, 100, 100));
    sheet.paint(&b.Canvas(), ui::clRed, 100, 100);
    sheet.set_double_buffered(true);
    sheet.paint(&b.Canvas(), ui::clRed, 100, 100);
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 100; x += 7) ASSERT_EQ(b.Pixel(x, y), ui::clYellow);
}

TEST(Planshet, RepaintRequests) {
    Planshet sheet;
    int plain = 0, buffered = 0;
    // No callback yet: a change of direction only stores it.
    EXPECT_NO_THROW(sheet.set_direction(dir_horizontal));
    EXPECT_EQ(sheet.get_direction(), dir_horizontal);
    sheet.on_invalidate = [&] { ++plain; };
    sheet.set_direction(dir_vertical);
    sheet.set_direction(dir_vertical);
    EXPECT_EQ(plain, 1);
    sheet.set_offset(0);  // unchanged: no repaint
    EXPECT_EQ(plain, 1);
    sheet.set_offset(10);
    sheet.set_scale(sheet.get_scale());  // the same scale still repaints
    EXPECT_EQ(plain, 3);

    sheet.on_invalidate_buffered = [&] { ++buffered; };
    sheet.smart_invalidate();
    EXPECT_EQ(plain, 4);
    sheet.set_double_buffered(true);
    sheet.smart_invalidate();
    EXPECT_EQ(plain, 4);
    EXPECT_EQ(buffered, 1);
}

TEST(Planshet, ScaleMustBePositive) {
    Planshet sheet;
    int repaints = 0;
    sheet.on_invalidate = [&] { ++repaints; };
    for (double bad : {0.0, -1.0 / 24, double(NAN), double(INFINITY)})
        EXPECT_THROW(sheet.set_scale(bad), std::invalid_argument) << bad;
    EXPECT_DOUBLE_EQ(sheet.get_scale(), 1.0 / 24);
    EXPECT_EQ(repaints, 0);
    sheet.set_scale(2.5);
    EXPECT_DOUBLE_EQ(sheet.get_scale(), 2.5);
}

// The grid: one dotted grey line a centimetre on whole multiples of a round
// scale, across every column, labelled in the first column just below it
// where the whole label shows.
TEST_F(SheetWithData, GridAndLabelPositions) {
    auto second = make_column(sheet, src, "второй");
    std::vector<double> labelled;
    sheet.label_formatter = [&](double v) {
        labelled.push_back(v);
        return "x" + std::to_string(labelled.size());
    };
    const double scales[] = {1.0 / 24, 1.0 / 96, 0.25};
    for (double scale : scales) {
        sheet.set_scale(scale);
        sheet.set_offset(scale < 0.1 ? 45 : 0);
        labelled.clear();
        ui::TBitmap b(406, 700);
        sheet.paint(&b.Canvas(), ui::clWhite, 406, 700);
        PaintData pd;
        sheet.calc_paint_data(pd, &b.Canvas());
        const auto& grid = sheet.painted_grid();
        ASSERT_GE(grid.size(), 3u);
        // Lines are whole multiples of the scale, one step apart, covering
        // the visible span with one step to spare on each side.
        for (std::size_t i = 0; i < grid.size(); ++i) {
            EXPECT_NEAR(grid[i].value / scale, std::round(grid[i].value / scale), 1e-6);
            if (i) {
                EXPECT_NEAR(grid[i].value - grid[i - 1].value, scale, scale * 1e-9);
            }
        }
        EXPECT_LE(grid.front().value, sheet.pos_to_x(pd.hat_size - 1, pd));
        EXPECT_GE(grid.back().value, sheet.pos_to_x(700, pd));
        // Labels only where they show whole: under the header, above the
        // bottom; every such line has one.
        const int height = b.Canvas().TextHeight("x1");
        int shown = 0;
        for (const auto& line : grid) {
            const bool fits = line.y >= pd.hat_size - 1 && line.y + 1 + height <= 700;
            EXPECT_EQ(!line.label.empty(), fits) << line.y;
            shown += fits;
        }
        EXPECT_GE(shown, 2);
        // Each line inside the data area is grey dots in the second column (no
        // labels there, no curve), and the rows beside it are clear.
        int lines = 0;
        for (const auto& line : grid) {
            const int y = line.y;
            if (y <= pd.hat_size + 1 || y >= 698) continue;
            ++lines;
            int grey = 0, other = 0;
            for (int x = 212; x < 400; ++x) {
                const ui::TColor c = b.Pixel(x, y);
                if (c == ui::clGray)
                    ++grey;
                else if (c != ui::clWhite)
                    ++other;
                // Nothing of the grid on the neighbouring rows, away from the
                // column's division lines.
                if (x % 50 != 0 && std::abs(x - 256) > 1 && std::abs(x - 306) > 1 && std::abs(x - 356) > 1) {
                    EXPECT_NE(b.Pixel(x, y - 1), ui::clGray) << x << "," << y - 1;
                }
            }
            EXPECT_GT(grey, 60) << "scale " << scale << " y " << y;
            EXPECT_LT(grey, 140) << "dotted, not solid";
            EXPECT_EQ(other, 0);
        }
        EXPECT_GE(lines, 2) << scale;
    }
}

// A scale that is not round gets the next round step of a time axis.
TEST(Planshet, RoundTimeSteps) {
    const std::pair<double, double> cases[] = {{0.3, 1},       {1, 1},         {3.3, 5},      {14, 15},
                                               {16, 30},       {100, 120},     {1000, 1800},  {5000, 7200},
                                               {11000, 21600}, {86400, 86400}, {3 * 86400.0, 5 * 86400.0}};
    for (const auto& [seconds, want] : cases)
        EXPECT_NEAR(lib::graphics::round_time_step(seconds / 86400) * 86400, want, 1e-6) << seconds;
    Planshet sheet;
    ASSERT_TRUE(sheet.grid_step);
    EXPECT_NEAR(sheet.grid_step(3.3 / 86400) * 86400, 5, 1e-9);
}

// Lines whose labels would read alike (a formatter coarser than the grid)
// keep only the first of them.
TEST_F(SheetWithData, ALabelIsNeverRepeated) {
    sheet.label_formatter = [](double v) { return std::to_string(static_cast<long>(std::floor(v * 4))); };
    sheet.set_scale(1.0 / 24);
    ui::TBitmap b(300, 700);
    sheet.paint(&b.Canvas(), ui::clWhite, 300, 700);
    std::vector<std::string> labels;
    for (const auto& line : sheet.painted_grid())
        if (!line.label.empty()) labels.push_back(line.label);
    ASSERT_GE(labels.size(), 2u);
    for (std::size_t i = 1; i < labels.size(); ++i) EXPECT_NE(labels[i], labels[i - 1]);
}

TEST_F(SheetWithData, PaintRebuildsTheHitAreas) {
    ui::TBitmap b(300, 400);
    sheet.paint(&b.Canvas(), ui::clWhite, 300, 400);
    // The column body, the curve name and its two range values.
    EXPECT_EQ(sheet.get_mouse_events().size(), 4u);
    sheet.paint(&b.Canvas(), ui::clWhite, 300, 400);
    EXPECT_EQ(sheet.get_mouse_events().size(), 4u);
}

TEST_F(SheetWithData, SharedBackBufferGrowsToTheLargestOfEachSide) {
    sheet.set_double_buffered(true);
    Planshet other;
    ChartSource other_src;
    auto c = make_column(other, other_src, "c");
    c->add_curve("a", "a", 0, 1, ui::clRed, 1);
    other_src.series("a").add(1, 0.5);
    other_src.series("a").add(2, 0.5);
    other.set_double_buffered(true);

    ui::TBitmap wide(300, 100), tall(100, 300);
    sheet.paint(&wide.Canvas(), ui::clWhite, 300, 100);
    const ui::TBitmap* buffer = Planshet::shared_bitmap();
    ASSERT_NE(buffer, nullptr);
    other.paint(&tall.Canvas(), ui::clWhite, 100, 300);
    EXPECT_EQ(buffer->Width(), 300);
    EXPECT_EQ(buffer->Height(), 300);
    // Painting in turns no longer changes it, and only the sheet's own size
    // reaches the window.
    ui::TBitmap small(400, 400);
    small.Canvas().Brush().SetColor(ui::clYellow);
    small.Canvas().FillRect(ui::Rect(0, 0, 400, 400));
    sheet.paint(&small.Canvas(), ui::clWhite, 300, 100);
    other.paint(&tall.Canvas(), ui::clWhite, 100, 300);
    EXPECT_EQ(Planshet::shared_bitmap(), buffer);
    EXPECT_EQ(buffer->Width(), 300);
    EXPECT_EQ(buffer->Height(), 300);
    EXPECT_EQ(small.Pixel(150, 150), ui::clYellow);
    EXPECT_EQ(small.Pixel(350, 50), ui::clYellow);
    EXPECT_NE(small.Pixel(150, 50), ui::clYellow);
}

TEST(Planshet, SaveEraseSectionsHoldingThePrefix) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("planshet_ini_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "chart.ini").string();
    std::filesystem::remove(path);
    rtl::IniFile ini(path);
    ini.WriteString("P_old_curve", "left", "1");
    ini.WriteString("abcP_", "k", "1");
    ini.WriteString("Pxyz", "k", "1");
    ini.WriteString("other", "k", "1");

    Planshet sheet;
    ChartSource src;
    auto c = make_column(sheet, src, "колонка1");
    c->add_curve("Давление", "cem_davl", 0, 250, ui::clRed, 2);
    sheet.save_to_ini("P", &ini);
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Pxyz", "other", "P_cem_davl_Давление", "P_колонка1"}));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lib::graphics
