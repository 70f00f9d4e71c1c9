#include "results.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace zephlor::ctl {
namespace {

// A number JSON can carry exactly as a whole one.
bool isWhole(double number) {
  return std::trunc(number) == number && std::fabs(number) < 9007199254740992.0;
}

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

void Results::record(const std::vector<Reading>& readings, const std::string& time) {
  if (format_ == Format::kJson) {
    nlohmann::ordered_json line = {{"time", time}};
    line["values"] = nlohmann::ordered_json::object();
    line["errors"] = nlohmann::ordered_json::object();
    for (const Reading& reading : readings) {
      if (!reading.warning.empty()) line["warnings"][reading.column] = reading.warning;
      if (!reading.failure.empty()) {
        line["errors"][reading.column] = reading.failure;
      } else if (!reading.value.fields.empty()) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (const auto& [name, field] : reading.value.fields) {
          if (const double* number = std::get_if<double>(&field)) {
            object[name] = isWhole(*number)
                               ? nlohmann::ordered_json(static_cast<long long>(*number))
                               : nlohmann::ordered_json(*number);
          } else {
            object[name] = std::get<std::string>(field);
          }
        }
        line["values"][reading.column] = object;
      } else if (!reading.value.number) {
        line["values"][reading.column] = reading.value.text;
      } else if (isWhole(*reading.value.number)) {
        line["values"][reading.column] = static_cast<long long>(*reading.value.number);
      } else {
        line["values"][reading.column] = *reading.value.number;
      }
    }
    // Replacement of invalid UTF-8, so a garbled reply in a message cannot spoil the line.
    out_ << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
    return;
  }
  // A file appended to keeps the header it has.
  const bool header = !headerWritten_ && (file_ == nullptr || file_->startsTheFile());
  headerWritten_ = true;
  if (header) {
    out_ << "time";
    for (const std::string& column : columns_) out_ << "," << csvField(column);
    out_ << ",errors\r\n";
  }
  std::string errors;
  out_ << time;
  for (const std::string& column : columns_) {
    std::string cell;
    for (const Reading& reading : readings) {
      if (reading.column != column) continue;
      cell = reading.value.text;
      for (const std::string* note : {&reading.failure, &reading.warning}) {
        if (!note->empty()) errors += (errors.empty() ? "" : "; ") + *note;
      }
    }
    out_ << "," << csvField(cell);
  }
  out_ << "," << csvField(errors) << "\r\n" << std::flush;
}

}  // namespace zephlor::ctl
