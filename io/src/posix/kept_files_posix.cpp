// Kept files on POSIX: flock for holding a file, mkostemp beside it for a replacement that no
// planted link can redirect, fsync of the file and of its folder around the rename.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "zephlor_io/kept_files.h"

namespace zephlor::io {
namespace {

FileStatus failed(FileFailure failure, const std::string& message) {
  return {failure, message + ": " + std::strerror(errno)};
}

// Writes all of `data`, carrying on after a signal.
bool writeWhole(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

// Holds `fd` for this program alone. A file renamed over `path` between its opening and the lock
// would leave the lock on a file nobody uses, so `path` must still name it afterwards.
FileStatus hold(int fd, const std::string& path, const char* what, bool& stale) {
  stale = false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      return {FileFailure::kInUse, path + ": another program holds this " + what};
    }
    return failed(FileFailure::kFailed, "cannot lock " + path);
  }
  struct stat held {};
  struct stat named {};
  stale = fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
          held.st_ino != named.st_ino;
  return {};
}

class PosixResultsFile : public ResultsFile {
 public:
  PosixResultsFile(int fd, std::string path, bool regular, bool heldNothing)
      : fd_(fd), path_(std::move(path)), regular_(regular), heldNothing_(heldNothing) {}
  ~PosixResultsFile() override { close(fd_); }

  FileStatus write(const char* data, size_t length) override {
    if (writeWhole(fd_, data, length)) return {};
    return failed(FileFailure::kFailed, "cannot write " + path_);
  }
  FileStatus clear() override {
    if (!regular_ || ftruncate(fd_, 0) == 0) return {};
    return failed(FileFailure::kFailed, "cannot empty " + path_);
  }
  bool heldNothing() const override { return heldNothing_; }

 private:
  int fd_;
  std::string path_;
  bool regular_;
  bool heldNothing_;
};

// Follows symbolic links from `path` to the file they name, which need not exist yet.
std::string followLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat about {};
    if (lstat(path.c_str(), &about) != 0 || !S_ISLNK(about.st_mode)) break;
    std::vector<char> target(static_cast<size_t>(PATH_MAX) + 1);
    const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
    if (length < 0) break;
    const std::string named(target.data(), static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    path = named.front() == '/' || slash == std::string::npos ? named
                                                              : path.substr(0, slash + 1) + named;
  }
  return path;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

class PosixStateFile : public StateFile {
 public:
  PosixStateFile(int fd, std::string target) : fd_(fd), target_(std::move(target)) {}
  ~PosixStateFile() override { close(fd_); }

  FileStatus read(std::string& contents, size_t limit) override {
    contents.clear();
    char buffer[65536];
    for (off_t at = 0;;) {
      const ssize_t got = pread(fd_, buffer, sizeof buffer, at);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return failed(FileFailure::kFailed, "cannot read " + target_);
      if (got == 0) return {};
      contents.append(buffer, static_cast<size_t>(got));
      at += got;
      if (contents.size() > limit) {
        return {FileFailure::kFailed,
                "cannot read " + target_ + ": it is over " + std::to_string(limit) + " bytes"};
      }
    }
  }

  FileStatus replace(const std::string& contents) override {
    const std::string folder = folderOf(target_);
    std::string name = folder + "/." + target_.substr(target_.rfind('/') + 1) + ".XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return failed(FileFailure::kFailed, "cannot create a file in " + folder);
    struct stat original {};
    fstat(fd_, &original);
    // The new file takes the old one's place whole: its mode, its owner where this program may
    // give it, and the lock, held before the file has its name.
    const bool written = fchmod(fd, original.st_mode & 07777) == 0 &&
                         flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         writeWhole(fd, contents.data(), contents.size()) && fsync(fd) == 0;
    if (written && fchown(fd, original.st_uid, original.st_gid) != 0) errno = 0;
    if (!written || rename(name.c_str(), target_.c_str()) != 0) {
      const FileStatus status = failed(FileFailure::kFailed, "cannot replace " + target_);
      unlink(name.c_str());
      close(fd);
      return status;
    }
    close(fd_);
    fd_ = fd;
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = directory >= 0 && fsync(directory) == 0;
    if (directory >= 0) close(directory);
    if (!synced) return failed(FileFailure::kFailed, "cannot sync the folder " + folder);
    return {};
  }

 private:
  int fd_;
  std::string target_;
};

}  // namespace

std::unique_ptr<ResultsFile> openResultsFile(const std::string& path, FileStatus& status) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      status = failed(FileFailure::kFailed, "cannot write " + path);
      return nullptr;
    }
    struct stat about {};
    fstat(fd, &about);
    // A pipe or a device (/dev/null, /dev/stdout) is written as it is: nothing to hold or empty.
    if (!S_ISREG(about.st_mode)) return std::make_unique<PosixResultsFile>(fd, path, false, true);
    bool stale = false;
    status = hold(fd, path, "results file", stale);
    if (status.ok() && !stale) {
      return std::make_unique<PosixResultsFile>(fd, path, true, about.st_size == 0);
    }
    close(fd);
    if (!status.ok()) return nullptr;
  }
  status = {FileFailure::kInUse, path + ": another program keeps replacing it"};
  return nullptr;
}

std::unique_ptr<StateFile> openStateFile(const std::string& path, FileStatus& status) {
  const std::string target = followLinks(path);
  const std::string folder = folderOf(target);
  struct stat about {};
  if (stat(target.c_str(), &about) == 0 && !S_ISREG(about.st_mode)) {
    status = {FileFailure::kUnusable,
              "cannot keep the state in " + path +
                  ": it is not a regular file (a folder, a device, a FIFO)"};
    return nullptr;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    status = failed(FileFailure::kUnusable,
                    "cannot keep the state in " + path + ": its folder " + folder +
                        " cannot be written, so the file cannot be replaced");
    return nullptr;
  }
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int fd = open(target.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0666);
    if (fd < 0) {
      status = failed(FileFailure::kUnusable, "cannot keep the state in " + path);
      return nullptr;
    }
    bool stale = false;
    status = hold(fd, target, "state file", stale);
    if (status.ok() && !stale) return std::make_unique<PosixStateFile>(fd, target);
    close(fd);
    if (!status.ok()) return nullptr;
  }
  status = {FileFailure::kInUse, path + ": another program keeps replacing it"};
  return nullptr;
}

}  // namespace zephlor::io
