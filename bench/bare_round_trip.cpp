// The least a client can do for one request and its reply: write the line, read until its line
// end. The yardstick for zephlorctl's own round trip in bench/round_trip.sh.
//   bare_round_trip tcp:127.0.0.1:PORT|/dev/pts/N COUNT
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_round_trip tcp:127.0.0.1:PORT|DEVICE COUNT\n");
    return 2;
  }
  const std::string device = argv[1];
  const long count = std::atol(argv[2]);
  int fd = -1;
  if (device.rfind("tcp:", 0) == 0) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port =
        htons(static_cast<uint16_t>(std::atoi(device.c_str() + device.rfind(':') + 1)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 1;
  } else {
    fd = open(device.c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) return 1;
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
  }
  const char request[] = "VLS# 1 2 3\r\n";
  char reply[256];
  for (long i = 0; i < count; ++i) {
    if (write(fd, request, sizeof request - 1) != static_cast<ssize_t>(sizeof request - 1))
      return 1;
    size_t got = 0;
    while (got == 0 || reply[got - 1] != '\n') {
      const ssize_t n = read(fd, reply + got, sizeof reply - got);
      if (n <= 0) return 1;
      got += static_cast<size_t>(n);
    }
  }
  close(fd);
  return 0;
}
