#include "platform/toolkit/Numeric.h"

#include <cmath>
#include <limits>

#include "platform/toolkit/Error.h"

namespace tk {

double RoundHalfEven(double x) {
  double floor = std::floor(x);
  double diff = x - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

template <class T>
static T CheckedRound(double x) {
  double r = RoundHalfEven(x);
  if (!(r >= std::numeric_limits<T>::min() && r <= std::numeric_limits<T>::max())) Raise(kOverflow);
  return static_cast<T>(r);
}

int32_t CLng(double x) { return CheckedRound<int32_t>(x); }
int16_t CInt(double x) { return CheckedRound<int16_t>(x); }

int32_t ToInt32(int64_t x) {
  if (x < std::numeric_limits<int32_t>::min() || x > std::numeric_limits<int32_t>::max())
    Raise(kOverflow);
  return static_cast<int32_t>(x);
}

int16_t ToInt16(int64_t x) {
  if (x < std::numeric_limits<int16_t>::min() || x > std::numeric_limits<int16_t>::max())
    Raise(kOverflow);
  return static_cast<int16_t>(x);
}

int32_t AddInt32(int32_t a, int32_t b) { return ToInt32(int64_t{a} + b); }
int32_t MulInt32(int32_t a, int32_t b) { return ToInt32(int64_t{a} * b); }
int16_t AddInt16(int16_t a, int16_t b) { return ToInt16(int64_t{a} + b); }

double Divide(double a, double b) {
  if (b == 0) Raise(kDivisionByZero);
  return a / b;
}

}  // namespace tk
