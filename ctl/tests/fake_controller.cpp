#include "fake_controller.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>
#include <utility>

namespace zephlor::testing {

FakeController::FakeController() {
  controller_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (controller_ < 0 || grantpt(controller_) != 0 || unlockpt(controller_) != 0) return;
  device_ = ptsname(controller_);
  held_ = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

FakeController::~FakeController() {
  hangUp();
  if (held_ >= 0) close(held_);
}

termios FakeController::deviceSettings() const {
  termios settings{};
  tcgetattr(held_, &settings);
  return settings;
}

std::optional<std::string> FakeController::awaitRequest(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const size_t lineEnd = received_.find('\n');
    if (lineEnd != std::string::npos) {
      std::string line = received_.substr(0, lineEnd + 1);
      received_.erase(0, lineEnd + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd entry{controller_, POLLIN, 0};
    if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
      return std::nullopt;
    }
    char chunk[256];
    const ssize_t count = read(controller_, chunk, sizeof chunk);
    if (count > 0) received_.append(chunk, static_cast<size_t>(count));
  }
}

std::string FakeController::unreadBytes() {
  char chunk[256];
  for (ssize_t count; (count = read(controller_, chunk, sizeof chunk)) > 0;) {
    received_.append(chunk, static_cast<size_t>(count));
  }
  return std::exchange(received_, "");
}

void FakeController::reply(const std::string& bytes) {
  [[maybe_unused]] const ssize_t written = write(controller_, bytes.data(), bytes.size());
}

void FakeController::hangUp() {
  if (controller_ >= 0) close(controller_);
  controller_ = -1;
}

void FakeController::stopReading() {
  termios raw = deviceSettings();
  cfmakeraw(&raw);
  tcsetattr(held_, TCSANOW, &raw);
  // Large pieces first, then single bytes: a piece larger than the room left is refused whole.
  // The kernel moves queued bytes on in the background and so makes room again; the line is
  // full once it has stayed unwritable for a while.
  const std::string filler(4096, 'x');
  pollfd entry{held_, POLLOUT, 0};
  do {
    for (size_t piece : {filler.size(), size_t{1}}) {
      while (write(held_, filler.data(), piece) > 0) {
      }
    }
  } while (poll(&entry, 1, 200) > 0);
}

bool sameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

}  // namespace zephlor::testing
