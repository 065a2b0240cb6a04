// The office a Grouttab looks for: the one on its own profile, never one
// that another session of the same user on the machine started (the
// office's pipes share one folder for all of them).

#include <gtest/gtest.h>

#include <string>

#include "platform/os/clock.h"
#include "platform/os/testing.h"
#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/uno_server.h"

namespace {

using namespace grouttab;

// The pipe a connection looked on, as its failure names it.
std::string pipe_looked_on(const std::string& profile) {
    OfficeSettings& s = office_settings();
    s.pipe_name.clear();  // as the program has it
    s.profile_dir = profile;
    s.start_office = false;
    s.timeout_ms = 1000;
    os::ManualClock clock;
    os::ScopedClock scoped(clock);
    OOCalcAuto oo(office_server_factory());
    EXPECT_FALSE(oo.connect());
    const std::string& error = oo.connect_error();
    const auto from = error.find("pipe \"");
    if (from == std::string::npos) return "(none: " + error + ")";
    return error.substr(from + 6, error.find('"', from + 6) - from - 6);
}

TEST(OfficePipe, EachProfileHasAPipeOfItsOwn) {
    if (!office_installed()) {
        if (os::testing::under_ci()) FAIL() << "LibreOffice is not installed (scripts/setup.sh installs it)";
        GTEST_SKIP() << "LibreOffice is not installed";
    }
    const OfficeSettings saved = office_settings();
    const std::string one = pipe_looked_on("/run/user/1000/grouttab-office");
    const std::string other = pipe_looked_on("/run/user/1000/station/grouttab-office");
    EXPECT_NE(one, other);
    EXPECT_EQ(pipe_looked_on("/run/user/1000/grouttab-office"), one);
    EXPECT_EQ(one.rfind("station_grouttab", 0), 0u) << one;
    office_settings() = saved;
}

}  // namespace
