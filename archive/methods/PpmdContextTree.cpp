#include "archive/methods/PpmdContextTree.h"

namespace archive::ppmd {

void ContextTree::Plant() {
  memory_.Reset();
  orderFall_ = maxOrder_;
  // The root: a context from the top of the units, its list from the bottom.
  minContext_ = maxContext_ = static_cast<Context*>(memory_.AllocContext());
  minContext_->suffix = 0;
  minContext_->numStats = 255;
  minContext_->flags = 0;
  minContext_->summFreq = 256 + 1;
  foundState_ = static_cast<State*>(memory_.AllocUnits(256 / 2));
  minContext_->stats = Ref(foundState_);
  for (unsigned i = 0; i < 256; ++i) {
    State* s = foundState_ + i;
    s->symbol = static_cast<uint8_t>(i);
    s->freq = 1;
    SetSuccessor(s, 0);
  }
}

bool ContextTree::Restore(Context* c1, Context* frozenSuccessor) {
  memory_.RestartText(0);
  Context* c = maxContext_;
  // Undo the half-made update: those contexts got no new symbol after all.
  for (; c != c1; c = Suffix(c)) {
    if (--c->numStats == 0) {
      State* s = Stats(c);
      c->flags = static_cast<uint8_t>((c->flags & 0x10) + 0x08 * (s->symbol >= 0x40));
      *OneState(c) = *s;
      memory_.SpecialFreeUnit(s);
      OneState(c)->freq = static_cast<uint8_t>((OneState(c)->freq + 11u) >> 3);
    } else {
      Refresh(c, (c->numStats + 3u) >> 1, 0);
    }
  }
  for (; c != minContext_; c = Suffix(c)) {
    if (c->numStats == 0) {
      OneState(c)->freq = static_cast<uint8_t>(OneState(c)->freq - (OneState(c)->freq >> 1));
    } else if ((c->summFreq += 4) > 128 + 4 * c->numStats) {
      Refresh(c, (c->numStats + 2u) >> 1, 1);
    }
  }

  if (restoreMethod_ > kFreeze) {
    // Frozen already: carry on in the successor, with what memory there is.
    if (frozenSuccessor == nullptr) {
      broken_ = true;
      return false;
    }
    maxContext_ = frozenSuccessor;
    memory_.PostponeGlue();
  } else if (restoreMethod_ == kFreeze) {
    while (maxContext_->suffix != 0) maxContext_ = Suffix(maxContext_);
    RemoveBinaryContexts(maxContext_, 0);
    ++restoreMethod_;
    memory_.GlueSoon();
    orderFall_ = maxOrder_;
  } else if (restoreMethod_ == kRestart || memory_.UsedMemory() < (memory_.Size() >> 1)) {
    return true;
  } else {
    while (maxContext_->suffix != 0) maxContext_ = Suffix(maxContext_);
    do {
      CutOff(maxContext_, 0);
      memory_.ExpandTextArea();
    } while (memory_.UsedMemory() > 3 * (memory_.Size() >> 2));
    memory_.GlueSoon();
    orderFall_ = maxOrder_;
  }
  return false;
}

// Rebuilds a context's list after symbols left it, halving the counts when `scale` is 1.
void ContextTree::Refresh(Context* c, unsigned oldUnits, unsigned scale) {
  unsigned i = c->numStats;
  auto* s = static_cast<State*>(memory_.ShrinkUnits(Stats(c), oldUnits, (i + 2) >> 1));
  c->stats = Ref(s);
  unsigned flags = (c->flags & (0x10 + 0x04 * scale)) + 0x08 * (s->symbol >= 0x40);
  unsigned escape = c->summFreq - s->freq;
  unsigned sum = s->freq = static_cast<uint8_t>((s->freq + scale) >> scale);
  do {
    escape -= (++s)->freq;
    sum += s->freq = static_cast<uint8_t>((s->freq + scale) >> scale);
    flags |= 0x08 * (s->symbol >= 0x40);
  } while (--i);
  c->summFreq = static_cast<uint16_t>(sum + ((escape + scale) >> scale));
  c->flags = static_cast<uint8_t>(flags);
}

// Drops the states whose successors point into the text (about to be reused) and the
// contexts above the maximum order, depth first; returns what is left of `c` or 0.
uint32_t ContextTree::CutOff(Context* c, unsigned order) {
  if (c->numStats == 0) {
    State* s = OneState(c);
    if (memory_.InUnits(Successor(s))) {
      SetSuccessor(s, order < maxOrder_ ? CutOff(Ctx(Successor(s)), order + 1) : 0);
      if (Successor(s) != 0 || order <= 9) return Ref(c);
    }
    memory_.SpecialFreeUnit(c);
    return 0;
  }

  unsigned units = (c->numStats + 2u) >> 1;
  c->stats = Ref(memory_.MoveUnitsUp(Stats(c), units));
  int last = c->numStats;
  for (State* s = Stats(c) + last; s >= Stats(c); --s) {
    if (!memory_.InUnits(Successor(s))) {
      State* kept = Stats(c) + last--;
      SetSuccessor(s, 0);
      SwapStates(s, kept);
    } else {
      SetSuccessor(s, order < maxOrder_ ? CutOff(Ctx(Successor(s)), order + 1) : 0);
    }
  }
  if (last != c->numStats && order != 0) {
    c->numStats = static_cast<uint8_t>(last);
    State* s = Stats(c);
    if (last < 0) {
      memory_.FreeUnits(s, units);
      memory_.SpecialFreeUnit(c);
      return 0;
    }
    if (last == 0) {
      c->flags = static_cast<uint8_t>((c->flags & 0x10) + 0x08 * (s->symbol >= 0x40));
      *OneState(c) = *s;
      memory_.FreeUnits(s, units);
      OneState(c)->freq = static_cast<uint8_t>((OneState(c)->freq + 11u) >> 3);
    } else {
      Refresh(c, units, c->summFreq > 16 * last);
    }
  }
  return Ref(c);
}

// Freezing: forgets every successor into the text and frees binary contexts that lead
// nowhere, once, when memory first runs out.
uint32_t ContextTree::RemoveBinaryContexts(Context* c, unsigned order) {
  if (c->numStats == 0) {
    State* s = OneState(c);
    if (memory_.InUnits(Successor(s)) && order < maxOrder_) {
      SetSuccessor(s, RemoveBinaryContexts(Ctx(Successor(s)), order + 1));
    } else {
      SetSuccessor(s, 0);
    }
    // The suffix may be freed already (several successors can share a context): a free
    // unit reads as flags 0xFF.
    if (Successor(s) == 0 && (Suffix(c)->numStats == 0 || Suffix(c)->flags == 0xFF)) {
      memory_.FreeUnits(c, 1);
      return 0;
    }
    return Ref(c);
  }
  for (State* s = Stats(c) + c->numStats; s >= Stats(c); --s) {
    if (memory_.InUnits(Successor(s)) && order < maxOrder_) {
      SetSuccessor(s, RemoveBinaryContexts(Ctx(Successor(s)), order + 1));
    } else {
      SetSuccessor(s, 0);
    }
  }
  return Ref(c);
}

}  // namespace archive::ppmd
