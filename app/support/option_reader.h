#pragma once

#include <getopt.h>

#include <string>
#include <string_view>
#include <vector>

namespace routalo {

// One option of a command line, in the order given.
struct GivenOption {
    // The option's short form, as the table of long options names it; 0 for
    // an option that was not understood.
    int name = 0;
    // The option's argument; for one not understood, why, worded as GNU
    // programs word it: "unrecognized option '--bogus'", "invalid option --
    // 'x'", "option '--name' requires an argument", "option '--time' doesn't
    // allow an argument", "option '--t' is ambiguous; possibilities: '--time'
    // '--top-speed'".
    std::string value;
};

struct ReadArguments {
    std::vector<GivenOption> options;
    // The arguments that are no option, in order, as their bytes.
    std::vector<std::string> operands;
};

// Reads `arguments` (those after the program's name) as getopt_long does:
// options anywhere among the operands, bundled short options ("-tn NAME"),
// attached arguments ("-nNAME", "--name=NAME"), unambiguous abbreviations
// ("--na"), a first "--" ending the options. `longOptions` ends with an
// all-zero entry and gives each option's short form; `shortOptions` lists
// the short forms, a ':' after one that takes an argument.
[[nodiscard]] ReadArguments ReadOptions(std::string_view program,
                                        const std::vector<std::string>& arguments,
                                        const option* longOptions, std::string_view shortOptions);

}  // namespace routalo
