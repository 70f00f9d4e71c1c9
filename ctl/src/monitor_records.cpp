#include "monitor_records.h"

#include <sstream>

#include <nlohmann/json.hpp>

#include "results.h"
#include "zephlor_text/timestamp.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

const char* directionName(monitor::Direction direction) {
  switch (direction) {
    case monitor::Direction::kToController:
      return "to-controller";
    case monitor::Direction::kToHost:
      return "to-host";
    default:
      return "exchange";
  }
}

std::string replyMilliseconds(const monitor::Exchange& exchange) {
  return exchange.replyTime ? text::formatMilliseconds(*exchange.replyTime) : "";
}

}  // namespace

MonitorRecords::MonitorRecords(Format format, std::ostream& out) : format_(format), out_(out) {
  if (format_ == Format::kCsv) {
    out_ << "time,direction,item,request,reply,value,reply_ms,verdict,words\n" << std::flush;
  }
}

void MonitorRecords::write(const monitor::Exchange& exchange) {
  ++exchanges_;
  if (exchange.verdict != "good") ++notGood_;
  const std::string item = exchange.item.empty() ? "-" : exchange.item;
  ++byItemAndVerdict_[{item, exchange.verdict}];
  if (exchange.replyTime && exchange.verdict == "good") replyTimes_[item].add(*exchange.replyTime);
  const std::string time = text::formatTimestamp(exchange.time);
  switch (format_) {
    case Format::kJson: {
      nlohmann::ordered_json record = {{"time", time},
                                       {"direction", directionName(exchange.direction)},
                                       {"item", exchange.item},
                                       {"request", exchange.request},
                                       {"reply", exchange.reply},
                                       {"value", exchange.value},
                                       {"reply-ms", nullptr},
                                       {"verdict", exchange.verdict},
                                       {"words", exchange.words}};
      if (exchange.replyTime) {
        record["reply-ms"] = static_cast<double>(exchange.replyTime->count()) / 1000.0;
      }
      out_ << record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
      break;
    }
    case Format::kCsv:
      out_ << time << ',' << directionName(exchange.direction) << ',' << csvField(exchange.item)
           << ',' << csvField(exchange.request) << ',' << csvField(exchange.reply) << ','
           << csvField(exchange.value) << ',' << replyMilliseconds(exchange) << ','
           << exchange.verdict << ',' << csvField(exchange.words) << "\n";
      break;
    case Format::kText: {
      out_ << time << "  " << item << "  " << text::quotedBytes(exchange.request);
      if (!exchange.reply.empty() || exchange.direction == monitor::Direction::kExchange) {
        out_ << " -> " << text::quotedBytes(exchange.reply);
      }
      if (!exchange.value.empty()) out_ << "  " << exchange.value;
      if (exchange.replyTime) out_ << "  " << replyMilliseconds(exchange);
      out_ << "  " << exchange.verdict;
      if (exchange.verdict != "good") out_ << " (" << exchange.words << ")";
      out_ << "\n";
    }
  }
  out_ << std::flush;
}

std::string MonitorRecords::counts() const {
  return std::to_string(exchanges_) + " exchanges, " + std::to_string(notGood_) + " not good";
}

std::string MonitorRecords::summary() const {
  std::ostringstream out;
  out << "monitor: " << counts() << "\n";
  std::string item;
  for (const auto& [key, count] : byItemAndVerdict_) {
    if (key.first != item) {
      item = key.first;
      out << "  " << item << ":";
      const auto times = replyTimes_.find(item);
      if (times != replyTimes_.end() && times->second.count() != 0) {
        out << " reply time median " << text::formatMilliseconds(times->second.median()) << ", p99 "
            << text::formatMilliseconds(times->second.quantile(0.99)) << ";";
      }
      out << "\n";
    }
    out << "    " << key.second << ": " << count << "\n";
  }
  return out.str();
}

}  // namespace zephlor::ctl
