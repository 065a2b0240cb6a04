#include "library/file_finder.h"

#include "library/mapped_file.h"
#include "platform/os/directory.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <thread>

namespace lib {
namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

std::size_t last_separator(const AnsiString& path) { return path.find_last_of("/\\"); }

// The name read as an integer, 0 when it is not one.
int name_number(const AnsiString& name) { return rtl::StrToIntDef(name, 0); }

FindedFile finded(const os::FoundEntry& e, const AnsiString& folder) {
    FindedFile f;
    f.attributes = static_cast<int>(e.attributes);
    f.size = e.size;
    f.time = static_cast<int>(os::dos_date_time(e.write_time));
    f.name = e.name;
    f.path = folder;
    return f;
}

// Every byte of the 64 letters (А-Я, Ё, а-я, ё, without Й and й) in each
// code page.
std::array<bool, 256> letters_1251() {
    std::array<bool, 256> set{};
    for (int c = 0xC0; c <= 0xFF; ++c) set[static_cast<std::size_t>(c)] = true;
    set[0xC9] = set[0xE9] = false;  // Й й
    set[0xA8] = set[0xB8] = true;   // Ё ё
    return set;
}

std::array<bool, 256> letters_866() {
    std::array<bool, 256> set{};
    for (int c = 0x80; c <= 0xAF; ++c) set[static_cast<std::size_t>(c)] = true;  // А-Я а-п
    for (int c = 0xE0; c <= 0xEF; ++c) set[static_cast<std::size_t>(c)] = true;  // р-я
    set[0x89] = set[0xA9] = false;                                               // Й й
    set[0xF0] = set[0xF1] = true;                                                // Ё ё
    return set;
}

}  // namespace

AnsiString FindedFile::get_only_name() const {
    std::size_t dot = name.rfind('.');
    return dot == AnsiString::npos ? name : name.substr(0, dot);
}

bool operator<(const FindedFile& a, const FindedFile& b) { return a.path + a.name < b.path + b.name; }

void FileFinder::find(const AnsiString& mask, int attributes, bool recursive) {
    std::size_t sep = last_separator(mask);
    AnsiString folder = sep == AnsiString::npos ? AnsiString() : mask.substr(0, sep + 1);
    AnsiString pattern = sep == AnsiString::npos ? mask : mask.substr(sep + 1);

    if (recursive) {
        // Only real folders come back, never links to them, so a link loop
        // cannot send the search round for ever.
        for (const auto& sub : os::find_entries(folder + "*.*", os::fa_directory)) {
            if (!(sub.attributes & os::fa_directory)) continue;
            find(folder + sub.name + "/" + pattern, attributes, true);
        }
    }
    const std::uint32_t wanted = static_cast<std::uint32_t>(attributes);
    for (const auto& e : os::find_entries(mask, wanted)) {
        if ((wanted & os::fa_directory) && !(e.attributes & os::fa_directory)) continue;
        files.push_back(finded(e, folder));
        total_size += e.size;
    }
}

void FileFinder::sort_results(ffSortStyles style) {
    switch (style) {
        case ffsName:
            std::stable_sort(files.begin(), files.end(),
                             [](const FindedFile& a, const FindedFile& b) { return a.name < b.name; });
            break;
        case ffsNumber:
            std::stable_sort(files.begin(), files.end(), [](const FindedFile& a, const FindedFile& b) {
                return name_number(a.get_only_name()) < name_number(b.get_only_name());
            });
            break;
        case ffsTime:
            // Unsigned: the packed year sets the top bit from 2044 on.
            std::stable_sort(files.begin(), files.end(), [](const FindedFile& a, const FindedFile& b) {
                return static_cast<std::uint32_t>(a.time) < static_cast<std::uint32_t>(b.time);
            });
            break;
    }
}

std::int64_t get_file_size(const AnsiString& file_name) {
    auto found = os::find_entries(file_name, 0);
    return found.empty() ? -1 : found.front().size;
}

bool get_file_times(const AnsiString& file_name, FILETIME* last_access, FILETIME* last_write) {
    auto found = os::find_entries(file_name, os::fa_any);
    if (found.empty()) return false;
    if (last_access) *last_access = found.front().access_time;
    if (last_write) *last_write = found.front().write_time;
    return true;
}

void clear_dir(const AnsiString& folder) {
    AnsiString dir = check_dir_string(folder);
    for (const auto& e : os::find_entries(dir + "/*.*", 0)) os::remove_file(dir + "/" + e.name);
}

void remove_directory_with_files(const AnsiString& folder) {
    // An empty name would mean the current folder, and a name without its
    // separator would match the folder's neighbours: neither is meant.
    if (folder.empty()) return;
    AnsiString dir = check_path_string(folder);
    FileFinder files;
    files.find(dir + "*.*", os::fa_hidden | os::fa_archive, true);
    for (const auto& f : files.files) os::remove_file(f.path + f.name);
    FileFinder folders;
    folders.find(dir + "*.*", os::fa_directory, true);
    for (const auto& f : folders.files) os::remove_directory(f.path + f.name);
}

void create_dir_recursively(const AnsiString& path) {
    std::vector<AnsiString> missing;
    AnsiString p = path;
    while (!p.empty() && !os::path_exists(p)) {
        missing.push_back(p);
        std::size_t sep = last_separator(p);
        AnsiString parent = sep == AnsiString::npos ? AnsiString() : p.substr(0, sep);
        if (parent == p) break;
        p = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) os::make_directory(*it);
}

AnsiString check_file_name(const AnsiString& text) {
    AnsiString out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '"': out += "''"; break;
            case '&':
            case '*':
            case '/':
            case ':':
            case '<':
            case '>':
            case '?':
            case '\\':
            case '|': out += '-'; break;
            case ',': out += '.'; break;
            default: out += c;
        }
    }
    return out;
}

AnsiString check_path_string(const AnsiString& path) {
    if (path.empty() || is_separator(path.back())) return path;
    if (path.size() == 2 && path[1] == ':') return path;  // a drive name, kept as stored
    return path + "/";
}

AnsiString check_dir_string(const AnsiString& path) {
    if (path.size() > 2 && is_separator(path.back())) return path.substr(0, path.size() - 1);
    return path;
}

AnsiString get_only_name(const AnsiString& path) {
    std::size_t sep = last_separator(path);
    AnsiString name = sep == AnsiString::npos ? path : path.substr(sep + 1);
    std::size_t dot = name.rfind('.');
    return dot == AnsiString::npos ? name : name.substr(0, dot);
}

bool try_to_load_text_file(rtl::StringList& list, const AnsiString& file_name, int tries) {
    if (!os::file_exists(file_name)) return false;
    if (tries <= 0) return true;
    std::chrono::milliseconds pause(20);
    for (int attempt = 0; attempt < tries; ++attempt) {
        // One try per attempt: the waiting between attempts is this
        // function's own.
        os::File file;
        if (file.open(file_name, os::File::Mode::read, false, os::RetryPolicy{1, {}}) == os::File::Status::ok) {
            std::int64_t size = file.size();
            std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), '\0');
            std::int64_t got = size < 0 ? -1 : file.read(bytes.data(), bytes.size());
            if (got == size) {
                list.SetText(rtl::cp1251_to_utf8(bytes));
                return true;
            }
        }
        std::this_thread::sleep_for(pause);
        pause *= 2;
    }
    return false;
}

bool check_file_coding(const AnsiString& file_name) {
    mapped_file file;
    if (!file.open(file_name, om_read)) {
        // An empty file cannot be mapped, yet it holds no Cyrillic letters.
        os::File probe;
        if (probe.open(file_name, os::File::Mode::read, false, os::RetryPolicy{1, {}}) == os::File::Status::ok &&
            probe.size() == 0)
            return true;
        throw std::runtime_error("File not found");
    }
    std::array<std::uint64_t, 256> counts{};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(file.get_pointer());
    for (std::size_t i = 0, n = file.get_file_size(); i < n; ++i) ++counts[p[i]];
    static const std::array<bool, 256> windows = letters_1251();
    static const std::array<bool, 256> dos = letters_866();
    std::uint64_t windows_score = 0, dos_score = 0;
    for (std::size_t b = 0; b < 256; ++b) {
        if (windows[b]) windows_score += counts[b];
        if (dos[b]) dos_score += counts[b];
    }
    // Both scores share the file size as divisor; the counts compare alike.
    return windows_score <= dos_score;
}

bool browse_for_folder(const AnsiString& title, AnsiString& folder, ui::TCustomForm*) {
    std::string chosen = folder;
    if (!ui::SelectDirectory(title, "", chosen) || chosen.empty()) return false;
    folder = chosen;
    return true;
}

}  // namespace lib
