#include "zephlor_cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <deque>

#include "zephlor_text/closest_word.h"
#include "zephlor_text/filled_in.h"
#include "zephlor_text/help_rows.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::cli {
namespace {

std::string unknownOption(const std::string& name, const std::vector<OptionSpec>& definitions) {
  const std::string option = name.substr(0, name.find('='));
  const std::string close = closestOption(option, definitions);
  return "unknown option " + text::quotedBytes(option) +
         (close.empty() ? "" : " (did you mean " + close + "?)");
}

}  // namespace

std::string optionHelp(const OptionSpec& option, size_t column, const HelpFacts& facts,
                       const std::string& more) {
  std::string label = option.shortName != nullptr ? std::string(option.shortName) + ", " : "";
  label += option.name;
  if (option.usage != nullptr) label += std::string(" ") + option.usage;
  return text::helpRow(
      label, text::filledIn(option.help != nullptr ? option.help : "", facts) + more, column);
}

std::string closestOption(const std::string& name, const std::vector<OptionSpec>& definitions) {
  std::vector<std::string_view> names;
  for (const OptionSpec& definition : definitions) names.emplace_back(definition.name);
  return text::closestWord(name, names);
}

bool parseOptions(const std::vector<std::string>& arguments,
                  const std::vector<OptionSpec>& definitions, bool takesWords,
                  ParsedOptions& parsed, std::string& error) {
  CLI::App app;
  app.set_help_flag();  // each tool prints its own help
  app.allow_extras(true);
  app.allow_windows_style_options(false);  // on Windows too: /path is a word, not an option
  app.positionals_at_end(false);
  std::deque<std::vector<std::string>> values(definitions.size());
  std::deque<int64_t> uses(definitions.size(), 0);
  for (size_t i = 0; i < definitions.size(); ++i) {
    const OptionSpec& definition = definitions[i];
    const std::string names = definition.shortName != nullptr
                                  ? std::string(definition.shortName) + "," + definition.name
                                  : definition.name;
    if (definition.valueName == nullptr) {
      app.add_flag(names, uses[i]);
    } else {
      app.add_option(names, values[i])
          ->expected(1)
          ->allow_extra_args(false)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
  }
  if (takesWords) app.add_option("words", parsed.words);

  // CLI11 takes a vector of arguments last first: it pops them off its end as it reads.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& failure) {
    // Only an option without its value gets here: "--device: 1 required TEXT missing".
    const std::string what = failure.what();
    const std::string option = what.substr(0, what.find(':'));
    for (const OptionSpec& definition : definitions) {
      if (option == definition.name && definition.valueName != nullptr) {
        error = option + " needs " + definition.valueName;
        return false;
      }
    }
    error = what;
    return false;
  }
  for (const std::string& extra : app.remaining()) {
    if (extra == "--") continue;
    error = extra.size() > 1 && extra[0] == '-'
                ? unknownOption(extra, definitions)
                : "unexpected " + text::quotedBytes(extra) + ": this takes options only";
    return false;
  }
  for (size_t i = 0; i < definitions.size(); ++i) {
    const OptionSpec& definition = definitions[i];
    const size_t count =
        definition.valueName == nullptr ? static_cast<size_t>(uses[i]) : values[i].size();
    if (count == 0) continue;
    if (count > 1 && !definition.repeatable) {
      error = std::string(definition.name) + " is given more than once";
      return false;
    }
    parsed.given[definition.name] =
        definition.valueName == nullptr ? std::vector<std::string>(count) : values[i];
  }
  return true;
}

}  // namespace zephlor::cli
