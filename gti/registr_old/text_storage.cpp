#include "gti/registr_old/text_storage.h"

#include "gti/registr_old/sys_lock.h"
#include "library/serial/serial_list.h"
#include "library/text_conv.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <stdexcept>

namespace text {

namespace {

// The words of a line: blank-separated; a word that opens with a quote runs
// to the next quote that is not escaped by a backslash, and is given
// without its quotes.
std::vector<std::string_view> split_words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            std::size_t start = ++i;
            while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
            i = std::min(i, line.size());
            words.push_back(line.substr(start, i - start));
            if (i < line.size()) ++i;  // the closing quote
            continue;
        }
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

template <class T>
bool read_number(const std::vector<std::string_view>& words, std::size_t at, T& out) {
    out = 0;
    if (at >= words.size()) return true;  // a missing number reads as 0
    std::string_view w = words[at];
    auto r = std::from_chars(w.data(), w.data() + w.size(), out);
    return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

}  // namespace

// ---- records ----------------------------------------------------------------

void DeletedRecord::get_serial_list(lib::serial_list& list) { list | time | changed; }

void Record::clear() {
    is_new = false;
    index = -1;
}

AnsiString Record::get_short_text() const {
    AnsiString s = lib::normal_text_to_file(text);
    if (rtl::char_count(s) < 32) return s;
    // Cut after 32 characters, not bytes.
    std::size_t pos = 0;
    for (int n = 0; n < 32 && pos < s.size(); ++n) {
        ++pos;
        while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) ++pos;
    }
    return s.substr(0, pos) + "...";
}

void Record::get_serial_list(lib::serial_list& list) { list | time | changed | text | host_num | host_num2; }

bool parse_remark_line(std::string_view line, Record& out) {
    auto words = split_words(line);
    Record r;
    int last = 0;
    if (!read_number(words, 2, r.time) || !read_number(words, 3, r.host_num2) || !read_number(words, 7, last))
        return false;
    if (words.size() > 4) r.text = lib::file_text_to_normal(AnsiString(words[4]));
    r.host_num = last < 1 ? 9 : last;
    r.loaded = false;
    out = std::move(r);
    return true;
}

AnsiString format_remark_line(const Record& r) {
    return "0.00 0.00 " + std::to_string(r.time) + " " + rtl::IntToStr(r.host_num2) + " \"" +
           lib::normal_text_to_file(r.text) + "\" 0 0 " + rtl::IntToStr(r.host_num);
}

// ---- the store ---------------------------------------------------------------

void Storage::set_file_name(const AnsiString& name) {
    lib::Locker hold(&lock_);
    file_name_ = name;
}

AnsiString Storage::get_file_name() {
    lib::Locker hold(&lock_);
    return file_name_;
}

Storage::Stamp Storage::current_stamp() {
    Stamp s;
    if (file_name_.empty()) return s;
    const os::FileInfo info = os::file_info(file_name_);
    if (!info.exists) return s;
    s.exists = true;
    s.inode = info.inode;
    s.size = info.size;
    s.written = info.written;
    return s;
}

bool Storage::load_from_file() {
    lib::Locker hold(&lock_);
    if (file_name_.empty()) return false;
    std::vector<Record> loaded;
    Stamp seen;
    // Whether the file holds exactly the lines a save of what it gave writes.
    bool exact = true;
    std::string rewritten;
    os::File file;
    auto status = file.open(os::native_path(file_name_), os::File::Mode::read, false);
    if (status == os::File::Status::not_found) {
        // No file yet: no remarks.
    } else if (status != os::File::Status::ok) {
        read_failed_ = true;
        return false;
    } else {
        const os::FileInfo info = file.info();
        std::string bytes;
        if (!info.exists || !file.read_all(bytes)) {
            read_failed_ = true;
            return false;
        }
        seen.exists = true;
        seen.inode = info.inode;
        seen.size = info.size;
        seen.written = info.written;
        std::string content = rtl::cp1251_to_utf8(bytes);
        exact = true;
        std::size_t pos = 0;
        while (pos < content.size()) {
            std::size_t eol = content.find_first_of("\r\n", pos);
            if (eol == std::string::npos) eol = content.size();
            std::string_view line(content.data() + pos, eol - pos);
            pos = eol + 1;
            if (eol < content.size() && content[eol] == '\r' && pos < content.size() && content[pos] == '\n') ++pos;
            if (rtl::Trim(line).empty()) {
                exact = false;
                continue;
            }
            Record r;
            if (!parse_remark_line(line, r)) {
                read_failed_ = true;
                return false;
            }
            if (exact) rewritten += format_remark_line(r) + "\r\n";
            loaded.push_back(std::move(r));
        }
        exact = exact && rewritten == content;
    }
    records_.swap(loaded);
    file_time_ = seen;
    read_failed_ = false;
    in_file_ = exact ? records_.size() : kNotExact;
    unchanged_ = records_.size();
    fresh_set();
    return true;
}

bool Storage::save_to_file() {
    lib::Locker hold(&lock_);
    lib::Locker file_hold(file_lock_obj());
    if (file_name_.empty()) return true;
    if (read_failed_) return false;
    // Remarks added after all the file holds, the file as this store last
    // saw it: only their lines are appended. Anything else rewrites it.
    if (in_file_ != kNotExact && unchanged_ >= in_file_ && append_lines()) return true;
    std::string bytes;
    for (const Record& r : records_) bytes += rtl::utf8_to_cp1251(format_remark_line(r)) + "\r\n";
    os::ReplacementFile out;
    if (!out.create(os::native_path(file_name_)) || !out.write(bytes.data(), bytes.size()) || !out.commit())
        return false;
    Stamp seen = current_stamp();
    // The committed file's own time, before anyone else could touch it.
    seen.written = out.written();
    seen.size = static_cast<std::int64_t>(bytes.size());
    file_time_ = seen;
    in_file_ = unchanged_ = records_.size();
    return true;
}

bool Storage::append_lines() {
    os::File file;
    if (file.open(os::native_path(file_name_), os::File::Mode::read_write_existing, true) != os::File::Status::ok)
        return false;
    const os::FileInfo info = file.info();
    const std::int64_t size = info.size;
    // Another station's write since: the whole set is written instead.
    if (!info.exists || !file_time_.exists || info.inode != file_time_.inode || !(info.written == file_time_.written) ||
        size != file_time_.size)
        return false;
    std::string bytes;
    for (std::size_t i = in_file_; i < records_.size(); ++i)
        bytes += rtl::utf8_to_cp1251(format_remark_line(records_[i])) + "\r\n";
    if (!bytes.empty() && !file.write_at(size, bytes.data(), bytes.size())) {
        // Half a line at the end would be read as a remark of its own.
        file.truncate(size);
        return false;
    }
    const os::FileInfo after = file.info();
    file_time_.exists = after.exists;
    file_time_.inode = after.inode;
    file_time_.size = after.size;
    file_time_.written = after.written;
    in_file_ = unchanged_ = records_.size();
    return true;
}

bool Storage::check_file_changes() {
    lib::Locker hold(&lock_);
    if (current_stamp() == file_time_) return false;
    load_from_file();
    return true;
}

void Storage::sort() {
    std::stable_sort(records_.begin(), records_.end());
    sorted_ = true;
}

void Storage::fresh_set() {
    sorted_ = std::is_sorted(records_.begin(), records_.end());
    flags_unknown_ = false;
    flagged_ = kNone;
    for (const Record& r : records_) flags_unknown_ |= r.is_new || r.index != -1;
}

void Storage::check_index(int index, const char* what) const {
    if (index < 0 || static_cast<std::size_t>(index) >= records_.size())
        throw std::out_of_range(std::string("text::Storage::") + what + ": index " + std::to_string(index) +
                                " outside 0.." + std::to_string(records_.size()));
}

void Storage::add_record(const Record& record) {
    lib::Locker hold(&lock_);
    check_file_changes();
    // Every remark's flags cleared: only the one added last can have any
    // set, unless an edit put a caller's record in.
    if (flags_unknown_) {
        for (Record& r : records_) r.clear();
    } else if (flagged_ < records_.size()) {
        records_[flagged_].clear();
    }
    // A set loaded in the file's order is put in time order once; then each
    // remark goes in after those of its time and before later ones, where
    // a stable sort of the set with it at the end would put it.
    if (!sorted_) {
        sort();
        unchanged_ = 0;
    }
    const auto at = std::upper_bound(records_.begin(), records_.end(), record);
    const std::size_t place = static_cast<std::size_t>(at - records_.begin());
    unchanged_ = std::min(unchanged_, place);
    Record& added = *records_.insert(at, record);
    added.changed = rtl::Now();
    added.is_new = true;
    flagged_ = place;
    flags_unknown_ = false;
}

void Storage::set_item(int index, const Record& record) {
    lib::Locker hold(&lock_);
    check_index(index, "set_item");
    if (check_file_changes()) return;
    DeletedRecord gone;
    gone.time = records_[static_cast<std::size_t>(index)].time;
    gone.changed = rtl::Now();
    deleted_.push_back(gone);
    Record& slot = records_[static_cast<std::size_t>(index)];
    slot = record;
    slot.changed = rtl::Now();
    sort();
    unchanged_ = 0;
    flags_unknown_ = true;
}

void Storage::delete_record(int index) {
    lib::Locker hold(&lock_);
    check_index(index, "delete_record");
    if (check_file_changes()) return;
    DeletedRecord gone;
    gone.time = records_[static_cast<std::size_t>(index)].time;
    gone.changed = rtl::Now();
    deleted_.push_back(gone);
    records_.erase(records_.begin() + index);
    unchanged_ = std::min(unchanged_, static_cast<std::size_t>(index));
    if (flagged_ != kNone && flagged_ > static_cast<std::size_t>(index))
        --flagged_;
    else if (flagged_ == static_cast<std::size_t>(index))
        flagged_ = kNone;
}

void Storage::clear_indexes() {
    lib::Locker hold(&lock_);
    for (Record& r : records_) r.clear();
    flags_unknown_ = false;
    flagged_ = kNone;
}

int Storage::find_by_tyme(std::uint32_t time) {
    lib::Locker hold(&lock_);
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (records_[i].time == time) return static_cast<int>(i);
    return -1;
}

int Storage::size() {
    lib::Locker hold(&lock_);
    return static_cast<int>(records_.size());
}

Record Storage::operator[](int index) {
    lib::Locker hold(&lock_);
    check_index(index, "operator[]");
    return records_[static_cast<std::size_t>(index)];
}

std::vector<Record> Storage::get_records() {
    lib::Locker hold(&lock_);
    return records_;
}

std::vector<DeletedRecord> Storage::get_deleted_records() {
    lib::Locker hold(&lock_);
    return deleted_;
}

void Storage::get_serial_list(lib::serial_list& list, unsigned) {
    lib::Locker hold(&lock_);
    if (list.is_reading()) {
        // Both lists are taken only when the whole record read: a damaged
        // record leaves the store as it was.
        std::vector<Record> records;
        std::vector<DeletedRecord> deleted;
        list | records | deleted;
        records_.swap(records);
        deleted_.swap(deleted);
        unchanged_ = 0;
        fresh_set();
    } else {
        list | records_ | deleted_;
    }
}

}  // namespace text
