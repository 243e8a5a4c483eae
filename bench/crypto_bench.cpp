// crypto_bench: the throughput of what reading encrypted members costs, on this machine and
// in this build (natively, or a Windows tree under Wine): WinZip AES decryption (AES in
// counter mode with the HMAC-SHA1 over the data) for each strength, traditional decryption,
// and key derivation (PBKDF2-HMAC-SHA1, 1,000 rounds) per member.
//   crypto_bench [megabytes]     default 64
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/crypto/Encryption.h"
#include "archive/crypto/Hmac.h"
#include "archive/crypto/Secret.h"

namespace {

using namespace archive::crypto;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A decryption of the scheme with password "bench" whatever the header holds: the verifier
// or check byte is taken from what the password gives, by trying headers until one fits.
std::unique_ptr<Decryption> Open(const Encryption& e) {
  std::vector<unsigned char> header(e.headerSize, 0);
  Secret password("bench");
  for (unsigned i = 0;; ++i) {
    header[e.headerSize - 1] = static_cast<unsigned char>(i);
    header[e.headerSize - 2] = static_cast<unsigned char>(i >> 8);
    if (auto d = TryPassword(e, password, header.data())) return d;
  }
}

}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 64;
  std::vector<unsigned char> data(megabytes << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 131 + 7);

  struct Scheme {
    const char* name;
    uint16_t method;
    std::string extra;
  } schemes[] = {
      {"WinZip AES-128 (CTR + HMAC-SHA1)", 99,
       std::string("\x01\x99\x07\x00\x02\x00"
                   "AE\x01\x08\x00",
                   11)},
      {"WinZip AES-256 (CTR + HMAC-SHA1)", 99,
       std::string("\x01\x99\x07\x00\x02\x00"
                   "AE\x03\x08\x00",
                   11)},
      {"traditional PKWARE", 8, ""},
  };
  for (const Scheme& s : schemes) {
    Encryption e = DescribeEncryption(1, s.method, 0, 0, s.extra);
    auto decryption = Open(e);
    Clock::time_point start = Clock::now();
    decryption->Decrypt(data.data(), data.size());
    double seconds = Seconds(start);
    std::printf("%-36s %8.1f MB/s\n", s.name, megabytes / seconds);
  }

  Secret password("a password of ordinary length");
  unsigned char salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const int rounds = 200;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < rounds; ++i) Pbkdf2HmacSha1(password, salt, sizeof salt, kAesIterations, 66);
  double seconds = Seconds(start);
  std::printf("%-36s %8.2f ms a member (%.0f a second)\n", "PBKDF2-HMAC-SHA1, AES-256 keys",
              1000 * seconds / rounds, rounds / seconds);
  return 0;
}
