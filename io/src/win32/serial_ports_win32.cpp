// The serial ports of a Windows machine: the COMn names among the DOS device names, each with
// the device it stands for.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "zephlor_io/serial_port.h"

namespace zephlor::io {

std::vector<PortInfo> listSerialPorts() {
  std::vector<char> names(65536);
  const DWORD length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
  std::vector<PortInfo> ports;
  for (const char* name = names.data(); name < names.data() + length && *name != '\0';
       name += std::strlen(name) + 1) {
    const std::string device = name;
    if (device.size() <= 3 || _strnicmp(name, "COM", 3) != 0 ||
        !std::all_of(device.begin() + 3, device.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
      continue;
    }
    char target[512] = {};
    QueryDosDeviceA(name, target, sizeof target);
    ports.push_back({device, target});
  }
  std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
    return std::atoi(a.name.c_str() + 3) < std::atoi(b.name.c_str() + 3);
  });
  return ports;
}

}  // namespace zephlor::io
