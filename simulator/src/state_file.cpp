#include "state_file.h"

#include <chrono>
#include <sstream>

#include "zephlor_text/visible_bytes.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::sim {
namespace {

constexpr const char* kHeading = "# zephlor-sim state: one item a line, KIND ADDRESS... = VALUE";

// One line's item and value; false with what is wrong.
bool parseLine(const std::string& line, ControllerModel& controller, std::string& error) {
  std::istringstream words(line);
  std::string name;
  words >> name;
  const std::optional<Register> where = registerNamed(name);
  if (!where) {
    error = "unknown item kind " + text::quotedBytes(name);
    return false;
  }
  ItemAddress address{};
  std::string word;
  for (int i = 0; i < addressCount(*where); ++i) {
    long long number = 0;
    if (!(words >> word) || !text::parseBounded(word, 0, 255, number)) {
      error = std::string(name) + " takes " + std::to_string(addressCount(*where)) +
              " address numbers from 0 to 255";
      return false;
    }
    address[static_cast<size_t>(i)] = static_cast<uint8_t>(number);
  }
  const bool whole = holdsWholeValues(*where);
  long long value = 0;
  std::string equals, extra;
  if (!(words >> equals) || equals != "=" || !(words >> word) ||
      !text::parseBounded(word, whole ? INT32_MIN : 0, whole ? INT32_MAX : 255, value) ||
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

bool parseState(const std::string& text, ControllerModel& controller,
                std::vector<std::string>& comments, std::string& error) {
  size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    const size_t end = std::min(text.find('\n', start), text.size());
    if (end - start > kLongestStateLine) {
      error =
          std::to_string(number) + ": longer than " + std::to_string(kLongestStateLine) + " bytes";
      return false;
    }
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (line[first] == '#') {
      comments.push_back(line);
    } else if (!parseLine(line, controller, error)) {
      error = std::to_string(number) + ": " + error;
      return false;
    }
  }
  return true;
}

std::string formatState(const ControllerModel& controller,
                        const std::vector<std::string>& comments) {
  std::string text;
  for (const std::string& comment : comments) text += comment + "\n";
  for (const auto& [key, value] : controller.values()) {
    text += registerName(key.first);
    for (int i = 0; i < addressCount(key.first); ++i) {
      text += " " + std::to_string(key.second[static_cast<size_t>(i)]);
    }
    text += " = " + std::to_string(value) + "\n";
  }
  return text;
}

std::unique_ptr<StateKeeper> StateKeeper::open(const std::string& path, ControllerModel& controller,
                                               std::mutex& controllerLock, ExitCode& code,
                                               std::string& error) {
  io::FileStatus status;
  std::unique_ptr<io::StateFile> file = io::openStateFile(path, status);
  std::string text;
  if (file) status = file->read(text, kLargestStateFile);
  if (!status.ok()) {
    code = status.failure == io::FileFailure::kInUse ? kDeviceInUse : kOutputFailed;
    error =
        (status.failure == io::FileFailure::kInUse ? "state file in use: " : "") + status.message;
    return nullptr;
  }
  std::vector<std::string> comments;
  if (!parseState(text, controller, comments, error)) {
    code = kUsage;
    error = path + ":" + error;
    return nullptr;
  }
  if (comments.empty()) comments.push_back(kHeading);
  return std::unique_ptr<StateKeeper>(
      new StateKeeper(std::move(file), controller, controllerLock, std::move(comments)));
}

StateKeeper::StateKeeper(std::unique_ptr<io::StateFile> file, ControllerModel& controller,
                         std::mutex& controllerLock, std::vector<std::string> comments)
    : file_(std::move(file)),
      controller_(controller),
      controllerLock_(controllerLock),
      comments_(std::move(comments)),
      savedChanges_(controller.changes()) {}

StateKeeper::~StateKeeper() {
  std::string ignored;
  finish(ignored);
}

bool StateKeeper::saveIfChanged(std::string& error) {
  std::string text;
  uint64_t changes = 0;
  {
    const std::lock_guard<std::mutex> held(controllerLock_);
    changes = controller_.changes();
    if (changes == savedChanges_) return true;
    text = formatState(controller_, comments_);
  }
  const io::FileStatus status = file_->replace(text);
  if (!status.ok()) {
    error = status.message;
    return false;
  }
  savedChanges_ = changes;
  return true;
}

void StateKeeper::keepSaving(Log log) {
  saver_ = std::thread([this, log] {
    std::unique_lock<std::mutex> held(stopLock_);
    std::string lastError;
    while (!stopped_.wait_for(held, std::chrono::seconds(1), [this] { return stopping_; })) {
      std::string error;
      if (!saveIfChanged(error) && error != lastError) log(error);
      lastError = error;
    }
  });
}

bool StateKeeper::finish(std::string& error) {
  {
    const std::lock_guard<std::mutex> held(stopLock_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (saver_.joinable()) saver_.join();
  return saveIfChanged(error);
}

}  // namespace zephlor::sim
