#include "results.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace zephlor::ctl {
namespace {

// A number JSON can carry exactly as a whole one.
bool isWhole(double number) {
  return std::trunc(number) == number && std::fabs(number) < 9007199254740992.0;
}

using Json = nlohmann::ordered_json;

// Replacement of invalid UTF-8, so a garbled reply in a message cannot spoil the line.
std::string dumped(const Json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Json jsonOf(const Value& value) {
  if (!value.fields.empty()) {
    Json object = Json::object();
    for (const auto& [name, field] : value.fields) {
      if (const double* number = std::get_if<double>(&field)) {
        object[name] = isWhole(*number) ? Json(static_cast<long long>(*number)) : Json(*number);
      } else {
        object[name] = std::get<std::string>(field);
      }
    }
    return object;
  }
  if (!value.number) return value.text;
  if (isWhole(*value.number)) return static_cast<long long>(*value.number);
  return *value.number;
}

// A JSON object's members in the order first given, a key given again keeping its place with
// the later value: what an ordered object does, with each key found at once however many there
// are, so a record of thousands of items costs in proportion to them.
class JsonMembers {
 public:
  void set(const std::string& key, Json value) {
    const auto [at, added] = places_.try_emplace(key, members_.size());
    if (added) {
      members_.emplace_back(key, std::move(value));
    } else {
      members_[at->second].second = std::move(value);
    }
  }
  bool empty() const { return members_.empty(); }
  std::string dump() const {
    std::string text = "{";
    for (const auto& [key, value] : members_) {
      text += (text.size() == 1 ? "" : ",") + dumped(Json(key)) + ":" + dumped(value);
    }
    return text + "}";
  }

 private:
  std::vector<std::pair<std::string, Json>> members_;
  std::unordered_map<std::string, size_t> places_;
};

}  // namespace

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

ExitCode Results::writeFailure(std::string& message) const {
  if (file_ != nullptr && file_->failureCode() != kSuccess) {
    message = file_->failure();
    return file_->failureCode();
  }
  message = "cannot write the results: the output is closed or full";
  return kOutputFailed;
}

void Results::setColumns(std::vector<std::string> columns) {
  // Records of other columns than the header's have a header of their own.
  if (headerWritten_ && columns != columns_) headerDue_ = true;
  columns_ = std::move(columns);
  positions_.clear();
  for (size_t i = 0; i < columns_.size(); ++i) positions_[columns_[i]].push_back(i);
}

void Results::record(const std::vector<Reading>& readings,
                     std::chrono::system_clock::time_point when) {
  const std::string time =
      localTime_ ? text::formatLocalTimestamp(when) : text::formatTimestamp(when);
  if (format_ == Format::kJson) {
    JsonMembers values;
    JsonMembers errors;
    JsonMembers causes;
    JsonMembers warnings;
    for (const Reading& reading : readings) {
      if (!reading.warning.empty()) warnings.set(reading.column, reading.warning);
      if (!reading.failure.empty()) {
        errors.set(reading.column, reading.failure);
        if (!reading.cause.empty()) causes.set(reading.column, reading.cause);
      } else {
        values.set(reading.column, jsonOf(reading.value));
      }
    }
    out_ << "{\"time\":" << dumped(Json(time)) << ",\"values\":" << values.dump()
         << ",\"errors\":" << errors.dump() << ",\"causes\":" << causes.dump()
         << (warnings.empty() ? "" : ",\"warnings\":" + warnings.dump()) << "}" << std::endl;
    return;
  }
  // A file appended to keeps the header it has.
  const bool header =
      headerDue_ || (!headerWritten_ && (file_ == nullptr || file_->startsTheFile()));
  headerWritten_ = true;
  headerDue_ = false;
  if (header) {
    out_ << "time";
    for (const std::string& column : columns_) out_ << "," << csvField(column);
    out_ << ",errors,causes\r\n";
  }
  // Each reading into its column, the n-th reading of a name into that name's n-th column.
  std::vector<const std::string*> cells(columns_.size());
  std::unordered_map<std::string, size_t> taken;
  std::string errors;
  std::string causes;
  for (const Reading& reading : readings) {
    const auto positions = positions_.find(reading.column);
    size_t& next = taken[reading.column];
    if (positions == positions_.end() || next >= positions->second.size()) continue;
    cells[positions->second[next++]] = &reading.value.text;
    for (const std::string* note : {&reading.failure, &reading.warning}) {
      if (!note->empty()) errors += (errors.empty() ? "" : "; ") + *note;
    }
    if (!reading.cause.empty()) causes += (causes.empty() ? "" : "; ") + reading.cause;
  }
  out_ << time;
  for (const std::string* cell : cells) out_ << "," << (cell != nullptr ? csvField(*cell) : "");
  out_ << "," << csvField(errors) << "," << csvField(causes) << "\r\n" << std::flush;
}

}  // namespace zephlor::ctl
