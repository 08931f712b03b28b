// Test data and expansion helpers for the encoder and the framing writer: reproducible inputs
// of several kinds, raw expansion with the stub's decoder, and framed expansion from an
// in-memory file with or without bytes after the stream.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "packing/block_writer.h"
#include "packing/lzhuf_encoder.h"
#include "packing/memory_file.h"
#include "stream/block_format.h"
#include "stream/block_stream.h"
#include "stream/lzhuf_format.h"

namespace packtest {

// A small deterministic generator, so every platform sees the same inputs.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint32_t state_;
};

inline std::vector<uint8_t> Incompressible(size_t n, uint32_t seed) {
  Random r(seed);
  std::vector<uint8_t> out(n);
  for (auto& b : out) b = static_cast<uint8_t>(r.Next() >> 24);
  return out;
}

// Words from a small vocabulary: compresses like prose.
inline std::vector<uint8_t> Text(size_t n, uint32_t seed) {
  static const char* const kWords[] = {"the",    "stream", "block",  "window", "tree",    "symbol", "match",
                                       "of",     "a",      "reader", "bytes",  "install", "setup",  "folder",
                                       "and",    "to",     "is",     "with",   "each",    "last",   "position"};
  Random r(seed);
  std::vector<uint8_t> out;
  out.reserve(n + 16);
  while (out.size() < n) {
    const char* w = kWords[r.Below(sizeof kWords / sizeof kWords[0])];
    out.insert(out.end(), w, w + strlen(w));
    const uint32_t p = r.Below(16);
    out.push_back(p == 0 ? '\n' : p == 1 ? ',' : ' ');
  }
  out.resize(n);
  return out;
}

// Like a program image: random stretches, copies of earlier stretches, runs of zeros.
inline std::vector<uint8_t> Mixed(size_t n, uint32_t seed) {
  Random r(seed);
  std::vector<uint8_t> out;
  out.reserve(n + 64);
  while (out.size() < n) {
    const uint32_t kind = r.Below(8);
    const size_t len = 4 + r.Below(40);
    if (kind < 3 || out.size() < 64) {
      for (size_t i = 0; i < len; i++) out.push_back(static_cast<uint8_t>(r.Next() >> 24));
    } else if (kind < 7) {
      const size_t back = 1 + r.Below(static_cast<uint32_t>(std::min<size_t>(out.size(), 5000)));
      const size_t from = out.size() - back;
      for (size_t i = 0; i < len; i++) out.push_back(out[from + i]);
    } else {
      out.insert(out.end(), len, 0);
    }
  }
  out.resize(n);
  return out;
}

struct Expanded {
  uint32_t result = 0;
  std::vector<uint8_t> output;
  uint32_t requestsPastEnd = 0;
  uint64_t sourceLeft = 0;  // bytes of the file the reader never took in
};

// A raw image through the decoder with no framing, into memory of `capacity` bytes.
inline Expanded ExpandRaw(const std::vector<uint8_t>& image, uint32_t capacity) {
  Expanded e;
  std::vector<uint8_t> memory(capacity + 64u, 0xEE);
  StreamSetOutputMemory(memory.data(), capacity);
  e.result = StreamExpandRaw(image.data(), static_cast<uint32_t>(image.size()), FILE_HANDLE_INVALID);
  e.requestsPastEnd = StreamRequestsPastEnd();
  for (size_t i = capacity; i < memory.size(); i++) {
    if (memory[i] != 0xEE) e.result = 0xDEAD;
  }
  memory.resize(StreamTotalWritten());
  e.output = memory;
  return e;
}

// A framed stream followed by `after` (nothing: the file ends with the stream) through
// StreamExpand, into memory of `capacity` bytes.
inline Expanded ExpandFramed(const std::vector<uint8_t>& framed, const std::vector<uint8_t>& after,
                             uint32_t capacity) {
  std::vector<uint8_t> file = framed;
  file.insert(file.end(), after.begin(), after.end());
  MemoryFile source(file);
  Expanded e;
  std::vector<uint8_t> memory(capacity + 64u, 0xEE);
  StreamSetOutputMemory(memory.data(), capacity);
  e.result = StreamExpand(source.Handle(), FILE_HANDLE_INVALID);
  for (size_t i = capacity; i < memory.size(); i++) {
    if (memory[i] != 0xEE) e.result = 0xDEAD;
  }
  memory.resize(StreamTotalWritten());
  e.output = memory;
  const uint64_t left = source.BytesLeft();
  e.sourceLeft = left > after.size() ? left - after.size() : 0;
  return e;
}

// What follows a stream inside an archive: zero bytes (directory-like), or the next entry's
// stream, whose first block is a valid block of its own.
inline std::vector<uint8_t> ZeroTrailer() {
  return std::vector<uint8_t>(300, 0);
}

inline std::vector<uint8_t> StreamTrailer() {
  const std::vector<uint8_t> text = Text(3000, 99);
  return FrameLzhufImage(LzhufEncode(text.data(), text.size()));
}

}  // namespace packtest
