#pragma once
// An .xls read back by an independent reader (Python's xlrd), for tests of
// the reports the office writes.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/directory.h"
#include "platform/os/process.h"

namespace grouttab::testing {

// The first sheet of an .xls as an independent reader sees it: (column, row)
// -> the cell's text (numbers as Python writes them). Empty when xlrd is not
// to be had (then *why says so).
inline std::map<std::pair<int, int>, std::string> read_xls(const std::string& path, std::string* why) {
    std::map<std::pair<int, int>, std::string> cells;
    if (!os::file_exists("/usr/bin/python3")) {
        *why = "no /usr/bin/python3";
        return cells;
    }
    os::Process p;
    os::SpawnOptions o;
    o.program = "/usr/bin/python3";
    o.args = {"-c",
              "import sys\n"
              "try:\n    import xlrd\nexcept ImportError:\n    print('NO-XLRD'); sys.exit(0)\n"
              "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
              "for r in range(s.nrows):\n"
              "    for c in range(s.ncols):\n"
              "        v = s.cell_value(r, c)\n"
              "        if v != '':\n"
              "            sys.stdout.buffer.write(('%d\\t%d\\t%s\\n' % (c, r, v)).encode('utf-8'))\n",
              path};
    o.capture_output = true;
    std::string error;
    if (!p.start(o, &error)) {
        *why = error;
        return cells;
    }
    std::vector<std::string> lines;
    auto code = p.read_lines([&](const std::string& l) { lines.push_back(l); }, 30000);
    if (!code || *code != 0) {
        *why = "the reader failed: " + (lines.empty() ? std::string("no output") : lines.back());
        return {};
    }
    for (const auto& l : lines) {
        if (l == "NO-XLRD") {
            *why = "python3-xlrd is not installed";
            return {};
        }
        const auto t1 = l.find('\t'), t2 = l.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos) continue;
        cells[{std::stoi(l.substr(0, t1)), std::stoi(l.substr(t1 + 1, t2 - t1 - 1))}] = l.substr(t2 + 1);
    }
    return cells;
}

}  // namespace grouttab::testing
