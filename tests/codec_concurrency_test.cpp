// The codec keeps no state, so threads may call it at once on their own buffers. Under
// ThreadSanitizer this shows there is no shared state to race on; anywhere it checks that no
// thread sees another's results.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "wirelex.h"

namespace {

TEST(CodecConcurrency, ThreadsOnSeparateBuffersDoNotInterfere) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      char line[WIRELEX_MAX_LINE + 1];
      char reply[40];
      for (int round = 0; round < kRounds; ++round) {
        const int32_t value = (t * kRounds + round) & 0xFF;
        int32_t length = 0;
        FillSetStationLoadLevel(t, 2, 3, value, t, line, &length);
        const std::string expectedLine = "VLC# " + std::to_string(t) + " 2 3 " +
                                         std::to_string(value) +
                                         (t != 0 ? " " + std::to_string(t) : "") + "\r\n";
        if (expectedLine != line) ++mismatches;

        snprintf(reply, sizeof reply, "RGC# %d 2 3 %d\r\n", t, value);
        int32_t out = -1;
        if (!ParseStationLoadLevel(reply, &out) || out != value) ++mismatches;
        if (!ParseSetStationLoadLevel(reply + 0, value) == ParseSetStationLoadLevel(reply, value)) {
          ++mismatches;
        }
        FirmwareInfo info{};
        snprintf(reply, sizeof reply, "RGV# %d VER %d.%d 1/2/%d", t, t, round % 100, value);
        if (!ParseFirmware(reply, &info) || info.versionMajor != t || info.date3 != value) {
          ++mismatches;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
