#include "zephlor_text/timestamp.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace zephlor::text {

std::string timestampNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const std::tm utc = *std::gmtime(&seconds);  // the tools run on one thread
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char withMillis[48];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03lldZ", text, static_cast<long long>(millis));
  return withMillis;
}

std::string formatMilliseconds(std::chrono::microseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

}  // namespace zephlor::text
