#pragma once
// The report build: the stage's report file ("...rpt", section "Report") and
// programme file ("...ini", sections "Main" and "Item<n>") written by the
// cementing plug-in fill the token cells of the spreadsheet template's first
// sheet, and the result is stored as "<well>_<stage>.xls" in the well's
// "cement/report" folder and shown.
//
// Token cells: a text holding "%%" is a report token whose key is the text
// from its third character; otherwise a text holding "%!%" is an item token
// whose key is the text from its fourth character. The item token "start"
// moves on to the next programme item and shows its start time ("hh:mm");
// the other item tokens read the item that the last "start" chose. Item
// tokens past the programme's last item are emptied; a key the files do not
// hold reads "token_error".

#include <string>

namespace grouttab {

class TReportForm;

// Marks a value that leaves its cell as it is.
inline constexpr const char* kNoChange = "no_change";
inline constexpr const char* kTokenError = "token_error";

// The paths of one build; the folder is the program folder without a
// trailing '/'.
struct ReportPaths {
    std::string report_file, programme_file, template_file, output_file;
};
ReportPaths report_paths(const std::string& program_folder, const std::string& well, const std::string& stage);

// True for a name that stays one folder or file name when glued into a path
// (no folder separator, not "." or ".."); the empty name is allowed.
bool is_plain_name(const std::string& name);

// Runs the build for the well and stage; true when it finished, false after
// a reported failure (no spreadsheet server; a template that cannot be
// opened, is no spreadsheet or holds no token; a name that would leave the
// well's folders or a report folder that leads out of the station folder;
// a report that could not be stored or shown). The report is stored in a
// folder of the build's own beside it and then replaces the report's name,
// so a link under that name is replaced, never written through, and an
// earlier report stays until the new one is finished. A failure of another
// server call throws, with the hidden document closed and the client freed.
bool make_report(TReportForm& form, const std::string& well, const std::string& stage);

// The build folders (".grouttab-XXXXXX" beside the report) go whatever ends
// a build: its own end, a failure, or the program's end on a signal, for
// which this removes those of the builds going on now (safe on any thread;
// the reports already finished stay). A build folder that a killed program
// left behind is removed by the next build in that report folder: one that
// no living build holds and that is not brand new.
void remove_build_folders();
// The sweep a build does first; `report_folder` without a trailing '/'.
void remove_abandoned_build_folders(const std::string& report_folder);

}  // namespace grouttab
