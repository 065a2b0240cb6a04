#include "library/plugin_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "library/test_plugins/test_plugin.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

namespace fs = std::filesystem;

namespace {

const fs::path built = fs::path(STATION_BINARY_DIR) / "test_plugins" / "Durvalib";

struct Recorder : lib::PluginManager {
    std::vector<std::string> loaded;
    std::vector<int> load_index, unload_index;
    int destroyed = 0;
    void after_load_item(reg::System*, lib::PluginBase* p, int index) override {
        auto* t = static_cast<TestPlugin*>(p);
        t->destroyed = &destroyed;
        loaded.push_back(t->id);
        load_index.push_back(index);
    }
    void before_unload_item(lib::PluginBase*, int index) override { unload_index.push_back(index); }
};

class PluginLoader : public ::testing::Test {
protected:
    void SetUp() override {
        os::set_program_dir_override(dir.path());
        fs::create_directories(plugins());
    }
    void TearDown() override { os::set_program_dir_override(""); }
    std::string plugins() const { return dir / "plugins"; }
    void put(const std::string& name, const std::string& sub = "") {
        fs::path to = fs::path(plugins()) / sub;
        fs::create_directories(to);
        fs::copy_file(built / (name + ".so"), to / (name + ".so"));
    }
    void put_all() {
        for (const char* n : {"good", "named_", "handle", "no_entry", "declines", "throws"}) put(n);
    }
    std::string error_log() const {
        std::ifstream in(dir / "registr.errors.log", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    os::testing::TempDir dir;
};

TEST_F(PluginLoader, WithoutListLoadsEveryLibraryThatOffersAPlugin) {
    put_all();
    Recorder m;
    m.load(nullptr, plugins() + "/", dir / "missing.lst");
    EXPECT_EQ(m.loaded, (std::vector<std::string>{"good", "named_"}));
    EXPECT_EQ(m.load_index, (std::vector<int>{0, 1}));
    EXPECT_EQ(m.size(), 2);
    EXPECT_EQ(m.get_item(0)->get_path(), plugins() + "/");
    EXPECT_EQ(m.get_item(2), nullptr);
    EXPECT_EQ(m.get_item(-1), nullptr);
    EXPECT_EQ(m.index_of_plugin(m.get_item(1)), 1);
    EXPECT_EQ(m.index_of_plugin(nullptr), -1);

    // The throwing entry left one line: date, time, ": ", the message.
    std::string log = error_log();
    EXPECT_NE(log.find(": " + rtl::utf8_to_cp1251("!!!! Ошибка при загрузке модуля ") + "throws.so\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("throws.so"), log.rfind("throws.so"));
}

TEST_F(PluginLoader, ListFileNamesLibrariesIgnoringCaseAndTrailingUnderscoreAlwaysLoads) {
    put_all();
    put("good", "sub");
    std::ofstream(dir / "plugins.lst") << "GOOD.SO\r\nno_entry.so\r\n";
    Recorder m;
    m.load(nullptr, plugins(), dir / "plugins.lst");
    EXPECT_EQ(m.loaded, (std::vector<std::string>{"good", "good", "named_"}));
    // The sub-folder is searched first and the plug-in knows where it lives.
    EXPECT_EQ(m.get_item(0)->get_path(), plugins() + "/sub/");
    EXPECT_EQ(error_log(), "");  // the throwing library was not listed
}

// A manager whose hook fails for one plug-in: that one leaves the list
// again, is deleted, and the loading goes on with the next.
TEST_F(PluginLoader, AHookThatFailsTakesThePlugInOutAgain) {
    struct Failing : Recorder {
        void after_load_item(reg::System* s, lib::PluginBase* p, int index) override {
            Recorder::after_load_item(s, p, index);
            if (std::string(static_cast<TestPlugin*>(p)->id) == "good") throw std::runtime_error("no description");
        }
    };
    put("good");
    put("named_");
    Failing m;
    m.load(nullptr, plugins(), "");
    ASSERT_EQ(m.size(), 1);
    EXPECT_STREQ(static_cast<TestPlugin*>(m.get_item(0))->id, "named_");
    EXPECT_EQ(m.load_index, (std::vector<int>{0, 0}));
    EXPECT_EQ(m.unload_index, std::vector<int>{0});
    EXPECT_EQ(m.destroyed, 1);
    EXPECT_NE(
        error_log().find(rtl::utf8_to_cp1251("!!!! Ошибка при загрузке модуля ") + "good.so (no description)\r\n"),
        std::string::npos)
        << error_log();
    m.free();
    EXPECT_EQ(m.destroyed, 2);
}

TEST_F(PluginLoader, FreeUnloadsInOrderAndDeletesEachObject) {
    put("good");
    put("named_");
    Recorder m;
    m.load(nullptr, plugins(), "");
    auto* extra = new TestPlugin("added");
    extra->destroyed = &m.destroyed;
    m.add(extra);
    ASSERT_EQ(m.size(), 3);
    m.free();
    EXPECT_EQ(m.unload_index, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(m.destroyed, 3);
    EXPECT_EQ(m.size(), 0);
}

TEST_F(PluginLoader, EntryGetsTheApplicationHandle) {
    put("handle");
    Recorder m;
    DurvalibInit(0);
    m.load(nullptr, plugins(), "");
    EXPECT_TRUE(m.loaded.empty());
    DurvalibInit(4242);
    m.load(nullptr, plugins(), "");
    EXPECT_EQ(m.loaded, std::vector<std::string>{"handle"});
    EXPECT_EQ(lib::application_handle(), 4242);
    DurvalibInit(0);
}

TEST(SimpleFileLog, WritesOnlyBelowTheThreshold) {
    os::testing::TempDir dir;
    lib::SimpleFileLog log;
    log.set_file_name(dir / "x.log");
    log.add("never", 0);  // threshold 0: nothing passes
    EXPECT_FALSE(fs::exists(dir / "x.log"));
    log.set_level(2);
    log.add("one", 1);
    log.add("two", 2);
    std::ifstream in(dir / "x.log", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(all.find(": one\r\n"), std::string::npos);
    EXPECT_EQ(all.find("two"), std::string::npos);
}

}  // namespace
