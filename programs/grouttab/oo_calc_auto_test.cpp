// The spreadsheet client's call sequences, against the in-memory server.

#include "programs/grouttab/oo_calc_auto.h"

#include <gtest/gtest.h>

#include "programs/grouttab/testdata/memory_server.h"

namespace grouttab {
namespace {

TEST(MakeFileUrl, EscapesWhatAUrlCannotHoldAndTakesBackslashesAsFolders) {
    EXPECT_EQ(make_file_url("/st/Скв 7/a#b%c.xls"), "file:///st/%D0%A1%D0%BA%D0%B2%207/a%23b%25c.xls");
    EXPECT_EQ(make_file_url("/st\\w 1\\r.xls"), "file:///st/w%201/r.xls");
    // The office knows nothing of our working folder.
    const std::string relative = make_file_url("rel.xls");
    EXPECT_EQ(relative.rfind("file:///", 0), 0u) << relative;
    EXPECT_EQ(relative.substr(relative.size() - 8), "/rel.xls");
}

TEST(CellKinds, HaveTheirDisplayNames) {
    EXPECT_EQ(cell_kind_name(0), "Пустое значение");
    EXPECT_EQ(cell_kind_name(1), "Число");
    EXPECT_EQ(cell_kind_name(2), "Текст");
    EXPECT_EQ(cell_kind_name(3), "Формула");
    EXPECT_EQ(cell_kind_name(4), "");
}

class Client : public ::testing::Test {
protected:
    Client() {
        MemoryWorkbook book;
        book.sheets.push_back(MemorySheet{"Первый", {}});
        book.sheets.push_back(MemorySheet{"Второй", {}});
        MemoryCell number;
        number.kind = MemoryCell::value;
        number.number = 2.5;
        book.sheets[1].cells[{1, 2}] = number;
        MemoryCell formula;
        formula.kind = MemoryCell::formula;
        formula.content = "=B3*2";
        book.sheets[1].cells[{4, 6}] = formula;
        office->files[make_file_url("/t/book.xls")] = StoredFile{book, ""};
    }
    std::shared_ptr<MemoryOffice> office = MemoryOffice::create();
};

TEST_F(Client, ReadsEachKindOnTheActiveSheetAndFindsTheUsedAreaEnd) {
    OOCalcAuto oo(office->factory());
    ASSERT_TRUE(oo.connect());
    oo.open_document(true, "/t/book.xls");
    oo.select_sheet_by_index(1);
    EXPECT_EQ(std::get<double>(oo.read_cell(1, 1, 2)), 2.5);
    EXPECT_EQ(std::get<std::string>(oo.read_cell(2, 1, 2)), "2,5");
    EXPECT_EQ(std::get<std::string>(oo.read_cell(3, 4, 6)), "=B3*2");
    // Kinds outside 1..3 read nothing, yet still fetch the cell.
    for (int kind : {0, 4}) EXPECT_EQ(std::get<std::string>(oo.read_cell(kind, 1, 2)), "") << kind;
    EXPECT_THROW(oo.read_cell(2, -1, 0), ServerError);
    std::uint32_t column = 99, row = 99;
    oo.get_used_area_end(column, row);
    EXPECT_EQ(column, 4u);
    EXPECT_EQ(row, 6u);

    // A write after a read lands on the same sheet.
    oo.read_cell(2, 0, 0);
    oo.set_cell_string(0, 0, "новое");
    oo.store_document("/t/copy.xls", 2);
    EXPECT_EQ(office->files.at(make_file_url("/t/copy.xls")).book.sheets[1].text(0, 0), "новое");
    EXPECT_EQ(office->files.at(make_file_url("/t/copy.xls")).filter, "MS Excel 97");
    EXPECT_THROW(oo.select_sheet_by_name("Нет такого"), ServerError);
}

TEST_F(Client, StoreModesOutsideOneAndTwoStoreNothing) {
    OOCalcAuto oo(office->factory());
    ASSERT_TRUE(oo.connect());
    oo.open_document(true, "");  // a new, empty spreadsheet
    EXPECT_EQ(office->calls.front(), "loadComponentFromURL(private:factory/scalc Hidden)");
    for (int mode : {0, 3}) oo.store_document("/t/none.xls", mode);
    EXPECT_EQ(office->files.count(make_file_url("/t/none.xls")), 0u);
}

TEST_F(Client, FailuresOfTheServerReachTheCaller) {
    OOCalcAuto oo(office->factory());
    office->refuse = true;
    EXPECT_FALSE(oo.connect());
    EXPECT_EQ(oo.connect_error(), "the spreadsheet server refused the connection");
    EXPECT_THROW(oo.open_document(true, "/t/book.xls"), ServerError);  // no desktop
    office->refuse = false;
    ASSERT_TRUE(oo.connect());
    EXPECT_THROW(oo.open_document(true, "/t/missing.xls"), ServerError);  // no document
    EXPECT_FALSE(oo.has_document());
    EXPECT_THROW(oo.select_sheet_by_index(0), ServerError);
}

TEST_F(Client, DestructionLeavesAShownDocumentOpen) {
    {
        OOCalcAuto oo(office->factory());
        ASSERT_TRUE(oo.connect());
        oo.open_document(false, "/t/book.xls");
    }
    EXPECT_EQ(office->open_documents, 1);
    EXPECT_EQ(office->shown, std::vector<std::string>{make_file_url("/t/book.xls")});
}

}  // namespace
}  // namespace grouttab
