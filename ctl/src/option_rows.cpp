#include "option_rows.h"

#include "zephlor_facts/verdicts.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_io/platform_facts.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::ctl {
namespace {

using std::chrono::milliseconds;

Problem wholeNumber(const std::string& value, const Bounds& bounds, long long& number,
                    const char* unit = "a whole number") {
  if (text::parseBounded(value, bounds.low, bounds.high, number)) return "";
  return std::string("takes ") + unit + " from " + std::to_string(bounds.low) + " to " +
         std::to_string(bounds.high);
}

// The verdicts --retries asks again after, by name.
std::string retriedVerdicts() {
  std::string names;
  for (const facts::VerdictRow& row : facts::kVerdicts) {
    if (row.retried) names += (names.empty() ? "" : ", ") + std::string(row.name);
  }
  return names;
}

using Line = OptionRow<CommandLine>;
using Command = OptionRow<CommandOptions>;

// clang-format off
const std::vector<Line> kLineOptions = {
    {{"--device", "-d", "a device path", false, "PATH",
      "serial device of the controller line ({device-about}), opened raw 8N1 for zephlorctl "
      "alone and given back with its settings on exit; or a serial device server on the "
      "network: tcp:HOST:PORT (or socket://HOST:PORT) for its raw TCP port, whose connection "
      "carries the line's bytes, or rfc2217:HOST:PORT (or rfc2217://HOST:PORT) for its telnet "
      "port with the COM-PORT-OPTION of RFC 2217, which also takes --baud; connected and set up "
      "within --timeout, every address of HOST tried in turn, PORT 1 to 65535"},
     Section::kLine, nullptr, {}, [](CommandLine& c, const std::string& v, const Bounds&) -> Problem {
       const std::string problem = io::deviceNameProblem(v);
       if (!problem.empty()) return "is wrong: " + problem;
       c.connection.device = v;
       return ""; }},
    {{"--baud", "-b", "a speed", false, "N",
      "{bauds} (default {default}); not with tcp:, whose speed the device server sets"},
     Section::kLine, "9600", {}, [](CommandLine& c, const std::string& v, const Bounds&) -> Problem {
       if (io::parseBaud(v, c.connection.baud)) return "";
       return "takes one of " + io::supportedBauds(); }},
    {{"--timeout", "-t", "milliseconds", false, "MS",
      "how long to wait for a reply, and for the line to take a request, {low} to {high} "
      "(default {default})"},
     Section::kLine, "1000", {1, 600000}, [](CommandLine& c, const std::string& v, const Bounds& b) {
       long long number = 0;
       Problem problem = wholeNumber(v, b, number, "milliseconds");
       if (problem.empty()) c.connection.timeout = milliseconds(number);
       return problem; }},
    {{"--retries", "-r", "a number", false, "N",
      "try a transaction up to N ({low} to {high}) more times after a missing or garbled reply "
      "({retried}; default {default}). Writes are repeated too, since setting the same value "
      "twice does no harm; a write the controller answered with another value is not tried "
      "again"},
     Section::kLine, "0", {0, 100}, [](CommandLine& c, const std::string& v, const Bounds& b) {
       long long number = 0;
       Problem problem = wholeNumber(v, b, number);
       if (problem.empty()) c.connection.retries = static_cast<int>(number);
       return problem; }},
    {{"--sim", nullptr, nullptr, false, nullptr,
      "talk to the built-in controller simulator instead of a device (not with --device); the "
      "--sim-... options below set it up"},
     Section::kLine, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.connection.simulate = true; return ""; }},
    {{"--format", "-f", "text, csv or json", false, "text|csv|json",
      "text for a person (the default); csv: a header line, then a row per sample: the time "
      "(ISO 8601 UTC), a column per item as typed, an empty cell for a failed read, an errors "
      "column in words and a causes column of the verdicts' names (no-reply, another-item, "
      "line-down...); json: JSON Lines, one object per sample, {\"time\", \"values\", "
      "\"errors\", \"causes\"} (and \"warnings\" with --lenient). For read, info, poll and run; a "
      "script's own lines are not echoed"},
     Section::kResults, "text", {}, [](CommandLine& c, const std::string& v, const Bounds&) -> Problem {
       if (v != "text" && v != "csv" && v != "json") return "takes text, csv or json";
       c.output.format = v == "csv" ? Format::kCsv : v == "json" ? Format::kJson : Format::kText;
       return ""; }},
    {{"--output", "-o", "a file", false, "FILE",
      "write the results to FILE, a line at a time; standard error keeps the diagnostics. FILE "
      "is taken once the line is open, held for this run alone (a second run on it: exit 11), "
      "and replaced only when the first result is written, so a run that fails before it has "
      "one leaves FILE as it was. It may not be the script being run"},
     Section::kResults, nullptr, {}, [](CommandLine& c, const std::string& v, const Bounds&) -> Problem {
       c.output.file = v; return ""; }},
    {{"--append", nullptr, nullptr, false, nullptr,
      "with --output: add to FILE; a CSV header only into an empty file"},
     Section::kResults, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.output.append = true; return ""; }},
    {{"--quiet", "-q", nullptr, false, nullptr,
      "values alone (read: the value; write: the value sent; poll: the time and the values), "
      "and no poll summary"},
     Section::kResults, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.output.quiet = true; return ""; }},
    {{"--local-time", nullptr, nullptr, false, nullptr,
      "with --format csv: the times in this machine's local time, as 2026-12-09 10:00:00.123 "
      "with no zone, which spreadsheet programs read as dates; UTC with Z otherwise"},
     Section::kResults, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.output.localTime = true; return ""; }},
    {{"--lenient", nullptr, nullptr, false, nullptr,
      "let a reply for another item, or with a field that is not wholly a number, through to "
      "the driver with a warning (on standard error and in the record: \"warnings\" in JSON, the "
      "errors column in CSV); by default such a reply fails with exit 9 and records no value. "
      "--strict names the default"},
     Section::kResults, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.connection.lenient = true; return ""; }},
    // --strict names the default, kept for the scripts that spell it out.
    {{"--strict", nullptr, nullptr}, Section::kResults, nullptr, {},
     [](CommandLine&, const std::string&, const Bounds&) -> Problem { return ""; }},
    {{"--driver", nullptr, "the plug-in's path", false, "PATH",
      "the plug-in to load (default: {plugin} beside zephlorctl, or where it is installed); a "
      "bare file name is one in the working directory"},
     Section::kOther, nullptr, {}, [](CommandLine& c, const std::string& v, const Bounds&) -> Problem {
       if (v.empty()) return "needs the plug-in's path, not an empty word";
       // A bare file name is a file in the working directory, never one the loader searches.
       c.connection.driverPath = v.find('/') == std::string::npos ? "./" + v : v;
       return ""; }},
    {{"--trace", nullptr, nullptr, false, nullptr,
      "show every line sent and received, CR and LF made visible, with the time since the line "
      "was opened (on standard error)"},
     Section::kOther, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.connection.trace = true; return ""; }},
    {{"--version", "-V", nullptr, true, nullptr, "zephlorctl's version"},
     Section::kOther, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.version = true; return ""; }},
    {{"--help", "-h", nullptr, true, nullptr, "this text"},
     Section::kOther, nullptr, {}, [](CommandLine& c, const std::string&, const Bounds&) -> Problem {
       c.help = true; return ""; }},
};

const std::vector<Command> kCommandOptions = {
    {{"--u16", nullptr, nullptr}, Section::kCommand, nullptr, {},
     [](CommandOptions& o, const std::string&, const Bounds&) -> Problem {
       o.unsigned16 = true; return ""; }},
    {{"--truncate", nullptr, nullptr}, Section::kCommand, nullptr, {},
     [](CommandOptions& o, const std::string&, const Bounds&) -> Problem {
       o.truncate = true; return ""; }},
    {{"--interval", "-i", "milliseconds"}, Section::kCommand, nullptr, {0, kLongestWait.count()},
     [](CommandOptions& o, const std::string& v, const Bounds& b) {
       long long number = 0;
       Problem problem = wholeNumber(v, b, number, "milliseconds");
       if (problem.empty()) o.interval = milliseconds(number);
       return problem; }},
    {{"--reconnect", nullptr, nullptr}, Section::kCommand, nullptr, {},
     [](CommandOptions& o, const std::string&, const Bounds&) -> Problem {
       o.reconnect = true; return ""; }},
    {{"--between", nullptr, nullptr}, Section::kCommand, nullptr, {},
     [](CommandOptions& o, const std::string&, const Bounds&) -> Problem {
       o.monitorMode = MonitorMode::kBetween; return ""; }},
    {{"--tap", nullptr, nullptr}, Section::kCommand, nullptr, {},
     [](CommandOptions& o, const std::string&, const Bounds&) -> Problem {
       o.monitorMode = MonitorMode::kTap; return ""; }},
    {{"--listen", nullptr, "tcp:ADDRESS:PORT"}, Section::kCommand, nullptr, {},
     [](CommandOptions& o, const std::string& v, const Bounds&) -> Problem {
       o.monitorMode = MonitorMode::kListen;
       o.monitorListen = v;
       return ""; }},
    {{"--count", "-c", "a number"}, Section::kCommand, nullptr, {1, 1000000000},
     [](CommandOptions& o, const std::string& v, const Bounds& b) {
       long long number = 0;
       Problem problem = wholeNumber(v, b, number);
       if (problem.empty()) o.count = number;
       return problem; }},
};
// clang-format on

}  // namespace

const std::vector<OptionRow<CommandLine>>& lineOptions() { return kLineOptions; }
const std::vector<OptionRow<CommandOptions>>& commandOptions() { return kCommandOptions; }

std::string optionsHelp(Section section) {
  const io::PlatformFacts& platform = io::platformFacts();
  std::string help;
  for (const Line& row : kLineOptions) {
    if (row.section != section || row.definition.help == nullptr) continue;
    help += cli::optionHelp(row.definition, 28,
                            {{"device-about", platform.serialDeviceAbout},
                             {"bauds", io::supportedBauds()},
                             {"plugin", host::pluginFileName()},
                             {"retried", retriedVerdicts()},
                             {"default", row.byDefault != nullptr ? row.byDefault : ""},
                             {"low", std::to_string(row.bounds.low)},
                             {"high", std::to_string(row.bounds.high)}});
  }
  return help;
}

}  // namespace zephlor::ctl
