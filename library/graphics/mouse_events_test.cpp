#include "library/graphics/mouse_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lib {
namespace {

using ui::TPoint;

// Registers an area whose handlers append "name:event rx,ry" to a log.
RectArea logged(const std::string& name, ui::TRect r, std::vector<std::string>& log) {
    RectArea a(r, name);
    auto note = [&log](const std::any& data, const char* what, TPoint rel) {
        log.push_back(std::any_cast<std::string>(data) + ":" + what + " " + std::to_string(rel.x) + "," +
                      std::to_string(rel.y));
    };
    a.on_click = [note](const std::any& d, const TPoint& rel) { note(d, "click", rel); };
    a.on_dblclick = [note](const std::any& d, const TPoint& rel) { note(d, "dbl", rel); };
    a.on_move = [note](const std::any& d, ui::TShiftState, const TPoint&, const TPoint& rel) { note(d, "move", rel); };
    a.on_down = [note](const std::any& d, ui::TMouseButton, ui::TShiftState, const TPoint&, const TPoint& rel) {
        note(d, "down", rel);
    };
    a.on_up = [note](const std::any& d, ui::TMouseButton, ui::TShiftState, const TPoint&, const TPoint& rel) {
        note(d, "up", rel);
    };
    return a;
}

TEST(MouseEvents, HitTestIsStrictOnEveryEdge) {
    const RectArea a(ui::Rect(10, 10, 20, 20), 0);
    struct Case {
        TPoint p;
        bool hit;
    };
    const Case cases[] = {{{15, 15}, true},  {{10, 15}, false}, {{20, 15}, false}, {{15, 10}, false},
                          {{15, 20}, false}, {{11, 19}, true},  {{19, 11}, true}};
    for (const Case& c : cases) EXPECT_EQ(a.hit_test(c.p), c.hit) << c.p.x << "," << c.p.y;
    EXPECT_EQ(a.get_rel_coords({15, 12}), TPoint(5, 2));
}

TEST(MouseEvents, LastRegisteredWinsInTheOverlap) {
    std::vector<std::string> log;
    MouseEvents ev;
    ev.add_object(logged("A", ui::Rect(0, 0, 30, 30), log));
    ev.add_object(logged("B", ui::Rect(20, 20, 50, 50), log));
    ev.mouse_click({25, 25});
    ev.mouse_click({5, 5});
    ev.mouse_click({100, 100});  // over nothing
    EXPECT_EQ(log, (std::vector<std::string>{"B:click 5,5", "A:click 5,5"}));

    log.clear();
    ev.clear();
    EXPECT_FALSE(ev.find({25, 25}));
    ev.add_object(logged("B", ui::Rect(20, 20, 50, 50), log));
    ev.add_object(logged("A", ui::Rect(0, 0, 30, 30), log));
    ev.mouse_dbl_click({25, 25});
    EXPECT_EQ(log, (std::vector<std::string>{"A:dbl 25,25"}));
}

TEST(MouseEvents, MissingHandlerDoesNothing) {
    int dbl = 0;
    MouseEvents ev;
    RectArea a(ui::Rect(0, 0, 10, 10), 1);
    a.on_dblclick = [&](const std::any&, const TPoint&) { ++dbl; };
    ev.add_object(a);
    ev.mouse_click({5, 5});
    ev.mouse_up({5, 5}, ui::mbLeft, {});  // no press pending
    EXPECT_EQ(dbl, 0);
    ev.mouse_dbl_click({5, 5});
    EXPECT_EQ(dbl, 1);
}

TEST(MouseEvents, PressCapturesMovesAndReleaseAndSetsTheCursor) {
    std::vector<std::string> log;
    MouseEvents ev;
    RectArea a = logged("A", ui::Rect(10, 10, 20, 20), log);
    a.set_cursor(ui::crHandPoint);
    ev.add_object(a);
    ev.add_object(logged("B", ui::Rect(100, 100, 200, 200), log));

    ev.mouse_down({15, 15}, ui::mbLeft, {});
    EXPECT_TRUE(ev.press_pending());
    ev.mouse_move({150, 150}, {});  // over B, but A holds the pointer
    EXPECT_EQ(ui::screen_cursor(), ui::crHandPoint);
    // Clearing the areas (a repaint) keeps the pressed area alive.
    ev.clear();
    ev.mouse_up({300, 5}, ui::mbLeft, {});
    EXPECT_FALSE(ev.press_pending());
    ev.mouse_move({300, 300}, {});
    EXPECT_EQ(ui::screen_cursor(), ui::crDefault);
    EXPECT_EQ(log, (std::vector<std::string>{"A:down 5,5", "A:move 140,140", "A:up 290,-5"}));

    // A press outside every area leaves no capture.
    log.clear();
    ev.add_object(logged("B", ui::Rect(100, 100, 200, 200), log));
    ev.mouse_down({5, 5}, ui::mbLeft, {});
    EXPECT_FALSE(ev.press_pending());
    ev.mouse_move({150, 120}, {});
    EXPECT_EQ(log, (std::vector<std::string>{"B:move 50,20"}));
}

TEST(MouseEvents, HandlerMayClearTheAreasItRunsFrom) {
    MouseEvents ev;
    int calls = 0;
    RectArea a(ui::Rect(0, 0, 10, 10), std::string("kept"));
    a.on_click = [&](const std::any& data, const TPoint&) {
        ev.clear();  // the handler repaints
        ++calls;
        EXPECT_EQ(std::any_cast<std::string>(data), "kept");
    };
    ev.add_object(a);
    ev.mouse_click({5, 5});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ev.size(), 0u);
}

}  // namespace
}  // namespace lib
