#include "tools/road/trip_output.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>
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
#include "tools/station_host/trip_scan.h"

namespace road {

namespace {

// LAS mnemonics end at a dot or a blank.
std::string mnemonic(std::string name) {
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == ' ' || c == '.' || c == ':' || c == '\t'; }, '_');
    return name.empty() ? std::string("PARAM") : name;
}

}  // namespace

int draw_trip_chart(const std::string& time_file, const std::string& png, int width, int height,
                    std::vector<std::string>* labels) {
    lib::graphics::Planshet sheet;
    station_host::TripChart chart(sheet, nullptr);
    std::error_code ec;
    if (!std::filesystem::exists(time_file, ec)) throw std::runtime_error("'" + time_file + "' does not exist");
    if (!chart.refresh(time_file) || chart.records() == 0)
        throw std::runtime_error("'" + time_file + "' holds no record to draw");
    ui::TBitmap picture(width, height);
    // The whole trip on the page: its span over the height under the hat,
    // a round time step a centimetre (the grid's step), a second at least.
    double first = 0, last = 0;
    chart.time_span(first, last);
    sheet.lay_out(width);
    const int hat = sheet.get_hat_size(&picture.Canvas());
    const double centimetres = std::max(1.0, (height - hat - 10) / sheet.get_ppcm());
    sheet.set_scale(lib::graphics::round_time_step(std::max(last - first, 0.0) / centimetres));
    sheet.set_offset(0);
    // A trip over more than a day reads its days too, or the grid would
    // say the same hour twice.
    if (last - first > 1)
        sheet.label_formatter = [](double v) { return rtl::FormatDateTime("dd.MM hh:nn", v); };
    sheet.paint(&picture.Canvas(), ui::clWhite, width, height);
    if (labels) {
        labels->clear();
        for (const auto& line : sheet.painted_grid())
            if (!line.label.empty()) labels->push_back(line.label);
    }
    try {
        picture.SaveToFile(png);
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot store the chart '" + png + "': " + e.what());
    }
    return chart.records();
}

namespace {

// What the first pass over the time file learns, before any row is written:
// the header needs the curves and the span.
struct TripFacts {
    int records = 0;
    std::uint32_t start = 0;
    std::uint64_t forward = 0;  // the sum of the steps that went forward
    int backward = 0;           // steps back of the station's clock
    bool even = true;           // every step the same, and forward
    std::uint32_t first_step = 0;
};

// Rows are gathered into pieces of this size and written as each fills.
constexpr std::size_t kPiece = 1 << 20;

}  // namespace

int write_trip_las(const std::string& time_file, const std::string& las_path, const std::string& well, int trip) {
    station_host::TripScan scan;
    TripFacts facts;
    std::uint32_t previous = 0;
    scan.read(time_file, [&](const station_host::ScannedRecord& r) {
        if (facts.records == 0) {
            facts.start = r.time;
        } else if (r.time < previous) {
            ++facts.backward;
            facts.even = false;
        } else {
            const std::uint32_t step = r.time - previous;
            facts.forward += step;
            if (facts.records == 1) facts.first_step = step;
            if (step != facts.first_step) facts.even = false;
        }
        previous = r.time;
        ++facts.records;
    });
    if (facts.records == 0) throw std::runtime_error("'" + time_file + "' holds no record");
    const std::int64_t scanned = scan.bytes_read();
    const int columns = static_cast<int>(scan.columns().size());

    int step = 0;
    if (!rtl::TryStrToInt(scan.text_values().get_text("шаг_записи_по_времени"), step) || step < 0) step = 0;
    // A step back of the clock counts as one recording step (TripClock), so
    // TIME and STOP never run backwards nor wrap.
    const std::uint64_t stop = facts.forward + std::uint64_t(facts.backward) * std::uint64_t(step > 0 ? step : 1);
    // STEP 0 says the rows are not evenly spaced, as a trip with a pause is not.
    const int las_step = step > 0 && facts.even && (facts.records < 2 || facts.first_step == std::uint32_t(step)) ? step : 0;

    const auto text = [&](const char* name) { return scan.text_values().get_text(name); };
    std::string well_name = text("скважина");
    if (well_name.empty()) well_name = well;
    std::string run = text("номер_рейса");
    if (run.empty()) run = std::to_string(trip);

    lib::las::file las;
    las.set_standart_version_info();
    auto w = las.get_well_block();
    w->add("STRT", "S", "0", "START TIME");
    w->add("STOP", "S", std::to_string(stop), "STOP TIME");
    w->add("STEP", "S", std::to_string(las_step), "STEP");
    w->add("NULL", "", "-9999", "NULL VALUE");
    // The items LAS 2.0 asks of every file; the station knows no province
    // nor unique well identifier, and the standard lets them stand empty.
    w->add("COMP", "", text("заказчик"), "COMPANY");
    w->add("WELL", "", well_name, "WELL");
    w->add("FLD", "", text("месторождение"), "FIELD");
    w->add("LOC", "", text("площадь"), "LOCATION");
    w->add("PROV", "", "", "PROVINCE");
    w->add("SRVC", "", text("партия_гти"), "SERVICE COMPANY");
    w->add("DATE", "", rtl::FormatDateTime("dd.MM.yyyy H:mm:ss", lib::unix_to_datetime(facts.start)), "TRIP START");
    w->add("UWI", "", "", "UNIQUE WELL ID");
    auto c = las.get_curve_block();
    c->add("TIME", "S", "", "Время от начала рейса");
    c->add("BDEP", "M", "", "Забой");
    c->add("BITD", "M", "", "Глубина долота");
    c->add("LAGD", "M", "", "Глубина по отставанию");
    const int fixed = 4;
    for (const FileStorageParam& p : scan.columns()) c->add(mnemonic(p.global_name), p.units, "", p.name);
    // A parameter named like another (or like a fixed curve) shares its line.
    if (c->size() != fixed + columns)
        throw std::runtime_error("'" + time_file + "': two parameters give the same LAS mnemonic");
    auto pb = las.get_param_block();
    pb->add("RUN", "", run, "TRIP NUMBER");
    pb->add("TSTEP", "S", std::to_string(step), "RECORDING STEP");
    auto& values = las.get_values();
    values.set_precision(3);

    std::ostringstream header;
    las.save_header(header);
    std::string piece = header.str();
    piece.reserve(kPiece + 4096);

    os::ReplacementFile out;
    const auto fail = [&](int error) {
        out.abandon();
        return std::runtime_error("cannot write '" + las_path + "': " + std::strerror(error));
    };
    if (!out.create(las_path)) throw fail(out.last_error());
    station_host::TripClock clock(step);
    std::vector<double> row(std::size_t(fixed + columns));
    int rows = 0;
    scan.read(
        time_file,
        [&](const station_host::ScannedRecord& r) {
            if (rows == facts.records) return;
            row[0] = clock.next(r.time);
            row[1] = r.depth_z;
            row[2] = r.depth_cur;
            row[3] = r.lag_depth;
            for (std::size_t i = 0; i < std::size_t(columns); ++i)
                row[fixed + i] = i < r.count ? double(r.values[i]) : 0.0;
            values.append_row(piece, row.data(), fixed + columns);
            ++rows;
            if (piece.size() >= kPiece) {
                if (!out.write(piece.data(), piece.size())) throw fail(out.last_error());
                piece.clear();
            }
        },
        scanned);
    // The same bytes read twice give the same records; anything else is a
    // file changed under the reader, and the LAS file would not match it.
    if (rows != facts.records || static_cast<int>(scan.columns().size()) != columns)
        throw std::runtime_error("'" + time_file + "' changed while it was read");
    if (!out.write(piece.data(), piece.size())) throw fail(out.last_error());
    if (!out.commit()) throw std::runtime_error("cannot write '" + las_path + "': " + std::strerror(out.last_error()));
    return rows;
}

}  // namespace road
