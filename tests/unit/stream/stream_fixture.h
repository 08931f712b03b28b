// Test fixtures for the compressed stream: framing raw LZHUF images into blocks (also wrong
// ones), and running an expansion from a file to a file or to memory while recording the
// progress hooks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "stream/block_format.h"
#include "stream/block_stream.h"
#include "test_support.h"

namespace streamtest {

inline std::vector<uint8_t> Block(const uint8_t* data, size_t n) {
  std::vector<uint8_t> b(STREAM_HEADER_SIZE + n);
  uint32_t sum = STREAM_CHECKSUM_BASE;
  for (size_t i = 0; i < n; i++) {
    b[STREAM_HEADER_SIZE + i] = data[i];
    sum += data[i];
  }
  const uint32_t length = static_cast<uint32_t>(b.size());
  b[0] = 'R';
  b[1] = 'C';
  b[2] = static_cast<uint8_t>(sum);
  b[3] = static_cast<uint8_t>(sum >> 8);
  b[4] = static_cast<uint8_t>(length);
  b[5] = static_cast<uint8_t>(length >> 8);
  return b;
}

// A raw image (4-byte size, bit stream) as blocks: the size block, then 10234 data bytes per
// block, the last one shorter.
inline std::vector<uint8_t> Frame(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = Block(raw.data(), 4);
  for (size_t at = 4; at < raw.size(); at += STREAM_BLOCK_DATA) {
    const size_t n = std::min<size_t>(STREAM_BLOCK_DATA, raw.size() - at);
    const auto b = Block(raw.data() + at, n);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

struct Expansion {
  uint32_t result = 0;
  std::vector<uint8_t> output;
  uint32_t totalWritten = 0;
  std::vector<uint32_t> writes;  // onBytesWritten arguments, in order
  uint32_t ticks = 0;
};

// Hooks recording into the expansion being run; an optional abort after N writes.
inline Expansion* current = nullptr;
inline int abortAfterWrites = -1;

inline void RecordTick() {
  current->ticks++;
}

inline uint32_t RecordWrite(uint32_t written) {
  current->writes.push_back(written);
  if (abortAfterWrites >= 0 && static_cast<int>(current->writes.size()) == abortAfterWrites) StreamAbort();
  return 0;
}

// Expands the stream at `offset` of `file` (which may hold other data after it). With
// memoryCapacity >= 0 the output goes to memory of that size (plus guard bytes that must stay
// untouched), otherwise to a file.
inline Expansion Expand(const std::vector<uint8_t>& file, long memoryCapacity = -1, uint32_t offset = 0) {
  testsupport::ScratchDir dir("stream");
  testsupport::WriteFile(dir.File("in.bin"), file);
  Expansion e;
  current = &e;
  progressSink.onTick = RecordTick;
  progressSink.onBytesWritten = RecordWrite;
  FileHandle in = PlatformOpenRead(dir.File("in.bin").c_str());
  PlatformSeek(in, offset);
  if (memoryCapacity >= 0) {
    std::vector<uint8_t> memory(static_cast<size_t>(memoryCapacity) + 64, 0xEE);
    StreamSetOutputMemory(memory.data(), static_cast<uint32_t>(memoryCapacity));
    e.result = StreamExpand(in, FILE_HANDLE_INVALID);
    for (size_t i = static_cast<size_t>(memoryCapacity); i < memory.size(); i++) {
      if (memory[i] != 0xEE) {
        e.result = 0xDEAD;  // a write past the caller's memory
        break;
      }
    }
    memory.resize(std::min<size_t>(static_cast<size_t>(memoryCapacity), StreamTotalWritten()));
    e.output = memory;
  } else {
    FileHandle out = PlatformCreateWrite(dir.File("out.bin").c_str());
    e.result = StreamExpand(in, out);
    PlatformClose(out);
    e.output = testsupport::ReadFile(dir.File("out.bin"));
  }
  PlatformClose(in);
  e.totalWritten = StreamTotalWritten();
  progressSink.onTick = nullptr;
  progressSink.onBytesWritten = nullptr;
  current = nullptr;
  abortAfterWrites = -1;
  return e;
}

inline std::vector<uint8_t> Vector(const std::string& name) {
  return testsupport::ReadFile(testsupport::SharedPath("vectors/lzhuf/" + name));
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace streamtest
