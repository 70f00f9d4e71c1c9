#include "metrics_text.h"

#include <iomanip>
#include <map>
#include <sstream>

namespace zephlor::gateway {
namespace {

// A label's value with backslash, double quote and line end escaped.
std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

// Writes metric families: each one's HELP and TYPE once, then its samples.
class Exposition {
 public:
  Exposition() { out_ << std::setprecision(15); }
  void family(const char* name, const char* type, const char* help) {
    out_ << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
  }
  // NAME{LABELS} VALUE; labels as name, value pairs.
  template <typename Number>
  void sample(const std::string& name,
              std::initializer_list<std::pair<const char*, std::string>> labels, Number value) {
    out_ << name;
    const char* separator = "{";
    for (const auto& [label, text] : labels) {
      out_ << separator << label << "=\"" << escaped(text) << '"';
      separator = ",";
    }
    out_ << (labels.size() != 0 ? "} " : " ") << value << '\n';
  }
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

// A line's transactions by verdict name: two verdicts may share a name ("line-down" for a failure
// while sending and while receiving), and a series is named once.
std::map<std::string, long long> byVerdictName(const LineView& line) {
  std::map<std::string, long long> counts;
  for (const facts::VerdictRow& row : facts::kVerdicts) {
    counts[row.name] += line.byVerdict[static_cast<size_t>(row.outcome)];
  }
  return counts;
}

void lineFamilies(Exposition& out, const std::vector<LineView>& lines) {
  out.family("zephlor_line_up", "gauge", "Whether the line is up: a transaction on it completed.");
  for (const LineView& line : lines) out.sample("zephlor_line_up", {{"line", line.name}}, +line.up);
  out.family("zephlor_line_transactions_total", "counter",
             "Transactions on the line, retries among them, by verdict.");
  for (const LineView& line : lines) {
    for (const auto& [verdict, count] : byVerdictName(line)) {
      out.sample("zephlor_line_transactions_total", {{"line", line.name}, {"verdict", verdict}},
                 count);
    }
  }
  out.family("zephlor_line_failures_total", "counter",
             "Transactions on the line that did not complete, by verdict.");
  for (const LineView& line : lines) {
    for (const auto& [verdict, count] : byVerdictName(line)) {
      if (verdict == kGoodQuality) continue;
      out.sample("zephlor_line_failures_total", {{"line", line.name}, {"verdict", verdict}}, count);
    }
  }
  out.family("zephlor_line_reply_seconds", "histogram",
             "Time from the request's last byte to the reply's line end.");
  for (const LineView& line : lines) {
    long long below = 0;
    for (size_t bucket = 0; bucket < kReplyBuckets.size(); ++bucket) {
      below += line.replyBuckets[bucket];
      std::ostringstream bound;
      bound << kReplyBuckets[bucket];
      out.sample("zephlor_line_reply_seconds_bucket", {{"line", line.name}, {"le", bound.str()}},
                 below);
    }
    out.sample("zephlor_line_reply_seconds_bucket", {{"line", line.name}, {"le", "+Inf"}},
               line.replies);
    out.sample("zephlor_line_reply_seconds_sum", {{"line", line.name}}, line.replySeconds);
    out.sample("zephlor_line_reply_seconds_count", {{"line", line.name}}, line.replies);
  }
}

void itemFamilies(Exposition& out, const std::vector<LineView>& lines) {
  const auto now = std::chrono::steady_clock::now();
  out.family("zephlor_item_value", "gauge", "The item's last good value (a number).");
  for (const LineView& line : lines) {
    for (const ItemView& item : line.items) {
      if (!item.value.is_number()) continue;
      out.sample("zephlor_item_value", {{"line", line.name}, {"item", item.name}},
                 item.value.get<double>());
    }
  }
  out.family("zephlor_item_quality", "gauge",
             "1 for the quality of the item's latest sample: good, or the verdict's name.");
  for (const LineView& line : lines) {
    for (const ItemView& item : line.items) {
      if (item.quality.empty()) continue;
      out.sample("zephlor_item_quality",
                 {{"line", line.name}, {"item", item.name}, {"quality", item.quality}}, 1);
    }
  }
  out.family("zephlor_item_age_seconds", "gauge", "Time since the item was last read good.");
  for (const LineView& line : lines) {
    for (const ItemView& item : line.items) {
      if (!item.goodAt) continue;
      out.sample("zephlor_item_age_seconds", {{"line", line.name}, {"item", item.name}},
                 std::chrono::duration<double>(now - *item.goodAt).count());
    }
  }
}

void gatewayFamilies(Exposition& out, const GatewayCounts& counts,
                     const std::optional<LinkFigures>& link) {
  out.family("zephlor_values_published_total", "counter",
             "Item values published: changed, asked for, or at the heartbeat.");
  out.sample("zephlor_values_published_total", {}, counts.valuesPublished);
  out.family("zephlor_writes_total", "counter",
             "Writes by result: confirmed by the controller, not confirmed, or refused before "
             "they reached a line.");
  out.sample("zephlor_writes_total", {{"result", "confirmed"}}, counts.writesConfirmed);
  out.sample("zephlor_writes_total", {{"result", "not-confirmed"}}, counts.writesNotConfirmed);
  out.sample("zephlor_writes_total", {{"result", "refused"}}, counts.writesRefused);
  if (!link) return;
  out.family("zephlor_values_coalesced_total", "counter",
             "Values that waited for the broker and were replaced by a newer one.");
  out.sample("zephlor_values_coalesced_total", {}, link->coalesced);
  out.family("zephlor_broker_connected", "gauge", "Whether the broker connection is up.");
  out.sample("zephlor_broker_connected", {}, +link->connected);
  out.family("zephlor_broker_waiting", "gauge", "Messages waiting for the broker.");
  out.sample("zephlor_broker_waiting", {}, link->waiting);
}

}  // namespace

std::string prometheusText(const BoardState& state, const std::optional<LinkFigures>& link) {
  Exposition out;
  lineFamilies(out, state.lines);
  itemFamilies(out, state.lines);
  gatewayFamilies(out, state.counts, link);
  return out.text();
}

}  // namespace zephlor::gateway
