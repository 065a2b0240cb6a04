#include "tools/road/office.h"

#include <unistd.h>

#include "platform/os/directory.h"
#include "programs/grouttab/uno_server.h"

namespace road {

void use_private_office(const std::string& profile_dir) {
    grouttab::OfficeSettings& s = grouttab::office_settings();
    s.pipe_name = "station_road_" + std::to_string(::getpid());
    s.profile_dir = profile_dir;
    // Nobody waits on a window here: the bound only ends a hung office, and
    // a loaded machine may take minutes to start one.
    s.timeout_ms = 240000;
    s.start_office = true;
    // Should this process die before it ends the office, the office goes too.
    if (os::file_exists("/usr/bin/setpriv")) s.launcher = {"/usr/bin/setpriv", "--pdeathsig", "KILL", "--"};
}

}  // namespace road
