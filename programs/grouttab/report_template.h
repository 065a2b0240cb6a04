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

struct TemplateCell {
    std::int32_t column, row;
    std::string text;
};

// Every non-empty cell of the template's first sheet.
const std::vector<TemplateCell>& report_template_cells();
// The rows of the element table.
inline constexpr int kTemplateItemRows = 12;

// Writes the template to `path` through a connected client (a new hidden
// spreadsheet, stored in the Excel 97 format, then closed). Throws
// ServerError when the office fails.
void write_report_template(OOCalcAuto& oo, const std::string& path);

}  // namespace grouttab
