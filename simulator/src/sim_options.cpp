#include "sim_options.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "zephlor_cli/options.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_io/platform_facts.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/help_rows.h"
#include "zephlor_text/listen_address.h"
#include "zephlor_text/visible_bytes.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::sim {

namespace {

constexpr long long kMostItems = 1048576;

// The headings --help tells the options under; the simulator's settings have their own table.
enum class Group { kListen, kController, kOther };

// One option: its names, its value and its words in --help, its heading, whether it is there
// only where the platform has pseudo-terminals and standard I/O, its default as a default
// simulator has it (empty when there is none to tell), and how it changes the options (false
// with the value's form when it is wrong).
struct OptionRow {
  cli::OptionSpec definition;
  Group group;
  bool needsTerminals;
  std::string (*byDefault)(const SimOptions& options);
  bool (*apply)(SimOptions&, const std::string& value, std::string& form);
};

std::string none(const SimOptions&) { return ""; }

bool listenOn(SimOptions& options, Listen listen) {
  options.listen = listen;
  return true;
}

// --tcp and --rfc2217: [ADDRESS:]PORT, an IPv6 address in brackets as the simulator prints it.
bool listenOnTcp(SimOptions& o, const std::string& value, bool rfc2217, std::string& form) {
  form = "[ADDRESS:]PORT, the port from 0 (any free one) to 65535";
  if (!text::parseListenAddress(value, 0, o.tcpAddress, o.tcpPort)) return false;
  o.rfc2217 = rfc2217;
  return listenOn(o, Listen::kTcp);
}

// clang-format off
const OptionRow kOptions[] = {
    {{"--pty", nullptr, nullptr, false, nullptr,
      "create a pseudo-terminal and print its device path on the first line of standard output "
      "(the default)"}, Group::kListen, true, none,
     [](SimOptions& o, const std::string&, std::string&) { return listenOn(o, Listen::kPty); }},
    {{"--link", nullptr, "a path", false, "PATH",
      "with --pty: also make PATH a symbolic link to the device; PATH may be an old link, but "
      "nothing else that exists"}, Group::kListen, true, none,
     [](SimOptions& o, const std::string& value, std::string& form) {
       form = "a path";
       o.link = value;
       return !value.empty(); }},
    {{"--device", nullptr, "a device path", false, "PATH",
      "serve an existing serial device (such as {device}), raw 8N1, held for the simulator "
      "alone"}, Group::kListen, false, none,
     [](SimOptions& o, const std::string& value, std::string& form) {
       form = "a device path";
       o.device = value;
       return !value.empty() && listenOn(o, Listen::kDevice); }},
    {{"--baud", nullptr, "a speed", false, "N", "speed of --device: {bauds}"}, Group::kListen,
     false, [](const SimOptions& o) { return std::to_string(o.baud); },
     [](SimOptions& o, const std::string& value, std::string& form) {
       form = "one of " + io::supportedBauds();
       return io::parseBaud(value, o.baud); }},
    {{"--stdio", nullptr, nullptr, false, nullptr,
      "read requests from standard input, write replies to standard output"}, Group::kListen,
     true, none,
     [](SimOptions& o, const std::string&, std::string&) { return listenOn(o, Listen::kStdio); }},
    {{"--tcp", nullptr, "[ADDRESS:]PORT", false, "[ADDRESS:]PORT",
      "serve TCP, as a serial device server does (ADDRESS 127.0.0.1 unless given, PORT 0 for any "
      "free one), and print tcp:ADDRESS:PORT on the first line; every connection is a line of its "
      "own, all with one controller. An IPv6 ADDRESS is written in brackets: [::1]:4001"},
     Group::kListen, false, none,
     [](SimOptions& o, const std::string& value, std::string& form) {
       return listenOnTcp(o, value, false, form); }},
    {{"--rfc2217", nullptr, "[ADDRESS:]PORT", false, "[ADDRESS:]PORT",
      "as --tcp, as a device server's telnet port with the COM-PORT-OPTION of RFC 2217: clients "
      "set the speed (told with --log) and framing through it"}, Group::kListen, false, none,
     [](SimOptions& o, const std::string& value, std::string& form) {
       return listenOnTcp(o, value, true, form); }},
    {{"--max-clients", nullptr, "a number", false, "N",
      "with --tcp: serve at most N connections at once, 1 to 4096; one more is accepted and "
      "closed at once, with a --log line"}, Group::kListen, false,
     [](const SimOptions& o) { return std::to_string(o.maxClients); },
     [](SimOptions& o, const std::string& value, std::string& form) {
       form = "a whole number from 1 to 4096";
       long long clients = 0;
       if (!text::parseBounded(value, 1, 4096, clients)) return false;
       o.maxClients = static_cast<int>(clients);
       return true; }},
    {{"--max-items", nullptr, "a number", false, "N",
      "how many items it keeps values for, 1 to 1048576; a write to a new item beyond that gets "
      "no reply"}, Group::kController, false,
     [](const SimOptions& o) { return std::to_string(o.maxItems); },
     [](SimOptions& o, const std::string& value, std::string& form) {
       form = "a whole number from 1 to " + std::to_string(kMostItems);
       long long items = 0;
       if (!text::parseBounded(value, 1, kMostItems, items)) return false;
       o.maxItems = static_cast<size_t>(items);
       return true; }},
    {{"--state", nullptr, "a file", false, "FILE",
      "keep the item values in FILE: loaded at start (if it exists), saved within a second of "
      "every change and at exit, one item a line, such as \"station-level 1 2 3 = 75\", # lines "
      "kept. FILE must be a regular file (or none yet) in a folder that can be written; it is "
      "held against a second simulator (exit 11) and replaced whole by a new file renamed over "
      "it, so a confirmed write survives even a crash. Through a link, the target is replaced"},
     Group::kOther, false, none,
     [](SimOptions& o, const std::string& value, std::string& form) {
       form = "a file";
       o.stateFile = value;
       return !value.empty(); }},
    {{"--log", nullptr, nullptr, false, nullptr,
      "one line per request, and per connection made or ended, on standard error, with its "
      "time"}, Group::kOther, false, none,
     [](SimOptions& o, const std::string&, std::string&) { return o.log = true; }},
    {{"--version", "-V", nullptr, true, nullptr, "the simulator's version"}, Group::kOther, false,
     none, [](SimOptions& o, const std::string&, std::string&) { return o.version = true; }},
    {{"--help", "-h", nullptr, true, nullptr, "this text"}, Group::kOther, false, none,
     [](SimOptions& o, const std::string&, std::string&) { return o.help = true; }},
};
// clang-format on

// The --help rows of one heading's options, as this platform has them.
std::string optionsHelp(Group group) {
  const io::PlatformFacts& platform = io::platformFacts();
  const SimOptions byDefault;
  std::string help;
  for (const OptionRow& row : kOptions) {
    if (row.group != group || (row.needsTerminals && !platform.pseudoTerminals)) continue;
    const std::string shown = row.byDefault(byDefault);
    help += cli::optionHelp(row.definition, 22,
                            {{"device", platform.simulatorDevice}, {"bauds", io::supportedBauds()}},
                            shown.empty() ? "" : " (default " + shown + ")");
  }
  return help;
}

// The pairs that cannot stand together: where to listen is one choice, and --link and --baud
// belong to one of them.
bool conflicts(const std::set<std::string>& given, std::string& error) {
  static const char* const kPairs[][2] = {
      {"--pty", "--device"},         {"--pty", "--stdio"},         {"--device", "--stdio"},
      {"--link", "--device"},        {"--link", "--stdio"},        {"--baud", "--pty"},
      {"--baud", "--stdio"},         {"--tcp", "--pty"},           {"--tcp", "--device"},
      {"--tcp", "--stdio"},          {"--tcp", "--link"},          {"--max-clients", "--pty"},
      {"--max-clients", "--device"}, {"--max-clients", "--stdio"}, {"--rfc2217", "--tcp"},
      {"--rfc2217", "--pty"},        {"--rfc2217", "--device"},    {"--rfc2217", "--stdio"},
      {"--rfc2217", "--link"},
  };
  for (const auto& pair : kPairs) {
    if (given.count(pair[0]) != 0 && given.count(pair[1]) != 0) {
      error = std::string(pair[0]) + " and " + pair[1] + " cannot be used together";
      return true;
    }
  }
  if (given.count("--baud") != 0 && given.count("--device") == 0) {
    error = "--baud sets the speed of --device, which is not given";
    return true;
  }
  return false;
}

}  // namespace

std::string simUsage() {
  const io::PlatformFacts& platform = io::platformFacts();
  return R"(Usage: zephlor-sim [OPTIONS]

A model of the Zephlor controller. It answers the fifteen request lines of the protocol, keeps
every value it is sent, and can inject line faults for testing hosts.

Where it listens (one of)" +
         std::string(platform.pseudoTerminals ? ")" : "; one must be given)") + ":\n" +
         optionsHelp(Group::kListen) + "\nThe controller:\n" +
         simulatorSettingsHelp("--", SettingGroup::kFirmware, 22) +
         optionsHelp(Group::kController) +
         "\nFaults, drawn per reply from a seeded generator so a run repeats exactly:\n" +
         simulatorSettingsHelp("--", SettingGroup::kFaults, 22) + "\nOther:\n" +
         optionsHelp(Group::kOther) + "\n" +
         (platform.pseudoTerminals
              ? "It runs until interrupted or, with --stdio, until its input ends."
              : "It runs until interrupted.") +
         R"(
A request line that is not one of the controller's gets no reply, and neither does a line
longer than any request. A reply the line cannot take at once (nobody reads it) is dropped, as
on a line without flow control.

Exit status:
)" + facts::exitCodeHelp(facts::Tool::kSimulator, platform.stops);
}

bool parseSimOptions(const std::vector<std::string>& arguments, SimOptions& options,
                     std::string& error) {
  std::vector<cli::OptionSpec> definitions = simulatorSettingOptions("--");
  for (const OptionRow& row : kOptions) definitions.push_back(row.definition);
  cli::ParsedOptions parsed;
  if (!cli::parseOptions(arguments, definitions, false, parsed, error)) return false;
  std::set<std::string> given;
  for (const auto& [option, values] : parsed.given) {
    const std::string& name = option;  // a lambda may not capture a structured binding
    given.insert(name);
    const auto row = std::find_if(std::begin(kOptions), std::end(kOptions),
                                  [&](const OptionRow& r) { return name == r.definition.name; });
    for (const std::string& value : values) {
      std::string form;
      const bool applied = row != std::end(kOptions)
                               ? row->apply(options, value, form)
                               : applySimulatorSetting("--", name, value, options.settings, form);
      if (!applied) {
        error = name + " takes " + form + ", not " + text::quotedBytes(value);
        return false;
      }
    }
  }
  return !conflicts(given, error);
}

}  // namespace zephlor::sim
