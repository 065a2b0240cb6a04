#include "library/html_help.h"

#include <gtest/gtest.h>

#include <fstream>

#include "library/version_text.h"
#include "platform/os/stand_in_testing.h"
#include "platform/rtl/codepage.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_queue.h"

namespace lib {
namespace {

using os::testing::write_bytes;

TEST(HtmlHelp, TopicsOpenTheirPagesThroughTheDesktop) {
    os::testing::StandInPath path;
    path.add("xdg-open");
    os::testing::TempDir help;
    write_bytes(help / "aliases.txt",
                rtl::utf8_to_cp1251("screen=pages/screen.htm\r\nнастройки=settings.htm\r\nnoname\r\n=x.htm\r\n"
                                    "empty=\r\nscreen=other.htm\r\nanchor=settings.htm#grid\r\n"));
    HtmlHelper& h = get_html_help();
    h.set_file_name(help.path());
    h.load_aliases(help / "aliases.txt");
    EXPECT_EQ(h.page_of("screen"), "pages/screen.htm");  // the first line of a name counts
    EXPECT_EQ(h.page_of("настройки"), "settings.htm");
    EXPECT_EQ(h.page_of("empty"), "empty");  // a line without a page is passed over
    EXPECT_EQ(h.page_of("noname"), "noname");

    h.show_help_topic("screen");
    EXPECT_EQ(path.args("xdg-open"), help.path() + "/pages/screen.htm\nEND\n");
    ::remove((path / "xdg-open.args").c_str());
    h.show_help_topic("index.htm");  // no alias: the page of that very name
    EXPECT_EQ(path.args("xdg-open"), help.path() + "/index.htm\nEND\n");
    EXPECT_EQ(h.target_of("anchor"), "file://" + help.path() + "/settings.htm#grid");
    // A file name in the help folder stands for the folder.
    write_bytes(help / "station.htm", "");
    h.set_file_name(help / "station.htm");
    EXPECT_EQ(h.target_of("screen"), help.path() + "/pages/screen.htm");

    // A second alias file replaces the first.
    write_bytes(help / "other.txt", "other=o.htm\r\n");
    h.load_aliases(help / "other.txt");
    EXPECT_EQ(h.page_of("screen"), "screen");
    EXPECT_EQ(h.page_of("other"), "o.htm");
    EXPECT_THROW(h.load_aliases(help / "missing.txt"), std::runtime_error);
}

TEST(HtmlHelp, APageThatCannotBeShownIsToldInAMessageBox) {
    std::vector<ui::MessageBoxRequest> boxes;
    const ui::MessageBoxHandler saved = ui::set_message_box_handler([&](const ui::MessageBoxRequest& r) {
        boxes.push_back(r);
        return ui::IDOK;
    });
    os::testing::TempDir help;
    HtmlHelper h;
    h.set_file_name(help.path());
    const std::string page = help.path() + "/topic.htm";
    struct Case {
        int exit_code;  // of xdg-open; -1: there is none
        const char* cause;
    };
    const Case cases[] = {
        {-1, "не запускается программа xdg-open, которая открывает страницы в браузере"},
        {2, "нет файла страницы"},
        {3, "не найдена программа для просмотра страниц (браузер)"},
        {4, "браузер не открыл страницу"},
        {1, "программа xdg-open завершилась с кодом 1"},
    };
    for (const Case& c : cases) {
        boxes.clear();
        os::testing::StandInPath path;
        // A handler that opened the page says nothing; the failing one after
        // it is the only one told.
        path.add("xdg-open");
        h.show_help_topic("topic.htm");
        ASSERT_EQ(path.args("xdg-open"), page + "\nEND\n");
        ::remove((path / "xdg-open.args").c_str());
        if (c.exit_code >= 0) {
            path.add("xdg-open", c.exit_code);
        } else {
            ::remove((path / "xdg-open").c_str());
        }
        h.show_help_topic("topic.htm");
        // A handler that ran is told of when it ends, on the main thread.
        EXPECT_TRUE(ui::main_queue().run_until([&] { return !boxes.empty(); }, 60000)) << c.cause;
        ASSERT_EQ(boxes.size(), 1u) << c.cause;
        EXPECT_EQ(boxes[0].text, "Не удалось открыть справку (" + page + "): " + c.cause + ".");
        EXPECT_EQ(boxes[0].caption, "Справка");
        EXPECT_EQ(boxes[0].icon, ui::MessageIcon::Warning);
    }
    ui::set_message_box_handler(saved);
}

TEST(HtmlHelp, ShippedAliasesLeadToShippedPages) {
    const std::string dir = std::string(STATION_SOURCE_DIR) + "/help";
    HtmlHelper h;
    h.set_file_name(dir);
    h.load_aliases(dir + "/aliases.txt");
    for (const char* topic : {"index", "options", "settings"}) {
        std::ifstream page(h.target_of(topic));
        EXPECT_TRUE(page.good()) << topic;
    }
}

TEST(VersionText, MatchesTheBuildsVersion) {
    // The project's version as CMake has it, read from the build's own
    // files rather than from the code under test.
    auto file = [](const std::string& path) {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    // The text after `key` up to the first character not in `allowed`.
    auto after = [](const std::string& text, const std::string& key, const std::string& allowed) {
        const std::size_t at = text.find(key);
        if (at == std::string::npos) return std::string();
        const std::size_t from = at + key.size();
        return text.substr(from, text.find_first_not_of(allowed, from) - from);
    };
    const std::string version =
        after(file(std::string(STATION_SOURCE_DIR) + "/CMakeLists.txt"), "project(station VERSION ", "0123456789.");
    const std::string build =
        after(file(std::string(STATION_BINARY_DIR) + "/CMakeCache.txt"), "STATION_BUILD_NUMBER:STRING=", "0123456789");
    ASSERT_FALSE(version.empty());
    ASSERT_FALSE(build.empty());
    const std::string expected = version + ", билд " + build;
    EXPECT_EQ(version_text(), expected);
    EXPECT_EQ(version_text({3, 1, 4, 159, false}), "3.1.4, билд 159");
    EXPECT_EQ(version_text({3, 1, 4, 159, true}), "3.1.4 RC, билд 159");

    ui::TMemo about(nullptr);
    about.SetText("Станция ГТИ\r\nВерсия ##VERSION##\r\n##VERSION##");
    show_version(&about);
    EXPECT_EQ(about.Text(), "Станция ГТИ\r\nВерсия " + expected + "\r\n##VERSION##");
    replace_text(&about, "нет такого", "x");
    replace_text(&about, "##version##", "x");  // letter case counts
    EXPECT_EQ(about.Text(), "Станция ГТИ\r\nВерсия " + expected + "\r\n##VERSION##");
}

}  // namespace
}  // namespace lib
