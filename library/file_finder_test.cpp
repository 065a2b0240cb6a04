#include "library/file_finder.h"

#include "platform/os/directory.h"
#include "platform/os/testing.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

void touch(const std::string& path, const std::string& content = "x") {
    std::ofstream(path, std::ios::binary) << content;
}

void mkdirs(const std::string& path) { std::filesystem::create_directories(path); }

std::vector<std::string> listing(const lib::FileFinder& f, const std::string& root) {
    std::vector<std::string> out;
    for (const auto& r : f.files) out.push_back(r.path.substr(root.size()) + r.name);
    return out;
}

TEST(FileFinder, DescentGivesSubfoldersFirstDeepestFirst) {
    os::testing::TempDir dir;
    std::string root = dir.path() + "/";
    mkdirs(dir / "data/s1/deep");
    mkdirs(dir / "data/s2");
    touch(dir / "data/a.txt", "12");
    touch(dir / "data/b.dat");
    touch(dir / "data/s1/b.txt");
    touch(dir / "data/s1/deep/c.txt", "1234");
    touch(dir / "data/s2/e.TXT");
    touch(dir / "data/s2/d.txt");

    lib::FileFinder f;
    f.find(root + "data/*.txt", 0, true);
    EXPECT_EQ(listing(f, root), (std::vector<std::string>{"data/s1/deep/c.txt", "data/s1/b.txt", "data/s2/d.txt",
                                                          "data/s2/e.TXT", "data/a.txt"}));
    EXPECT_EQ(f.total_size, 4 + 1 + 1 + 1 + 2);
    EXPECT_EQ(f.files.back().path, root + "data/");

    f.find(root + "data/*.dat", 0, false);  // results accumulate
    EXPECT_EQ(f.files.size(), 6u);
    EXPECT_EQ(f.files.back().name, "b.dat");
    EXPECT_EQ(f.total_size, 10);

    lib::FileFinder folders;
    folders.find(root + "data/*.*", 16, true);
    EXPECT_EQ(listing(folders, root), (std::vector<std::string>{"data/s1/deep", "data/s1", "data/s2"}));
}

TEST(FileFinder, ALinkLoopIsNotFollowed) {
    os::testing::TempDir dir;
    mkdirs(dir / "w/sub");
    touch(dir / "w/sub/f.realtim");
    ASSERT_EQ(::symlink("..", (dir / "w/sub/up").c_str()), 0);
    ASSERT_EQ(::symlink("sub", (dir / "w/again").c_str()), 0);
    lib::FileFinder f;
    f.find(dir / "w/*.realtim", 0, true);
    ASSERT_EQ(f.files.size(), 1u);
    EXPECT_EQ(f.files[0].name, "f.realtim");
}

TEST(FileFinder, SortsByNameNumberAndTime) {
    os::testing::TempDir dir;
    for (const char* n : {"10.dat", "9.dat", "abc.dat", "0012.dat"}) touch(dir / n);
    struct timespec old[2] = {{0, UTIME_OMIT}, {946684800, 0}};  // 2000
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "abc.dat").c_str(), old, 0), 0);
    lib::FileFinder f;
    f.find(dir / "*.dat", 0, false);
    f.sort_results(lib::ffsNumber);
    EXPECT_EQ(listing(f, dir.path() + "/"), (std::vector<std::string>{"abc.dat", "9.dat", "10.dat", "0012.dat"}));
    f.sort_results(lib::ffsName);
    EXPECT_EQ(listing(f, dir.path() + "/"), (std::vector<std::string>{"0012.dat", "10.dat", "9.dat", "abc.dat"}));
    f.sort_results(lib::ffsTime);
    EXPECT_EQ(f.files.front().name, "abc.dat");
    EXPECT_EQ(f.files.front().get_only_name(), "abc");
    f.sort_results(static_cast<lib::ffSortStyles>(9));  // leaves the order
    EXPECT_EQ(f.files.front().name, "abc.dat");

    lib::FindedFile a, b;
    a.path = "x/";
    a.name = "b";
    b.path = "x/b";
    b.name = "";
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(b < a);
}

TEST(FileHelpers, NamesAndPaths) {
    EXPECT_EQ(lib::check_file_name("a:b\"c\""), "a-b''c''");
    EXPECT_EQ(lib::check_file_name("1&2*3/4<5>6?7\\8|9,0 ё"), "1-2-3-4-5-6-7-8-9.0 ё");

    struct Case {
        const char* in;
        const char* dir;
        const char* path;
    };
    const Case cases[] = {
        {"C:\\data\\", "C:\\data", "C:\\data\\"},
        {"C:\\data", "C:\\data", "C:\\data/"},  // paths here end in /
        {"C:\\", "C:", "C:\\"},
        {"C:", "C:", "C:"},
        {"/data/", "/data", "/data/"},
        {"/data", "/data", "/data/"},
        {"/", "/", "/"},
        {"ab", "ab", "ab/"},  // a short folder name still gets its separator
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lib::check_dir_string(c.in), c.dir) << c.in;
        EXPECT_EQ(lib::check_path_string(c.in), c.path) << c.in;
    }
    EXPECT_EQ(lib::get_only_name("/a.b/c/0012.fast.realtim"), "0012.fast");
    EXPECT_EQ(lib::get_only_name("C:\\x\\name"), "name");
}

TEST(FileHelpers, SizeAndTimes) {
    os::testing::TempDir dir;
    touch(dir / "Five.bin", "12345");
    EXPECT_EQ(lib::get_file_size(dir / "five.BIN"), 5);
    EXPECT_EQ(lib::get_file_size(dir / "none.bin"), -1);
    EXPECT_EQ(lib::get_file_size(dir.path()), -1);
    struct timespec ts[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "Five.bin").c_str(), ts, 0), 0);
    lib::FILETIME access, write;
    ASSERT_TRUE(lib::get_file_times(dir / "Five.bin", &access, &write));
    EXPECT_EQ(write, os::filetime_from_unix(1234567890, 0));
    EXPECT_EQ(access, os::filetime_from_unix(1000000000, 0));
    EXPECT_TRUE(lib::get_file_times(dir / "Five.bin", nullptr, nullptr));
    EXPECT_FALSE(lib::get_file_times(dir / "none", &access, &write));
}

TEST(FileHelpers, CreateClearAndRemoveFolders) {
    os::testing::TempDir dir;
    lib::create_dir_recursively(dir / "one/two/three");
    EXPECT_TRUE(os::is_directory(dir / "one/two/three"));
    lib::create_dir_recursively(dir / "one/two/three");  // exists: nothing to do

    touch(dir / "one/a.txt");
    touch(dir / "one/.b");
    touch(dir / "one/two/c.txt");
    lib::clear_dir(dir / "one/");
    EXPECT_FALSE(os::path_exists(dir / "one/a.txt"));
    EXPECT_FALSE(os::path_exists(dir / "one/.b"));
    EXPECT_TRUE(os::path_exists(dir / "one/two/c.txt"));

    // Links inside the tree go, what they point to stays.
    mkdirs(dir / "outside");
    touch(dir / "outside/precious.txt");
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "one/two/to_outside").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside/precious.txt").c_str(), (dir / "one/file_link").c_str()), 0);
    ASSERT_EQ(::symlink("..", (dir / "one/two/three/loop").c_str()), 0);
    touch(dir / "one/two/three/ro.txt");
    ::chmod((dir / "one/two/three/ro.txt").c_str(), 0444);
    touch(dir / "one_neighbour.txt");

    lib::remove_directory_with_files(dir / "one");  // no separator: still the folder, not its neighbours
    EXPECT_TRUE(os::is_directory(dir / "one"));
    EXPECT_TRUE(os::find_entries(dir / "one/*", os::fa_any).empty());
    EXPECT_TRUE(os::path_exists(dir / "outside/precious.txt"));
    EXPECT_TRUE(os::path_exists(dir / "one_neighbour.txt"));
    lib::remove_directory_with_files("");  // never the current folder
}

TEST(FileHelpers, TextFileLoadsOrGivesUpAfterItsTries) {
    os::testing::TempDir dir;
    std::string path = dir / "list.txt";
    touch(path, "\xCF\xE5\xF0\xE2\xE0\xFF\r\nsecond\r\n");  // "Первая" in Windows-1251
    rtl::StringList list;
    ASSERT_TRUE(lib::try_to_load_text_file(list, path, 3));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], "Первая");
    EXPECT_EQ(list[1], "second");

    rtl::StringList untouched;
    EXPECT_FALSE(lib::try_to_load_text_file(untouched, dir / "missing.txt", 3));
    EXPECT_FALSE(lib::try_to_load_text_file(untouched, dir.path(), 3));
    EXPECT_TRUE(lib::try_to_load_text_file(untouched, path, 0));
    EXPECT_EQ(untouched.Count(), 0);

    // Held by a writer: three tries, waiting 20, 40 and 80 ms, then false.
    os::testing::Child child([&](os::testing::ChildSide& side) {
        os::File f;
        if (f.open(path, os::File::Mode::write_append, false) != os::File::Status::ok) return 1;
        side.ready();
        side.wait_release();
        return 0;
    });
    ASSERT_EQ(child.wait_ready(), 'r');
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(lib::try_to_load_text_file(untouched, path, 3));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    EXPECT_EQ(untouched.Count(), 0);
    child.release();
    EXPECT_EQ(child.join(), 0);
    EXPECT_TRUE(lib::try_to_load_text_file(untouched, path, 1));
}

TEST(FileHelpers, CodingOfRussianText) {
    const std::string data = std::string(STATION_SOURCE_DIR) + "/library/testdata/coding/";
    EXPECT_FALSE(lib::check_file_coding(data + "russian.cp1251.txt"));
    EXPECT_TRUE(lib::check_file_coding(data + "russian.cp866.txt"));
    EXPECT_TRUE(lib::check_file_coding(data + "make.sh"));  // no Cyrillic: DOS
    os::testing::TempDir dir;
    touch(dir / "empty", "");
    EXPECT_TRUE(lib::check_file_coding(dir / "empty"));
    try {
        lib::check_file_coding(dir / "missing");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST(BrowseForFolder, ChosenFolderOrNothing) {
    std::string asked_title, started_at;
    std::string answer = "/data/wells";
    auto saved = ui::set_folder_dialog_handler([&](const std::string& caption, std::string& folder) {
        asked_title = caption;
        started_at = folder;
        if (answer.empty()) return false;
        folder = answer;
        return true;
    });
    std::string folder = "/data";
    EXPECT_TRUE(lib::browse_for_folder("Папка скважин", folder));
    EXPECT_EQ(asked_title, "Папка скважин");
    EXPECT_EQ(started_at, "/data");
    EXPECT_EQ(folder, "/data/wells");
    answer.clear();  // cancelled: the folder stays
    EXPECT_FALSE(lib::browse_for_folder("Папка скважин", folder));
    EXPECT_EQ(folder, "/data/wells");
    ui::set_folder_dialog_handler(saved);
}

}  // namespace
