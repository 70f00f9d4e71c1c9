// zephlor-sim left running as a careless or hostile client would use it: clients that never read,
// junk lines, endless new items, a device that goes away, a --link path that is somebody's file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "child_process.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_io/fd_line.h"

namespace zephlor::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 20s;
constexpr auto kEndsPromptly = 5s;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A simulator on its own pseudo-terminal, with its log merged into what the test reads (whose
// pipe the test must then keep reading: a log nobody reads holds the simulator up).
struct RunningSimulator {
  explicit RunningSimulator(std::vector<std::string> options, bool log = true) {
    options.insert(options.begin(), {ZEPHLOR_SIM_PATH, "--pty"});
    if (log) options.push_back("--log");
    child = std::make_unique<BackgroundChild>(options, true);
    device = child->readLine(kRunLimit).value_or("");
  }
  // Reads its log until a line holds `text`.
  bool logShows(const std::string& text) {
    for (std::optional<std::string> line; (line = child->readLine(kRunLimit));) {
      if (contains(*line, text)) return true;
    }
    return false;
  }
  std::unique_ptr<BackgroundChild> child;
  std::string device;
};

// A client of the simulator's device, raw so that nothing is echoed or translated.
io::FdLine openClient(const std::string& device) {
  io::FdLine client(open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  io::configureRaw8N1(client.fd(), 9600);
  return client;
}

TEST(SimulatorSafety, ClientThatNeverReadsCannotWedgeIt) {
  RunningSimulator simulator({}, false);
  ASSERT_FALSE(simulator.device.empty());
  {
    io::FdLine flood = openClient(simulator.device);
    const std::string requests = [] {
      std::string text;
      for (int i = 0; i < 2000; ++i) text += "VGS# 1 2 3\r\n";
      return text;
    }();
    // Far more replies than the line holds: the simulator would block on them for ever.
    for (int round = 0; round < 10; ++round) {
      ASSERT_EQ(write(flood.fd(), requests.data(), requests.size()),
                static_cast<ssize_t>(requests.size()));
    }
  }
  // The next client finds a clean line and a simulator that answers.
  const Finished next = runToCompletion(
      {ZEPHLORCTL_PATH, "--device", simulator.device, "read", "switch", "1", "2", "3"}, kRunLimit);
  EXPECT_EQ(next.exitCode, kSuccess) << next.err;
  EXPECT_EQ(next.out, "switch 1 2 3: 0\n");
  EXPECT_EQ(simulator.child->stop(), kSuccess) << "stopped by SIGTERM, not killed";
}

TEST(SimulatorSafety, DelayedReplyDoesNotHoldOffAStop) {
  RunningSimulator simulator({"--fault", "delay", "--delay-ms", "60000"});
  io::FdLine client = openClient(simulator.device);
  ASSERT_EQ(write(client.fd(), "VGS# 1 2 3\r\n", 12), 12);
  ASSERT_TRUE(simulator.logShows("[delay]"));
  ASSERT_TRUE(simulator.child->signalOnceCaught(SIGTERM, kRunLimit));
  EXPECT_EQ(simulator.child->waitForExit(kEndsPromptly), kSuccess);
}

TEST(SimulatorSafety, ServedDeviceThatHangsUpEndsItWithAFailure) {
  const int line = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(line, 0);
  ASSERT_EQ(grantpt(line), 0);
  ASSERT_EQ(unlockpt(line), 0);
  BackgroundChild simulator({ZEPHLOR_SIM_PATH, "--device", ptsname(line), "--log"}, true);
  ASSERT_TRUE(simulator.readLine(kRunLimit)) << "it names the device it serves";
  close(line);
  EXPECT_EQ(simulator.waitForExit(kEndsPromptly), kDeviceError);
}

TEST(SimulatorSafety, LongJunkLineIsDiscardedUpToItsLineEnd) {
  const Finished finished =
      runToCompletion({ZEPHLOR_SIM_PATH, "--stdio", "--log"}, kRunLimit,
                      std::string(4352, 'x') + "VGS# 1 2 3\r\n" + "VGS# 4 5 6\r\n");
  EXPECT_EQ(finished.exitCode, kSuccess);
  EXPECT_EQ(finished.out, "RGS# 4 5 6 0\r\n") << "the junk line's tail is no request";
  EXPECT_TRUE(contains(finished.err, "longer than any request")) << finished.err;
}

TEST(SimulatorSafety, StoreOfItemsIsBoundedInMemory) {
  std::string writes;
  for (int a = 0; a < 64; ++a) {
    for (int b = 0; b < 64; ++b) {
      for (int c = 0; c < 64; ++c) {
        writes += "VLD# " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) +
                  " 1\r\n";
      }
    }
  }
  const Finished finished = runToCompletion({ZEPHLOR_SIM_PATH, "--stdio"}, kRunLimit, writes);
  EXPECT_EQ(finished.exitCode, kSuccess);
  EXPECT_EQ(std::count(finished.out.begin(), finished.out.end(), '\n'), 65536)
      << "writes to new items beyond the bound get no reply";
#ifndef ZEPHLOR_SANITIZED  // the sanitizers' own bookkeeping dwarfs the store
  EXPECT_LT(finished.peakResidentKilobytes, 16 * 1024) << "262,144 distinct writes";
#endif
  const Finished logged =
      runToCompletion({ZEPHLOR_SIM_PATH, "--stdio", "--log", "--max-items", "1"}, kRunLimit,
                      "VLD# 1 1 1 1\r\nVLD# 2 2 2 2\r\n");
  EXPECT_TRUE(contains(logged.err, "ignored VLD# 2 2 2 2 (the store is full (1 items))"))
      << logged.err;
}

TEST(SimulatorSafety, LinkReplacesOnlyItsOwnKind) {
  char file[] = "/tmp/zephlor-not-a-link-XXXXXX";
  const int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "keep", 4), 4);
  close(fd);
  const Finished refused = runToCompletion({ZEPHLOR_SIM_PATH, "--link", file}, kRunLimit);
  EXPECT_EQ(refused.exitCode, kUsage);
  EXPECT_TRUE(contains(refused.err, "exists and is not a symbolic link")) << refused.err;
  std::string kept;
  std::ifstream(file) >> kept;
  EXPECT_EQ(kept, "keep");
  unlink(file);

  // A link another program has pointed elsewhere meanwhile is not the simulator's to remove.
  const std::string link = "/tmp/zephlor-link-" + std::to_string(getpid());
  RunningSimulator simulator({"--link", link});
  ASSERT_EQ(unlink(link.c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
  simulator.child->stop();
  char target[64] = {};
  EXPECT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "/dev/null");
  unlink(link.c_str());
}

}  // namespace
}  // namespace zephlor::testing
