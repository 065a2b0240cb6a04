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
// a reported failure (no spreadsheet server, no template, a name that would
// leave the well's folders). A failure of a later server call throws, with
// the hidden document closed, the client freed and an output file this build
// stored but did not finish removed on the way out.
bool make_report(TReportForm& form, const std::string& well, const std::string& stage);

}  // namespace grouttab
