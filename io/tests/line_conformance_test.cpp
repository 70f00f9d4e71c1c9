// The line conformance table against the POSIX backends and the simulated link, each with its
// own runner. (The Win32 backend runs the same table under Wine: see line_conformance_client.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "line_conformance.h"
#include "zephlor_io/fd_line.h"
#include "zephlor_sim/simulated_link.h"

namespace zephlor::conformance {
namespace {

constexpr std::chrono::milliseconds kTimeout{300};

void expectConformance(host::LineTransport& transport, bool withHangUp) {
  int passed = 0;
  const std::vector<std::string> failures = runCases(transport, kTimeout, withHangUp, passed);
  for (const std::string& failure : failures) ADD_FAILURE() << failure;
  EXPECT_EQ(static_cast<size_t>(passed), cases().size() - (withHangUp ? 0 : 1));
}

// A device of ours opened as the host opens one, the peer serving the other end (which
// `peerEnd` gives, once the client is there) on a thread of its own.
void expectConformanceOf(const std::string& device, const std::function<int()>& peerEnd) {
  std::thread peer([&peerEnd] {
    io::FdLine line(peerEnd());
    servePeer(line);
  });
  io::OpenResult opened = io::openLine(device, 9600, std::chrono::milliseconds(2000));
  EXPECT_TRUE(opened.line) << opened.message;
  if (opened.line) {
    io::SerialLineTransport transport(*opened.line);
    expectConformance(transport, true);
  }
  peer.join();
}

TEST(LineConformance, SimulatedLink) {
  // The simulated link has no other end to hang up.
  sim::SimulatedLink link(
      [](const std::string& request) {
        std::vector<sim::Chunk> reply;
        const int index = caseAsked(request);
        if (index < 0) return reply;
        for (const Piece& piece : cases()[static_cast<size_t>(index)].reply) {
          reply.push_back({piece.pauseBefore, piece.bytes});
        }
        return reply;
      },
      115200);
  expectConformance(link, false);
}

TEST(LineConformance, PseudoTerminal) {
  const int controller = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(controller, 0);
  ASSERT_EQ(grantpt(controller), 0);
  ASSERT_EQ(unlockpt(controller), 0);
  ASSERT_TRUE(io::configureRaw8N1(controller, 9600));
  // The device is held open here too, so the peer never finds it unopened (which reads as a
  // hang-up); closing the controller's end still hangs up every holder of the device.
  const std::string device = ptsname(controller);
  const int held = open(device.c_str(), O_RDWR | O_NOCTTY);
  expectConformanceOf(device, [controller] { return controller; });
  close(held);
}

TEST(LineConformance, Tcp) {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  expectConformanceOf("tcp:127.0.0.1:" + std::to_string(ntohs(address.sin_port)),
                      [listener] { return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); });
  close(listener);
}

}  // namespace
}  // namespace zephlor::conformance
