#include "archive/methods/PpmdAllocator.h"

namespace archive::ppmd {

Allocator::Allocator(uint32_t size) : memory_(new unsigned char[size + kAlign]), size_(size) {
  base_ = memory_.get();
}

void Allocator::Reset() {
  std::memset(freeList_, 0, sizeof freeList_);
  std::memset(stamps_, 0, sizeof stamps_);
  text_ = base_ + kAlign;
  hiUnit_ = text_ + size_;
  loUnit_ = unitsStart_ = hiUnit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
  glueCount_ = 0;
}

// Gives back the tail of a block taken from a larger list.
void Allocator::SplitBlock(void* p, unsigned oldIndex, unsigned newIndex) {
  unsigned units = I2U(oldIndex) - I2U(newIndex);
  unsigned char* tail = static_cast<unsigned char*>(p) + UnitsToBytes(I2U(newIndex));
  unsigned i = U2I(units);
  if (I2U(i) != units) {
    unsigned k = I2U(--i);
    InsertNode(tail + UnitsToBytes(k), units - k - 1);
  }
  InsertNode(tail, i);
}

void Allocator::GlueFreeBlocks() {
  uint32_t head = 0;
  uint32_t* prev = &head;
  glueCount_ = 1 << 13;
  std::memset(stamps_, 0, sizeof stamps_);
  // The root context always sits in the top unit, so a run of free blocks always ends
  // before the block's end; the gap between loUnit_ and hiUnit_ needs a guard.
  if (loUnit_ != hiUnit_) NodeAt(loUnit_)->stamp = 0;

  // Chain every free block, each absorbing the free blocks right above it.
  for (unsigned i = 0; i < kIndexes; ++i) {
    uint32_t next = freeList_[i];
    freeList_[i] = 0;
    while (next != 0) {
      Node* node = NodeAt(Ptr(next));
      if (node->units != 0) {
        *prev = next;
        prev = &node->next;
        for (Node* above; (above = node + node->units)->stamp == kEmptyNode;) {
          node->units += above->units;
          above->units = 0;
        }
      }
      next = node->next;
    }
  }
  *prev = 0;

  // Refill the lists from the glued blocks.
  while (head != 0) {
    Node* node = NodeAt(Ptr(head));
    head = node->next;
    unsigned units = node->units;
    if (units == 0) continue;
    for (; units > 128; units -= 128, node += 128) InsertNode(node, kIndexes - 1);
    unsigned i = U2I(units);
    if (I2U(i) != units) {
      unsigned k = I2U(--i);
      InsertNode(node + k, units - k - 1);
    }
    InsertNode(node, i);
  }
}

void* Allocator::AllocUnitsRare(unsigned index) {
  if (glueCount_ == 0) {
    GlueFreeBlocks();
    if (freeList_[index] != 0) return RemoveNode(index);
  }
  unsigned i = index;
  do {
    if (++i == kIndexes) {
      // Nothing larger is free either: take units from the top of the text area.
      uint32_t bytes = UnitsToBytes(I2U(index));
      --glueCount_;
      if (static_cast<uint32_t>(unitsStart_ - text_) <= bytes) return nullptr;
      unitsStart_ -= bytes;
      return unitsStart_;
    }
  } while (freeList_[i] == 0);
  void* block = RemoveNode(i);
  SplitBlock(block, i, index);
  return block;
}

void* Allocator::ShrinkUnits(void* oldPtr, unsigned oldUnits, unsigned newUnits) {
  unsigned i0 = U2I(oldUnits);
  unsigned i1 = U2I(newUnits);
  if (i0 == i1) return oldPtr;
  if (freeList_[i1] != 0) {
    void* block = RemoveNode(i1);
    CopyUnits(block, oldPtr, newUnits);
    InsertNode(oldPtr, i0);
    return block;
  }
  SplitBlock(oldPtr, i0, i1);
  return oldPtr;
}

// A unit right at the bottom of the units area goes to the text area instead of a list.
void Allocator::SpecialFreeUnit(void* p) {
  if (p != unitsStart_) {
    InsertNode(p, 0);
  } else {
    // Marks it free for RemoveBinaryContexts, which looks at a dead suffix's flags.
    NodeAt(p)->stamp = kEmptyNode;
    unitsStart_ += kUnitSize;
  }
}

// Moves a block near the bottom of the units area up into a free one, so that cutting
// the model off leaves room for the text to grow.
void* Allocator::MoveUnitsUp(void* oldPtr, unsigned units) {
  unsigned index = U2I(units);
  if (static_cast<unsigned char*>(oldPtr) > unitsStart_ + 16 * 1024 ||
      Ref(oldPtr) > freeList_[index]) {
    return oldPtr;
  }
  void* block = RemoveNode(index);
  CopyUnits(block, oldPtr, units);
  if (oldPtr != unitsStart_) {
    InsertNode(oldPtr, index);
  } else {
    unitsStart_ += UnitsToBytes(I2U(index));
  }
  return block;
}

void Allocator::ExpandTextArea() {
  uint32_t count[kIndexes] = {};
  if (loUnit_ != hiUnit_) NodeAt(loUnit_)->stamp = 0;
  Node* node = NodeAt(unitsStart_);
  for (; node->stamp == kEmptyNode; node += node->units) {
    node->stamp = 0;
    ++count[U2I(node->units)];
  }
  unitsStart_ = reinterpret_cast<unsigned char*>(node);

  for (unsigned i = 0; i < kIndexes; ++i) {
    uint32_t* next = &freeList_[i];
    while (count[i] != 0) {
      Node* n = NodeAt(Ptr(*next));
      while (n->stamp == 0) {
        *next = n->next;
        n = NodeAt(Ptr(*next));
        --stamps_[i];
        if (--count[i] == 0) break;
      }
      next = &n->next;
    }
  }
}

uint32_t Allocator::UsedMemory() const {
  uint32_t units = 0;
  for (unsigned i = 0; i < kIndexes; ++i) units += stamps_[i] * I2U(i);
  return size_ - static_cast<uint32_t>(hiUnit_ - loUnit_) -
         static_cast<uint32_t>(unitsStart_ - text_) - UnitsToBytes(units);
}

}  // namespace archive::ppmd
