// zephlorctl monitor: watches a line that another host drives. Between the host and the
// controller it forwards every byte both ways at once, unchanged; on a tap cable's two receive
// lines it only listens; in front of a device server it is the TCP port the host connects to.
// Each direction is read by a thread of its own. It notes what it read, in one queue for both
// sides, before it forwards it: a reply can only be read after its request was forwarded, so the
// queue has every request before its reply, whichever thread runs first. The watcher is fed from
// the queue on the main thread, so judging never delays the line.
#include "monitor_running.h"

#include <atomic>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "monitor_records.h"
#include "output_file.h"
#include "zephlor_io/console.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_monitor/watcher.h"
#include "zephlor_text/listen_address.h"

namespace zephlor::ctl {
namespace {

using Clock = std::chrono::steady_clock;

// A side's name that asks for a new pseudo-terminal, for a host on this machine or under Wine.
constexpr const char* kNewTerminal = "pty";
constexpr auto kReadWait = std::chrono::milliseconds(100);
constexpr auto kWriteWait = std::chrono::milliseconds(1000);
// How often what was heard is judged and written.
constexpr auto kShowEvery = std::chrono::milliseconds(20);

struct Side {
  std::string what;  // "the host side", for messages
  std::unique_ptr<io::ByteLine> line;
  std::mutex writing;  // a line is read by one thread and written by the other
};

ExitCode fail(ExitCode code, const std::string& message) {
  std::cerr << "zephlorctl: monitor: " << message << std::endl;
  return code;
}

ExitCode open(Side& side, const std::string& name, const ConnectionOptions& connection) {
  if (name == kNewTerminal) {
    std::string path;
    std::string error;
    side.line = io::openPseudoTerminal(path, error);
    if (!side.line) return fail(kDeviceError, error);
    std::cerr << "zephlorctl: monitor: " << side.what << " is " << path << std::endl;
    return kSuccess;
  }
  io::OpenResult opened = io::openLine(name, connection.baud, connection.timeout);
  if (!opened.line) return fail(io::exitCodeFor(opened.failure), side.what + ": " + opened.message);
  side.line = std::move(opened.line);
  return kSuccess;
}

// Where the host connects with --listen: tcp:ADDRESS:PORT (port 0 for any free one).
std::unique_ptr<io::TcpListener> listenForHost(const std::string& listen, ExitCode& code) {
  std::string address = "127.0.0.1";
  int port = 0;
  std::string error;
  const std::string form = listen.rfind("tcp:", 0) == 0 ? listen.substr(4) : listen;
  if (!text::parseListenAddress(form, 0, address, port)) {
    code = fail(kUsage, "--listen takes tcp:ADDRESS:PORT, not " + listen);
    return nullptr;
  }
  std::unique_ptr<io::TcpListener> listener = io::listenTcp(address, port, error);
  if (!listener) {
    code = fail(kDeviceError, error);
    return nullptr;
  }
  std::cerr << "zephlorctl: monitor: listening on tcp:" << listener->address() << std::endl;
  return listener;
}

// Bytes one side sent, as the watcher is to hear them.
struct Heard {
  bool fromHost;
  std::string bytes;
  monitor::Moment at;
};

// Bytes read, in the order they were read, from both sides.
class HeardQueue {
 public:
  void add(bool fromHost, std::string_view bytes) {
    const std::lock_guard<std::mutex> hold(mutex_);
    heard_.push_back({fromHost, std::string(bytes), monitor::Moment::now()});
  }
  std::vector<Heard> take() {
    const std::lock_guard<std::mutex> hold(mutex_);
    return std::exchange(heard_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Heard> heard_;
};

// Reads `from` until a stop, notes what came in `heard`, and writes it to `to` (none on a tap).
void pump(Side& from, Side* to, bool fromHost, HeardQueue& heard, std::atomic<bool>& ended,
          std::string& why) {
  char buffer[4096];
  while (!io::stopRequested() && !ended) {
    const io::IoResult read = from.line->readSome(buffer, sizeof buffer, Clock::now() + kReadWait);
    if (read.status == io::IoStatus::kHungUp || read.status == io::IoStatus::kFailed) {
      why = from.what + (read.status == io::IoStatus::kHungUp ? " hung up" : " failed") +
            (read.message.empty() ? "" : ": " + read.message);
      ended = true;
      return;
    }
    if (read.status != io::IoStatus::kDone || read.count == 0) continue;
    heard.add(fromHost, std::string_view(buffer, read.count));
    if (to != nullptr) {
      const std::lock_guard<std::mutex> hold(to->writing);
      to->line->writeAll(buffer, read.count, Clock::now() + kWriteWait);
    }
  }
}

// A tap cable's lines are only listened to: nothing is ever sent on them.
bool forwardingOf(MonitorMode mode) { return mode != MonitorMode::kTap; }

// What was heard, judged and written as records, over one line or many connections in turn.
class Watching {
 public:
  Watching(const host::DriverEntryPoints& driver, const CommandLine& commandLine, std::ostream& out)
      : watcher_(driver, commandLine.connection.timeout),
        records_(commandLine.output.format, out),
        // On a terminal a status line counts as it goes, unless the records go there too.
        status_(!commandLine.output.file.empty() && io::standardErrorIsTerminal()) {}

  // Watches until a stop or until a side ends; why it ended, or empty for a stop.
  std::string watch(Side& host, Side& controller, bool forwarding) {
    std::atomic<bool> ended{false};
    std::string hostEnd;
    std::string controllerEnd;
    std::thread fromHost(
        [&] { pump(host, forwarding ? &controller : nullptr, true, heard_, ended, hostEnd); });
    std::thread fromController([&] {
      pump(controller, forwarding ? &host : nullptr, false, heard_, ended, controllerEnd);
    });
    while (!ended && io::sleepUntil(Clock::now() + kShowEvery)) show();
    ended = true;
    fromHost.join();
    fromController.join();
    show();
    return hostEnd.empty() ? controllerEnd : hostEnd;
  }

  ExitCode finish(bool quiet) {
    if (status_) std::cerr << "\n";
    if (!quiet) std::cerr << records_.summary();
    return records_.failed() ? kOutputFailed : kSuccess;
  }

 private:
  void show() {
    for (const Heard& bytes : heard_.take()) {
      if (bytes.fromHost) {
        watcher_.fromHost(bytes.bytes, bytes.at);
      } else {
        watcher_.fromController(bytes.bytes, bytes.at);
      }
    }
    watcher_.tick(monitor::Moment::now());
    const std::vector<monitor::Exchange> made = watcher_.take();
    for (const monitor::Exchange& exchange : made) records_.write(exchange);
    if (status_ && !made.empty()) std::cerr << "\r" << records_.counts() << std::flush;
  }

  monitor::Watcher watcher_;
  MonitorRecords records_;
  HeardQueue heard_;
  const bool status_;
};

void told(const std::string& what) { std::cerr << "zephlorctl: monitor: " << what << std::endl; }

}  // namespace

ExitCode runMonitor(const Command& command, const CommandLine& commandLine) {
  const ConnectionOptions& connection = commandLine.connection;
  host::DriverModule driver;
  std::string error;
  const std::string driverPath =
      connection.driverPath.empty() ? host::defaultPluginPath() : connection.driverPath;
  if (!driver.load(driverPath, error)) return fail(kDriverUnavailable, error);

  io::installStopHandlers();
  const MonitorMode mode = command.monitorMode;
  ExitCode code = kSuccess;
  std::unique_ptr<io::TcpListener> listener;
  if (mode == MonitorMode::kListen && !(listener = listenForHost(command.monitorListen, code))) {
    return code;
  }
  std::unique_ptr<OutputFile> file;
  if (!commandLine.output.file.empty()) {
    file = std::make_unique<OutputFile>(commandLine.output.file, commandLine.output.append);
    if (!file->open()) return fail(file->failureCode(), file->failure());
  }
  std::ostream fileStream(file.get());
  Watching watching(driver.entryPoints(), commandLine, file ? fileStream : std::cout);

  // With --listen, one host connection after another, each with a connection of its own to the
  // device server; otherwise the two sides once.
  for (;;) {
    Side host{"the host side", nullptr, {}};
    Side controller{"the controller side", nullptr, {}};
    if (listener) {
      std::string peer;
      host.line = listener->accept(error, peer);
      if (!host.line) break;
      told("the host connected from " + peer);
    } else if ((code = open(host, command.monitorSides[0], connection)) != kSuccess) {
      return code;
    }
    const std::string controllerSide = listener ? connection.device : command.monitorSides[1];
    if ((code = open(controller, controllerSide, connection)) != kSuccess) return code;
    told(std::string("watching, ") + (forwardingOf(mode) ? "forwarding" : "listening only") +
         "; Ctrl-C ends it");
    const std::string ended = watching.watch(host, controller, forwardingOf(mode));
    if (!ended.empty()) told(ended);
    if (!listener || io::stopRequested()) break;
    told("waiting for the host's next connection");
  }
  code = watching.finish(commandLine.output.quiet);
  if (code != kSuccess) return code;
  return io::stopRequested() ? stoppedExitCode() : kSuccess;
}

}  // namespace zephlor::ctl
