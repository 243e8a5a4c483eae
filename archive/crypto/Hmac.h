// HMAC-SHA1 and PBKDF2-HMAC-SHA1, from nettle: what WinZip AES derives its keys with and
// authenticates its data by.
#pragma once

#include <array>
#include <cstddef>

#include "archive/crypto/Secret.h"

namespace archive::crypto {

constexpr size_t kSha1Size = 20;

// HMAC-SHA1 of `size` bytes at `data` under `key`, as one call.
std::array<unsigned char, kSha1Size> HmacSha1(const Secret& key, const void* data, size_t size);

// `length` bytes of PBKDF2 with HMAC-SHA1 over `password` and the salt, in `iterations`
// rounds.
Secret Pbkdf2HmacSha1(const Secret& password, const void* salt, size_t saltSize,
                      unsigned iterations, size_t length);

}  // namespace archive::crypto
