// The tools' command lines, read with CLI11: options anywhere among the words, as --name=value
// or --name value, "--" ending the options, and the words that are left for a command. What is
// wrong comes back as one sentence in the tools' own words, with a "did you mean" for an option
// that is close to a real one.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zephlor::cli {

struct OptionSpec {
  const char* name;       // "--device"
  const char* shortName;  // "-h", or null
  const char* valueName;  // what its value is, such as "a device path"; null for a flag
  bool repeatable = false;
};

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
