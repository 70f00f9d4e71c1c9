// Reading zephlorctl's commands from their words: one small reader per verb, each put in its row
// by the verb table.
#include <cmath>
#include <cstdlib>

#include "verb_steps.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl::steps {

bool readInfo(CommandWords& words, Command& command) {
  // The firmware item to ask, by its address number.
  std::vector<std::string> firmware = {"firmware", words.done() ? "0" : words.take()};
  size_t at = 0;
  std::string error;
  const std::optional<Item> item = parseItem(firmware, at, error);
  if (!item) return words.fail(error);
  command.items.push_back(*item);
  return words.finish("info");
}

bool readRead(CommandWords& words, Command& command) {
  Item item;
  if (!words.takeItem(false, item)) return false;
  command.items.push_back(item);
  return words.finish("read");
}

bool readWrite(CommandWords& words, Command& command) {
  Item item;
  if (!words.takeItem(true, item)) return false;
  command.items.push_back(item);
  if (words.done()) return words.fail("write needs a value after the item");
  const std::optional<std::string> value = words.take();
  if (!words.finish("write")) return false;
  command.valueText = *value;
  if (command.options.unsigned16) {
    long long number = 0;
    if (!parseBounded(*value, 0, 65535, number)) {
      return words.fail("with --u16 the value must be a whole number from 0 to 65535");
    }
    command.unsigned16 = static_cast<uint16_t>(number);
    return true;
  }
  char* end = nullptr;
  const double given = std::strtod(value->c_str(), &end);
  if (value->empty() || *end != '\0') {
    return words.fail("the value " + text::quotedBytes(*value) + " is not a number");
  }
  command.value = static_cast<float>(given);
  if (!command.options.truncate) {
    const std::string problem = facts::valueProblem(*item.kind, given);
    if (problem.empty()) return true;
    return words.fail("the value " + text::quotedBytes(*value) + " cannot be sent: " + problem +
                      " (--truncate sends what the line makes of it)");
  }
  // The line carries the value truncated to a signed 32-bit number; beyond that (and for NaN and
  // the infinities) the driver would send a wrapped or zero value nobody asked for.
  const double whole = std::trunc(given);
  if (!std::isfinite(whole) || whole < -2147483648.0 || whole >= 2147483648.0) {
    return words.fail("the value " + text::quotedBytes(*value) +
                      " is outside what the line carries (whole numbers from -2147483648 to "
                      "2147483647 after truncation)");
  }
  return true;
}

bool readPoll(CommandWords& words, Command& command) {
  if (command.options.interval) command.interval = *command.options.interval;
  if (command.options.count) command.count = *command.options.count;
  while (!words.done()) {
    Item item;
    if (!words.takeItem(false, item)) return false;
    command.items.push_back(item);
  }
  return !command.items.empty() || words.fail("poll needs at least one item");
}

bool readMonitor(CommandWords& words, Command& command) {
  if (!command.options.monitorMode) {
    return words.fail(
        "monitor needs --between HOST_SIDE CONTROLLER_SIDE, --tap HOST_TX "
        "CONTROLLER_TX, or --listen tcp:ADDRESS:PORT");
  }
  command.monitorMode = *command.options.monitorMode;
  command.monitorListen = command.options.monitorListen;
  if (command.monitorMode != MonitorMode::kListen) {
    while (!words.done() && command.monitorSides.size() < 2) {
      command.monitorSides.push_back(words.take());
    }
    if (command.monitorSides.size() < 2) {
      return words.fail("monitor needs the host's side and the controller's side");
    }
  }
  return words.finish("monitor");
}

bool readHelp(CommandWords& words, Command& command) {
  if (!words.done()) command.file = words.take();  // the topic
  return words.finish("help");
}

bool readRun(CommandWords& words, Command& command) {
  if (words.done()) return words.fail("run needs a script file, or - for standard input");
  command.file = words.take();
  return words.finish("run");
}

bool readFault(CommandWords& words, Command& command) {
  while (!words.done()) {
    const std::string setting = words.take();
    if (setting == "none") continue;
    if (!sim::addFault(command.faultPlan, setting)) {
      return words.fail("fault takes none, or " + sim::faultSettingForm());
    }
    command.faults.push_back(setting);
  }
  return true;
}

bool readSleep(CommandWords& words, Command& command) {
  long long number = 0;
  if (!words.takeNumber(0, kLongestWait.count(), number, "sleep")) return false;
  command.interval = std::chrono::milliseconds(number);
  return words.finish("sleep");
}

bool readListPorts(CommandWords& words, Command& command) {
  while (!words.done()) command.paths.push_back(words.take());
  return true;
}

bool readNothing(CommandWords& words, Command&) { return words.finish("help"); }

}  // namespace zephlor::ctl::steps
