#pragma once
// The cementing job as the plug-in keeps it: the fluids, the programme of
// the running stage with its elements' report values, the plan tables, the
// report options and the curve points of the stage. The file forms live in
// cement_files.h, cement_points.h and cement_report.h.

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "library/options/options.h"

using AnsiString = std::string;

namespace cement {

// Stage kinds of a programme element, as the programme dialog lists them.
enum StageKind : int {
    kind_buffer = 0,
    kind_cement = 1,
    kind_gel_cement = 2,
    kind_gas_cement = 3,
    kind_waiting = 4,
    kind_displacement = 5,
    kind_other = 6,
};
constexpr int stage_kind_count = 7;
const char* stage_kind_name(int kind);  // "" outside 0..6

// Fluid types of an element: the three fixed cement fluids, then the fluids
// list from list_fluid_base on; no_fluid for none.
constexpr int fluid_cement = 0, fluid_gel_cement = 1, fluid_gas_cement = 2;
constexpr int list_fluid_base = 3;
constexpr int no_fluid = -1;

// Element states ("mode" in the programme file).
constexpr int state_waiting = 0, state_running = 1, state_done = 2;

// Running element index values besides an index.
constexpr int element_none = -1;
constexpr int element_finished = -2;

// The nine curve columns of a stage, in order.
const std::vector<AnsiString>& default_columns();

}  // namespace cement

// One fluid of the fluids list.
struct TRastvor {
    AnsiString name;
    float density = 0;
    AnsiString additive;
    float additive_density = 0;
    AnsiString base;
    float base_density = 0;
    float viscosity = 0;
    AnsiString calibr_file_name;

    // A fluid the operator adds by name.
    static TRastvor made_by_operator(const AnsiString& name);
};

// One of the three fixed cement fluids: two values and its flow meter
// calibration file.
struct FixedFluid {
    float value1 = 0;
    float value2 = 0;
    AnsiString calibr_file_name;
};

struct CementProgramElement {
    AnsiString name;
    int fluid_type = cement::no_fluid;
    TRastvor fluid;    // a copy of the list fluid (types 3 and above)
    FixedFluid fixed;  // the fixed fluid's data (types 0 to 2)
    int kind = cement::kind_other;
    float P_critical = 0;
    int mode = cement::state_waiting;
    double start = 0;  // TDateTime
    double end = 0;

    // Report values.
    float V_inc = 0;
    float Vsumm = 0;
    float cem_Vsumm = 0;
    float cem_M = 0;
    float cem_Msumm = 0;
    // Gathered over the element's own samples (the points stored while it
    // ran, also after a step back to it), averaged into Q_av and Pl_av when
    // it is reported.
    float rate_sum = 0;
    float density_sum = 0;
    int samples = 0;
    float Q_av = 0;
    float Pl_av = 0;
    float P_min = 10.0f;
    float P_max = 0;

    // What the element gathers anew when it starts.
    void reset_report_values();
    // A stage that starts has run none of its elements: no state, no times
    // and no report values of an earlier stage.
    void start_afresh();
    // The samples of `other` become this element's own.
    void take_samples(CementProgramElement& other);
    // The calibration file of the element's fluid: the fixed fluid's for
    // types 0 to 2, the list fluid's own otherwise.
    const AnsiString& calibr_file_name() const;
};

using TProgram = std::vector<CementProgramElement>;

// The job state: stage, programme, fluids, plan tables and the last live
// values. The plan tables are its options (section "Main").
class CementData : public lib::options_base {
public:
    // Rows of the plan tables and their columns.
    enum PlanRow { plan_volume = 0, plan_rate = 1, plan_density = 2 };
    enum PlanColumn { col_buffer = 0, col_displacement = 1, col_cement = 2, col_gel_cement = 3, col_gas_cement = 4 };

    CementData() { set_defaults(); }

    void enum_values(lib::options_list& list) override;

    // The plan value of a row for a stage kind; 0 for waiting, other and
    // anything unknown.
    float plan_for_kind(PlanRow row, int kind) const;

    // Index of the running element when one runs, else -1.
    int running_index() const;
    CementProgramElement* running_element();
    // Every element waits, with nothing of an earlier stage (start_afresh).
    void reset_states();

    int stage = -1;
    bool digital_density = true;
    TProgram program;
    int element = cement::element_none;
    int chart_scale = 5;
    std::vector<TRastvor> fluids;
    int selected_fluid = -1;
    std::array<FixedFluid, 3> fixed_fluids;  // cement, gel-cement, gas-cement
    float plan[3][5] = {};
    float pressure = 0, density = 0, temperature = 0, flow = 0, stage_volume = 0, total_volume = 0;
    std::vector<int> columns;  // cemented construction elements, ascending
    int samples = 0;
    // Spans of the stage (date-times) in which the station's line gave no
    // good frame: no volume was counted there; the stage's remarks say so.
    struct Silence {
        double from = 0, to = 0;
    };
    std::vector<Silence> silences;
};

// The options only the stage report carries (section "Report").
class TReportOptions : public lib::options_base {
public:
    TReportOptions() { set_defaults(); }
    void enum_values(lib::options_list& list) override;

    // Where the bit diameter lives: the hub's trip information in the
    // plug-in; the object's own field when not bound.
    void bind_bit_diameter(double* value) { bit_diameter_ = value ? value : &own_bit_diameter_; }
    double bit_diameter() const { return *bit_diameter_; }
    void set_bit_diameter(double v) { *bit_diameter_ = v; }

    double pore_angle = 0;
    double pore_kk = 0;
    double prob_v = 0;
    double depth_stop = 0;
    AnsiString works, ist_type, resident, company, nach_otriada, operators;
    AnsiString comment[4];

private:
    double own_bit_diameter_ = 0;
    double* bit_diameter_ = &own_bit_diameter_;
};

struct ChartPoint {
    double time = 0;  // TDateTime
    std::vector<float> values;
};

struct ChartPoints {
    std::vector<AnsiString> columns;
    std::deque<ChartPoint> points;

    int column_index(const AnsiString& name) const;  // -1 when absent
    void set_default_columns();
};
