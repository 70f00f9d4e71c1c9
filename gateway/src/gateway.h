// The gateway: a worker per line, the items' set topics routed to them, and the metrics. Its
// lines can be changed while it runs: a reload keeps the lines whose settings are the same
// (their items keep their state) and starts, stops or restarts the others.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "board.h"
#include "config.h"
#include "line_worker.h"
#include "message_sink.h"
#include "topic_names.h"

namespace zephlor::gateway {

class Gateway {
 public:
  Gateway(const GatewayConfig& config, const host::DriverEntryPoints& driver, MessageSink& sink);
  ~Gateway();

  void start();
  // Tells every line at once, then waits for them all: a stop takes as long as the slowest line.
  void stop();

  // Takes `lines` in the place of the running ones. Returns what changed, for the log.
  std::string reload(const std::vector<LineConfig>& lines);

  // A message on an item's set topic, from any thread. A request that cannot be carried out (an
  // unknown or read-only item, a payload that is not a number, a value the item cannot carry, a
  // line that is down) is answered at once on its result topic and never reaches the line. So is
  // a retained one: the broker keeps it and hands it to every new subscription, so carrying it
  // out would write it again at every start and reconnection.
  void onSet(const std::string& topic, const std::string& payload, bool retained);

  // A message on an item's get topic: the item is read now and published, changed or not. A
  // retained one is left alone, as is one for no such item or an item that is written only.
  void onGet(const std::string& topic, bool retained);

  // Queues a write of `request` to ITEM of LINE, as a set topic's message asks; the reason when it
  // cannot be carried out, empty when it was queued. A null request is a payload that could not be
  // read, for `unreadable`.
  std::string queueWrite(const std::string& lineName, const std::string& itemName,
                         const SetRequest* request, const std::string& unreadable);

  // What the gateway knows of its lines now, for the HTTP port.
  Board& board() { return board_; }

  // Any message from the broker, to onSet or onGet by its topic.
  void onMessage(const std::string& topic, const std::string& payload, bool retained);

  // Publishes every line's figures on the metrics topic, and the broker link's when there is one.
  void publishMetrics();

 private:
  void refuse(const std::string& topic, const Json& id, const std::string& error);

  const Topics topics_;
  const host::DriverEntryPoints& driver_;
  MessageSink& sink_;
  Board board_;
  std::mutex mutex_;  // guards the lines, which a reload changes while set topics arrive
  std::vector<std::unique_ptr<LineWorker>> lines_;
  bool started_ = false;
  std::set<std::string> retainedTold_;  // set topics whose retained message was logged
};

}  // namespace zephlor::gateway
