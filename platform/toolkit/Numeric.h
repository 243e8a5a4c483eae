// Arithmetic as the program's rules want it: halves round to even, and 16- and 32-bit results
// that do not fit raise an overflow error instead of wrapping.
#pragma once
#include <cstdint>

namespace tk {

// Nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2, 12.5 -> 12).
double RoundHalfEven(double x);

// RoundHalfEven then a checked conversion; raises kOverflow outside the type's range.
int32_t CLng(double x);
int16_t CInt(double x);

// Checked conversions and arithmetic; raise kOverflow.
int32_t ToInt32(int64_t x);
int16_t ToInt16(int64_t x);
int32_t AddInt32(int32_t a, int32_t b);
int32_t MulInt32(int32_t a, int32_t b);
int16_t AddInt16(int16_t a, int16_t b);

// Floating division that raises kDivisionByZero for a zero divisor.
double Divide(double a, double b);

// Booleans stored 16-bit with true = -1.
using Bool16 = int16_t;
constexpr Bool16 kTrue = -1;
constexpr Bool16 kFalse = 0;
constexpr Bool16 ToBool16(bool b) { return b ? kTrue : kFalse; }

}  // namespace tk
