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

// The host side of --listen: the first connection to ADDRESS:PORT.
ExitCode acceptHost(Side& side, const std::string& listen) {
  std::string address = "127.0.0.1";
  int port = 0;
  std::string error;
  const std::string form = listen.rfind("tcp:", 0) == 0 ? listen.substr(4) : listen;
  if (!text::parseListenAddress(form, 0, address, port)) {
    return fail(kUsage, "--listen takes tcp:ADDRESS:PORT, not " + listen);
  }
  const std::unique_ptr<io::TcpListener> listener = io::listenTcp(address, port, error);
  if (!listener) return fail(kDeviceError, error);
  std::cerr << "zephlorctl: monitor: listening on tcp:" << listener->address() << std::endl;
  std::string peer;
  side.line = listener->accept(error, peer);
  if (!side.line) return io::stopRequested() ? stoppedExitCode() : fail(kDeviceError, error);
  std::cerr << "zephlorctl: monitor: the host connected from " << peer << std::endl;
  return kSuccess;
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

}  // namespace

ExitCode runMonitor(const Command& command, const CommandLine& commandLine) {
  const ConnectionOptions& connection = commandLine.connection;
  host::DriverModule driver;
  std::string error;
  const std::string driverPath =
      connection.driverPath.empty() ? host::defaultPluginPath() : connection.driverPath;
  if (!driver.load(driverPath, error)) return fail(kDriverUnavailable, error);

  io::installStopHandlers();
  Side host{"the host side", nullptr, {}};
  Side controller{"the controller side", nullptr, {}};
  const MonitorMode mode = command.monitorMode;
  ExitCode code = mode == MonitorMode::kListen ? acceptHost(host, command.monitorListen)
                                               : open(host, command.monitorSides[0], connection);
  if (code == kSuccess) {
    code =
        open(controller, mode == MonitorMode::kListen ? connection.device : command.monitorSides[1],
             connection);
  }
  if (code != kSuccess) return code;

  std::unique_ptr<OutputFile> file;
  if (!commandLine.output.file.empty()) {
    file = std::make_unique<OutputFile>(commandLine.output.file, commandLine.output.append);
    if (!file->open()) return fail(file->failureCode(), file->failure());
  }
  std::cerr << "zephlorctl: monitor: watching, "
            << (forwardingOf(mode) ? "forwarding" : "listening only") << "; Ctrl-C ends it"
            << std::endl;
  std::ostream fileStream(file.get());
  std::ostream& out = file ? fileStream : std::cout;
  MonitorRecords records(commandLine.output.format, out);

  const bool forwarding = forwardingOf(mode);
  monitor::Watcher watcher(driver.entryPoints(), connection.timeout);
  HeardQueue heard;
  std::atomic<bool> ended{false};
  std::string hostEnd;
  std::string controllerEnd;
  std::thread fromHost(
      [&] { pump(host, forwarding ? &controller : nullptr, true, heard, ended, hostEnd); });
  std::thread fromController(
      [&] { pump(controller, forwarding ? &host : nullptr, false, heard, ended, controllerEnd); });
  // On a terminal a status line counts as it goes, unless the records go to that terminal too.
  const bool status = !commandLine.output.file.empty() && io::standardErrorIsTerminal();
  const auto show = [&] {
    for (const Heard& bytes : heard.take()) {
      if (bytes.fromHost) {
        watcher.fromHost(bytes.bytes, bytes.at);
      } else {
        watcher.fromController(bytes.bytes, bytes.at);
      }
    }
    watcher.tick(monitor::Moment::now());
    const std::vector<monitor::Exchange> made = watcher.take();
    for (const monitor::Exchange& exchange : made) records.write(exchange);
    if (status && !made.empty()) std::cerr << "\r" << records.counts() << std::flush;
  };
  while (!ended && io::sleepUntil(Clock::now() + kShowEvery)) show();
  ended = true;
  fromHost.join();
  fromController.join();
  show();
  if (status) std::cerr << "\n";
  if (!commandLine.output.quiet) std::cerr << records.summary();
  if (!hostEnd.empty() || !controllerEnd.empty()) {
    std::cerr << "zephlorctl: monitor: " << (hostEnd.empty() ? controllerEnd : hostEnd)
              << std::endl;
  }
  if (records.failed()) return kOutputFailed;
  return io::stopRequested() ? stoppedExitCode() : kSuccess;
}

}  // namespace zephlor::ctl
