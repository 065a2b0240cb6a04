#pragma once
// A spreadsheet server that keeps its workbooks in memory: files are
// workbooks stored under their URLs, a load copies one into a document and a
// store copies the document back. It answers the calls of spreadsheet_server.h
// as the office does where the report program relies on it (the used area,
// the active sheet, cell kinds, an empty text reading as an empty cell), so
// the template filling can be tried without starting an office. A store to a
// file URL whose folder exists also leaves a file there, so the program's
// own handling of its output files meets real files. It logs each
// document call, so a test can check the order of the client's calls, and a
// call can be made to fail.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "programs/grouttab/spreadsheet_server.h"

namespace grouttab {

struct MemoryCell {
    enum Kind { empty, value, text, formula } kind = empty;
    double number = 0;
    std::string content;  // the text, or the formula
};

struct MemorySheet {
    std::string name;
    std::map<std::pair<std::int32_t, std::int32_t>, MemoryCell> cells;  // (column, row)
    // Convenience for fixtures: a text cell (an empty text empties it).
    void set_text(std::int32_t column, std::int32_t row, const std::string& text);
    std::string text(std::int32_t column, std::int32_t row) const;
};

struct MemoryWorkbook {
    std::vector<MemorySheet> sheets;
};

struct StoredFile {
    MemoryWorkbook book;
    std::string filter;  // the FilterName it was stored with ("" for none)
};

class MemoryOffice : public std::enable_shared_from_this<MemoryOffice> {
public:
    static std::shared_ptr<MemoryOffice> create() { return std::shared_ptr<MemoryOffice>(new MemoryOffice); }

    // A factory for OOCalcAuto that connects to this office; with `refuse`
    // set every connection fails.
    ServerFactory factory();
    bool refuse = false;

    std::map<std::string, StoredFile> files;  // by URL
    // Every document call, as "name" or "name(argument)".
    std::vector<std::string> calls;
    // A call whose name is here throws ServerError.
    std::set<std::string> failing;
    // Called with each logged call's name, before it is carried out.
    std::function<void(const std::string& name)> on_call;
    // The documents loaded and not closed.
    int open_documents = 0;
    // Titles of documents loaded without the "Hidden" option.
    std::vector<std::string> shown;

    void call(const std::string& name, const std::string& argument = {});

private:
    MemoryOffice() = default;
};

}  // namespace grouttab
