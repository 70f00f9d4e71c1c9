#include "zephlor_sim/fault_injector.h"

#include <cctype>
#include <cstdlib>

namespace zephlor::sim {
namespace {

const char* const kFaultNames[kFaultCount] = {"drop",          "garble",      "delay",
                                              "wrong-address", "wrong-value", "split"};

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The text before the line end, where every fault but the split works.
size_t bodyLength(const std::string& reply) {
  size_t end = reply.size();
  while (end > 0 && (reply[end - 1] == '\n' || reply[end - 1] == '\r')) --end;
  return end;
}

// Replaces the digits at [begin, end) with `number`.
void replaceNumber(std::string& reply, size_t begin, size_t end, long long number) {
  reply.replace(begin, end - begin, std::to_string(number));
}

void echoAnotherAddress(std::string& reply) {
  const size_t hash = reply.find('#');
  if (hash == std::string::npos) return;
  size_t begin = hash + 1;
  while (begin < reply.size() && !isDigit(reply[begin])) ++begin;
  size_t end = begin;
  while (end < reply.size() && isDigit(reply[end])) ++end;
  if (begin == end) return;
  replaceNumber(reply, begin, end, (std::atoll(reply.c_str() + begin) + 1) % 256);
}

void echoAnotherValue(std::string& reply) {
  size_t end = bodyLength(reply);
  while (end > 0 && !isDigit(reply[end - 1])) --end;
  size_t begin = end;
  while (begin > 0 && isDigit(reply[begin - 1])) --begin;
  if (begin == end) return;
  // Flipping the lowest bit of the magnitude changes the value whatever its sign.
  replaceNumber(reply, begin, end, std::atoll(reply.c_str() + begin) ^ 1);
}

}  // namespace

const char* faultName(Fault fault) { return kFaultNames[static_cast<size_t>(fault)]; }

std::optional<Fault> faultNamed(std::string_view name) {
  for (size_t i = 0; i < kFaultCount; ++i) {
    if (name == kFaultNames[i]) return static_cast<Fault>(i);
  }
  return std::nullopt;
}

bool addFault(FaultPlan& plan, std::string_view setting) {
  const size_t colon = setting.find(':');
  const std::optional<Fault> fault = faultNamed(setting.substr(0, colon));
  if (!fault) return false;
  double probability = 1.0;
  if (colon != std::string_view::npos) {
    const std::string text(setting.substr(colon + 1));
    char* end = nullptr;
    probability = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(probability >= 0.0 && probability <= 1.0)) return false;
  }
  plan.probability[static_cast<size_t>(*fault)] = probability;
  return true;
}

std::string faultSettingForm() {
  std::string kinds;
  for (const char* name : kFaultNames) kinds += (kinds.empty() ? "" : ", ") + std::string(name);
  return "KIND or KIND:P with P from 0 to 1; KIND is one of " + kinds;
}

FaultInjector::FaultInjector(const FaultPlan& plan) : plan_(plan), random_(plan.seed) {}

uint32_t FaultInjector::draw(uint32_t bound) { return static_cast<uint32_t>(random_() % bound); }

bool FaultInjector::strikes(Fault fault) {
  const double probability = plan_.probability[static_cast<size_t>(fault)];
  if (probability <= 0.0) return false;  // draw nothing, so unused faults leave runs unchanged
  const bool struck = static_cast<double>(random_()) / 4294967296.0 < probability;
  if (struck) lastFaults_.push_back(fault);
  return struck;
}

std::vector<Chunk> FaultInjector::deliver(std::string reply) {
  lastFaults_.clear();
  if (strikes(Fault::kDrop)) return {};
  if (strikes(Fault::kWrongAddress)) echoAnotherAddress(reply);
  if (strikes(Fault::kWrongValue)) echoAnotherValue(reply);
  const size_t body = bodyLength(reply);
  if (strikes(Fault::kGarble) && body > 0) {
    const size_t at = draw(static_cast<uint32_t>(body));
    // A printable character other than the one there.
    const int original = static_cast<unsigned char>(reply[at]);
    const int offset = 1 + static_cast<int>(draw(94));
    reply[at] = static_cast<char>(' ' + ((original - ' ' + offset) % 95 + 95) % 95);
  }
  const std::chrono::milliseconds firstPause =
      strikes(Fault::kDelay) ? plan_.delay : std::chrono::milliseconds{0};

  if (!strikes(Fault::kSplit) || reply.size() < 3) return {{firstPause, std::move(reply)}};
  // Two or three pieces, each at least one byte long.
  const auto size = static_cast<uint32_t>(reply.size());
  std::vector<size_t> cuts = {1 + draw(size - 2)};
  if (draw(2) == 1) cuts.push_back(cuts[0] + 1 + draw(size - static_cast<uint32_t>(cuts[0]) - 1));
  cuts.push_back(reply.size());
  std::vector<Chunk> chunks;
  size_t start = 0;
  for (size_t cut : cuts) {
    chunks.push_back(
        {chunks.empty() ? firstPause : plan_.splitPause, reply.substr(start, cut - start)});
    start = cut;
  }
  return chunks;
}

}  // namespace zephlor::sim
