// --dry-run: every message as a JSON line on standard output instead of the broker,
//   {"topic":"zephlor/sim/line-1/fan","payload":{"value":0,...},"retained":true}
// with the payload as JSON where it is JSON, else as a string.
#pragma once

#include <mutex>
#include <ostream>

#include "message_sink.h"

namespace zephlor::gateway {

class DryRunSink : public MessageSink {
 public:
  explicit DryRunSink(std::ostream& out) : out_(out) {}
  void publish(const std::string& topic, const std::string& payload, bool retained,
               Keep keep) override;
  // Whether standard output failed (a closed pipe): the gateway then ends.
  bool failed() const;

 private:
  mutable std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace zephlor::gateway
