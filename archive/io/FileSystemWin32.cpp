// The Windows half of FileSystem.h's replacing move: the C runtime's rename refuses to
// replace a file, and removing the file first would lose it if the rename then failed.
#include <windows.h>

#include "archive/io/FileSystem.h"

namespace archive {

bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& ec) {
  ec.clear();
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  return false;
}

}  // namespace archive
