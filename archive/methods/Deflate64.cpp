#include "archive/methods/Deflate64.h"

#include <algorithm>
#include <cstring>

#include "archive/format/Bytes.h"

namespace archive {

using deflate64::DistanceTable;
using deflate64::DynamicHeader;
using deflate64::Entry;
using deflate64::kEndOfBlock;
using deflate64::kInvalid;
using deflate64::kLiteral;
using deflate64::LiteralTable;
using deflate64::StoredBlock;
using deflate64::Window;

Deflate64Decoder::Deflate64Decoder() = default;

Deflate64Decoder::~Deflate64Decoder() = default;

Decoder::Result Deflate64Decoder::Decode(const unsigned char** in, size_t* inSize,
                                         unsigned char** out, size_t* outSize) {
  if (state_ == State::kCorrupt) return Result::kCorrupt;
  const unsigned char* start = *in;
  const unsigned char* next = start;
  const unsigned char* end = start + *inSize;
  Stop stop = Stop::kFinished;
  for (;;) {
    window_.Flush(out, outSize);
    if (state_ == State::kEnd) {
      stop = Stop::kFinished;
      break;
    }
    if (window_.Full() && !window_.Slide()) {
      stop = Stop::kFull;
      break;
    }
    stop = Run(next, end);
    if (stop == Stop::kCorrupt) break;
    if (stop == Stop::kStarved) {
      window_.Flush(out, outSize);
      break;
    }
  }
  // A starved decoder needs every bit it holds for the next symbol. Otherwise whole bytes it
  // read ahead go back. They all came in during this call, as the bits kept over from a
  // starved call are used up first.
  if (stop != Stop::kStarved) bits_.GiveBack(next, start);
  *inSize -= static_cast<size_t>(next - start);
  *in = next;
  if (stop == Stop::kCorrupt) return Result::kCorrupt;
  return state_ == State::kEnd && window_.AllOut() ? Result::kEnd : Result::kProgress;
}

Deflate64Decoder::Stop Deflate64Decoder::Fail() {
  state_ = State::kCorrupt;
  return Stop::kCorrupt;
}

void Deflate64Decoder::EndBlock() { state_ = finalBlock_ ? State::kEnd : State::kHeader; }

Deflate64Decoder::Stop Deflate64Decoder::Run(const unsigned char*& next, const unsigned char* end) {
  for (;;) {
    switch (state_) {
      case State::kHeader: {
        if (!bits_.Need(3, next, end)) return Stop::kStarved;
        finalBlock_ = bits_.Field(0, 1);
        unsigned type = bits_.Field(1, 2);
        bits_.Drop(3);
        if (type == 0) {
          stored_.Start(bits_);
          state_ = State::kStored;
        } else if (type == 1) {
          codes_.UseFixed();
          state_ = State::kLiteral;
        } else if (type == 2) {
          header_.Start();
          state_ = State::kDynamicHeader;
        } else {
          return Fail();
        }
        break;
      }
      case State::kStored: {
        StoredBlock::Outcome outcome = stored_.Read(bits_, window_, next, end);
        if (outcome == StoredBlock::Outcome::kStarved) return Stop::kStarved;
        if (outcome == StoredBlock::Outcome::kFull) return Stop::kFull;
        if (outcome == StoredBlock::Outcome::kCorrupt) return Fail();
        EndBlock();
        break;
      }
      case State::kDynamicHeader: {
        DynamicHeader::Outcome outcome = header_.Read(bits_, next, end, codes_);
        if (outcome == DynamicHeader::Outcome::kStarved) return Stop::kStarved;
        if (outcome == DynamicHeader::Outcome::kCorrupt) return Fail();
        state_ = State::kLiteral;
        break;
      }
      case State::kLiteral: {
        if (end - next >= 16 && !window_.Full()) {
          Stop stop = Fast(next, end);
          if (stop == Stop::kCorrupt) return stop;
          if (state_ != State::kLiteral) break;
        }
        Entry entry;
        if (!bits_.Peek(codes_.Literals(), entry, next, end)) return Stop::kStarved;
        if (entry.op == kLiteral) {
          if (window_.Full()) return Stop::kFull;
          window_.Put(static_cast<unsigned char>(entry.value));
          bits_.Drop(entry.bits);
        } else if (entry.op == kEndOfBlock) {
          bits_.Drop(entry.bits);
          EndBlock();
        } else if (entry.op == kInvalid) {
          return Fail();
        } else {
          if (!bits_.Need(entry.bits + entry.op, next, end)) return Stop::kStarved;
          matchLength_ = entry.value + bits_.Field(entry.bits, entry.op);
          bits_.Drop(entry.bits + entry.op);
          state_ = State::kDistance;
        }
        break;
      }
      case State::kDistance: {
        Entry entry;
        if (!bits_.Peek(codes_.Distances(), entry, next, end)) return Stop::kStarved;
        if (entry.op == kInvalid) return Fail();
        if (!bits_.Need(entry.bits + entry.op, next, end)) return Stop::kStarved;
        matchDistance_ = entry.value + bits_.Field(entry.bits, entry.op);
        bits_.Drop(entry.bits + entry.op);
        // Before the first slide everything decoded is in the buffer; after it the whole
        // window is.
        if (matchDistance_ > window_.Pos()) return Fail();
        state_ = State::kCopy;
        break;
      }
      case State::kCopy: {
        size_t n = std::min(size_t{matchLength_}, window_.Room());
        window_.Repeat(matchDistance_, n);
        matchLength_ -= static_cast<uint32_t>(n);
        if (matchLength_ > 0) return Stop::kFull;
        state_ = State::kLiteral;
        break;
      }
      case State::kEnd:
        return Stop::kFinished;
      case State::kCorrupt:
        return Stop::kCorrupt;
    }
  }
}

// The literal/length loop for when at least 16 input bytes are there: it refills 64 bits at
// a time and needs no checks for running out of input in between. It stops at the end of a
// block, at a match that does not fit the buffer, and when the buffer or the input runs low.
Deflate64Decoder::Stop Deflate64Decoder::Fast(const unsigned char*& next,
                                              const unsigned char* end) {
  constexpr size_t kCapacity = Window::kCapacity;
  unsigned char* const buffer = window_.Bytes();
  const unsigned char* in = next;
  uint64_t bitBuffer = bits_.Bits();
  unsigned bitCount = bits_.Count();
  size_t pos = window_.Pos();
  Stop stop = Stop::kFull;
  bool blockEnded = false;
  // Adds whole bytes up to at least 56 bits. Bits above the count are the next bytes' own
  // bits, so OR-ing them in again changes nothing.
  auto refill = [&] {
    bitBuffer |= Load64(in) << bitCount;
    in += (63 - bitCount) >> 3;
    bitCount |= 56;
  };
  const LiteralTable& literals = codes_.Literals();
  const DistanceTable& distances = codes_.Distances();
  while (end - in >= 16 && kCapacity - pos >= 3) {
    refill();
    Entry entry = literals.Find(bitBuffer);
    if (entry.op == kLiteral) {
      // Up to three literals per refill: 56 bits hold three codes of 15.
      for (int i = 0;;) {
        bitBuffer >>= entry.bits;
        bitCount -= entry.bits;
        buffer[pos++] = static_cast<unsigned char>(entry.value);
        if (++i == 3) break;
        entry = literals.Find(bitBuffer);
        if (entry.op != kLiteral) break;
      }
      continue;
    }
    bitBuffer >>= entry.bits;
    bitCount -= entry.bits;
    if (entry.op >= kEndOfBlock) {
      if (entry.op != kEndOfBlock) {
        stop = Stop::kCorrupt;
        break;
      }
      blockEnded = true;
      break;
    }
    size_t length = entry.value + static_cast<size_t>(bitBuffer & ((1u << entry.op) - 1));
    bitBuffer >>= entry.op;
    bitCount -= entry.op;
    if (bitCount < 32) refill();
    entry = distances.Find(bitBuffer);
    if (entry.op == kInvalid) {
      stop = Stop::kCorrupt;
      break;
    }
    bitBuffer >>= entry.bits;
    bitCount -= entry.bits;
    size_t distance = entry.value + static_cast<size_t>(bitBuffer & ((1u << entry.op) - 1));
    bitBuffer >>= entry.op;
    bitCount -= entry.op;
    if (distance > pos) {
      stop = Stop::kCorrupt;
      break;
    }
    if (length > kCapacity - pos) {
      matchLength_ = static_cast<uint32_t>(length);
      matchDistance_ = static_cast<uint32_t>(distance);
      state_ = State::kCopy;
      break;
    }
    unsigned char* to = buffer + pos;
    const unsigned char* from = to - distance;
    pos += length;
    if (distance >= 16) {
      // Each piece reads only bytes already written; the last may run into kSlack.
      unsigned char* const stopAt = buffer + pos;
      do {
        std::memcpy(to, from, 16);
        to += 16;
        from += 16;
      } while (to < stopAt);
    } else if (distance >= 8) {
      unsigned char* const stopAt = buffer + pos;
      do {
        std::memcpy(to, from, 8);
        to += 8;
        from += 8;
      } while (to < stopAt);
    } else {
      Window::CopyMatch(to, distance, length);
    }
  }
  next = in;
  bits_.Set(bitBuffer, bitCount);
  window_.SetPos(pos);
  if (stop == Stop::kCorrupt) return Fail();
  if (blockEnded) EndBlock();
  return stop;
}

}  // namespace archive
