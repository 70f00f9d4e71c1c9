// zephlor-gateway: controller lines to an MQTT broker, for plants with many lines and the
// systems (SCADA, historians, dashboards) that meet their devices through a broker.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>

#include <mosquitto.h>

#include "config.h"
#include "config_files.h"
#include "discovery.h"
#include "dry_run_sink.h"
#include "gateway.h"
#include "gateway_options.h"
#include "http_port.h"
#include "mqtt_link.h"
#include "reload_request.h"
#include "tell.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_line/shared_plugin.h"

namespace {

using namespace zephlor;
using namespace zephlor::gateway;

constexpr auto kStopGrace = std::chrono::milliseconds(500);

int fail(ExitCode code, const std::string& message) {
  tell(Priority::kError, message);
  return code;
}

// zephlor-gateway-HOST-NAME, NAME being the configuration file's without its folder and
// ending: two gateways on one host, each with a configuration of its own, never share one.
std::string defaultClientId(const std::string& configFile) {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') std::strcpy(host, "unnamed");
  std::string name = configFile.empty() ? "sim" : configFile.substr(configFile.rfind('/') + 1);
  if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot != 0) name.resize(dot);
  return std::string("zephlor-gateway-") + host + "-" + name;
}

// One run of the gateway on one configuration, with its broker link or the dry-run printer.
class Run {
 public:
  Run(const GatewayConfig& config, const GatewayOptions& options,
      const host::DriverEntryPoints& driver)
      : config_(config), topics_{config.topicPrefix} {
    if (options.dryRun) {
      dryRun_ = std::make_unique<DryRunSink>(std::cout);
    } else {
      // Set messages arrive only after start(), by which time gateway_ is set.
      link_ = std::make_unique<MqttLink>(
          topics_, [this](const std::string& topic, const std::string& payload, bool retained) {
            gateway_->onMessage(topic, payload, retained);
          });
    }
    gateway_ = std::make_unique<Gateway>(config, driver, sink());
  }

  MessageSink& sink() { return dryRun_ ? static_cast<MessageSink&>(*dryRun_) : *link_; }

  ExitCode start(const Passwords& passwords, std::string& error) {
    if (config_.http) {
      http_ = std::make_unique<HttpPort>(*config_.http, *gateway_, sink());
      const ExitCode code = http_->start(passwords.http, error);
      if (code != kSuccess) return code;
    }
    if (link_) {
      const ExitCode code = link_->start(config_.broker, passwords.broker, error);
      if (code != kSuccess) return code;
    } else {
      sink().publish(topics_.gatewayStatus(), "online", true, MessageSink::Keep::kLatest);
    }
    gateway_->start();
    announce(sink(), {}, config_);
    return kSuccess;
  }

  // Every line is told at once; what they publish on the way out is given a moment to reach the
  // broker before "offline".
  void stop() {
    if (http_) http_->stop();
    gateway_->stop();
    if (link_) {
      link_->stop(kStopGrace);
    } else {
      sink().publish(topics_.gatewayStatus(), "offline", true, MessageSink::Keep::kLatest);
    }
  }

  // Why it must end now, or kSuccess while it may go on.
  ExitCode trouble() const {
    if (link_ && !link_->refusal().empty()) {
      return static_cast<ExitCode>(fail(kBrokerRefused, link_->refusal()));
    }
    if (dryRun_ && dryRun_->failed()) return kOutputFailed;
    return kSuccess;
  }

  void publishMetrics() { gateway_->publishMetrics(); }

  const GatewayConfig& config() const { return config_; }
  std::string reload(const GatewayConfig& fresh) {
    GatewayConfig changed = config_;
    changed.lines = fresh.lines;
    changed.discovery = fresh.discovery;
    announce(sink(), config_, changed);
    config_.discovery = fresh.discovery;
    config_.lines = fresh.lines;
    config_.metricsEvery = fresh.metricsEvery;
    return gateway_->reload(fresh.lines);
  }

 private:
  GatewayConfig config_;
  const Topics topics_;
  std::unique_ptr<DryRunSink> dryRun_;
  std::unique_ptr<MqttLink> link_;
  std::unique_ptr<Gateway> gateway_;
  std::unique_ptr<HttpPort> http_;
};

}  // namespace

int main(int argc, char** argv) {
  GatewayOptions options;
  std::string error;
  setTelling({standardErrorIsJournal(), Priority::kInfo});
  if (!parseGatewayOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    return fail(kUsage, error + "\n(see zephlor-gateway --help)");
  }
  setTelling({standardErrorIsJournal(), options.logLevel});
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

  // A configuration as the command line asks for it: the file, or the built-in simulated one.
  const auto load = [&options](GatewayConfig& config, ExitCode& code) {
    if (options.configFile.empty()) {
      config = simulatedConfig();
    } else if (!loadConfig(options.configFile, config, code)) {
      return false;
    }
    if (options.simulate) {
      for (LineConfig& line : config.lines) line.device = line::kBuiltInSimulator;
    }
    if (config.broker.clientId.empty()) {
      config.broker.clientId = defaultClientId(options.configFile);
    }
    return true;
  };
  GatewayConfig config;
  ExitCode code = kSuccess;
  if (!load(config, code)) return code;
  if (options.check) {
    std::cout << describeTopics(config);
    return kSuccess;
  }
  Passwords passwords;
  if (!readPasswords(config, options.dryRun, passwords, error)) {
    return fail(kConfigUnreadable, error);
  }

  line::SharedPlugin driver;
  const std::string driverPath =
      options.driverPath.empty() ? host::defaultPluginPath() : options.driverPath;
  if (!driver.load(driverPath, error)) return fail(kDriverUnavailable, error);

  // From here on SIGINT and SIGTERM only ask for a stop: every wait on a line ends, and the
  // gateway says offline and disconnects on the way out. SIGHUP reads the configuration again.
  io::installStopHandlers();
  installReloadHandler();
  if (!options.dryRun) mosquitto_lib_init();
  auto run = std::make_unique<Run>(config, options, driver.entryPoints());
  code = run->start(passwords, error);
  if (code != kSuccess) return fail(code, error);

  auto nextMetrics = std::chrono::steady_clock::now() + config.metricsEvery;
  for (;;) {
    const auto tick = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    const auto every = run->config().metricsEvery;
    if (!io::sleepUntil(every.count() != 0 ? std::min(tick, nextMetrics) : tick)) break;
    if ((code = run->trouble()) != kSuccess) break;
    if (every.count() != 0 && std::chrono::steady_clock::now() >= nextMetrics) {
      run->publishMetrics();
      nextMetrics += every;
    }
    if (!takeReloadRequest()) continue;
    // A reload: a file with faults is refused whole and the running configuration kept. The
    // broker connection is made again only when its settings or the topics changed.
    GatewayConfig fresh;
    ExitCode refused = kSuccess;
    if (!load(fresh, refused)) {
      tell(Priority::kError, "reload refused; the running configuration is kept");
      continue;
    }
    Passwords freshPasswords;
    if (!readPasswords(fresh, options.dryRun, freshPasswords, error)) {
      tell(Priority::kError, "reload refused, " + error);
      continue;
    }
    const GatewayConfig& current = run->config();
    if (fresh.broker == current.broker && fresh.topicPrefix == current.topicPrefix &&
        fresh.http == current.http && freshPasswords == passwords) {
      const std::string changed = run->reload(fresh);
      tell(Priority::kNotice, "reloaded " + options.configFile + ": " + changed);
      continue;
    }
    tell(Priority::kNotice,
         "reloaded " + options.configFile +
             ": the broker, the topics or the HTTP port changed; starting them again");
    announce(run->sink(), run->config(), fresh);  // what the fresh one has no more is taken back
    run->stop();
    run.reset();
    passwords = freshPasswords;
    run = std::make_unique<Run>(fresh, options, driver.entryPoints());
    if ((code = run->start(passwords, error)) != kSuccess) {
      fail(code, error);
      break;
    }
  }
  // Ends every wait on a line at once, whatever ended the run.
  if (!io::stopRequested()) io::requestStop(SIGTERM);
  run->stop();
  run.reset();
  if (!options.dryRun) mosquitto_lib_cleanup();
  return code;
}
