// POSIX only: byte lines over file descriptors, for what exists only there (pseudo-terminals,
// standard input and output) and for tests that play the other end of a line.
#pragma once

#include "zephlor_io/serial_port.h"

namespace zephlor::io {

class FdLine : public ByteLine {
 public:
  FdLine();
  explicit FdLine(int fd);
  // Reads `in` and writes `out`, which stay open when this is gone.
  FdLine(int in, int out);
  ~FdLine() override;
  FdLine(FdLine&& other) noexcept;
  FdLine& operator=(FdLine&& other) noexcept;
  FdLine(const FdLine&) = delete;
  FdLine& operator=(const FdLine&) = delete;

  int fd() const { return in_; }
  bool isOpen() const { return in_ >= 0; }
  void close();

  IoResult readSome(char* buffer, size_t capacity, Deadline deadline) override;
  IoResult writeAll(const char* data, size_t length, Deadline deadline) override;
  IoResult writeWhatFits(const char* data, size_t length) override;
  bool discardInput() override;
  void discardUnsentOutput() override;

 private:
  friend OpenResult openSerialDevice(const std::string& path, int baud);
  struct Restore;  // the settings a device opened by openSerialDevice gets back

  // Learns once what the descriptors are, so that a transaction asks the system nothing more.
  void learnDescriptors();

  int in_ = -1;
  int out_ = -1;
  bool owned_ = false;
  bool inWaitsNot_ = false;    // reading `in_` never blocks: what waits is read away directly
  bool inIsTerminal_ = false;  // `in_` is a terminal, whose input the system can flush
  bool outWaitsNot_ = false;   // writing `out_` never blocks: a write is tried before any wait
  std::unique_ptr<Restore> restore_;
};

// Sets an open terminal raw 8N1 at `baud`; false if `fd` is not a terminal.
bool configureRaw8N1(int fd, int baud);

}  // namespace zephlor::io
