// zephlor-gateway: controller lines to an MQTT broker, for plants with many lines and the
// systems (SCADA, historians, dashboards) that meet their devices through a broker.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include <mosquitto.h>

#include "config.h"
#include "dry_run_sink.h"
#include "gateway.h"
#include "gateway_options.h"
#include "mqtt_link.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_io/stop_request.h"

namespace {

using namespace zephlor;
using namespace zephlor::gateway;

constexpr auto kOfflineGrace = std::chrono::milliseconds(500);

int fail(ExitCode code, const std::string& message) {
  std::cerr << "zephlor-gateway: " << message << std::endl;
  return code;
}

bool readFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  if (file) content << file.rdbuf();
  if (!file || file.bad()) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  text = content.str();
  return true;
}

// The password is the password file's first line, without its line end.
bool readPassword(const std::string& path, std::string& password, std::string& error) {
  if (!readFile(path, password, error)) return false;
  password = password.substr(0, password.find_first_of("\r\n"));
  return true;
}

std::string defaultClientId() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::strcpy(host, "unnamed");
  return std::string("zephlor-gateway-") + host;
}

// Waits for a stop, publishing the metrics when they are due; ends early with an exit status
// when the broker refuses the gateway or standard output fails.
ExitCode runUntilStopped(Gateway& gateway, const GatewayConfig& config, const MqttLink* link,
                         const DryRunSink* dryRun) {
  const auto every = config.metricsEvery;
  auto nextMetrics = std::chrono::steady_clock::now() + every;
  for (;;) {
    const auto tick = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    if (!io::sleepUntil(every.count() != 0 ? std::min(tick, nextMetrics) : tick)) return kSuccess;
    if (link != nullptr && !link->refusal().empty()) {
      std::cerr << "zephlor-gateway: " << link->refusal() << std::endl;
      return kBrokerRefused;
    }
    if (dryRun != nullptr && dryRun->failed()) return kOutputFailed;
    if (every.count() != 0 && std::chrono::steady_clock::now() >= nextMetrics) {
      gateway.publishMetrics();
      nextMetrics += every;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  GatewayOptions options;
  std::string error;
  if (!parseGatewayOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    return fail(kUsage, error + "\n(see zephlor-gateway --help)");
  }
  if (options.help) {
    std::cout << gatewayHelp();
    return kSuccess;
  }
  if (options.version) {
    int major = 0, minor = 0, revision = 0;
    mosquitto_lib_version(&major, &minor, &revision);
    std::cout << "zephlor-gateway " << ZEPHLOR_VERSION << "\nlibmosquitto " << major << "." << minor
              << "." << revision << "; the driver plug-in is loaded at run time." << std::endl;
    return kSuccess;
  }

  GatewayConfig config;
  if (options.configFile.empty()) {
    config = simulatedConfig();
  } else {
    std::string text;
    if (!readFile(options.configFile, text, error)) return fail(kConfigUnreadable, error);
    ConfigReading reading = readConfig(text);
    for (const ConfigProblem& problem : reading.problems) {
      std::cerr << options.configFile << ":" << problem.line << ":" << problem.column << ": "
                << problem.message << "\n";
    }
    if (!reading.config) {
      return fail(kUsage, options.configFile + " has " + std::to_string(reading.problems.size()) +
                              " fault" + (reading.problems.size() == 1 ? "" : "s"));
    }
    config = std::move(*reading.config);
  }
  if (options.simulate) {
    for (LineConfig& line : config.lines) line.device = LineConfig::kSimulatedDevice;
  }
  if (options.check) {
    std::cout << describeTopics(config);
    return kSuccess;
  }
  if (config.broker.clientId.empty()) config.broker.clientId = defaultClientId();
  std::string password;
  if (!options.dryRun && !config.broker.passwordFile.empty() &&
      !readPassword(config.broker.passwordFile, password, error)) {
    return fail(kConfigUnreadable, "the password file: " + error);
  }

  host::DriverModule driver;
  const std::string driverPath =
      options.driverPath.empty() ? host::defaultPluginPath() : options.driverPath;
  if (!driver.load(driverPath, error)) return fail(kDriverUnavailable, error);

  // From here on a signal only asks for a stop: every wait on a line ends, and the gateway says
  // offline and disconnects on the way out.
  io::installStopHandlers();
  const Topics topics{config.topicPrefix};
  std::unique_ptr<MessageSink> sink;
  Gateway* running = nullptr;
  MqttLink* link = nullptr;
  DryRunSink* dryRun = nullptr;
  if (options.dryRun) {
    sink = std::make_unique<DryRunSink>(std::cout);
    dryRun = static_cast<DryRunSink*>(sink.get());
  } else {
    mosquitto_lib_init();
    // Set messages arrive only after start(), by which time `running` is set.
    sink = std::make_unique<MqttLink>(
        topics, [&running](const std::string& topic, const std::string& payload) {
          running->onSet(topic, payload);
        });
    link = static_cast<MqttLink*>(sink.get());
  }
  Gateway gateway(config, driver.entryPoints(), *sink);
  running = &gateway;
  if (link != nullptr) {
    const ExitCode code = link->start(config.broker, password, error);
    if (code != kSuccess) return fail(code, error);
  } else {
    sink->publish(topics.gatewayStatus(), "online", true);
  }
  gateway.start();
  const ExitCode code = runUntilStopped(gateway, config, link, dryRun);
  // Ends every wait on a line at once, whatever ended the run.
  if (!io::stopRequested()) io::requestStop(SIGTERM);
  gateway.stop();
  if (link != nullptr) {
    link->stop(kOfflineGrace);
    sink.reset();
    mosquitto_lib_cleanup();
  } else {
    sink->publish(topics.gatewayStatus(), "offline", true);
  }
  return code;
}
