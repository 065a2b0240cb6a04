#include "tools/common/args.h"

#include <getopt.h>

#include <charconv>

#include "platform/rtl/numbers.h"

namespace tools {

namespace {

constexpr int kFirstOption = 1000;
constexpr int kHelp = 'h';

std::string number_text(long long v) { return std::to_string(v); }

std::string number_text(double v) { return rtl::FloatToStr(v); }

}  // namespace

ArgParser::ArgParser(std::string program, std::string usage, std::string description, std::vector<ArgOption> options,
                     std::vector<std::pair<int, std::string>> exits)
    : program_(std::move(program)),
      usage_(std::move(usage)),
      description_(std::move(description)),
      options_(std::move(options)),
      exits_(std::move(exits)) {
    options_.push_back({"help", "", "this text, then exit 0"});
}

std::string ArgParser::help() const {
    std::string text = "usage: " + usage_ + "\n";
    if (!description_.empty()) text += "\n" + description_ + "\n";
    std::vector<std::string> heads;
    std::size_t width = 0;
    for (const auto& o : options_) {
        heads.push_back("  --" + o.name + (o.value.empty() ? "" : " " + o.value));
        width = std::max(width, heads.back().size());
    }
    text += "\noptions:\n";
    for (std::size_t i = 0; i < options_.size(); ++i) {
        std::string line = heads[i] + std::string(width + 2 - heads[i].size(), ' ');
        const std::string& meaning = options_[i].meaning;
        std::size_t start = 0;
        for (;;) {
            std::size_t stop = meaning.find('\n', start);
            text += line + meaning.substr(start, stop == std::string::npos ? std::string::npos : stop - start) + "\n";
            if (stop == std::string::npos) break;
            start = stop + 1;
            line = std::string(width + 2, ' ');
        }
    }
    text += "\nexit status:\n";
    for (const auto& [code, meaning] : exits_) text += "  " + std::to_string(code) + "  " + meaning + "\n";
    return text;
}

int ArgParser::bad_argument(const std::string& why, std::FILE* err) const {
    const std::string text = program_ + ": " + why + "\nTry '" + program_ + " --help' for the options.\n";
    std::fputs(text.c_str(), err);
    std::fflush(err);
    return exit_bad_argument;
}

std::optional<int> ArgParser::parse(int argc, char** argv, const Handler& handler, std::FILE* out,
                                    std::FILE* err) const {
    std::vector<option> table;
    for (std::size_t i = 0; i < options_.size(); ++i) {
        const bool help = options_[i].name == "help";
        table.push_back({options_[i].name.c_str(), options_[i].value.empty() ? no_argument : required_argument, nullptr,
                         help ? kHelp : kFirstOption + int(i)});
    }
    table.push_back({nullptr, 0, nullptr, 0});
    // Our own messages, and a fresh scan of this command line; "+" keeps
    // the words in their order so that a stray word is named as it stands.
    opterr = 0;
    optind = 0;
    const char* const short_options = "+:h";
    bool wants_help = false;
    for (;;) {
        const int previous = optind == 0 ? 1 : optind;
        const int c = getopt_long(argc, argv, short_options, table.data(), nullptr);
        if (c == -1) break;
        const std::string given = previous < argc ? argv[previous] : "";
        if (c == kHelp) {
            wants_help = true;
            continue;
        }
        if (c == ':') return bad_argument("the option '" + given + "' needs a value", err);
        if (c == '?') {
            if (optopt >= kFirstOption)
                return bad_argument(
                    "the option '--" + options_[std::size_t(optopt - kFirstOption)].name + "' takes no value", err);
            std::string name = optopt ? std::string("-") + char(optopt) : given.substr(0, given.find('='));
            return bad_argument("unknown option '" + name + "'", err);
        }
        const ArgOption& o = options_[std::size_t(c - kFirstOption)];
        try {
            handler(o.name, o.value.empty() ? std::string() : std::string(optarg ? optarg : ""));
        } catch (const ArgError& e) {
            return bad_argument(e.what(), err);
        }
    }
    if (wants_help) {
        std::fputs(help().c_str(), out);
        std::fflush(out);
        return 0;
    }
    if (optind < argc) return bad_argument("unexpected argument '" + std::string(argv[optind]) + "'", err);
    return std::nullopt;
}

long long whole_number(const std::string& option, const std::string& text, long long lo, long long hi) {
    long long v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || p != text.data() + text.size() || v < lo || v > hi)
        throw ArgError("bad value '" + text + "' for --" + option + ": a whole number from " + number_text(lo) +
                       " to " + number_text(hi) + " is needed");
    return v;
}

double real_number(const std::string& option, const std::string& text, double lo, double hi) {
    double v = 0;
    if (!rtl::TryStrToFloat(text, v) || !(v >= lo && v <= hi))
        throw ArgError("bad value '" + text + "' for --" + option + ": a number from " + number_text(lo) + " to " +
                       number_text(hi) + " is needed");
    return v;
}

}  // namespace tools
