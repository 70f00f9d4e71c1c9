// One line to a controller, as every tool stands on it: opened from its name (a serial device,
// tcp:HOST:PORT, rfc2217:HOST:PORT, or the built-in simulator), opened again after it failed,
// and items read and written on it through the plug-in, a missing or garbled reply asked again
// up to the retries allowed. Each transaction comes back as a Reading for the tool to format.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "zephlor_facts/exit_codes.h"
#include "zephlor_host/entry_point_table.h"
#include "zephlor_host/item_names.h"
#include "zephlor_host/transaction.h"
#include "zephlor_line/reading.h"
#include "zephlor_sim/simulator_settings.h"

namespace zephlor::io {
class ByteLine;
}

namespace zephlor::sim {
class ControllerModel;
class FaultInjector;
}  // namespace zephlor::sim

namespace zephlor::line {

// The line name that stands for the simulator built into the tools.
inline constexpr const char* kBuiltInSimulator = "sim";

struct LineSettings {
  std::string device;  // a serial device, tcp:HOST:PORT, rfc2217:HOST:PORT, or kBuiltInSimulator
  int baud = 9600;
  host::TransactionRules rules;
  int retries = 0;                   // further attempts after a missing or garbled reply
  sim::SimulatorSettings simulator;  // what the built-in simulator is

  bool simulated() const { return device == kBuiltInSimulator; }
};

// How opening a line went: kSuccess, or the exit status and what failed on which device.
struct Opening {
  ExitCode code = kSuccess;
  std::string message;
  const char* advice = "";  // what a person can do about it, empty when nothing
  bool opened() const { return code == kSuccess; }
};

class LineSession {
 public:
  LineSession(const host::DriverEntryPoints& driver, LineSettings settings);
  ~LineSession();
  LineSession(const LineSession&) = delete;
  LineSession& operator=(const LineSession&) = delete;

  const LineSettings& settings() const { return settings_; }

  // Opens the line, or opens it again by its name with the same settings after it failed (a
  // device server that dropped the connection, a USB adapter unplugged for a moment). The
  // built-in simulator is made once and never goes down.
  Opening open();
  void close();
  bool isOpen() const { return transport_ != nullptr; }
  // How the line was opened, for a person: "opened DEVICE" or "the built-in simulator".
  std::string openedAs() const;

  // One item read (five records for the firmware) or one write of `record`, asked again after a
  // missing or garbled reply up to the retries allowed. The line must be open.
  Reading read(const host::Item& item);
  Reading write(const host::Item& item, RSDATA record);

  // Sees every line on the wire; null for none.
  void setTrace(host::TraceSink* trace) { trace_ = trace; }
  // Told before each further attempt: the item, the reading that failed and the attempt to come.
  using RetryTold = std::function<void(const host::Item&, const Reading&, int attempt)>;
  void onRetry(RetryTold told) { onRetry_ = std::move(told); }

  // The built-in simulator's faults, or null when the line is a real one.
  sim::FaultInjector* simulatorFaults() { return simFaults_.get(); }

 private:
  Reading transact(const host::Item& item, RSDATA* records);

  const host::DriverEntryPoints& driver_;
  const LineSettings settings_;
  std::unique_ptr<io::ByteLine> line_;
  std::unique_ptr<sim::ControllerModel> simController_;
  std::unique_ptr<sim::FaultInjector> simFaults_;
  std::unique_ptr<host::LineTransport> transport_;
  host::TraceSink* trace_ = nullptr;
  RetryTold onRetry_;
};

}  // namespace zephlor::line
