#include "tools/road/cement_setup.h"

#include <filesystem>
#include <stdexcept>

#include "platform/os/directory.h"
#include "platform/rtl/ini_file.h"
#include "plugins/cement/cement_files.h"
#include "tools/station_host/station_setup.h"

namespace road {

void prepare_cement_station(const std::string& station_folder, const std::string& well) {
    // A conductor to 450 m, the technical column being cemented to 1800 m,
    // open hole to 2500 m: the report names both columns.
    const std::string programme = station_host::prepare_cement_station(
        station_folder, well,
        {{1, 0, 450, 304.8f, 323.9f}, {7, 0, 1800, 224.4f, 244.5f}, {8, 1800, 2500, 215.9f, 215.9f}});

    CementData job;
    TReportOptions report;
    if (!cement::load_programme(programme, job, report) || job.program.size() != 3)
        throw std::runtime_error("the programme '" + programme + "' was not written whole");
    // The buffer and the displacement fluids from the fluids list, the
    // slurry the fixed cement; each element runs one step of the job
    // (demo_element_seconds at demo_rate), and the plan is what that pumps.
    TRastvor buffer;
    buffer.name = "Буферная жидкость";
    buffer.density = demo_buffer_density;
    TRastvor mud;
    mud.name = "Буровой раствор";
    mud.density = demo_mud_density;
    job.fluids = {buffer, mud};
    job.program[0].fluid_type = cement::list_fluid_base;
    job.program[1].fluid_type = cement::fluid_cement;
    job.program[2].fluid_type = cement::list_fluid_base + 1;
    const float volume = float(demo_rate * demo_element_seconds * 0.001);
    const struct {
        CementData::PlanColumn column;
        float density;
    } plans[] = {{CementData::col_buffer, demo_buffer_density},
                 {CementData::col_cement, demo_slurry_density},
                 {CementData::col_displacement, demo_mud_density}};
    for (const auto& p : plans) {
        job.plan[CementData::plan_volume][p.column] = volume;
        job.plan[CementData::plan_rate][p.column] = float(demo_rate);
        job.plan[CementData::plan_density][p.column] = p.density;
    }
    job.columns = {7};
    // The open hole's bit.
    report.set_bit_diameter(215.9);
    const std::filesystem::path fluids = std::filesystem::path(station_folder) / "params" / "cement";
    std::error_code ec;
    if (!os::make_directories(fluids.string())) ec.assign(errno, std::generic_category());
    if (ec) throw std::runtime_error("cannot make '" + fluids.string() + "': " + ec.message());
    cement::save_fluids((fluids / "cement_rastvor.ini").string(), job);
    cement::save_programme(programme, job, report);
    rtl::IniFile(std::filesystem::path(station_folder) / well / "inpgti.ini").WriteString("Main", "well", well);
}

}  // namespace road
