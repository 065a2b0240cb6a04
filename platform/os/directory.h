#pragma once
// Folders: searching them with the masks the station's settings and programs
// have always used, and the few changes the file helpers make to them.
//
// Masks follow the Windows rules the stored settings were written for:
//   - letter case is ignored, Russian letters included;
//   - '*' matches any run of characters, dots included;
//   - '?' matches one character, but a run of '?' may also stop short at a
//     dot or at the end of the name ("????.realtim" matches "12.realtim",
//     "a?" matches "a");
//   - at the end of the name, what is left of the mask may be '*', '?' and
//     '.' only, so "*.*" matches every name, dotted or not.
//
// Entries carry synthetic attributes in the Windows bit layout the callers
// test: folders are fa_directory, files fa_normal, or fa_read_only when no
// one may write them; FIFOs, sockets and devices are fa_system, so ordinary
// searches pass them over. Nothing is ever hidden: a dot file is an ordinary
// file here. A search with an attribute mask returns an entry when every
// fa_hidden, fa_system and fa_directory bit it has is also in the mask.
//
// Symbolic links are never followed into: a link to a regular file reads as
// that file (its size and times), any other link as a plain file of size 0,
// so a search never descends through a link and a delete removes the link,
// not what it points to. "." and ".." are never returned.
//
// Results are sorted by name (case ignored, then byte order), so every run
// sees the same order whatever the file system's own order is.

#include "platform/os/file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace os {

enum : std::uint32_t {
    fa_read_only = 0x01,
    fa_hidden = 0x02,
    fa_system = 0x04,
    fa_directory = 0x10,
    fa_archive = 0x20,
    fa_normal = 0x80,
    fa_any = 0x3F,
};

struct FoundEntry {
    std::string name;  // the bare name
    std::uint32_t attributes = 0;
    std::int64_t size = 0;
    FILETIME creation_time;  // the status-change time, as File::times
    FILETIME access_time;
    FILETIME write_time;
};

// True when `name` matches the Windows-style `mask` (rules above).
bool mask_matches(std::string_view mask, std::string_view name);

// The entries of the folder part of `mask` (up to its last '/' or '\'; the
// current folder when it has none) whose names match the rest of it and
// whose attributes pass `attribute_mask`. A folder that cannot be read
// yields nothing.
std::vector<FoundEntry> find_entries(std::string_view mask, std::uint32_t attribute_mask);

// Small changes to folders; false (errno kept in errno) when they fail.
// None follows a symbolic link at the end of the path.
bool path_exists(std::string_view path);       // the entry itself, links included
bool is_directory(std::string_view path);      // a real folder, not a link to one
bool file_exists(std::string_view path);       // a regular file, through links
bool remove_file(std::string_view path);       // unlink(2): files and links
bool remove_directory(std::string_view path);  // rmdir(2): empty folders only
bool make_directory(std::string_view path);

// Makes `path` and every missing folder above it; true when it is a folder
// at the end (also when it already was). Folders of the path that exist may
// be links to folders, as an open would follow them.
bool make_directories(std::string_view path);
// Removes `path` and, for a folder, everything in it. A symbolic link is
// removed as a link, never followed, also inside the tree, so a link to a
// folder elsewhere leaves that folder as it is. True when nothing is left
// (a missing path included); false with errno on the first failure.
bool remove_tree(std::string_view path);
// Renames a file or a folder within one file system (rename(2)); a link is
// renamed itself. False with errno when it fails.
bool rename_entry(std::string_view from, std::string_view to);

// Makes a new folder of a unique name, `prefix` followed by six random
// characters, inside `parent` (the system's temporary folder, $TMPDIR or
// /tmp, when empty), readable by the owner only (mkdtemp). Returns its
// path; empty (errno kept) when it cannot be made.
std::string make_temp_directory(std::string_view parent, std::string_view prefix);

}  // namespace os
