// --trace: every line on the wire, with its time since the line was opened, on standard error.
#pragma once

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "zephlor_host/transaction.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {

class LineTrace : public host::TraceSink {
 public:
  void sent(const std::string& bytes) override { show("->", bytes, ""); }
  void received(const std::string& bytes, bool lineComplete) override {
    show("<-", bytes, lineComplete ? "" : "  (no line end before the timeout)");
  }

 private:
  void show(const char* direction, const std::string& bytes, const char* remark) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - opened_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%10.3f ms] ",
                  static_cast<double>(elapsed.count()) / 1000.0);
    std::cout.flush();  // keep results and trace in the order they happened
    std::cerr << stamp << direction << " " << text::visibleBytes(bytes) << remark << std::endl;
  }

  std::chrono::steady_clock::time_point opened_ = std::chrono::steady_clock::now();
};

}  // namespace zephlor::ctl
