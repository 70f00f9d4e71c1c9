// Reads a fuzzer's input as a stream of choices. Past the end every read yields zeros, so any
// input, however short, is a complete test case.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace zephlor::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }

  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

  int32_t int32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | byte();
    return static_cast<int32_t>(value);
  }

  // A run of up to `longest` bytes, its length taken from the input.
  std::string text(size_t longest) {
    size_t length = byte();
    length = (length << 8 | byte()) % (longest + 1);
    std::string out;
    while (out.size() < length && !empty()) out += static_cast<char>(byte());
    return out;
  }

  // Everything that is left.
  std::string rest() {
    std::string out(reinterpret_cast<const char*>(data_ + (at_ < size_ ? at_ : size_)),
                    at_ < size_ ? size_ - at_ : 0);
    at_ = size_;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// Guard bytes on both sides of a buffer; any write outside the buffer changes them.
template <size_t Size>
struct Guarded {
  static constexpr uint8_t kGuard = 0xA5;
  uint8_t before[16];
  char buffer[Size];
  uint8_t after[16];

  Guarded() {
    for (uint8_t& b : before) b = kGuard;
    for (uint8_t& b : after) b = kGuard;
  }
  bool intact() const {
    for (uint8_t b : before) {
      if (b != kGuard) return false;
    }
    for (uint8_t b : after) {
      if (b != kGuard) return false;
    }
    return true;
  }
};

}  // namespace zephlor::fuzz
