#pragma once
// Millions of prisms of a few cubic metres each add up to a figure of 1e9 m3
// and more, where a plain running sum drops whole cubic metres by the end.
// Neumaier's compensated sum keeps the rounding of every addition in a second
// term, so the result is as good as one final rounding (whatever the order or
// the signs of the terms, unlike Kahan's form).

#include <cmath>

namespace orvane {

class CompensatedSum {
 public:
  void Add(double v) {
    const double t = sum_ + v;
    compensation_ += std::abs(sum_) >= std::abs(v) ? (sum_ - t) + v : (v - t) + sum_;
    sum_ = t;
  }
  double Value() const { return sum_ + compensation_; }

 private:
  double sum_ = 0, compensation_ = 0;
};

}  // namespace orvane
