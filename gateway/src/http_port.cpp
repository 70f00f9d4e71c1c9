#include "http_port.h"

#include <httplib.h>

#include <cerrno>
#include <cstring>

#include "live_page.h"
#include "metrics_text.h"
#include "payloads.h"
#include "tell.h"

namespace zephlor::gateway {
namespace {

using Clock = std::chrono::steady_clock;

// The port's threads: every event stream may hold one, and a few more serve everything else.
constexpr int kThreads = kMostEventStreams + 4;
// How long an event stream waits for a change before it looks whether the port is stopping.
constexpr auto kEventWait = std::chrono::milliseconds(200);
// Every item's age goes to a page this often; it also keeps a quiet stream open through proxies.
constexpr auto kAgesEvery = std::chrono::seconds(2);

constexpr const char* kRealm = "Basic realm=\"zephlor-gateway\", charset=\"UTF-8\"";

// Compares without stopping at the first difference, so the time taken tells nothing of how
// much of a guessed password was right.
bool sameSecret(const std::string& given, const std::string& expected) {
  unsigned difference = given.size() != expected.size() ? 1 : 0;
  for (size_t at = 0; at < given.size() && at < expected.size(); ++at) {
    difference |= static_cast<unsigned char>(given[at] ^ expected[at]);
  }
  return difference == 0;
}

std::string htmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string filledPage(bool writes, const std::string& username) {
  std::string page = kLivePage;
  const auto fill = [&page](const std::string& gap, const std::string& text) {
    const size_t at = page.find(gap);
    if (at != std::string::npos) page.replace(at, gap.size(), text);
  };
  fill("__WRITES__", writes ? "true" : "false");
  fill("__USERNAME__", htmlEscaped(username));
  return page;
}

void answerJson(httplib::Response& response, int status, const Json& body) {
  response.status = status;
  response.set_content(compact(body), "application/json");
}

}  // namespace

HttpPort::HttpPort(const HttpConfig& config, Gateway& gateway, const MessageSink& sink)
    : config_(config), gateway_(gateway), sink_(sink) {}

HttpPort::~HttpPort() { stop(); }

ExitCode HttpPort::start(const std::string& password, std::string& error) {
  if (config_.https()) {
    auto server =
        std::make_unique<httplib::SSLServer>(config_.certFile.c_str(), config_.keyFile.c_str());
    if (!server->is_valid()) {
      error = "the HTTP port's certificate " + config_.certFile + " or its key " + config_.keyFile +
              " cannot be read";
      return kConfigUnreadable;
    }
    server_ = std::move(server);
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  if (!config_.passwordFile.empty()) {
    expected_ = httplib::make_basic_authentication_header(config_.username, password).second;
  }
  server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server_->set_keep_alive_timeout(2);
  server_->set_payload_max_length(kLongestSetPayload);
  route();
  errno = 0;
  if (!server_->bind_to_port(config_.address, config_.port)) {
    error = "the HTTP port cannot listen on " + config_.listen +
            (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
    server_.reset();
    return kDeviceError;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  tell(Priority::kInfo, std::string("serving the live page and the metrics on ") +
                            (config_.https() ? "https://" : "http://") + config_.listen + "/");
  return kSuccess;
}

void HttpPort::stop() {
  if (!server_) return;
  stopping_ = true;
  server_->stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

bool HttpPort::allowed(const httplib::Request& request) const {
  return !expected_.empty() && sameSecret(request.get_header_value("Authorization"), expected_);
}

void HttpPort::route() {
  // Reading needs the password only when read-password says so; a browser that has none is asked
  // for it.
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (!config_.readPassword || allowed(request))
          return httplib::Server::HandlerResponse::Unhandled;
        response.status = 401;
        response.set_header("WWW-Authenticate", kRealm);
        response.set_content("the gateway's password is needed\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
      });
  server_->Get("/", [this](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_content(filledPage(config_.writes(), config_.username),
                         "text/html; charset=utf-8");
  });
  server_->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(prometheusText(gateway_.board().state(), sink_.linkFigures()),
                         "text/plain; version=0.0.4; charset=utf-8");
  });
  server_->Get("/state", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(gateway_.board().stateJson(), "application/json");
  });
  server_->Get("/events", [this](const httplib::Request&, httplib::Response& response) {
    serveEvents(response);
  });
  server_->Post(R"(/write/([^/]+)/([^/]+))",
                [this](const httplib::Request& request, httplib::Response& response) {
                  write(request, response);
                });
}

void HttpPort::serveEvents(httplib::Response& response) {
  if (streams_.fetch_add(1) >= kMostEventStreams) {
    --streams_;
    response.status = 503;
    response.set_content("too many pages are open on this gateway; close one\n", "text/plain");
    return;
  }
  response.set_header("Cache-Control", "no-store");
  struct Stream {
    uint64_t cursor = 0;
    Clock::time_point agesSaid = Clock::now();
    bool started = false;
  };
  auto stream = std::make_shared<Stream>();
  response.set_chunked_content_provider(
      "text/event-stream",
      [this, stream](size_t, httplib::DataSink& sink) {
        if (stopping_) return false;
        const Board::Events taken = gateway_.board().eventsAfter(stream->cursor, kEventWait);
        if (stopping_) return false;
        stream->cursor = taken.next;
        // A page that lost the gateway tries again within two seconds.
        std::string out = stream->started ? "" : "retry: 2000\n\n";
        stream->started = true;
        for (const std::string& event : taken.events) out += "data: " + event + "\n\n";
        const Clock::time_point now = Clock::now();
        if (now - stream->agesSaid >= kAgesEvery) {
          out += "data: " + gateway_.board().agesJson() + "\n\n";
          stream->agesSaid = now;
        }
        return out.empty() || sink.write(out.data(), out.size());
      },
      [this](bool) { --streams_; });
}

void HttpPort::write(const httplib::Request& request, httplib::Response& response) {
  if (!config_.writes()) {
    return answerJson(
        response, 403,
        {{"error", config_.readOnly ? "this gateway's page is read-only"
                                    : "writes from the page are off: the gateway has no "
                                      "http password-file"}});
  }
  if (!allowed(request)) {
    // A browser asks for the password only when challenged; the page sends its own, and is not.
    if (!request.has_header("Authorization")) response.set_header("WWW-Authenticate", kRealm);
    return answerJson(response, 401, {{"error", "the gateway's password is needed"}});
  }
  SetRequest set;
  std::string unreadable;
  const bool readable = parseSetRequest(request.body, set, unreadable);
  if (set.id.is_null()) set.id = "page-" + std::to_string(++writes_);
  const std::string line = httplib::detail::decode_url(request.matches[1], false);
  const std::string item = httplib::detail::decode_url(request.matches[2], false);
  const std::string refusal =
      gateway_.queueWrite(line, item, readable ? &set : nullptr, unreadable);
  if (!refusal.empty()) {
    gateway_.board().writeRefused();
    return answerJson(response, 409, {{"error", refusal}, {"id", set.id}});
  }
  answerJson(response, 202, {{"id", set.id}});
}

}  // namespace zephlor::gateway
