#pragma once
// The command line of the station's tools: one parser (getopt_long) for
// every program, whose help text comes from the same table as the options,
// so the two never disagree.
//
// Every program answers --help on standard output (each option, its
// meaning and the exit statuses) with exit status 0; an option it does not
// know, a missing or bad value, or a word that is not an option is named on
// standard error with a pointer to --help, exit status 2. Values are taken
// whole: "--trip 7x" is a bad value, not 7.

#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tools {

inline constexpr int exit_bad_argument = 2;

struct ArgOption {
    std::string name;     // the long name, without "--"
    std::string value;    // what the value is ("PORT"); empty for a flag
    std::string meaning;  // may run over several lines ("\n")
};

// Thrown by an option's handler for a value it cannot take.
class ArgError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ArgParser {
public:
    // usage: the line after "usage: " (the program's name first); exits:
    // each exit status and what it means.
    ArgParser(std::string program, std::string usage, std::string description, std::vector<ArgOption> options,
              std::vector<std::pair<int, std::string>> exits);

    using Handler = std::function<void(const std::string& name, const std::string& value)>;
    // Calls the handler for every option in the order given (a flag's value
    // is empty). Returns the exit status to end the program with (0 after
    // --help, 2 after a bad argument, reported), or nothing to go on.
    std::optional<int> parse(int argc, char** argv, const Handler& handler, std::FILE* out = stdout,
                             std::FILE* err = stderr) const;
    // "PROGRAM: why" and the pointer to --help on err; returns 2.
    int bad_argument(const std::string& why, std::FILE* err = stderr) const;
    std::string help() const;

private:
    std::string program_, usage_, description_;
    std::vector<ArgOption> options_;
    std::vector<std::pair<int, std::string>> exits_;
};

// The whole text as a whole number in [lo, hi]; ArgError naming the option
// and the range otherwise.
long long whole_number(const std::string& option, const std::string& text, long long lo, long long hi);
// The whole text as a number (decimal point or comma) in [lo, hi].
double real_number(const std::string& option, const std::string& text, double lo, double hi);

}  // namespace tools
