// The system's side of reading names: which code page names without the UTF-8 flag are in,
// and the conversion from a code page to UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "archive/format/Names.h"

namespace archive {

// Text of `codePage` as UTF-8; nullopt where the system cannot convert that code page.
// Bytes that are not text in it become the system's replacement character.
std::optional<std::string> CodePageToUtf8(unsigned codePage, std::string_view bytes);

// On Windows the system's OEM code page (GetOEMCP), the one Windows' own compressed folders
// read such names in; elsewhere, and where that code page cannot be converted, 437.
NameCodePage SystemNameCodePage();

}  // namespace archive
