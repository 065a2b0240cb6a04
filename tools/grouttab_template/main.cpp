// Makes the report program's spreadsheet template through the office:
//   grouttab_template OUT.xls
// Starts a private headless office for the run and ends it afterwards.

#include <cstdio>
#include <exception>
#include <string>

#include "programs/grouttab/oo_calc_auto.h"
#include "programs/grouttab/report_template.h"
#include "programs/grouttab/uno_server.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fputs(
            "Usage: grouttab_template OUT.xls\nWrites the cementing report template. Exit status: 0 done, "
            "1 the office failed, 2 bad arguments.\n",
            argc == 2 ? stdout : stderr);
        return argc == 2 ? 0 : 2;
    }
    auto& s = grouttab::office_settings();
    s.pipe_name = "station_grouttab_template";
    s.profile_dir = std::string(argv[1]) + ".office-profile";
    s.timeout_ms = 60000;
    int status = 0;
    try {
        grouttab::OOCalcAuto oo(grouttab::office_server_factory());
        if (!oo.connect()) throw std::runtime_error(oo.connect_error());
        grouttab::write_report_template(oo, argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grouttab_template: %s\n", e.what());
        status = 1;
    }
    grouttab::stop_started_office(true);
    return status;
}
