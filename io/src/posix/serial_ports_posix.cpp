// The serial ports of a Linux machine: the stable names udev makes under /dev/serial/by-id, then
// every tty whose entry in /sys/class/tty has a device behind it (real hardware, not the virtual
// consoles), described by the driver that serves it.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "zephlor_io/serial_port.h"

namespace zephlor::io {
namespace {

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* directory = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(directory)) {
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(directory);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string linkTarget(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

std::string lastPart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

std::vector<PortInfo> listSerialPorts() {
  std::vector<PortInfo> ports;
  const std::string byId = "/dev/serial/by-id/";
  for (const std::string& name : entriesOf(byId)) {
    ports.push_back({byId + name, "-> /dev/" + lastPart(linkTarget(byId + name))});
  }
  const std::string classTty = "/sys/class/tty/";
  for (const std::string& name : entriesOf(classTty)) {
    const std::string device = classTty + name + "/device";
    if (access(device.c_str(), F_OK) != 0) continue;
    const std::string driver = lastPart(linkTarget(device + "/driver"));
    ports.push_back({"/dev/" + name, driver.empty() ? "" : "driver " + driver});
  }
  return ports;
}

}  // namespace zephlor::io
