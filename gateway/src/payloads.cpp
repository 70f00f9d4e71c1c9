#include "payloads.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "zephlor_text/table_rows.h"

namespace zephlor::gateway {
namespace {

using host::TransactionOutcome;

struct VerdictRow {
  TransactionOutcome outcome;
  const char* quality;
  const char* explanation;
};

// clang-format off
constexpr VerdictRow kVerdicts[] = {
    {TransactionOutcome::kCompleted,     kGoodQuality,       "completed"},
    {TransactionOutcome::kNothingToSend, "no-request",       "the driver has no request for this item"},
    {TransactionOutcome::kSendFailed,    kLineDownQuality,   "the line failed while sending"},
    {TransactionOutcome::kReceiveFailed, kLineDownQuality,   "the line failed while receiving"},
    {TransactionOutcome::kInterrupted,   "stopped",          "the gateway is stopping"},
    {TransactionOutcome::kNoReply,       "no-reply",         "no reply within the timeout"},
    {TransactionOutcome::kIncomplete,    "incomplete",       "an incomplete reply, no line end within the timeout"},
    {TransactionOutcome::kTooLong,       "too-long",         "a reply over 256 bytes before its line end"},
    {TransactionOutcome::kTooShort,      "too-short",        "a reply refused by the driver as too short"},
    {TransactionOutcome::kNotAFrame,     "not-a-frame",      "a reply that is not R, two letters and #"},
    {TransactionOutcome::kOtherItem,     "another-item",     "a reply for another item"},
    {TransactionOutcome::kNotANumber,    "not-a-number",     "a reply field that is not a number"},
    {TransactionOutcome::kNotParsed,     "not-parsed",       "a reply the driver could not parse"},
    {TransactionOutcome::kNotConfirmed,  "not-confirmed",    "the controller did not confirm the write"},
    {TransactionOutcome::kNotSilent,     "not-silent",       "bytes keep arriving unasked; the request was not sent"},
};
// clang-format on
static_assert(text::rowsFollowTheirKeys(kVerdicts, &VerdictRow::outcome),
              "row i of the verdicts is TransactionOutcome i");

// Records carry whole numbers as floats; JSON shows them as integers.
Json number(float value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e15f) {
    return static_cast<int64_t>(value);
  }
  return static_cast<double>(value);
}

}  // namespace

std::string compact(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const char* qualityOf(TransactionOutcome outcome) {
  return kVerdicts[static_cast<size_t>(outcome)].quality;
}

const char* explanationOf(TransactionOutcome outcome) {
  return kVerdicts[static_cast<size_t>(outcome)].explanation;
}

Json valueOfRecords(const host::KindInfo& kind, const RSDATA* records) {
  if (kind.value != facts::ValueRule::kFirmware) return number(records[0].value);
  // Major, minor, then the date as the controller sends it: day, month, two-digit year.
  char version[32];
  char date[32];
  std::snprintf(version, sizeof version, "%.0f.%.0f", static_cast<double>(records[0].value),
                static_cast<double>(records[1].value));
  std::snprintf(date, sizeof date, "%04.0f-%02.0f-%02.0f",
                2000.0 + static_cast<double>(records[4].value),
                static_cast<double>(records[3].value), static_cast<double>(records[2].value));
  return Json{{"version", version}, {"date", date}};
}

std::string valuePayload(const Json& value, const std::string& time, const std::string& quality) {
  return compact(Json{{"value", value}, {"time", time}, {"quality", quality}});
}

std::string lineStatusPayload(bool up, const std::string& reason, const std::string& time) {
  return compact(Json{{"state", up ? "up" : "down"}, {"reason", reason}, {"time", time}});
}

bool parseSetRequest(const std::string& payload, SetRequest& request, std::string& error) {
  if (payload.size() > kLongestSetPayload) {
    error = "the request is over " + std::to_string(kLongestSetPayload) + " bytes";
    return false;
  }
  const Json parsed = Json::parse(payload, nullptr, false);
  Json value = parsed;
  if (parsed.is_object()) {
    request.id = parsed.contains("id") ? parsed["id"] : Json();
    for (const auto& field : parsed.items()) {
      if (field.key() != "value" && field.key() != "id") {
        error = "the request has a field \"" + field.key() + "\"; it takes value and id";
        return false;
      }
    }
    if (!parsed.contains("value")) {
      error = "the request has no value";
      return false;
    }
    value = parsed["value"];
  }
  if (!value.is_number()) {
    error = "the value is not a number: a plain number, or {\"value\":42,\"id\":\"...\"}";
    return false;
  }
  request.value = value.get<double>();
  return true;
}

std::string valueProblem(const host::KindInfo& kind, double value) {
  if (!std::isfinite(value) || value != std::trunc(value))
    return "the value must be a whole number";
  switch (kind.value) {
    case facts::ValueRule::kLowByte:
      if (value < 0 || value > 255) return std::string(kind.name) + " takes 0 to 255";
      return "";
    case facts::ValueRule::kWhole32:
      if (value < -2147483648.0 || value > 2147483647.0) {
        return std::string(kind.name) + " takes -2147483648 to 2147483647";
      }
      if (static_cast<double>(static_cast<float>(value)) != value) {
        return "the driver carries values as 32-bit floats, which cannot hold this one exactly";
      }
      return "";
    case facts::ValueRule::kFirmware:
    case facts::ValueRule::kModifier:
      break;
  }
  return std::string(kind.name) + " cannot be written";
}

std::string setResultPayload(const Json& id, std::optional<int64_t> sent, bool confirmed,
                             const std::string& error) {
  Json result{{"id", id}};
  if (sent) result["sent"] = *sent;
  result["confirmed"] = confirmed;
  if (!error.empty()) result["error"] = error;
  return compact(result);
}

}  // namespace zephlor::gateway
