#pragma once

// A LAS 2.0 text of generated logging data for the reader's speed and
// equality checks: CR LF lines, a depth column and `curves - 1` curves of
// varied magnitude and sign, with the NULL value sprinkled among them.

#include <charconv>
#include <cstdint>
#include <string>

namespace lib::las::testing {

inline std::string generated_las_text(int rows, int curves, std::uint64_t seed = 0x5eed) {
    std::string text =
        "~Version information\r\n"
        "VERS.                          2.0 : CWLS LOG ASCII STANDARD - VERSION 2.0\r\n"
        "WRAP.                          NO  : ONE LINE PER DEPTH STEP\r\n"
        "~Well information\r\n"
        "STRT.M                 1000.0000 : START DEPTH\r\n"
        "STOP.M                 " +
        std::to_string(1000 + rows / 10) +
        ".0000 : STOP DEPTH\r\n"
        "STEP.M                    0.1000 : STEP\r\n"
        "NULL.                  -999.25 : NULL VALUE\r\n"
        "WELL.                  GENERATED : WELL\r\n"
        "~Curve information\r\n"
        "DEPT.M                           : 1  DEPTH\r\n";
    for (int c = 1; c < curves; ++c) text += "C" + std::to_string(c) + ".UNIT                       : CURVE\r\n";
    text += "~A  DEPTH";
    for (int c = 1; c < curves; ++c) text += "  C" + std::to_string(c);
    text += "\r\n";
    text.reserve(text.size() + static_cast<std::size_t>(rows) * static_cast<std::size_t>(curves) * 10);
    std::uint64_t state = seed;
    auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    char buffer[64];
    for (int r = 0; r < rows; ++r) {
        auto d = std::to_chars(buffer, buffer + sizeof buffer, 1000.0 + r * 0.1, std::chars_format::fixed, 4);
        text.append(buffer, d.ptr);
        for (int c = 1; c < curves; ++c) {
            text += ' ';
            const std::uint64_t pick = next();
            if (pick % 23 == 0) {
                text += "-999.25";
                continue;
            }
            // Magnitudes from thousandths to tens of thousands, some negative.
            const double scale[] = {0.001, 0.1, 1, 10, 1000, 10000};
            double v = static_cast<double>(pick % 100000) * scale[(pick >> 17) % 6] / 7.0;
            if ((pick >> 21) % 5 == 0) v = -v;
            auto p = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed,
                                   static_cast<int>((pick >> 25) % 6));
            text.append(buffer, p.ptr);
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace lib::las::testing
