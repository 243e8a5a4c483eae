// Little-endian field access. Headers are read field by field from byte buffers, never by
// overlaying a struct on file bytes, so that alignment, padding and host byte order do not
// matter and every length can be checked against what is actually there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace archive {

inline uint16_t Load16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t Load32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t Load64(const unsigned char* p) {
  return static_cast<uint64_t>(Load32(p)) | (static_cast<uint64_t>(Load32(p + 4)) << 32);
}

inline void Store16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline void Store32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline void Store64(unsigned char* p, uint64_t v) {
  Store32(p, static_cast<uint32_t>(v));
  Store32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Reads fields in sequence from a bounded buffer. Reading past the end does not touch
// memory: it yields zeros and marks the cursor as overrun, which callers check once.
class ByteCursor {
 public:
  ByteCursor(const unsigned char* data, size_t size) : data_(data), size_(size) {}
  explicit ByteCursor(std::string_view bytes)
      : data_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

  uint8_t U8() { return Has(1) ? data_[Advance(1)] : 0; }
  uint16_t U16() { return Has(2) ? Load16(data_ + Advance(2)) : 0; }
  uint32_t U32() { return Has(4) ? Load32(data_ + Advance(4)) : 0; }
  uint64_t U64() { return Has(8) ? Load64(data_ + Advance(8)) : 0; }
  std::string_view Bytes(size_t n) {
    if (!Has(n)) return {};
    return {reinterpret_cast<const char*>(data_ + Advance(n)), n};
  }
  void Skip(size_t n) {
    if (Has(n)) Advance(n);
  }

  size_t remaining() const { return size_ - pos_; }
  size_t position() const { return pos_; }
  bool overrun() const { return overrun_; }

 private:
  bool Has(size_t n) {
    if (n > size_ - pos_) {
      overrun_ = true;
      pos_ = size_;
      return false;
    }
    return true;
  }
  size_t Advance(size_t n) {
    size_t at = pos_;
    pos_ += n;
    return at;
  }

  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
  bool overrun_ = false;
};

// Appends little-endian fields to a byte string; used to build headers before writing.
class ByteBuilder {
 public:
  ByteBuilder& U8(uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  ByteBuilder& U16(uint16_t v) {
    unsigned char b[2];
    Store16(b, v);
    bytes_.append(reinterpret_cast<char*>(b), 2);
    return *this;
  }
  ByteBuilder& U32(uint32_t v) {
    unsigned char b[4];
    Store32(b, v);
    bytes_.append(reinterpret_cast<char*>(b), 4);
    return *this;
  }
  ByteBuilder& U64(uint64_t v) {
    unsigned char b[8];
    Store64(b, v);
    bytes_.append(reinterpret_cast<char*>(b), 8);
    return *this;
  }
  ByteBuilder& Bytes(std::string_view s) {
    bytes_.append(s);
    return *this;
  }

  const std::string& str() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

}  // namespace archive
