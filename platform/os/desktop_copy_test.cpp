#include "platform/os/desktop.h"
#include "platform/os/file_copy.h"

#include <gtest/gtest.h>

#include "platform/os/directory.h"
#include "platform/os/testing.h"

namespace os {
namespace {

TEST(CopyFile, CopiesWholeAndKeepsAnExistingTargetWhenAsked) {
    testing::TempDir dir;
    testing::write_bytes(dir / "a", std::string(200000, 'x'));
    EXPECT_TRUE(copy_file(dir / "a", dir / "b", true));
    EXPECT_EQ(testing::read_bytes(dir / "b"), std::string(200000, 'x'));
    testing::write_bytes(dir / "c", "old");
    EXPECT_FALSE(copy_file(dir / "a", dir / "c", true));
    EXPECT_EQ(testing::read_bytes(dir / "c"), "old");
    EXPECT_TRUE(copy_file(dir / "a", dir / "c", false));
    EXPECT_EQ(testing::read_bytes(dir / "c").size(), 200000u);
    // A missing source or target folder copies nothing.
    EXPECT_FALSE(copy_file(dir / "missing", dir / "d", true));
    EXPECT_FALSE(path_exists(dir / "d"));
    EXPECT_FALSE(copy_file(dir / "a", dir / "no/d", true));
}

TEST(OpenDocument, AHandlerThatCannotStartIsReported) {
    set_document_opener("/nonexistent/opener");
    std::string error;
    EXPECT_FALSE(open_document("/tmp/x.realtim", &error));  // null handle
    EXPECT_FALSE(error.empty());
    set_document_opener("");
}

}  // namespace
}  // namespace os
