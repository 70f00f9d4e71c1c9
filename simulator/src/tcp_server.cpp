// zephlor-sim as a TCP serial device server: every connection is a line of its own, served on a
// thread of its own, with one controller behind them all. No peer can stop it: connections
// beyond --max-clients are closed at once, a thread that cannot start refuses only its client,
// and running out of descriptors is waited out by the listener. A connection's socket is closed
// as soon as its client is done; a stop request ends them all.
#include <atomic>
#include <iostream>
#include <list>
#include <system_error>
#include <thread>

#include "listeners.h"
#include "zephlor_io/telnet_line.h"

namespace zephlor::sim {
namespace {

struct Connection {
  std::unique_ptr<io::ByteLine> line;
  std::string peer;
  std::atomic<bool> done{false};
  std::thread thread;
};

// Joins the threads whose clients are done; what is left is being served.
void forgetFinished(std::list<Connection>& connections) {
  connections.remove_if([](Connection& ended) {
    if (!ended.done) return false;
    ended.thread.join();
    return true;
  });
}

}  // namespace

int listenOnTcp(const SimOptions& options, const Serve& serve, const Log& log) {
  std::string error;
  const std::unique_ptr<io::TcpListener> listener =
      io::listenTcp(options.tcpAddress, options.tcpPort, error);
  if (!listener) {
    std::cerr << "zephlor-sim: " << error << std::endl;
    return kDeviceError;
  }
  const std::string name = (options.rfc2217 ? "rfc2217:" : "tcp:") + listener->address();
  std::cout << name << std::endl;
  std::list<Connection> connections;
  std::string peer;
  while (std::unique_ptr<io::ByteLine> line = listener->accept(error, peer)) {
    forgetFinished(connections);
    if (connections.size() >= static_cast<size_t>(options.maxClients)) {
      log("refused " + peer + ": " + std::to_string(options.maxClients) +
          " clients are served already (--max-clients)");
      continue;
    }
    Connection& connection = connections.emplace_back();
    connection.line = options.rfc2217 ? io::serveRfc2217(std::move(line), log) : std::move(line);
    connection.peer = peer;
    log("connected " + peer);
    try {
      // A client closing its connection is the end of its line, not a failure.
      connection.thread = std::thread([&serve, &connection, &name, &log] {
        serve(ServedLine{*connection.line, true, true}, name + " from " + connection.peer);
        connection.line.reset();
        log("disconnected " + connection.peer);
        connection.done = true;
      });
    } catch (const std::system_error& failure) {
      log("refused " + peer + ": cannot start a thread for it (" + failure.what() + ")");
      connections.pop_back();
    }
  }
  for (Connection& connection : connections) connection.thread.join();
  if (!error.empty()) std::cerr << "zephlor-sim: " << error << std::endl;
  return error.empty() ? kSuccess : kDeviceError;
}

}  // namespace zephlor::sim
