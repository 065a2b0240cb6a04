// The trip file beside a data file: its name=value lines and its two
// sections of the trip's start and end, taken into the table's text values.

#include "library/storage/file_storage.h"

#include "platform/os/directory.h"
#include "platform/rtl/ini_file.h"

namespace {

// The trip file of a data file: the data file's name up to and including the
// first dot of its file name (a dotted folder does not count), then "rac".
// Empty when the file name has no dot.
AnsiString trip_file_of(const AnsiString& data_file_name) {
    const std::size_t sep = data_file_name.find_last_of("/\\");
    const std::size_t start = sep == AnsiString::npos ? 0 : sep + 1;
    const std::size_t dot = data_file_name.find('.', start);
    if (dot == AnsiString::npos) return AnsiString();
    return data_file_name.substr(0, dot + 1) + "rac";
}

}  // namespace

void FileStorage::load_text_values(const AnsiString& data_file_name) {
    const AnsiString trip = trip_file_of(data_file_name);
    if (trip.empty() || !os::file_exists(os::native_path(trip))) return;

    rtl::StringList lines;
    lines.LoadFromFile(os::native_path(trip));
    for (int i = lines.Count() - 1; i >= 0; --i)
        if (lines[i].find('=') == AnsiString::npos) lines.Delete(i);
    for (int i = 0; i < lines.Count(); ++i) {
        const AnsiString name = lines.Names(i);
        if (name.empty()) continue;
        text_values_.set_text(name, FileStorageTextValues::check_inverted_commas(lines.Values(name)));
    }

    // The same file read as INI: the trip's start and end. An empty value
    // removes the name.
    const rtl::IniFile ini(os::native_path(trip));
    text_values_.set_text("нач_глубина", ini.ReadString("начало_рейса", "глубина", ""));
    text_values_.set_text("нач_время", ini.ReadString("начало_рейса", "время", ""));
    text_values_.set_text("конеч_глубина", ini.ReadString("окончание_рейса", "глубина", ""));
    text_values_.set_text("конеч_время", ini.ReadString("окончание_рейса", "время", ""));
}
