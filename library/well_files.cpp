#include "library/well_files.h"

#include <algorithm>
#include <limits>
#include <map>

#include "library/version_text.h"
#include "platform/os/directory.h"
#include "platform/os/file_copy.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/printers.h"

namespace lib {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::size_t last_separator(const std::string& s) { return s.find_last_of("\\/"); }

std::string file_part(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string with_separator(const std::string& folder) {
    if (folder.empty() || is_separator(folder.back())) return folder;
    return folder + "/";
}

}  // namespace

AnsiString race_from_filename(const AnsiString& path) {
    const std::size_t b = last_separator(path);
    const std::size_t e = path.find_last_of('.');
    const long long from = b == std::string::npos ? 0 : static_cast<long long>(b) + 1;
    const long long to = e == std::string::npos ? -1 : static_cast<long long>(e);
    if (to - from <= 0) return {};
    return path.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

AnsiString pore_from_filename(const AnsiString& path) {
    const std::size_t last = last_separator(path);
    if (last == std::string::npos) return {};
    const std::string folder = path.substr(0, last);
    const std::size_t before = last_separator(folder);
    return before == std::string::npos ? folder : folder.substr(before + 1);
}

AnsiString only_name(const AnsiString& path) {
    const std::string name = file_part(path);
    return name.substr(0, name.find('.'));
}

int race_num_of(const AnsiString& text) {
    // Plain decimal digits only: the general integer reading also takes
    // blanks, a sign and hexadecimal ("$1F", "x10", "0x10"), which would
    // give one trip's files another trip's number.
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    int n = 0;
    for (char c : text) {
        if (n > (std::numeric_limits<int>::max() - (c - '0')) / 10) return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

int extract_race_num(const AnsiString& path) {
    const std::string name = file_part(path);
    const std::size_t point = name.find('.');
    if (point == std::string::npos) return -1;
    return race_num_of(name.substr(0, point));
}

AnsiString well_folder_name(const AnsiString& well) {
    AnsiString name;
    name.reserve(well.size());
    for (unsigned char c : well) {
        const bool forbidden = c < ' ' || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                               c == '<' || c == '>' || c == '|';
        name += forbidden ? '_' : static_cast<char>(c);
    }
    name = rtl::Trim(name);
    if (name.find_first_not_of('.') == AnsiString::npos) return AnsiString();
    return name;
}

AnsiString correct_ftp_pore_name(const AnsiString& name) {
    static const std::map<char32_t, const char*> table = {
        {U'А', "A"},  {U'Б', "B"},   {U'В', "V"}, {U'Г', "G"},  {U'Д', "D"}, {U'Е', "E"},  {U'Ё', "YO"}, {U'Ж', "J"},
        {U'З', "Z"},  {U'И', "I"},   {U'К', "K"}, {U'Л', "L"},  {U'М', "M"}, {U'Н', "N"},  {U'О', "O"},  {U'П', "P"},
        {U'Р', "R"},  {U'С', "S"},   {U'Т', "T"}, {U'У', "U"},  {U'Ф', "F"}, {U'Х', "H"},  {U'Ц', "TS"}, {U'Ч', "CH"},
        {U'Ш', "SH"}, {U'Щ', "CSH"}, {U'Ъ', ""},  {U'Ы', "YY"}, {U'Ь', ""},  {U'Э', "YE"}, {U'Ю', "YU"}, {U'Я', "YA"},
    };
    std::string out;
    const std::string upper = rtl::AnsiUpperCase(name);
    for (std::size_t pos = 0; pos < upper.size();) {
        const char32_t c = rtl::utf8::decode(upper, pos);
        if ((c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z')) {
            out += static_cast<char>(c);
            continue;
        }
        auto it = table.find(c);
        if (it != table.end()) out += it->second;
    }
    return out;
}

void get_dir_list(const AnsiString& folder, rtl::StringList* list) {
    for (const os::FoundEntry& e : os::find_entries(with_separator(folder) + "*.*", os::fa_directory))
        if ((e.attributes & os::fa_directory) && e.name != "." && e.name != "..") list->Add(e.name);
}

void get_file_list(const AnsiString& mask, rtl::StringList* list, int attributes, std::int64_t* total_size) {
    for (const os::FoundEntry& e : os::find_entries(mask, static_cast<std::uint32_t>(attributes))) {
        list->Add(e.name);
        if (total_size) *total_size += e.size;
    }
}

int copy_by_mask(const AnsiString& source_folder, const AnsiString& target_folder, const AnsiString& mask,
                 rtl::StringList* failed) {
    const std::string from = with_separator(source_folder);
    const std::string to = with_separator(target_folder);
    int failures = 0;
    for (const os::FoundEntry& e : os::find_entries(from + mask, os::fa_any)) {
        if (e.attributes & os::fa_directory) continue;
        if (os::copy_file(from + e.name, to + e.name)) continue;
        ++failures;
        if (failed) failed->Add(e.name);
    }
    return failures;
}

os::ChildHandle my_shell_execute(const AnsiString& file, const AnsiString& parameters, bool) {
    return os::shell_open(file, parameters);
}

void print_memo(const AnsiString& name, ui::TMemo* memo) {
    ui::TPrinter& printer = ui::Printer();
    try {
        printer.SetTitle(name);
        printer.BeginDoc();
        ui::TCanvas& c = printer.Canvas();
        c.Font().SetName(memo->Font().Name());
        c.Font().SetSize(memo->Font().Size());
        c.Font().SetCharset(ui::RUSSIAN_CHARSET);
        const int line_height = std::max(1, c.TextHeight("#"));
        const int per_page = std::max(1, printer.PageHeight() / line_height);
        const ui::TStrings& lines = memo->Lines();
        for (int i = 0, on_page = 0; i < lines.Count(); ++i, ++on_page) {
            if (on_page == per_page) {
                printer.NewPage();
                on_page = 0;
            }
            printer.Canvas().TextOut(0, on_page * line_height, lines[i]);
        }
        printer.EndDoc();
    } catch (const std::exception&) {
        if (printer.Printing()) printer.Abort();
        ui::MessageBox(
            "Невозможно распечатать '" + name + "' !\nВозможно нет ни одного установленного в системе принтера!",
            "Ошибка печати", ui::MB_OK | ui::MB_ICONERROR);
    }
}

void add_vesion_info(const AnsiString& file, ui::TStrings* lines) {
    if (!os::file_exists(os::native_path(file))) return;
    const BuildVersion v = build_version();
    const std::string text = "Версия " + rtl::IntToStr(v.major) + "." + rtl::IntToStr(v.minor) + "." +
                             rtl::IntToStr(v.release) + ", build " + rtl::IntToStr(v.build);
    for (int i = 0; i < lines->Count(); ++i)
        if ((*lines)[i] == "#") lines->SetStrings(i, text);
}

}  // namespace lib
