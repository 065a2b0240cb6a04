#pragma once
// The drilling calculations of the recording hub. CalcValues owns the trip
// totals, the pump and tank options, the depth calculation and the
// pipe-stand counter, and runs once per frame its computation steps, which
// write computed values into the current frame: tank volumes, turbine
// speed, mud and circulating volume, the tally length, the steel run in, and
// the number of stands and pipes.
//
// The hub attaches what the steps read of it (the configuration, the global
// parameter numbers, the error log and its own drill string) once it is
// built; until then the steps fail, and each failure is logged when there
// is a log.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gti/registr_old/candle_counter.h"
#include "gti/registr_old/depth_calc.h"
#include "gti/registr_old/pumps_tanks.h"
#include "gti/registr_old/race_total.h"
#include "library/options/ini_options.h"

class Config;
class DataStorage;
class ErrLog;
struct GlobalNums;

namespace pore {
class PoreOpt;
}
namespace instr {
class Items;
}

namespace calc {

// What one frame's steps work on.
struct CalcValuesData {
    pore::PoreOpt* pore = nullptr;   // the well with its construction and string
    DataStorage* storage = nullptr;  // the current frame
    std::uint32_t stamp = 0;         // kept with each stand-counter sample
};

class CalcValues : public lib::ini_options {
public:
    using Operation = void (CalcValues::*)(CalcValuesData&);
    struct CalcModule {
        AnsiString name;
        Operation operation;
    };

    // What the steps read of the hub.
    struct Hub {
        Config* config = nullptr;  // "свеча", "нулевой_вес", "доб_V_раствора", the trip record
        const GlobalNums* nums = nullptr;      // the global parameter numbers
        ErrLog* err_log = nullptr;             // where failing steps are reported
        const instr::Items* string = nullptr;  // the hub's drill string (its stand size)
    };

    CalcValues();
    ~CalcValues() override;
    CalcValues(const CalcValues&) = delete;
    CalcValues& operator=(const CalcValues&) = delete;

    void attach(const Hub& hub) { hub_ = hub; }

    // Every module in registration order; one that fails never stops the
    // next.
    void calc_and_store(CalcValuesData& d);
    // Runs one module; whatever it throws goes to the error log.
    void execute_module(const CalcModule& m, CalcValuesData& d);
    const std::vector<CalcModule>& modules() const { return modules_; }

    // Turbine speed, tank volumes and totals, the circulating and mud
    // volumes, the tally length and the steel run in.
    void calc_units(CalcValuesData& d);
    // The stand counter's sample and count.
    void calc_pipes(CalcValuesData& d);

    RaceTotal& get_race_total() { return *race_total_; }
    VEmkOpts& get_tanks() { return tanks_.tanks; }
    ObTrub& get_ob_trub() { return tanks_.ob_trub; }
    NasosWork& get_nasos_work() { return tanks_.nasos; }
    DepthCalc& get_depth_calc() { return depth_calc_; }
    candles::CandleCounter& get_candle_counter() { return candles_; }

protected:
    // For a test's own steps.
    void add_module(const char* name, Operation op) { modules_.push_back({name, op}); }

private:
    const Hub& checked_hub() const;

    struct Tanks {
        VEmkOpts tanks;
        ObTrub ob_trub;
        NasosWork nasos;
    };

    std::unique_ptr<RaceTotal> race_total_;
    Tanks tanks_;
    DepthCalc depth_calc_{"DepthCalc"};
    candles::CandleCounter candles_;
    std::vector<CalcModule> modules_;
    Hub hub_;
};

}  // namespace calc
