// The PPMd model's contexts as a tree in the allocator's block, and what becomes of the tree
// when the block is full: the restoration method chosen by the writer restarts it from an
// empty model, cuts off the oldest and rarest contexts, or freezes it as it is.
#pragma once

#include <cstdint>
#include <utility>

#include "archive/methods/PpmdAllocator.h"

namespace archive::ppmd {

constexpr unsigned kMinOrder = 2;
constexpr unsigned kMaxOrder = 16;
constexpr unsigned kRestart = 0;
constexpr unsigned kCutOff = 1;
constexpr unsigned kFreeze = 2;

// The model's records, laid over the block exactly as the format's allocator sizes them:
// a unit is 12 bytes and holds a context or two symbol states. A context with one symbol
// keeps that symbol's state inside itself, over its frequency total and list reference.
struct State {
  uint8_t symbol;
  uint8_t freq;
  uint16_t successorLow;  // two halves: a state is only 2-byte aligned
  uint16_t successorHigh;
};

struct Context {
  uint8_t numStats;  // symbols minus one
  uint8_t flags;     // 0x04 rescaled, 0x08 has a symbol >= 0x40, 0x10 follows one
  uint16_t summFreq;
  uint32_t stats;
  uint32_t suffix;
};

static_assert(sizeof(State) == 6 && sizeof(Context) == kUnitSize);

// A state's successor: the context the symbol leads to, or a place in the text.
inline uint32_t Successor(const State* s) {
  return s->successorLow | uint32_t{s->successorHigh} << 16;
}
inline void SetSuccessor(State* s, uint32_t ref) {
  s->successorLow = static_cast<uint16_t>(ref);
  s->successorHigh = static_cast<uint16_t>(ref >> 16);
}
inline State* OneState(Context* c) { return reinterpret_cast<State*>(&c->summFreq); }
inline void SwapStates(State* a, State* b) { std::swap(*a, *b); }

// The tree and the model's place in it; the model (PpmdModel.h) grows it symbol by symbol.
class ContextTree {
 protected:
  explicit ContextTree(uint32_t size) : memory_(size) {}

  uint32_t Ref(const void* p) const { return memory_.Ref(p); }
  unsigned char* Ptr(uint32_t ref) const { return memory_.Ptr(ref); }
  Context* Ctx(uint32_t ref) const { return reinterpret_cast<Context*>(Ptr(ref)); }
  State* Stats(const Context* c) const { return reinterpret_cast<State*>(Ptr(c->stats)); }
  Context* Suffix(const Context* c) const { return Ctx(c->suffix); }

  // Empties the block and plants the root: the order-0 context with every byte once.
  void Plant();

  // Memory ran out while updating the contexts from maxContext_ down to (not including) c1:
  // undoes that update, then frees memory as the restoration method says. True when the
  // model must start afresh instead (its statistics too); then the tree is left to Plant.
  bool Restore(Context* c1, Context* frozenSuccessor);

  Allocator memory_;
  Context* minContext_ = nullptr;
  Context* maxContext_ = nullptr;
  State* foundState_ = nullptr;
  unsigned orderFall_ = 0;
  unsigned maxOrder_ = 0;
  unsigned restoreMethod_ = 0;  // past kFreeze once frozen
  bool broken_ = false;         // a state no encoder reaches; every symbol is -2

 private:
  void Refresh(Context* c, unsigned oldUnits, unsigned scale);
  uint32_t CutOff(Context* c, unsigned order);
  uint32_t RemoveBinaryContexts(Context* c, unsigned order);
};

}  // namespace archive::ppmd
