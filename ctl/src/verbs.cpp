#include "verbs.h"

#include "verb_steps.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_io/platform_facts.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/closest_word.h"
#include "zephlor_text/filled_in.h"
#include "zephlor_text/help_rows.h"
#include "zephlor_text/table_rows.h"

namespace zephlor::ctl {
namespace {

using namespace steps;

// clang-format off
constexpr VerbRow kVerbs[] = {
    {"info", Command::Verb::kInfo, Where::kAnywhere, readInfo, runInfo, nullptr,
     "info [ADDRESS]",
     "driver name, and the firmware version and date (firmware item ADDRESS, default 0)",
     "zephlorctl --device {device} info"},
    {"read", Command::Verb::kRead, Where::kAnywhere, readRead, runRead, nullptr,
     "read ITEM",
     "read one item's value",
     "zephlorctl --device {device} read station-level 1 2 3"},
    {"write", Command::Verb::kWrite, Where::kAnywhere, readWrite, runWrite, nullptr,
     "write ITEM VALUE [--truncate|--u16]",
     "write a value and wait for the controller's confirmation. VALUE must be one the item "
     "carries: a whole number 0 to 255 for levels, LEDs, switches and profiles, a signed 32-bit "
     "one for a thermostat, 0 to 65535 for the modifier; others are refused. --truncate sends "
     "what the line makes of any number in the signed 32-bit range instead (toward zero, and the "
     "low 8 bits for 8-bit items: 75.6 goes as 75, 300 as 44); what was sent is shown. --u16 "
     "sends it as a 16-bit unsigned integer (0-65535)",
     "zephlorctl --device {device} write thermostat 1 2 1 21"},
    {"poll", Command::Verb::kPoll, Where::kAnywhere, readPoll, runPoll, nullptr,
     "poll ITEM... [-i|--interval MS] [-c|--count N] [--reconnect]",
     "read the items, one timestamped line per sample, a sample starting every MS milliseconds "
     "(default 1000) or at once after one that took longer (an overrun; MS 0: as fast as the "
     "line allows, no overruns), N samples (default: until interrupted); ends with a summary on "
     "standard error: samples, reads, failed reads by kind, overruns, and the least, median and "
     "greatest reply time. A failed line ends it, unless --reconnect: then the sample is "
     "recorded as "
     "\"line down\", the device is opened again at most once an interval, and the poll goes on; "
     "the summary counts the samples lost and the reconnects",
     "zephlorctl --device {device} --format csv poll led 1 2 3 switch 1 1 4 -i 500 -c 10"},
    {"run", Command::Verb::kRun, Where::kCommandLineOnly, readRun, runRun, nullptr,
     "run FILE|-",
     "run the commands in FILE, one per line, after checking them all: nothing is sent if any "
     "line is wrong. With -, from standard input: checked whole the same way when it is a file; "
     "from a pipe or a terminal each line is run as it arrives, a wrong line is told and sends "
     "nothing, and the next goes on (a terminal gets a prompt). Lines of at most 4096 bytes, no "
     "NUL bytes, a file of 4 MiB at most. Lines starting with # are shown as they are; a line "
     "starting with ! is expected to fail. Scripts may also use the script commands below",
     "zephlorctl --device {device} run commissioning.zcmd"},
    {"list-ports", Command::Verb::kListPorts, Where::kCommandLineOnly, readListPorts, nullptr,
     listPorts,
     "list-ports [PATH...]",
     "the serial ports to pass to --device (on Linux the names under /dev/serial/by-id and the "
     "ttys with a device behind them, on Windows the COM ports), and any PATH given, such as a "
     "pseudo-terminal",
     "zephlorctl list-ports"},
    {"help", Command::Verb::kHelp, Where::kCommandLineOnly, readHelp, nullptr, showHelp,
     "help [COMMAND | items]",
     "this text, as --help; with a command, that command's help (as COMMAND --help); with items, "
     "the item kinds and their address numbers",
     "zephlorctl help poll"},
    {"fault", Command::Verb::kFault, Where::kScriptOnly, readFault, runFault, nullptr,
     "fault none | fault KIND[:P]...",
     "set the --sim simulator's faults",
     "fault drop:0.2 delay:0.1   (in a script run with --sim)"},
    {"sleep", Command::Verb::kSleep, Where::kScriptOnly, readSleep, runSleep, nullptr,
     "sleep MS",
     "pause",
     "sleep 500   (in a script)"},
    {"monitor", Command::Verb::kMonitor, Where::kCommandLineOnly, readMonitor, nullptr, nullptr,
     "monitor --between HOST_SIDE CONTROLLER_SIDE | --tap HOST_TX CONTROLLER_TX | "
     "--listen tcp:ADDRESS:PORT",
     "watch a line that another host drives, one record per exchange: the item, request, reply, "
     "value, reply time and verdict. --between forwards every byte both ways, unchanged; each "
     "side is a serial device, a tcp: or rfc2217: device server, or pty for a new "
     "pseudo-terminal whose path is told. --tap listens on a tap cable's two receive lines and "
     "sends nothing. --listen is a TCP port the host connects to, in front of the device server "
     "--device names. A request unanswered within --timeout has no reply. Ctrl-C ends it with "
     "a summary: exchanges by item and verdict, and reply-time median and p99 per item",
     "zephlorctl monitor --between pty {device}"},
};
// clang-format on

static_assert(text::rowsFollowTheirKeys(kVerbs, &VerbRow::verb),
              "row i of the verb table is Command::Verb i");

// The verbs that may stand where `inScript` says, for a person: "info, read, ... or list-ports".
std::string verbsFor(bool inScript) {
  std::string names;
  std::string last;
  for (const VerbRow& row : kVerbs) {
    const bool allowed = row.where == Where::kAnywhere ||
                         row.where == (inScript ? Where::kScriptOnly : Where::kCommandLineOnly);
    if (!allowed || row.verb == Command::Verb::kHelp) continue;
    if (!last.empty()) names += (names.empty() ? "" : ", ") + last;
    last = row.name;
  }
  return names + (names.empty() ? "" : " or ") + last;
}

// What the person may have meant: a device given as other poll tools take it, a typo of a verb,
// or else the verbs there are.
std::string unknownCommandHint(const std::string& word, bool inScript) {
  const bool device =
      word.rfind("/dev/", 0) == 0 || word.rfind("COM", 0) == 0 || io::isNetworkDevice(word);
  if (device && !inScript) {
    return " (a device goes with -d: zephlorctl -d " + word + " info)";
  }
  std::vector<std::string_view> names;
  for (const VerbRow& row : kVerbs) names.emplace_back(row.name);
  const std::string close = text::closestWord(word, names);
  if (!close.empty()) return " (did you mean " + close + "?)";
  std::vector<std::string_view> kinds;
  for (const facts::ItemKindInfo& kind : facts::kItemCatalogue) kinds.emplace_back(kind.name);
  const std::string kind = text::closestWord(word, kinds);
  if (!kind.empty()) return " (an item goes after a command: zephlorctl read " + kind + " ...)";
  return (inScript ? " (a script takes " : " (try ") + verbsFor(inScript) + ")";
}

}  // namespace

const VerbRow& verbRow(Command::Verb verb) { return kVerbs[static_cast<unsigned>(verb)]; }

std::optional<Command> parseCommand(const std::vector<std::string>& words,
                                    const CommandOptions& options, bool inScript,
                                    std::string& error) {
  if (words.empty()) {
    error = "no command given (" + verbsFor(inScript) + ")";
    return std::nullopt;
  }
  for (const VerbRow& row : kVerbs) {
    if (words[0] != row.name) continue;
    // Script-only verbs belong in scripts, command-line-only ones outside them.
    if (row.where == (inScript ? Where::kCommandLineOnly : Where::kScriptOnly)) {
      error = std::string(row.name) +
              (inScript ? " cannot be used inside a script" : " can only be used inside a script");
      return std::nullopt;
    }
    // Each command option belongs to one verb.
    const bool pollOptions = options.interval || options.count || options.reconnect;
    if ((options.unsigned16 || options.truncate) && row.verb != Command::Verb::kWrite) {
      error = "--u16 and --truncate go with write only";
      return std::nullopt;
    }
    if (pollOptions && row.verb != Command::Verb::kPoll) {
      error = "--interval, --count and --reconnect go with poll only";
      return std::nullopt;
    }
    if (options.monitorMode && row.verb != Command::Verb::kMonitor) {
      error = "--between, --tap and --listen go with monitor only";
      return std::nullopt;
    }
    Command command;
    command.verb = row.verb;
    command.options = options;
    CommandWords reader(words, error);
    if (!row.read(reader, command)) return std::nullopt;
    return command;
  }
  error = "unknown command " + text::quotedBytes(words[0]) + unknownCommandHint(words[0], inScript);
  return std::nullopt;
}

ExitCode execute(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  const VerbRow& row = verbRow(command.verb);
  const ExitCode code =
      row.run != nullptr ? row.run(command, session, out, err) : row.runAlone(command, out);
  // Results nobody can read must not keep the line busy: a closed pipe or a full disk ends the
  // command at once.
  if (out.flush().fail() && command.verb != Command::Verb::kRun) {
    std::string message;
    const ExitCode failure = session.results().writeFailure(message);
    err << "zephlorctl: " << message << std::endl;
    return failure;
  }
  return code;
}

std::string topicHelp(const std::string& topic, std::string& error) {
  if (topic == "items") {
    return "Items: a kind followed by its address numbers (each 0 to 255):\n" +
           facts::itemCatalogueHelp();
  }
  std::vector<std::string_view> topics{"items"};
  for (const VerbRow& row : kVerbs) {
    topics.emplace_back(row.name);
    if (topic != row.name) continue;
    const std::string example =
        text::filledIn(row.example, {{"device", io::platformFacts().serialDevice}});
    return std::string("Usage: zephlorctl [OPTIONS] ") + row.usage + "\n\n" +
           text::helpRow("", row.help, 4) + "\n" +
           (row.where == Where::kScriptOnly ? "A script command.\n\n" : "") + "Example:\n  " +
           example + "\n\nThe line's, the results' and the other options: zephlorctl --help\n";
  }
  const std::string close = text::closestWord(topic, topics);
  error = "no help on " + text::quotedBytes(topic) +
          (close.empty() ? " (help takes a command, or items)" : " (did you mean " + close + "?)");
  return "";
}

std::string verbsHelp() {
  std::string commands = "Commands:\n";
  std::string scripts = "Script commands, besides info, read, write and poll:\n";
  for (const VerbRow& row : kVerbs) {
    (row.where == Where::kScriptOnly ? scripts : commands) +=
        text::helpRow(row.usage, row.help, 28);
  }
  return commands + "\n" + scripts;
}

}  // namespace zephlor::ctl
