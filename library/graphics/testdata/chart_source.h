#pragma once
// A data source for chart columns in tests and benchmarks: named series of
// (position, value) points held in memory, bound to a column's four data
// functions.

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "library/graphics/graphics_column.h"

namespace lib::graphics::testing {

struct Series {
    std::vector<double> pos;
    std::vector<double> value;
    void add(double p, double v) {
        pos.push_back(p);
        value.push_back(v);
    }
};

class ChartSource {
public:
    Series& series(const std::string& name) {
        auto it = index_.find(name);
        if (it == index_.end()) {
            it = index_.emplace(name, static_cast<int>(data_.size())).first;
            data_.emplace_back();
        }
        return data_[static_cast<std::size_t>(it->second)];
    }

    void bind(GraphicsColumn& column) {
        column.get_param_index = [this](const std::string& name) {
            auto it = index_.find(name);
            return it == index_.end() ? -1 : it->second;
        };
        column.get_points_count = [this](int d) {
            return static_cast<int>(data_[static_cast<std::size_t>(d)].pos.size());
        };
        column.get_point_pos = [this](int d, int i) {
            return data_[static_cast<std::size_t>(d)].pos[static_cast<std::size_t>(i)];
        };
        column.get_point_value = [this](int d, int i) {
            return data_[static_cast<std::size_t>(d)].value[static_cast<std::size_t>(i)];
        };
    }

private:
    std::map<std::string, int> index_;
    std::deque<Series> data_;  // references to series stay valid as more are added
};

}  // namespace lib::graphics::testing

namespace lib::graphics::testing {

// The twelve parameters of a generated drilling trip, with chart ranges.
struct TripParam {
    const char* name;
    const char* title;
    double left;
    double right;
};
inline constexpr TripParam kTripParams[] = {
    {"вес_на_крюке", "Вес на крюке, т", 0, 200},
    {"давление", "Давление, атм", 0, 250},
    {"глубина_долота", "Долото, м", 1790, 1910},
    {"забой", "Забой, м", 1790, 1910},
    {"расход_вх", "Расход вх., л/с", 0, 60},
    {"расход_вых", "Расход вых., л/с", 0, 60},
    {"обороты", "Обороты, об/мин", 0, 200},
    {"момент", "Момент, кН·м", 0, 40},
    {"газ", "Газ, %", 0.001, 10},
    {"плотность", "Плотность, г/см³", 1, 1.5},
    {"температура", "Температура, °C", 0, 80},
    {"уровень", "Уровень, м³", 20, 80},
};

// A drilling trip sampled every `step` days from `start`: stands drilled
// with connections between them (hook load up, pumps off), a bottom that
// deepens while drilling, gas shows now and then. Deterministic.
inline void make_trip(ChartSource& src, int records, double start, double step) {
    std::vector<Series*> s;
    for (const TripParam& p : kTripParams) {
        Series& x = src.series(p.name);
        x.pos.reserve(static_cast<std::size_t>(records));
        x.value.reserve(static_cast<std::size_t>(records));
        s.push_back(&x);
    }
    unsigned seed = 20240301;
    auto noise = [&seed](double amplitude) {
        seed = seed * 1664525u + 1013904223u;
        return ((seed >> 8) % 20001 / 10000.0 - 1.0) * amplitude;
    };
    double bottom = 1800, bit = 1800, gas = 0.02, level = 50;
    const int stand = 1500;  // records per stand: drilling, then a connection
    for (int i = 0; i < records; ++i) {
        const double t = start + i * step;
        const int phase = i % stand;
        const bool connection = phase > stand * 85 / 100;
        if (!connection) {
            bottom += 0.02 + noise(0.01);
            bit = bottom;
        } else {
            bit = bottom - (phase - stand * 85 / 100) * 0.05;
        }
        if (i % 9000 == 4000) gas = 1.5 + noise(1);
        gas = std::max(0.005, gas * 0.9995 + noise(0.002));
        level += noise(0.05);
        const double vals[] = {connection ? 95 + noise(2) : 70 + noise(6),
                               connection ? 5 + noise(2) : 160 + noise(10),
                               bit,
                               bottom,
                               connection ? 0.5 : 32 + noise(1.5),
                               connection ? 0.3 : 31 + noise(2.5),
                               connection ? 0 : 90 + noise(8),
                               connection ? 0.5 : 18 + noise(5),
                               gas,
                               1.18 + noise(0.01),
                               38 + 10 * static_cast<double>(i) / records + noise(0.3),
                               level};
        for (std::size_t k = 0; k < s.size(); ++k) s[k]->add(t, vals[k]);
    }
}

}  // namespace lib::graphics::testing
