#include "archive/methods/PpmdModel.h"

#include <algorithm>
#include <cstring>

namespace archive::ppmd {

namespace {

constexpr unsigned kMaxFreq = 124;
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

}  // namespace

Model::Model(uint32_t size) : ContextTree(size) {}

void Model::Start(unsigned maxOrder, unsigned restoreMethod) {
  maxOrder_ = maxOrder;
  restoreMethod_ = restoreMethod;
  broken_ = false;
  Restart();
}

void Model::Restart() {
  Plant();
  runLength_ = initRunLength_ = -static_cast<int32_t>(std::min(maxOrder_, 12u)) - 1;
  prevSuccess_ = 0;
  estimators_.Reset();
}

void Model::OutOfMemory(Context* c1, Context* frozenSuccessor) {
  if (Restore(c1, frozenSuccessor)) Restart();
}

// Makes the contexts that the symbol just seen leads to, from the nearest existing one up
// to the current order, each with the one symbol that followed in the text.
Context* Model::CreateSuccessors(bool skip, State* s1, Context* c) {
  uint32_t upBranch = Successor(foundState_);
  State* ps[kMaxOrder + 1];
  unsigned numPs = 0;
  if (!skip) ps[numPs++] = foundState_;

  while (c->suffix != 0) {
    c = Suffix(c);
    State* s;
    if (s1 != nullptr) {
      s = s1;
      s1 = nullptr;
    } else if (c->numStats != 0) {
      for (s = Stats(c); s->symbol != foundState_->symbol; ++s) {
      }
      if (s->freq < kMaxFreq - 9) {
        ++s->freq;
        ++c->summFreq;
      }
    } else {
      s = OneState(c);
      s->freq = static_cast<uint8_t>(s->freq + ((Suffix(c)->numStats == 0) & (s->freq < 24)));
    }
    uint32_t successor = Successor(s);
    if (successor != upBranch) {
      c = Ctx(successor);
      if (numPs == 0) return c;
      break;
    }
    if (numPs == kMaxOrder + 1) return nullptr;  // deeper than any order: not a model
    ps[numPs++] = s;
  }

  State up;
  up.symbol = *Ptr(upBranch);
  SetSuccessor(&up, upBranch + 1);
  auto flags =
      static_cast<uint8_t>(0x10 * (foundState_->symbol >= 0x40) + 0x08 * (up.symbol >= 0x40));
  if (c->numStats == 0) {
    up.freq = OneState(c)->freq;
  } else {
    State* s;
    for (s = Stats(c); s->symbol != up.symbol; ++s) {
    }
    uint32_t cf = s->freq - 1u;
    uint32_t s0 = c->summFreq - c->numStats - cf;
    uint32_t extra = 2 * cf <= s0 ? (5 * cf > s0) : s0 != 0 ? (cf + 2 * s0 - 3) / s0 : 0;
    up.freq = static_cast<uint8_t>(1 + extra);
  }

  while (numPs != 0) {
    auto* child = static_cast<Context*>(memory_.AllocContext());
    if (child == nullptr) return nullptr;
    child->numStats = 0;
    child->flags = flags;
    *OneState(child) = up;
    child->suffix = Ref(c);
    SetSuccessor(ps[--numPs], Ref(child));
    c = child;
  }
  return c;
}

// The symbol's successor is missing: walks down the suffixes, pointing them at the text,
// until one has a successor.
Context* Model::ReduceOrder(State* s1, Context* c) {
  State* s = nullptr;
  Context* c1 = c;
  uint32_t upBranch = memory_.TextRef();
  // Only the frozen model uses these; elsewhere they may be more than fit, and are dropped.
  State* ps[kMaxOrder + 1];
  unsigned numPs = 0;
  ps[numPs++] = foundState_;
  SetSuccessor(foundState_, upBranch);
  ++orderFall_;

  for (;;) {
    if (s1 != nullptr) {
      c = Suffix(c);
      s = s1;
      s1 = nullptr;
    } else {
      if (c->suffix == 0) {
        if (restoreMethod_ > kFreeze) {
          do SetSuccessor(ps[--numPs], Ref(c));
          while (numPs != 0);
          memory_.RestartText(1);
          orderFall_ = 1;
        }
        return c;
      }
      c = Suffix(c);
      if (c->numStats != 0) {
        s = Stats(c);
        while (s->symbol != foundState_->symbol) ++s;
        if (s->freq < kMaxFreq - 9) {
          s->freq += 2;
          c->summFreq += 2;
        }
      } else {
        s = OneState(c);
        s->freq = static_cast<uint8_t>(s->freq + (s->freq < 32));
      }
    }
    if (Successor(s) != 0) break;
    if (numPs <= kMaxOrder) ps[numPs++] = s;
    SetSuccessor(s, upBranch);
    ++orderFall_;
  }

  if (restoreMethod_ > kFreeze) {
    c = Ctx(Successor(s));
    do SetSuccessor(ps[--numPs], Ref(c));
    while (numPs != 0);
    memory_.RestartText(1);
    orderFall_ = 1;
    return c;
  }
  if (Successor(s) <= upBranch) {
    State* saved = foundState_;
    foundState_ = s;
    Context* successor = CreateSuccessors(false, nullptr, c);
    SetSuccessor(s, successor != nullptr ? Ref(successor) : 0);
    foundState_ = saved;
  }
  if (orderFall_ == 1 && c1 == maxContext_) {
    SetSuccessor(foundState_, Successor(s));
    memory_.DropText(1);
  }
  if (Successor(s) == 0) return nullptr;
  return Ctx(Successor(s));
}

// After a symbol: adds it to every context from maxContext_ down to the one it was found
// in, and moves to the context it leads to.
void Model::UpdateModel() {
  uint32_t fSuccessor = Successor(foundState_);
  unsigned fFreq = foundState_->freq;
  uint8_t fSymbol = foundState_->symbol;
  State* s = nullptr;
  auto contextOrNull = [this](uint32_t ref) { return ref != 0 ? Ctx(ref) : nullptr; };

  if (foundState_->freq < kMaxFreq / 4 && minContext_->suffix != 0) {
    Context* c = Suffix(minContext_);
    if (c->numStats == 0) {
      s = OneState(c);
      if (s->freq < 32) ++s->freq;
    } else {
      s = Stats(c);
      if (s->symbol != fSymbol) {
        do ++s;
        while (s->symbol != fSymbol);
        if (s[0].freq >= s[-1].freq) {
          SwapStates(&s[0], &s[-1]);
          --s;
        }
      }
      if (s->freq < kMaxFreq - 9) {
        s->freq += 2;
        c->summFreq += 2;
      }
    }
  }

  Context* c = maxContext_;
  if (orderFall_ == 0 && fSuccessor != 0) {
    Context* cs = CreateSuccessors(true, s, minContext_);
    if (cs == nullptr) {
      SetSuccessor(foundState_, 0);
      OutOfMemory(c, contextOrNull(fSuccessor));
    } else {
      SetSuccessor(foundState_, Ref(cs));
      maxContext_ = cs;
    }
    return;
  }

  bool textRoom = memory_.AppendText(fSymbol);
  uint32_t successor = memory_.TextRef();
  if (!textRoom) {
    OutOfMemory(c, contextOrNull(fSuccessor));
    return;
  }
  if (fSuccessor == 0) {
    Context* cs = ReduceOrder(s, minContext_);
    if (cs == nullptr) {
      OutOfMemory(c, nullptr);
      return;
    }
    fSuccessor = Ref(cs);
  } else if (!memory_.InUnits(fSuccessor)) {
    Context* cs = CreateSuccessors(false, s, minContext_);
    if (cs == nullptr) {
      OutOfMemory(c, nullptr);
      return;
    }
    fSuccessor = Ref(cs);
  }

  if (--orderFall_ == 0) {
    successor = fSuccessor;
    memory_.DropText(maxContext_ != minContext_);
  } else if (restoreMethod_ > kFreeze) {
    successor = fSuccessor;
    memory_.RestartText(0);
    orderFall_ = 0;
  }

  unsigned ns = minContext_->numStats;
  unsigned s0 = minContext_->summFreq - ns - fFreq;
  auto flag = static_cast<uint8_t>(0x08 * (fSymbol >= 0x40));
  for (; c != minContext_; c = Suffix(c)) {
    unsigned ns1 = c->numStats;
    if (ns1 != 0) {
      if ((ns1 & 1) != 0) {
        // The list is full: move it to a block one unit larger.
        void* list = memory_.ExpandUnits(Stats(c), (ns1 + 1) >> 1);
        if (list == nullptr) {
          OutOfMemory(c, contextOrNull(fSuccessor));
          return;
        }
        c->stats = Ref(list);
      }
      c->summFreq = static_cast<uint16_t>(c->summFreq + (3 * ns1 + 1 < ns));
    } else {
      auto* list = static_cast<State*>(memory_.AllocUnits(1));
      if (list == nullptr) {
        OutOfMemory(c, contextOrNull(fSuccessor));
        return;
      }
      *list = *OneState(c);
      c->stats = Ref(list);
      list->freq = list->freq < kMaxFreq / 4 - 1 ? static_cast<uint8_t>(list->freq << 1)
                                                 : static_cast<uint8_t>(kMaxFreq - 4);
      c->summFreq = static_cast<uint16_t>(list->freq + initEsc_ + (ns > 2));
    }
    uint32_t cf = 2 * fFreq * (c->summFreq + 6u);
    uint32_t sf = s0 + c->summFreq;
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      c->summFreq += 4;
    } else {
      cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
      c->summFreq = static_cast<uint16_t>(c->summFreq + cf);
    }
    State* added = Stats(c) + ns1 + 1;
    SetSuccessor(added, successor);
    added->symbol = fSymbol;
    added->freq = static_cast<uint8_t>(cf);
    c->flags |= flag;
    c->numStats = static_cast<uint8_t>(ns1 + 1);
  }
  maxContext_ = minContext_ = Ctx(fSuccessor);
}

// Halves the counts of the current context (the found symbol first), dropping symbols
// whose count reaches zero.
void Model::Rescale() {
  State* stats = Stats(minContext_);
  State* s = foundState_;
  {
    State found = *s;
    for (; s != stats; --s) s[0] = s[-1];
    *s = found;
  }
  unsigned escape = minContext_->summFreq - s->freq;
  s->freq += 4;
  unsigned adder = orderFall_ != 0 || restoreMethod_ > kFreeze;
  s->freq = static_cast<uint8_t>((s->freq + adder) >> 1);
  unsigned sum = s->freq;

  unsigned i = minContext_->numStats;
  do {
    escape -= (++s)->freq;
    s->freq = static_cast<uint8_t>((s->freq + adder) >> 1);
    sum += s->freq;
    if (s[0].freq > s[-1].freq) {
      State* to = s;
      State moved = *to;
      do to[0] = to[-1];
      while (--to != stats && moved.freq > to[-1].freq);
      *to = moved;
    }
  } while (--i);

  if (s->freq == 0) {
    unsigned numStats = minContext_->numStats;
    do ++i;
    while ((--s)->freq == 0);
    escape += i;
    minContext_->numStats = static_cast<uint8_t>(minContext_->numStats - i);
    if (minContext_->numStats == 0) {
      State only = *stats;
      only.freq = static_cast<uint8_t>((2 * only.freq + escape - 1) / std::max(escape, 1u));
      if (only.freq > kMaxFreq / 3) only.freq = kMaxFreq / 3;
      memory_.FreeUnits(stats, (numStats + 2) >> 1);
      minContext_->flags =
          static_cast<uint8_t>((minContext_->flags & 0x10) + 0x08 * (only.symbol >= 0x40));
      *(foundState_ = OneState(minContext_)) = only;
      return;
    }
    unsigned n0 = (numStats + 2) >> 1;
    unsigned n1 = (minContext_->numStats + 2u) >> 1;
    if (n0 != n1) minContext_->stats = Ref(memory_.ShrinkUnits(stats, n0, n1));
    minContext_->flags &= ~0x08;
    s = Stats(minContext_);
    minContext_->flags |= 0x08 * (s->symbol >= 0x40);
    i = minContext_->numStats;
    do minContext_->flags |= 0x08 * ((++s)->symbol >= 0x40);
    while (--i);
  }
  minContext_->summFreq = static_cast<uint16_t>(sum + escape - (escape >> 1));
  minContext_->flags |= 0x04;
  foundState_ = Stats(minContext_);
}

void Model::NextContext() {
  uint32_t successor = Successor(foundState_);
  if (orderFall_ == 0 && memory_.InUnits(successor)) {
    minContext_ = maxContext_ = Ctx(successor);
  } else {
    UpdateModel();
    minContext_ = maxContext_;
  }
}

void Model::UpdateFirst() {
  State* s = foundState_;
  s->freq += 4;
  minContext_->summFreq += 4;
  if (s[0].freq > s[-1].freq) {
    SwapStates(&s[0], &s[-1]);
    foundState_ = --s;
    if (s->freq > kMaxFreq) Rescale();
  }
  NextContext();
}

void Model::UpdateFirstOfMany() {
  prevSuccess_ = 2u * foundState_->freq >= minContext_->summFreq;
  runLength_ += static_cast<int32_t>(prevSuccess_);
  minContext_->summFreq += 4;
  if ((foundState_->freq += 4) > kMaxFreq) Rescale();
  NextContext();
}

void Model::UpdateBinary() {
  foundState_->freq = static_cast<uint8_t>(foundState_->freq + (foundState_->freq < 196));
  prevSuccess_ = 1;
  ++runLength_;
  NextContext();
}

void Model::UpdateAfterEscape() {
  minContext_->summFreq += 4;
  if ((foundState_->freq += 4) > kMaxFreq) Rescale();
  runLength_ = initRunLength_;
  UpdateModel();
  minContext_ = maxContext_;
}

// One symbol: first in the current context, then, after escapes, in ever shorter suffixes
// with the symbols already ruled out masked. Kept in one piece: it is the hot loop, and
// splitting it costs the calls and the mask's reloads.
int Model::DecodeSymbol() {
  if (broken_) return -2;
  uint8_t masked[256];
  if (minContext_->numStats != 0) {
    State* s = Stats(minContext_);
    uint32_t count;
    if (!coder_.Threshold(minContext_->summFreq, &count)) return -2;
    uint32_t high = s->freq;
    if (count < high) {
      coder_.Consume(0, s->freq);
      foundState_ = s;
      int symbol = s->symbol;
      UpdateFirstOfMany();
      return symbol;
    }
    prevSuccess_ = 0;
    unsigned i = minContext_->numStats;
    do {
      if ((high += (++s)->freq) > count) {
        coder_.Consume(high - s->freq, s->freq);
        foundState_ = s;
        int symbol = s->symbol;
        UpdateFirst();
        return symbol;
      }
    } while (--i);
    if (count >= minContext_->summFreq) return -2;
    coder_.Consume(high, minContext_->summFreq - high);
    std::memset(masked, 0xFF, sizeof masked);
    masked[s->symbol] = 0;
    i = minContext_->numStats;
    do masked[(--s)->symbol] = 0;
    while (--i);
  } else {
    State* one = OneState(minContext_);
    uint16_t* prob =
        estimators_.Binary(one->freq, Suffix(minContext_)->numStats,
                           prevSuccess_ + minContext_->flags + ((runLength_ >> 26) & 0x20));
    if (coder_.ThresholdBits(kBinScaleBits) < *prob) {
      coder_.Consume(0, *prob);
      *prob = static_cast<uint16_t>(*prob + (1 << 7) - ((*prob + 32) >> 7));
      foundState_ = one;
      int symbol = one->symbol;
      UpdateBinary();
      return symbol;
    }
    coder_.Consume(*prob, kBinScale - *prob);
    *prob = static_cast<uint16_t>(*prob - ((*prob + 32) >> 7));
    initEsc_ = kExpEscape[*prob >> 10];
    std::memset(masked, 0xFF, sizeof masked);
    masked[one->symbol] = 0;
    prevSuccess_ = 0;
  }

  for (;;) {
    State* candidates[256];
    unsigned numMasked = minContext_->numStats;
    do {
      ++orderFall_;
      if (minContext_->suffix == 0) return -1;
      minContext_ = Suffix(minContext_);
    } while (minContext_->numStats == numMasked);
    if (minContext_->numStats < numMasked) return -2;

    uint32_t high = 0;
    State* s = Stats(minContext_);
    State* end = s + minContext_->numStats + 1;
    unsigned n = 0;
    unsigned wanted = minContext_->numStats - numMasked;
    do {
      if (s == end) return -2;
      unsigned keep = masked[s->symbol];  // 0xFF or 0
      high += s->freq & keep;
      candidates[n] = s++;
      n += keep & 1;
    } while (n != wanted);

    uint32_t total;
    See* see = estimators_.Escape(minContext_, Suffix(minContext_), numMasked, &total);
    total += high;
    uint32_t count;
    if (!coder_.Threshold(total, &count)) return -2;
    if (count < high) {
      State** pick = candidates;
      for (high = 0; (high += (*pick)->freq) <= count; ++pick) {
      }
      s = *pick;
      coder_.Consume(high - s->freq, s->freq);
      see->Found();
      foundState_ = s;
      int symbol = s->symbol;
      UpdateAfterEscape();
      return symbol;
    }
    if (count >= total) return -2;
    coder_.Consume(high, total - high);
    see->Escaped(total);
    do masked[candidates[--n]->symbol] = 0;
    while (n != 0);
  }
}

}  // namespace archive::ppmd
