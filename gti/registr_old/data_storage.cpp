#include "gti/registr_old/data_storage.h"

#include "library/numeric/numeric.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace ds_tmp {

namespace {
bool in_range(int i) { return i >= 0 && i < max_params; }
}  // namespace

double& CurrentValues::operator[](int i) {
    if (in_range(i)) return values_[static_cast<std::size_t>(i)];
    spare_ = 0;
    return spare_;
}

double& CurrentValues::operator[](const char* name) { return (*this)[ds_.find(name)]; }

double& CurrentValues::operator[](const AnsiString& name) { return (*this)[name.c_str()]; }

void CurrentValues::clear() { values_.fill(0); }

double& AverageValues::operator[](int i) {
    if (!in_range(i)) {
        spare_ = 0;
        return spare_;
    }
    auto k = static_cast<std::size_t>(i);
    if (queues_[k].size() > 1) return averages_[k];
    return ds_.get_cur_values()[i];
}

double& AverageValues::operator[](const char* name) { return (*this)[ds_.find(name)]; }

double& AverageValues::operator[](const AnsiString& name) { return (*this)[name.c_str()]; }

void AverageValues::clear() {
    for (auto& q : queues_) q.clear();
    averages_.fill(0);
}

void AverageValues::get_serial_list(lib::serial_list& list, unsigned) {
    constexpr int block = static_cast<int>(sizeof(double) * max_params);
    static_assert(block == 4096);
    if (list.is_writing()) {
        char bytes[block];
        for (int i = 0; i < max_params; ++i) {
            std::uint64_t u;
            std::memcpy(&u, &averages_[static_cast<std::size_t>(i)], 8);
            for (int b = 0; b < 8; ++b) bytes[i * 8 + b] = static_cast<char>(u >> (8 * b));
        }
        list.process_binary(bytes, block);
    } else if (list.is_reading()) {
        std::int64_t before = list.bytes_left();
        char bytes[block];
        list.process_binary(bytes, block);
        if (before >= 0 && before < block) return;  // a short record changes nothing
        for (int i = 0; i < max_params; ++i) {
            std::uint64_t u = 0;
            for (int b = 0; b < 8; ++b)
                u |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i * 8 + b])) << (8 * b);
            double v;
            std::memcpy(&v, &u, 8);
            averages_[static_cast<std::size_t>(i)] = v;
            ds_[i] = v;
        }
    }
}

}  // namespace ds_tmp

unsigned char& DataStorage::CrushFlags::operator[](int i) {
    if (i >= 0 && i < max_params) return flags_[static_cast<std::size_t>(i)];
    spare_ = 0;
    return spare_;
}

unsigned char& DataStorage::CrushFlags::operator[](const AnsiString& name) {
    return (*this)[ds_ ? ds_->find(name.c_str()) : -1];
}

DataStorage::DataStorage(int) : cur_values_(*this), aver_values_(*this) { crush_flags_.set_storage(this); }

double& DataStorage::operator[](int i) {
    if (i >= 0 && i < max_params) return aver_values_[i];
    spare_ = 0;
    return spare_;
}

double& DataStorage::operator[](const char* name) { return (*this)[find(name)]; }

int DataStorage::find(const char* name) const { return name ? par_tabl_.find_global(name) : -1; }

void DataStorage::tick() {
    if (depth_changed_countdown_ != 0) --depth_changed_countdown_;
}

void DataStorage::set_depth_z(double x) {
    // A depth that is not a number fails the range test as well.
    if (!(x >= 0 && x <= max_depth))
        throw std::runtime_error(
            "Некорректное значение глубины забоя!\nРазрешённые значения - от 0 до 15000 метров.");
    bool on_bottom = lib::is_over_null(depth_z_ - depth_cur_);
    depth_z_ = x;
    if (depth_z_ < depth_cur_ || on_bottom) depth_cur_ = depth_z_;
    depth_changed();
}

void DataStorage::set_depth_cur(double x) {
    if (!(x >= 0 && x <= max_depth))
        throw std::runtime_error(
            "Некорректное значение глубины инструмента!\nРазрешённые значения - от 0 до 15000 метров.");
    depth_cur_ = x > depth_z_ ? depth_z_ : x;
    depth_changed();
}

double DataStorage::get_depth_uz() const {
    double d = depth_z_ - depth_cur_;
    return d < 0 ? 0 : d;
}

void DataStorage::get_serial_list(lib::serial_list& list, unsigned) {
    list | lag_moving | depth_recording | depth_z_ | depth_cur_ | operation_ | host_counter;
}
