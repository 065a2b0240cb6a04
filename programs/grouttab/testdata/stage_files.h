#pragma once
// A program folder with one well as the cementing plug-in leaves it after a
// stage: "inpgti.ini", "cement/cement.ini", the stage's report data
// ("cement_program_<stage>.rpt") and programme ("cement_program_<stage>.ini",
// two elements with their report values), and the empty report folder. The
// files are Windows-1251 profile files with CR LF lines, as the stations
// write them.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"

namespace grouttab::testing {

inline void write_text(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    os::testing::write_bytes(path, rtl::utf8_to_cp1251(text));
}

inline const std::vector<std::string>& report_lines() {
    static const std::vector<std::string> lines = {
        "[Report]",
        "version=1.0",
        "date=10.12.2026",
        "area=Южная",
        "name=1234",
        "kust=5",
        "куст=5",
        "category=эксплуатационная",
        "customer=ООО Заказчик",
        "заказчик=ООО Заказчик",
        "партия_ГТИ=Партия 3",
        "начальник_партии=Иванов И.И.",
        "prev_column=Кондуктор",
        "prev_depth=450,0",
        "prev_dia=220,0",
        "curr_column=Эксплуатационная",
        "pore_depth=2500,0",
        "curr_depth1=2500",
        "curr_dia1=150",
        "curr_outer_dia1=168",
        "curr_depth2=",
        "curr_dia2=",
        "curr_depth3=",
        "curr_dia3=",
        "start_time=09:05",
        "end_time=11:40",
        "doloto_diametr=215,9",
        "buf_planV=5,00",
        "cem_planV=20,00",
        "cem_V=20,50",
        "Vsumm=25,60",
        "prodav_time=00:35:00",
        "comment1=Без осложнений",
    };
    return lines;
}

inline const std::vector<std::string>& programme_lines() {
    static const std::vector<std::string> lines = {
        "[Main]",
        "Count=2",
        "Column=3 ",
        "[Report]",
        "version=1.0",
        "[Item0]",
        "name=Закачка буфера",
        "type_rastvor=3",
        "id=0",
        "P_critical=100",
        "mode=2",
        "start=10.12.2026 9:05:00",
        "end=10.12.2026 9:20:00",
        "V_inc=5,10",
        "Vsumm=5,10",
        "rastvor_name=Вода",
        "Q_av=12,50",
        "Pl_av=1,00",
        "P_min=2,0",
        "P_max=35,5",
        "[Item1]",
        "name=Закачка цемента",
        "type_rastvor=0",
        "id=1",
        "P_critical=120",
        "mode=2",
        "start=10.12.2026 14:25:30",
        "end=10.12.2026 15:00:00",
        "V_inc=20,50",
        "Vsumm=25,60",
        "rastvor_name=Цемент",
        "Q_av=8,25",
        "Pl_av=1,85",
        "P_min=10,0",
        "P_max=60,0",
    };
    return lines;
}

// Makes the well folder `well` with the files of `stage` under `program`.
inline void write_well(const std::string& program, const std::string& well, const std::string& stage) {
    const std::string w = program + "/" + well;
    write_text(w + "/inpgti.ini", {"[Main]"});
    write_text(w + "/cement/cement.ini", {"[Main]", "laststupen=" + stage});
    std::filesystem::create_directories(w + "/cement/report");
    if (stage.empty()) return;
    write_text(w + "/cement/cement_program_" + stage + ".rpt", report_lines());
    write_text(w + "/cement/cement_program_" + stage + ".ini", programme_lines());
}

// Points the program folder at a temporary folder for the life of the object.
class ProgramFolder {
public:
    ProgramFolder() { os::set_program_dir_override(dir_.path()); }
    ~ProgramFolder() { os::set_program_dir_override(""); }
    const std::string& path() const { return dir_.path(); }

private:
    os::testing::TempDir dir_;
};

}  // namespace grouttab::testing
