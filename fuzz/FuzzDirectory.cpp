// Fuzz target: the central-directory reader and the member reader, all in memory.
//
// Every input is read as an archive; every member that the reader accepts is inflated and
// checked, and copied through the writer, whose output must read back with as many members.
// Besides the sanitizers, the target checks what the engine promises: a member never
// delivers more than its declared size, and a copied archive is itself readable.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/read/Directory.h"
#include "archive/read/MemberReader.h"
#include "archive/format/Names.h"
#include "archive/format/Status.h"
#include "archive/write/Writer.h"

namespace {

// Enough to exercise every path of the inflater; more only costs time per input.
constexpr uint64_t kMaxBytesPerInput = 32ull << 20;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_directory: broken promise: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  archive::MemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
  archive::Directory dir;
  try {
    dir = archive::ReadDirectory(in);
  } catch (const archive::ArchiveError&) {
    return 0;
  }
  Check(dir.entries.size() <= size / 46 + 1, "more members than the bytes can hold");

  unsigned char buffer[16 * 1024];
  uint64_t budget = kMaxBytesPerInput;
  archive::MemoryStream copy;
  archive::ZipWriter writer(copy, 6);
  size_t copied = 0;
  for (const archive::Entry& entry : dir.entries) {
    archive::SafeName safe = archive::CheckMemberName(entry.name);
    if (safe.ok) {
      for (const auto& part : safe.components) {
        Check(!part.empty() && part != ".." && part.find('/') == std::string::npos &&
                  part.find('\\') == std::string::npos && part.find(':') == std::string::npos,
              "an accepted name component could leave the target");
      }
    }
    archive::WildcardMatch("*a*[b-d]?*", entry.name, true);
    try {
      archive::MemberReader reader(in, entry);
      for (size_t n; budget > 0 && (n = reader.Read(buffer, sizeof buffer)) > 0;) {
        Check(reader.produced() <= entry.uncompressedSize, "output beyond the declared size");
        budget -= std::min<uint64_t>(budget, n);
      }
    } catch (const archive::ArchiveError&) {
    }
    try {
      writer.CopyMember(in, entry);
      ++copied;
    } catch (const archive::ArchiveError&) {
    }
  }
  // No comment: an end record hidden in it would be a reading of its own.
  writer.Finish({});
  archive::Directory again;
  try {
    again = archive::ReadDirectory(copy);
  } catch (const archive::ArchiveError& e) {
    std::fprintf(stderr, "fuzz_directory: the copy does not read back: %s\n", e.what());
    std::abort();
  }
  Check(again.entries.size() == copied, "the copy lost or gained members");
  return 0;
}
