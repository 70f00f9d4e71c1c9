// The controller's values kept in a file between runs (--state FILE): one item a line, as the
// tools name it, "station-level 1 2 3 = 75"; blank lines and lines starting with # are passed
// over, and the # lines are kept when the file is written again. 8-bit items hold 0 to 255, the
// thermostat any signed 32-bit number.
//
// The file is the plant's memory and is kept like a database keeps its file: refused at start
// when it could not be kept, held against a second simulator, saved whole and durably (a new
// file renamed over it), and saved within a second of every change, so a value the simulator
// confirmed survives even a SIGKILL.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "zephlor_facts/exit_codes.h"
#include "zephlor_io/kept_files.h"
#include "zephlor_sim/controller_model.h"

namespace zephlor::sim {

// The longest line a state file may have, and the largest file.
constexpr size_t kLongestStateLine = 4096;
constexpr size_t kLargestStateFile = size_t{64} << 20;

// Reads `text`, a state file's contents, into `controller`, and its # lines into `comments`.
// False with "LINE: what is wrong" in `error` (never the line itself, which may be long).
bool parseState(const std::string& text, ControllerModel& controller,
                std::vector<std::string>& comments, std::string& error);

// The file's contents for `controller`'s values after `comments`.
std::string formatState(const ControllerModel& controller,
                        const std::vector<std::string>& comments);

class StateKeeper {
 public:
  using Log = std::function<void(const std::string&)>;

  // Takes `path` and loads it into `controller`; nothing, with `code` and `error`, when the file
  // cannot be kept or read, or another simulator holds it.
  static std::unique_ptr<StateKeeper> open(const std::string& path, ControllerModel& controller,
                                           std::mutex& controllerLock, ExitCode& code,
                                           std::string& error);
  ~StateKeeper();

  // Saves, at most once a second, whenever a value changed, until finish(). Failures go to `log`.
  void keepSaving(Log log);
  // Stops saving in the background and saves once more; false with `error` when that fails.
  bool finish(std::string& error);

 private:
  StateKeeper(std::unique_ptr<io::StateFile> file, ControllerModel& controller,
              std::mutex& controllerLock, std::vector<std::string> comments);
  bool saveIfChanged(std::string& error);

  std::unique_ptr<io::StateFile> file_;
  ControllerModel& controller_;
  std::mutex& controllerLock_;
  std::vector<std::string> comments_;
  uint64_t savedChanges_;
  std::mutex stopLock_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::thread saver_;
};

}  // namespace zephlor::sim
