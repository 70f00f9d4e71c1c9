// The simulator's POSIX listeners: a pseudo-terminal with an optional symbolic link to it, and
// standard input and output.
#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

#include "listeners.h"
#include "zephlor_io/fd_line.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::sim {
namespace {

int fail(ExitCode code, const std::string& message) {
  std::cerr << "zephlor-sim: " << message << std::endl;
  return code;
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

int listenOnPseudoTerminal(const SimOptions& options, const Serve& serve) {
  if (!options.link.empty() && !DeviceLink::mayReplace(options.link)) {
    return fail(kUsage, "--link " + text::quotedBytes(options.link) +
                            " exists and is not a symbolic link; it is left alone");
  }
  std::string device;
  std::string error;
  const std::unique_ptr<io::ByteLine> terminal = io::openPseudoTerminal(device, error);
  if (!terminal) return fail(kDeviceError, error);
  DeviceLink link;
  if (!options.link.empty() && !link.create(options.link, device)) {
    return fail(kDeviceError, "cannot link " + text::quotedBytes(options.link) + " to " + device);
  }
  std::cout << device << std::endl;
  return serve(ServedLine{*terminal, false, true}, device);
}

int listenOnStandardStreams(const Serve& serve) {
  io::FdLine streams(STDIN_FILENO, STDOUT_FILENO);
  return serve(ServedLine{streams, true, false}, "standard input");
}

}  // namespace zephlor::sim
