#include "platform/os/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

TEST(OsPaths, ProgramDirIsTheExecutablesFolderUnlessOverridden) {
    std::string dir = os::program_dir();
    EXPECT_NE(dir.find("bin"), std::string::npos) << dir;
    os::set_program_dir_override("/tmp/somewhere/");
    EXPECT_EQ(os::program_dir(), "/tmp/somewhere");
    os::set_program_dir_override("");
    EXPECT_EQ(os::program_dir(), dir);
}

TEST(OsPaths, RuntimeDirIsPrivate) {
    std::string dir = os::runtime_dir();
    struct stat st {};
    ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(os::runtime_dir(), dir);
}
