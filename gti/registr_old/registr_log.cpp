#include "gti/registr_old/registr_log.h"

#include "library/options/options.h"
#include "library/text_conv.h"
#include "library/time_conv.h"
#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/numbers.h"
#include "widrak/my_grid.h"

#include <charconv>

namespace {

// One file line as the reload reads it: a signed trip number, blanks, the
// time, one separator character, the rest as text. False for a line that
// does not start with a number.
bool parse_line(std::string_view line, RegistrLogOld::Entry& e) {
    if (line.empty()) return false;
    char c = line.front();
    if (!(c >= '0' && c <= '9') && c != '-') return false;
    const char* p = line.data();
    const char* end = p + line.size();
    int race = 0;
    auto r = std::from_chars(p, end, race);
    if (r.ec != std::errc()) return false;
    p = r.ptr;
    while (p < end && *p == ' ') ++p;
    std::uint32_t time = 0;
    r = std::from_chars(p, end, time);
    if (r.ec == std::errc()) p = r.ptr;
    if (p < end) ++p;  // the separator
    std::string_view text(p, static_cast<std::size_t>(end - p));
    if (text.size() > RegistrLogOld::max_text) text = text.substr(0, RegistrLogOld::max_text);
    e.race = race;
    e.time = time;
    e.text = lib::file_text_to_normal(rtl::cp1251_to_utf8(text));
    return true;
}

}  // namespace

AnsiString RegistrLogOld::Entry::race_text() const { return race == -1 ? AnsiString() : rtl::IntToStr(race); }

RegistrLogOld::RegistrLogOld(TripSource trip)
    : trip_(std::move(trip)),
      window_(std::make_unique<ui::MessageWindow>(
          [this](int msg, std::intptr_t w, std::intptr_t l) { on_message(msg, w, l); })) {}

RegistrLogOld::~RegistrLogOld() {
    std::unique_ptr<ui::MessageWindow> window;
    {
        lib::Locker hold(&lock_);
        release_grid();
        window.swap(window_);
    }
    // Outside our lock: destroying the window waits for a handler call in
    // progress, and that call may be waiting for our lock.
    window.reset();
}

void RegistrLogOld::set_file_name(const AnsiString& folder, const AnsiString& part, const AnsiString& name) {
    lib::Locker hold(&lock_);
    path_ = folder + "/" + part + "/" + name;
}

AnsiString RegistrLogOld::get_file_name() {
    lib::Locker hold(&lock_);
    return path_;
}

void RegistrLogOld::set_filter(std::uint32_t min_time, int race) {
    lib::Locker hold(&lock_);
    min_time_ = min_time;
    race_filter_ = race;
}

void RegistrLogOld::set_row_sink(RowSink sink) {
    lib::Locker hold(&lock_);
    sink_ = std::move(sink);
}

bool RegistrLogOld::passes(const Entry& e) const {
    return (min_time_ == 0 || e.time >= min_time_) && (race_filter_ == -1 || e.race == race_filter_);
}

void RegistrLogOld::add(const AnsiString& text) {
    lib::Locker hold(&lock_);
    pending_.push_back(text);
    if (window_) window_->post(message, 0, 0);
}

std::size_t RegistrLogOld::pending_count() {
    lib::Locker hold(&lock_);
    return pending_.size();
}

void RegistrLogOld::on_message(int msg, std::intptr_t, std::intptr_t) {
    if (msg != message) return;
    TripSource trip;
    {
        lib::Locker hold(&lock_);
        if (pending_.empty()) return;
        trip = trip_;
    }
    // The trip number lives under the hub lock: read it before our own lock
    // is taken again, never inside it.
    const int race = trip ? trip() : 0;

    std::vector<Entry> shown;
    RowSink sink;
    ui::TStringGrid* grid = nullptr;
    {
        lib::Locker hold(&lock_);
        if (pending_.empty() || path_.empty()) return;
        std::string bytes;
        for (const AnsiString& text : pending_) {
            if (text.empty()) continue;
            Entry e{race, lib::get_local_time(), text};
            bytes += rtl::utf8_to_cp1251(rtl::IntToStr(e.race) + " " + rtl::IntToStr(e.time) + " " +
                                         lib::normal_text_to_file(text)) +
                     "\n";
            if ((sink_ || grid_) && passes(e)) shown.push_back(std::move(e));
        }
        // One append write for the whole batch keeps its lines together; a
        // write that stops part-way is cut back, so that the retry with the
        // next message never runs its lines into half of one.
        os::AppendOptions options;
        options.permissions = 0644;
        options.cut_back_partial = true;
        if (os::append_file(path_, bytes, options) != 0) return;
        pending_.clear();
        sink = sink_;
        grid = grid_.get();
    }
    // The sink and the grid's events may take the hub lock: never run them
    // while holding our own.
    if (grid)
        for (const Entry& e : shown) append_row(grid, e);
    if (sink)
        for (const Entry& e : shown) sink(e);
}

void RegistrLogOld::add_comparsion(const AnsiString& title, const lib::options_base& old_opts,
                                   const lib::options_base& new_opts) {
    // Listing the options only binds descriptors to the objects' members;
    // neither object changes.
    lib::options_list old_list, new_list;
    const_cast<lib::options_base&>(old_opts).enum_values(old_list);
    const_cast<lib::options_base&>(new_opts).enum_values(new_list);
    if (old_list.size() != new_list.size()) return;
    std::vector<AnsiString> lines;
    for (int i = 0; i < old_list.size(); ++i) {
        lib::MetaClassPointer o = old_list.get_item(i);
        lib::MetaClassPointer n = new_list.get_item(i);
        AnsiString was = o->get_serial_string();
        AnsiString now = n->get_serial_string();
        if (was == now || o->get_display_name().empty()) continue;
        AnsiString change = " [" + was + " -> " + now + "]";
        if (!o->get_unit_name().empty()) change = ", " + o->get_unit_name() + change;
        lines.push_back("<" + lib::normal_text_to_file(n->get_sect_disp_name()) + "> " + o->get_display_name() +
                        change);
    }
    if (lines.empty()) return;
    add(title);
    for (const AnsiString& line : lines) add("... " + line);
}

AnsiString RegistrLogOld::get_bool_text(bool flag) { return flag ? "<ДА>" : "<НЕТ>"; }

void RegistrLogOld::clear() {
    lib::Locker hold(&lock_);
    if (ui::TStringGrid* grid = grid_.get()) reset_grid(grid);
    if (path_.empty()) return;
    // Emptied only when it is there: clearing never creates the log.
    os::File file;
    os::OpenOptions options;
    options.share_rule = false;
    if (file.open(path_, os::File::Mode::read_write_existing, options) == os::File::Status::ok) (void)file.truncate(0);
}

// ---- the grid -------------------------------------------------------------------

void RegistrLogOld::release_grid() {
    // Another log may have taken the grid over since: its handler stays.
    if (auto* my = dynamic_cast<widrak::TMyGrid*>(grid_.get()))
        reg::release_handler<&RegistrLogOld::on_get_cell_props>(my->OnGetDrawParams, this);
    grid_.reset();
}

void RegistrLogOld::set_grid(ui::TStringGrid* grid) {
    lib::Locker hold(&lock_);
    release_grid();
    if (!grid) return;
    grid_.bind(grid);
    if (auto* my = dynamic_cast<widrak::TMyGrid*>(grid))
        reg::set_handler<&RegistrLogOld::on_get_cell_props>(my->OnGetDrawParams, this);
}

ui::TStringGrid* RegistrLogOld::get_grid() {
    lib::Locker hold(&lock_);
    return grid_.get();
}

void RegistrLogOld::reset_grid(ui::TStringGrid* grid) {
    if (grid->ColCount() < 3) grid->SetColCount(3);
    grid->SetRowCount(2);
    grid->SetFixedRows(1);
    grid->SetCells(0, 0, "Рейс");
    grid->SetCells(1, 0, "Дата / Время");
    grid->SetCells(2, 0, "Событие");
    for (int col = 0; col < grid->ColCount(); ++col) grid->SetCells(col, 1, "");
}

void RegistrLogOld::put_row(ui::TStringGrid* grid, int row, const Entry& e) {
    if (row >= grid->RowCount()) grid->SetRowCount(row + 1);
    grid->SetCells(0, row, e.race_text());
    grid->SetCells(1, row, lib::date_to_string(e.time));
    grid->SetCells(2, row, e.text);
}

void RegistrLogOld::append_row(ui::TStringGrid* grid, const Entry& e) {
    // The one empty row of a grid without events takes the first.
    int row = grid->RowCount();
    if (row == 2 && grid->Cells(1, 1).empty() && grid->Cells(2, 1).empty()) row = 1;
    put_row(grid, row, e);
    grid->SetRow(row);
}

void RegistrLogOld::load() {
    ui::TStringGrid* grid = get_grid();
    if (!grid) return;
    reset_grid(grid);
    const std::vector<Entry> entries = read_entries();
    for (std::size_t i = 0; i < entries.size(); ++i) put_row(grid, static_cast<int>(i) + 1, entries[i]);
}

void RegistrLogOld::on_get_cell_props(ui::TObject* sender, int, int row, ui::TColor& colour, ui::TFont*) {
    lib::Locker hold(&lock_);
    auto* grid = dynamic_cast<ui::TStringGrid*>(sender);
    if (!grid) grid = grid_.get();
    if (!grid || row < 0 || row >= grid->RowCount() || grid->ColCount() < 3) return;
    std::int32_t c = 0;
    if (event_colour(grid->Cells(2, row), c)) colour = static_cast<ui::TColor>(c);
}

std::vector<RegistrLogOld::Entry> RegistrLogOld::read_entries() {
    lib::Locker hold(&lock_);
    std::vector<Entry> out;
    std::string bytes;
    if (path_.empty() || os::read_file(path_, bytes) != 0) return out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t eol = bytes.find('\n', pos);
        if (eol == std::string::npos) eol = bytes.size();
        std::string_view line(bytes.data() + pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        Entry e;
        if (!parse_line(line, e) || e.time == 0 || !passes(e)) continue;
        out.push_back(std::move(e));
    }
    return out;
}

bool RegistrLogOld::event_colour(const AnsiString& text, std::int32_t& colour) {
    if (text.empty()) return false;
    switch (text.front()) {
        case '*': colour = 0xFFFAEC; return true;
        case '#': colour = 0xDFFFDF; return true;
        case '.': colour = 0xEAFFFF; return true;
        default: return false;
    }
}
