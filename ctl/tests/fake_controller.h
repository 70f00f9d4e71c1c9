// A controller played by the test: the controller side of a pseudo-terminal whose device side
// zephlorctl opens as its serial line. It answers with whatever bytes a test gives it, hangs up,
// or never reads. The test also holds the device side open, to see its settings and to take it.
#pragma once

#include <termios.h>

#include <chrono>
#include <optional>
#include <string>

namespace zephlor::testing {

class FakeController {
 public:
  FakeController();
  ~FakeController();
  FakeController(const FakeController&) = delete;
  FakeController& operator=(const FakeController&) = delete;

  const std::string& device() const { return device_; }
  int heldDevice() const { return held_; }  // the test's own open of the device side
  termios deviceSettings() const;

  // The next request line zephlorctl sent, LF included; nothing if none came within `limit`.
  std::optional<std::string> awaitRequest(std::chrono::milliseconds limit);
  // Whatever arrived and was not taken yet, without waiting.
  std::string unreadBytes();
  void reply(const std::string& bytes);
  void hangUp();
  // Fills the line towards the controller until it takes no more, as a controller that stopped
  // reading leaves it.
  void stopReading();

 private:
  int controller_ = -1;
  int held_ = -1;
  std::string device_;
  std::string received_;
};

bool sameSettings(const termios& a, const termios& b);

}  // namespace zephlor::testing
