// Writer of the block-framed stream that holds a compressed archive entry, with a check of
// every stream it frames against the stub's own reader.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Frames a raw LZHUF image (4-byte size, bit stream) into blocks: the size block, then blocks
// of 10234 data bytes, the last one shorter (it may be a full block). No check. Throws
// std::invalid_argument for an image shorter than its size field.
std::vector<uint8_t> FrameLzhufImage(const std::vector<uint8_t>& image);

// Expands `framed` with the stub's stream code, from an in-memory file that ends where the
// stream ends, and checks that it reports success, gives back data[0..size) exactly and
// reads every block. A stream that passes expands the same with anything after it. On
// failure, `problem` says what went wrong. Safe on several threads at once: the checks, which
// use the stub's one process-wide stream state, take turns.
bool CheckFramedStream(const std::vector<uint8_t>& framed, const uint8_t* data, size_t size, std::string* problem);

struct CompressedEntry {
  bool ok = false;             // false: the entry must be stored instead
  std::vector<uint8_t> bytes;  // the framed stream, when ok
  std::string problem;         // why not, when !ok
};

// Encodes, frames and checks: the framed stream is expanded with the stub's own stream code
// in memory and must give back `data` exactly. Where the reader's end-of-stream rule would
// lose bytes, the tail is re-encoded so the final block is fetched in time; if no encoding
// works (for example 1 to 7 bytes), the result says the entry must be stored. Safe on several
// threads at once (see CheckFramedStream).
CompressedEntry CompressEntry(const uint8_t* data, size_t size);
