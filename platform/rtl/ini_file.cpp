#include "platform/rtl/ini_file.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/text.h"
#include "platform/rtl/utf8.h"

namespace rtl {

namespace ini_detail {

// One line of the file with what it means to the profile rules.
struct Line {
    enum Kind { Blank, Comment, Section, Key, Other };
    std::string text;  // the line without its line end, UTF-8
    Kind kind = Blank;
    std::string name;    // section or key name, trimmed
    std::string folded;  // the name folded for comparison
    std::string value;   // key value, trimmed, quotes still on
};

// The first section of each name, and the first key of each name in it, as
// find_section and find_key would find them. The names point into the
// lines' folded names, so the index lives only as long as the lines do.
struct Index {
    struct Section {
        std::size_t header;
        std::unordered_map<std::string_view, std::size_t> keys;
    };
    std::unordered_map<std::string_view, Section> sections;
};

// A change to the file. Changes are kept until they reach the disk, so that
// they can be applied again on top of what another program wrote meanwhile.
struct Op {
    enum Kind { Write, EraseSection, DeleteKey };
    Kind kind;
    std::string section, key, value;
};

}  // namespace ini_detail

namespace {

using ini_detail::Line;
using ini_detail::Op;
using ini_detail::Stamp;

constexpr std::size_t npos = std::string::npos;

// Every write of this program that reached an INI file, through any object.
std::atomic<std::uint64_t> program_writes{0};

// The form in which names are compared: trimmed, letter case folded.
std::string fold_name(std::string_view name) { return fold(Trim(name)); }

Line parse_line(std::string text) {
    Line line;
    line.text = std::move(text);
    const std::string t = Trim(line.text);
    if (t.empty()) {
        line.kind = Line::Blank;
    } else if (t[0] == ';') {
        line.kind = Line::Comment;
    } else if (t[0] == '[' && t.rfind(']') != npos) {
        line.kind = Line::Section;
        line.name = Trim(std::string_view(t).substr(1, t.rfind(']') - 1));
    } else if (std::size_t eq = t.find('='); eq != npos) {
        line.kind = Line::Key;
        line.name = TrimRight(std::string_view(t).substr(0, eq));
        line.value = TrimLeft(std::string_view(t).substr(eq + 1));
    } else {
        line.kind = Line::Other;
    }
    if (line.kind == Line::Section || line.kind == Line::Key) line.folded = fold(line.name);
    return line;
}

std::vector<Line> parse_text(std::string_view utf8) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t end = utf8.find_first_of("\r\n", pos);
        if (end == npos) {
            lines.push_back(parse_line(std::string(utf8.substr(pos))));
            break;
        }
        lines.push_back(parse_line(std::string(utf8.substr(pos, end - pos))));
        pos = end + ((utf8[end] == '\r' && end + 1 < utf8.size() && utf8[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::string serialize(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& l : lines) {
        out += l.text;
        out += "\r\n";
    }
    return out;
}

// A value loses one pair of enclosing quotes, as the Windows profile
// functions do; a lone quote stays.
std::string strip_quotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return std::string(v.substr(1, v.size() - 2));
    return std::string(v);
}

std::size_t find_section(const std::vector<Line>& lines, std::string_view folded) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Section && lines[i].folded == folded) return i;
    return npos;
}

std::size_t section_end(const std::vector<Line>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != Line::Section) ++i;
    return i;
}

std::size_t find_key(const std::vector<Line>& lines, std::size_t header, std::string_view folded) {
    if (header == npos) return npos;
    const std::size_t end = section_end(lines, header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (lines[i].kind == Line::Key && lines[i].folded == folded) return i;
    return npos;
}

void apply_op(std::vector<Line>& lines, const Op& op) {
    const std::string fs = fold_name(op.section);
    switch (op.kind) {
        case Op::Write: {
            const std::size_t header = find_section(lines, fs);
            const std::string fk = fold_name(op.key);
            if (header == npos) {
                lines.push_back(parse_line("[" + Trim(op.section) + "]"));
                lines.push_back(parse_line(Trim(op.key) + "=" + op.value));
                return;
            }
            if (std::size_t k = find_key(lines, header, fk); k != npos) {
                // The key keeps the spelling it has in the file.
                lines[k] = parse_line(lines[k].name + "=" + op.value);
                return;
            }
            // After the last key (or unknown line) of the section, so that blank
            // lines and comments leading to the next section stay where they are.
            std::size_t at = header + 1;
            const std::size_t end = section_end(lines, header);
            for (std::size_t i = header + 1; i < end; ++i)
                if (lines[i].kind == Line::Key || lines[i].kind == Line::Other) at = i + 1;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), parse_line(Trim(op.key) + "=" + op.value));
            return;
        }
        case Op::EraseSection:
            // Every section of the name goes: a duplicate left behind would
            // otherwise come to light and mix its old keys into new ones.
            for (std::size_t h; (h = find_section(lines, fs)) != npos;)
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(h),
                            lines.begin() + static_cast<std::ptrdiff_t>(section_end(lines, h)));
            return;
        case Op::DeleteKey:
            if (std::size_t k = find_key(lines, find_section(lines, fs), fold_name(op.key)); k != npos)
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k));
            return;
    }
}

std::string errno_text(int e) { return std::generic_category().message(e); }

[[noreturn]] void fail(const std::string& file, const std::string& what, int e) {
    throw std::runtime_error("rtl::IniFile: " + what + " \"" + file + "\": " + errno_text(e));
}

Stamp stamp_of(const os::FileInfo& info) {
    Stamp s;
    if (!info.exists) return s;
    s.exists = true;
    s.dev = info.device;
    s.ino = info.inode;
    s.size = static_cast<std::uint64_t>(info.size);
    s.mtime_ns = info.written_ns;
    s.ctime_ns = info.changed_ns;
    return s;
}

Stamp stat_file(const std::string& path) {
    int err = 0;
    os::FileInfo info = os::file_info(path, &err);
    if (err != 0) fail(path, "cannot read", err);
    return stamp_of(info);
}

// A settings file is kilobytes; a name that leads to more (a device, a
// huge sparse file) is not one, and reading it would never end.
constexpr std::size_t kMostIniBytes = std::size_t{64} << 20;

// The text of a settings file's bytes. The stations write Windows-1251,
// but a file saved again by a Linux editor comes back as UTF-8, often with
// a byte-order mark: read as Windows-1251 its Cyrillic names would match
// nothing, and the next write would add every section a second time. A
// file that is valid UTF-8 and not plain ASCII is therefore read as UTF-8
// (Windows-1251 Cyrillic text is almost never valid UTF-8: its letters are
// lead bytes without the continuation bytes UTF-8 needs); the next write
// puts the whole file back in Windows-1251. A mark is always taken off.
std::string ini_file_text(std::string_view bytes) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (bytes.substr(0, bom.size()) == bom) bytes.remove_prefix(bom.size());
    // Plain ASCII reads the same either way.
    for (std::size_t pos = 0; pos < bytes.size();)
        if (utf8::decode(bytes, pos) == utf8::kInvalid) return cp1251_to_utf8(bytes);
    return std::string(bytes);
}

// Reads the whole file as bytes; a missing file is empty.
Stamp read_file(const std::string& path, std::string& bytes) {
    os::FileInfo info;
    int err = os::read_file(path, bytes, &info, kMostIniBytes);
    if (err == ENOENT || err == ENOTDIR) {
        bytes.clear();
        return Stamp{};
    }
    if (err == EFBIG)
        throw std::runtime_error("rtl::IniFile: cannot read \"" + path + "\": larger than " +
                                 std::to_string(kMostIniBytes >> 20) + " MB, not a settings file");
    if (err == EINVAL && !info.exists)
        throw std::runtime_error("rtl::IniFile: cannot read \"" + path + "\": not a regular file");
    if (err != 0) fail(path, "cannot read", err);
    return stamp_of(info);
}

void check_write(const std::string& file, std::string_view section, std::string_view key, std::string_view value) {
    auto refuse = [&](const std::string& why) {
        throw std::invalid_argument("rtl::IniFile: cannot write [" + std::string(section) + "] " + std::string(key) +
                                    " to \"" + file + "\": " + why);
    };
    auto has_break = [](std::string_view s) { return s.find_first_of("\r\n") != npos; };
    if (has_break(section) || has_break(key) || has_break(value)) refuse("a line break would split the line");
    const std::string s = Trim(section), k = Trim(key);
    if (s.empty()) refuse("empty section name");
    if (k.empty()) refuse("empty key name");
    if (k.find('=') != npos) refuse("'=' in a key name");
    if (k[0] == '[' || k[0] == ';') refuse("a key name may not begin with '[' or ';'");
}

// Reads the text DateTimeToStr writes: the date in the order of the short
// date format, then, after a blank, the time (hours, minutes, optional
// seconds and milliseconds). A time alone is accepted too.
bool parse_date_time(std::string_view text, double& result) {
    const TFormatSettings& fs = FormatSettings();
    std::string t = Trim(text);
    if (t.empty()) return false;
    auto read_numbers = [](std::string_view s, auto is_sep, int(&out)[4], int max) {
        int n = 0;
        std::size_t i = 0;
        while (i < s.size()) {
            if (n == max) return -1;
            std::size_t start = i;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
            if (i == start || i - start > 4) return -1;
            std::from_chars(s.data() + start, s.data() + i, out[n++]);
            if (i < s.size()) {
                if (!is_sep(s[i], n)) return -1;
                if (++i == s.size()) return -1;
            }
        }
        return n;
    };
    std::string date_part, time_part;
    if (std::size_t blank = t.find(' '); blank != npos) {
        date_part = t.substr(0, blank);
        time_part = Trim(std::string_view(t).substr(blank + 1));
    } else if (t.find(fs.TimeSeparator) != npos || t.find(':') != npos) {
        time_part = t;
    } else {
        date_part = t;
    }
    double date = 0, time = 0;
    if (!date_part.empty()) {
        int v[4] = {};
        auto date_sep = [&](char c, int) { return c == fs.DateSeparator || c == '.' || c == '/' || c == '-'; };
        if (read_numbers(date_part, date_sep, v, 3) != 3) return false;
        // The order of day, month and year follows the short date format.
        int pos_d = 0, pos_m = 1, pos_y = 2, seen = 0;
        std::string letters;
        for (char c : fs.ShortDateFormat) {
            char l = static_cast<char>(c | 0x20);
            if ((l == 'd' || l == 'm' || l == 'y') && letters.find(l) == npos) letters += l;
        }
        if (letters.size() == 3)
            for (char l : letters) (l == 'd' ? pos_d : l == 'm' ? pos_m : pos_y) = seen++;
        int d = v[pos_d], m = v[pos_m], y = v[pos_y];
        if (y < 100) y += y < 50 ? 2000 : 1900;
        if (!TryEncodeDate(y, m, d, date)) return false;
    }
    if (!time_part.empty()) {
        int v[4] = {};
        auto time_sep = [&](char c, int n) {
            return n < 3 ? (c == fs.TimeSeparator || c == ':') : (c == '.' || c == ',');
        };
        int n = read_numbers(time_part, time_sep, v, 4);
        if (n < 2) return false;
        if (v[0] > 23 || v[1] > 59 || v[2] > 59 || v[3] > 999) return false;
        time = EncodeTime(v[0], v[1], v[2], v[3]);
    }
    // Before 1899-12-30 the time of day counts away from zero as well.
    result = date < 0 ? date - time : date + time;
    return true;
}

}  // namespace

IniFile::IniFile(std::string file_name) : file_name_(std::move(file_name)), path_(os::native_path(file_name_)) {}

IniFile::~IniFile() = default;

void IniFile::load_locked() const {
    std::string bytes;
    Stamp s = read_file(path_, bytes);
    std::vector<Line> lines = parse_text(ini_file_text(bytes));
    for (const Op& op : journal_) apply_op(lines, op);
    lines_changed();
    lines_ = std::move(lines);
    stamp_ = s;
    loaded_ = true;
}

void IniFile::refresh_locked(bool look) const {
    // The time and the write count are taken before the file is looked at,
    // so that a change made while it is looked at is looked for again.
    const auto now = os::SteadyClock::now();
    const std::uint64_t writes = program_writes.load(std::memory_order_acquire);
    if (!look && loaded_ && writes == writes_seen_ && now - checked_at_ < change_check_interval) return;
    if (!loaded_ || !(stat_file(path_) == stamp_)) load_locked();
    checked_at_ = now;
    writes_seen_ = writes;
}

void IniFile::lines_changed() const {
    index_.reset();
    reads_since_change_ = 0;
}

std::size_t IniFile::section_line(const std::string& folded) const {
    // The first read of new lines scans them, as a lone read after a write
    // should; a second builds the index that the reads after it use.
    if (!index_ && ++reads_since_change_ < 2) return find_section(lines_, folded);
    if (!index_) {
        auto index = std::make_unique<ini_detail::Index>();
        ini_detail::Index::Section* current = nullptr;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const Line& l = lines_[i];
            if (l.kind == Line::Section) {
                auto [it, fresh] = index->sections.try_emplace(l.folded, ini_detail::Index::Section{i, {}});
                current = fresh ? &it->second : nullptr;  // a later duplicate is never searched
            } else if (l.kind == Line::Key && current) {
                current->keys.try_emplace(l.folded, i);
            }
        }
        index_ = std::move(index);
    }
    auto it = index_->sections.find(folded);
    return it == index_->sections.end() ? npos : it->second.header;
}

std::size_t IniFile::key_line(const std::string& folded_section, const std::string& folded_key) const {
    const std::size_t header = section_line(folded_section);
    if (header == npos) return npos;
    if (!index_) return find_key(lines_, header, folded_key);
    const auto& keys = index_->sections.find(folded_section)->second.keys;
    auto it = keys.find(folded_key);
    return it == keys.end() ? npos : it->second;
}

void IniFile::rollback_locked(std::size_t journal_mark) {
    if (journal_mark < journal_.size()) journal_.resize(journal_mark);
    loaded_ = false;  // rebuilt from the disk (and what is left to write) on next use
    lines_changed();
}

void IniFile::flush_locked() {
    if (journal_.empty()) return;
    // Every program of the station that writes INI files holds the lock on
    // the file's folder while it re-reads and replaces the file, so no
    // write of one is lost under another. A symbolic link keeps pointing at
    // its target, which receives the new contents.
    os::ReplacementFile file;
    if (!file.create(path_, true)) fail(path_, "cannot write", file.last_error());
    os::FolderLock lock;
    if (!lock.lock(os::folder_of(file.target_path()))) fail(path_, "cannot lock the folder of", lock.last_error());
    if (!loaded_ || !(stat_file(path_) == stamp_)) load_locked();
    const std::string bytes = utf8_to_cp1251(serialize(lines_));
    if (!file.write(bytes.data(), bytes.size()) || !file.commit()) {
        program_writes.fetch_add(1, std::memory_order_release);  // whatever reached the disk is looked for
        fail(path_, "cannot write", file.last_error());
    }
    journal_.clear();
    const auto now = os::SteadyClock::now();
    writes_seen_ = program_writes.fetch_add(1, std::memory_order_acq_rel) + 1;
    stamp_ = stat_file(path_);
    checked_at_ = now;
}

void IniFile::record(Op op) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (op.kind == Op::Write) check_write(file_name_, op.section, op.key, op.value);
    refresh_locked();
    lines_changed();
    apply_op(lines_, op);
    journal_.push_back(std::move(op));
    if (batch_depth_ > 0) return;
    try {
        flush_locked();
    } catch (...) {
        rollback_locked(0);
        throw;
    }
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    std::lock_guard<std::mutex> guard(mutex_);
    refresh_locked();
    const std::string fk = fold_name(key);
    if (fk.empty()) return std::string(def);
    const std::size_t k = key_line(fold_name(section), fk);
    if (k == npos) return std::string(def);
    return strip_quotes(lines_[k].value);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    record(Op{Op::Write, std::string(section), std::string(key), std::string(value)});
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    return StrToIntDef(ReadString(section, key, ""), def);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, IntToStr(value));
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    const std::string text = ReadString(section, key, "");
    double v = 0;
    if (text.empty() || !TryStrToFloat(text, v)) return def;
    return v;
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
    WriteString(section, key, FloatToStr(value));
}

double IniFile::ReadDateTime(std::string_view section, std::string_view key, double def) const {
    double v = 0;
    return parse_date_time(ReadString(section, key, ""), v) ? v : def;
}

void IniFile::WriteDateTime(std::string_view section, std::string_view key, double value) {
    WriteString(section, key, DateTimeToStr(value));
}

bool IniFile::SectionExists(std::string_view section) const {
    std::lock_guard<std::mutex> guard(mutex_);
    refresh_locked();
    return section_line(fold_name(section)) != npos;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    std::lock_guard<std::mutex> guard(mutex_);
    refresh_locked();
    const std::string fk = fold_name(key);
    return !fk.empty() && key_line(fold_name(section), fk) != npos;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::lock_guard<std::mutex> guard(mutex_);
    refresh_locked();
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const Line& l : lines_)
        if (l.kind == Line::Section && seen.insert(l.folded).second) names.push_back(l.name);
    return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::lock_guard<std::mutex> guard(mutex_);
    refresh_locked();
    std::vector<std::string> names;
    const std::size_t header = section_line(fold_name(section));
    if (header == npos) return names;
    std::unordered_set<std::string> seen;
    const std::size_t end = section_end(lines_, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const Line& l = lines_[i];
        if (l.kind == Line::Key && !l.name.empty() && seen.insert(l.folded).second) names.push_back(l.name);
    }
    return names;
}

std::vector<std::string> IniFile::ReadSectionValues(std::string_view section) const {
    std::vector<std::string> out;
    for (const std::string& name : ReadSection(section)) out.push_back(name + "=" + ReadString(section, name, ""));
    return out;
}

void IniFile::EraseSection(std::string_view section) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        refresh_locked(true);  // what another program just wrote is erased too
        // Nothing to erase: the file stays untouched (and is not created).
        if (find_section(lines_, fold_name(section)) == npos) return;
    }
    record(Op{Op::EraseSection, std::string(section), "", ""});
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        refresh_locked(true);  // a key another program just wrote is deleted too
        const std::string fk = fold_name(key);
        if (fk.empty() || find_key(lines_, find_section(lines_, fold_name(section)), fk) == npos) return;
    }
    record(Op{Op::DeleteKey, std::string(section), std::string(key), ""});
}

IniFile::Batch::Batch(IniFile& ini) : ini_(ini) {
    std::lock_guard<std::mutex> guard(ini_.mutex_);
    ++ini_.batch_depth_;
    journal_mark_ = ini_.journal_.size();
}

IniFile::Batch::~Batch() {
    if (done_) return;
    std::lock_guard<std::mutex> guard(ini_.mutex_);
    --ini_.batch_depth_;
    ini_.rollback_locked(journal_mark_);
}

void IniFile::Batch::commit() {
    if (done_) return;
    done_ = true;
    std::lock_guard<std::mutex> guard(ini_.mutex_);
    if (--ini_.batch_depth_ > 0) return;
    try {
        ini_.flush_locked();
    } catch (...) {
        ini_.rollback_locked(0);
        throw;
    }
}

}  // namespace rtl
