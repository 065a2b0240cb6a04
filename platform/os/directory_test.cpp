#include "platform/os/directory.h"

#include "platform/os/testing.h"

#include <fstream>
#include <gtest/gtest.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct MaskCase {
    const char* mask;
    const char* name;
    bool matches;
};

TEST(OsMask, WindowsRules) {
    const MaskCase cases[] = {
        {"????.realtim", "0012.realtim", true},
        {"????.realtim", "12.realtim", true},  // a run of '?' may stop at the dot
        {"????.realtim", "00012.realtim", false},
        {"????.realtim", "0012.realtim.bak", false},
        {"????.realtim", "0012.REALTIM", true},
        {"0012.*real*", "0012.realtim", true},
        {"0012.*real*", "0012.fast.realtim", true},
        {"0012.*real*", "0012.reallag", true},
        {"0012.*real*", "0013.realtim", false},
        {"0012.*real*", "0012.params", false},
        {"*.LAS", "well.las", true},
        {"*.LAS", "WELL.LAS", true},
        {"*.LAS", "well.las.bak", false},
        {"*.LAS", "las", false},
        {"*.*", "name.ext", true},
        {"*.*", "noext", true},
        {"*.*", ".nolocking", true},
        {"*.*", "a.b.c", true},
        {"*", "anything.at.all", true},
        {"a?", "a", true},  // a trailing '?' may match nothing
        {"a?", "ab", true},
        {"a?", "abc", false},
        {"a?c", "ac", false},  // not trailing: it must match one
        {"abc.", "abc", true},
        {"*.dll", "cement.dll", true},
        {"*.dll", "cement.so", false},
        {"Скважина*.txt", "скважина_1.TXT", true},  // Russian letters fold too
        {"ЁЖИК.*", "ёжик.ini", true},
        {"ЇЖАК?", "їжак", true},
        {"*.ЛАС", "скв.лас", true},
        {"\xFF*",
         "\xFF"
         "abc",
         true},  // bytes that are not UTF-8 match themselves
        {"\xFE*",
         "\xFF"
         "abc",
         false},
        {"data", "DATA", true},
        {"data", "data2", false},
        {"*_", "pult_", true},
    };
    for (const auto& c : cases) EXPECT_EQ(os::mask_matches(c.mask, c.name), c.matches) << c.mask << " vs " << c.name;
}

void touch(const std::string& path, const std::string& content = "x") {
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> names(const std::vector<os::FoundEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.name);
    return out;
}

TEST(OsFind, SortedByNameWithSyntheticAttributes) {
    os::testing::TempDir dir;
    touch(dir / "b.txt", "12345");
    touch(dir / "A.txt");
    touch(dir / ".hidden_here");
    touch(dir / "ro.txt");
    ::chmod((dir / "ro.txt").c_str(), 0444);
    ::mkdir((dir / "sub").c_str(), 0700);
    ::mkfifo((dir / "pipe").c_str(), 0600);

    auto files = os::find_entries(dir / "*.*", 0);
    EXPECT_EQ(names(files), (std::vector<std::string>{".hidden_here", "A.txt", "b.txt", "ro.txt"}));
    EXPECT_EQ(files[0].attributes, os::fa_normal);  // dot files are not hidden
    EXPECT_EQ(files[2].size, 5);
    EXPECT_EQ(files[3].attributes, os::fa_read_only);

    auto with_dirs = os::find_entries(dir / "*", os::fa_directory);
    EXPECT_EQ(names(with_dirs), (std::vector<std::string>{".hidden_here", "A.txt", "b.txt", "ro.txt", "sub"}));
    EXPECT_EQ(with_dirs.back().attributes, os::fa_directory);

    auto all = os::find_entries(dir / "*", os::fa_any);
    EXPECT_EQ(all.size(), 6u);  // the FIFO too, as a system entry

    EXPECT_TRUE(os::find_entries(dir / "*.none", os::fa_any).empty());
    EXPECT_TRUE(os::find_entries(dir / "missing/*.*", os::fa_any).empty());
    EXPECT_EQ(names(os::find_entries(dir.path() + "\\B.TXT", 0)), (std::vector<std::string>{"b.txt"}));
}

TEST(OsFind, LinksAreNeverFollowedIntoAndALoopIsHarmless) {
    os::testing::TempDir dir;
    ::mkdir((dir / "real").c_str(), 0700);
    touch(dir / "real/file.dat", "abc");
    ASSERT_EQ(::symlink("real/file.dat", (dir / "link.dat").c_str()), 0);
    ASSERT_EQ(::symlink(".", (dir / "loop").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);

    auto all = os::find_entries(dir / "*", os::fa_directory);
    ASSERT_EQ(names(all), (std::vector<std::string>{"dangling", "link.dat", "loop", "real"}));
    EXPECT_EQ(all[1].attributes, os::fa_normal);
    EXPECT_EQ(all[1].size, 3);                    // a link to a file reads as that file
    EXPECT_EQ(all[2].attributes, os::fa_normal);  // not a folder: never searched into
    EXPECT_EQ(all[3].attributes, os::fa_directory);

    EXPECT_TRUE(os::remove_file(dir / "loop"));
    EXPECT_TRUE(os::remove_file(dir / "link.dat"));
    EXPECT_TRUE(os::path_exists(dir / "real/file.dat"));
    EXPECT_FALSE(os::remove_directory(dir / "real"));  // not empty
    EXPECT_TRUE(os::is_directory(dir / "real"));
}

TEST(OsTempDirectory, EachCallMakesAFreshPrivateFolder) {
    os::testing::TempDir dir;
    const std::string a = os::make_temp_directory(dir.path() + "/", "pack-");
    const std::string b = os::make_temp_directory(dir.path(), "pack-");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(dir.path() + "/pack-", 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(a.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(os::make_temp_directory(dir / "missing", "x").empty());
}

}  // namespace

namespace {

void put_file(const std::string& path, const std::string& text) { ASSERT_EQ(os::replace_file(path, text), 0) << path; }

// A folder and its parents are made in one call, with '\' too; a file in
// the way is refused. A tree is removed whole, but a link inside it (or the
// tree's own name as a link) goes as a link: what it points to stays.
TEST(OsFolders, MadeWithParentsRemovedWithoutFollowingLinksAndRenamed) {
    os::testing::TempDir dir;
    ASSERT_TRUE(os::make_directories(dir / "a\\b/c/"));
    EXPECT_TRUE(os::is_directory(dir / "a/b/c"));
    EXPECT_TRUE(os::make_directories(dir / "a/b"));  // already there
    put_file(dir / "a/file", "x");
    errno = 0;
    EXPECT_FALSE(os::make_directories(dir / "a/file/d"));
    EXPECT_EQ(errno, ENOTDIR);

    ASSERT_TRUE(os::make_directories(dir / "keep/inner"));
    put_file(dir / "keep/inner/precious", "p");
    put_file(dir / "a/b/c/data", "d");
    ASSERT_EQ(::symlink((dir / "keep").c_str(), (dir / "a/b/to_keep").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "keep/inner/precious").c_str(), (dir / "a/to_file").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "keep").c_str(), (dir / "top_link").c_str()), 0);

    EXPECT_TRUE(os::remove_tree(dir / "a"));
    EXPECT_FALSE(os::path_exists(dir / "a"));
    EXPECT_TRUE(os::remove_tree(dir / "top_link"));
    EXPECT_FALSE(os::path_exists(dir / "top_link"));
    EXPECT_TRUE(os::file_exists(dir / "keep/inner/precious"));
    EXPECT_TRUE(os::remove_tree(dir / "never_was"));

    ASSERT_TRUE(os::rename_entry(dir / "keep", dir / "kept"));
    EXPECT_TRUE(os::file_exists(dir / "kept/inner/precious"));
    EXPECT_FALSE(os::rename_entry(dir / "keep", dir / "again"));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
