// zephlor-sim: a Zephlor controller on a pseudo-terminal, a serial device or standard I/O.
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "pseudo_terminal.h"
#include "sim_options.h"
#include "zephlor_host/exit_codes.h"
#include "zephlor_host/visible_bytes.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_serial/stop_request.h"
#include "zephlor_sim/serve_lines.h"

namespace {

using namespace zephlor;

int fail(ExitCode code, const std::string& message) {
  std::cerr << "zephlor-sim: " << message << std::endl;
  return code;
}

int finish(const sim::ServeResult& served, const std::string& what) {
  if (served.end != sim::ServeEnd::kLineFailed) return kSuccess;
  return fail(kDeviceError, what + " failed: " + served.message);
}

// The symbolic link --link asks for, made once the pseudo-terminal exists, and removed at the end
// only while it still names this simulator's device: another simulator may have taken the name.
class DeviceLink {
 public:
  // Refuses a path that exists and is not a link: it is somebody's file, not an old link.
  static bool mayReplace(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) != 0 || S_ISLNK(status.st_mode);
  }

  bool create(const std::string& path, const std::string& device) {
    // Made under a temporary name and renamed, so the path never names nothing or a half link.
    const std::string temporary = path + ".zephlor-sim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(device.c_str(), temporary.c_str()) != 0) return false;
    if (rename(temporary.c_str(), path.c_str()) != 0) {
      unlink(temporary.c_str());
      return false;
    }
    path_ = path;
    device_ = device;
    return true;
  }

  ~DeviceLink() {
    if (path_.empty()) return;
    char target[4096];
    const ssize_t length = readlink(path_.c_str(), target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<size_t>(length)) == device_) {
      unlink(path_.c_str());
    }
  }

 private:
  std::string path_;
  std::string device_;
};

}  // namespace

int main(int argc, char** argv) {
  sim::SimOptions options;
  std::string error;
  if (!sim::parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    return fail(kUsage, error + "\n(see zephlor-sim --help)");
  }
  if (options.help) {
    std::cout << sim::kSimUsage;
    return kSuccess;
  }
  if (!options.link.empty() && !DeviceLink::mayReplace(options.link)) {
    return fail(kUsage, "--link " + host::quotedBytes(options.link) +
                            " exists and is not a symbolic link; it is left alone");
  }

  serial::installStopHandlers();
  sim::ControllerModel controller(options.settings.firmware, options.maxItems);
  sim::FaultInjector faults(options.settings.faults);
  const auto logLine = [&options](const std::string& line) {
    if (options.log) std::cerr << "zephlor-sim: " << line << std::endl;
  };

  switch (options.listen) {
    case sim::Listen::kStdio: {
      const sim::ServedLine line{STDIN_FILENO, STDOUT_FILENO, true, nullptr};
      return finish(sim::serveLines(line, controller, faults, logLine), "standard input");
    }
    case sim::Listen::kDevice: {
      serial::OpenResult opened = serial::openSerialDevice(options.device, options.baud);
      if (!opened.port.isOpen()) return fail(serial::exitCodeFor(opened.failure), opened.message);
      logLine("serving " + options.device + " at " + std::to_string(options.baud) + " baud");
      const int fd = opened.port.fd();
      const sim::ServedLine line{fd, fd, false, [fd] { serial::discardUnsentOutput(fd); }};
      return finish(sim::serveLines(line, controller, faults, logLine), options.device);
    }
    case sim::Listen::kPty: {
      sim::PseudoTerminal terminal;
      if (!sim::openPseudoTerminal(terminal, error)) return fail(kDeviceError, error);
      DeviceLink link;
      if (!options.link.empty() && !link.create(options.link, terminal.devicePath)) {
        return fail(kDeviceError, "cannot link " + host::quotedBytes(options.link) + " to " +
                                      terminal.devicePath);
      }
      std::cout << terminal.devicePath << std::endl;
      const int fd = terminal.controllerSide.fd();
      const sim::ServedLine line{fd, fd, false, [&terminal] { sim::discardUnread(terminal); }};
      return finish(sim::serveLines(line, controller, faults, logLine), terminal.devicePath);
    }
  }
  return kSuccess;
}
