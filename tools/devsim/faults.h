#pragma once
// Faults the simulated device can put on the line, each tied to the number
// of a report (0 for the first report the device sends).
//
// Text form, a comma-separated list of KIND@REPORT or KIND@REPORTxARG:
//   flip@3       one bit of report 3 inverted on the line (xN: N bits,
//                each in its own byte, so they are never one error)
//   stray@5x4    four junk bytes before report 5 (default 3)
//   repeat@7     report 7 sent twice, block number and all
//   skip@9x2     two block numbers left out before report 9 (default 1)
//   truncate@11x20  only the first 20 bytes of report 11 (default: half)
//   silence@13x1500 report 13 not sent (nor numbered: the next report
//                carries its block number and its counter pulses), and
//                under run() the line quiet for 1500 ms
//                (default 1000)
//   split@4x30   report 4 written in two parts, the second 30 ms after the
//                first (default 50)

#include <stdexcept>
#include <string>
#include <vector>

namespace devsim {

enum class FaultKind { flip, stray, repeat, skip, truncate, silence, split };

struct Fault {
    FaultKind kind = FaultKind::flip;
    int report = 0;
    int arg = -1;  // -1: the kind's default
};

class FaultError : public std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// Throws FaultError naming the item and the cause.
std::vector<Fault> parse_faults(const std::string& text);
std::string fault_name(FaultKind kind);

}  // namespace devsim
