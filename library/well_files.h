#pragma once
// Well-file names and small helpers. Recorded data lies in one folder per
// well, and the real-time files are named by the trip number
// ("0012.realtim"). These functions take the well and the trip out of a
// path, make a well name a file-transfer server accepts, list folders and
// files, copy files by mask, open a document with the desktop's handler,
// print the lines of a memo, and put the build's version into a text. They
// keep no state; paths may use '/' or '\'.

#include <cstdint>
#include <string>

#include "platform/os/desktop.h"
#include "platform/ui/edits.h"

namespace rtl {
class StringList;
}

namespace lib {

using AnsiString = std::string;

// The file name between the last separator and the last point: "0012" of
// ".../0012.realtim", "0012.fast" of ".../0012.fast.realtim"; empty when the
// name has no point.
AnsiString race_from_filename(const AnsiString& path);
// The name of the folder holding the file (the well); empty for a path
// without a separator.
AnsiString pore_from_filename(const AnsiString& path);
// The file name (after the last separator or colon) up to its first point.
AnsiString only_name(const AnsiString& path);
// The trip number a name gives: the text is plain decimal digits (no blank,
// sign or hexadecimal form) within int; -1 otherwise.
int race_num_of(const AnsiString& text);
// The trip number of a file: the file name before its first point as
// race_num_of reads it; -1 when it is none or the name has no point.
int extract_race_num(const AnsiString& path);
// The well's name as the name of its folder beside the program: path
// separators and characters no folder may hold become '_', blanks at the
// ends go; a name that is then empty or only dots ("..") gives an empty
// text, so the folder can never lie outside the program's folder.
AnsiString well_folder_name(const AnsiString& well);
// The well name in upper case with its Russian letters spelt in Latin ones
// (Ж as J, Щ as CSH, ...); digits and Latin letters stay, everything else
// (Й, Ъ, Ь, blanks, punctuation) goes.
AnsiString correct_ftp_pore_name(const AnsiString& name);

// Adds the names of the folder's sub-folders.
void get_dir_list(const AnsiString& folder, rtl::StringList* list);
// Adds the names (no folder) of the entries that match the mask with the
// attributes (see file_finder.h); adds their sizes to *total_size when it
// is given.
void get_file_list(const AnsiString& mask, rtl::StringList* list, int attributes, std::int64_t* total_size);
// Copies the files of `source_folder` that match the mask to
// `target_folder`, replacing files of the same name. Returns the number of
// files that could not be copied and adds their names to *failed when it is
// given, so that a caller never takes a partial copy for a whole one.
// Sub-folders are not copied and do not count.
int copy_by_mask(const AnsiString& source_folder, const AnsiString& target_folder, const AnsiString& mask,
                 rtl::StringList* failed = nullptr);
// Opens the file with the desktop's handler, or starts it with the
// parameters when it is a program (os::shell_open). Null when nothing
// could be started. The flag has no effect.
os::ChildHandle my_shell_execute(const AnsiString& file, const AnsiString& parameters, bool minimized = true);
// Prints the memo's lines in its font on pages of the default printer,
// `name` being the document's title. Any failure (no printer) is told to
// the user in a message box "Ошибка печати"; nothing else is reported.
void print_memo(const AnsiString& name, ui::TMemo* memo);
// Replaces every line that is exactly "#" by "Версия 1.2.3, build 45" (the
// build's version). Every program of the station carries the build's
// version; a file that does not exist leaves the lines as they are.
void add_vesion_info(const AnsiString& file, ui::TStrings* lines);

}  // namespace lib
