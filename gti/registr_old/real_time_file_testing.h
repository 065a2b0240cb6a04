#pragma once
// For tests and benchmarks of the real-time writer: a scripted frame, a hub
// that records what it is told, and reading a written file back.

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/real_time_frame.h"
#include "library/storage/file_storage.h"
#include "library/storage/rt_blocks.h"

#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace rt_testing {

class ScriptedFrame : public RealTimeFrame {
public:
    static constexpr int size = 512;

    ParTabl table;
    std::array<double, size> average{};
    std::array<double, size> current{};
    double z = 0.0;
    double cur = 0.0;
    double lag = 0.0;
    OperType op = 0;
    bool moving = true;
    bool by_depth = false;
    std::uint32_t time = 1'000'000'000;

    const ParTabl& par_tabl() const override { return table; }
    double average_value(int n) override { return n >= 0 && n < size ? average[static_cast<std::size_t>(n)] : 0.0; }
    double current_value(int n) override { return n >= 0 && n < size ? current[static_cast<std::size_t>(n)] : 0.0; }
    double depth_z() const override { return z; }
    double depth_cur() const override { return cur; }
    double lag_depth() const override { return lag; }
    OperType operation() const override { return op; }
    bool lag_moving() const override { return moving; }
    bool depth_recording() const override { return by_depth; }
    std::uint32_t local_time() const override { return time; }

    // Current and averaged value alike.
    void set(int n, double v) {
        average[static_cast<std::size_t>(n)] = v;
        current[static_cast<std::size_t>(n)] = v;
    }
    // A parameter of the registry, by its global name, with a store mode.
    int add(const std::string& global_name, std::uint8_t kind = 0) {
        Param p;
        const AllParams& registry = get_all_params();
        const int n = registry.get_param_number(std::string_view(global_name));
        if (n >= 0) registry.at(n).assign_to(p);
        p.global_name = global_name;
        p.kind = kind;
        table.add(p);
        return table.get_items_count() - 1;
    }
};

// The first `count` distinct global names of the registry (registering more
// when it has fewer).
inline std::vector<std::string> registry_names(int count) {
    AllParams& registry = get_all_params();
    for (;;) {
        std::vector<std::string> names;
        std::set<std::string> seen;
        for (int i = 0; i < registry.get_items_count() && static_cast<int>(names.size()) < count; ++i) {
            const std::string& name = registry.at(i).global_name;
            if (name.empty() || registry.get_param_number(std::string_view(name)) != i) continue;
            if (seen.insert(name).second) names.push_back(name);
        }
        if (static_cast<int>(names.size()) >= count) return names;
        for (int extra = static_cast<int>(names.size()); extra < count; ++extra)
            registry.register_param("Параметр " + std::to_string(extra), "п" + std::to_string(extra), "ед",
                                    "тестовый_параметр_" + std::to_string(extra), -1, 1, 0, 0, 0, 0, 100, 0);
    }
}

class RecordingHub : public RealTimeHub {
public:
    TripDescription trip;
    std::map<std::string, std::string> variables;

    void set_variable(const char* name, const AnsiString& value) override { variables[name] = value; }
    void log_error(const AnsiString& message) noexcept override {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back(message);
    }
    void trip_description(TripDescription& out) override { out = trip; }

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    // Lines holding the text.
    int count(const std::string& text) const {
        std::lock_guard<std::mutex> guard(mutex_);
        int n = 0;
        for (const auto& l : lines_) n += l.find(text) != std::string::npos;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

inline std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The types of a file's blocks, in order.
inline std::vector<int> block_types(const std::string& path) {
    const std::string bytes = file_bytes(path);
    lib::realtime::BlockScanner scanner(bytes.data(), bytes.size());
    lib::realtime::Block block;
    std::vector<int> types;
    while (scanner.next(block)) types.push_back(block.type);
    return types;
}

}  // namespace rt_testing
