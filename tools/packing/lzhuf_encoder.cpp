// LZHUF encoding: hash chains over the window find, at every position, the nearest match of
// each length; a shortest-path parse over those choices, priced from the adaptive tree's counts
// and the fixed position code, picks literals and matches; the chosen symbols are then
// coded with the same adaptive tree (update and rebuild) as the decoder.
#include "packing/lzhuf_encoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "stream/block_format.h"
#include "stream/lzhuf_format.h"

namespace {

// The data is parsed as if preceded by the window's initial spaces: virtual position
// kPrefix is the first data byte and sits in ring slot LZ_START_POSITION, as in the decoder.
// Slots 4036..4095 are not part of that prefix: the decoder leaves them as the previous
// expansion left them, so a match may reach back at most to virtual position 0.
constexpr uint32_t kPrefix = LZ_START_POSITION;
constexpr uint32_t kMinMatch = LZ_THRESHOLD + 1;
constexpr uint32_t kMaxDistance = LZ_WINDOW_SIZE;
// Prefix positions entered into the hash chains: enough for the nearest run of spaces.
constexpr uint32_t kPrefixIndexed = 2 * LZ_MAX_MATCH;
constexpr uint32_t kPadding = 64;  // zero bytes after the data, so word compares and hashes may overrun

// Search effort: chain steps per position, fewer once a match of kGoodLength is in hand; a
// match as long as the format allows is taken at once without weighing the alternatives.
constexpr int kChainDepth = 128;
constexpr uint32_t kGoodLength = 24;
constexpr int kGoodDepth = 32;
constexpr uint32_t kNiceLength = LZ_MAX_MATCH;
// Parse segments: prices are exact within one, so a segment ends where no choice crosses it.
constexpr uint32_t kSegmentMin = 256;
constexpr uint32_t kSegmentMax = 4096;
// Bytes between refreshes of the prices from the adaptive tree's counts.
constexpr uint32_t kPriceRefresh = 1024;
// The last bytes of a stream for the block reader are re-parsed until the reader takes in
// every block in time (see EncodeTail).
constexpr uint32_t kTailRegion = 256;

// Positions in the padded buffer are kept as signed 32-bit numbers.
constexpr size_t kMaxInput = 0x7FFFFFFFu - kPrefix - kPadding;

constexpr uint32_t kHashBits = 15;
constexpr uint32_t kChainMask = 2 * kMaxDistance - 1;  // never overwrites an entry still in the window

// Encoder side of the fixed position code: the code and its length for each upper-6-bit
// value, taken from the decoder's tables so that both always agree.
struct PositionCode {
  uint8_t length[64];
  uint8_t code[64];
};

constexpr PositionCode MakePositionCode() {
  PositionCode pc{};
  for (int i = 0; i < 256; i++) {
    const int value = kLzhufPositionTables.high[i];
    const int length = kLzhufPositionTables.length[i];
    if (pc.length[value] == 0) {
      pc.length[value] = (uint8_t)length;
      pc.code[value] = (uint8_t)(i >> (8 - length));
    }
  }
  return pc;
}

constexpr PositionCode kPositionCode = MakePositionCode();
// Prices are in sixteenths of a bit.
constexpr uint32_t kPriceScale = 16;

// kPriceScale * log2(x) for x >= 1, in integers so that every platform parses alike.
uint32_t ScaledLog2(uint32_t x) {
  uint32_t whole = 31 - (uint32_t)__builtin_clz(x);
  // x / 2^whole in [1, 2) as a 1.31 fixed-point number; each squaring yields one more bit.
  uint64_t y = whole >= 31 ? x : (uint64_t)x << (31 - whole);
  uint32_t fraction = 0;
  for (uint32_t bit = kPriceScale / 2; bit > 0; bit >>= 1) {
    y = (y * y) >> 31;
    if (y >= (2ull << 31)) {
      y >>= 1;
      fraction |= bit;
    }
  }
  return whole * kPriceScale + fraction;
}

// Bits of a match position (distance - 1): the upper 6 bits' code, then the lower 6 bits.
inline uint32_t PositionBits(uint32_t distance) {
  return (kPositionCode.length[(distance - 1) >> 6] + 6u) * kPriceScale;
}

// The adaptive Huffman tree, kept exactly as the decoder keeps it.
struct HuffmanModel {
  uint16_t freq[LZ_NODES + 1];
  int16_t child[LZ_NODES];
  int16_t parent[LZ_NODES + LZ_SYMBOLS];

  void Start() {
    for (int i = 0; i < LZ_SYMBOLS; i++) {
      freq[i] = 1;
      child[i] = (int16_t)(i + LZ_NODES);
      parent[i + LZ_NODES] = (int16_t)i;
    }
    int i = 0;
    for (int j = LZ_SYMBOLS; j < LZ_NODES; j++) {
      freq[j] = (uint16_t)(freq[i] + freq[i + 1]);
      child[j] = (int16_t)i;
      parent[i] = parent[i + 1] = (int16_t)j;
      i += 2;
    }
    freq[LZ_NODES] = 0xFFFF;
    parent[LZ_ROOT] = 0;
  }

  void Rebuild() {
    int j = 0;
    for (int i = 0; i < LZ_NODES; i++) {
      if (child[i] >= LZ_NODES) {
        freq[j] = (uint16_t)((freq[i] + 1) / 2);
        child[j] = child[i];
        j++;
      }
    }
    int i = 0;
    for (j = LZ_SYMBOLS; j < LZ_NODES; j++) {
      const uint16_t f = (uint16_t)(freq[i] + freq[i + 1]);
      int k = j - 1;
      while (f < freq[k]) k--;
      k++;
      for (int m = j; m > k; m--) {
        freq[m] = freq[m - 1];
        child[m] = child[m - 1];
      }
      freq[k] = f;
      child[k] = (int16_t)i;
      i += 2;
    }
    for (i = 0; i < LZ_NODES; i++) {
      const int k = child[i];
      if (k >= LZ_NODES) {
        parent[k] = (int16_t)i;
      } else {
        parent[k] = parent[k + 1] = (int16_t)i;
      }
    }
  }

  void Update(int symbol) {
    if (freq[LZ_ROOT] == LZ_FREQ_LIMIT) Rebuild();
    int c = parent[symbol + LZ_NODES];
    do {
      const uint16_t k = ++freq[c];
      if (k > freq[c + 1]) {
        int l = c + 1;
        while (k > freq[l + 1]) l++;
        freq[c] = freq[l];
        freq[l] = k;
        const int i = child[c];
        parent[i] = (int16_t)l;
        if (i < LZ_NODES) parent[i + 1] = (int16_t)l;
        const int j = child[l];
        child[l] = (int16_t)i;
        parent[j] = (int16_t)c;
        if (j < LZ_NODES) parent[j + 1] = (int16_t)c;
        child[c] = (int16_t)j;
        c = l;
      }
      c = parent[c];
    } while (c != 0);
  }

  // The code of a symbol, read from its leaf up to the root. A first child always sits at an
  // even node index (the decoder adds the bit to it), so a node's index parity is its bit.
  int Code(int symbol, uint64_t* code) const {
    uint64_t bits = 0;
    int length = 0;
    int k = parent[symbol + LZ_NODES];
    do {
      bits |= (uint64_t)(k & 1) << length;
      length++;
      k = parent[k];
    } while (k != LZ_ROOT);
    *code = bits;
    return length;
  }
};

// Most significant bit first, as the decoder reads.
class BitWriter {
 public:
  void Put(uint64_t value, int count) {
    while (count > 32) {
      count -= 32;
      Put32((uint32_t)(value >> count), 32);
    }
    Put32((uint32_t)value & (count == 32 ? 0xFFFFFFFFu : ((1u << count) - 1)), count);
  }
  void Put32(uint32_t value, int count) {
    acc_ = (acc_ << count) | value;
    pending_ += count;
    totalBits_ += (uint64_t)count;
    while (pending_ >= 8) {
      pending_ -= 8;
      bytes_.push_back((uint8_t)(acc_ >> pending_));
    }
  }
  // Pads the last byte with zero bits.
  void Flush() {
    if (pending_ > 0) {
      bytes_.push_back((uint8_t)(acc_ << (8 - pending_)));
      totalBits_ += (uint64_t)(8 - pending_);
      pending_ = 0;
    }
  }
  uint64_t TotalBits() const { return totalBits_; }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  // A writer that goes on from where this one stands, into bytes of its own.
  BitWriter Fork() const {
    BitWriter w;
    w.acc_ = acc_;
    w.pending_ = pending_;
    w.totalBits_ = totalBits_;
    return w;
  }
  void Join(const BitWriter& fork) {
    bytes_.insert(bytes_.end(), fork.bytes_.begin(), fork.bytes_.end());
    acc_ = fork.acc_;
    pending_ = fork.pending_;
    totalBits_ = fork.totalBits_;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t acc_ = 0;
  int pending_ = 0;
  uint64_t totalBits_ = 0;
};

struct Match {
  uint32_t length;
  uint32_t distance;
};

// One parse step: a literal (length 1) or a match.
struct Op {
  uint16_t length;
  uint16_t distance;
};

struct SymbolSpan {
  uint32_t outputStart;
  uint64_t endBit;
};

inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (n < limit) {
    uint64_t x;
    uint64_t y;
    memcpy(&x, a + n, 8);
    memcpy(&y, b + n, 8);
    const uint64_t diff = x ^ y;
    if (diff != 0) {
      n += (uint32_t)__builtin_ctzll(diff) >> 3;
      break;
    }
    n += 8;
  }
  return n < limit ? n : limit;
}

class Encoder {
 public:
  Encoder(const uint8_t* data, size_t size) : size_((uint32_t)size) {
    buffer_.assign(kPrefix + size + kPadding, 0);
    memset(buffer_.data(), LZ_FILL_BYTE, kPrefix);
    if (size > 0) memcpy(buffer_.data() + kPrefix, data, size);
    v_ = buffer_.data();
    head_.assign(1u << kHashBits, -1);
    prev_.assign(kChainMask + 1, -1);
    for (uint32_t p = kPrefix - kPrefixIndexed; p < kPrefix; p++) Insert(p);
    model_.Start();
    RefreshPrices();
    price_.resize(kSegmentMax + LZ_MAX_MATCH + 2);
    from_.resize(kSegmentMax + LZ_MAX_MATCH + 2);
    writer_.Bytes().reserve(size / 2 + 16);
  }

  // Parses and codes data bytes [position, end).
  void EncodeUpTo(uint32_t end) {
    std::vector<Op> ops;
    while (position_ < end) {
      ops.clear();
      const uint32_t start = position_;
      ParseSegment(
          start, end, [this](uint32_t pos, uint32_t limit, Match* out) { return FindMatches(pos, limit, out); },
          true, &ops);
      uint32_t pos = start;
      for (const Op& op : ops) {
        EmitOp(op, pos, &model_, &writer_, nullptr);
        pos += op.length;
      }
      position_ = pos;
      if (position_ - lastRefresh_ >= kPriceRefresh) RefreshPrices();
    }
  }

  // Codes the rest of a stream for the block reader (see LzhufEncodeForStream).
  bool EncodeTail(uint32_t* padding);

  std::vector<uint8_t> Finish(uint32_t padding) {
    writer_.Flush();
    std::vector<uint8_t>& bits = writer_.Bytes();
    std::vector<uint8_t> image;
    image.reserve(4 + bits.size() + padding);
    for (int i = 0; i < 4; i++) image.push_back((uint8_t)(size_ >> (8 * i)));
    image.insert(image.end(), bits.begin(), bits.end());
    image.insert(image.end(), padding, 0);
    return image;
  }

  uint32_t Position() const { return position_; }

 private:
  uint32_t Hash(uint32_t vpos) const {
    const uint32_t x = (uint32_t)v_[vpos] << 16 | (uint32_t)v_[vpos + 1] << 8 | v_[vpos + 2];
    return (x * 2654435761u) >> (32 - kHashBits);
  }

  void Insert(uint32_t vpos) {
    const uint32_t h = Hash(vpos);
    prev_[vpos & kChainMask] = head_[h];
    head_[h] = (int32_t)vpos;
  }

  // Matches at data position pos, each longer than the one before and the nearest of its
  // length, no longer than limit; enters the position into the chains.
  uint32_t FindMatches(uint32_t pos, uint32_t limit, Match* out) {
    const uint32_t vpos = kPrefix + pos;
    const uint32_t h = Hash(vpos);
    int32_t candidate = head_[h];
    prev_[vpos & kChainMask] = candidate;
    head_[h] = (int32_t)vpos;
    if (limit > LZ_MAX_MATCH) limit = LZ_MAX_MATCH;
    if (limit < kMinMatch) return 0;
    const int32_t oldest = (int32_t)vpos - (int32_t)std::min<uint32_t>(kMaxDistance, vpos);
    const uint8_t* here = v_ + vpos;
    uint32_t best = kMinMatch - 1;
    uint32_t count = 0;
    for (int depth = kChainDepth; candidate >= oldest && depth > 0; depth--) {
      const uint8_t* there = v_ + candidate;
      if (there[best] == here[best]) {
        const uint32_t length = MatchLength(there, here, limit);
        if (length > best) {
          best = length;
          out[count++] = {length, vpos - (uint32_t)candidate};
          if (length >= limit) break;
          if (length >= kGoodLength && depth > kGoodDepth) depth = kGoodDepth;
        }
      }
      candidate = prev_[(uint32_t)candidate & kChainMask];
    }
    return count;
  }

  void RefreshPrices() {
    // A symbol's share of the counts prices it a little better than its current code length:
    // the tree adapts as it is used.
    uint16_t prices[LZ_SYMBOLS];
    const uint32_t total = ScaledLog2(model_.freq[LZ_ROOT]);
    for (int c = 0; c < LZ_SYMBOLS; c++) {
      prices[c] = (uint16_t)(total - ScaledLog2(model_.freq[model_.parent[c + LZ_NODES]]));
    }
    for (int c = 0; c < 256; c++) literalPrice_[c] = prices[c];
    for (uint32_t l = kMinMatch; l <= LZ_MAX_MATCH; l++) lengthPrice_[l] = prices[l + 256 - kMinMatch];
    lastRefresh_ = position_;
  }

  // Cheapest parse of [start, end) under the current prices, up to a point where no choice
  // crosses (or kSegmentMax bytes). With takeLong, a match of kNiceLength or more is taken
  // at once and ends the segment.
  template <class FindFn>
  void ParseSegment(uint32_t start, uint32_t end, FindFn find, bool takeLong, std::vector<Op>* ops) {
    const uint32_t available = end - start;
    Match matches[LZ_MAX_MATCH];
    uint32_t* price = price_.data();
    Op* from = from_.data();
    price[0] = 0;
    uint32_t reached = 0;  // highest index with a price
    uint32_t i = 0;
    uint32_t stop = available;
    while (i < available) {
      if (i == reached ? i >= kSegmentMin : i >= kSegmentMax) {
        stop = i;
        break;
      }
      const uint32_t pos = start + i;
      const uint32_t count = find(pos, available - i, matches);
      const uint32_t base = price[i];
      if (reached < i + 1) {
        reached = i + 1;
        price[i + 1] = UINT32_MAX;
      }
      const uint32_t literal = base + literalPrice_[v_[kPrefix + pos]];
      if (literal < price[i + 1]) {
        price[i + 1] = literal;
        from[i + 1] = {1, 0};
      }
      if (count > 0) {
        const uint32_t longest = matches[count - 1].length;
        if (takeLong && longest >= kNiceLength) {
          Backtrack(i, ops);
          ops->push_back({(uint16_t)longest, (uint16_t)matches[count - 1].distance});
          for (uint32_t k = 1; k < longest; k++) Insert(kPrefix + pos + k);
          return;
        }
        while (reached < i + longest) price[++reached] = UINT32_MAX;
        uint32_t length = kMinMatch;
        for (uint32_t m = 0; m < count; m++) {
          const uint32_t distance = matches[m].distance;
          const uint32_t withPosition = base + PositionBits(distance);
          for (; length <= matches[m].length; length++) {
            const uint32_t p = withPosition + lengthPrice_[length];
            if (p < price[i + length]) {
              price[i + length] = p;
              from[i + length] = {(uint16_t)length, (uint16_t)distance};
            }
          }
        }
      }
      i++;
    }
    Backtrack(stop, ops);
  }

  void Backtrack(uint32_t end, std::vector<Op>* ops) {
    const size_t first = ops->size();
    for (uint32_t j = end; j > 0; j -= from_[j].length) ops->push_back(from_[j]);
    std::reverse(ops->begin() + (std::ptrdiff_t)first, ops->end());
  }

  void EmitSymbol(int symbol, HuffmanModel* model, BitWriter* writer) {
    uint64_t code;
    const int length = model->Code(symbol, &code);
    writer->Put(code, length);
    model->Update(symbol);
  }

  void EmitOp(const Op& op, uint32_t pos, HuffmanModel* model, BitWriter* writer, std::vector<SymbolSpan>* spans) {
    if (op.length == 1) {
      EmitSymbol(v_[kPrefix + pos], model, writer);
    } else {
      EmitSymbol(op.length + 256 - (int)kMinMatch, model, writer);
      const uint32_t q = op.distance - 1u;
      const uint32_t high = q >> 6;
      writer->Put32(((uint32_t)kPositionCode.code[high] << 6) | (q & 63), kPositionCode.length[high] + 6);
    }
    if (spans) spans->push_back({pos, writer->TotalBits()});
  }

  const uint8_t* v_;
  std::vector<uint8_t> buffer_;
  std::vector<int32_t> head_;
  std::vector<int32_t> prev_;
  uint32_t size_;
  uint32_t position_ = 0;
  uint32_t lastRefresh_ = 0;
  HuffmanModel model_;
  BitWriter writer_;
  uint16_t literalPrice_[256];
  uint16_t lengthPrice_[LZ_MAX_MATCH + 1];
  std::vector<uint32_t> price_;
  std::vector<Op> from_;
};

// Whether the block reader takes in every block of this layout in time. The decoder asks for
// byte j of the bit stream at its first read at bit offset 8(j - 1) or later (bytes 0 and 1 at
// its first read), and every symbol's last read is a single bit just before its end; so byte j
// is asked for while decoding the first symbol that ends after bit 8(j - 1). The reader only
// fetches a block while 8 or more bytes are still to be produced.
bool FetchesEveryBlock(const std::vector<SymbolSpan>& spans, uint64_t size, uint64_t bytes) {
  auto requester = [&spans](uint64_t byte) -> const SymbolSpan* {
    const uint64_t bit = byte >= 1 ? 8 * (byte - 1) : 0;
    auto it = std::upper_bound(spans.begin(), spans.end(), bit,
                               [](uint64_t b, const SymbolSpan& s) { return b < s.endBit; });
    return it == spans.end() ? nullptr : &*it;
  };
  for (uint64_t block = 0; block < bytes; block += STREAM_BLOCK_DATA) {
    const SymbolSpan* s = requester(block);
    if (!s || s->outputStart + (uint64_t)STREAM_TAIL_RULE_BYTES > size) return false;
  }
  // The read-ahead past the last byte: asked for while 8 or more bytes remain, it would read
  // whatever follows the stream as a block, or find the end of the file.
  const SymbolSpan* s = requester(bytes);
  return !s || s->outputStart + (uint64_t)STREAM_TAIL_RULE_BYTES > size;
}

// The tail: every parse of the last bytes as the cheapest parse of all but the last t bytes
// followed by t literals, each with or without one padding byte after the bit stream, is
// tried against the reader's fetch rule; the shortest stream that passes wins. The padding
// byte serves the decoder's read-ahead when the last symbol starts 8 or more bytes before
// the end.
bool Encoder::EncodeTail(uint32_t* padding) {
  const uint32_t start = position_;
  const uint32_t region = size_ - start;
  std::vector<Match> matches;
  std::vector<uint32_t> firstMatch(region + 1);
  for (uint32_t i = 0; i < region; i++) {
    Match found[LZ_MAX_MATCH];
    firstMatch[i] = (uint32_t)matches.size();
    const uint32_t count = FindMatches(start + i, region - i, found);
    matches.insert(matches.end(), found, found + count);
  }
  firstMatch[region] = (uint32_t)matches.size();

  struct Candidate {
    std::vector<Op> ops;
    uint32_t padding;
    uint64_t bytes;
  };
  bool found = false;
  Candidate best{};
  std::vector<SymbolSpan> spans;
  for (uint32_t literals = 0; literals <= region; literals++) {
    const uint32_t end = size_ - literals;
    std::vector<Op> ops;
    auto find = [&](uint32_t pos, uint32_t limit, Match* out) {
      uint32_t count = 0;
      for (uint32_t m = firstMatch[pos - start]; m < firstMatch[pos - start + 1]; m++) {
        out[count] = matches[m];
        if (out[count].length >= limit) {
          out[count++].length = limit;
          break;
        }
        count++;
      }
      return limit >= kMinMatch ? count : 0;
    };
    for (uint32_t pos = start; pos < end;) {
      const size_t before = ops.size();
      ParseSegment(pos, end, find, false, &ops);
      for (size_t k = before; k < ops.size(); k++) pos += ops[k].length;
    }
    ops.insert(ops.end(), literals, Op{1, 0});

    HuffmanModel model = model_;
    BitWriter writer = writer_.Fork();
    spans.clear();
    uint32_t pos = start;
    for (const Op& op : ops) {
      EmitOp(op, pos, &model, &writer, &spans);
      pos += op.length;
    }
    const uint64_t streamBytes = (writer.TotalBits() + 7) / 8;
    for (uint32_t pad = 0; pad <= 1; pad++) {
      if (found && streamBytes + pad >= best.bytes) break;
      if (FetchesEveryBlock(spans, size_, streamBytes + pad)) {
        found = true;
        best = {ops, pad, streamBytes + pad};
        break;
      }
    }
    // The plain cheapest parse passing is by far the common case.
    if (found && literals == 0) break;
  }
  if (!found) return false;
  uint32_t pos = start;
  for (const Op& op : best.ops) {
    EmitOp(op, pos, &model_, &writer_, nullptr);
    pos += op.length;
  }
  position_ = pos;
  *padding = best.padding;
  return true;
}

}  // namespace

std::vector<uint8_t> LzhufEncode(const uint8_t* data, size_t size) {
  if (size > kMaxInput) throw std::length_error("too large for an LZHUF image");
  Encoder encoder(data, size);
  encoder.EncodeUpTo((uint32_t)size);
  return encoder.Finish(0);
}

bool LzhufEncodeForStream(const uint8_t* data, size_t size, std::vector<uint8_t>* image) {
  image->clear();
  if (size > kMaxInput) return false;
  if (size == 0) {
    *image = LzhufEncode(data, 0);
    return true;
  }
  // With fewer than 8 bytes to produce, the reader never fetches the first data block.
  if (size < STREAM_TAIL_RULE_BYTES) return false;
  Encoder encoder(data, size);
  encoder.EncodeUpTo(size > kTailRegion ? (uint32_t)(size - kTailRegion) : 0);
  uint32_t padding = 0;
  if (!encoder.EncodeTail(&padding)) return false;
  *image = encoder.Finish(padding);
  return true;
}
