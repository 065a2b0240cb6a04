#include "programs/grouttab/report.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>

#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/os/folder_lock.h"
#include "platform/os/paths.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/dialogs.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report_form.h"

namespace grouttab {

namespace fs = std::filesystem;

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
        if (text.find("%%") != std::string::npos) {
            ++tokens_;
            return report_.ReadString("Report", from_character(text, 2), kTokenError);
        }
        if (text.find("%!%") == std::string::npos) return kNoChange;
        ++tokens_;
        if (item_ >= count_) return {};
        const std::string key = from_character(text, 3);
        if (key == "start") {
            ++item_;
            if (item_ >= count_) return {};
            return rtl::FormatDateTime("hh:mm", programme_.ReadDateTime(section(), "start", 0));
        }
        return programme_.ReadString(section(), key, kTokenError);
    }

    // How many token cells the sheet held.
    int tokens() const { return tokens_; }

private:
    std::string section() const { return "Item" + std::to_string(item_); }
    const rtl::IniFile& report_;
    const rtl::IniFile& programme_;
    int count_;
    int item_ = -1;
    int tokens_ = 0;
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

namespace {

// Whether `folder` (through any links) lies inside `station` (through any
// links). A folder that cannot be resolved is let through: the store there
// fails and says why.
bool inside_station(const std::string& station, const std::string& folder, std::string* resolved) {
    std::error_code ec;
    const fs::path base = fs::canonical(station, ec);
    if (ec) return true;
    const fs::path real = fs::canonical(folder, ec);
    if (ec) return true;
    *resolved = real.string();
    auto b = base.begin();
    auto r = real.begin();
    for (; b != base.end(); ++b, ++r)
        if (r == real.end() || *r != *b) return false;
    return true;
}

// Why a store into `folder` failed, in the user's words; the office's own
// diagnostic goes to the log.
std::string store_failure_cause(const std::string& folder) {
    if (!os::is_directory(folder) && !fs::is_directory(folder)) return "Папка отчетов не найдена.";
    std::error_code ec;
    const auto space = fs::space(folder, ec);
    // A spreadsheet of the template's size needs some hundred kilobytes.
    if (!ec && space.available < 1024 * 1024) return "На диске нет свободного места.";
    return "Запись в папку отчетов не удалась.";
}

void say_not_stored(const std::string& output, const std::string& cause) {
    ui::MessageBox("Не удалось сохранить отчет " + output + ".\n" + cause, "Error", ui::MB_OK);
}

const char kBuildPrefix[] = ".grouttab-";
// The lock file by which a build holds its folder while it lives.
const char kHolderFile[] = ".holder";
// A folder younger than this may be one whose build has made it and not
// yet taken hold of it.
constexpr std::uint64_t kBrandNewMs = 10000;

// The build folders of this process's builds going on, for an ending on a
// signal. Never destroyed: the signal's thread may reach it while the
// process ends.
std::mutex& live_folders_mutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::set<std::string>& live_folders() {
    static auto* s = new std::set<std::string>;
    return *s;
}

// Removes the folder; a file the office makes in it meanwhile is taken on
// the next round. False with errno when it stays.
bool remove_folder(const std::string& path) {
    for (int round = 0; round < 5; ++round)
        if (os::remove_tree(path)) return true;
    return false;
}

// The build's own folder beside the report: the office stores into it and
// the finished report replaces the report's name from there, so the store
// never goes through a link planted under that name and an unfinished
// report never stands under it. The build holds it by a lock file the
// system drops when the program dies, however it dies, so that a later
// build can tell a folder a killed program left from a living one.
class StoreFolder {
public:
    explicit StoreFolder(const std::string& report_folder)
        : path_(os::make_temp_directory(report_folder, kBuildPrefix)), error_(path_.empty() ? errno : 0) {
        if (path_.empty()) return;
        {
            std::lock_guard<std::mutex> lock(live_folders_mutex());
            live_folders().insert(path_);
        }
        if (holder_.try_lock(path_, kHolderFile) != os::FolderHolderLock::Result::held)
            os::log_error("Grouttab: the build folder " + path_ + " could not be held: " + holder_.error());
    }
    ~StoreFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        if (!remove_folder(path_)) ec.assign(errno, std::generic_category());
        if (ec) os::log_error("Grouttab: removing " + path_ + ": " + ec.message());
        holder_.unlock();
        std::lock_guard<std::mutex> lock(live_folders_mutex());
        live_folders().erase(path_);
    }
    StoreFolder(const StoreFolder&) = delete;
    StoreFolder& operator=(const StoreFolder&) = delete;
    const std::string& path() const { return path_; }
    int error() const { return error_; }

private:
    std::string path_;
    int error_;
    os::FolderHolderLock holder_;
};

}  // namespace

void remove_build_folders() {
    std::lock_guard<std::mutex> lock(live_folders_mutex());
    for (const auto& path : live_folders()) remove_folder(path);
}

void remove_abandoned_build_folders(const std::string& report_folder) {
    for (const auto& e : os::find_entries(report_folder + "/" + kBuildPrefix + "*", os::fa_directory | os::fa_hidden)) {
        // A link is never a build folder (and never followed).
        const std::string path = report_folder + "/" + e.name;
        if (!(e.attributes & os::fa_directory) || !os::is_directory(path)) continue;
        const std::int64_t now_ms = os::wall_ms();
        const std::uint64_t now = os::filetime_ticks(os::filetime_from_unix(now_ms / 1000, 0));
        const std::uint64_t written = os::filetime_ticks(e.write_time);
        if (written > now || (now - written) / 10000 < kBrandNewMs) continue;
        os::FolderHolderLock holder;
        if (holder.try_lock(path, kHolderFile) != os::FolderHolderLock::Result::held) continue;
        if (!remove_folder(path)) {
            os::log_error("Grouttab: the build folder " + path +
                          " that an ended build left could not be removed: " + std::strerror(errno));
        }
    }
}

bool make_report(TReportForm& form, const std::string& well, const std::string& stage) {
    if (!is_plain_name(well) || !is_plain_name(stage)) {
        ui::MessageBox("Недопустимое имя скважины или ступени: \"" + well + "\", \"" + stage + "\"", "Error",
                       ui::MB_OK);
        return false;
    }
    const std::string station = os::program_dir();
    const ReportPaths paths = report_paths(station, well, stage);
    const std::string report_folder = os::folder_of(paths.output_file);
    std::string resolved;
    if (!inside_station(station, report_folder, &resolved)) {
        os::log_error("Grouttab: the report folder " + report_folder + " leads to " + resolved +
                      ", outside the station folder " + station + ": nothing is stored there");
        ui::MessageBox("Папка отчетов " + report_folder + " ведет за пределы папки станции.\nОтчет не сохранен.",
                       "Error", ui::MB_OK);
        return false;
    }
    // Before the office starts, which may take long enough on a loaded
    // machine for another build's brand-new folder to pass for an old one.
    remove_abandoned_build_folders(report_folder);
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
    const std::string damaged = "Ошибка при открытии шаблона отчета.\nФайл поврежден или не найден.";
    auto refuse_template = [&](const std::string& why) {
        os::log_error("Grouttab: template " + paths.template_file + ": " + why);
        try {
            if (oo.has_document()) oo.close_document();
        } catch (const std::exception& e) {
            os::log_error(std::string("Grouttab: closing the template: ") + e.what());
        }
        form.lblProgress->SetCaption("");
        oo_slot.reset();
        ui::MessageBox(damaged, "Error", ui::MB_OK);
        return false;
    };
    try {
        // A file the office takes for text or a web page loads as no
        // spreadsheet and fails here.
        oo.open_document(true, paths.template_file);
    } catch (const std::exception& e) {
        return refuse_template(e.what());
    }

    StoreFolder store(report_folder);
    if (store.path().empty()) {
        const std::string why = std::strerror(store.error());
        os::log_error("Grouttab: no folder for the report could be made in " + report_folder + ": " + why);
        oo.close_document();
        oo_slot.reset();
        say_not_stored(paths.output_file, store_failure_cause(report_folder));
        return false;
    }
    const std::string stored = store.path() + "/" + fs::path(paths.output_file).filename().string();
    // A store the office refused: the user hears that the report is not
    // stored and why, not that the template is damaged.
    auto store_at = [&](const char* which) {
        try {
            oo.store_document(stored, 1);
            return true;
        } catch (const ServerError& e) {
            os::log_error(std::string("Grouttab: ") + which + " store of the report " + paths.output_file +
                          " failed: " + e.what());
            return false;
        }
    };

    bool locked = false;
    bool stored_ok = true;
    int tokens = 0;
    try {
        // Bound to the build's own file at once, so the template itself is
        // never changed.
        stored_ok = store_at("the first");
        if (stored_ok) {
            oo.lock_controllers(false);
            locked = true;
            TemplateFiller filler(report, programme, count);
            fill_first_sheet(form, oo, filler);
            tokens = filler.tokens();
            oo.lock_controllers(true);
            locked = false;
            if (tokens > 0) stored_ok = store_at("the second");
        }
        oo.close_document();
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
        form.lblProgress->SetCaption("");
        oo_slot.reset();
        throw;
    }
    form.lblProgress->SetCaption("");
    if (!stored_ok) {
        oo_slot.reset();
        say_not_stored(paths.output_file, store_failure_cause(report_folder));
        return false;
    }
    // A template without one token is no report template, whatever it is.
    if (tokens == 0) return refuse_template("it holds none of the report's tokens");
    std::error_code ec;
    if (!os::rename_entry(stored, paths.output_file)) ec.assign(errno, std::generic_category());
    if (ec) {
        os::log_error("Grouttab: the report " + paths.output_file + " could not take its name: " + ec.message());
        oo_slot.reset();
        say_not_stored(paths.output_file, store_failure_cause(report_folder));
        return false;
    }
    os::sync_folder_of(paths.output_file);

    const bool shown = form.settings().show_report;
    try {
        oo.connect();
        oo.open_document(!shown, paths.output_file);
        oo.select_sheet_by_index(0);
        if (!shown) oo.close_document();
    } catch (const std::exception& e) {
        os::log_error("Grouttab: showing the report " + paths.output_file + ": " + e.what());
        try {
            if (!shown && oo.has_document()) oo.close_document();
        } catch (const std::exception&) {}
        oo_slot.reset();
        ui::MessageBox("Отчет сохранен в " + paths.output_file + ", но показать его не удалось.", "Error", ui::MB_OK);
        return false;
    }
    oo_slot.reset();
    return true;
}

}  // namespace grouttab
