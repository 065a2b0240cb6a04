#pragma once
// The station's cementing report template ("params/cement/report_new.xls"):
// captions, the report tokens of the stage's report data and a table of
// item tokens, one row per programme element. It is made through the
// spreadsheet client itself, so the office that fills it also wrote it.

#include <cstdint>
#include <string>
#include <vector>

namespace grouttab {

class OOCalcAuto;
struct SheetLayout;

struct TemplateCell {
    std::int32_t column, row;
    std::string text;
};

// Every non-empty cell of the template's first sheet.
const std::vector<TemplateCell>& report_template_cells();
// The rows of the element table, the first of them, and the plan table's
// heading row (the table's five rows follow it, then the totals).
inline constexpr int kTemplateItemRows = 12;
inline constexpr int kTemplateItemRow = 19;
inline constexpr int kTemplatePlanRow = 10;
// The name of the template's (and so the report's) sheet.
inline constexpr const char* kTemplateSheetName = "Отчет";

// The template sheet's look: its name, the columns as wide as their
// texts, the tables framed, A4 landscape one page wide, a Russian footer.
SheetLayout report_template_layout();

// Writes the template to `path` through a connected client (a new hidden
// spreadsheet, stored in the Excel 97 format, then closed). Throws
// ServerError when the office fails.
void write_report_template(OOCalcAuto& oo, const std::string& path);

}  // namespace grouttab
