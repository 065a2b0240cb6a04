#include "programs/grouttab/oo_calc_auto.h"

#include <osl/file.hxx>
#include <rtl/ustring.hxx>

#include <exception>
#include <filesystem>

#include "platform/rtl/numbers.h"

namespace grouttab {

namespace {

template <typename T>
T& need(const std::shared_ptr<T>& handle, const char* operation, const char* what) {
    if (!handle) throw ServerError(std::string("OOCalcAuto::") + operation + ": no " + what);
    return *handle;
}

}  // namespace

std::string cell_value_text(const CellValue& value) {
    if (const double* d = std::get_if<double>(&value)) return rtl::FloatToStr(*d);
    return std::get<std::string>(value);
}

std::string cell_kind_name(int kind) {
    static const char* const kNames[] = {"Пустое значение", "Число", "Текст", "Формула"};
    return kind >= 0 && kind < 4 ? kNames[kind] : "";
}

std::string make_file_url(const std::string& path) {
    std::string system_path = path;
    for (char& c : system_path)
        if (c == '\\') c = '/';
    // The office resolves nothing against our working folder.
    if (!system_path.empty() && system_path[0] != '/') {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(system_path, ec);
        if (!ec) system_path = absolute.string();
    }
    const rtl::OUString in =
        rtl::OStringToOUString(rtl::OString(system_path.data(), system_path.size()), RTL_TEXTENCODING_UTF8);
    rtl::OUString url;
    if (osl::FileBase::getFileURLFromSystemPath(in, url) != osl::FileBase::E_None)
        throw ServerError("OOCalcAuto::make_file_url: \"" + path + "\" is not a path the office can open");
    const rtl::OString out = rtl::OUStringToOString(url, RTL_TEXTENCODING_UTF8);
    return std::string(out.getStr(), out.getLength());
}

OOCalcAuto::OOCalcAuto(ServerFactory factory) : factory_(std::move(factory)) {}

OOCalcAuto::~OOCalcAuto() {
    try {
        release_handles();
    } catch (...) {
        // Releasing a handle of a server that went away is no failure of ours.
    }
}

bool OOCalcAuto::connect() {
    try {
        if (!factory_) throw ServerError("no spreadsheet server is configured");
        service_manager_ = factory_();
        if (!service_manager_) throw ServerError("the spreadsheet server gave no service manager");
    } catch (const std::exception& e) {
        connect_error_ = e.what();
        return false;
    }
    connect_error_.clear();
    desktop_ = service_manager_->createInstance("com.sun.star.frame.Desktop");
    return true;
}

void OOCalcAuto::open_document(bool hidden, const std::string& path) {
    const std::string url = path.empty() ? std::string("private:factory/scalc") : make_file_url(path);
    PropertyValues options;
    if (hidden) options.push_back({"Hidden", true});
    document_ = need(desktop_, "open_document", "desktop").loadComponentFromURL(url, "_blank", 0, options);
    if (!document_) throw ServerError("OOCalcAuto::open_document: the office gave no document for " + url);
    sheets_ = document_->getSheets();
}

void OOCalcAuto::set_sheet_layout(int index, const SheetLayout& layout) {
    need(document_, "set_sheet_layout", "document").setSheetLayout(static_cast<std::uint16_t>(index), layout);
}

void OOCalcAuto::select_sheet_by_index(int index) {
    current_sheet_ = need(sheets_, "select_sheet_by_index", "document").getByIndex(static_cast<std::uint16_t>(index));
    const std::string name = current_sheet_->getName();
    select_sheet_by_name(name);
}

void OOCalcAuto::select_sheet_by_name(const std::string& name) {
    ServerDocument& doc = need(document_, "select_sheet_by_name", "document");
    sheets_ = doc.getSheets();
    current_sheet_ = sheets_->getByName(name);
    auto controller = doc.getCurrentController();
    if (!controller) throw ServerError("OOCalcAuto::select_sheet_by_name: the document has no view");
    controller->setActiveSheet(*current_sheet_);
}

CellValue OOCalcAuto::read_cell(int kind, std::int32_t column, std::int32_t row) {
    auto controller = need(document_, "read_cell", "document").getCurrentController();
    if (!controller) throw ServerError("OOCalcAuto::read_cell: the document has no view");
    current_sheet_ = controller->getActiveSheet();
    current_cell_ = need(current_sheet_, "read_cell", "active sheet").getCellByPosition(column, row);
    controller.reset();
    switch (kind) {
        case 1: return current_cell_->getValue();
        case 2: return current_cell_->getString();
        case 3: return current_cell_->getFormula();
        default: return std::string();
    }
}

void OOCalcAuto::set_cell_string(std::int32_t column, std::int32_t row, const std::string& text) {
    current_cell_ = need(current_sheet_, "set_cell_string", "current sheet").getCellByPosition(column, row);
    current_cell_->setString(text);
}

void OOCalcAuto::get_used_area_end(std::uint32_t& last_column, std::uint32_t& last_row) {
    ServerSheet& sheet = need(current_sheet_, "get_used_area_end", "current sheet");
    current_cell_ = sheet.getCellByPosition(0, 0);
    auto cursor = sheet.createCursorByRange(*current_cell_);
    cursor->gotoEndOfUsedArea(false);
    const CellRangeAddress address = cursor->getRangeAddress();
    last_column = static_cast<std::uint32_t>(address.StartColumn);
    last_row = static_cast<std::uint32_t>(address.StartRow);
}

void OOCalcAuto::close_document() {
    need(document_, "close_document", "document").close(true);
    document_.reset();
}

void OOCalcAuto::store_document(const std::string& path, int mode) {
    if (mode != 1 && mode != 2) return;
    ServerDocument& doc = need(document_, "store_document", "document");
    const PropertyValues options{{"FilterName", std::string("MS Excel 97")}};
    if (mode == 1)
        doc.storeAsURL(make_file_url(path), options);
    else
        doc.storeToURL(make_file_url(path), options);
}

void OOCalcAuto::lock_controllers(bool unlock) {
    ServerDocument& doc = need(document_, "lock_controllers", "document");
    if (!unlock) {
        doc.lockControllers();
        doc.addActionLock();
    } else {
        doc.unlockControllers();
        doc.removeActionLock();
    }
}

void OOCalcAuto::release_handles() {
    current_cell_.reset();
    current_sheet_.reset();
    sheets_.reset();
    document_.reset();
    desktop_.reset();
    service_manager_.reset();
}

}  // namespace grouttab
