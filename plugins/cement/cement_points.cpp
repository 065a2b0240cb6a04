#include "plugins/cement/cement_points.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "library/numeric/numeric.h"
#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "plugins/cement/cement_files.h"

namespace cement {

namespace {

constexpr char tag_v1[] = "CementDataV1";
constexpr char tag_v2[] = "CementDataV2";
constexpr std::size_t tag_size = 12;

void put_i32(std::string& out, std::int32_t v) {
    const auto u = std::uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(char((u >> (8 * i)) & 0xFF));
}

template <class T>
void put_raw(std::string& out, T v) {
    // Little-endian hosts only, as the files are.
    char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.append(b, sizeof(T));
}

class Reader {
public:
    Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::size_t left() const { return n_ - at_; }
    bool i32(std::int32_t& v) {
        if (left() < 4) return false;
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= std::uint32_t(p_[at_ + std::size_t(i)]) << (8 * i);
        v = std::int32_t(u);
        at_ += 4;
        return true;
    }
    template <class T>
    bool raw(T& v) {
        if (left() < sizeof(T)) return false;
        std::memcpy(&v, p_ + at_, sizeof(T));
        at_ += sizeof(T);
        return true;
    }
    bool bytes(std::string& s, std::size_t n) {
        if (left() < n) return false;
        s.assign(reinterpret_cast<const char*>(p_ + at_), n);
        at_ += n;
        return true;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t at_ = 0;
};

PointsRead fall_back(ChartPoints& table, PointsRead why) {
    table.points.clear();
    table.set_default_columns();
    return why;
}

}  // namespace

std::string encode_points(const ChartPoints& table) {
    std::string out(tag_v2, tag_size);
    out.push_back(1);
    put_i32(out, std::int32_t(table.columns.size()));
    for (const AnsiString& name : table.columns) {
        std::string stored = rtl::utf8_to_cp1251(name);
        if (stored.size() > std::size_t(max_column_name)) stored.resize(std::size_t(max_column_name));
        put_i32(out, std::int32_t(stored.size()));
        out += stored;
    }
    put_i32(out, std::int32_t(table.points.size()));
    const std::size_t n = table.columns.size();
    for (const ChartPoint& p : table.points) {
        put_raw(out, p.time);
        for (std::size_t i = 0; i < n; ++i) put_raw(out, i < p.values.size() ? p.values[i] : 0.0f);
    }
    return out;
}

PointsRead decode_points(const std::uint8_t* data, std::size_t size, ChartPoints& table) {
    Reader r(data, size);
    std::string tag;
    if (!r.bytes(tag, tag_size)) return fall_back(table, PointsRead::bad_tag);
    const bool v2 = tag == std::string(tag_v2, tag_size);
    if (!v2 && tag != std::string(tag_v1, tag_size)) return fall_back(table, PointsRead::bad_tag);
    std::uint8_t version = 0;
    if (!r.raw(version) || version != 1) return fall_back(table, PointsRead::bad_version);
    std::int32_t n = 0;
    if (!r.i32(n) || n < 0) return fall_back(table, PointsRead::bad_header);

    std::vector<AnsiString> columns;
    if (v2) {
        // Every name takes at least its length word.
        if (std::size_t(n) > r.left() / 4) return fall_back(table, PointsRead::bad_header);
        for (std::int32_t i = 0; i < n; ++i) {
            std::int32_t len = 0;
            std::string name;
            if (!r.i32(len) || len < 0 || len > max_column_name || !r.bytes(name, std::size_t(len)))
                return fall_back(table, PointsRead::bad_header);
            columns.push_back(rtl::cp1251_to_utf8(name));
        }
    } else {
        if (n < 6 || n > 7) return fall_back(table, PointsRead::bad_header);
        columns = {"cem_davl", "cem_plotn", "cem_temp", "cem_rasx", "cem_V", "cem_Vsumm"};
        if (n > 6) columns.push_back("cem_plan_V");
    }

    std::int32_t m = 0;
    if (!r.i32(m) || m < 0) {
        table.columns = std::move(columns);
        table.points.clear();
        return PointsRead::truncated;
    }
    const std::size_t point_size = 8 + 4 * std::size_t(n);
    const std::size_t whole = r.left() / point_size;
    const std::size_t count = std::min<std::size_t>(std::size_t(m), whole);
    std::deque<ChartPoint> points;
    for (std::size_t k = 0; k < count; ++k) {
        ChartPoint p;
        r.raw(p.time);
        p.values.resize(std::size_t(n));
        for (float& v : p.values) r.raw(v);
        points.push_back(std::move(p));
    }
    table.columns = std::move(columns);
    table.points = std::move(points);
    return count < std::size_t(m) ? PointsRead::truncated : PointsRead::ok;
}

void save_points_file(const std::string& path, const ChartPoints& table) {
    if (table.points.empty()) return;
    refuse_odd_job_file(path);
    const std::string bytes = encode_points(table);
    os::ReplacementFile f;
    if (!f.create(path) || !f.write(bytes.data(), bytes.size()) || !f.commit())
        throw std::runtime_error("cannot write the points file '" + path + "': " + std::strerror(f.last_error()));
}

PointsRead load_points_file(const std::string& path, ChartPoints& table) {
    std::string bytes;
    const int err = os::read_file(path, bytes, nullptr, max_points_file_bytes);
    // Only a file that is not there is a stage without points yet; one that
    // is there and cannot be read must not pass for it.
    if (err == ENOENT || err == ENOTDIR) return fall_back(table, PointsRead::ok);
    if (err != 0) return fall_back(table, PointsRead::unreadable);
    return decode_points(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), table);
}

double step_volume(int kind, float flow, double dt) {
    if (kind == kind_waiting || !(flow > 0) || lib::is_over_null(dt)) return 0;
    return double(flow) * dt * 0.001;
}

void add_sample(CementProgramElement& e, float rate, float density, float pressure) {
    e.rate_sum += rate;
    e.density_sum += density;
    ++e.samples;
    // P_min starts at 10 and P_max at 0: a pressure between them moves
    // only the one it passes.
    if (pressure >= e.P_min) {
        if (pressure > e.P_max) e.P_max = pressure;
    } else {
        e.P_min = pressure;
    }
}

void add_point(ChartPoints& table, double t, const std::map<AnsiString, float>& values,
               CementProgramElement* running) {
    ChartPoint p;
    p.time = t;
    p.values.assign(table.columns.size(), 0.0f);
    for (const auto& [name, value] : values) {
        const int i = table.column_index(name);
        if (i >= 0) p.values[std::size_t(i)] = value;
    }
    table.points.push_back(std::move(p));
    auto get = [&](const char* name) {
        auto it = values.find(name);
        return it == values.end() ? 0.0f : it->second;
    };
    if (running) add_sample(*running, get("cem_rasx"), get("cem_plotn"), get("cem_davl"));
}

int reintegrate(ChartPoints& table, double a, double b, const CementProgramElement* running, double max_gap_s) {
    auto& points = table.points;
    const int n = int(points.size());
    const int col_v = table.column_index("cem_V");
    const int col_sum = table.column_index("cem_Vsumm");
    const int col_rate = table.column_index("cem_rasx");
    if (n < 2 || col_v < 0 || col_sum < 0 || col_rate < 0) return -1;
    // A point of fewer columns than the table (a damaged file read short)
    // holds none of these.
    const std::size_t need = std::size_t(std::max({col_v, col_sum, col_rate})) + 1;
    auto time = [&](int k) { return points[std::size_t(k)].time; };
    int i1 = n - 1;
    if (b != 0) {
        i1 = 0;
        for (int k = n - 2; k > 0; --k)
            if (time(k) < b) {
                i1 = k + 1;
                break;
            }
    }
    if (i1 == 0) return -1;
    // From the last point before `a`; with none, from the stage's first
    // point, which stands as it was stored (an element whose points begin
    // the stage still has its volume carried on).
    int i0 = 1;
    for (int k = i1 - 1; k > 0; --k)
        if (time(k) < a) {
            i0 = k;
            break;
        }
    const int kind = running ? running->kind : -1;
    // The point the running element's start stored begins its stage volume
    // afresh, as the live cycle did: the element before keeps its own. It is
    // the last of the points at the first time at or after the start (the
    // element before may have stored one in the same instant).
    int first = -1;
    if (running) {
        int k = n - 1;
        while (k > 0 && time(k - 1) >= running->start) --k;
        if (time(k) >= running->start) {
            while (k + 1 < n && time(k + 1) == time(k)) ++k;
            first = k;
        }
    }
    for (int k = i0; k <= i1; ++k) {
        auto& prev = points[std::size_t(k - 1)].values;
        auto& cur = points[std::size_t(k)].values;
        if (prev.size() < need || cur.size() < need) continue;
        // Points are stored only while good frames come: a gap between two
        // (the line silent, the recording broken off, a clock set forward)
        // adds no more than one frame vouches for.
        const double dt = std::min((time(k) - time(k - 1)) * 24 * 60 * 60, max_gap_s);
        const double dv = dt > 0 ? step_volume(kind, cur[std::size_t(col_rate)], dt) : 0.0;
        cur[std::size_t(col_v)] = float((k == first ? 0.0f : prev[std::size_t(col_v)]) + dv);
        cur[std::size_t(col_sum)] = float(prev[std::size_t(col_sum)] + dv);
    }
    return points[std::size_t(i1)].values.size() < need ? -1 : i1;
}

float element_volume(const ChartPoints& table, const CementProgramElement& e) {
    // The last point is the element's own when it was stored after the
    // element began, or in the instant it began while the element gathered
    // samples (the element before may have stored one in that instant). An
    // element run in silence stored none: the point before is another's.
    const int col = table.column_index("cem_V");
    if (table.points.empty() || col < 0) return 0;
    const ChartPoint& last = table.points.back();
    if (last.time < e.start || (last.time == e.start && e.samples <= 0)) return 0;
    return std::size_t(col) < last.values.size() ? last.values[std::size_t(col)] : 0.0f;
}

}  // namespace cement
