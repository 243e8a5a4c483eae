// PPMd's adaptive estimates, which learn from the symbols decoded beside the contexts' own
// counts: the escape frequency of a context entered after others' symbols were ruled out
// (secondary escape estimation), and the probability of a binary context's one symbol.
#pragma once

#include <cstdint>

#include "archive/methods/PpmdContextTree.h"

namespace archive::ppmd {

constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScaleBits = 14;  // binary contexts' probabilities are out of 2^14
constexpr unsigned kBinScale = 1u << kBinScaleBits;

struct EstimatorRows {
  uint8_t binIndex[256];    // by the suffix's symbol count, for binary contexts
  uint8_t statsIndex[260];  // by symbol count (or frequency), for the estimators' rows
  constexpr EstimatorRows() : binIndex(), statsIndex() {
    for (unsigned i = 0; i < 256; ++i) binIndex[i] = i == 0 ? 0 : i == 1 ? 2 : i < 11 ? 4 : 6;
    for (unsigned i = 0; i < 5; ++i) statsIndex[i] = static_cast<uint8_t>(i);
    for (unsigned i = 5, value = 5, left = 1; i < 260; ++i) {
      statsIndex[i] = static_cast<uint8_t>(value);
      if (--left == 0) left = ++value - 4;
    }
  }
};
inline constexpr EstimatorRows kRows;
// Escapes use rows for 2 to 255 symbols; binary contexts counts up to 196.
static_assert(kRows.statsIndex[254 + 2] - 3 < 24 && kRows.statsIndex[196 - 1] < 25);

// Probability-estimation state for a context whose symbols have all been excluded once.
struct See {
  uint16_t summ;
  uint8_t shift;
  uint8_t count;

  // After a symbol was found with this estimate: adapts more slowly as it proves itself.
  void Found() {
    if (shift < kPeriodBits && --count == 0) {
      summ = static_cast<uint16_t>(summ << 1);
      count = static_cast<uint8_t>(3 << shift++);
    }
  }
  // After an escape with this estimate, out of `total`.
  void Escaped(uint32_t total) { summ = static_cast<uint16_t>(summ + total); }
};

class Estimators {
 public:
  // Every estimate at its starting value.
  void Reset() {
    for (unsigned i = 0, m = 0; m < 25; ++m) {
      while (kRows.statsIndex[i] == m) ++i;
      for (unsigned k = 0; k < 8; ++k) {
        auto value = static_cast<uint16_t>(kBinScale - kInitBinEscape[k] / (i + 1));
        for (unsigned r = 0; r < 64; r += 8) binSumm_[m][k + r] = value;
      }
    }
    for (unsigned i = 0, m = 0; m < 24; ++m) {
      while (kRows.statsIndex[i + 3] == m + 3) ++i;
      for (See& see : see_[m]) {
        see.shift = kPeriodBits - 4;
        see.summ = static_cast<uint16_t>((2 * i + 5) << see.shift);
        see.count = 7;
      }
    }
  }

  // The escape estimate for context `c` entered after `masked` + 1 symbols were excluded.
  See* Escape(const Context* c, const Context* suffix, unsigned masked, uint32_t* escape) {
    unsigned numStats = c->numStats;
    if (numStats == 0xFF) {
      *escape = 1;
      return &dummy_;
    }
    See* see = see_[kRows.statsIndex[numStats + 2] - 3] + (c->summFreq > 11 * (numStats + 1)) +
               2 * (2 * numStats < suffix->numStats + masked) + c->flags;
    unsigned r = see->summ >> see->shift;
    see->summ = static_cast<uint16_t>(see->summ - r);
    *escape = r + (r == 0);
    return see;
  }

  // The probability (out of kBinScale) of a binary context's symbol with count `freq`, in a
  // context whose suffix has `suffixStats` + 1 symbols, by the model's recent `history`.
  uint16_t* Binary(unsigned freq, unsigned suffixStats, unsigned history) {
    return &binSumm_[kRows.statsIndex[freq - 1]][kRows.binIndex[suffixStats] + history];
  }

 private:
  static constexpr uint16_t kInitBinEscape[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                                 0x64A1, 0x5ABC, 0x6632, 0x6051};

  See dummy_{0, kPeriodBits, 64};  // for contexts with every symbol, whose escape is 1
  See see_[24][32] = {};
  uint16_t binSumm_[25][64] = {};
};

}  // namespace archive::ppmd
