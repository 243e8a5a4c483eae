// CodePage.h away from Windows: code page 437 for names, iconv for the conversion (which
// lets the name rules be tested with other code pages here too).
#ifndef _WIN32

#include "archive/io/CodePage.h"

#include <iconv.h>

#include <string>

namespace archive {

std::optional<std::string> CodePageToUtf8(unsigned codePage, std::string_view bytes) {
  std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  std::string input(bytes);
  char* in = input.data();
  size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* next = buffer;
    size_t room = sizeof buffer;
    size_t done = iconv(cd, &in, &inLeft, &next, &room);
    out.append(buffer, next);
    if (done == static_cast<size_t>(-1) && room == sizeof buffer && next == buffer) {
      // Not text in this code page (or cut short): one replacement character for the byte.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

NameCodePage SystemNameCodePage() { return NameCodePage{437, &CodePageToUtf8}; }

}  // namespace archive

#endif
