#include "gti/registr_old/data_storage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/real_time_file.h"
#include "library/mess_caller.h"
#include "library/numeric/numeric.h"
#include "library/serial/serial_list.h"
#include "platform/rtl/ini_file.h"
#include "platform/rtl/numbers.h"
#include "platform/ui/message_queue.h"

namespace {

int find_number(DataStorage& storage, const char* name) {
    return name ? storage.number_of(std::string_view(name)) : -1;
}

// Names a station's code asks for are few; names from elsewhere (an
// operator's text) are not remembered past this many.
constexpr std::size_t kMostRememberedNames = 4096;

// A parameter's averaging window and half of the table, without copying
// the parameter: a position past the table's end is a parameter with the
// defaults of a new one.
struct AverageSetup {
    int channel;
    int averaging;
};

AverageSetup average_setup(ParTabl& table, int count, int i) {
    if (i < count) {
        const Param& p = table[i];
        return {p.channel, p.averaging};
    }
    static const Param defaults;
    return {defaults.channel, defaults.averaging};
}

}  // namespace

namespace ds_tmp {

// ---- PARAM_AVER_QUEUE ------------------------------------------------------

void PARAM_AVER_QUEUE::reserve(std::size_t n) {
    if (n <= cap_) return;
    std::vector<double> grown(n);
    for (std::size_t i = 0; i < count_; ++i) grown[i] = (*this)[i];
    buf_.swap(grown);
    cap_ = n;
    head_ = 0;
}

double PARAM_AVER_QUEUE::sum() const {
    // Oldest first, one addition after the other: the averages the station
    // has always written depend on this order. The ring lies in at most two
    // pieces: from the oldest sample to the end of the storage, then from
    // its start.
    double s = 0.0;
    const std::size_t first = std::min(count_, cap_ - head_);
    for (std::size_t k = 0; k < first; ++k) s += buf_[head_ + k];
    for (std::size_t k = 0; k < count_ - first; ++k) s += buf_[k];
    return s;
}

double PARAM_AVER_QUEUE::resum() {
    sum_ = 0.0;
    carry_ = 0.0;
    const std::size_t first = std::min(count_, cap_ - head_);
    for (std::size_t k = 0; k < first; ++k) add(buf_[head_ + k]);
    for (std::size_t k = 0; k < count_ - first; ++k) add(buf_[k]);
    since_resum_ = 0;
    return sum();
}

// ---- CurrentValues ---------------------------------------------------------

double& CurrentValues::operator[](const char* name) { return (*this)[find_number(storage_, name)]; }

double& CurrentValues::operator[](const AnsiString& name) { return (*this)[storage_.number_of(name)]; }

// ---- AverageValues ---------------------------------------------------------

AverageValues::AverageValues(DataStorage& storage) : storage_(storage) {
    // Each queue starts at a different count, so that the fresh sums of
    // long windows fall on different cycles rather than all on one.
    for (std::size_t i = 0; i < queues_.size(); ++i) queues_[i].set_since_resum(i);
}

AverageValues::~AverageValues() = default;

double& AverageValues::operator[](int i) {
    if (i < 0 || i >= frame_size) {
        spare_ = 0.0;
        return spare_;
    }
    const auto k = static_cast<std::size_t>(i);
    if (queues_[k].size() > 1) return averages_[k];
    return storage_.current_values[i];
}

double& AverageValues::operator[](const char* name) { return (*this)[find_number(storage_, name)]; }

double& AverageValues::operator[](const AnsiString& name) { return (*this)[storage_.number_of(name)]; }

void AverageValues::calculate_values(bool computed) {
    ParTabl& table = storage_.get_par_tabl();
    const int count = table.get_items_count();
    for (int i = 0; i < frame_size; ++i) {
        const AverageSetup setup = average_setup(table, count, i);
        if ((setup.channel == -2) != computed) continue;
        int window = setup.averaging;
        if (window < 1) window = 1;
        if (window > max_average_window) window = max_average_window;

        PARAM_AVER_QUEUE& q = queues_[static_cast<std::size_t>(i)];
        // Every queue's samples lie elsewhere in memory; asking for the
        // ones a few parameters ahead hides the wait for them.
        if (i + 4 < frame_size) queues_[static_cast<std::size_t>(i + 4)].prefetch();
        const auto w = static_cast<std::size_t>(window);
        // Trimming to one short of the window before appending leaves the
        // same samples as appending and then trimming, in a ring that never
        // needs more room than the window.
        q.reserve(w);
        while (q.size() >= w) q.pop_front();
        q.push_back(storage_.current_values[i]);
        // Once a window's worth of samples has passed through, or once the
        // running sum met an infinity or a NaN (which no later subtraction
        // takes out again), the sum is made afresh.
        double sum = q.running_sum();
        if (q.since_resum() >= w || !std::isfinite(sum)) sum = q.resum();
        averages_[static_cast<std::size_t>(i)] = sum / static_cast<double>(q.size());
    }
}

void AverageValues::clear() {
    for (std::size_t i = 0; i < queues_.size(); ++i) {
        queues_[i].clear();
        queues_[i].set_since_resum(i);
    }
    averages_.fill(0.0);
}

int AverageValues::sample_count(int i) const {
    if (i < 0 || i >= frame_size) return 0;
    return static_cast<int>(queues_[static_cast<std::size_t>(i)].size());
}

void AverageValues::get_serial_list(lib::serial_list& list, unsigned) {
    constexpr int block = frame_size * 8;
    char raw[block];
    if (!list.is_reading()) {
        for (int i = 0; i < frame_size; ++i) {
            std::uint64_t bits;
            std::memcpy(&bits, &averages_[static_cast<std::size_t>(i)], 8);
            for (int b = 0; b < 8; ++b) raw[i * 8 + b] = static_cast<char>((bits >> (8 * b)) & 0xFF);
        }
        list.process_binary(raw, block);
        return;
    }
    const std::int64_t left = list.bytes_left();
    if (left >= 0 && left < block)
        throw std::runtime_error("AverageValues::get_serial_list: the averages take " + std::to_string(block) +
                                 " bytes, " + std::to_string(left) + " are left");
    list.process_binary(raw, block);
    for (int i = 0; i < frame_size; ++i) {
        std::uint64_t bits = 0;
        for (int b = 0; b < 8; ++b)
            bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(raw[i * 8 + b])) << (8 * b);
        std::memcpy(&averages_[static_cast<std::size_t>(i)], &bits, 8);
    }
    // A parameter with one sample or none shows its current value, so the
    // restored average has to go there to be seen.
    for (int i = 0; i < frame_size; ++i) storage_[i] = averages_[static_cast<std::size_t>(i)];
}

}  // namespace ds_tmp

// ---- FileData --------------------------------------------------------------

void FileData::clear() {
    flag1 = false;
    flag2 = false;
    block1.fill(0);
    block2.fill(0);
}

// ---- DataStorage -----------------------------------------------------------

unsigned char& DataStorage::CrushFlags::operator[](const AnsiString& name) {
    return (*this)[storage_ ? storage_->number_of(name) : -1];
}

DataStorage::DataStorage()
    : par_tabl_(std::make_unique<ParTabl>()),
      delayed_depth_(std::make_unique<DelayedDepth>(*this)),
      real_time_file_(std::make_unique<RealTimeFile>(*this)),
      current_values(*this),
      average_values(*this) {
    crush_flags.set_storage(this);
}

DataStorage::~DataStorage() = default;

double& DataStorage::operator[](const char* name) { return (*this)[find_number(*this, name)]; }

double& DataStorage::operator[](const AnsiString& name) { return (*this)[number_of(name)]; }

int DataStorage::number_of(std::string_view name) {
    const ParTabl& table = *par_tabl_;
    const std::uint64_t edits = table.edits();
    std::lock_guard<std::mutex> hold(names_lock_);
    auto it = names_.find(name);
    if (it == names_.end()) {
        if (names_.size() >= kMostRememberedNames) return table.find_global(name);
        it = names_.emplace(std::string(name), NameSlot{}).first;
    }
    NameSlot& slot = it->second;
    if (slot.resolved && slot.edits == edits &&
        (slot.number < 0 || (slot.number < table.get_items_count() && table.at(slot.number).global_name == slot.found)))
        return slot.number;
    slot.number = table.find_global(name);
    if (slot.number >= 0)
        slot.found = table.at(slot.number).global_name;
    else
        slot.found.clear();
    slot.edits = edits;
    slot.resolved = true;
    return slot.number;
}

void DataStorage::set_forced_operation(OperType op) {
    if (op == forced_operation_) return;
    forced_operation_ = op;
    std::weak_ptr<int> alive = alive_;
    auto notify = [this, alive, op] {
        if (alive.lock()) mt_set_forced_operation(op);
    };
    if (mess_caller_)
        mess_caller_->call(notify);
    else
        ui::main_queue().post(notify);
}

void DataStorage::mt_set_forced_operation(OperType op) { operation_signal_(op); }

namespace {

// Out of range and not finite are one and the same mistake to the operator.
bool depth_in_range(double depth) { return depth >= 0.0 && depth <= DataStorage::max_depth; }

}  // namespace

void DataStorage::set_depth_z(double depth) {
    if (!depth_in_range(depth))
        throw std::runtime_error("Некорректное значение глубины забоя!\nРазрешённые значения - от 0 до 15000 метров.");
    const bool on_bottom = lib::is_over_null(depth_z_ - depth_cur_);
    depth_z_ = depth;
    if (depth_z_ < depth_cur_ || on_bottom) depth_cur_ = depth_z_;
    depth_changed();
}

void DataStorage::set_depth_cur(double depth) {
    if (!depth_in_range(depth))
        throw std::runtime_error(
            "Некорректное значение глубины инструмента!\nРазрешённые значения - от 0 до 15000 метров.");
    depth_cur_ = depth > depth_z_ ? depth_z_ : depth;
    depth_changed();
}

std::vector<AnsiString> DataStorage::load_conf(const AnsiString& file) {
    rtl::IniFile ini(file);
    std::vector<AnsiString> refused;
    // A depth no well has (a typing slip, a damaged file) would have the
    // host record every step from here to there: it is refused and the
    // present depth kept.
    auto read = [&](const char* key, double& depth) {
        const double v = ini.ReadFloat(ini_section_, key, depth);
        if (depth_in_range(v)) {
            depth = v;
            return;
        }
        refused.push_back("'" + file + "' [" + ini_section_ + "] " + key + "=" + ini.ReadString(ini_section_, key, "") +
                          ": вне пределов от 0 до 15000 м, оставлено " + rtl::FloatToStr(depth));
    };
    read("глубина_забоя", depth_z_);
    read("глубина_долота", depth_cur_);
    return refused;
}

void DataStorage::save_conf(const AnsiString& file) {
    rtl::IniFile ini(file);
    rtl::IniFile::Batch batch(ini);
    ini.WriteFloat(ini_section_, "глубина_забоя", depth_z_);
    ini.WriteFloat(ini_section_, "глубина_долота", depth_cur_);
    batch.commit();
}

void DataStorage::correct_store_modes() {
    static const char* const last_value[] = {"скорость_механическая", "дмк", "дмк1"};
    for (const char* name : last_value) {
        const int i = par_tabl_->find_global(name);
        if (i != -1) (*par_tabl_)[i].kind = 1;
    }
    const int max_gas = par_tabl_->find_global("максимальный_газ");
    if (max_gas != -1) (*par_tabl_)[max_gas].kind = 2;
}

void DataStorage::get_serial_list(lib::serial_list& list, unsigned) {
    if (!list.is_reading()) {
        list | lag_moving | depth_recording | depth_z_ | depth_cur_ | operation_ | host_counter;
        return;
    }
    bool moving = lag_moving, recording = depth_recording;
    double z = depth_z_, cur = depth_cur_;
    OperType op = operation_;
    std::int32_t counter = host_counter;
    list | moving | recording | z | cur | op | counter;
    lag_moving = moving;
    depth_recording = recording;
    operation_ = op;
    host_counter = counter;
    // Depths out of the well's range (a damaged state file) are not taken.
    if (!depth_in_range(z) || !depth_in_range(cur))
        throw std::runtime_error("DataStorage: сохранённые глубины " + rtl::FloatToStr(z) + " и " +
                                 rtl::FloatToStr(cur) + " вне пределов от 0 до 15000 м, оставлены " +
                                 rtl::FloatToStr(depth_z_) + " и " + rtl::FloatToStr(depth_cur_));
    depth_z_ = z;
    depth_cur_ = cur;
}
