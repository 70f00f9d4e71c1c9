#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace zephlor::testing {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Starts `argv` with its standard streams on the given descriptors (-1: /dev/null), and returns
// once the new program has replaced the forked copy of this one, so that what the test then
// sees of the child (its signal handlers, above all) is the program's own.
pid_t spawn(const std::vector<std::string>& argv, int in, int out, int err) {
  int execSeen[2];
  if (pipe2(execSeen, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    const int devNull = open("/dev/null", O_RDWR);
    dup2(in >= 0 ? in : devNull, STDIN_FILENO);
    dup2(out >= 0 ? out : devNull, STDOUT_FILENO);
    dup2(err >= 0 ? err : devNull, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(execSeen[1]);
  char none;
  while (pid > 0 && read(execSeen[0], &none, 1) < 0 && errno == EINTR) {
  }
  close(execSeen[0]);
  return pid;
}

// Whether process `pid` has installed a handler for `signal`: its bit in the SigCgt mask of
// /proc/PID/status.
bool catchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) == 0) {
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
    }
  }
  return false;
}

// Whether process `pid`'s main thread sleeps in poll(), ppoll() or select(): the kernel function
// it waits in, /proc/PID/wchan, names them so.
bool sleepsInPoll(pid_t pid) {
  std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
  std::string function;
  std::getline(wchan, function);
  return function.find("poll") != std::string::npos || function.find("select") != std::string::npos;
}

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Waits for `pid` until `deadline`; kills it there. Returns its exit code, -1 if killed.
int reap(pid_t pid, Clock::time_point deadline, bool& timedOut, long* peakKilobytes = nullptr) {
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      timedOut = true;
      return -1;
    }
    usleep(1000);
  }
  if (peakKilobytes != nullptr) *peakKilobytes = usage.ru_maxrss;
  return exitCodeOf(status);
}

}  // namespace

Finished runToCompletion(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::string& input) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
      pipe2(errPipe, O_CLOEXEC) != 0) {
    return {};
  }
  const pid_t pid = spawn(argv, inPipe[0], outPipe[1], errPipe[1]);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  // The input goes in as the child takes it, while its output is collected, so neither side can
  // wait on the other; a child that does not read it gets a broken pipe.
  signal(SIGPIPE, SIG_IGN);
  fcntl(inPipe[1], F_SETFL, O_NONBLOCK);
  size_t inputSent = 0;
  if (input.empty()) close(inPipe[1]);

  Finished finished;
  const Clock::time_point deadline = Clock::now() + limit;
  pollfd streams[3] = {{outPipe[0], POLLIN, 0},
                       {errPipe[0], POLLIN, 0},
                       {input.empty() ? -1 : inPipe[1], POLLOUT, 0}};
  std::string* sinks[2] = {&finished.out, &finished.err};
  int openStreams = 2;
  while (openStreams > 0 && Clock::now() < deadline) {
    if (poll(streams, 3, millisecondsLeft(deadline)) <= 0) continue;
    if (streams[2].fd >= 0 && streams[2].revents != 0) {
      const ssize_t written =
          write(streams[2].fd, input.data() + inputSent, input.size() - inputSent);
      if (written > 0) inputSent += static_cast<size_t>(written);
      if ((written < 0 && errno != EAGAIN) || inputSent == input.size()) {
        close(streams[2].fd);
        streams[2].fd = -1;
      }
    }
    for (int i = 0; i < 2; ++i) {
      if (streams[i].fd < 0 || streams[i].revents == 0) continue;
      char chunk[4096];
      const ssize_t count = read(streams[i].fd, chunk, sizeof chunk);
      if (count > 0) {
        sinks[i]->append(chunk, static_cast<size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        close(streams[i].fd);
        streams[i].fd = -1;
        --openStreams;
      }
    }
  }
  for (pollfd& stream : streams) {
    if (stream.fd >= 0) close(stream.fd);
  }
  finished.exitCode = reap(pid, deadline, finished.timedOut, &finished.peakResidentKilobytes);
  return finished;
}

BackgroundChild::BackgroundChild(const std::vector<std::string>& argv, bool mergeErrors) {
  int outPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return;
  pid_ = spawn(argv, -1, outPipe[1], mergeErrors ? outPipe[1] : STDERR_FILENO);
  close(outPipe[1]);
  out_ = outPipe[0];
}

BackgroundChild::~BackgroundChild() { stop(); }

std::optional<std::string> BackgroundChild::readLine(std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    const size_t lineEnd = buffered_.find('\n');
    if (lineEnd != std::string::npos) {
      std::string line = buffered_.substr(0, lineEnd);
      buffered_.erase(0, lineEnd + 1);
      return line;
    }
    pollfd stream{out_, POLLIN, 0};
    if (out_ < 0 || poll(&stream, 1, millisecondsLeft(deadline)) <= 0) return std::nullopt;
    char chunk[256];
    const ssize_t count = read(out_, chunk, sizeof chunk);
    if (count <= 0) return std::nullopt;
    buffered_.append(chunk, static_cast<size_t>(count));
  }
}

bool BackgroundChild::signalOnceReady(int signal, std::chrono::milliseconds limit, bool inPoll) {
  const Clock::time_point deadline = Clock::now() + limit;
  while (pid_ > 0 && !(catchesSignal(pid_, signal) && (!inPoll || sleepsInPoll(pid_)))) {
    if (Clock::now() >= deadline) return false;
    usleep(1000);
  }
  return pid_ > 0 && kill(pid_, signal) == 0;
}

std::optional<int> BackgroundChild::waitForExit(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return std::nullopt;
  int status = 0;
  const Clock::time_point deadline = Clock::now() + limit;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) return std::nullopt;
    usleep(1000);
  }
  pid_ = -1;
  return exitCodeOf(status);
}

void BackgroundChild::closeOutput() {
  if (out_ >= 0) close(out_);
  out_ = -1;
}

int BackgroundChild::stop() {
  if (pid_ <= 0) {
    closeOutput();
    return -1;
  }
  kill(pid_, SIGTERM);
  bool timedOut = false;
  const int code = reap(pid_, Clock::now() + std::chrono::seconds(5), timedOut);
  pid_ = -1;
  closeOutput();
  return code;
}

}  // namespace zephlor::testing
