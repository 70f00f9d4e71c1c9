// Loaded before the C library (LD_PRELOAD), it stands in for getaddrinfo as a name server that
// never answers would: it says on standard error that a lookup began, so a test knows the
// program is in it, and then holds the caller for a minute.
#include <netdb.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

extern "C" int getaddrinfo(const char* node, const char*, const struct addrinfo*,
                           struct addrinfo**) {
  const char* said = "slow lookup began\n";
  [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, said, std::strlen(said));
  (void)node;
  timespec left{60, 0};
  while (nanosleep(&left, &left) != 0) {
  }
  return EAI_AGAIN;
}
