#include "state_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "zephlor_host/visible_bytes.h"
#include "zephlor_host/whole_number.h"

namespace zephlor::sim {
namespace {

// One line's item and value; false with what is wrong.
bool parseLine(const std::string& line, ControllerModel& controller, std::string& error) {
  std::istringstream words(line);
  std::string name;
  words >> name;
  const std::optional<Register> where = registerNamed(name);
  if (!where) {
    error = "unknown item kind " + host::quotedBytes(name);
    return false;
  }
  ItemAddress address{};
  std::string word;
  for (int i = 0; i < addressCount(*where); ++i) {
    long long number = 0;
    if (!(words >> word) || !host::parseBounded(word, 0, 255, number)) {
      error = std::string(name) + " takes " + std::to_string(addressCount(*where)) +
              " address numbers from 0 to 255";
      return false;
    }
    address[static_cast<size_t>(i)] = static_cast<uint8_t>(number);
  }
  const bool whole = *where == Register::kThermostat;
  long long value = 0;
  std::string equals, extra;
  if (!(words >> equals) || equals != "=" || !(words >> word) ||
      !host::parseBounded(word, whole ? INT32_MIN : 0, whole ? INT32_MAX : 255, value) ||
      (words >> extra)) {
    error = "expected \"= VALUE\" after the address numbers, the value " +
            std::string(whole ? "a signed 32-bit number" : "from 0 to 255");
    return false;
  }
  if (!controller.setValue(*where, address, static_cast<int32_t>(value))) {
    error = "more items than --max-items";
    return false;
  }
  return true;
}

}  // namespace

bool loadState(const std::string& path, ControllerModel& controller, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    if (errno == ENOENT) return true;
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    const size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    if (!parseLine(line, controller, error)) {
      error = path + ":" + std::to_string(number) + ": " + error;
      return false;
    }
  }
  return true;
}

bool saveState(const std::string& path, const ControllerModel& controller, std::string& error) {
  const std::string temporary = path + ".new";
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << "# zephlor-sim state: one item a line, KIND ADDRESS... = VALUE\n";
    for (const auto& [key, value] : controller.values()) {
      file << registerName(key.first);
      for (int i = 0; i < addressCount(key.first); ++i) {
        file << " " << static_cast<int>(key.second[static_cast<size_t>(i)]);
      }
      file << " = " << value << "\n";
    }
    if (!file.flush()) {
      error = "cannot write " + temporary + ": " + std::strerror(errno);
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot replace " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace zephlor::sim
