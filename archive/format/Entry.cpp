#include "archive/format/Entry.h"

#include "archive/format/Format.h"

namespace archive {

using namespace format;

bool Entry::IsEncrypted() const {
  return (flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders)) != 0;
}

bool Entry::IsDirectory() const {
  if (!name.empty() && name.back() == '/') return true;
  if (uncompressedSize != 0) return false;
  uint8_t host = static_cast<uint8_t>(versionMadeBy >> 8);
  bool unixHost = host == kHostUnix || host == kHostMacOsX;
  if (unixHost && ((externalAttributes >> 16) & kUnixTypeMask) == kUnixDirectory) return true;
  return (externalAttributes & kDosDirectory) != 0;
}

bool Entry::IsSymlink() const {
  uint8_t host = static_cast<uint8_t>(versionMadeBy >> 8);
  return (host == kHostUnix || host == kHostMacOsX) &&
         ((externalAttributes >> 16) & kUnixTypeMask) == kUnixSymlink;
}

std::optional<int64_t> Entry::ModifiedUnix() const {
  if (modifiedUnix) return modifiedUnix;
  return DosToUnix(dosTime);
}

}  // namespace archive
