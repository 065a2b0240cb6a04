#include "plugins/cement/cement_points.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/os/file.h"
#include "plugins/cement/cement_files.h"
#include "platform/rtl/codepage.h"

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

}  // namespace cement
