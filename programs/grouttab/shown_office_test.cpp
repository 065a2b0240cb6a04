// The office that shows the report speaks the station's language: started
// with a window on a virtual X server, its new spreadsheet's window is
// titled in Russian, also when its profile held another language.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/testing.h"
#include "platform/ui/testdata/virtual_screen_testing.h"
#include "programs/grouttab/uno_server.h"

namespace grouttab {
namespace {

namespace fs = std::filesystem;
using ui::testing::run_tool;

// The names of the visible windows whose name holds `part`, as xprop
// shows them, one a line.
std::string window_names(const std::string& part) {
    std::string ids, names;
    run_tool({"xdotool", "search", "--onlyvisible", "--name", part}, &ids, 10000);
    std::size_t at = 0;
    for (std::size_t end; (end = ids.find('\n', at)) != std::string::npos; at = end + 1) {
        // The office names its windows in compound text, which xprop turns
        // into the text of its locale.
        std::string name;
        run_tool({"env", "LC_ALL=C.UTF-8", "xprop", "-id", ids.substr(at, end - at), "WM_NAME"}, &name, 10000);
        names += name;
    }
    return names;
}

// Starts a shown office on `profile`, opens a new spreadsheet and returns
// the names of the office's windows; ends the office again.
std::string shown_calc_windows(const std::string& profile) {
    OfficeSettings& s = office_settings();
    const OfficeSettings saved = s;
    s.pipe_name = "station_grouttab_shown_" + std::to_string(::getpid());
    s.profile_dir = profile;
    s.headless = false;
    s.timeout_ms = 240000;
    if (os::file_exists("/usr/bin/setpriv")) s.launcher = {"/usr/bin/setpriv", "--pdeathsig", "KILL", "--"};
    struct Restore {
        const OfficeSettings& saved;
        ~Restore() {
            stop_started_office(false);
            office_settings() = saved;
        }
    } restore{saved};

    auto manager = office_server_factory()();
    auto desktop = manager->createInstance("com.sun.star.frame.Desktop");
    auto document = desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0, {});
    if (!document) return "no document was made";
    std::string names;
    const std::int64_t bound = os::system_clock().now_ms() + 120000;
    while ((names = window_names("LibreOffice Calc")).empty() && os::system_clock().now_ms() < bound)
        os::system_clock().sleep_ms(200);
    document->close(true);
    return names;
}

TEST(ShownOffice, SpeaksRussianWithAFreshProfileAndOneThatSaidEnglish) {
    if (!office_installed()) {
        if (os::testing::under_ci()) FAIL() << "LibreOffice is not installed (scripts/setup.sh installs it)";
        GTEST_SKIP() << "LibreOffice is not installed";
    }
    ui::testing::VirtualScreen screen;
    VIRTUAL_SCREEN_OR_SKIP(screen.start(), screen.error());
    os::testing::TempDir dir;

    // A profile through its first start, whose user once chose English.
    const std::string english = dir.path() + "/english";
    std::string why;
    ASSERT_TRUE(os::testing::tool_runs(
        office_settings().program,
        {"-env:UserInstallation=file://" + english, "--headless", "--norestore", "--nologo", "--terminate_after_init"},
        &why, 300000))
        << "the office's profile could not be prepared: " << why;
    const std::string xcu = english + "/user/registrymodifications.xcu";
    std::string settings = os::testing::read_bytes(xcu);
    const auto end = settings.rfind("</oor:items>");
    ASSERT_NE(end, std::string::npos) << xcu;
    settings.insert(end,
                    "<item oor:path=\"/org.openoffice.Office.Linguistic/General\"><prop oor:name=\"UILocale\" "
                    "oor:op=\"fuse\"><value>en-US</value></prop></item>\n");
    os::testing::write_bytes(xcu, settings);

    for (const std::string& profile : {english, dir.path() + "/fresh"}) {
        // A new spreadsheet is "Untitled 1" in English, "Без имени 1" in Russian.
        const std::string names = shown_calc_windows(profile);
        EXPECT_NE(names.find("Без имени 1"), std::string::npos) << profile << ": the office's windows: " << names;
        EXPECT_EQ(names.find("Untitled"), std::string::npos) << profile << ": " << names;
    }
    // The office keeps the rest of what the profile held.
    EXPECT_NE(os::testing::read_bytes(xcu).find("/org.openoffice.Setup/Office"), std::string::npos);
}

}  // namespace
}  // namespace grouttab
