// The PPMd model's memory: one block of the declared size, carved in 12-byte units for
// contexts and symbol lists, with the text of recent symbols growing from its bottom.
//
// Layout, bottom up: a few bytes so that no object has reference 0, the text area, the units
// area (from unitsStart_), and inside it a gap (from loUnit_ to hiUnit_) never used yet:
// symbol lists take from its bottom, new contexts from its top. Freed blocks go to lists by
// size; when those and the gap run dry, blocks are glued together, then units are taken from
// the top of the text area. Every decision of the model depends on where this put things, so
// it follows the reference behaviour unit for unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace archive::ppmd {

constexpr unsigned kUnitSize = 12;

// A free block of units, laid over the block's first unit. The records alias each other in the
// block (a freed context becomes a node), which is why the files using them are built without
// strict aliasing.
struct Node {
  uint32_t stamp;  // kEmptyNode while free
  uint32_t next;
  uint32_t units;
};
static_assert(sizeof(Node) == kUnitSize);

constexpr unsigned kIndexes = 38;  // the allocator's size classes, 1 to 128 units

struct UnitSizes {
  uint8_t indexToUnits[kIndexes];
  uint8_t unitsToIndex[128];
  constexpr UnitSizes() : indexToUnits(), unitsToIndex() {
    unsigned k = 0;
    for (unsigned i = 0; i < kIndexes; ++i) {
      unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
      for (; step > 0; --step) unitsToIndex[k++] = static_cast<uint8_t>(i);
      indexToUnits[i] = static_cast<uint8_t>(k);
    }
  }
};
inline constexpr UnitSizes kUnitSizes;
static_assert(kUnitSizes.indexToUnits[kIndexes - 1] == 128);

class Allocator {
 public:
  // Takes `size` bytes (plus a few for alignment) at once; throws std::bad_alloc.
  explicit Allocator(uint32_t size);
  Allocator(const Allocator&) = delete;
  Allocator& operator=(const Allocator&) = delete;

  uint32_t Size() const { return size_; }

  // References are offsets from the block's base, so they are 32 bits on every platform; 0 is
  // no object.
  uint32_t Ref(const void* p) const {
    return static_cast<uint32_t>(static_cast<const unsigned char*>(p) - base_);
  }
  unsigned char* Ptr(uint32_t ref) const { return base_ + ref; }
  // True if `ref` is in the units area, that is a context rather than a place in the text.
  bool InUnits(uint32_t ref) const { return Ptr(ref) >= unitsStart_; }

  // Empties the block: an empty text, every unit free in the gap.
  void Reset();

  // ---- The text area: the symbols seen, which contexts not yet made point into.
  uint32_t TextRef() const { return Ref(text_); }
  // Adds a symbol; false once the text reaches the units area.
  bool AppendText(uint8_t symbol) {
    *text_++ = symbol;
    return text_ < unitsStart_;
  }
  void DropText(unsigned count) { text_ -= count; }
  // Starts the text again at the bottom, keeping its first `kept` symbols.
  void RestartText(unsigned kept) { text_ = base_ + kAlign + kept; }

  // ---- Units. A block of n units comes from the list of its size class; sizes are units.
  void* AllocUnits(unsigned units) {
    unsigned index = U2I(units);
    if (freeList_[index] != 0) return RemoveNode(index);
    uint32_t bytes = UnitsToBytes(I2U(index));
    if (bytes <= static_cast<uint32_t>(hiUnit_ - loUnit_)) {
      void* block = loUnit_;
      loUnit_ += bytes;
      return block;
    }
    return AllocUnitsRare(index);
  }
  // One unit for a new context: from the top of the gap first.
  void* AllocContext() {
    if (hiUnit_ != loUnit_) return hiUnit_ -= kUnitSize;
    if (freeList_[0] != 0) return RemoveNode(0);
    return AllocUnitsRare(0);
  }
  // Grows a block by one unit, moving it when that crosses into the next size class; null if
  // memory ran out (the old block stays).
  void* ExpandUnits(void* oldPtr, unsigned oldUnits) {
    unsigned i0 = U2I(oldUnits);
    unsigned i1 = U2I(oldUnits + 1);
    if (i0 == i1) return oldPtr;
    void* block = AllocUnits(oldUnits + 1);
    if (block == nullptr) return nullptr;
    CopyUnits(block, oldPtr, oldUnits);
    InsertNode(oldPtr, i0);
    return block;
  }
  void* ShrinkUnits(void* oldPtr, unsigned oldUnits, unsigned newUnits);
  void FreeUnits(void* p, unsigned units) { InsertNode(p, U2I(units)); }
  void SpecialFreeUnit(void* p);
  void* MoveUnitsUp(void* oldPtr, unsigned units);
  // Hands the free blocks at the bottom of the units area over to the text.
  void ExpandTextArea();
  uint32_t UsedMemory() const;

  // Glue the free blocks at the next allocation that finds its list and the gap empty.
  void GlueSoon() { glueCount_ = 0; }
  // The frozen model's rule: a later gluing when list 1 holds an even count.
  void PostponeGlue() { glueCount_ += !(stamps_[1] & 1); }

 private:
  static constexpr uint32_t kEmptyNode = 0xFFFFFFFF;
  // The text area starts this far into the block, so that no object has reference 0.
  static constexpr unsigned kAlign = 4;

  static unsigned I2U(unsigned index) { return kUnitSizes.indexToUnits[index]; }
  static unsigned U2I(unsigned units) { return kUnitSizes.unitsToIndex[units - 1]; }
  static uint32_t UnitsToBytes(unsigned units) { return units * kUnitSize; }
  static Node* NodeAt(void* p) { return static_cast<Node*>(p); }
  static void CopyUnits(void* to, const void* from, unsigned units) {
    std::memcpy(to, from, UnitsToBytes(units));
  }

  void InsertNode(void* p, unsigned index) {
    Node* node = NodeAt(p);
    node->stamp = kEmptyNode;
    node->next = freeList_[index];
    node->units = I2U(index);
    freeList_[index] = Ref(p);
    ++stamps_[index];
  }
  void* RemoveNode(unsigned index) {
    Node* node = NodeAt(Ptr(freeList_[index]));
    freeList_[index] = node->next;
    --stamps_[index];
    return node;
  }
  void SplitBlock(void* p, unsigned oldIndex, unsigned newIndex);
  void GlueFreeBlocks();
  void* AllocUnitsRare(unsigned index);

  std::unique_ptr<unsigned char[]> memory_;
  unsigned char* base_;  // refs count from here
  uint32_t size_;

  uint32_t glueCount_ = 0;
  unsigned char* loUnit_ = nullptr;
  unsigned char* hiUnit_ = nullptr;
  unsigned char* text_ = nullptr;
  unsigned char* unitsStart_ = nullptr;
  uint32_t freeList_[kIndexes] = {};
  uint32_t stamps_[kIndexes] = {};
};

}  // namespace archive::ppmd
