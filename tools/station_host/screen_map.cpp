#include "tools/station_host/screen_map.h"

#include <algorithm>
#include <any>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "library/graphics/chart_view.h"
#include "library/graphics/graphics_column.h"
#include "library/graphics/mouse_events.h"
#include "platform/os/file.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/grids.h"
#include "platform/ui/lists.h"
#include "platform/ui/menus.h"
#include "platform/ui/pages.h"
#include "platform/ui/timer.h"

namespace station_host {

namespace {

using namespace ui;

// A caption's line breaks and tabs would break the map's lines and fields.
std::string flat(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\t' || c == '\r') c = ' ';
    return text;
}

void rect_fields(std::string& out, const TRect& r) {
    out += "\t" + std::to_string(r.Left) + "\t" + std::to_string(r.Top) + "\t" + std::to_string(r.Width()) + "\t" +
           std::to_string(r.Height());
}

// The class's own name, as the type information spells it (without the
// length prefixes of a mangled name).
std::string kind_of(const TObject& o) {
    const std::string mangled = typeid(o).name();
    std::string name;
    for (std::size_t i = 0; i < mangled.size();) {
        if (mangled[i] >= '0' && mangled[i] <= '9') {
            std::size_t n = 0;
            while (i < mangled.size() && mangled[i] >= '0' && mangled[i] <= '9')
                n = n * 10 + std::size_t(mangled[i++] - '0');
            name = mangled.substr(i, n);
            i += n;
        } else {
            ++i;
        }
    }
    return name.empty() ? mangled : name;
}

bool shown(const TControl* c) {
    for (; c; c = c->Parent())
        if (!c->Visible()) return false;
    return true;
}

// The texts of a chart's column headers as last painted: the curves'
// titles and their range values (the areas a click on them hits).
void add_headings(std::string& out, const std::string& form, lib::graphics::ChartView& view) {
    lib::graphics::Planshet& sheet = view.sheet();
    std::vector<lib::graphics::Planshet::ColumnCoord> coords;
    sheet.calc_columns_coords(coords, view.ClientWidth());
    for (const auto& area : sheet.get_mouse_events().areas()) {
        const auto* r = dynamic_cast<const lib::RectArea*>(area.get());
        if (!r) continue;
        std::string text;
        if (const auto* range = std::any_cast<lib::graphics::RangeClickData>(&area->get_data())) {
            text = range->text;
        } else if (const auto* curve = std::any_cast<int>(&area->get_data())) {
            for (std::size_t i = 0; i < coords.size() && i < sheet.get_columns_count(); ++i) {
                if (r->rect.Left < coords[i].start || r->rect.Left >= coords[i].end) continue;
                auto column = std::dynamic_pointer_cast<lib::graphics::GraphicsColumn>(sheet.get_column(unsigned(i)));
                if (column && *curve >= 0 && *curve < column->get_curves_count()) text = column->get_curve(*curve).title;
            }
        } else {
            continue;
        }
        const TPoint p = view.ClientToScreen({r->rect.Left, r->rect.Top});
        out += "heading\t" + form + "\t" + view.Name() + "\t" + flat(text);
        rect_fields(out, Bounds(p.x, p.y, r->rect.Width(), r->rect.Height()));
        out += "\n";
    }
}

void add_control(std::string& out, const std::string& form, TControl& c) {
    if (!c.Visible()) return;
    TRect r = Bounds(c.Left(), c.Top(), c.Width(), c.Height());
    if (c.Parent()) {
        const TPoint p = c.Parent()->ClientToScreen({c.Left(), c.Top()});
        r = Bounds(p.x, p.y, c.Width(), c.Height());
    }
    out += "control\t" + form + "\t" + kind_of(c) + ":" + c.Name() + "\t" + flat(c.Caption());
    rect_fields(out, r);
    out += c.Enabled() ? "\t1\n" : "\t0\n";
    if (auto* grid = dynamic_cast<TCustomGrid*>(&c)) {
        auto* strings = dynamic_cast<TStringGrid*>(grid);
        // The cells shown; a long grid is cut at the rows a screen holds.
        for (int row = 0; row < grid->RowCount() && row < 200; ++row)
            for (int col = 0; col < grid->ColCount() && col < 40; ++col) {
                const TRect cell = grid->CellRect(col, row);
                if (cell.IsEmpty()) continue;
                const TPoint p = grid->ClientToScreen({cell.Left, cell.Top});
                out += "cell\t" + form + "\t" + grid->Name() + "\t" + std::to_string(col) + "\t" + std::to_string(row);
                rect_fields(out, Bounds(p.x, p.y, cell.Width(), cell.Height()));
                out += "\t" + flat(strings ? strings->Cells(col, row) : std::string()) + "\n";
            }
        // Where the keys go in it: a letter typed before the click has
        // put the current cell lands in another one.
        const TRect current = grid->CellRect(grid->Col(), grid->Row());
        const TPoint at = grid->ClientToScreen({current.Left, current.Top});
        const bool editing = grid->InplaceEditor() && grid->InplaceEditor()->Visible();
        out += "current\t" + form + "\t" + grid->Name() + "\t" + std::to_string(grid->Col()) + "\t" +
               std::to_string(grid->Row());
        rect_fields(out, Bounds(at.x, at.y, current.Width(), current.Height()));
        out += editing ? "\t1\n" : "\t0\n";
    }
    if (auto* chart = dynamic_cast<lib::graphics::ChartView*>(&c)) add_headings(out, form, *chart);
    if (auto* pages = dynamic_cast<TPageControl*>(&c))
        for (int i = 0; i < pages->PageCount(); ++i) {
            TTabSheet* page = pages->Pages(i);
            if (!page->TabVisible()) continue;
            const TRect tab = pages->TabRect(page->TabIndex());
            if (tab.IsEmpty()) continue;
            const TPoint p = pages->ClientToScreen({tab.Left, tab.Top});
            out += "tab\t" + form + "\t" + page->Caption();
            rect_fields(out, Bounds(p.x, p.y, tab.Width(), tab.Height()));
            out += "\n";
        }
    if (auto* w = dynamic_cast<TWinControl*>(&c))
        for (int i = 0; i < w->ControlCount(); ++i) add_control(out, form, *w->Controls(i));
}

void add_items(std::string& out, const std::string& form, const TMenu& menu, const TMenuItem& parent) {
    for (int i = 0; i < parent.Count(); ++i) {
        const TMenuItem& item = *parent.Items(i);
        const TRect r = menu.ItemScreenRect(&item);
        if (!r.IsEmpty()) {
            out += "item\t" + form + "\t" + flat(item.Caption());
            rect_fields(out, r);
            out += item.Enabled() ? "\t1\n" : "\t0\n";
        }
        add_items(out, form, menu, item);
    }
}

void add_menus(std::string& out, const std::string& form, const TComponent& owner) {
    for (int i = 0; i < owner.ComponentCount(); ++i) {
        TComponent* c = owner.Components(i);
        if (auto* menu = dynamic_cast<TMenu*>(c)) add_items(out, form, *menu, *menu->Items());
        // A plug-in's window inside a page owns its own menus.
        if (dynamic_cast<TCustomForm*>(c) == nullptr && c->ComponentCount() > 0) add_menus(out, form, *c);
    }
}

void add_list(std::string& out, const std::string& form, TCustomForm& f) {
    auto* combo = dynamic_cast<TComboBox*>(f.Popup());
    if (!combo || !combo->DroppedDown()) return;
    const TRect pr = combo->PopupRect();
    const int h = combo->ItemHeight();
    const int rows = (pr.Height() - 2) / std::max(1, h);
    for (int k = 0; k < rows; ++k) {
        const int index = combo->ListTop() + k;
        if (index >= combo->Items().Count()) break;
        out +=
            "list\t" + form + "\t" + combo->Name() + "\t" + std::to_string(index) + "\t" + flat(combo->Items()[index]);
        rect_fields(out, Bounds(f.Left() + pr.Left + 1, f.Top() + pr.Top + 1 + k * h, pr.Width() - 2, h));
        out += "\n";
    }
}

struct Writer {
    std::string path;
    std::unique_ptr<TTimer> timer;
    std::string last;
};
Writer* writer = nullptr;

}  // namespace

std::string screen_map() {
    std::string out;
    for (int i = 0; i < Screen().FormCount(); ++i) {
        TCustomForm* f = Screen().Forms(i);
        if (f->Parent() || !shown(f)) continue;
        const std::string form = flat(f->Caption());
        out += "form\t" + form;
        rect_fields(out, Bounds(f->Left(), f->Top(), f->Width(), f->Height()));
        out += "\n";
        // The part the desktop's window shows (menu bar and client area): a
        // test compares it with where the window manager has the window.
        const TPoint origin = f->ClientOrigin();
        const TRect bar = f->MenuBarRect();
        const int top = bar.IsEmpty() ? origin.y : std::min(f->Top() + bar.Top, origin.y);
        out += "window\t" + form;
        rect_fields(out, Rect(origin.x, top, origin.x + f->ClientWidth(), origin.y + f->ClientHeight()));
        out += "\n";
        for (int k = 0; k < f->ControlCount(); ++k) add_control(out, form, *f->Controls(k));
        add_menus(out, form, *f);
        add_list(out, form, *f);
    }
    return out;
}

void start_screen_map_writer(int period_ms) {
    const char* path = std::getenv("STATION_HOST_SCREEN_MAP");
    if (!path || !*path || writer) return;
    writer = new Writer{path, std::make_unique<TTimer>(nullptr), {}};
    writer->timer->SetInterval(period_ms);
    writer->timer->OnTimer = [](TObject*) {
        std::string map = screen_map();
        if (map == writer->last) return;
        if (os::replace_file(writer->path, map) == 0) writer->last = std::move(map);
    };
}

void stop_screen_map_writer() {
    delete writer;
    writer = nullptr;
}

}  // namespace station_host
