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
// call can be made to fail. A test peer: compiled only into the tests.

#include <osl/file.hxx>
#include <rtl/ustring.hxx>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/rtl/numbers.h"
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

    // Every store that also left a file, in order; the file names its entry.
    std::vector<StoredFile> disk;
    // The workbook a stored file on disk holds; null for any other file.
    const StoredFile* find_on_disk(const std::string& path) const;
    // The same for a file a test expects: throws when it is none.
    const StoredFile& on_disk(const std::string& path) const;

    void call(const std::string& name, const std::string& argument = {});

private:
    MemoryOffice() = default;
};



namespace memory_detail {

// The office's sheet size: columns A to AMJ, rows 1 to 1048576.
inline constexpr std::int32_t kColumns = 1024;
inline constexpr std::int32_t kRows = 1048576;
inline const std::string kDiskMark = "in-memory workbook ";

inline std::string system_path_of(const std::string& url) {
    rtl::OUString path;
    const rtl::OUString in = rtl::OStringToOUString(rtl::OString(url.data(), url.size()), RTL_TEXTENCODING_UTF8);
    if (osl::FileBase::getSystemPathFromFileURL(in, path) != osl::FileBase::E_None) return {};
    const rtl::OString p = rtl::OUStringToOString(path, RTL_TEXTENCODING_UTF8);
    return std::string(p.getStr(), p.getLength());
}

inline std::string number_text(double v) { return rtl::FloatToStr(v); }

struct DocumentState {
    std::shared_ptr<MemoryOffice> office;
    MemoryWorkbook book;
    std::size_t active = 0;
    bool closed = false;
};

class Cell : public ServerCell {
public:
    Cell(std::shared_ptr<DocumentState> doc, std::size_t sheet, std::int32_t column, std::int32_t row)
        : doc_(std::move(doc)), sheet_(sheet), column_(column), row_(row) {}

    double getValue() override {
        const MemoryCell* c = find();
        return c && c->kind == MemoryCell::value ? c->number : 0.0;
    }
    std::string getString() override {
        const MemoryCell* c = find();
        if (!c) return {};
        return c->kind == MemoryCell::value ? number_text(c->number) : c->content;
    }
    std::string getFormula() override {
        const MemoryCell* c = find();
        if (!c) return {};
        return c->kind == MemoryCell::value ? number_text(c->number) : c->content;
    }
    void setString(const std::string& text) override {
        doc_->office->call("setString", text);
        sheet().set_text(column_, row_, text);
    }

    std::size_t sheet_index() const { return sheet_; }
    std::int32_t column() const { return column_; }
    std::int32_t row() const { return row_; }

private:
    MemorySheet& sheet() {
        if (doc_->closed || sheet_ >= doc_->book.sheets.size())
            throw ServerError("DisposedException: the document is closed");
        return doc_->book.sheets[sheet_];
    }
    const MemoryCell* find() {
        auto& cells = sheet().cells;
        auto it = cells.find({column_, row_});
        return it == cells.end() ? nullptr : &it->second;
    }
    std::shared_ptr<DocumentState> doc_;
    std::size_t sheet_;
    std::int32_t column_, row_;
};

class Cursor : public ServerCursor {
public:
    Cursor(std::shared_ptr<DocumentState> doc, std::size_t sheet, std::int32_t column, std::int32_t row)
        : doc_(std::move(doc)), sheet_(sheet) {
        address_.StartColumn = address_.EndColumn = column;
        address_.StartRow = address_.EndRow = row;
    }
    void gotoEndOfUsedArea(bool expand) override {
        std::int32_t last_column = 0, last_row = 0;
        for (const auto& [pos, cell] : doc_->book.sheets.at(sheet_).cells) {
            if (cell.kind == MemoryCell::empty) continue;
            last_column = std::max(last_column, pos.first);
            last_row = std::max(last_row, pos.second);
        }
        if (!expand) {
            address_.StartColumn = last_column;
            address_.StartRow = last_row;
        }
        address_.EndColumn = last_column;
        address_.EndRow = last_row;
    }
    CellRangeAddress getRangeAddress() override { return address_; }

private:
    std::shared_ptr<DocumentState> doc_;
    std::size_t sheet_;
    CellRangeAddress address_;
};

class Sheet : public ServerSheet {
public:
    Sheet(std::shared_ptr<DocumentState> doc, std::size_t index) : doc_(std::move(doc)), index_(index) {}
    std::string getName() override { return doc_->book.sheets.at(index_).name; }
    std::shared_ptr<ServerCell> getCellByPosition(std::int32_t column, std::int32_t row) override {
        if (column < 0 || column >= kColumns || row < 0 || row >= kRows)
            throw ServerError("IndexOutOfBoundsException: no cell at column " + std::to_string(column) + ", row " +
                              std::to_string(row));
        return std::make_shared<Cell>(doc_, index_, column, row);
    }
    std::shared_ptr<ServerCursor> createCursorByRange(ServerCell& cell) override {
        auto* c = dynamic_cast<Cell*>(&cell);
        if (!c || c->sheet_index() != index_) throw ServerError("IllegalArgumentException: a cell of another sheet");
        return std::make_shared<Cursor>(doc_, index_, c->column(), c->row());
    }
    std::size_t index() const { return index_; }

private:
    std::shared_ptr<DocumentState> doc_;
    std::size_t index_;
};

class Sheets : public ServerSheets {
public:
    explicit Sheets(std::shared_ptr<DocumentState> doc) : doc_(std::move(doc)) {}
    std::shared_ptr<ServerSheet> getByIndex(std::uint16_t index) override {
        if (index >= doc_->book.sheets.size())
            throw ServerError("IndexOutOfBoundsException: no sheet " + std::to_string(index));
        return std::make_shared<Sheet>(doc_, index);
    }
    std::shared_ptr<ServerSheet> getByName(const std::string& name) override {
        for (std::size_t i = 0; i < doc_->book.sheets.size(); ++i)
            if (doc_->book.sheets[i].name == name) return std::make_shared<Sheet>(doc_, i);
        throw ServerError("NoSuchElementException: no sheet \"" + name + "\"");
    }

private:
    std::shared_ptr<DocumentState> doc_;
};

class Controller : public ServerController {
public:
    explicit Controller(std::shared_ptr<DocumentState> doc) : doc_(std::move(doc)) {}
    void setActiveSheet(ServerSheet& sheet) override {
        auto* s = dynamic_cast<Sheet*>(&sheet);
        if (!s) throw ServerError("IllegalArgumentException: not a sheet of this document");
        doc_->office->call("setActiveSheet", std::to_string(s->index()));
        doc_->active = s->index();
    }
    std::shared_ptr<ServerSheet> getActiveSheet() override { return std::make_shared<Sheet>(doc_, doc_->active); }

private:
    std::shared_ptr<DocumentState> doc_;
};

class Document : public ServerDocument {
public:
    explicit Document(std::shared_ptr<DocumentState> doc) : doc_(std::move(doc)) {}
    std::shared_ptr<ServerSheets> getSheets() override {
        check("getSheets");
        if (doc_->office->failing.count("getSheets")) throw ServerError("getSheets failed");
        return std::make_shared<Sheets>(doc_);
    }
    std::shared_ptr<ServerController> getCurrentController() override {
        check("getCurrentController");
        return std::make_shared<Controller>(doc_);
    }
    void storeAsURL(const std::string& url, const PropertyValues& options) override {
        store("storeAsURL", url, options);
    }
    void storeToURL(const std::string& url, const PropertyValues& options) override {
        store("storeToURL", url, options);
    }
    void close(bool) override {
        check("close");
        doc_->office->call("close");
        doc_->closed = true;
        --doc_->office->open_documents;
    }
    void lockControllers() override { simple("lockControllers"); }
    void unlockControllers() override { simple("unlockControllers"); }
    void addActionLock() override { simple("addActionLock"); }
    void removeActionLock() override { simple("removeActionLock"); }

private:
    void check(const std::string& name) {
        if (doc_->closed) throw ServerError("DisposedException: " + name + " on a closed document");
    }
    void simple(const std::string& name) {
        check(name);
        doc_->office->call(name);
    }
    void store(const std::string& name, const std::string& url, const PropertyValues& options) {
        check(name);
        std::string filter;
        for (const auto& o : options)
            if (o.Name == "FilterName" && std::holds_alternative<std::string>(o.Value))
                filter = std::get<std::string>(o.Value);
        doc_->office->call(name, url + (filter.empty() ? "" : " " + filter));
        doc_->office->files[url] = StoredFile{doc_->book, filter};
        mirror_on_disk(url);
    }
    // Best effort: tests that store into folders that do not exist keep
    // working, the workbook itself staying in the office's map. The file on
    // disk names the workbook, so a file the program moves can be loaded
    // and looked at under its new name.
    void mirror_on_disk(const std::string& url) {
        const std::string system_path = system_path_of(url);
        const auto slash = system_path.rfind('/');
        if (slash == std::string::npos || !os::is_directory(system_path.substr(0, slash))) return;
        auto& office = *doc_->office;
        office.disk.push_back(office.files[url]);
        os::replace_file(system_path, kDiskMark + std::to_string(office.disk.size() - 1) + "\n");
    }
    std::shared_ptr<DocumentState> doc_;
};

class Desktop : public ServerDesktop {
public:
    explicit Desktop(std::shared_ptr<MemoryOffice> office) : office_(std::move(office)) {}
    std::shared_ptr<ServerDocument> loadComponentFromURL(const std::string& url, const std::string&, std::int32_t,
                                                         const PropertyValues& options) override {
        bool hidden = false;
        for (const auto& o : options)
            if (o.Name == "Hidden" && std::holds_alternative<bool>(o.Value)) hidden = std::get<bool>(o.Value);
        office_->call("loadComponentFromURL", url + (hidden ? " Hidden" : ""));
        auto state = std::make_shared<DocumentState>();
        state->office = office_;
        if (url == "private:factory/scalc") {
            state->book.sheets.push_back(MemorySheet{"Лист1", {}});
        } else {
            auto it = office_->files.find(url);
            const StoredFile* file = it == office_->files.end() ? office_->find_on_disk(system_path_of(url))
                                                                : &it->second;
            if (!file) return nullptr;
            state->book = file->book;
        }
        ++office_->open_documents;
        if (!hidden) office_->shown.push_back(url);
        return std::make_shared<Document>(state);
    }

private:
    std::shared_ptr<MemoryOffice> office_;
};

class Manager : public ServerManager {
public:
    explicit Manager(std::shared_ptr<MemoryOffice> office) : office_(std::move(office)) {}
    std::shared_ptr<ServerDesktop> createInstance(const std::string& service) override {
        if (service != "com.sun.star.frame.Desktop") throw ServerError("no service " + service);
        return std::make_shared<Desktop>(office_);
    }

private:
    std::shared_ptr<MemoryOffice> office_;
};

}  // namespace memory_detail

inline void MemorySheet::set_text(std::int32_t column, std::int32_t row, const std::string& text) {
    if (text.empty()) {
        cells.erase({column, row});
        return;
    }
    MemoryCell c;
    c.kind = MemoryCell::text;
    c.content = text;
    cells[{column, row}] = c;
}

inline std::string MemorySheet::text(std::int32_t column, std::int32_t row) const {
    auto it = cells.find({column, row});
    if (it == cells.end()) return {};
    return it->second.kind == MemoryCell::value ? memory_detail::number_text(it->second.number) : it->second.content;
}

inline void MemoryOffice::call(const std::string& name, const std::string& argument) {
    calls.push_back(argument.empty() ? name : name + "(" + argument + ")");
    if (on_call) on_call(name);
    if (failing.count(name)) throw ServerError(name + " failed");
}

inline const StoredFile* MemoryOffice::find_on_disk(const std::string& path) const {
    std::string bytes;
    if (path.empty() || os::read_file(path, bytes) != 0) return nullptr;
    const std::string& mark = memory_detail::kDiskMark;
    if (bytes.rfind(mark, 0) != 0) return nullptr;
    std::size_t index = 0;
    for (std::size_t i = mark.size(); i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; ++i)
        index = index * 10 + static_cast<std::size_t>(bytes[i] - '0');
    return index < disk.size() ? &disk[index] : nullptr;
}

inline const StoredFile& MemoryOffice::on_disk(const std::string& path) const {
    if (const StoredFile* f = find_on_disk(path)) return *f;
    throw std::runtime_error("no workbook of the in-memory office is stored as " + path);
}

inline ServerFactory MemoryOffice::factory() {
    std::weak_ptr<MemoryOffice> weak = weak_from_this();
    return [weak]() -> std::shared_ptr<ServerManager> {
        auto office = weak.lock();
        if (!office || office->refuse) throw ServerError("the spreadsheet server refused the connection");
        return std::make_shared<memory_detail::Manager>(office);
    };
}

}  // namespace grouttab
