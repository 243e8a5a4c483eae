// Constants of the Zip format and the limits this engine chooses.
#pragma once

#include <cstdint>

namespace archive::format {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kDescriptorSignature = 0x08074b50;  // optional before a data descriptor

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint32_t kCentralHeaderSize = 46;
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kZip64EndSize = 56;
constexpr uint32_t kZip64LocatorSize = 20;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kMethodDeflate64 = 9;
constexpr uint16_t kMethodBzip2 = 12;
constexpr uint16_t kMethodLzma = 14;
constexpr uint16_t kMethodZstdDeprecated = 20;  // Zstandard's first number, still met
constexpr uint16_t kMethodZstd = 93;
constexpr uint16_t kMethodXz = 95;
constexpr uint16_t kMethodPpmd = 98;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagLzmaEndMarker = 0x0002;  // with method 14
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint16_t kFlagMaskedHeaders = 0x2000;  // central directory encryption

constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraNtfs = 0x000A;         // NTFS times, 100 ns steps since 1601
constexpr uint16_t kNtfsTimesTag = 0x0001;      // its attribute holding the three times
constexpr uint16_t kExtraTimestamp = 0x5455;    // "UT": Unix times in seconds, UTC
constexpr uint16_t kExtraUnicodePath = 0x7075;  // "up": the name in UTF-8, with its CRC-32

constexpr uint32_t kMax32 = 0xFFFFFFFF;
constexpr uint16_t kMax16 = 0xFFFF;

// Host systems in the high byte of "version made by" whose external attributes carry
// Unix mode bits in their high half.
constexpr uint8_t kHostUnix = 3;
constexpr uint8_t kHostMacOsX = 19;
// Host systems whose names separate folders with '\': MS-DOS (FAT), Windows NTFS under
// both numbers writers use for it (10 in the format's list, 11 in Info-ZIP's), and VFAT.
constexpr uint8_t kDosHosts[] = {0, 10, 11, 14};
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixSymlink = 0120000;
constexpr uint32_t kUnixDirectory = 0040000;
constexpr uint32_t kDosDirectory = 0x10;
constexpr uint32_t kDosArchive = 0x20;

constexpr uint16_t kVersionDefault = 20;  // 2.0: deflate and folders
constexpr uint16_t kVersionZip64 = 45;    // 4.5: Zip64 extensions

// Deflate cannot expand data by more than about 1032:1 (a 258-byte match in two bits), so a
// member whose declared size exceeds this ratio to its compressed size is lying about its
// size. The slack lets tiny members through, whose stream overhead dominates.
constexpr uint64_t kMaxDeflateRatio = 1100;
constexpr uint64_t kRatioSlackBytes = 64 * 1024;
// Deflate64's longest match, 65538 bytes, costs at least 18 bits (a 1-bit length code, its
// 16 extra bits and a 1-bit distance code): about 29,128:1.
constexpr uint64_t kMaxDeflate64Ratio = 29200;

// Longest member name we extract, counted in UTF-8 bytes, and longest single component.
constexpr size_t kMaxNameBytes = 4096;
constexpr size_t kMaxComponentUnits = 255;

}  // namespace archive::format
