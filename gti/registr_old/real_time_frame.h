#pragma once
// What the real-time file writer reads of the rest of the hub, in two small
// interfaces: the current-values frame (values, depths, operation, lag depth,
// the parameter table) and the hub's services (named text variables, the
// error log, the texts of the trip header). The writer knows the hub only
// through them, so it runs the same against the station's frame and against
// a scripted one.

#include <cstdint>
#include <string>

#include "gti/registr_old/oper_type.h"

class ParTabl;

using AnsiString = std::string;

// The current-values frame as the writer samples it, once per cycle on the
// host's thread.
class RealTimeFrame {
public:
    virtual ~RealTimeFrame() = default;

    // The frame's parameter table: the parameters of the time and depth
    // files, in table order. Numbers below are positions in it.
    virtual const ParTabl& par_tabl() const = 0;
    // The value readers see (the running average once it has two samples);
    // 0 for a number outside the frame.
    virtual double average_value(int number) = 0;
    // The latest raw value; 0 for a number outside the frame.
    virtual double current_value(int number) = 0;

    virtual double depth_z() const = 0;    // bottom-hole depth, metres
    virtual double depth_cur() const = 0;  // bit depth, metres
    virtual double lag_depth() const = 0;  // the lag-depth queue's value
    // The operation last set by the host's cycle, not the one the operator
    // forces.
    virtual OperType operation() const = 0;
    virtual bool lag_moving() const = 0;
    virtual bool depth_recording() const = 0;

    // The stamp of a record made now (lib::get_local_time).
    virtual std::uint32_t local_time() const;
};

// The well and trip texts of a trip header: the station configuration with
// its trip information, and the well description.
struct TripDescription {
    // well description
    AnsiString oil_field;
    AnsiString well;
    AnsiString well_category;
    AnsiString area;
    AnsiString customer;
    AnsiString drilling_unit;
    AnsiString logging_party;
    AnsiString crew;
    AnsiString pump;
    AnsiString operator_name;
    AnsiString foreman;
    AnsiString pad;
    double well_diameter = 0.0;
    // configuration and trip information
    int race_number = 0;
    AnsiString bit_number;
    AnsiString bit_type;
    AnsiString drilling_purpose;
    AnsiString motor_size;
    double depth_step = 0.0;  // metres between depth records
    int time_step = 0;        // seconds between time records
    AnsiString assembly;      // the drill-string assembly for the report
};

// The hub's services the writer uses. Every call comes from the host's
// thread except log_error, which the write thread calls as well.
class RealTimeHub {
public:
    virtual ~RealTimeHub() = default;
    virtual void set_variable(const char* name, const AnsiString& value) = 0;
    // One line in the station's error log; never throws.
    virtual void log_error(const AnsiString& message) noexcept = 0;
    virtual void trip_description(TripDescription& out) = 0;
};
