#pragma once
// What the plug-in manager's tests exchange with their plug-ins: plain
// records the test hands over in an event's payload (the plug-in classes
// themselves stay inside their libraries).

#include <map>
#include <string>

// The probe plug-in runs the host callback table from inside its library
// when it gets an event carrying a ProbeReport*, and fills the record.
struct ProbeReport {
    std::map<std::string, double> numbers;
    std::map<std::string, std::string> texts;
};

// The counting plug-in copies its counts into a CountingReport* event
// payload.
struct CountingReport {
    int starts = 0;
    int stops = 0;
    int last_race = -1;
    bool last_load = false;
};
