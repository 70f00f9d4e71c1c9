// zephlorctl's connection options, which may stand anywhere on the command line; every other
// word is left, in order, for the command.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "zephlor_sim/simulator_settings.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::ctl {

// The built-in simulator's settings are options named with this in front: --sim-seed, ...
inline constexpr const char* kSimulatorPrefix = "--sim-";

// What the line is. The baud rate and the timeout get their defaults from their option rows.
struct ConnectionOptions {
  std::string device;
  int baud = 0;
  std::chrono::milliseconds timeout{0};
  bool simulate = false;
  sim::SimulatorSettings simulator;  // for --sim
  std::string driverPath;            // empty: the plug-in beside the zephlorctl executable
  bool trace = false;
  int retries = 0;       // further attempts after a missing or garbled reply
  bool lenient = false;  // a reply for another item or with a field not a number only warns
};

enum class Format { kText, kCsv, kJson };

struct OutputOptions {
  Format format = Format::kText;
  std::string file;        // empty: standard output
  bool append = false;     // add to what the file holds, instead of replacing it
  bool quiet = false;      // values alone, no summaries
  bool localTime = false;  // CSV times in the machine's local time, without a zone
};

// What belongs to a command rather than the line: write's --u16 and --truncate, poll's
// --interval, --count and --reconnect, monitor's --between, --tap and --listen.
// They may stand anywhere on the command line, and anywhere in a script's line.
// How zephlorctl monitor sees a line: forwarding between the host and the controller, listening on
// a tap cable's two receive lines, or as the TCP port the host connects to.
enum class MonitorMode { kBetween, kTap, kListen };

struct CommandOptions {
  std::optional<MonitorMode> monitorMode;
  std::string monitorListen;
  bool unsigned16 = false;
  bool truncate = false;   // write: a value the item cannot carry goes as the line makes it
  bool reconnect = false;  // poll: a failed line is opened again, the poll goes on
  std::optional<std::chrono::milliseconds> interval;
  std::optional<long long> count;
};

// The longest wait a command takes (--interval, sleep): a day.
inline constexpr std::chrono::milliseconds kLongestWait{86400000};

struct CommandLine {
  ConnectionOptions connection;
  OutputOptions output;
  CommandOptions commandOptions;
  std::vector<std::string> words;
  bool help = false;
  bool version = false;
  // A wrong default from the environment (ZEPHLOR_BAUD=fast), which stops only a command that
  // uses the line; empty when there is none.
  std::string environmentError;
};

// False with a reason in `error` when an option or its value is wrong. ZEPHLOR_DEVICE,
// ZEPHLOR_BAUD and ZEPHLOR_TIMEOUT in the environment stand for options not given.
bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error);

// Takes the command options out of a script line's `words`, leaving the rest in `rest`.
bool parseCommandOptions(const std::vector<std::string>& words, CommandOptions& options,
                         std::vector<std::string>& rest, std::string& error);

using text::parseBounded;

}  // namespace zephlor::ctl
