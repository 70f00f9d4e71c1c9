// What the gateway publishes and what it takes, as JSON: an item's value with its time and
// quality, a line's status, a write request and its result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "zephlor_host/item_names.h"
#include "zephlor_line/reading.h"

namespace zephlor::gateway {

using Json = nlohmann::ordered_json;

// JSON on one line; bytes that are not UTF-8 (a device's name, a system's message) are replaced,
// never a reason to fail.
std::string compact(const Json& json);

// A sample's quality: the verdict's name ("good" for a completed transaction); "line-down" too
// when the line is not open.
inline constexpr const char* kGoodQuality =
    facts::verdictRow(facts::TransactionOutcome::kCompleted).name;
inline constexpr const char* kLineDownQuality =
    facts::verdictRow(facts::TransactionOutcome::kReceiveFailed).name;

// A completed read's value: a number, or for the firmware its version and date.
Json valueOf(const line::Reading& reading);

// {"value":75,"time":"2026-12-09T10:00:00.123Z","quality":"good"}; the value is null until one
// has been read.
std::string valuePayload(const Json& value, const std::string& time, const std::string& quality);

// {"state":"up","reason":"...","time":"..."}.
std::string lineStatusPayload(bool up, const std::string& reason, const std::string& time);

// A write request: a plain number, or {"value":42,"id":"any string"}.
struct SetRequest {
  double value = 0;
  Json id;  // null when none was given
};
// The longest request taken; a longer one is refused unread.
constexpr size_t kLongestSetPayload = 256;
// Reads a request. On failure says why in `error`; `request.id` then holds the id if one could
// be read, so the refusal can name it.
bool parseSetRequest(const std::string& payload, SetRequest& request, std::string& error);

// {"id":...,"sent":42,"confirmed":true}, with "error" when it was not confirmed; "sent" only when
// a value went on the line.
std::string setResultPayload(const Json& id, std::optional<int64_t> sent, bool confirmed,
                             const std::string& error);

}  // namespace zephlor::gateway
