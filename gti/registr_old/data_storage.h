#pragma once
// DataStorage: the hub's current measurement frame. For up to 512
// parameters, numbered by their position in the frame's parameter table, it
// holds the latest value, a running average and a failure flag, together
// with the bottom-hole depth, the bit depth, the drilling operation and a
// short depth-changed pulse.
//
// Indexed access never fails: a number outside 0..511, or a name the table
// does not know, reaches a spare slot that is zeroed on every such access,
// so a write to it is lost and a read gives 0.
//
// No lock of its own: callers off the host's main thread hold the hub's
// lock (sys_lock_obj()) around every access.
//
// The frame is a module of the hub's saved state ("DataStorage", with its
// averages as "AverageValues").

#include "gti/registr_old/par_tabl.h"
#include "library/serial/module_list.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>

using AnsiString = std::string;

// The drilling-operation code of the operations table; 0 is "none" for the
// forced operation.
enum OperType : std::int32_t { oper_none = 0 };

class DataStorage;

namespace ds_tmp {

constexpr int max_params = 512;

// Named access to the current values.
class CurrentValues {
public:
    explicit CurrentValues(DataStorage& ds) : ds_(ds) {}
    double& operator[](int i);
    double& operator[](const char* name);
    double& operator[](const AnsiString& name);
    void clear();

private:
    double spare_ = 0;
    std::array<double, max_params> values_{};
    DataStorage& ds_;
};

using PARAM_AVER_QUEUE = std::deque<double>;

// The running averages: a parameter's average once its queue holds two or
// more samples, its current value before.
class AverageValues : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    explicit AverageValues(DataStorage& ds) : ds_(ds) {}
    double& operator[](int i);
    double& operator[](const char* name);
    double& operator[](const AnsiString& name);
    void clear();

    void get_serial_name(AnsiString& name) override { name = "AverageValues"; }
    // The 512 averages as one block of 4096 bytes; each restored average
    // is then written through DataStorage::operator[](i).
    void get_serial_list(lib::serial_list& list, unsigned param) override;

private:
    std::array<PARAM_AVER_QUEUE, max_params> queues_;
    double spare_ = 0;
    std::array<double, max_params> averages_{};
    DataStorage& ds_;
};

}  // namespace ds_tmp

class DataStorage : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    static constexpr int max_params = ds_tmp::max_params;
    static constexpr double max_depth = 15000.0;

    class CrushFlags {
    public:
        unsigned char& operator[](int i);
        unsigned char& operator[](const AnsiString& name);
        void clear() { flags_.fill(0); }
        void set_storage(DataStorage* ds) { ds_ = ds; }

    private:
        std::array<unsigned char, max_params> flags_{};
        unsigned char spare_ = 0;
        DataStorage* ds_ = nullptr;
    };

    // The argument is kept for the callers that pass one; it means nothing.
    explicit DataStorage(int = 0);
    DataStorage(const DataStorage&) = delete;
    DataStorage& operator=(const DataStorage&) = delete;

    // The running average of parameter i (its current value until two
    // samples are queued).
    double& operator[](int i);
    double& operator[](const char* name);

    // The number of a parameter of the table, -1 when it has none.
    int find(const char* name) const;

    void tick();
    void depth_changed() { depth_changed_countdown_ = 3; }
    // True for the three ticks after a depth change.
    bool is_depth_changed() const { return depth_changed_countdown_ != 0; }

    void set_operation(OperType op) { operation_ = op; }
    // The forced operation while it is not 0, else the operation set.
    OperType get_operation() const { return forced_operation_ != oper_none ? forced_operation_ : operation_; }
    OperType get_forced_operation() const { return forced_operation_; }

    // Throw std::runtime_error for a depth outside 0..15000 m (or not a
    // number) and change nothing. The bit follows the bottom while it is on
    // bottom and is never deeper than the bottom.
    void set_depth_z(double x);
    void set_depth_cur(double x);
    // Puts back depths taken before a reload of the saved state, exactly as
    // they were (no pulse, no bit-follows-bottom rule).
    void restore_depths(double depth_z, double depth_cur) {
        depth_z_ = depth_z;
        depth_cur_ = depth_cur;
    }
    double get_depth_z() const { return depth_z_; }
    double get_depth_cur() const { return depth_cur_; }
    // Height of the bit above bottom; 0 when the bit is below it.
    double get_depth_uz() const;

    ParTabl& get_par_tabl() { return par_tabl_; }
    const ParTabl& get_par_tabl() const { return par_tabl_; }
    ds_tmp::CurrentValues& get_cur_values() { return cur_values_; }
    ds_tmp::AverageValues& get_aver_values() { return aver_values_; }
    CrushFlags& get_crush_flags() { return crush_flags_; }

    void get_serial_name(AnsiString& name) override { name = "DataStorage"; }
    void get_serial_list(lib::serial_list& list, unsigned param) override;

    // Written by the station host directly; they persist with the module.
    bool lag_moving = true;
    bool depth_recording = false;
    std::int32_t host_counter = 0;

private:
    OperType forced_operation_ = oper_none;
    OperType operation_ = oper_none;
    std::int32_t depth_changed_countdown_ = 0;
    double spare_ = 0;
    AnsiString section_ = "рейс";
    // The real-time file writer (RealTimeFile) and the lag-depth queue
    // (DelayedDepth) belong here; they join the frame with the writer.
    ParTabl par_tabl_;
    ds_tmp::CurrentValues cur_values_;
    ds_tmp::AverageValues aver_values_;
    CrushFlags crush_flags_;
    double depth_z_ = 0;
    double depth_cur_ = 0;
};
