// zephlor-sim as a TCP serial device server: every connection is a line of its own, served on a
// thread of its own, with one controller behind them all. A peer that goes away ends its thread
// and is forgotten; a stop request ends them all.
#include <atomic>
#include <iostream>
#include <list>
#include <mutex>
#include <thread>

#include "listeners.h"

namespace zephlor::sim {
namespace {

struct Connection {
  std::unique_ptr<serial::ByteLine> line;
  std::atomic<bool> done{false};
  std::thread thread;
};

}  // namespace

int listenOnTcp(const SimOptions& options, const Serve& serve) {
  std::string error;
  const std::unique_ptr<serial::TcpListener> listener =
      serial::listenTcp(options.tcpAddress, options.tcpPort, error);
  if (!listener) {
    std::cerr << "zephlor-sim: " << error << std::endl;
    return kDeviceError;
  }
  const std::string name = "tcp:" + listener->address();
  std::cout << name << std::endl;
  std::mutex controller;
  std::list<Connection> connections;
  while (std::unique_ptr<serial::ByteLine> line = listener->accept(error)) {
    connections.remove_if([](Connection& ended) {
      if (!ended.done) return false;
      ended.thread.join();
      return true;
    });
    Connection& connection = connections.emplace_back();
    connection.line = std::move(line);
    // A client closing its connection is the end of its line, not a failure.
    connection.thread = std::thread([&serve, &connection, &controller, &name] {
      serve(ServedLine{*connection.line, true, true, &controller}, name);
      connection.done = true;
    });
  }
  for (Connection& connection : connections) connection.thread.join();
  if (!error.empty()) std::cerr << "zephlor-sim: " << error << std::endl;
  return error.empty() ? kSuccess : kDeviceError;
}

}  // namespace zephlor::sim
