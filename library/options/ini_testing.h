#pragma once
// For tests only: a fresh folder (removed afterwards) holding one INI file,
// read and written as the station keeps it on disk, in Windows-1251.

#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace ini_testing {

class IniFileTest : public ::testing::Test {
protected:
    explicit IniFileTest(const std::string& name) : dir_(tmp_.path()), file_(tmp_ / name) {}
    std::string file_text() const { return rtl::cp1251_to_utf8(os::testing::read_bytes(file_)); }
    void write_file(const std::string& utf8) const { os::testing::write_bytes(file_, rtl::utf8_to_cp1251(utf8)); }

    os::testing::TempDir tmp_;
    std::string dir_, file_;
};

}  // namespace ini_testing
