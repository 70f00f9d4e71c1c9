#include "gateway_options.h"

#include "config.h"
#include "topic_names.h"

#include "zephlor_cli/options.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_io/platform_facts.h"
#include "zephlor_text/help_rows.h"

namespace zephlor::gateway {
namespace {

// clang-format off
const std::vector<cli::OptionSpec> kOptions = {
    {"--check", nullptr, nullptr, false, nullptr,
     "check CONFIG and print the topics it would use; nothing connects"},
    {"--dry-run", nullptr, nullptr, false, nullptr,
     "no broker: every message it would publish is printed as a JSON line on standard output"},
    {"--sim", nullptr, nullptr, false, nullptr,
     "every line is the built-in simulator; without CONFIG, one simulated line with a few items "
     "under zephlor/sim"},
    {"--driver", nullptr, "the plug-in's path", false, "PATH",
     "the driver plug-in (default: {plugin} beside the program, or where it is installed)"},
    {"--log-level", nullptr, "a level", false, "LEVEL",
     "the least priority told on standard error: {levels} (default info); under the journal each "
     "line carries its priority: error for refusals, warning for a line or the broker lost, "
     "info for connected and up"},
    {"--version", "-V", nullptr, false, nullptr, "the gateway's version"},
    {"--help", "-h", nullptr, false, nullptr, "this text"},
};
// clang-format on

std::string optionsHelp() {
  std::string help;
  for (const cli::OptionSpec& option : kOptions) {
    help += cli::optionHelp(option, 22,
                            {{"plugin", host::pluginFileName()}, {"levels", priorityNames()}});
  }
  return help;
}

}  // namespace

bool parseGatewayOptions(const std::vector<std::string>& arguments, GatewayOptions& options,
                         std::string& error) {
  cli::ParsedOptions parsed;
  if (!cli::parseOptions(arguments, kOptions, true, parsed, error)) return false;
  options.check = parsed.has("--check");
  options.dryRun = parsed.has("--dry-run");
  options.simulate = parsed.has("--sim");
  options.help = parsed.has("--help");
  options.version = parsed.has("--version");
  if (parsed.has("--driver")) options.driverPath = parsed.value("--driver");
  if (parsed.has("--log-level") && !priorityNamed(parsed.value("--log-level"), options.logLevel)) {
    error =
        "--log-level takes " + priorityNames() + ", not \"" + parsed.value("--log-level") + "\"";
    return false;
  }
  if (options.help || options.version) return true;
  if (parsed.words.size() > 1) {
    error = "one configuration file at most, not " + std::to_string(parsed.words.size());
    return false;
  }
  if (!parsed.words.empty()) options.configFile = parsed.words[0];
  if (options.configFile.empty() && !options.simulate) {
    error = "a configuration file is needed (or --sim, for a simulated line)";
    return false;
  }
  return true;
}

std::string gatewayHelp() {
  return R"(Usage: zephlor-gateway [OPTIONS] [CONFIG]

Polls Zephlor controller lines through the driver plug-in and publishes every item's value on a
topic of its own at an MQTT broker; carries writes from MQTT back to the controller. CONFIG is a
YAML file naming the broker, the topic prefix, and the lines with their items.

Options:
)" + optionsHelp() +
         R"(
Configuration, a YAML mapping; the keys of each mapping in it:
)" + configKeysHelp() +
         R"(A fault in CONFIG ends the gateway before anything connects, each fault told with its line and
column. SIGHUP reads CONFIG again: changed lines restart, the others run on; a CONFIG with faults
is refused and the running one kept.

Topics:
)" + topicsHelp() +
         R"(All at QoS 1, over MQTT 5. After an outage of the broker, the latest of every retained topic is
published again; write results wait for it.

It runs until stopped; a stop answers every write taken, publishes offline and disconnects.

Exit status:
)" + facts::exitCodeHelp(facts::Tool::kGateway, io::platformFacts().stops) +
         R"(
Examples:
  zephlor-gateway --sim --dry-run
  zephlor-gateway --check /etc/zephlor/site-a.yaml
  zephlor-gateway /etc/zephlor/site-a.yaml
)";
}

}  // namespace zephlor::gateway
