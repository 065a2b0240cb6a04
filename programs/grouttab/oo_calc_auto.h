#pragma once
// The report program's spreadsheet client: a thin layer of fixed call
// sequences on the spreadsheet server's objects (spreadsheet_server.h), so
// that the report build can open its template, read and write cells and
// store the result. It keeps handles to the server's objects; every
// operation but connect lets the server's failure pass to the caller, and
// handles set before a failing call keep their new values.
//
// Destruction releases the handles but closes nothing: a document still open
// then stays open in the spreadsheet application for the user.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "programs/grouttab/spreadsheet_server.h"

namespace grouttab {

// What read_cell gives: a number (kind 1) or a text.
using CellValue = std::variant<double, std::string>;
// The value as text: a number in the station's number form.
std::string cell_value_text(const CellValue& value);

// Display texts of the cell content kinds 0 to 3 (empty, number, text,
// formula); the empty text for any other kind.
std::string cell_kind_name(int kind);

// The file URL of a local path, made by the office SDK's own conversion, so
// blanks, '#', '%' and letters outside ASCII reach the office intact.
// Backslashes of stored paths are folder separators. Throws ServerError when
// the path cannot be made a URL.
std::string make_file_url(const std::string& path);

class OOCalcAuto {
public:
    // The server that connect will reach.
    explicit OOCalcAuto(ServerFactory factory);
    ~OOCalcAuto();
    OOCalcAuto(const OOCalcAuto&) = delete;
    OOCalcAuto& operator=(const OOCalcAuto&) = delete;

    // Reaches the server and its desktop; false when the server cannot be had
    // (the cause in connect_error()).
    bool connect();
    const std::string& connect_error() const { return connect_error_; }

    // Loads the file (a new, empty spreadsheet for an empty path), hidden or
    // in a window. A load that gives no document throws: nothing could be
    // done with it.
    void open_document(bool hidden, const std::string& path);
    void select_sheet_by_index(int index);
    void select_sheet_by_name(const std::string& name);
    // Kinds 1 (number), 2 (text), 3 (formula) of the cell on the active sheet;
    // any other kind reads nothing and gives the empty text.
    CellValue read_cell(int kind, std::int32_t column, std::int32_t row);
    void set_cell_string(std::int32_t column, std::int32_t row, const std::string& text);
    // The 0-based column and row of the last used cell of the current sheet.
    void get_used_area_end(std::uint32_t& last_column, std::uint32_t& last_row);
    void close_document();
    // Lays out sheet `index` of the open document and its page (the
    // template's look; the report's filling never calls it).
    void set_sheet_layout(int index, const SheetLayout& layout);
    // Mode 1 binds the document to the file (store as), mode 2 writes a copy
    // (store to); both in the Excel 97 format, which is what the file's ".xls"
    // promises. Other modes store nothing.
    void store_document(const std::string& path, int mode);
    // Clear: the views stop repainting and the document takes an action lock;
    // set: both are undone.
    void lock_controllers(bool unlock);
    void release_handles();

    // The URL the client hands the server for a path (make_file_url above).
    static std::string make_file_url(const std::string& path) { return ::grouttab::make_file_url(path); }

    bool has_document() const { return document_ != nullptr; }

private:
    ServerFactory factory_;
    std::string connect_error_;
    std::shared_ptr<ServerManager> service_manager_;
    std::shared_ptr<ServerDesktop> desktop_;
    std::shared_ptr<ServerDocument> document_;
    std::shared_ptr<ServerSheets> sheets_;
    std::shared_ptr<ServerSheet> current_sheet_;
    std::shared_ptr<ServerCell> current_cell_;
};

}  // namespace grouttab
