// Encoders for Shrink, Reduce and Implode, which no packaged tool writes: correct, not good.
// Each follows the format's own description independently of our decoders (Implode's codes
// are built the way the format describes, longest first), so that the peers that read these
// methods can vouch for the streams.
#include <algorithm>
#include <map>
#include <queue>
#include <vector>

#include "tests/archive/TestSupport.h"

namespace testing_support {

namespace {

// Bits packed from each byte's low end, as all three methods do.
struct BitWriter {
  std::string bytes;
  unsigned used = 8;
  void Put(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      if (used == 8) bytes.push_back(0), used = 0;
      bytes.back() = static_cast<char>(bytes.back() | (((value >> i) & 1) << used++));
    }
  }
};

// Greedy LZ77 over `window` bytes, zeros before the start; one item per literal or match.
struct Item {
  unsigned length;  // 0 for a literal
  unsigned value;   // the literal, or the distance
};
std::vector<Item> Parse(const std::string& plain, size_t window, unsigned minLength,
                        unsigned maxLength) {
  std::string all = std::string(window, '\0') + plain;
  std::vector<size_t> last(1 << 16, 0);
  std::vector<Item> items;
  auto hash = [&](size_t p) {
    return (uint8_t(all[p]) * 251u + uint8_t(all[p + 1])) * 31u ^ uint8_t(all[p + 2]);
  };
  for (size_t p = 1; p + 2 < window; ++p) last[hash(p) & 0xFFFF] = p;
  for (size_t p = window; p < all.size();) {
    size_t best = 0, distance = 0;
    if (p + 2 < all.size()) {
      // The last position with this hash, and the byte before (runs).
      for (size_t from : {last[hash(p) & 0xFFFF], p - 1}) {
        if (from == 0 || p - from > window) continue;
        size_t n = 0;
        while (n < maxLength && p + n < all.size() && all[from + n] == all[p + n]) ++n;
        if (n > best) best = n, distance = p - from;
      }
    }
    size_t step = best >= minLength ? best : 1;
    items.push_back(best >= minLength ? Item{unsigned(best), unsigned(distance)}
                                      : Item{0, uint8_t(all[p])});
    for (; step > 0; --step, ++p) {
      if (p + 2 < all.size()) last[hash(p) & 0xFFFF] = p;
    }
  }
  return items;
}

}  // namespace

std::string Shrink(const std::string& plain, unsigned clearEvery) {
  constexpr unsigned kCodes = 8192, kFree = 0xFFFF;
  std::vector<unsigned> parent(kCodes, kFree);
  std::vector<uint8_t> value(kCodes);
  std::map<std::pair<unsigned, uint8_t>, unsigned> strings;
  BitWriter out;
  unsigned bits = 9, nextFree = 257, added = 0;
  auto emit = [&](unsigned code) {
    while (code >= (1u << bits)) out.Put(256, bits), out.Put(1, bits), ++bits;
    out.Put(code, bits);
  };
  auto clear = [&] {
    out.Put(256, bits), out.Put(2, bits);
    std::vector<bool> extended(kCodes);
    for (unsigned c = 257; c < kCodes; ++c) {
      if (parent[c] != kFree) extended[parent[c]] = true;
    }
    strings.clear();
    for (unsigned c = 257; c < kCodes; ++c) {
      if (!extended[c]) parent[c] = kFree;
      if (parent[c] != kFree) strings[{parent[c], value[c]}] = c;
    }
    nextFree = 257;
    while (nextFree < kCodes && parent[nextFree] != kFree) ++nextFree;
    added = 0;
  };
  if (plain.empty()) return {};
  unsigned w = uint8_t(plain[0]);
  for (size_t i = 1; i < plain.size(); ++i) {
    uint8_t c = plain[i];
    auto found = strings.find({w, c});
    if (found != strings.end()) {
      w = found->second;
      continue;
    }
    emit(w);
    // Cleared before the string this code's one extends is added, as readers expect; the
    // new string may hang from a freed code, which no later string reaches.
    if (nextFree == kCodes || added >= clearEvery) clear();
    if (nextFree < kCodes) {
      parent[nextFree] = w, value[nextFree] = c, strings[{w, c}] = nextFree, ++added;
      while (nextFree < kCodes && parent[nextFree] != kFree) ++nextFree;
    }
    w = c;
  }
  emit(w);
  return out.bytes;
}

std::string Reduce(const std::string& plain, unsigned factor) {
  const unsigned lowMask = 0xFFu >> factor;
  // The inner stream: bytes, DLE 0 for 144, DLE V [L] D for repeats.
  std::string inner;
  for (const Item& item : Parse(plain, 256u << factor, 4, lowMask + 255 + 3)) {
    if (item.length == 0) {
      inner += char(item.value);
      if (item.value == 144) inner += '\0';
      continue;
    }
    unsigned extra = item.length - 3, back = item.value - 1;
    inner += char(144);
    inner += char((back >> 8) << (8 - factor) | std::min(extra, lowMask));
    if (extra >= lowMask) inner += char(extra - lowMask);
    inner += char(back & 0xFF);
  }
  // Follower sets: the commonest followers of each byte, up to (byte % 33) of them, so that
  // every set size from empty to 32 occurs.
  std::vector<std::map<uint8_t, unsigned>> seen(256);
  for (size_t i = 0; i < inner.size(); ++i) ++seen[i ? uint8_t(inner[i - 1]) : 0][inner[i]];
  std::vector<std::vector<uint8_t>> sets(256);
  for (unsigned j = 0; j < 256; ++j) {
    std::vector<std::pair<unsigned, uint8_t>> byCount;
    for (auto [byte, n] : seen[j]) byCount.push_back({n, byte});
    std::sort(byCount.rbegin(), byCount.rend());
    for (size_t k = 0; k < byCount.size() && k < j % 33; ++k) sets[j].push_back(byCount[k].second);
  }
  BitWriter out;
  for (int j = 255; j >= 0; --j) {
    out.Put(unsigned(sets[j].size()), 6);
    for (uint8_t b : sets[j]) out.Put(b, 8);
  }
  uint8_t last = 0;
  for (char ch : inner) {
    uint8_t b = ch;
    const auto& set = sets[last];
    auto at = std::find(set.begin(), set.end(), b);
    if (set.empty()) {
      out.Put(b, 8);
    } else if (at == set.end()) {
      out.Put(1, 1), out.Put(b, 8);
    } else {
      unsigned width = 1;
      while ((1u << width) < set.size()) ++width;
      out.Put(0, 1), out.Put(unsigned(at - set.begin()), width);
    }
    last = b;
  }
  return out.bytes;
}

namespace {

// Code lengths for these symbol counts: Huffman's, flattened until none exceeds 16.
std::vector<unsigned> Lengths(std::vector<uint64_t> counts) {
  for (;;) {
    using Node = std::pair<uint64_t, std::vector<unsigned>>;  // weight, symbols under it
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    for (unsigned s = 0; s < counts.size(); ++s) queue.push({counts[s] + 1, {s}});
    std::vector<unsigned> lengths(counts.size());
    while (queue.size() > 1) {
      Node a = queue.top();
      queue.pop();
      Node b = queue.top();
      queue.pop();
      for (unsigned s : a.second) ++lengths[s];
      for (unsigned s : b.second) ++lengths[s];
      a.second.insert(a.second.end(), b.second.begin(), b.second.end());
      queue.push({a.first + b.first, a.second});
    }
    if (*std::max_element(lengths.begin(), lengths.end()) <= 16) return lengths;
    for (uint64_t& c : counts) c /= 2;
  }
}

// The stored list, and each symbol's code as the format builds it: lengths sorted
// ascending, codes handed out from the last (longest) with a step of 1 << (16 - length).
struct ShannonFano {
  std::vector<unsigned> lengths, codes;
  explicit ShannonFano(const std::vector<uint64_t>& counts) : lengths(Lengths(counts)) {
    std::vector<unsigned> order(lengths.size());
    for (unsigned s = 0; s < order.size(); ++s) order[s] = s;
    std::stable_sort(order.begin(), order.end(),
                     [&](unsigned a, unsigned b) { return lengths[a] < lengths[b]; });
    codes.resize(lengths.size());
    unsigned code = 0, step = 0, lastLength = 0;
    for (size_t i = order.size(); i-- > 0;) {
      code += step;
      if (lengths[order[i]] != lastLength)
        lastLength = lengths[order[i]], step = 1u << (16 - lastLength);
      codes[order[i]] = code;
    }
  }
  void Store(std::string& out) const {
    std::string list;
    for (size_t s = 0; s < lengths.size();) {
      size_t n = 1;
      while (n < 16 && s + n < lengths.size() && lengths[s + n] == lengths[s]) ++n;
      list += char((n - 1) << 4 | (lengths[s] - 1));
      s += n;
    }
    out += char(list.size() - 1);
    out += list;
  }
  void Put(BitWriter& out, unsigned symbol) const {
    for (unsigned i = 0; i < lengths[symbol]; ++i) out.Put(codes[symbol] >> (15 - i), 1);
  }
};

}  // namespace

std::string Implode(const std::string& plain, bool largeWindow, bool literalCode) {
  const unsigned lowBits = largeWindow ? 7 : 6, minLength = literalCode ? 3 : 2;
  std::vector<Item> items =
      Parse(plain, largeWindow ? 8192 : 4096, minLength, minLength + 63 + 255);
  std::vector<uint64_t> literals(256), lengths(64), distances(64);
  for (const Item& item : items) {
    if (item.length == 0) {
      ++literals[item.value];
    } else {
      ++lengths[std::min(item.length - minLength, 63u)];
      ++distances[(item.value - 1) >> lowBits];
    }
  }
  ShannonFano literalCodes(literals), lengthCodes(lengths), distanceCodes(distances);
  BitWriter out;
  if (literalCode) literalCodes.Store(out.bytes);
  lengthCodes.Store(out.bytes);
  distanceCodes.Store(out.bytes);
  for (const Item& item : items) {
    if (item.length == 0) {
      out.Put(1, 1);
      if (literalCode) {
        literalCodes.Put(out, item.value);
      } else {
        out.Put(item.value, 8);
      }
      continue;
    }
    unsigned back = item.value - 1, length = item.length - minLength;
    out.Put(0, 1);
    out.Put(back, lowBits);
    distanceCodes.Put(out, back >> lowBits);
    lengthCodes.Put(out, std::min(length, 63u));
    if (length >= 63) out.Put(length - 63, 8);
  }
  return out.bytes;
}

}  // namespace testing_support
