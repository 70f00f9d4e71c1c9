#include "tell.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace zephlor::gateway {
namespace {

Telling current;

constexpr struct {
  const char* name;
  Priority priority;
} kPriorities[] = {
    {"error", Priority::kError}, {"warning", Priority::kWarning}, {"notice", Priority::kNotice},
    {"info", Priority::kInfo},   {"debug", Priority::kDebug},
};

}  // namespace

bool priorityNamed(const std::string& name, Priority& priority) {
  for (const auto& known : kPriorities) {
    if (name != known.name) continue;
    priority = known.priority;
    return true;
  }
  return false;
}

std::string priorityNames() {
  std::string names;
  for (size_t i = 0; i < std::size(kPriorities); ++i) {
    names += (i == 0 ? "" : i + 1 == std::size(kPriorities) ? " or " : ", ");
    names += kPriorities[i].name;
  }
  return names;
}

void setTelling(const Telling& telling) { current = telling; }

bool standardErrorIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat error {};
  if (stream == nullptr || fstat(2, &error) != 0) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  return std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 &&
         device == static_cast<unsigned long long>(error.st_dev) &&
         inode == static_cast<unsigned long long>(error.st_ino);
}

void tell(Priority priority, const std::string& text, bool named) {
  if (static_cast<int>(priority) > static_cast<int>(current.least)) return;
  const std::string prefix =
      current.journal ? "<" + std::to_string(static_cast<int>(priority)) + ">" : "";
  std::cerr << prefix + (named ? "zephlor-gateway: " : "") + text + "\n" << std::flush;
}

}  // namespace zephlor::gateway
