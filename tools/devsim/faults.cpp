#include "tools/devsim/faults.h"

#include <charconv>

namespace devsim {

namespace {

bool to_int(const std::string& s, int& v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size() && v >= 0;
}

}  // namespace

std::string fault_name(FaultKind kind) {
    switch (kind) {
        case FaultKind::flip: return "flip";
        case FaultKind::stray: return "stray";
        case FaultKind::repeat: return "repeat";
        case FaultKind::skip: return "skip";
        case FaultKind::truncate: return "truncate";
        case FaultKind::silence: return "silence";
        case FaultKind::split: return "split";
    }
    return "?";
}

std::vector<Fault> parse_faults(const std::string& text) {
    std::vector<Fault> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        start = comma == std::string::npos ? text.size() + 1 : comma + 1;
        if (item.empty()) continue;
        auto at = item.find('@');
        if (at == std::string::npos) throw FaultError("fault '" + item + "': expected KIND@REPORT");
        std::string kind = item.substr(0, at), rest = item.substr(at + 1), arg;
        auto x = rest.find('x');
        if (x != std::string::npos) {
            arg = rest.substr(x + 1);
            rest.resize(x);
        }
        Fault f;
        bool known = false;
        for (FaultKind k : {FaultKind::flip, FaultKind::stray, FaultKind::repeat, FaultKind::skip, FaultKind::truncate,
                            FaultKind::silence, FaultKind::split})
            if (fault_name(k) == kind) {
                f.kind = k;
                known = true;
            }
        if (!known) throw FaultError("fault '" + item + "': unknown kind '" + kind + "'");
        if (!to_int(rest, f.report)) throw FaultError("fault '" + item + "': bad report number");
        if (x != std::string::npos && (!to_int(arg, f.arg) || f.arg == 0))
            throw FaultError("fault '" + item + "': bad count");
        out.push_back(f);
    }
    return out;
}

}  // namespace devsim
