#pragma once
// RegistrLogOld: the station's event log. Short events (operator actions,
// option changes, plug-in messages) are appended to a text file with the
// trip number and the local time of the moment they are written.
//
// add() may be called from any thread, the host callbacks calling it while
// they hold the hub lock: it only queues the text under the log's own lock
// and posts message WM_USER + 100 to a hidden window. The main thread
// writes the queued events when that message comes (on_message).
//
// Lock order: the hub lock is never taken while the log's lock is held. The
// trip number (which lives under the hub lock) is read before the log's
// lock is taken, so a host callback holding the hub lock and calling add()
// can never deadlock with the main thread writing.
//
// File lines, Windows-1251 on disk:
//   <trip> ' ' <local time, unsigned seconds> ' ' <text, one-line escaped> '\n'
//
// A grid shows the log when one is attached (set_grid): load() fills it
// from the file, and each event written that passes the filters is added
// as a row at its end. Columns "Рейс", "Дата / Время", "Событие"; a station
// grid gets its rows coloured by the first character of the event. The log
// forgets the grid when the grid is freed. Beside the grid, a row sink gets
// the same live rows, and read_entries() the file's.

#include "gti/registr_old/grid_binding.h"
#include "library/lock_object.h"
#include "platform/ui/grids.h"
#include "platform/ui/message_queue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using AnsiString = std::string;

namespace lib {
class options_base;
}

class RegistrLogOld {
public:
    static constexpr int message = 1124;  // WM_USER + 100
    // The longest event text a reload takes of one line, in file bytes.
    static constexpr std::size_t max_text = 4096;

    struct Entry {
        int race = 0;
        std::uint32_t time = 0;
        AnsiString text;
        // The grid shows no number for an event outside any trip.
        AnsiString race_text() const;
    };

    // Reads the current trip number; called with the log's lock released.
    using TripSource = std::function<int()>;
    using RowSink = std::function<void(const Entry&)>;

    explicit RegistrLogOld(TripSource trip = {});
    ~RegistrLogOld();
    RegistrLogOld(const RegistrLogOld&) = delete;
    RegistrLogOld& operator=(const RegistrLogOld&) = delete;

    // path = folder / part / name
    void set_file_name(const AnsiString& folder, const AnsiString& part, const AnsiString& name);
    AnsiString get_file_name();

    // min_time 0: no lower bound; race -1: every trip.
    void set_filter(std::uint32_t min_time, int race);
    // Called on the main thread with the log's lock released.
    void set_row_sink(RowSink sink);

    // Attaches the grid (null: none); a station grid (widrak::TMyGrid) gets
    // on_get_cell_props as its cell-colour event, which the log clears again
    // when it lets the grid go, unless another log has set its own since.
    // Main thread.
    void set_grid(ui::TStringGrid* grid);
    ui::TStringGrid* get_grid();
    // The grid from the file: the header and the events that pass the
    // filters, or one empty row when there are none or the file can't be
    // read. Nothing without a grid.
    void load();
    // The cell-colour event of the grid: the background of a row by the
    // first character of its event text (event_colour).
    void on_get_cell_props(ui::TObject* sender, int col, int row, ui::TColor& colour, ui::TFont* font);

    // Any thread; never blocks on the file.
    void add(const AnsiString& text);
    // Main thread: writes the queued events for message 1124, ignores any
    // other. A file that can't be opened keeps them queued for the next one.
    void on_message(int msg, std::intptr_t wparam, std::intptr_t lparam);
    // Logs the captioned options whose stored texts differ: the title, then
    // "... <group> caption[, unit] [old -> new]" per change. Nothing when the
    // sets list different numbers of options or nothing changed.
    void add_comparsion(const AnsiString& title, const lib::options_base& old_opts, const lib::options_base& new_opts);
    static AnsiString get_bool_text(bool flag);
    // Empties the file, and the grid down to its header and one empty row.
    void clear();

    // The file's events that pass the filters, in file order; lines that do
    // not start with a number, and lines with time 0, are skipped. Empty when
    // the file can't be read.
    std::vector<Entry> read_entries();

    // The background an event row gets by the first character of its text:
    // '*' 0xFFFAEC, '#' 0xDFFFDF, '.' 0xEAFFFF (TColor); false for others.
    static bool event_colour(const AnsiString& text, std::int32_t& colour);

    std::size_t pending_count();

private:
    bool passes(const Entry& e) const;
    void release_grid();
    static void reset_grid(ui::TStringGrid* grid);
    static void put_row(ui::TStringGrid* grid, int row, const Entry& e);
    static void append_row(ui::TStringGrid* grid, const Entry& e);

    lib::lock_object lock_;
    std::vector<AnsiString> pending_;
    AnsiString path_;
    std::uint32_t min_time_ = 0;
    int race_filter_ = -1;
    TripSource trip_;
    RowSink sink_;
    reg::GridBinding<ui::TStringGrid> grid_;
    std::unique_ptr<ui::MessageWindow> window_;
};
