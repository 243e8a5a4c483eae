// The libraries' status codes in words: one table per library over its named constants.
#pragma once
#include <cstdint>
#include <string>

namespace ziplib {

struct StatusText {
  int32_t status;
  const char* text;
};

// The table's text for the status; a status the table lacks as "error N".
template <size_t N>
std::string TextOf(const StatusText (&table)[N], int32_t status) {
  for (const StatusText& entry : table)
    if (entry.status == status) return entry.text;
  return "error " + std::to_string(status);
}

}  // namespace ziplib
