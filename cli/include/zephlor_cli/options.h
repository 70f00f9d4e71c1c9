// The tools' command lines, read with CLI11: options anywhere among the words, as --name=value
// or --name value, "--" ending the options, and the words that are left for a command. What is
// wrong comes back as one sentence in the tools' own words, with a "did you mean" for an option
// that is close to a real one.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "zephlor_text/filled_in.h"

namespace zephlor::cli {

struct OptionSpec {
  const char* name;       // "--device"
  const char* shortName;  // "-h", or null
  const char* valueName;  // what its value is, such as "a device path"; null for a flag
  bool repeatable = false;
  // For --help: the value's placeholder, such as "PATH" (null for a flag), and what the option
  // does, in which {NAME} stands for a fact the tool fills in (the speeds, the platform's device
  // names). An option without words is not listed.
  const char* usage = nullptr;
  const char* help = nullptr;
};

// The facts a tool fills into its options' words, by name.
using HelpFacts = text::Gaps;

// An option's row of --help: "-d, --device PATH", then its words from `column` on, wrapped, with
// `more` (such as its default) after them.
std::string optionHelp(const OptionSpec& option, size_t column, const HelpFacts& facts = {},
                       const std::string& more = "");

struct ParsedOptions {
  // Each option given, by its long name, with its values in order (a flag has one empty value
  // per use).
  std::map<std::string, std::vector<std::string>> given;
  std::vector<std::string> words;  // what is not an option, in order

  bool has(const std::string& name) const { return given.count(name) != 0; }
  const std::string& value(const std::string& name) const { return given.at(name).back(); }
};

// False with the explanation in `error` for an unknown or repeated option, one without its value,
// or words where the tool takes none.
bool parseOptions(const std::vector<std::string>& arguments,
                  const std::vector<OptionSpec>& definitions, bool takesWords,
                  ParsedOptions& parsed, std::string& error);

// The option of `definitions` closest to the mistyped `name`, or "" when none is close.
std::string closestOption(const std::string& name, const std::vector<OptionSpec>& definitions);

}  // namespace zephlor::cli
