#include "programs/grouttab/report.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>

#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/os/paths.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/dialogs.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report_form.h"

namespace grouttab {

namespace {

// The text from its n-th character on (characters, not bytes: a key may
// follow Russian text).
std::string from_character(const std::string& text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < n && pos < text.size(); ++i) rtl::utf8::decode(text, pos);
    return text.substr(pos);
}

class TemplateFiller {
public:
    TemplateFiller(const rtl::IniFile& report, const rtl::IniFile& programme, int count)
        : report_(report), programme_(programme), count_(count) {}

    // The value of a cell's text, or kNoChange.
    std::string value_of(const std::string& text) {
        if (text.find("%%") != std::string::npos)
            return report_.ReadString("Report", from_character(text, 2), kTokenError);
        if (text.find("%!%") == std::string::npos) return kNoChange;
        if (item_ >= count_) return {};
        const std::string key = from_character(text, 3);
        if (key == "start") {
            ++item_;
            if (item_ >= count_) return {};
            return rtl::FormatDateTime("hh:mm", programme_.ReadDateTime(section(), "start", 0));
        }
        return programme_.ReadString(section(), key, kTokenError);
    }

private:
    std::string section() const { return "Item" + std::to_string(item_); }
    const rtl::IniFile& report_;
    const rtl::IniFile& programme_;
    int count_;
    int item_ = -1;
};

// The per cent of the build done after a row: from the bar when it has a
// range; a sheet of one row or one column leaves the bar without one, and
// then the rows done tell it.
int percent_done(const ui::TProgressBar& bar, std::uint32_t rows_done, std::uint32_t last_row) {
    if (bar.Max() > bar.Min())
        return static_cast<int>(static_cast<double>(bar.Position()) / static_cast<double>(bar.Max()) * 100.0);
    return static_cast<int>(static_cast<double>(rows_done) / (static_cast<double>(last_row) + 1.0) * 100.0);
}

void fill_first_sheet(TReportForm& form, OOCalcAuto& oo, TemplateFiller& filler) {
    form.pbOO->SetPosition(0);
    oo.select_sheet_by_index(0);
    std::int64_t column = 0;
    std::uint32_t row = 0;
    std::uint32_t last_column = 0, last_row = 0;
    oo.get_used_area_end(last_column, last_row);
    const std::int64_t bar_max = static_cast<std::int64_t>(last_column) * last_row;
    form.pbOO->SetSmooth(true);
    form.pbOO->SetMin(0);
    form.pbOO->SetMax(bar_max > INT32_MAX ? INT32_MAX : static_cast<int>(bar_max));
    form.pbOO->SetPosition(0);
    form.lblProgress->SetCaption("");
    // Rows top to bottom, columns left to right, one column past the used
    // area (its cells are empty and stay so).
    while (row <= last_row) {
        const auto c = static_cast<std::int32_t>(column);
        const auto r = static_cast<std::int32_t>(row);
        const std::string value = filler.value_of(cell_value_text(oo.read_cell(2, c, r)));
        if (value != kNoChange) oo.set_cell_string(c, r, value);
        if (column > static_cast<std::int64_t>(last_column)) {
            ++row;
            const std::int64_t position = static_cast<std::int64_t>(last_column) * row + column;
            form.pbOO->SetPosition(position > INT32_MAX ? INT32_MAX : static_cast<int>(position));
            form.lblProgress->SetCaption(std::to_string(percent_done(*form.pbOO, row, last_row)) + "%");
            form.Repaint();
            column = -1;
            if (row == 0) break;  // the last row the sheet can have is done
        }
        ++column;
    }
}

}  // namespace

ReportPaths report_paths(const std::string& program_folder, const std::string& well, const std::string& stage) {
    const std::string cement = program_folder + "/" + well + "/cement/";
    return ReportPaths{cement + "cement_program_" + stage + ".rpt", cement + "cement_program_" + stage + ".ini",
                       program_folder + "/params/cement/report_new.xls",
                       cement + "report/" + well + "_" + stage + ".xls"};
}

bool is_plain_name(const std::string& name) {
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos && name != "." && name != "..";
}

bool make_report(TReportForm& form, const std::string& well, const std::string& stage) {
    if (!is_plain_name(well) || !is_plain_name(stage)) {
        ui::MessageBox("Недопустимое имя скважины или ступени: \"" + well + "\", \"" + stage + "\"", "Error",
                       ui::MB_OK);
        return false;
    }
    const ReportPaths paths = report_paths(os::program_dir(), well, stage);
    const rtl::IniFile report(paths.report_file);
    const rtl::IniFile programme(paths.programme_file);
    const int count = programme.ReadInteger("Main", "Count", 0);

    auto& oo_slot = form.calc_auto();
    oo_slot = std::make_unique<OOCalcAuto>(form.settings().server);
    OOCalcAuto& oo = *oo_slot;
    if (!oo.connect()) {
        os::log_error("Grouttab: no spreadsheet server: " + oo.connect_error());
        oo_slot.reset();
        ui::MessageBox("Ошибка при создании OpenOffice", "Error", ui::MB_OK);
        return false;
    }
    try {
        oo.open_document(true, paths.template_file);
    } catch (const std::exception& e) {
        os::log_error("Grouttab: template " + paths.template_file + ": " + e.what());
        oo_slot.reset();
        ui::MessageBox("Ошибка при открытии шаблона отчета.\nФайл поврежден или не найден.", "Error", ui::MB_OK);
        return false;
    }

    bool locked = false;
    bool bound = false;     // the output file holds this build's first store
    bool finished = false;  // and then the filled report
    try {
        // Bound to the output at once, so the template itself is never changed.
        oo.store_document(paths.output_file, 1);
        bound = true;
        oo.lock_controllers(false);
        locked = true;
        TemplateFiller filler(report, programme, count);
        fill_first_sheet(form, oo, filler);
        oo.lock_controllers(true);
        locked = false;
        oo.store_document(paths.output_file, 1);
        finished = true;
        oo.close_document();

        const bool shown = form.settings().show_report;
        oo.connect();
        oo.open_document(!shown, paths.output_file);
        oo.select_sheet_by_index(0);
        if (!shown) oo.close_document();
    } catch (...) {
        // The hidden document would stay open in the office with nobody to
        // close it; the error itself goes on to the caller.
        try {
            if (locked && oo.has_document()) oo.lock_controllers(true);
        } catch (const std::exception& e) {
            os::log_error(std::string("Grouttab: unlocking the report after a failure: ") + e.what());
        }
        try {
            if (oo.has_document()) oo.close_document();
        } catch (const std::exception& e) {
            os::log_error(std::string("Grouttab: closing the report after a failure: ") + e.what());
        }
        // Under the report's name lies the unfilled template, or a store
        // torn part way; left there it would pass for the stage's report.
        if (bound && !finished) {
            if (os::remove_file(paths.output_file))
                os::log_error("Grouttab: the unfinished report " + paths.output_file + " was removed");
            else if (errno != ENOENT)
                os::log_error("Grouttab: the unfinished report " + paths.output_file +
                              " could not be removed: " + std::strerror(errno));
        }
        form.lblProgress->SetCaption("");
        oo_slot.reset();
        throw;
    }
    form.lblProgress->SetCaption("");
    oo_slot.reset();
    return true;
}

}  // namespace grouttab
