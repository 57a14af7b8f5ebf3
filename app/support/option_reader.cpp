#include "app/support/option_reader.h"

#include "app/support/argument_vector.h"

namespace routalo {
namespace {

const option* OptionOf(const option* longOptions, int shortOption) {
    for (const option* known = longOptions; known->name != nullptr; ++known) {
        if (known->val == shortOption) {
            return known;
        }
    }
    return nullptr;
}

// The long options of which `argument` ("--t", "--t=5") is an abbreviation,
// in the table's order.
std::vector<std::string_view> OptionsAbbreviatedBy(const option* longOptions,
                                                   std::string_view argument) {
    std::string_view prefix = argument.substr(2);
    prefix = prefix.substr(0, prefix.find('='));
    std::vector<std::string_view> names;
    for (const option* known = longOptions; known->name != nullptr; ++known) {
        if (std::string_view(known->name).starts_with(prefix)) {
            names.emplace_back(known->name);
        }
    }
    return names;
}

// What getopt_long's answer `result` says was wrong with `argument`, worded
// as GNU programs word it. An argument given to a long option that takes
// none ("--time=x") is ':' for MinGW's getopt_long and '?' for glibc's; the
// option itself tells the two cases apart, so that both builds say the same.
// An abbreviation of more than one option ("--t") leaves optopt 0 in both,
// as an unknown option does; the table tells the two apart, and the message
// names the options as glibc's does, which MinGW's would not.
std::string ProblemOf(const option* longOptions, int result, std::string_view argument) {
    const bool longForm = argument.starts_with("--");
    const option* known = OptionOf(longOptions, optopt);
    const std::string name = known != nullptr ? known->name : "";
    if (longForm && known != nullptr && known->has_arg == no_argument) {
        return "option '--" + name + "' doesn't allow an argument";
    }
    if (result == ':') {
        return longForm ? "option '--" + name + "' requires an argument"
                        : "option requires an argument -- '" + std::string(1, char(optopt)) + "'";
    }
    if (optopt == 0) {
        const std::vector<std::string_view> candidates =
            longForm ? OptionsAbbreviatedBy(longOptions, argument)
                     : std::vector<std::string_view>{};
        if (candidates.size() > 1) {
            std::string problem =
                "option '" + std::string(argument) + "' is ambiguous; possibilities:";
            for (const std::string_view candidate : candidates) {
                problem += " '--" + std::string(candidate) + "'";
            }
            return problem;
        }
        return "unrecognized option '" + std::string(argument) + "'";
    }
    return "invalid option -- '" + std::string(1, char(optopt)) + "'";
}

}  // namespace

ReadArguments ReadOptions(std::string_view program, const std::vector<std::string>& arguments,
                          const option* longOptions, std::string_view shortOptions) {
    std::vector<std::string> texts;
    texts.reserve(arguments.size() + 1);
    texts.emplace_back(program);
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv = ArgumentVector(texts);
    const int argc = static_cast<int>(texts.size());
    // A leading ":" tells a missing argument (':') from an unknown option ('?').
    std::string optionString(1, ':');
    optionString += shortOptions;

    ReadArguments read;
    optind = 0;  // starts afresh, so that every call reads from the start
    opterr = 0;  // the messages are the caller's
    while (true) {
        const int result =
            getopt_long(argc, argv.data(), optionString.c_str(), longOptions, nullptr);
        if (result == -1) {
            break;
        }
        if (result == '?' || result == ':') {
            read.options.push_back({0, ProblemOf(longOptions, result, argv[optind - 1])});
        } else {
            read.options.push_back({result, optarg != nullptr ? optarg : ""});
        }
    }
    read.operands.assign(argv.begin() + optind, argv.end() - 1);
    return read;
}

}  // namespace routalo
