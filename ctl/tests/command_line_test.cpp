// zephlorctl's command lines and script lines read in process: each wrong one with the exact
// sentence a person gets, and a right one with every value where it belongs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "commands.h"
#include "options.h"
#include "verbs.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_io/serial_port.h"

namespace zephlor::ctl {
namespace {

// The command line's error, or else the command's; empty when both were read.
std::string problemWith(const std::vector<std::string>& arguments) {
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(arguments, commandLine, error)) return error;
  parseCommand(commandLine.words, commandLine.commandOptions, false, error);
  return error;
}

std::string problemInScript(const std::vector<std::string>& words) {
  CommandOptions options;
  std::vector<std::string> rest;
  std::string error;
  if (parseCommandOptions(words, options, rest, error)) parseCommand(rest, options, true, error);
  return error;
}

TEST(CommandLines, WrongOnesAreToldInOneSentence) {
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"--baud", "100", "info"}, "--baud takes one of " + io::supportedBauds()},
      {{"--timeout", "0", "info"}, "--timeout takes milliseconds from 1 to 600000"},
      {{"--retries", "101", "info"}, "--retries takes a whole number from 0 to 100"},
      {{"--format", "xml", "info"}, "--format takes text, csv or json"},
      {{"--driver", "", "info"}, "--driver needs the plug-in's path, not an empty word"},
      {{"--lenient", "--strict", "info"}, "--lenient and --strict cannot be used together"},
      {{"--sim", "--device", "/dev/ttyS0", "info"},
       "--sim and --device cannot be used together: the built-in simulator is the line"},
      {{"--append", "info"}, "--append needs --output FILE"},
      {{"--device", "tcp:127.0.0.1:4001", "--baud", "9600", "info"},
       "--baud cannot be used with a tcp: device: the speed is the device server's setting"},
      {{"--device", "tcp:127.0.0.1:0", "info"},
       "--device is wrong: tcp:127.0.0.1:0 is not of the form tcp:HOST:PORT (or "
       "rfc2217:HOST:PORT), PORT 1 to 65535"},
      {{"poll", "led", "1", "2", "3", "--count", "0"},
       "--count takes a whole number from 1 to 1000000000"},
      {{"read", "led", "1", "2", "3", "--u16"}, "--u16 and --truncate go with write only"},
      {{"info", "--interval", "5"}, "--interval, --count and --reconnect go with poll only"},
      {{"fault", "drop"}, "fault can only be used inside a script"},
      {{}, "no command given (info, read, write, poll, run, list-ports or monitor)"},
      {{"launch"},
       "unknown command \"launch\" (try info, read, write, poll, run, list-ports or monitor)"},
      {{"pol", "led", "1", "2", "3"}, "unknown command \"pol\" (did you mean poll?)"},
      {{"/dev/ttyS0", "info"},
       "unknown command \"/dev/ttyS0\" (a device goes with -d: zephlorctl -d /dev/ttyS0 info)"},
      {{"station-levle", "1", "2", "3"},
       "unknown command \"station-levle\" (an item goes after a command: zephlorctl read "
       "station-level ...)"},
      {{"read", "station-levle", "1", "2", "3"},
       "unknown item kind \"station-levle\" (did you mean station-level?)"},
      {{"read", "lamp", "1", "2", "3"},
       "unknown item kind \"lamp\" (the kinds: firmware, led, module-level, station-level, "
       "contactor-level, thermostat, switch, module-profile, station-profile, modifier)"},
      {{"info", "--tap"}, "--between, --tap and --listen go with monitor only"},
      {{"info", "-i", "5"}, "--interval, --count and --reconnect go with poll only"},
      {{"poll", "led", "1", "2", "3", "-c", "0"},
       "--count takes a whole number from 1 to 1000000000"},
      {{"monitor", "--between", "pty"}, "monitor needs the host's side and the controller's side"},
      {{"monitor"},
       "monitor needs --between HOST_SIDE CONTROLLER_SIDE, --tap HOST_TX CONTROLLER_TX, or "
       "--listen tcp:ADDRESS:PORT"},
      {{"read", "module-profile", "1", "2", "3", "4"},
       "module-profile items cannot be read, only written"},
      {{"write", "led", "1", "2", "3"}, "write needs a value after the item"},
      {{"--sim", "--u16", "write", "led", "1", "2", "3", "70000"},
       "with --u16 the value must be a whole number from 0 to 65535"},
      {{"--sim", "read", "led", "1", "2", "3"}, ""},
      // A value the item cannot carry is refused, unless --truncate asks for what the line
      // makes of it; NaN and what leaves the 32-bit range are refused even then.
      {{"write", "thermostat", "1", "2", "1", "-5.5"},
       "the value \"-5.5\" cannot be sent: thermostat takes whole numbers from -2147483648 to "
       "2147483647 (--truncate sends what the line makes of it)"},
      {{"write", "led", "1", "2", "3", "300"},
       "the value \"300\" cannot be sent: led takes whole numbers from 0 to 255 (--truncate "
       "sends what the line makes of it)"},
      {{"write", "modifier", "70000"},
       "the value \"70000\" cannot be sent: modifier takes whole numbers from 0 to 65535 "
       "(--truncate sends what the line makes of it)"},
      {{"write", "thermostat", "1", "2", "1", "16777217"},
       "the value \"16777217\" cannot be sent: the driver carries values as 32-bit floats, which "
       "cannot hold this one exactly (--truncate sends what the line makes of it)"},
      {{"write", "led", "1", "2", "3", "300", "--truncate"}, ""},
      {{"write", "thermostat", "1", "2", "1", "-5.5", "--truncate"}, ""},
      {{"write", "modifier", "65535"}, ""},
      {{"write", "led", "1", "2", "3", "nan", "--truncate"},
       "the value \"nan\" is outside what the line carries (whole numbers from -2147483648 to "
       "2147483647 after truncation)"},
      {{"read", "led", "1", "2", "3", "--truncate"}, "--u16 and --truncate go with write only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(problemWith(c.arguments), c.error);
  }
}

TEST(Help, EveryCommandHasAPageOfItsOwnAndItemsTheirs) {
  for (const char* verb : {"info", "read", "write", "poll", "run", "list-ports", "help", "fault",
                           "sleep", "monitor"}) {
    SCOPED_TRACE(verb);
    std::string error;
    const std::string page = topicHelp(verb, error);
    EXPECT_EQ(page.rfind(std::string("Usage: zephlorctl [OPTIONS] ") + verb, 0), 0u) << page;
    EXPECT_NE(
        page.find(
            std::string("Example:\n  ") +
            (verb == std::string("fault") || verb == std::string("sleep") ? verb : "zephlorctl")),
        std::string::npos)
        << page;
  }
  std::string error;
  const std::string items = topicHelp("items", error);
  for (const facts::ItemKindInfo& kind : facts::kItemCatalogue) {
    EXPECT_NE(items.find(std::string("  ") + kind.name + " "), std::string::npos) << kind.name;
  }
  // The values each writable kind takes, from the rule that refuses the others.
  EXPECT_NE(items.find("read and written; values 0 to 255"), std::string::npos) << items;
  EXPECT_NE(items.find("65535"), std::string::npos) << items;
  EXPECT_EQ(topicHelp("pol", error), "");
  EXPECT_EQ(error, "no help on \"pol\" (did you mean poll?)");
}

TEST(CommandLines, ScriptLinesTakeTheSameCommandOptions) {
  EXPECT_EQ(problemInScript({"run", "other.zcmd"}), "run cannot be used inside a script");
  EXPECT_EQ(problemInScript({"sleep", "5", "--u16"}), "--u16 and --truncate go with write only");
  EXPECT_EQ(problemInScript({"poll", "led", "1", "2", "3", "--interval=x"}),
            "--interval takes milliseconds from 0 to 86400000");
  EXPECT_EQ(problemInScript({"write", "thermostat", "1", "2", "3", "-5"}), "");
  EXPECT_EQ(problemInScript({"launch"}),
            "unknown command \"launch\" (a script takes info, read, write, poll, fault or sleep)");
}

TEST(CommandLines, EveryValueLandsOnce) {
  CommandLine line;
  std::string error;
  // clang-format off
  ASSERT_TRUE(parseCommandLine({"-d", "COM7", "--baud=115200", "-t", "500", "poll", "led", "1",
                                "2", "3", "-r", "2", "--lenient", "-f", "csv", "-o", "f.csv",
                                "--append", "-q", "--interval", "0", "--count", "5"},
                               line, error))
      << error;
  // clang-format on
  EXPECT_EQ(line.connection.device, "COM7");
  EXPECT_EQ(line.connection.baud, 115200);
  EXPECT_EQ(line.connection.timeout.count(), 500);
  EXPECT_EQ(line.connection.retries, 2);
  EXPECT_TRUE(line.connection.lenient);
  EXPECT_EQ(line.output.format, Format::kCsv);
  EXPECT_EQ(line.output.file, "f.csv");
  EXPECT_TRUE(line.output.append);
  EXPECT_TRUE(line.output.quiet);
  const std::optional<Command> poll = parseCommand(line.words, line.commandOptions, false, error);
  ASSERT_TRUE(poll) << error;
  EXPECT_EQ(poll->interval.count(), 0);
  EXPECT_EQ(poll->count, 5);
  ASSERT_EQ(poll->items.size(), 1u);
  EXPECT_EQ(poll->items[0].describe(), "led 1 2 3");
}

TEST(CommandLines, AWrongDefaultIsTheEnvironmentsAndWaits) {
  setenv("ZEPHLOR_BAUD", "fast", 1);
  CommandLine line;
  std::string error;
  const bool parsed = parseCommandLine({"--help"}, line, error);
  unsetenv("ZEPHLOR_BAUD");
  EXPECT_TRUE(parsed) << error;
  EXPECT_TRUE(line.help);
  EXPECT_EQ(line.environmentError, "ZEPHLOR_BAUD takes one of " + io::supportedBauds() +
                                       " (the environment has \"fast\")");
  EXPECT_EQ(line.connection.baud, 9600);
}

}  // namespace
}  // namespace zephlor::ctl
