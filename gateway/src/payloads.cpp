#include "payloads.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zephlor::gateway {
namespace {

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

Json valueOf(const line::Reading& reading) {
  if (!reading.firmware) return number(reading.value);
  return Json{{"version", line::versionOf(*reading.firmware)},
              {"date", line::calendarDateOf(*reading.firmware)}};
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

std::string setResultPayload(const Json& id, std::optional<int64_t> sent, bool confirmed,
                             const std::string& error) {
  Json result{{"id", id}};
  if (sent) result["sent"] = *sent;
  result["confirmed"] = confirmed;
  if (!error.empty()) result["error"] = error;
  return compact(result);
}

}  // namespace zephlor::gateway
