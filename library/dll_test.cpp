#include "library/dll.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

using Compress = lib::dll::CdeclFunction4<int, Bytef*, uLongf*, const Bytef*, uLong>;

TEST(DllBinding, CallsRealZlibBoundByName) {
    lib::dll::Library zlib("libz.so.1");
    Compress compress("compress", zlib);
    Compress uncompress("uncompress", zlib);
    EXPECT_FALSE(zlib.is_loaded());

    const char text[] = "буровой раствор, буровой раствор, буровой раствор";
    std::vector<Bytef> packed(2 * sizeof text + 64);
    uLongf packed_len = packed.size();
    ASSERT_EQ(compress(packed.data(), &packed_len, reinterpret_cast<const Bytef*>(text), sizeof text), Z_OK);
    EXPECT_TRUE(zlib.is_loaded());
    void* first = compress.address();

    std::vector<Bytef> back(sizeof text);
    uLongf back_len = back.size();
    ASSERT_EQ(uncompress(back.data(), &back_len, packed.data(), packed_len), Z_OK);
    ASSERT_EQ(back_len, sizeof text);
    EXPECT_EQ(std::memcmp(back.data(), text, sizeof text), 0);

    // A second call reuses the resolved address.
    packed_len = packed.size();
    compress(packed.data(), &packed_len, reinterpret_cast<const Bytef*>(text), sizeof text);
    EXPECT_EQ(compress.address(), first);

    // After the library is freed the function loads it again.
    zlib.free();
    packed_len = packed.size();
    EXPECT_EQ(compress(packed.data(), &packed_len, reinterpret_cast<const Bytef*>(text), sizeof text), Z_OK);
    EXPECT_TRUE(zlib.is_loaded());
}

TEST(DllBinding, ReportsMissingLibraryOnEveryCall) {
    lib::dll::Library missing("libno-such-library.so.7");
    Compress f("compress", missing);
    for (int i = 0; i < 2; ++i) {
        try {
            f(nullptr, nullptr, nullptr, 0);
            FAIL() << "no exception";
        } catch (const lib::dll::Exception& e) {
            EXPECT_STREQ(e.what(), "Library::load: can't load library 'libno-such-library.so.7'");
        }
        EXPECT_FALSE(missing.is_loaded());
    }
}

TEST(DllBinding, ReportsMissingProcedureAndKeepsLibraryLoaded) {
    lib::dll::Library zlib("libz.so.1");
    Compress f("no_such_proc", zlib);
    try {
        f(nullptr, nullptr, nullptr, 0);
        FAIL() << "no exception";
    } catch (const lib::dll::Exception& e) {
        EXPECT_STREQ(e.what(), "Library::get_proc_address: can't find procedure 'no_such_proc' in library 'libz.so.1'");
    }
    EXPECT_TRUE(zlib.is_loaded());
}

TEST(DllBinding, UninitialisedFunctionAndNamelessLibrary) {
    lib::dll::FunctionBase none;
    EXPECT_THROW(none.load(), lib::dll::Exception);
    lib::dll::Library nameless;
    EXPECT_THROW(nameless.load(), lib::dll::Exception);
    try {
        nameless.load();
    } catch (const lib::dll::Exception& e) {
        EXPECT_STREQ(e.what(), "Library::load: name is empty");
    }
}

}  // namespace
