// Files the tools keep on disk: results written as they come, and the simulator's state, which is
// replaced whole. Each is held by one program at a time (an advisory lock on POSIX, the sharing
// mode on Windows), so two programs never write one file over each other.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace zephlor::io {

enum class FileFailure {
  kNone,
  kInUse,     // another program holds the file
  kUnusable,  // not a regular file, or it or its folder cannot be written
  kFailed,    // reading or writing failed
};

struct FileStatus {
  FileFailure failure = FileFailure::kNone;
  std::string message;  // for a person, naming the file
  bool ok() const { return failure == FileFailure::kNone; }
};

// A results file, held for this program alone.
class ResultsFile {
 public:
  virtual ~ResultsFile() = default;
  // Adds `data` at the end of the file.
  virtual FileStatus write(const char* data, size_t length) = 0;
  // Throws away what the file held before.
  virtual FileStatus clear() = 0;
  // Whether the file held nothing when it was opened.
  virtual bool heldNothing() const = 0;
};

// Opens `path` for results, created when missing, and holds it; what it holds stays until
// clear() is called.
std::unique_ptr<ResultsFile> openResultsFile(const std::string& path, FileStatus& status);

// The simulator's state file, held while the simulator runs.
class StateFile {
 public:
  virtual ~StateFile() = default;
  // All the file holds (nothing when it does not exist yet); a file over `limit` bytes, or one
  // that cannot be read to its end, is an error.
  virtual FileStatus read(std::string& contents, size_t limit) = 0;
  // Replaces what the file holds, atomically and durably: a new file created exclusively beside
  // it with its mode, synced, renamed over it, its folder synced. Through a symbolic link the
  // link's target is replaced, and the link stays.
  virtual FileStatus replace(const std::string& contents) = 0;
};

// Takes `path` as a state file: a regular file (after following links) or none yet, in a
// folder that can be written, the file writable too. Refused before anything is served.
std::unique_ptr<StateFile> openStateFile(const std::string& path, FileStatus& status);

}  // namespace zephlor::io
