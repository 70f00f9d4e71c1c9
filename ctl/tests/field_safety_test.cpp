// zephlorctl on a line that misbehaves, with a user who interrupts it and output nobody reads:
// what it reports must be true, every wait must end on a signal, and the device must be neither
// shared nor left changed. Every child runs under a time limit; no fixed sleep decides a result.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <future>

#include "child_process.h"
#include "fake_controller.h"
#include "zephlor_facts/exit_codes.h"

namespace zephlor::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 20s;
constexpr auto kEndsPromptly = 5s;  // far below every wait the cases start

std::vector<std::string> ctlWith(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), ZEPHLORCTL_PATH);
  return arguments;
}

// Runs zephlorctl while the test plays the controller.
Finished runAgainst(FakeController& fake, const std::vector<std::string>& arguments,
                    const std::function<void(FakeController&)>& play) {
  std::vector<std::string> command = ctlWith({"--device", fake.device()});
  command.insert(command.end(), arguments.begin(), arguments.end());
  auto finished =
      std::async(std::launch::async, [&] { return runToCompletion(command, kRunLimit); });
  play(fake);
  return finished.get();
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ReplyIntegrity, CutOffAndHungUpRepliesAreNeverTakenForValues) {
  const struct {
    const char* reply;
    bool hangUp;
    int exitCode;
    const char* stderrHas;
  } cases[] = {
      {"RGC# 1 2 3 7", false, kNoReply,
       "incomplete reply, no line end within 300 ms: \"RGC# 1 2 3 7\""},
      {"RGC# 1 2", true, kDeviceError, "the line failed: the other end hung up"},
      {"", true, kDeviceError, "the line failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    FakeController fake;
    const Finished finished =
        runAgainst(fake, {"--timeout", "300", "read", "station-level", "1", "2", "3"},
                   [&](FakeController& controller) {
                     ASSERT_TRUE(controller.awaitRequest(kRunLimit));
                     controller.reply(c.reply);
                     if (c.hangUp) controller.hangUp();
                   });
    EXPECT_EQ(finished.exitCode, c.exitCode) << finished.err;
    EXPECT_TRUE(contains(finished.err, c.stderrHas)) << finished.err;
    EXPECT_EQ(finished.out, "");
  }
}

// Every further sample would fail the same way: one failure, then the poll ends.
TEST(ReplyIntegrity, PollEndsWhenTheLineFails) {
  FakeController fake;
  const Finished finished =
      runAgainst(fake, {"poll", "led", "1", "2", "3", "--interval", "1"}, [](FakeController& c) {
        ASSERT_TRUE(c.awaitRequest(kRunLimit));
        c.hangUp();
      });
  EXPECT_EQ(finished.exitCode, kDeviceError) << finished.err;
  EXPECT_TRUE(contains(finished.err, "poll: 1 sample, 1 read, 1 read failed (1 line failed)"))
      << finished.err;
  EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 2)
      << "one failure and the summary: " << finished.err;
}

// The built-in simulator splits the reply so that only "RGC# 1 2 3 7" of "... 75" arrives in time.
TEST(ReplyIntegrity, SplitReplyCutByTheTimeoutIsIncomplete) {
  const Finished finished = runToCompletion(
      ctlWith({"--sim", "--sim-seed", "10", "--baud", "115200", "--timeout", "14", "run", "-"}),
      kRunLimit, "write station-level 1 2 3 75\nfault split\nread station-level 1 2 3\n");
  EXPECT_EQ(finished.exitCode, kNoReply) << finished.err;
  EXPECT_TRUE(contains(finished.err, "incomplete reply")) << finished.err;
  EXPECT_FALSE(contains(finished.out, "station-level 1 2 3: 7")) << finished.out;
}

TEST(ReplyIntegrity, ModifierWriteShowsWhatTheDriverKeeps) {
  const Finished finished =
      runToCompletion(ctlWith({"--sim", "write", "modifier", "70000", "--truncate"}), kRunLimit);
  EXPECT_EQ(finished.exitCode, kSuccess) << finished.err;
  EXPECT_EQ(finished.out, "modifier: kept 4464 (given 70000)\n");
}

// Each case starts a wait of a minute, signals once zephlorctl is in it, and expects it to end
// at once with 128 plus the signal's number.
TEST(Interrupts, EndEveryWaitWithTheSignalsStatus) {
  char script[] = "/tmp/zephlor-sleep-XXXXXX";
  const int fd = mkstemp(script);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(script) << "# pausing\nsleep 60000\n";
  const struct {
    const char* name;
    std::vector<std::string> arguments;  // "DEVICE" stands for the fake controller's device
    const char* ready;                   // output that shows the wait has begun; null: a request
    int signal;
  } cases[] = {
      {"reply wait on a device",
       {"--device", "DEVICE", "--timeout", "60000", "read", "led", "1", "2", "3"},
       nullptr,
       SIGINT},
      {"reply wait on the built-in simulator",
       {"--sim", "--sim-fault", "delay", "--sim-delay-ms", "60000", "--timeout", "60000", "--trace",
        "read", "led", "1", "2", "3"},
       "-> VLS# 1 2 3",
       SIGTERM},
      {"poll interval",
       {"--sim", "poll", "led", "1", "2", "3", "--interval", "60000"},
       "led 1 2 3=0",
       SIGINT},
      {"script sleep", {"--sim", "run", script}, "# pausing", SIGTERM},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeController fake;
    const termios before = fake.deviceSettings();
    std::vector<std::string> arguments = c.arguments;
    for (std::string& argument : arguments) {
      if (argument == "DEVICE") argument = fake.device();
    }
    BackgroundChild ctl(ctlWith(arguments), true);
    if (c.ready == nullptr) {
      ASSERT_TRUE(fake.awaitRequest(kRunLimit));
    } else {
      std::optional<std::string> line;
      while ((line = ctl.readLine(kRunLimit)) && !contains(*line, c.ready)) {
      }
      ASSERT_TRUE(line) << "the wait never began";
    }
    ASSERT_TRUE(ctl.signalOnceWaiting(c.signal, kRunLimit));
    EXPECT_EQ(ctl.waitForExit(kEndsPromptly), 128 + c.signal);
    EXPECT_TRUE(sameSettings(fake.deviceSettings(), before)) << "the device's settings are back";
  }
  unlink(script);
}

TEST(OutputFailures, EndTheCommandInsteadOfDrivingTheLine) {
  BackgroundChild poll(ctlWith({"--sim", "poll", "led", "1", "2", "3", "--interval", "10"}));
  ASSERT_TRUE(poll.readLine(kRunLimit));
  poll.closeOutput();  // as `| head -1` does
  EXPECT_EQ(poll.waitForExit(kEndsPromptly), kOutputFailed);

  for (const char* command : {"read led 1 2 3", "poll led 1 2 3 --interval 10", "run -"}) {
    SCOPED_TRACE(command);
    const Finished finished = runToCompletion(
        {"/bin/sh", "-c", std::string("exec \"$0\" --sim ") + command + " > /dev/full",
         ZEPHLORCTL_PATH},
        kRunLimit, "read led 1 2 3\nread led 1 2 3\n");
    EXPECT_EQ(finished.exitCode, kOutputFailed) << finished.err;
    EXPECT_TRUE(contains(finished.err, "cannot write the results")) << finished.err;
  }
}

TEST(DeviceHandling, HeldDeviceIsNeitherUsedNorChanged) {
  FakeController fake;
  const termios before = fake.deviceSettings();
  ASSERT_EQ(flock(fake.heldDevice(), LOCK_EX | LOCK_NB), 0);
  const Finished finished = runToCompletion(
      ctlWith({"--device", fake.device(), "read", "led", "1", "2", "3"}), kRunLimit);
  EXPECT_EQ(finished.exitCode, kDeviceInUse) << finished.err;
  EXPECT_TRUE(contains(finished.err, "in use by another program")) << finished.err;
  EXPECT_EQ(fake.unreadBytes(), "") << "nothing may be sent on a line in use";
  EXPECT_TRUE(sameSettings(fake.deviceSettings(), before));
}

TEST(DeviceHandling, SendingIsBoundedByTheTimeout) {
  FakeController fake;
  fake.stopReading();
  const Finished finished = runToCompletion(
      ctlWith({"--device", fake.device(), "--timeout", "300", "read", "led", "1", "2", "3"}),
      kRunLimit);
  EXPECT_EQ(finished.exitCode, kDeviceError) << finished.err;
  EXPECT_TRUE(contains(finished.err, "the line failed while sending")) << finished.err;
}

// A script in a file is checked whole before anything is sent, whether it is named or standard
// input is redirected from it.
TEST(ScriptInput, BadScriptsAreRefusedBeforeAnythingIsSent) {
  const struct {
    const char* file;  // "-": a file holding the input below
    std::string input;
    const char* stderrHas;
  } cases[] = {
      {"-", "write led 1 2 3 1\nread led 1 2 3\nbogus 1\n", ":3: unknown command \"bogus\""},
      {"-", "read led 1 2 3\n" + std::string(5000, 'x') + "\n", ":2: longer than 4096 bytes"},
      {"-", std::string("read led 1 2 3\nread\0 led\n", 25), ":2: a NUL byte"},
      {"-", "run other.zcmd\n", ":1: run cannot be used inside a script"},
      {"-", "read led 1 2 3 \x07\n", ":1: unexpected \"\\x07\" after the read command"},
      {"/", "", "Is a directory"},
      {"/no/such/script.zcmd", "", "No such file or directory"},
      {"/dev/zero", "", ":1: a NUL byte"},
  };
  char script[] = "/tmp/zephlor-script-XXXXXX";
  const int fd = mkstemp(script);
  ASSERT_GE(fd, 0);
  close(fd);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stderrHas);
    std::vector<std::vector<std::string>> runs = {ctlWith({"--sim", "--trace", "run", c.file})};
    if (c.file == std::string("-")) {
      std::ofstream(script, std::ios::binary) << c.input;
      runs = {
          ctlWith({"--sim", "--trace", "run", script}),
          {"/bin/sh", "-c", "exec \"$0\" --sim --trace run - < \"$1\"", ZEPHLORCTL_PATH, script}};
    }
    for (const auto& run : runs) {
      const Finished finished = runToCompletion(run, kRunLimit);
      EXPECT_EQ(finished.exitCode, kUsage) << finished.err;
      EXPECT_TRUE(contains(finished.err, c.stderrHas)) << finished.err;
      EXPECT_FALSE(contains(finished.err, "-> ")) << "nothing may be sent";
      EXPECT_EQ(finished.out, "");
    }
  }
  unlink(script);
}

TEST(ScriptInput, ControlCharactersAreShownEscaped) {
  const Finished finished = runToCompletion(ctlWith({"--sim", "run", "-"}), kRunLimit,
                                            "# \x1b[2J narration\nread led 1 2 3\x1b\n");
  EXPECT_EQ(finished.exitCode, kUsage) << "an escape character is no blank";
  EXPECT_EQ(finished.err.find('\x1b'), std::string::npos) << finished.err;
  const Finished narrated = runToCompletion(ctlWith({"--sim", "run", "-"}), kRunLimit,
                                            "# \x1b[2J narration\nread led 1 2 3\n");
  EXPECT_EQ(narrated.exitCode, kSuccess) << narrated.err;
  EXPECT_TRUE(contains(narrated.out, "# \\x1B[2J narration\n")) << narrated.out;
  EXPECT_EQ(narrated.out.find('\x1b'), std::string::npos) << narrated.out;
}

}  // namespace
}  // namespace zephlor::testing
