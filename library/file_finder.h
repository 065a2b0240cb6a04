#pragma once
// Finding files by mask, and the small file and folder helpers of the
// library: deleting a folder's files or a whole tree, creating a folder
// path, cleaning names, file size and time queries, loading a text file
// with retries, and telling DOS from Windows Cyrillic text.
//
// Masks and attributes are those of os::find_entries (Windows rules: case
// ignored, "*.*" matches every name, a run of '?' may stop short; folders
// 16, read-only 1, files 128; 63 means any entry). Paths use '/', and
// stored paths with '\' are accepted. Symbolic links are never followed
// into, neither when searching nor when deleting.

#include "platform/os/file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rtl {
class StringList;
}
namespace ui {
class TCustomForm;
}

namespace lib {

using AnsiString = std::string;
using FILETIME = os::FILETIME;

struct FindedFile {
    int attributes = 0;
    std::int64_t size = 0;
    int time = 0;     // the modification time, packed DOS date-time, local
    AnsiString name;  // the bare file name
    AnsiString path;  // the folder part of the mask, with its separator, or ""

    // The name without its extension (everything before the last '.').
    AnsiString get_only_name() const;
};

// Path, then name, as text.
bool operator<(const FindedFile& a, const FindedFile& b);

enum ffSortStyles {
    ffsName = 0,    // by name
    ffsNumber = 1,  // by the name without its extension read as an integer (0 when not one)
    ffsTime = 2,    // by modification time
};

class FileFinder {
public:
    // Appends what the mask finds to files and adds the sizes to total_size.
    // With recursive, the subfolders of the mask's folder are searched with
    // the same name pattern first (deepest first), then the folder itself.
    // With the folder bit (16) in attributes only folders are taken.
    void find(const AnsiString& mask, int attributes, bool recursive);
    // Ascending and stable; any other style leaves the order as it is.
    void sort_results(ffSortStyles style);

    std::int64_t total_size = 0;
    std::vector<FindedFile> files;
};

// The size of the first file matching the name, or -1 when there is none.
std::int64_t get_file_size(const AnsiString& file_name);
// The last-access and last-write times of the first entry matching the
// name; false when there is none. Null pointers are skipped.
bool get_file_times(const AnsiString& file_name, FILETIME* last_access, FILETIME* last_write);

// Deletes the files of the folder (not its subfolders); failures are ignored.
void clear_dir(const AnsiString& folder);
// Deletes everything inside the folder, which itself stays; links are
// removed, never followed. An empty folder name does nothing.
void remove_directory_with_files(const AnsiString& folder);
// Creates the folder and every missing parent, outermost first; failures
// are ignored.
void create_dir_recursively(const AnsiString& path);

// A copy safe as a file name: '"' becomes "''", each of & * / : < > ? \ |
// becomes '-', ',' becomes '.'.
AnsiString check_file_name(const AnsiString& text);
// The path with a separator at its end: an empty text, a drive name ("C:")
// and a text already ending with '/' or '\' stay as they are.
AnsiString check_path_string(const AnsiString& path);
// A text longer than 2 characters loses a separator at its end.
AnsiString check_dir_string(const AnsiString& path);
// The file-name part of the path without its extension.
AnsiString get_only_name(const AnsiString& path);

// Loads the Windows-1251 text file into the list, trying up to `tries`
// times while another program holds it, waiting 20 ms after the first
// failure, then 40, 80, ... False when the file does not exist or the last
// try failed; true without loading when tries is 0 or less.
bool try_to_load_text_file(rtl::StringList& list, const AnsiString& file_name, int tries);

// Asks the user for a folder (the platform's folder dialog, file-system
// folders only) under the title, starting at `folder` when it is set. True
// when the user chose one, which is then in `folder`; false leaves it as
// it was. The owner is the window the dialog belongs to; may be null.
bool browse_for_folder(const AnsiString& title, AnsiString& folder, ui::TCustomForm* owner = nullptr);

// True when the text looks like DOS Cyrillic (code page 866), false when it
// looks like Windows Cyrillic (1251): the 64 letters А-Я, Ё, а-я, ё but Й
// and й are counted in each code page and DOS wins ties, so a file without
// Cyrillic letters, or an empty one, counts as DOS. Throws
// std::runtime_error "File not found" when the file cannot be read.
bool check_file_coding(const AnsiString& file_name);

}  // namespace lib
