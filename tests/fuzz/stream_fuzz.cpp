// Fuzz target: any bytes as a compressed entry's block-framed stream, expanded with StreamExpand
// into memory of a given capacity and into a file, once with StreamAbort called from a progress
// hook at a point the input picks. Also the packaging side's raw expansion of the same bytes
// into memory. Checks: nothing lands past the capacity (the memory is a heap block of exactly
// that size), an aborted run fails, and memory and file expansion agree whenever the output
// fits the capacity.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "stream/block_stream.h"

using fuzzsupport::Controls;
using fuzzsupport::MemFile;

namespace {

uint32_t tickCount;
uint32_t writeCount;
uint32_t abortAtTick;   // 0: never
uint32_t abortAtWrite;  // 0: never
int aborted;

void OnTick(void) {
  if (++tickCount == abortAtTick) {
    aborted = 1;
    StreamAbort();
  }
}

uint32_t OnBytesWritten(uint32_t written) {
  if (++writeCount == abortAtWrite) {
    aborted = 1;
    StreamAbort();
  }
  return written;
}

struct Expansion {
  uint32_t result;
  std::vector<uint8_t> bytes;
};

Expansion ToMemory(const MemFile& input, uint32_t capacity) {
  Expansion e;
  std::vector<uint8_t> memory(capacity > 0 ? capacity : 1, 0);
  const FileHandle source = PlatformOpenRead(input.Path());
  FUZZ_CHECK(source != FILE_HANDLE_INVALID);
  StreamSetOutputMemory(memory.data(), capacity);
  e.result = StreamExpand(source, FILE_HANDLE_INVALID);
  PlatformClose(source);
  const uint32_t total = StreamTotalWritten();
  FUZZ_CHECK(total <= capacity);
  e.bytes.assign(memory.begin(), memory.begin() + total);
  return e;
}

Expansion ToFile(const MemFile& input) {
  Expansion e;
  MemFile output;
  const FileHandle source = PlatformOpenRead(input.Path());
  const FileHandle destination = PlatformCreateWrite(output.Path());
  FUZZ_CHECK(source != FILE_HANDLE_INVALID && destination != FILE_HANDLE_INVALID);
  e.result = StreamExpand(source, destination);
  PlatformClose(source);
  PlatformClose(destination);
  e.bytes = output.Bytes();
  FUZZ_CHECK(e.bytes.size() == StreamTotalWritten());
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Controls controls(data, size);
  const uint8_t flags = controls.Byte();
  const uint32_t capacity = controls.U16() | (static_cast<uint32_t>(flags >> 6) << 16);  // up to 256 KiB
  const uint32_t abortPoint = controls.U16();
  MemFile input(controls.Rest(), controls.RestSize());

  tickCount = writeCount = 0;
  aborted = 0;
  progressSink.onTick = OnTick;
  progressSink.onBytesWritten = OnBytesWritten;

  // 1. With an abort from a hook (ticks come every 1024 bytes, every block and every write).
  abortAtTick = (flags & 1) ? abortPoint : 0;
  abortAtWrite = (flags & 2) ? (abortPoint & 0xFF) : 0;
  if (abortAtTick || abortAtWrite) {
    const Expansion stopped = ToMemory(input, capacity);
    if (aborted) FUZZ_CHECK(stopped.result == 0);
  }
  abortAtTick = abortAtWrite = 0;

  // 2. The same stream whole, into memory and into a file: an aborted run leaves nothing behind
  // that changes the next expansion.
  const Expansion memory = ToMemory(input, capacity);
  const Expansion file = ToFile(input);
  if (memory.result) FUZZ_CHECK(file.result && file.bytes == memory.bytes);
  if (file.result && file.bytes.size() <= capacity) FUZZ_CHECK(memory.result && memory.bytes == file.bytes);

  // 3. The packaging side's raw expansion (no framing) of the same bytes, into memory only: a raw
  // image goes on with zero bits up to its claimed size, which only the capacity bounds.
  if (flags & 4) {
    std::vector<uint8_t> raw(capacity > 0 ? capacity : 1, 0);
    StreamSetOutputMemory(raw.data(), capacity);
    StreamExpandRaw(controls.Rest(), static_cast<uint32_t>(controls.RestSize()), FILE_HANDLE_INVALID);
    FUZZ_CHECK(StreamTotalWritten() <= capacity);
  }
  return 0;
}
