// Kept files on Windows: a file is held by opening it without write sharing, so another
// program's open fails with a sharing violation; a state file is replaced by a new file created
// exclusively beside it, flushed, and moved over it with write-through.
#include <windows.h>

#include "system_message.h"
#include "zephlor_io/kept_files.h"

namespace zephlor::io {
namespace {

FileStatus failed(FileFailure failure, const std::string& message, DWORD error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
    return {FileFailure::kInUse, message + ": another program holds it"};
  }
  return {failure, message + ": " + systemMessage(error)};
}

bool writeWhole(HANDLE file, const char* data, size_t length) {
  while (length > 0) {
    const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    length -= written;
  }
  return true;
}

HANDLE openHeld(const std::string& path, DWORD access, DWORD disposition) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Win32ResultsFile : public ResultsFile {
 public:
  Win32ResultsFile(HANDLE file, std::string path, bool heldNothing)
      : file_(file), path_(std::move(path)), heldNothing_(heldNothing) {}
  ~Win32ResultsFile() override { CloseHandle(file_); }

  FileStatus write(const char* data, size_t length) override {
    LARGE_INTEGER end{};
    if (SetFilePointerEx(file_, end, nullptr, FILE_END) && writeWhole(file_, data, length)) {
      return {};
    }
    const DWORD error = GetLastError();
    return failed(FileFailure::kFailed, "cannot write " + path_, error);
  }
  FileStatus clear() override {
    LARGE_INTEGER start{};
    if (GetFileType(file_) != FILE_TYPE_DISK ||
        (SetFilePointerEx(file_, start, nullptr, FILE_BEGIN) && SetEndOfFile(file_))) {
      return {};
    }
    const DWORD error = GetLastError();
    return failed(FileFailure::kFailed, "cannot empty " + path_, error);
  }
  bool heldNothing() const override { return heldNothing_; }

 private:
  HANDLE file_;
  std::string path_;
  bool heldNothing_;
};

class Win32StateFile : public StateFile {
 public:
  Win32StateFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}
  ~Win32StateFile() override { CloseHandle(file_); }

  FileStatus read(std::string& contents, size_t limit) override {
    contents.clear();
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) {
      const DWORD error = GetLastError();
      return failed(FileFailure::kFailed, "cannot read " + path_, error);
    }
    char buffer[65536];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file_, buffer, sizeof buffer, &got, nullptr)) {
        const DWORD error = GetLastError();
        return failed(FileFailure::kFailed, "cannot read " + path_, error);
      }
      if (got == 0) return {};
      contents.append(buffer, got);
      if (contents.size() > limit) {
        return {FileFailure::kFailed,
                "cannot read " + path_ + ": it is over " + std::to_string(limit) + " bytes"};
      }
    }
  }

  FileStatus replace(const std::string& contents) override {
    const std::string name = path_ + ".new-" + std::to_string(GetCurrentProcessId());
    const HANDLE fresh = openHeld(name, GENERIC_WRITE, CREATE_NEW);
    if (fresh == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      return failed(FileFailure::kFailed, "cannot create " + name, error);
    }
    const bool written =
        writeWhole(fresh, contents.data(), contents.size()) && FlushFileBuffers(fresh);
    const DWORD writeError = GetLastError();
    CloseHandle(fresh);
    if (!written) {
      DeleteFileA(name.c_str());
      return failed(FileFailure::kFailed, "cannot write " + name, writeError);
    }
    // The old file is let go only for the moment of the move, then the new one is held again.
    CloseHandle(file_);
    const bool moved = MoveFileExA(name.c_str(), path_.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    const DWORD moveError = GetLastError();
    file_ = openHeld(path_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    const DWORD holdError = GetLastError();
    if (!moved) {
      DeleteFileA(name.c_str());
      return failed(FileFailure::kFailed, "cannot replace " + path_, moveError);
    }
    if (file_ == INVALID_HANDLE_VALUE) {
      return failed(FileFailure::kFailed, "cannot hold " + path_, holdError);
    }
    return {};
  }

 private:
  HANDLE file_;
  std::string path_;
};

}  // namespace

std::unique_ptr<ResultsFile> openResultsFile(const std::string& path, FileStatus& status) {
  const HANDLE file = openHeld(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    status = failed(FileFailure::kFailed, "cannot write " + path, error);
    return nullptr;
  }
  LARGE_INTEGER size{};
  if (GetFileType(file) == FILE_TYPE_DISK) GetFileSizeEx(file, &size);
  return std::make_unique<Win32ResultsFile>(file, path, size.QuadPart == 0);
}

std::unique_ptr<StateFile> openStateFile(const std::string& path, FileStatus& status) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status = {FileFailure::kUnusable, "cannot keep the state in " + path + ": it is a folder"};
    return nullptr;
  }
  const HANDLE file = openHeld(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    status = failed(FileFailure::kUnusable, "cannot keep the state in " + path, error);
    return nullptr;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    status = {FileFailure::kUnusable,
              "cannot keep the state in " + path + ": it is not a regular file"};
    return nullptr;
  }
  return std::make_unique<Win32StateFile>(file, path);
}

}  // namespace zephlor::io
