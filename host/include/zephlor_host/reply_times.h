// Reply times of a poll that may run for months, in fixed memory: the least, the greatest, and a
// histogram of 2 % wide bins for the median and any other quantile.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>

namespace zephlor::host {

class ReplyTimes {
 public:
  void add(std::chrono::microseconds time) {
    least_ = count_ == 0 ? time : std::min(least_, time);
    greatest_ = std::max(greatest_, time);
    ++bins_[binOf(time)];
    ++count_;
  }
  long long count() const { return count_; }
  std::chrono::microseconds least() const { return least_; }
  std::chrono::microseconds greatest() const { return greatest_; }
  std::chrono::microseconds median() const { return quantile(0.5); }

  // The middle of the bin that holds the `fraction` quantile (0.99 for p99), within the times
  // seen: exact to 2 %. Zero while there are none.
  std::chrono::microseconds quantile(double fraction) const {
    if (count_ == 0) return std::chrono::microseconds{0};
    const auto below = static_cast<long long>(fraction * static_cast<double>(count_));
    long long seen = 0;
    size_t bin = 0;
    while (bin + 1 < bins_.size() && (seen += bins_[bin]) <= below) ++bin;
    const double middle = std::pow(kGrowth, static_cast<double>(bin) + 0.5);
    const auto time = std::chrono::microseconds(static_cast<long long>(middle));
    return std::clamp(time, least_, greatest_);
  }

 private:
  static constexpr double kGrowth = 1.02;
  static size_t binOf(std::chrono::microseconds time) {
    const double micros = std::max(1.0, static_cast<double>(time.count()));
    return std::min(kBins - 1, static_cast<size_t>(std::log(micros) / std::log(kGrowth)));
  }
  // 1.02^1200 microseconds is some 5 hours, beyond any reply timeout.
  static constexpr size_t kBins = 1200;

  std::array<long long, kBins> bins_{};
  long long count_ = 0;
  std::chrono::microseconds least_{0};
  std::chrono::microseconds greatest_{0};
};

}  // namespace zephlor::host
