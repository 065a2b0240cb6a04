#pragma once
// The spreadsheet server as the report program's client sees it: the office's
// objects (service manager, desktop, document, sheet collection, sheet, cell,
// cell cursor, controller) with the calls the client makes on them, named as
// the office names them. The client keeps its handles to these objects and
// makes the same calls in the same order whichever server stands behind
// them: the running office (uno_server.h) or the in-memory workbook
// (testdata/memory_server.h) that tests the template filling without an office.
//
// Every failed call throws ServerError with the server's own message; a load
// that gives no document returns null.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace grouttab {

class ServerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One "com.sun.star.beans.PropertyValue" of an option list.
struct PropertyValue {
    std::string Name;
    std::variant<bool, std::string> Value;
};
using PropertyValues = std::vector<PropertyValue>;

struct CellRangeAddress {
    std::int32_t StartColumn = 0, StartRow = 0, EndColumn = 0, EndRow = 0;
};

class ServerCell {
public:
    virtual ~ServerCell() = default;
    virtual double getValue() = 0;
    virtual std::string getString() = 0;
    virtual std::string getFormula() = 0;
    virtual void setString(const std::string& text) = 0;
};

class ServerCursor {
public:
    virtual ~ServerCursor() = default;
    virtual void gotoEndOfUsedArea(bool expand) = 0;
    virtual CellRangeAddress getRangeAddress() = 0;
};

class ServerSheet {
public:
    virtual ~ServerSheet() = default;
    virtual std::string getName() = 0;
    virtual std::shared_ptr<ServerCell> getCellByPosition(std::int32_t column, std::int32_t row) = 0;
    // The cell must come from this sheet.
    virtual std::shared_ptr<ServerCursor> createCursorByRange(ServerCell& cell) = 0;
};

class ServerSheets {
public:
    virtual ~ServerSheets() = default;
    virtual std::shared_ptr<ServerSheet> getByIndex(std::uint16_t index) = 0;
    virtual std::shared_ptr<ServerSheet> getByName(const std::string& name) = 0;
};

class ServerController {
public:
    virtual ~ServerController() = default;
    virtual void setActiveSheet(ServerSheet& sheet) = 0;
    virtual std::shared_ptr<ServerSheet> getActiveSheet() = 0;
};

// The look of a sheet and its printed page, as a template is made (the
// report's filling never changes it).
struct SheetLayout {
    std::string name;                         // the sheet's name
    std::vector<std::int32_t> column_widths;  // 1/100 mm, from the first column
    std::vector<CellRangeAddress> framed;     // every cell framed by a thin line
    std::vector<std::int32_t> bold_rows;
    bool landscape = false;
    // The page footer's centre: this text, a blank and the page number.
    std::string footer;
};

class ServerDocument {
public:
    virtual ~ServerDocument() = default;
    // Only the office lays out a sheet and its page.
    virtual void setSheetLayout(std::uint16_t /*sheet_index*/, const SheetLayout& /*layout*/) {
        throw ServerError("setSheetLayout: this server does not lay out sheets");
    }
    virtual std::shared_ptr<ServerSheets> getSheets() = 0;
    virtual std::shared_ptr<ServerController> getCurrentController() = 0;
    virtual void storeAsURL(const std::string& url, const PropertyValues& options) = 0;
    virtual void storeToURL(const std::string& url, const PropertyValues& options) = 0;
    virtual void close(bool deliver_ownership) = 0;
    virtual void lockControllers() = 0;
    virtual void unlockControllers() = 0;
    virtual void addActionLock() = 0;
    virtual void removeActionLock() = 0;
};

class ServerDesktop {
public:
    virtual ~ServerDesktop() = default;
    // Null when the server gave no document.
    virtual std::shared_ptr<ServerDocument> loadComponentFromURL(const std::string& url, const std::string& target,
                                                                 std::int32_t search_flags,
                                                                 const PropertyValues& options) = 0;
};

// The service manager: the one object made from outside; its making is the
// connection to the server.
class ServerManager {
public:
    virtual ~ServerManager() = default;
    // Only "com.sun.star.frame.Desktop" is asked for.
    virtual std::shared_ptr<ServerDesktop> createInstance(const std::string& service) = 0;
};

// Makes the service manager, or throws ServerError saying why it cannot be had.
using ServerFactory = std::function<std::shared_ptr<ServerManager>()>;

}  // namespace grouttab
