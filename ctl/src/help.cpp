#include "help.h"

#include "option_rows.h"
#include "verbs.h"

#include "zephlor_facts/exit_codes.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_io/platform_facts.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/help_rows.h"

namespace zephlor::ctl {

std::string helpText() {
  const io::PlatformFacts& platform = io::platformFacts();
  const std::string device = platform.serialDevice;
  return R"(Usage: zephlorctl [OPTIONS] COMMAND [ARGUMENTS]

Talks to a Zephlor controller through the osterfell driver plug-in, exactly as the host
application does: for every transaction Set_xxx builds the request line, the line is sent, the
reply is collected up to its line end or the timeout, then Check_xxx and Get_xxx judge and parse
it. zephlorctl never calls the codec directly.

)" + verbsHelp() +
         R"(
Items: a kind followed by its address numbers (each 0 to 255):
)" + facts::itemCatalogueHelp() +
         "\nThe line:\n" + optionsHelp(Section::kLine) +
         sim::simulatorSettingsHelp(kSimulatorPrefix, sim::SettingGroup::kFirmware, 28) +
         sim::simulatorSettingsHelp(kSimulatorPrefix, sim::SettingGroup::kFaults, 28) +
         "\nResults:\n" + optionsHelp(Section::kResults) + "\nOther:\n" +
         optionsHelp(Section::kOther) + R"(
Environment:
  ZEPHLOR_DEVICE, ZEPHLOR_BAUD, ZEPHLOR_TIMEOUT
                            defaults for --device, --baud and --timeout; the command line
                            overrides them. A wrong one is named by its variable, and stops
                            only commands that use the line

Exit status:
)" + facts::exitCodeHelp(facts::Tool::kZephlorctl, platform.stops) +
         R"(A poll or script ends with the status of its last failure; a failed line, unwritable results
or a stop end it at once.

Examples:
  zephlorctl --sim info
)" + "  zephlorctl --device " +
         device + " read station-level 1 2 3\n" + "  zephlorctl --device " + device +
         " --trace write thermostat 1 2 3 -5\n" + "  zephlorctl --device " + device +
         " poll led 1 2 3 switch 1 2 3 --interval 500 --count 10\n" +
         R"(  zephlorctl --device tcp:192.0.2.7:4001 --format csv --output levels.csv \
      poll station-level 1 2 3 --interval 1000
)";
}

}  // namespace zephlor::ctl
