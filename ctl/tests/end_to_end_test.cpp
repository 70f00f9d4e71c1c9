// zephlor-sim on a real pseudo-terminal and zephlorctl talking to it as a serial device: reads
// and writes of every kind, every injected fault, and the failures a person must be told about,
// checked by output and exit code. Every child runs under a time limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <regex>
#include <thread>

#include "child_process.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_io/fd_line.h"

namespace zephlor::testing {
namespace {

using namespace std::chrono_literals;
using zephlor::ExitCode;

constexpr auto kRunLimit = 20s;

class EndToEnd : public ::testing::Test {
 protected:
  // Starts a simulator with `options` and waits for it to name its device.
  void startSimulator(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {ZEPHLOR_SIM_PATH, "--pty"});
    simulator_ = std::make_unique<BackgroundChild>(options);
    const std::optional<std::string> path = simulator_->readLine(10s);
    ASSERT_TRUE(path.has_value()) << "the simulator named no device";
    device_ = *path;
  }

  // Runs zephlorctl on the simulator's device with `arguments`.
  Finished ctl(std::vector<std::string> arguments, const std::string& input = "") {
    arguments.insert(arguments.begin(), {ZEPHLORCTL_PATH, "--device", device_});
    Finished finished = runToCompletion(arguments, kRunLimit, input);
    EXPECT_FALSE(finished.timedOut) << "zephlorctl did not finish";
    return finished;
  }

  std::unique_ptr<BackgroundChild> simulator_;
  std::string device_;
};

struct Step {
  std::vector<std::string> arguments;
  int exitCode;
  const char* output;  // expected on standard output
};

TEST_F(EndToEnd, EveryKindWritesAndReadsBack) {
  startSimulator();
  const Step steps[] = {
      {{"read", "station-level", "1", "2", "3"}, ExitCode::kSuccess, "station-level 1 2 3: 0\n"},
      {{"write", "station-level", "1", "2", "3", "75.6"}, ExitCode::kUsage, ""},
      {{"write", "station-level", "1", "2", "3", "75.6", "--truncate"},
       ExitCode::kSuccess,
       "station-level 1 2 3: wrote 75 (given 75.6), confirmed\n"},
      {{"read", "station-level", "1", "2", "3"}, ExitCode::kSuccess, "station-level 1 2 3: 75\n"},
      {{"write", "led", "1", "2", "3", "300"}, ExitCode::kUsage, ""},
      {{"write", "led", "1", "2", "3", "300", "--truncate"},
       ExitCode::kSuccess,
       "led 1 2 3: wrote 44 (given 300), confirmed\n"},
      {{"read", "led", "1", "2", "3"}, ExitCode::kSuccess, "led 1 2 3: 44\n"},
      {{"write", "module-level", "1", "2", "3", "4", "50"},
       ExitCode::kSuccess,
       "module-level 1 2 3 4: wrote 50, confirmed\n"},
      {{"read", "module-level", "1", "2", "3", "4"},
       ExitCode::kSuccess,
       "module-level 1 2 3 4: 50\n"},
      {{"write", "contactor-level", "9", "100"},
       ExitCode::kSuccess,
       "contactor-level 9: wrote 100, confirmed\n"},
      {{"read", "contactor-level", "9"}, ExitCode::kSuccess, "contactor-level 9: 100\n"},
      {{"write", "thermostat", "1", "2", "3", "-2.7", "--truncate"},
       ExitCode::kSuccess,
       "thermostat 1 2 3: wrote -2 (given -2.7), confirmed\n"},
      {{"read", "thermostat", "1", "2", "3"}, ExitCode::kSuccess, "thermostat 1 2 3: -2\n"},
      {{"write", "thermostat", "1", "2", "3", "300", "--u16"},
       ExitCode::kSuccess,
       "thermostat 1 2 3: wrote 300, confirmed\n"},
      {{"read", "thermostat", "1", "2", "3"}, ExitCode::kSuccess, "thermostat 1 2 3: 300\n"},
      {{"write", "switch", "4", "5", "6", "1"},
       ExitCode::kSuccess,
       "switch 4 5 6: wrote 1, confirmed\n"},
      {{"read", "switch", "4", "5", "6"}, ExitCode::kSuccess, "switch 4 5 6: 1\n"},
      {{"write", "module-profile", "1", "2", "3", "4", "3"},
       ExitCode::kSuccess,
       "module-profile 1 2 3 4: wrote 3, confirmed\n"},
      {{"write", "station-profile", "1", "2", "3", "2"},
       ExitCode::kSuccess,
       "station-profile 1 2 3: wrote 2, confirmed\n"},
      {{"read", "firmware", "7"}, ExitCode::kSuccess, "firmware 7: version 2.10, date 11/22/33\n"},
      {{"info"}, ExitCode::kSuccess, "driver: Zephlor\nfirmware: version 2.10, date 11/22/33\n"},
  };
  // The simulator keeps values between zephlorctl runs; restart it with a known firmware.
  simulator_.reset();
  startSimulator({"--firmware-version", "2.10", "--firmware-date", "11/22/33"});
  for (const Step& step : steps) {
    const Finished finished = ctl(step.arguments);
    EXPECT_EQ(finished.exitCode, step.exitCode) << step.arguments[1] << "\n" << finished.err;
    EXPECT_EQ(finished.out, step.output);
  }
}

TEST_F(EndToEnd, LevelModifierTravelsOnLoadLevelLines) {
  startSimulator();
  const Finished finished = ctl({"--trace", "run", "-"},
                                "write modifier 7\n"
                                "read modifier\n"
                                "write module-level 1 2 3 4 50\n"
                                "write station-level 1 2 3 75\n"
                                "write contactor-level 4 100\n"
                                "write led 1 2 3 1\n"
                                "write modifier 0\n"
                                "write station-level 1 2 3 76\n");
  EXPECT_EQ(finished.exitCode, ExitCode::kSuccess) << finished.err;
  EXPECT_NE(finished.out.find("modifier: 7\n"), std::string::npos) << finished.out;
  for (const char* line :
       {"-> VLB# 1 2 3 4 50 7\\r\\n", "-> VLC# 1 2 3 75 7\\r\\n", "-> VLO# 4 100 7\\r\\n",
        "-> VLD# 1 2 3 1\\r\\n", "-> VLC# 1 2 3 76\\r\\n"}) {
    EXPECT_NE(finished.err.find(line), std::string::npos) << line << "\n" << finished.err;
  }
}

TEST_F(EndToEnd, TraceShowsEveryLineWithItsTime) {
  startSimulator();
  const Finished finished = ctl({"--trace", "read", "station-level", "1", "2", "3"});
  EXPECT_EQ(finished.exitCode, ExitCode::kSuccess);
  const std::regex traced(
      R"(\[ *[0-9]+\.[0-9]{3} ms\] -> VGC# 1 2 3\\r\\n\n\[ *[0-9]+\.[0-9]{3} ms\] <- RGC# 1 2 3 0\\r\\n\n)");
  EXPECT_TRUE(std::regex_match(finished.err, traced)) << finished.err;
}

TEST_F(EndToEnd, PollPrintsATimestampedLinePerSample) {
  startSimulator();
  const Finished finished = ctl(
      {"poll", "led", "1", "2", "3", "switch", "1", "2", "3", "--interval", "10", "--count", "3"});
  EXPECT_EQ(finished.exitCode, ExitCode::kSuccess);
  const std::regex sample(
      R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z  led 1 2 3=0  switch 1 2 3=0\n){3})");
  EXPECT_TRUE(std::regex_match(finished.out, sample)) << finished.out;
}

struct FaultCase {
  std::vector<std::string> simulatorOptions;
  std::vector<std::string> arguments;
  int exitCode;
  const char* stdoutHas;  // "" for nothing in particular
  const char* stderrHas;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
  for (const std::string& option : c.simulatorOptions) *out << option << " ";
  *out << "/";
  for (const std::string& argument : c.arguments) *out << " " << argument;
}

class Faults : public EndToEnd, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, AreReportedAsThePersonNeedsThem) {
  const FaultCase& c = GetParam();
  startSimulator(c.simulatorOptions);
  const Finished finished = ctl(c.arguments);
  EXPECT_EQ(finished.exitCode, c.exitCode) << finished.out << finished.err;
  EXPECT_NE(finished.out.find(c.stdoutHas), std::string::npos) << finished.out;
  EXPECT_NE(finished.err.find(c.stderrHas), std::string::npos) << finished.err;
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, Faults,
    ::testing::Values(
        FaultCase{{"--fault", "drop"},
                  {"--timeout", "200", "read", "led", "1", "2", "3"},
                  ExitCode::kNoReply,
                  "",
                  "no reply within 200 ms to \"VLS# 1 2 3\\r\\n\""},
        FaultCase{{"--fault", "delay", "--delay-ms", "600"},
                  {"--timeout", "200", "read", "led", "1", "2", "3"},
                  ExitCode::kNoReply,
                  "",
                  "no reply within 200 ms"},
        FaultCase{{"--fault", "delay", "--delay-ms", "100"},
                  {"--timeout", "2000", "read", "led", "1", "2", "3"},
                  ExitCode::kSuccess,
                  "led 1 2 3: 0\n",
                  ""},
        FaultCase{{"--fault", "split"},
                  {"--trace", "read", "firmware", "0"},
                  ExitCode::kSuccess,
                  "firmware 0: version 1.0, date 12/8/26\n",
                  "<- RGV# 0 VER 1.0 12/8/26\\r\\n"},
        // The driver does not compare echoed addresses; the host does: a reply for another
        // item fails, or with --lenient is taken with a warning.
        FaultCase{{"--fault", "wrong-address"},
                  {"--trace", "write", "switch", "1", "2", "3", "1"},
                  ExitCode::kReplyNotParsed,
                  "",
                  "the reply names addresses 2 2 3, the request 1 2 3"},
        FaultCase{{"--fault", "wrong-address"},
                  {"--lenient", "write", "switch", "1", "2", "3", "1"},
                  ExitCode::kSuccess,
                  "confirmed",
                  "warning: switch 1 2 3: the reply names addresses 2 2 3"},
        FaultCase{
            {"--fault", "wrong-value"},
            {"write", "switch", "1", "2", "3", "1"},
            ExitCode::kWriteNotConfirmed,
            "",
            "did not confirm the write: sent \"VSW# 1 2 3 1\\r\\n\", echo \"RSW# 1 2 3 0\\r\\n\""},
        FaultCase{{"--fault", "wrong-value"},
                  {"read", "switch", "1", "2", "3"},
                  ExitCode::kSuccess,
                  "switch 1 2 3: 1\n",
                  ""},
        // Seeds chosen so the garbled byte lands in the frame, in the mnemonic, and in the value.
        FaultCase{{"--fault", "garble", "--seed", "2"},
                  {"write", "led", "1", "2", "3", "1"},
                  ExitCode::kReplyRefused,
                  "",
                  "reply refused, it does not begin with R, two letters and #"},
        FaultCase{{"--fault", "garble", "--seed", "16"},
                  {"read", "led", "1", "2", "3"},
                  ExitCode::kReplyNotParsed,
                  "",
                  "the reply \"RL\"#\" answers another request than \"VLS#\""},
        FaultCase{{"--fault", "garble", "--seed", "1"},
                  {"write", "led", "1", "2", "3", "1"},
                  ExitCode::kReplyNotParsed,
                  "",
                  "value field is not wholly a number: \"RLD# 1 2 3 >\\r\\n\""}));

TEST_F(EndToEnd, UsageErrorsAreRefusedBeforeTheLineIsOpened) {
  const std::vector<std::string> bad[] = {
      {"read", "lamp", "1"},
      {"read", "led", "1", "2"},
      {"read", "led", "1", "2", "256"},
      {"read", "led", "1", "2", "x"},
      {"read", "module-profile", "1", "2", "3", "4"},
      {"write", "firmware", "1", "5"},
      {"write", "led", "1", "2", "3"},
      {"write", "led", "1", "2", "3", "abc"},
      {"write", "led", "1", "2", "3", "70000", "--u16"},
      {"read", "led", "1", "2", "3", "4"},
      {"poll"},
      {"poll", "led", "1", "2", "3", "--count", "0"},
      {"launch"},
      {},
      {"--baud", "9601", "info"},
      {"--timeout", "-5", "info"},
      {"write", "thermostat", "1", "2", "3", "3e9"},
      {"write", "led", "1", "2", "3", "1e999"},
      {"write", "led", "1", "2", "3", "nan"},
      {"write", "led", "1", "2", "3", "-inf"},
      {"--sim", "info"},  // with --device: two lines at once
      {"--driver", "", "info"},
  };
  device_ = "/dev/does-not-matter";
  for (const std::vector<std::string>& arguments : bad) {
    const Finished finished = ctl(arguments);
    EXPECT_EQ(finished.exitCode, ExitCode::kUsage) << (arguments.empty() ? "" : arguments[0]);
    EXPECT_NE(finished.err.find("see zephlorctl --help"), std::string::npos) << finished.err;
  }
}

TEST_F(EndToEnd, LineAndDriverFailures) {
  device_ = "/dev/no-such-serial-line";
  Finished finished = ctl({"info"});
  EXPECT_EQ(finished.exitCode, ExitCode::kDeviceNotFound);
  EXPECT_NE(finished.err.find("/dev/no-such-serial-line"), std::string::npos);

  device_ = "/dev/null";
  finished = ctl({"info"});
  EXPECT_EQ(finished.exitCode, ExitCode::kDeviceError);
  EXPECT_NE(finished.err.find("not a serial device"), std::string::npos) << finished.err;

  startSimulator();
  finished = ctl({"--driver", "/no/such/osterfell.so", "info"});
  EXPECT_EQ(finished.exitCode, ExitCode::kDriverUnavailable);
  finished = ctl({"--driver", WIRELEX_LIBRARY_PATH, "info"});
  EXPECT_EQ(finished.exitCode, ExitCode::kDriverUnavailable);
  EXPECT_NE(finished.err.find("entry point _Z11Prepare_xxxiPcRiS0_ not found"), std::string::npos)
      << finished.err;
}

TEST_F(EndToEnd, PermissionDeniedHasItsOwnExitCode) {
  char path[] = "/tmp/zephlor-locked-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  chmod(path, 0);
  std::vector<std::string> command = {ZEPHLORCTL_PATH, "--device", path, "info"};
  if (geteuid() == 0) {
    // Root opens anything; run as an unprivileged user instead.
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is needed when root";
    command.insert(command.begin(),
                   {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  }
  const Finished finished = runToCompletion(command, kRunLimit);
  unlink(path);
  if (finished.exitCode == ExitCode::kDriverUnavailable) {
    GTEST_SKIP() << "the build folder is not readable by the unprivileged user";
  }
  EXPECT_EQ(finished.exitCode, ExitCode::kDevicePermission) << finished.err;
  EXPECT_NE(finished.err.find("Permission denied"), std::string::npos) << finished.err;
}

// A peer that sends nothing but noise, with no line end, must still see zephlorctl finish, with
// the reply reported as incomplete and never handed to the driver.
TEST_F(EndToEnd, EndlessNoiseNeitherHangsNorCrashes) {
  // Non-blocking, so the noise stops when the test does even if nobody reads any more.
  const int controller = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(controller, 0);
  ASSERT_EQ(grantpt(controller), 0);
  ASSERT_EQ(unlockpt(controller), 0);
  device_ = ptsname(controller);
  std::atomic<bool> done{false};
  std::thread noise([&] {
    std::string junk(512, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 37 + 11) % 256);
    for (char& c : junk) c = c == '\n' ? 'x' : c;
    while (!done) {
      if (write(controller, junk.data(), junk.size()) < 0) usleep(1000);
    }
  });
  const Finished finished = ctl({"--timeout", "300", "read", "led", "1", "2", "3"});
  done = true;
  noise.join();
  close(controller);
  EXPECT_EQ(finished.exitCode, ExitCode::kReplyNotParsed) << finished.err;
  EXPECT_NE(finished.err.find("reply too long"), std::string::npos) << finished.err;
}

TEST_F(EndToEnd, ListPortsShowsTheSystemsPortsAndTheOnesNamed) {
  startSimulator();
  const Finished finished = runToCompletion({ZEPHLORCTL_PATH, "list-ports", device_}, kRunLimit);
  EXPECT_EQ(finished.exitCode, ExitCode::kSuccess) << finished.err;
  EXPECT_NE(finished.out.find(device_ + "  named on the command line\n"), std::string::npos)
      << finished.out;
}

TEST_F(EndToEnd, SimulatorLinkNamesItsDevice) {
  const std::string link = "/tmp/zephlor-e2e-link-" + std::to_string(getpid());
  startSimulator({"--link", link});
  device_ = link;
  const Finished finished = ctl({"read", "switch", "1", "2", "3"});
  EXPECT_EQ(finished.exitCode, ExitCode::kSuccess) << finished.err;
  simulator_.reset();
  EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link is removed when the simulator ends";
}

// The simulator serving an existing serial device: here one end of a pseudo-terminal that the
// test holds the other end of.
TEST(Simulator, ServesAnExistingDevice) {
  const int line = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(line, 0);
  ASSERT_EQ(grantpt(line), 0);
  ASSERT_EQ(unlockpt(line), 0);
  // Raw from the start, so a request sent before the simulator has opened it is not echoed.
  io::FdLine device(open(ptsname(line), O_RDWR | O_NOCTTY));
  ASSERT_TRUE(io::configureRaw8N1(device.fd(), 115200));
  BackgroundChild simulator({ZEPHLOR_SIM_PATH, "--device", ptsname(line), "--baud", "115200"});
  const std::string request = "VGS# 1 2 3\r\n";
  std::string reply;
  // Ask until the simulator has the device open and answers; each try waits for a whole line.
  for (int attempt = 0; attempt < 50 && reply.find('\n') == std::string::npos; ++attempt) {
    ASSERT_EQ(write(line, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    pollfd entry{line, POLLIN, 0};
    while (reply.find('\n') == std::string::npos && poll(&entry, 1, 100) > 0) {
      char chunk[64];
      const ssize_t count = read(line, chunk, sizeof chunk);
      if (count <= 0) break;
      reply.append(chunk, static_cast<size_t>(count));
    }
  }
  close(line);
  // Several tries may each have been answered; the first line is what counts.
  EXPECT_EQ(reply.substr(0, reply.find('\n') + 1), "RGS# 1 2 3 0\r\n");
}

TEST(Simulator, ServesStandardInputAndIgnoresUnknownLines) {
  const Finished finished = runToCompletion({ZEPHLOR_SIM_PATH, "--stdio", "--log"}, kRunLimit,
                                            "VLC# 1 2 3 75\r\nHELLO\r\nVGC# 1 2 3\nVGV# 1\r\n");
  EXPECT_EQ(finished.exitCode, 0);
  EXPECT_EQ(finished.out, "RLC# 1 2 3 75\r\nRGC# 1 2 3 75\r\nRGV# 1 VER 1.0 12/8/26\r\n");
  EXPECT_NE(finished.err.find("ignored HELLO"), std::string::npos) << finished.err;
}

TEST(Simulator, RefusesBadOptionsWithOneCompleteMessage) {
  const struct {
    std::vector<std::string> options;
    const char* message;
  } cases[] = {
      {{"--fault", "explode"}, "--fault takes KIND or KIND:P"},
      {{"--firmware-version", "two"}, "--firmware-version takes MAJOR.MINOR"},
      {{"--firmware-date", "1/2"}, "--firmware-date takes three numbers"},
      {{"--device", "/dev/null", "--baud", "12"}, "--baud takes one of"},
      {{"--seed", "-1"}, "--seed takes a whole number"},
      {{"--bogus"}, "unknown option \"--bogus\""},
      {{"--stdio", "--link", "/tmp/x"}, "--link and --stdio cannot be used together"},
      {{"--pty", "--device", "/dev/null"}, "--pty and --device cannot be used together"},
      {{"--seed", "1", "--seed", "2"}, "--seed is given more than once"},
      {{"--device"}, "--device needs a device path"},
      {{"--baud", "9600"}, "--baud sets the speed of --device"},
      {{"--max-items", "0"}, "--max-items takes a whole number from 1"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> command = {ZEPHLOR_SIM_PATH};
    command.insert(command.end(), c.options.begin(), c.options.end());
    const Finished finished = runToCompletion(command, kRunLimit);
    EXPECT_EQ(finished.exitCode, 2) << c.options[0];
    EXPECT_EQ(finished.err.rfind("zephlor-sim: ", 0), 0u) << finished.err;
    EXPECT_NE(finished.err.find(c.message), std::string::npos) << finished.err;
    EXPECT_EQ(finished.out, "") << "nothing is served";
  }
}

}  // namespace
}  // namespace zephlor::testing
