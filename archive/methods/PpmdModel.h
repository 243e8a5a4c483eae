// The PPMd variant I revision 1 model (Shkarin's PPMII with information inheritance and
// secondary escape estimation) with its carry-less range decoder, as Zip method 98 uses it.
//
// The whole model lives in one block of the declared size (PpmdAllocator.h): contexts and
// symbol lists are carved from it in 12-byte units, and the text of recent symbols grows from
// its bottom. When the block is full, the restoration method chosen by the writer decides
// what happens (PpmdContextTree.h). Every decision depends on where the allocator put things,
// so the allocator follows the reference behaviour unit for unit. The secondary estimates are
// in PpmdEstimators.h, the range decoder in PpmdRangeDecoder.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/methods/PpmdContextTree.h"
#include "archive/methods/PpmdEstimators.h"
#include "archive/methods/PpmdRangeDecoder.h"

namespace archive::ppmd {

// Decodes symbols and grows the tree with them. One symbol's way through (DecodeSymbol, the
// update of the counts where it was found, then UpdateModel with CreateSuccessors or
// ReduceOrder) reads and moves the same few fields at every step, so it stays in one class.
class Model : private ContextTree {
 public:
  // Takes `size` bytes (plus a few for alignment) at once; throws std::bad_alloc.
  explicit Model(uint32_t size);
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // Starts afresh with a maximum order (2 to 16) and restoration method (0 to 2).
  void Start(unsigned maxOrder, unsigned restoreMethod);

  // The range decoder, for the input and its first four bytes.
  RangeDecoder& Coder() { return coder_; }

  // The next byte (0-255), -1 for the end marker, or -2 for data no encoder makes.
  int DecodeSymbol();

 private:
  // Starts the tree and the statistics afresh.
  void Restart();
  // Memory ran out while updating the contexts from maxContext_ down to c1.
  void OutOfMemory(Context* c1, Context* frozenSuccessor);
  Context* CreateSuccessors(bool skip, State* s1, Context* c);
  Context* ReduceOrder(State* s1, Context* c);
  void UpdateModel();
  void Rescale();
  void NextContext();
  void UpdateFirst();
  void UpdateFirstOfMany();
  void UpdateBinary();
  void UpdateAfterEscape();

  unsigned initEsc_ = 0;
  unsigned prevSuccess_ = 0;
  int32_t runLength_ = 0;
  int32_t initRunLength_ = 0;

  Estimators estimators_;

  RangeDecoder coder_;
};

}  // namespace archive::ppmd
