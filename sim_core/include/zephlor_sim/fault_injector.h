// Line faults for testing hosts: a reply can be dropped, garbled, delayed, made to echo another
// address or another value, or split across several writes. Which faults strike is drawn from a
// seeded generator, so a run can be repeated exactly.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace zephlor::sim {

enum class Fault : uint8_t {
  kDrop,          // no reply at all
  kGarble,        // one byte before the line end replaced by another printable character
  kDelay,         // the reply held back for the configured delay
  kWrongAddress,  // the first echoed address number one higher (modulo 256)
  kWrongValue,    // the last number of the reply with its lowest bit flipped
  kSplit,         // the reply written in two or three pieces with pauses between them
};
constexpr size_t kFaultCount = 6;

// "drop", "garble", "delay", "wrong-address", "wrong-value", "split".
const char* faultName(Fault fault);
std::optional<Fault> faultNamed(std::string_view name);

struct FaultPlan {
  std::array<double, kFaultCount> probability{};  // of each fault striking a reply, 0 to 1
  std::chrono::milliseconds delay{1500};
  std::chrono::milliseconds splitPause{20};
  uint32_t seed = 1;
};

// Parses "KIND" (probability 1) or "KIND:P" into `plan`; false if either part is invalid.
bool addFault(FaultPlan& plan, std::string_view setting);

// What addFault takes, for a person: "KIND or KIND:P with P from 0 to 1; KIND is one of ...".
std::string faultSettingForm();

// One write of the reply, after a pause.
struct Chunk {
  std::chrono::milliseconds pauseBefore{0};
  std::string bytes;
};

class FaultInjector {
 public:
  explicit FaultInjector(const FaultPlan& plan);

  // The writes that deliver `reply`: one chunk when no fault strikes, none when it is dropped.
  std::vector<Chunk> deliver(std::string reply);

  // Changes the faults from the next reply on; the generator carries on where it was.
  void setPlan(const FaultPlan& plan) { plan_ = plan; }
  const FaultPlan& plan() const { return plan_; }

  // The faults that struck the last reply, for the log.
  const std::vector<Fault>& lastFaults() const { return lastFaults_; }

 private:
  bool strikes(Fault fault);
  uint32_t draw(uint32_t bound);  // uniform in [0, bound)

  FaultPlan plan_;
  std::mt19937 random_;
  std::vector<Fault> lastFaults_;
};

}  // namespace zephlor::sim
