// zephlorctl's options, one row each with everything said about it: its names, its value, its
// words in --help, its default and its bounds, and how it changes what it sets. The parser and
// --help are both made from these rows.
#pragma once

#include <string>
#include <vector>

#include "options.h"
#include "zephlor_cli/options.h"

namespace zephlor::ctl {

// What is wrong with an option's value, worded to follow the option's name ("takes one of ..."),
// or nothing when it was taken.
using Problem = std::string;

// The headings --help tells the options under; command options belong to their commands' help.
enum class Section { kLine, kResults, kOther, kCommand };

// The least and the greatest whole number an option takes, when it takes one.
struct Bounds {
  long long low = 0;
  long long high = 0;
};

template <typename Target>
struct OptionRow {
  cli::OptionSpec definition;
  Section section;
  const char* byDefault;  // applied before the command line and told as {default}; null for none
  Bounds bounds;          // told as {low} and {high}
  Problem (*apply)(Target& target, const std::string& value, const Bounds& bounds);
};

// The options of the line, the results and the program itself, in the order --help tells them.
const std::vector<OptionRow<CommandLine>>& lineOptions();
// The options that belong to a command, on the command line and in a script's lines alike.
const std::vector<OptionRow<CommandOptions>>& commandOptions();

// The --help rows of one section's options.
std::string optionsHelp(Section section);

}  // namespace zephlor::ctl
