#include "dry_run_sink.h"

#include "payloads.h"

namespace zephlor::gateway {

void DryRunSink::publish(const std::string& topic, const std::string& payload, bool retained,
                         Keep) {
  Json shown = Json::parse(payload, nullptr, false);
  if (shown.is_discarded()) shown = payload;
  const std::string line =
      compact(Json{{"topic", topic}, {"payload", shown}, {"retained", retained}});
  const std::lock_guard<std::mutex> hold(mutex_);
  out_ << line << '\n' << std::flush;
}

bool DryRunSink::failed() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return out_.fail();
}

}  // namespace zephlor::gateway
