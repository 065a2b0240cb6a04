#pragma once
// DataStorage: the hub's current measurement frame. For up to 512
// parameters, numbered by their position in the frame's own parameter
// table, it holds the latest value, a running average and a failure flag;
// beside them the bottom-hole depth, the bit depth, the drilling operation
// and a three-tick depth-changed pulse. It owns the parameter table, the
// lag-depth queue and the writer of the real-time files (real_time_file.h).
//
// Indexed access never fails: a number outside 0..511, or a name the table
// does not hold, reaches a spare slot that is zeroed first, so a read gives
// 0 and a write is lost. Access by number allocates nothing and takes
// constant time. Access by name finds the name through ParTabl::find_global
// once, then remembers its number until the table changes or hands out a
// parameter to write (ParTabl::edits), so that a cycle that writes the same
// names frame after frame looks each up once.
//
// Module streams: "DataStorage" (lag_moving, depth_recording, bottom-hole
// depth, bit depth, operation, host counter; stored depths outside
// 0..max_depth are not taken, and the load reports them) and "AverageValues" (the 512
// averages as one raw block of 4096 bytes).
//
// No lock of its own: the host's cycle writes it, and every other thread
// holds the hub's lock around each access. Only the forced-operation
// notification crosses threads, always to the main thread.

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <boost/signals2/signal.hpp>

#include "gti/registr_old/oper_type.h"
#include "library/serial/module_list.h"
#include "platform/rtl/text.h"

using AnsiString = std::string;

class DataStorage;
class DelayedDepth;
class ParTabl;
class RealTimeFile;

namespace lib {
class MessCaller;
}

namespace ds_tmp {

constexpr int frame_size = 512;
// The longest averaging window; a longer one counts as this.
constexpr int max_average_window = 1000;

// The samples of one parameter's running average, oldest first: a ring over
// storage that grows only when a longer window is asked for, so that the
// cycle's append and trim never allocate.
//
// Beside the samples it keeps their running sum, so that an average costs
// the same whatever the window. The running sum carries its own rounding
// error (compensated, so it stays near the exact sum), and resum() makes it
// afresh from the samples from time to time, so that it never drifts from
// what summing the window again gives.
class PARAM_AVER_QUEUE {
public:
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::size_t capacity() const { return cap_; }

    void push_back(double value) {
        if (count_ == cap_) reserve(cap_ == 0 ? 8 : 2 * cap_);
        buf_[slot(count_)] = value;
        ++count_;
        add(value);
        ++since_resum_;
    }
    void pop_front() {
        if (count_ == 0) return;
        add(-buf_[head_]);
        if (++head_ == cap_) head_ = 0;
        --count_;
    }
    // Sample i, oldest first.
    double operator[](std::size_t i) const { return buf_[slot(i)]; }
    void clear() {
        head_ = 0;
        count_ = 0;
        sum_ = 0.0;
        carry_ = 0.0;
        since_resum_ = 0;
    }
    // Room for n samples without a further allocation.
    void reserve(std::size_t n);
    // The samples added in double, oldest first.
    double sum() const;
    // The sum kept up with every append and removal.
    double running_sum() const { return sum_ + carry_; }
    // Samples appended since the running sum was last made afresh.
    std::size_t since_resum() const { return since_resum_; }
    // The running sum made afresh from the samples, returning sum(). The
    // running sum restarts from their compensated sum rather than from
    // sum() itself, so that what sum() rounded away does not come back
    // when the large samples leave the window.
    double resum();
    // Asks the processor for the memory the next trim and append touch.
    void prefetch() const {
        if (cap_ == 0) return;
        __builtin_prefetch(buf_.data() + head_, 1);
        __builtin_prefetch(buf_.data() + slot(count_ < cap_ ? count_ : 0), 1);
    }
    // Spreads the fresh sums of many queues over different cycles.
    void set_since_resum(std::size_t n) { since_resum_ = n; }

private:
    std::size_t slot(std::size_t i) const {
        const std::size_t at = head_ + i;
        return at >= cap_ ? at - cap_ : at;
    }
    // Neumaier's compensated addition: carry_ gathers what each addition
    // to sum_ rounded away.
    void add(double x) {
        const double t = sum_ + x;
        if (std::fabs(sum_) >= std::fabs(x))
            carry_ += (sum_ - t) + x;
        else
            carry_ += (x - t) + sum_;
        sum_ = t;
    }

    std::vector<double> buf_;
    std::size_t cap_ = 0;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    double sum_ = 0.0;
    double carry_ = 0.0;
    std::size_t since_resum_ = 0;
};

// The latest value of each parameter.
class CurrentValues {
public:
    explicit CurrentValues(DataStorage& storage) : storage_(storage) {}
    CurrentValues(const CurrentValues&) = delete;
    CurrentValues& operator=(const CurrentValues&) = delete;

    double& operator[](int i) {
        if (i >= 0 && i < frame_size) return values_[static_cast<std::size_t>(i)];
        spare_ = 0.0;
        return spare_;
    }
    double& operator[](const char* name);
    double& operator[](const AnsiString& name);
    void clear() { values_.fill(0.0); }

private:
    double spare_ = 0.0;
    std::array<double, frame_size> values_{};
    DataStorage& storage_;
};

// The running averages. A parameter's window is its averaging count, held
// within 1..1000.
class AverageValues : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    explicit AverageValues(DataStorage& storage);
    ~AverageValues() override;
    AverageValues(const AverageValues&) = delete;
    AverageValues& operator=(const AverageValues&) = delete;

    // The average once two or more samples are queued, else the current
    // value (a reference into CurrentValues).
    double& operator[](int i);
    double& operator[](const char* name);
    double& operator[](const AnsiString& name);

    // One cycle for one half of the table: `computed` true takes the
    // parameters whose channel is -2, false all the others. Each appends
    // its current value to its queue, trims the queue to its window from
    // the front, and averages what is queued.
    void calculate_values(bool computed);
    // Empties every queue and zeroes every average.
    void clear();

    // How many samples parameter i has queued (0 outside the frame).
    int sample_count(int i) const;

    void get_serial_list(lib::serial_list& list, unsigned kind) override;
    void get_serial_name(AnsiString& name) override { name = "AverageValues"; }

private:
    std::array<PARAM_AVER_QUEUE, frame_size> queues_;
    double spare_ = 0.0;
    std::array<double, frame_size> averages_{};
    DataStorage& storage_;
};

}  // namespace ds_tmp

// What the station host program keeps in the frame for itself; nothing in
// the hub reads it.
struct FileData {
    bool flag1 = false;
    bool flag2 = false;
    std::array<std::uint8_t, 56> block1{};
    std::array<std::uint8_t, 60> block2{};
    AnsiString text;

    // Zeroes the flags and the two blocks; the text stays.
    void clear();
};

class DataStorage : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    static constexpr int max_params = ds_tmp::frame_size;
    static constexpr double max_depth = 15000.0;

    // One failure flag per parameter.
    class CrushFlags {
    public:
        CrushFlags() = default;
        CrushFlags(const CrushFlags&) = delete;
        CrushFlags& operator=(const CrushFlags&) = delete;

        void set_storage(DataStorage* storage) { storage_ = storage; }
        unsigned char& operator[](int i) {
            if (i >= 0 && i < max_params) return flags_[static_cast<std::size_t>(i)];
            spare_ = 0;
            return spare_;
        }
        unsigned char& operator[](const AnsiString& name);
        void clear() { flags_.fill(0); }

    private:
        std::array<unsigned char, max_params> flags_{};
        unsigned char spare_ = 0;
        DataStorage* storage_ = nullptr;
    };

    using OperationSignal = boost::signals2::signal<void(OperType)>;

    DataStorage();
    ~DataStorage() override;
    DataStorage(const DataStorage&) = delete;
    DataStorage& operator=(const DataStorage&) = delete;

    // The value readers see: the average once two or more samples are
    // queued, else the current value.
    double& operator[](int i) {
        if (i >= 0 && i < max_params) return average_values[i];
        spare_ = 0.0;
        return spare_;
    }
    double& operator[](const char* name);
    double& operator[](const AnsiString& name);

    // The number of the parameter with this global name, as
    // ParTabl::find_global gives it (-1 for none), remembered while the
    // table stays as it was. Readers of the frame call it from several
    // threads at once (the host's outside the hub's lock, the plug-ins'
    // inside it), so the memory of names has a lock of its own, a leaf.
    int number_of(std::string_view name);

    // Counts the depth-changed pulse down.
    void tick() {
        if (depth_changed_countdown_ != 0) --depth_changed_countdown_;
    }
    // Starts the pulse: is_depth_changed() holds for the next three ticks.
    void depth_changed() { depth_changed_countdown_ = 3; }
    bool is_depth_changed() const { return depth_changed_countdown_ != 0; }

    void set_operation(OperType op) { operation_ = op; }
    // The forced operation while there is one (non-zero), else the one set.
    OperType get_operation() const { return forced_operation_ != 0 ? forced_operation_ : operation_; }
    // Stores the operator's operation at once; when it changed, the
    // operation signal fires with it on the main thread, through the hub's
    // main-thread caller.
    void set_forced_operation(OperType op);
    // The main thread's half of set_forced_operation: fires the signal.
    void mt_set_forced_operation(OperType op);
    OperType get_forced_operation() const { return forced_operation_; }
    // The operation last set by the cycle, whatever the operator forces:
    // what the real-time records carry.
    OperType get_set_operation() const { return operation_; }
    // Subscribes to the operation signal: slot(op) runs on the main thread
    // with each new forced operation.
    boost::signals2::connection connect_operation(const std::function<void(OperType)>& slot);
    // The caller through which the notification reaches the main thread;
    // until one is set it is posted to the main queue directly.
    void set_mess_caller(lib::MessCaller* caller) { mess_caller_ = caller; }

    // Throws std::runtime_error, changing nothing, for a depth outside
    // 0..15000 m or one that is not a finite number. The bit follows the
    // bottom while it is on bottom and is never left below it; either way
    // the depth-changed pulse starts.
    void set_depth_z(double depth);
    // The same check; a bit depth below the bottom is taken as the bottom.
    void set_depth_cur(double depth);
    double get_depth_z() const { return depth_z_; }
    // Puts back depths taken before a reload of the saved state, exactly as
    // they were: no check, no pulse, no bit-follows-bottom rule.
    void restore_depths(double depth_z, double depth_cur) {
        depth_z_ = depth_z;
        depth_cur_ = depth_cur;
    }
    double get_depth_cur() const { return depth_cur_; }
    // The height of the bit above the bottom, 0 when the bit is below it.
    double get_depth_uz() const {
        const double d = depth_z_ - depth_cur_;
        return d < 0.0 ? 0.0 : d;
    }

    // The two depths in the INI file, section "рейс": "глубина_забоя" and
    // "глубина_долота". Loading keeps a depth whose key is missing or
    // unreadable, or whose value lies outside 0..max_depth, and gives no
    // depth-changed pulse; a bit below the bottom is taken as it is. It
    // returns one text for each value it refused (naming the file, the key
    // and the value). Saving writes both keys in one rewrite of the file; a
    // failed write throws std::runtime_error naming the file.
    std::vector<AnsiString> load_conf(const AnsiString& file);
    void save_conf(const AnsiString& file);

    // Store modes of the parameters whose value must not be averaged over a
    // record interval: the rates of penetration take their last value, the
    // maximum gas its maximum.
    void correct_store_modes();

    ParTabl& get_par_tabl() { return *par_tabl_; }
    const ParTabl& get_par_tabl() const { return *par_tabl_; }
    DelayedDepth& get_delayed_depth() { return *delayed_depth_; }
    const DelayedDepth& get_delayed_depth() const { return *delayed_depth_; }
    // The writer of the real-time files, built with the frame.
    RealTimeFile& get_real_time_file() { return *real_time_file_; }

    void get_serial_list(lib::serial_list& list, unsigned kind) override;
    void get_serial_name(AnsiString& name) override { name = "DataStorage"; }

private:
    OperType forced_operation_ = 0;
    OperType operation_ = 0;
    std::int32_t depth_changed_countdown_ = 0;
    double spare_ = 0.0;
    AnsiString ini_section_ = "рейс";
    std::unique_ptr<ParTabl> par_tabl_;
    std::unique_ptr<DelayedDepth> delayed_depth_;
    std::unique_ptr<RealTimeFile> real_time_file_;

    // Fired on the main thread when the forced operation changes.
    OperationSignal operation_signal_;

public:
    ds_tmp::CurrentValues current_values;
    ds_tmp::AverageValues average_values;
    CrushFlags crush_flags;
    FileData file_data;
    // Mud circulates: the writer's lag lines advance and the trip totals
    // count circulation. The host writes it.
    bool lag_moving = true;
    // The writer accumulates values for the depth file. The host writes it.
    bool depth_recording = false;

private:
    double depth_z_ = 0.0;
    double depth_cur_ = 0.0;

public:
    // Kept for the host through the module stream; nothing in the hub reads it.
    std::int32_t host_counter = 0;

private:
    lib::MessCaller* mess_caller_ = nullptr;

    // What number_of found for each name asked, and for which state of the
    // table; `found` is the parameter's global name then, so that a rename
    // through a reference kept from before is still caught.
    struct NameSlot {
        int number = -1;
        std::uint64_t edits = 0;
        bool resolved = false;
        std::string found;
    };
    struct ExactHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, NameSlot, ExactHash, std::equal_to<>> names_;
    std::mutex names_lock_;

    // Calls already queued for the main thread check it, so that a frame
    // destroyed meanwhile is never reached.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
