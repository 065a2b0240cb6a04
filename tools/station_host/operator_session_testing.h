#pragma once
// For the operator's session on the real screen: the station host's map of
// where its windows lie (screen_map.h), read back and searched, and the
// operator's pointer and keys through xdotool. Every wait is bounded.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/file.h"
#include "platform/os/testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"

namespace station_host::testing {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
    bool holds(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// One line of the map: its kind, its text fields before the rectangle,
// the rectangle, and the field after it (enabled, or a cell's text).
struct MapEntry {
    std::string kind;
    std::vector<std::string> fields;
    Box box;
    std::string tail;
    const std::string& form() const { return fields.at(0); }
};

inline std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const auto tab = line.find('\t', from);
        parts.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) return parts;
        from = tab + 1;
    }
}

inline std::vector<MapEntry> parse_map(const std::string& text) {
    std::vector<MapEntry> map;
    std::size_t from = 0;
    while (from < text.size()) {
        auto end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::vector<std::string> parts = split_tabs(text.substr(from, end - from));
        from = end + 1;
        if (parts.empty()) continue;
        const std::string& kind = parts[0];
        const std::size_t texts = kind == "form" || kind == "window"                      ? 1
                                  : kind == "item" || kind == "tab"                       ? 2
                                  : kind == "control" || kind == "heading"                ? 3
                                  : kind == "cell" || kind == "list" || kind == "current" ? 4
                                                                                          : 0;
        if (texts == 0 || parts.size() < 1 + texts + 4) continue;
        MapEntry e;
        e.kind = kind;
        e.fields.assign(parts.begin() + 1, parts.begin() + 1 + std::ptrdiff_t(texts));
        try {
            e.box = {std::stoi(parts[1 + texts]), std::stoi(parts[2 + texts]), std::stoi(parts[3 + texts]),
                     std::stoi(parts[4 + texts])};
        } catch (...) {
            continue;
        }
        if (parts.size() > 5 + texts) e.tail = parts[5 + texts];
        map.push_back(std::move(e));
    }
    return map;
}

// The operator at the virtual screen, reading the host's map.
class ScreenOperator {
public:
    explicit ScreenOperator(std::string map_path) : path_(std::move(map_path)) {}

    std::vector<MapEntry> map() const {
        std::string text;
        if (os::read_file(path_, text) != 0) return {};
        return parse_map(text);
    }
    std::string map_text() const {
        std::string text;
        os::read_file(path_, text);
        return text;
    }

    // The first entry the predicate takes, waited for up to `ms`.
    std::optional<MapEntry> wait(const std::function<bool(const MapEntry&)>& take, int ms = 20000) const {
        std::optional<MapEntry> found;
        os::testing::wait_until(
            [&] {
                for (const MapEntry& e : map())
                    if (take(e)) {
                        found = e;
                        return true;
                    }
                return false;
            },
            ms, 50);
        return found;
    }
    // The first entry the predicate takes once it has stood unchanged over
    // a few of the map's rewrites: a window the window manager has just
    // placed or sized lays itself out again, and a click aimed by an older
    // map lands beside its target.
    std::optional<MapEntry> wait_steady(const std::function<bool(const MapEntry&)>& take, int ms = 20000) const {
        using Clock = std::chrono::steady_clock;
        std::optional<MapEntry> seen;
        Clock::time_point since{};
        std::optional<MapEntry> steady;
        os::testing::wait_until(
            [&] {
                std::optional<MapEntry> now;
                for (const MapEntry& e : map())
                    if (take(e)) {
                        now = e;
                        break;
                    }
                const auto same = [](const std::optional<MapEntry>& a, const std::optional<MapEntry>& b) {
                    return a && b && a->box.x == b->box.x && a->box.y == b->box.y && a->box.w == b->box.w &&
                           a->box.h == b->box.h;
                };
                if (!same(now, seen)) {
                    seen = now;
                    since = Clock::now();
                    return false;
                }
                if (Clock::now() - since < std::chrono::milliseconds(600)) return false;
                steady = now;
                return true;
            },
            ms, 50);
        return steady;
    }
    // Until no entry the predicate takes is left (up to `ms`).
    bool wait_gone(const std::function<bool(const MapEntry&)>& take, int ms = 20000) const {
        return os::testing::wait_until(
            [&] {
                for (const MapEntry& e : map())
                    if (take(e)) return false;
                return true;
            },
            ms, 50);
    }

    bool xdotool(std::vector<std::string> args) const {
        args.insert(args.begin(), "xdotool");
        std::string out;
        const int rc = ui::testing::run_tool(args, &out);
        if (rc != 0) ADD_FAILURE() << "xdotool " << args.at(1) << ": " << out;
        return rc == 0;
    }
    void move_to(int x, int y) const { xdotool({"mousemove", std::to_string(x), std::to_string(y)}); }
    // Opens the menu bar's `menu` and clicks its `entry` (a menu that did
    // not open is clicked again, as an operator does): empty when done,
    // else what was not there.
    std::string choose(const std::string& menu, const std::string& entry) const;
    void click(const Box& b, int button = 1) const {
        move_to(b.cx(), b.cy());
        // The window sees the pointer arrive before the press.
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        xdotool({"click", std::to_string(button)});
    }
    void double_click(const Box& b) const {
        move_to(b.cx(), b.cy());
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        xdotool({"click", "--repeat", "2", "--delay", "60", "1"});
    }
    void key(const std::string& name) const { xdotool({"key", "--delay", "60", name}); }
    void type(const std::string& text) const { xdotool({"type", "--delay", "60", text}); }

private:
    std::string path_;
};

// Where the window's own area lies on the screen, as the X server has it.
// (xdotool's getwindowgeometry adds the window's offset inside the window
// manager's frame once more, so under a manager it is off by the frame's
// border and title bar.)
inline bool screen_area_of(const std::string& id, Box& b) {
    std::string out;
    if (id.empty() || ui::testing::run_tool({"xwininfo", "-id", id}, &out) != 0) return false;
    auto value = [&](const std::string& key) {
        const auto at = out.find(key);
        if (at == std::string::npos) return -1;
        try {
            return std::stoi(out.substr(at + key.size()));
        } catch (...) {
            return -1;
        }
    };
    b = {value("Absolute upper-left X:"), value("Absolute upper-left Y:"), value("Width:"), value("Height:")};
    return b.w > 0 && b.h > 0;
}

// Predicates over the map.
inline auto form_named(const std::string& part) {
    return [part](const MapEntry& e) { return e.kind == "form" && e.form().find(part) != std::string::npos; };
}
// Where the host has the form's desktop window (its menu bar and client area).
inline auto window_of(const std::string& part) {
    return [part](const MapEntry& e) { return e.kind == "window" && e.form().find(part) != std::string::npos; };
}
inline auto item_named(const std::string& caption, bool enabled = true) {
    return [=](const MapEntry& e) { return e.kind == "item" && e.fields[1] == caption && (!enabled || e.tail == "1"); };
}
inline std::string ScreenOperator::choose(const std::string& menu, const std::string& entry) const {
    const auto bar = wait_steady(item_named(menu));
    if (!bar) return "no menu \"" + menu + "\"";
    std::optional<MapEntry> item;
    for (int attempt = 0; attempt < 3 && !item; ++attempt) {
        click(bar->box);
        item = wait([&](const MapEntry& e) { return item_named(entry)(e) && e.box.y > bar->box.y; }, 5000);
    }
    if (!item) return "no item \"" + entry + "\"";
    click(item->box);
    return {};
}
inline auto tab_named(const std::string& caption) {
    return [caption](const MapEntry& e) { return e.kind == "tab" && e.fields[1] == caption; };
}
// A control of the form (by a part of the form's caption) by its caption;
// enabled when asked.
inline auto control_captioned(const std::string& form, const std::string& caption, bool enabled = true) {
    return [=](const MapEntry& e) {
        return e.kind == "control" && e.form().find(form) != std::string::npos && e.fields[2] == caption &&
               (!enabled || e.tail == "1");
    };
}
inline auto control_named(const std::string& form, const std::string& name) {
    return [=](const MapEntry& e) {
        const std::string& k = e.fields.size() > 1 ? e.fields[1] : std::string();
        return e.kind == "control" && e.form().find(form) != std::string::npos && k.size() >= name.size() + 1 &&
               k.compare(k.size() - name.size() - 1, std::string::npos, ":" + name) == 0;
    };
}
inline auto cell_of(const std::string& form, const std::string& grid, int col, int row) {
    return [=](const MapEntry& e) {
        return e.kind == "cell" && e.form().find(form) != std::string::npos && e.fields[1] == grid &&
               e.fields[2] == std::to_string(col) && e.fields[3] == std::to_string(row);
    };
}
// The grid's current cell is (col, row), being edited when asked.
inline auto current_of(const std::string& form, const std::string& grid, int col, int row, bool editing = false) {
    return [=](const MapEntry& e) {
        return e.kind == "current" && e.form().find(form) != std::string::npos && e.fields[1] == grid &&
               e.fields[2] == std::to_string(col) && e.fields[3] == std::to_string(row) && (!editing || e.tail == "1");
    };
}
inline auto list_row(const std::string& form, const std::string& text) {
    return [=](const MapEntry& e) {
        return e.kind == "list" && e.form().find(form) != std::string::npos && e.fields[3] == text;
    };
}

}  // namespace station_host::testing
