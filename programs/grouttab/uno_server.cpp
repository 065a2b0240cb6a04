#include "programs/grouttab/uno_server.h"

#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/XActionLockable.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XHeaderFooterContent.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRange.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/table/TableBorder2.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/error_log.h"
#include "platform/os/paths.h"
#include "platform/os/process.h"
#include "programs/grouttab/oo_calc_auto.h"

namespace grouttab {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// The office exits with this code after it made a fresh profile, asking to
// be started again.
constexpr int kOfficeRestart = 81;

rtl::OUString ou(const std::string& s) {
    return rtl::OStringToOUString(rtl::OString(s.data(), s.size()), RTL_TEXTENCODING_UTF8);
}

std::string u8(const rtl::OUString& s) {
    const rtl::OString o = rtl::OUStringToOString(s, RTL_TEXTENCODING_UTF8);
    return std::string(o.getStr(), o.getLength());
}

// Runs one server call; a UNO failure becomes a ServerError naming the call.
template <typename F>
auto uno_call(const char* name, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const css::uno::Exception& e) {
        throw ServerError(std::string(name) + ": " + u8(e.Message));
    }
}

css::uno::Sequence<css::beans::PropertyValue> to_uno(const PropertyValues& options) {
    css::uno::Sequence<css::beans::PropertyValue> seq(static_cast<sal_Int32>(options.size()));
    auto* out = seq.getArray();
    for (std::size_t i = 0; i < options.size(); ++i) {
        out[i].Name = ou(options[i].Name);
        if (const bool* b = std::get_if<bool>(&options[i].Value))
            out[i].Value <<= *b;
        else
            out[i].Value <<= ou(std::get<std::string>(options[i].Value));
    }
    return seq;
}

// The files this process had the office load or store: a lock file the
// office leaves beside one of them when it dies is removed.
void note_document(const std::string& url);

// --- objects ------------------------------------------------------------------

class UnoCell : public ServerCell {
public:
    explicit UnoCell(Reference<css::table::XCell> cell) : cell_(std::move(cell)) {}
    double getValue() override {
        return uno_call("getValue", [&] { return cell_->getValue(); });
    }
    std::string getString() override {
        return uno_call("getString",
                        [&] { return u8(Reference<css::text::XText>(cell_, UNO_QUERY_THROW)->getString()); });
    }
    std::string getFormula() override {
        return uno_call("getFormula", [&] { return u8(cell_->getFormula()); });
    }
    void setString(const std::string& text) override {
        uno_call("setString", [&] { Reference<css::text::XText>(cell_, UNO_QUERY_THROW)->setString(ou(text)); });
    }
    const Reference<css::table::XCell>& cell() const { return cell_; }

private:
    Reference<css::table::XCell> cell_;
};

class UnoCursor : public ServerCursor {
public:
    explicit UnoCursor(Reference<css::sheet::XSheetCellCursor> cursor) : cursor_(std::move(cursor)) {}
    void gotoEndOfUsedArea(bool expand) override {
        uno_call("gotoEndOfUsedArea",
                 [&] { Reference<css::sheet::XUsedAreaCursor>(cursor_, UNO_QUERY_THROW)->gotoEndOfUsedArea(expand); });
    }
    CellRangeAddress getRangeAddress() override {
        return uno_call("RangeAddress", [&] {
            const auto a = Reference<css::sheet::XCellRangeAddressable>(cursor_, UNO_QUERY_THROW)->getRangeAddress();
            return CellRangeAddress{a.StartColumn, a.StartRow, a.EndColumn, a.EndRow};
        });
    }

private:
    Reference<css::sheet::XSheetCellCursor> cursor_;
};

class UnoSheet : public ServerSheet {
public:
    explicit UnoSheet(Reference<css::sheet::XSpreadsheet> sheet) : sheet_(std::move(sheet)) {}
    std::string getName() override {
        return uno_call("getName",
                        [&] { return u8(Reference<css::container::XNamed>(sheet_, UNO_QUERY_THROW)->getName()); });
    }
    std::shared_ptr<ServerCell> getCellByPosition(std::int32_t column, std::int32_t row) override {
        return uno_call("getCellByPosition",
                        [&] { return std::make_shared<UnoCell>(sheet_->getCellByPosition(column, row)); });
    }
    std::shared_ptr<ServerCursor> createCursorByRange(ServerCell& cell) override {
        auto* c = dynamic_cast<UnoCell*>(&cell);
        if (!c) throw ServerError("createCursorByRange: not a cell of the office");
        return uno_call("createCursorByRange", [&] {
            Reference<css::sheet::XSheetCellRange> range(c->cell(), UNO_QUERY_THROW);
            return std::make_shared<UnoCursor>(sheet_->createCursorByRange(range));
        });
    }
    const Reference<css::sheet::XSpreadsheet>& sheet() const { return sheet_; }

private:
    Reference<css::sheet::XSpreadsheet> sheet_;
};

class UnoSheets : public ServerSheets {
public:
    explicit UnoSheets(Reference<css::sheet::XSpreadsheets> sheets) : sheets_(std::move(sheets)) {}
    std::shared_ptr<ServerSheet> getByIndex(std::uint16_t index) override {
        return uno_call("getByIndex", [&] {
            Reference<css::container::XIndexAccess> access(sheets_, UNO_QUERY_THROW);
            Reference<css::sheet::XSpreadsheet> sheet(access->getByIndex(index), UNO_QUERY_THROW);
            return std::make_shared<UnoSheet>(sheet);
        });
    }
    std::shared_ptr<ServerSheet> getByName(const std::string& name) override {
        return uno_call("getByName", [&] {
            Reference<css::sheet::XSpreadsheet> sheet(sheets_->getByName(ou(name)), UNO_QUERY_THROW);
            return std::make_shared<UnoSheet>(sheet);
        });
    }

private:
    Reference<css::sheet::XSpreadsheets> sheets_;
};

class UnoController : public ServerController {
public:
    explicit UnoController(Reference<css::sheet::XSpreadsheetView> view) : view_(std::move(view)) {}
    void setActiveSheet(ServerSheet& sheet) override {
        auto* s = dynamic_cast<UnoSheet*>(&sheet);
        if (!s) throw ServerError("setActiveSheet: not a sheet of the office");
        uno_call("setActiveSheet", [&] { view_->setActiveSheet(s->sheet()); });
    }
    std::shared_ptr<ServerSheet> getActiveSheet() override {
        return uno_call("getActiveSheet", [&] { return std::make_shared<UnoSheet>(view_->getActiveSheet()); });
    }

private:
    Reference<css::sheet::XSpreadsheetView> view_;
};

class UnoDocument : public ServerDocument {
public:
    explicit UnoDocument(Reference<css::lang::XComponent> doc) : doc_(std::move(doc)) {}
    std::shared_ptr<ServerSheets> getSheets() override {
        return uno_call("getSheets", [&] {
            Reference<css::sheet::XSpreadsheetDocument> sd(doc_, UNO_QUERY);
            if (!sd.is()) throw ServerError("getSheets: the document is not a spreadsheet");
            return std::make_shared<UnoSheets>(sd->getSheets());
        });
    }
    std::shared_ptr<ServerController> getCurrentController() override {
        return uno_call("getCurrentController", [&]() -> std::shared_ptr<ServerController> {
            Reference<css::frame::XController> c =
                Reference<css::frame::XModel>(doc_, UNO_QUERY_THROW)->getCurrentController();
            Reference<css::sheet::XSpreadsheetView> view(c, UNO_QUERY);
            if (!view.is()) return nullptr;
            return std::make_shared<UnoController>(view);
        });
    }
    void storeAsURL(const std::string& url, const PropertyValues& options) override {
        note_document(url);
        uno_call("storeAsURL", [&] {
            Reference<css::frame::XStorable>(doc_, UNO_QUERY_THROW)->storeAsURL(ou(url), to_uno(options));
        });
    }
    void storeToURL(const std::string& url, const PropertyValues& options) override {
        uno_call("storeToURL", [&] {
            Reference<css::frame::XStorable>(doc_, UNO_QUERY_THROW)->storeToURL(ou(url), to_uno(options));
        });
    }
    void close(bool deliver_ownership) override {
        uno_call("close", [&] { Reference<css::util::XCloseable>(doc_, UNO_QUERY_THROW)->close(deliver_ownership); });
    }
    void lockControllers() override {
        uno_call("lockControllers", [&] { Reference<css::frame::XModel>(doc_, UNO_QUERY_THROW)->lockControllers(); });
    }
    void unlockControllers() override {
        uno_call("unLockControllers",
                 [&] { Reference<css::frame::XModel>(doc_, UNO_QUERY_THROW)->unlockControllers(); });
    }
    void addActionLock() override {
        uno_call("addActionLock",
                 [&] { Reference<css::document::XActionLockable>(doc_, UNO_QUERY_THROW)->addActionLock(); });
    }
    void removeActionLock() override {
        uno_call("removeActionLock",
                 [&] { Reference<css::document::XActionLockable>(doc_, UNO_QUERY_THROW)->removeActionLock(); });
    }
    void setSheetLayout(std::uint16_t sheet_index, const SheetLayout& layout) override {
        uno_call("setSheetLayout", [&] {
            Reference<css::sheet::XSpreadsheetDocument> sd(doc_, UNO_QUERY_THROW);
            Reference<css::container::XIndexAccess> sheets(sd->getSheets(), UNO_QUERY_THROW);
            Reference<css::sheet::XSpreadsheet> sheet(sheets->getByIndex(sheet_index), UNO_QUERY_THROW);
            if (!layout.name.empty())
                Reference<css::container::XNamed>(sheet, UNO_QUERY_THROW)->setName(ou(layout.name));

            Reference<css::container::XIndexAccess> columns(
                Reference<css::table::XColumnRowRange>(sheet, UNO_QUERY_THROW)->getColumns(), UNO_QUERY_THROW);
            for (std::size_t c = 0; c < layout.column_widths.size(); ++c) {
                Reference<css::beans::XPropertySet> column(columns->getByIndex(std::int32_t(c)), UNO_QUERY_THROW);
                column->setPropertyValue("Width", css::uno::Any(layout.column_widths[c]));
            }
            Reference<css::table::XCellRange> cells(sheet, UNO_QUERY_THROW);
            css::table::BorderLine2 line;
            line.Color = 0;
            line.LineStyle = css::table::BorderLineStyle::SOLID;
            line.LineWidth = 26;
            line.OuterLineWidth = 26;
            for (const CellRangeAddress& a : layout.framed) {
                css::table::TableBorder2 border;
                border.TopLine = border.BottomLine = border.LeftLine = border.RightLine = line;
                border.HorizontalLine = border.VerticalLine = line;
                border.IsTopLineValid = border.IsBottomLineValid = border.IsLeftLineValid = true;
                border.IsRightLineValid = border.IsHorizontalLineValid = border.IsVerticalLineValid = true;
                Reference<css::beans::XPropertySet> range(
                    cells->getCellRangeByPosition(a.StartColumn, a.StartRow, a.EndColumn, a.EndRow), UNO_QUERY_THROW);
                range->setPropertyValue("TableBorder2", css::uno::Any(border));
            }
            const std::int32_t last_column = std::int32_t(std::max<std::size_t>(layout.column_widths.size(), 1)) - 1;
            for (std::int32_t r : layout.bold_rows) {
                Reference<css::beans::XPropertySet> row(cells->getCellRangeByPosition(0, r, last_column, r),
                                                        UNO_QUERY_THROW);
                row->setPropertyValue("CharWeight", css::uno::Any(float(css::awt::FontWeight::BOLD)));
            }

            // The sheet's page: A4, one page wide, the footer of the layout.
            rtl::OUString style_name;
            Reference<css::beans::XPropertySet>(sheet, UNO_QUERY_THROW)->getPropertyValue("PageStyle") >>= style_name;
            Reference<css::container::XNameAccess> families(
                Reference<css::style::XStyleFamiliesSupplier>(doc_, UNO_QUERY_THROW)->getStyleFamilies(),
                UNO_QUERY_THROW);
            Reference<css::container::XNameAccess> pages(families->getByName("PageStyles"), UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> page(pages->getByName(style_name), UNO_QUERY_THROW);
            const std::int32_t a4_short = 21000, a4_long = 29700;
            page->setPropertyValue("IsLandscape", css::uno::Any(layout.landscape));
            page->setPropertyValue("Width", css::uno::Any(layout.landscape ? a4_long : a4_short));
            page->setPropertyValue("Height", css::uno::Any(layout.landscape ? a4_short : a4_long));
            page->setPropertyValue("ScaleToPagesX", css::uno::Any(std::int16_t(1)));
            page->setPropertyValue("ScaleToPagesY", css::uno::Any(std::int16_t(0)));
            // The office's default header is the sheet's name: the report
            // carries its own title.
            page->setPropertyValue("HeaderIsOn", css::uno::Any(false));
            page->setPropertyValue("FooterIsOn", css::uno::Any(true));
            Reference<css::sheet::XHeaderFooterContent> footer(page->getPropertyValue("RightPageFooterContent"),
                                                               UNO_QUERY_THROW);
            footer->getLeftText()->setString("");
            footer->getRightText()->setString("");
            Reference<css::text::XText> centre = footer->getCenterText();
            centre->setString(ou(layout.footer + " "));
            Reference<css::text::XTextContent> number(Reference<css::lang::XMultiServiceFactory>(doc_, UNO_QUERY_THROW)
                                                          ->createInstance("com.sun.star.text.TextField.PageNumber"),
                                                      UNO_QUERY_THROW);
            centre->insertTextContent(centre->getEnd(), number, false);
            page->setPropertyValue("RightPageFooterContent", css::uno::Any(footer));
            page->setPropertyValue("LeftPageFooterContent", css::uno::Any(footer));
        });
    }

private:
    Reference<css::lang::XComponent> doc_;
};

class UnoDesktop : public ServerDesktop {
public:
    explicit UnoDesktop(Reference<css::frame::XComponentLoader> loader) : loader_(std::move(loader)) {}
    std::shared_ptr<ServerDocument> loadComponentFromURL(const std::string& url, const std::string& target,
                                                         std::int32_t search_flags,
                                                         const PropertyValues& options) override {
        note_document(url);
        return uno_call("loadComponentFromURL", [&]() -> std::shared_ptr<ServerDocument> {
            Reference<css::lang::XComponent> doc =
                loader_->loadComponentFromURL(ou(url), ou(target), search_flags, to_uno(options));
            if (!doc.is()) return nullptr;
            return std::make_shared<UnoDocument>(doc);
        });
    }

private:
    Reference<css::frame::XComponentLoader> loader_;
};

class UnoManager : public ServerManager {
public:
    explicit UnoManager(Reference<css::uno::XComponentContext> context) : context_(std::move(context)) {}
    std::shared_ptr<ServerDesktop> createInstance(const std::string& service) override {
        return uno_call("createInstance", [&] {
            Reference<css::uno::XInterface> object =
                context_->getServiceManager()->createInstanceWithContext(ou(service), context_);
            Reference<css::frame::XComponentLoader> loader(object, UNO_QUERY);
            if (!loader.is()) throw ServerError("createInstance: " + service + " is not a desktop");
            return std::make_shared<UnoDesktop>(loader);
        });
    }

private:
    Reference<css::uno::XComponentContext> context_;
};

// --- the office process ---------------------------------------------------------

std::mutex g_mutex;  // the settings, the started office and the documents

// The office started by this process. A thread of its own waits for its end,
// so that a dead office is reaped at once, not when the next build looks
// for it; the office outlives the program (the user keeps the report), the
// waiting thread does not.
struct StartedOffice {
    std::shared_ptr<os::Process> process;
    int pid = -1;
    bool ended = false;  // reaped by its thread
    int exit_code = 0;
    // This program ended it (stop_started_office): its status is no fault.
    bool stopped = false;
};
std::shared_ptr<StartedOffice> g_office;
std::string g_office_profile;
std::string g_office_pipe;
std::set<std::string> g_documents;  // system paths

std::string system_path_of(const std::string& url) {
    rtl::OUString path;
    if (osl::FileBase::getSystemPathFromFileURL(ou(url), path) != osl::FileBase::E_None) return {};
    return u8(path);
}

void note_document(const std::string& url) {
    const std::string path = system_path_of(url);
    if (path.empty()) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    g_documents.insert(path);
}

// The office's lock file beside a document: ".~lock.<name>#".
std::string lock_file_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return path.substr(0, slash + 1) + ".~lock." + path.substr(slash + 1) + "#";
}

// Removes the lock files that an office of the given profile left beside
// the documents it had: the lock names the profile that holds it, so a lock
// of another office (a user's own) is left alone. Quiet: only a lock that
// stays is said.
void remove_stale_locks(const std::string& profile, bool quiet = false) {
    std::string profile_url;
    try {
        profile_url = make_file_url(profile);
    } catch (const std::exception&) {
        return;
    }
    for (const auto& document : g_documents) {
        const std::string lock = lock_file_of(document);
        std::string bytes;
        if (os::read_file(lock, bytes, nullptr, 64 * 1024) != 0) continue;
        if (bytes.find(profile_url) == std::string::npos) continue;
        if (os::remove_file(lock)) {
            if (!quiet) os::log_error("Grouttab: the ended office's lock file " + lock + " was removed");
        } else {
            os::log_error("Grouttab: the ended office's lock file " + lock + " could not be removed");
        }
    }
}

void watch(std::shared_ptr<StartedOffice> office) {
    std::thread([office] {
        const auto code = office->process->wait(-1);
        std::lock_guard<std::mutex> lock(g_mutex);
        office->ended = true;
        office->exit_code = code ? *code : -1;
        if (office->stopped) {
            // Killed at this program's word: whatever it left is tidied
            // without a word.
            remove_stale_locks(g_office_profile, true);
        } else if (office->exit_code != 0 && office->exit_code != kOfficeRestart) {
            os::log_error("Grouttab: the office (process " + std::to_string(office->pid) + ") ended with status " +
                          std::to_string(office->exit_code));
            remove_stale_locks(g_office_profile);
        }
    }).detach();
}

Reference<css::uno::XComponentContext> local_context() {
    static Reference<css::uno::XComponentContext> context = [] {
        // The bridge writes to the office's pipe with plain writes: an office
        // that dies in the middle of a call must come back as a failed call,
        // not end this program (or a test process) by the broken pipe.
        std::signal(SIGPIPE, SIG_IGN);
        // The bridge reads the office's own type and service libraries.
        rtl::Bootstrap::set(rtl::OUString("URE_BOOTSTRAP"),
                            ou(std::string("vnd.sun.star.pathname:") + STATION_OFFICE_PROGRAM_DIR + "/fundamentalrc"));
        return uno_call("bootstrap", [] { return cppu::defaultBootstrap_InitialComponentContext(); });
    }();
    return context;
}

// The office's pipes lie in one folder for every session of the user on
// the machine: a fixed name would find an office that another desktop's
// Grouttab started and show the report there. The name follows the
// profile, which the office lets only one process run on.
std::string profile_pipe_name(const std::string& profile) {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a: the same name in every build
    for (const unsigned char c : profile) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name = "station_grouttab_";
    for (int shift = 60; shift >= 0; shift -= 4) name += digits[(h >> shift) & 0xF];
    return name;
}

// The office's interface language is the user's choice kept in its profile;
// the station is Russian, so the office that shows the report is made so
// before each start. An office without the Russian language pack clears
// the choice and speaks its own language: the next start asks again.
constexpr const char* kUiLocaleItem =
    "<item oor:path=\"/org.openoffice.Office.Linguistic/General\"><prop oor:name=\"UILocale\" "
    "oor:op=\"fuse\"><value>ru</value></prop></item>";

// The profile's settings with the interface language set to Russian; empty
// when the text is not a settings file the office wrote (it is then left as
// it is: the office's own settings weigh more than its language).
std::string with_russian_interface(const std::string& xcu) {
    if (xcu.empty())
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
               "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
               "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
               std::string(kUiLocaleItem) + "\n</oor:items>\n";
    const auto end = xcu.rfind("</oor:items>");
    if (end == std::string::npos) return {};
    std::string out;
    // Every earlier choice of the language goes; the office writes one item
    // a line.
    const std::string marker = "<prop oor:name=\"UILocale\"";
    std::size_t at = 0;
    while (at < end) {
        std::size_t line_end = xcu.find('\n', at);
        if (line_end == std::string::npos || line_end > end) line_end = end;
        else ++line_end;
        const std::string line = xcu.substr(at, line_end - at);
        const bool ui_locale = line.find(marker) != std::string::npos &&
                               line.find("/org.openoffice.Office.Linguistic/General") != std::string::npos &&
                               line.rfind("<item", 0) == 0;
        if (!ui_locale) out += line;
        at = line_end;
    }
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += kUiLocaleItem;
    out += '\n';
    out += xcu.substr(end);
    return out;
}

void ask_for_russian_interface(const std::string& profile_dir) {
    const std::string user = profile_dir + "/user";
    const std::string file = user + "/registrymodifications.xcu";
    std::string xcu;
    const int read = os::read_file(file, xcu);
    if (read != 0 && read != ENOENT) {
        os::log_error("Grouttab: the office's settings " + file + " cannot be read: " + std::strerror(read));
        return;
    }
    const std::string changed = with_russian_interface(xcu);
    if (changed.empty()) {
        os::log_error("Grouttab: the office's settings " + file +
                      " are not as the office writes them; its interface language is left as it is");
        return;
    }
    if (changed == xcu) return;
    if (!os::make_directories(user)) {
        os::log_error("Grouttab: the office's profile folder " + user + " cannot be made: " + std::strerror(errno));
        return;
    }
    if (const int e = os::replace_file(file, changed))
        os::log_error("Grouttab: the office's settings " + file + " cannot be written: " + std::strerror(e));
}

// Called with g_mutex held.
bool start_office(const OfficeSettings& s, std::string* error) {
    if (!s.headless) ask_for_russian_interface(s.profile_dir);
    std::vector<std::string> command = s.launcher;
    // The office's own X11 front end: it needs no desktop session, where
    // the GTK one waits for a session bus that a bare X server lacks.
    if (!s.headless) command.insert(command.begin(), {"/usr/bin/env", "SAL_USE_VCLPLUGIN=gen"});
    command.push_back(s.program);
    os::SpawnOptions o;
    o.program = command.front();
    o.args.assign(command.begin() + 1, command.end());
    std::vector<std::string> office_args = {"-env:UserInstallation=" + make_file_url(s.profile_dir)};
    // A headless office can show no window; the shown report needs one on
    // the user's desktop.
    if (s.headless) office_args.push_back("--headless");
    const std::vector<std::string> rest = {
        "--invisible",
        "--nologo",
        "--norestore",
        "--nolockcheck",
        "--nodefault",
        "--nofirststartwizard",
        "--accept=pipe,name=" + s.pipe_name + ";urp;StarOffice.ComponentContext"};
    office_args.insert(office_args.end(), rest.begin(), rest.end());
    o.args.insert(o.args.end(), office_args.begin(), office_args.end());
    o.null_stdio = true;
    auto office = std::make_shared<StartedOffice>();
    office->process = std::make_shared<os::Process>();
    if (!office->process->start(o, error)) return false;
    office->pid = office->process->pid();
    g_office = office;
    g_office_profile = s.profile_dir;
    g_office_pipe = s.pipe_name;
    watch(office);
    return true;
}

}  // namespace

OfficeSettings& office_settings() {
    static OfficeSettings settings = [] {
        OfficeSettings s;
        s.program = std::string(STATION_OFFICE_PROGRAM_DIR) + "/soffice.bin";
        return s;
    }();
    return settings;
}

bool office_installed() { return os::file_exists(std::string(STATION_OFFICE_PROGRAM_DIR) + "/soffice.bin"); }

ServerFactory office_server_factory() {
    return []() -> std::shared_ptr<ServerManager> {
        OfficeSettings s;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            s = office_settings();
        }
        if (s.profile_dir.empty()) s.profile_dir = os::runtime_dir() + "/grouttab-office";
        if (s.pipe_name.empty()) s.pipe_name = profile_pipe_name(s.profile_dir);
        auto resolver = uno_call("UnoUrlResolver", [] { return css::bridge::UnoUrlResolver::create(local_context()); });
        const rtl::OUString url = ou("uno:pipe,name=" + s.pipe_name + ";urp;StarOffice.ComponentContext");
        // The bound is for each start of the office: one that ended asking
        // for its restart (a fresh profile) was making progress, and its
        // second start, as slow as the first on a busy machine, gets the
        // whole bound again.
        std::int64_t deadline = os::clock().now_ms() + s.timeout_ms;
        bool started = false;
        int restarts = 0;
        std::string cause = "no office answered on the pipe \"" + s.pipe_name + "\"";
        while (true) {
            try {
                Reference<css::uno::XComponentContext> context(resolver->resolve(url), UNO_QUERY_THROW);
                return std::make_shared<UnoManager>(context);
            } catch (const css::connection::NoConnectException&) {
            } catch (const css::uno::Exception& e) {
                cause = u8(e.Message);
            }
            {
                std::lock_guard<std::mutex> lock(g_mutex);
                if (s.start_office && !started) {
                    if (!os::file_exists(s.program))
                        throw ServerError("LibreOffice is not installed (" + s.program + ")");
                    // An office this process started earlier may still be on its way up.
                    const bool alive = g_office && !g_office->ended;
                    if (alive && g_office_pipe != s.pipe_name)
                        throw ServerError("the office this program started listens on \"" + g_office_pipe +
                                          "\", not on \"" + s.pipe_name + "\"");
                    if (!alive) {
                        std::string error;
                        if (!start_office(s, &error)) throw ServerError("the office could not be started: " + error);
                    }
                    started = true;
                } else if (started && g_office && g_office->ended) {
                    // A fresh profile makes the office end once and ask for a restart.
                    const int code = g_office->exit_code;
                    if (code != kOfficeRestart || ++restarts > 2)
                        throw ServerError("the office ended with status " + std::to_string(code) +
                                          " before it listened");
                    std::string error;
                    if (!start_office(s, &error)) throw ServerError("the office could not be started: " + error);
                    deadline = os::clock().now_ms() + s.timeout_ms;
                }
            }
            if (os::clock().now_ms() >= deadline)
                throw ServerError("no office answered within " + std::to_string(s.timeout_ms / 1000) + " s: " + cause);
            os::sleep_ms(200);
        }
    };
}

int started_office_pid() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_office && !g_office->ended ? g_office->pid : -1;
}

void stop_started_office(bool remove_profile) {
    std::shared_ptr<StartedOffice> office;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        office = g_office;
        if (office && !office->ended) {
            office->stopped = true;
            office->process->send_kill();
        }
    }
    // Its thread reaps it; the profile goes only once nothing writes to it.
    if (office) {
        const std::int64_t deadline = os::system_clock().now_ms() + 30000;
        while (true) {
            {
                std::lock_guard<std::mutex> lock(g_mutex);
                if (office->ended) break;
            }
            if (os::system_clock().now_ms() >= deadline) {
                os::log_error("Grouttab: the office (process " + std::to_string(office->pid) +
                              ") did not end within 30 s of its kill");
                break;
            }
            os::system_clock().sleep_ms(20);
        }
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    if (remove_profile && !g_office_profile.empty()) {
        std::error_code ec;
        if (!os::remove_tree(g_office_profile)) ec.assign(errno, std::generic_category());
        if (ec) os::log_error("Grouttab: removing the office profile " + g_office_profile + ": " + ec.message());
        g_office_profile.clear();
    }
}

}  // namespace grouttab
