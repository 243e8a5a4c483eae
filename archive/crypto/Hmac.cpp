#include "archive/crypto/Hmac.h"

#include <nettle/hmac.h>
#include <nettle/pbkdf2.h>

namespace archive::crypto {

std::array<unsigned char, kSha1Size> HmacSha1(const Secret& key, const void* data, size_t size) {
  hmac_sha1_ctx context;
  hmac_sha1_set_key(&context, key.size(), key.data());
  hmac_sha1_update(&context, size, static_cast<const uint8_t*>(data));
  std::array<unsigned char, kSha1Size> digest;
  hmac_sha1_digest(&context, digest.size(), digest.data());
  Wipe(&context, sizeof context);
  return digest;
}

Secret Pbkdf2HmacSha1(const Secret& password, const void* salt, size_t saltSize,
                      unsigned iterations, size_t length) {
  Secret key(length);
  // nettle's pbkdf2_hmac_sha1 in two steps, so that the keyed HMAC state can be wiped.
  hmac_sha1_ctx context;
  hmac_sha1_set_key(&context, password.size(), password.data());
  PBKDF2(&context, hmac_sha1_update, hmac_sha1_digest, SHA1_DIGEST_SIZE, iterations, saltSize,
         static_cast<const uint8_t*>(salt), length, key.data());
  Wipe(&context, sizeof context);
  return key;
}

}  // namespace archive::crypto
