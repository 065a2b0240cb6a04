#include "tools/road/trip_output.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "library/LAS_file.h"
#include "library/graphics/planshet.h"
#include "library/storage/file_storage.h"
#include "library/time_conv.h"
#include "platform/os/file.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/numbers.h"
#include "platform/ui/canvas.h"
#include "tools/station_host/trip_chart.h"

namespace road {

namespace {

void load_table(FileStorage& table, const std::string& file) {
    try {
        table.add_file(file, false);
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot read '" + file + "': " + e.what());
    }
    if (table.get_data_size() == 0) throw std::runtime_error("'" + file + "' holds no record");
}

// LAS mnemonics end at a dot or a blank.
std::string mnemonic(std::string name) {
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == ' ' || c == '.' || c == ':' || c == '\t'; }, '_');
    return name.empty() ? std::string("PARAM") : name;
}

}  // namespace

int draw_trip_chart(const std::string& time_file, const std::string& png, int width, int height) {
    lib::graphics::Planshet sheet;
    station_host::TripChart chart(sheet, nullptr);
    if (!chart.refresh(time_file) || chart.records() == 0)
        throw std::runtime_error("'" + time_file + "' holds no record to draw");
    ui::TBitmap picture(width, height);
    // The whole trip on the page: its span over the height under the hat,
    // at least half a second a centimetre so a short trip is not one smear.
    double first = 0, last = 0;
    chart.time_span(first, last);
    const int hat = sheet.get_hat_size(&picture.Canvas());
    const double centimetres = std::max(1.0, (height - hat - 10) / sheet.get_ppcm());
    sheet.set_scale(std::max((last - first) / centimetres, 0.5 / 86400));
    sheet.set_offset(0);
    sheet.paint(&picture.Canvas(), ui::clWhite, width, height);
    try {
        picture.SaveToFile(png);
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot store the chart '" + png + "': " + e.what());
    }
    return chart.records();
}

int write_trip_las(const std::string& time_file, const std::string& las_path, const std::string& well) {
    FileStorage table;
    load_table(table, time_file);
    lib::las::file las;
    las.set_standart_version_info();
    const std::uint32_t start = table.get_record(0)->time.get_value();
    const std::uint32_t stop = table.get_record(table.get_data_size() - 1)->time.get_value();
    int step = 0;
    if (!rtl::TryStrToInt(table.text_values().get_text("шаг_записи_по_времени"), step) || step < 0) step = 0;
    // STEP 0 says the rows are not evenly spaced, as a trip with a pause is not.
    for (int i = 1; i < table.get_data_size() && step > 0; ++i)
        if (table.get_record(i)->time.get_value() - table.get_record(i - 1)->time.get_value() != std::uint32_t(step))
            step = 0;
    auto w = las.get_well_block();
    w->add("STRT", "S", "0", "START TIME");
    w->add("STOP", "S", std::to_string(stop - start), "STOP TIME");
    w->add("STEP", "S", std::to_string(step), "STEP");
    w->add("WELL", "", well, "WELL");
    w->add("DATE", "", rtl::FormatDateTime("dd.MM.yyyy H:mm:ss", lib::unix_to_datetime(start)), "TRIP START");
    auto c = las.get_curve_block();
    c->add("TIME", "S", "", "Время от начала рейса");
    c->add("BDEP", "M", "", "Забой");
    c->add("BITD", "M", "", "Глубина долота");
    c->add("LAGD", "M", "", "Глубина по отставанию");
    const int fixed = 4;
    for (int i = 0; i < table.get_params_count(); ++i) {
        const FileStorageParam* p = table.get_param(i);
        c->add(mnemonic(p->global_name), p->units, "", p->name);
    }
    // A parameter named like another (or like a fixed curve) shares its line.
    if (c->size() != fixed + table.get_params_count())
        throw std::runtime_error("'" + time_file + "': two parameters give the same LAS mnemonic");
    auto& values = las.get_values();
    values.set_precision(3);
    for (int r = 0; r < table.get_data_size(); ++r) {
        const FileStorageRecord* item = table.get_record(r);
        const int row = values.add();
        values.at(0, row) = double(item->time.get_value() - start);
        values.at(1, row) = item->depth_z;
        values.at(2, row) = item->depth_cur;
        values.at(3, row) = item->lag_depth;
        for (int i = 0; i < table.get_params_count() && std::size_t(i) < item->values.size(); ++i)
            values.at(fixed + i, row) = item->values[std::size_t(i)];
    }
    std::ostringstream text;
    las.save(text);
    if (int error = os::replace_file(las_path, text.str()); error != 0)
        throw std::runtime_error("cannot write '" + las_path + "': " + std::strerror(error));
    return values.size();
}

}  // namespace road
