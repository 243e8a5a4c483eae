// Made-up data like a folder of documents and programs, the same on every run: text from a
// few thousand words of skewed frequency, records of small, slowly changing numbers, and
// pieces of random bytes, in the proportions a benchmark asks for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "archive/format/Bytes.h"

namespace bench {

struct Mix {
  unsigned textTenths;  // pieces of text, out of ten; the rest records, but for a tenth of noise
  bool binaryRecords;   // records as two 32-bit numbers, else as a line of decimal text
  size_t noiseBytes;    // the size of a piece of random bytes
};

inline std::string MadeUpData(size_t size, const Mix& mix) {
  std::mt19937 random(1);
  std::vector<std::string> words(3000);
  const char* syllables[] = {"ar",  "chi", "ve",   "de",   "fla", "te", "win", "dow", "mem", "ber",
                             "zip", "pro", "gram", "file", "da",  "ta", "str", "eam", "in",  "on"};
  for (std::string& w : words) {
    for (unsigned n = 1 + random() % 4; n > 0; --n) w += syllables[random() % std::size(syllables)];
  }
  std::string data;
  data.reserve(size + 8192);
  while (data.size() < size) {
    unsigned kind = random() % 10;
    if (kind < mix.textTenths) {
      for (int i = 0; i < 400; ++i) {
        // Skewed: low indexes far more often, as in real text.
        size_t w = random() % words.size();
        data += words[w % (1 + random() % words.size())];
        data += random() % 12 == 0 ? ".\n" : " ";
      }
    } else if (kind < 9) {
      uint32_t value = random();
      for (uint32_t i = 0; i < 512; ++i) {
        value += random() % 64;
        if (mix.binaryRecords) {
          unsigned char record[8];
          archive::Store32(record, value);
          archive::Store32(record + 4, i);
          data.append(reinterpret_cast<char*>(record), sizeof record);
        } else {
          data += std::to_string(value) + "," + std::to_string(i) + "\n";
        }
      }
    } else {
      for (size_t i = 0; i < mix.noiseBytes; ++i) data.push_back(static_cast<char>(random()));
    }
  }
  data.resize(size);
  return data;
}

}  // namespace bench
