// The gateway's HTTP port: /metrics for Prometheus, the live page on /, its events on /events
// (Server-Sent Events), the whole state as JSON on /state, and writes from the page on
// /write/LINE/ITEM. Served on threads of its own; a page that reads slowly or not at all holds
// one of them and nothing else.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "config.h"
#include "gateway.h"
#include "zephlor_facts/exit_codes.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace zephlor::gateway {

// Event streams served at once; one more is refused (503), so pages left open cannot take
// every thread of the port.
constexpr int kMostEventStreams = 16;

class HttpPort {
 public:
  HttpPort(const HttpConfig& config, Gateway& gateway, const MessageSink& sink);
  ~HttpPort();
  HttpPort(const HttpPort&) = delete;
  HttpPort& operator=(const HttpPort&) = delete;

  // Listens and serves from now on. When it cannot listen, or cannot read its certificate, the
  // exit status with the reason.
  ExitCode start(const std::string& password, std::string& error);
  // Ends every event stream and the serving; returns once no request is being served.
  void stop();

 private:
  void route();
  // Whether the request carries the password.
  bool allowed(const httplib::Request& request) const;
  void serveEvents(httplib::Response& response);
  void write(const httplib::Request& request, httplib::Response& response);

  const HttpConfig config_;
  Gateway& gateway_;
  const MessageSink& sink_;
  std::string expected_;  // the Authorization header that the password makes
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> streams_{0};
  std::atomic<long long> writes_{0};  // ids of the page's writes
};

}  // namespace zephlor::gateway
