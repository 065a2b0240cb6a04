#pragma once
// The points file of a stage ("<n>.cem" in the well's "cement" folder):
// little-endian, no padding.
//   "CementDataV2" (12 bytes), the byte 1, N (int32), N names (int32
//   length L <= 51, then L bytes Windows-1251), M (int32), M points of a
//   double time and N floats.
//   "CementDataV1" (read only): tag, the byte 1, N, M, points; its columns
//   are fixed (six, a seventh "cem_plan_V" when N is above 6).
// A damaged file never yields more than it holds: counts and lengths are
// checked against what remains, and a file cut short keeps its whole points.

#include <cstdint>
#include <map>
#include <string>

#include "plugins/cement/cement_data.h"

namespace cement {

constexpr int max_column_name = 51;

// The file's bytes for a table.
std::string encode_points(const ChartPoints& table);

enum class PointsRead {
    ok,           // the whole file was read
    truncated,    // its complete points were read, the rest was cut off
    bad_tag,      // neither layout: the default columns, no points
    bad_version,  // the byte after the tag is not 1: the default columns, no points
    bad_header,   // a count or name length the file cannot hold: the default columns
    unreadable,   // there, but not readable (or larger than any job's points): the default columns, no points
};

// Months of points at one a second; anything larger is no points file.
constexpr std::uint64_t max_points_file_bytes = std::uint64_t{256} << 20;

// Replaces table with the file's contents (or the default columns, see
// above).
PointsRead decode_points(const std::uint8_t* data, std::size_t size, ChartPoints& table);

// Writes the table (nothing when it holds no point) through a replacement
// file, so a crash never leaves half a points file. Throws
// std::runtime_error naming the file and the cause.
void save_points_file(const std::string& path, const ChartPoints& table);
// A missing file (ok) or one that cannot be read (unreadable) gives the
// default columns and no points.
PointsRead load_points_file(const std::string& path, ChartPoints& table);

// ---- the volumes the points hold -----------------------------------------------

// The volume a cycle of dt seconds adds at a flow (l/s), m3: none while
// waiting, at a flow of 0 or below, or over no time.
double step_volume(int kind, float flow, double dt);

// Stores a point at the date-time t holding the named values (a column no
// value names holds 0) and counts it among the running element's samples
// (null: none runs).
void add_point(ChartPoints& table, double t, const std::map<AnsiString, float>& values,
               CementProgramElement* running);

// Adds one sample to the element's sums and pressure extremes.
void add_sample(CementProgramElement& e, float rate, float density, float pressure);

// Recomputes "cem_V" and "cem_Vsumm" of the points stored between the
// date-times a and b (b 0: up to the last point) at the running element's
// kind (null: none runs, nothing is pumped). The point at which the
// running element began starts the stage volume afresh; a gap between two
// points adds no more than max_gap_s of flow. The index of the last point
// recomputed, or -1 when none was.
int reintegrate(ChartPoints& table, double a, double b, const CementProgramElement* running, double max_gap_s);

// What an element pumped on record when it closes, m3: the stage volume of
// the last point when that point is the element's own, else nothing.
float element_volume(const ChartPoints& table, const CementProgramElement& e);

}  // namespace cement
