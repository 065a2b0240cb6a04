#pragma once
// text::Storage: the operator's remarks of a well, each tied to a moment of
// recording time, kept sorted by that time and mirrored in a text file that
// other stations change too. Every edit first looks whether another writer
// changed the file; set_item and delete_record then drop their edit (the
// operator sees the other station's set first), add_record still adds.
//
// The remarks file, Windows-1251, one remark per line, CR LF:
//   0.00 0.00 <time> <host_num2> "<text, one-line escaped>" 0 0 <host_num>
// The text is escaped as lib::normal_text_to_file does (line feed \n,
// quote \", backslash \\); the reader honours those escapes inside the
// quotes, so a remark with a quote comes back whole. A missing number reads
// as 0; a host_num below 1 reads as 9.
//
// A reload reads into a new set and takes it only when the whole file was
// read; after a failed read the set stays as it was, the file's time is not
// taken as seen, and saving is refused until a reload succeeds, so a
// damaged or unreadable shared file is never overwritten from here. Saving
// writes a new file beside the old one and renames it into place, so other
// stations read either the old set or the new one, never a part; remarks
// added after every remark the file holds, into a file no one else wrote
// since, are appended to it as their lines instead (the bytes are those of
// the rewrite), so a well's thousandth remark costs what its first did.
//
// Lock order: the store's lock, then file_lock_obj() while saving.
//
// In the hub state ("sys.bin") the store is the module "text::Storage": the
// remarks (time, changed, text, host_num, host_num2), then the deleted
// list (time, changed), each as an int32 count and the elements.

#include "library/lock_object.h"
#include "library/serial/module_list.h"
#include "platform/os/file.h"
#include "platform/rtl/datetime.h"
#include "platform/ui/types.h"

#include <cstdint>
#include <string>
#include <vector>

using AnsiString = std::string;

namespace ui {
class TCanvas;
}

namespace text {

struct RecordBase {
    // The remark's place in recording time; records sort by it, unsigned.
    std::uint32_t time = 0;
    // The wall-clock moment of the last change (of removal, for a deleted
    // record).
    rtl::TDateTime changed = 0;
};

struct DeletedRecord : RecordBase {
    void get_serial_list(lib::serial_list& list);
};

struct Record : RecordBase {
    int index = -1;
    // Kept for the host; the last number of the file line.
    int host_num = 9;
    bool host_flag = false;
    // Added in this session; drawn on yellow.
    bool is_new = false;
    // Where the remark was last drawn.
    ui::TRect rect;
    AnsiString text;
    bool loaded = false;
    // Kept for the host; the second number of the file line.
    int host_num2 = 0;

    bool operator<(const Record& other) const { return time < other.time; }
    // Not new, no index.
    void clear();
    // The escaped text, cut to its first 32 characters and "..." when it has
    // 32 or more.
    AnsiString get_short_text() const;
    // Draws the text word-wrapped between left and right so that it ends at
    // bottom (at most 3000 pixels high, an ellipsis where it is cut), a new
    // remark on yellow, and keeps the rectangle in rect. The canvas's brush
    // colour is left as it was.
    void draw(ui::TCanvas* canvas, int bottom, int left, int right);
    void get_serial_list(lib::serial_list& list);
};

class Storage : public lib::SerialModule {
public:
    explicit Storage(int = 0) {}

    void set_file_name(const AnsiString& name);
    AnsiString get_file_name();

    // Replaces the remarks with the file's (a missing file has none). False
    // when the file could not be read or a line is damaged: nothing changes
    // then. The deleted list is not touched.
    bool load_from_file();
    // Rewrites the file from the remarks. Nothing without a file name; false
    // when the write failed (the old file stays) or when the last reload
    // failed.
    bool save_to_file();
    // Reloads when the file changed since it was last read or written here;
    // true when it had changed.
    bool check_file_changes();

    void add_record(const Record& record);
    // Dropped when the file had changed. An index outside the remarks throws
    // std::out_of_range.
    void set_item(int index, const Record& record);
    void delete_record(int index);
    void clear_indexes();
    // The first remark of exactly that time, or -1.
    int find_by_tyme(std::uint32_t time);
    int size();
    // A copy of the remark; std::out_of_range outside the remarks.
    Record operator[](int index);
    // Copies taken under the lock, for callers on other threads.
    std::vector<Record> get_records();
    std::vector<DeletedRecord> get_deleted_records();

    void get_serial_name(std::string& name) override { name = "text::Storage"; }
    void get_serial_list(lib::serial_list& list, unsigned version) override;

private:
    // What identifies the file's content as last seen: a rewrite by rename
    // changes the inode, an append the size, even within one tick of the
    // clock.
    struct Stamp {
        os::FILETIME written;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        bool exists = false;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    Stamp current_stamp();
    void sort();
    // A set read whole (the file, the hub state): its order and flags.
    void fresh_set();
    void check_index(int index, const char* what) const;
    // Appends the lines of the remarks after the file's; false when the
    // file is not as this store last saw it or the write failed.
    bool append_lines();

    lib::lock_object lock_;
    std::vector<DeletedRecord> deleted_;
    std::vector<Record> records_;
    Stamp file_time_;
    bool read_failed_ = false;
    AnsiString file_name_;
    // The file holds exactly the lines of the first in_file_ remarks as they
    // were then (kNotExact: lines of its own, blank lines, other numbers);
    // the first unchanged_ remarks are still those.
    static constexpr std::size_t kNotExact = static_cast<std::size_t>(-1);
    std::size_t in_file_ = kNotExact;
    std::size_t unchanged_ = 0;
    // The remarks are in time order; the one at flagged_ (kNone: none) is the
    // only one whose flags may be set, unless flags_unknown_.
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    bool sorted_ = true;
    std::size_t flagged_ = kNone;
    bool flags_unknown_ = false;
};

// The remark of one file line; false for a damaged line (a number field
// that is not a number). Exposed for the tests of the file form.
bool parse_remark_line(std::string_view line, Record& out);
// One file line without its CR LF, in program text (UTF-8).
AnsiString format_remark_line(const Record& record);

}  // namespace text
