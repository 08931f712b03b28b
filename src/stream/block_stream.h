// Expansion of a compressed archive entry: reads the block-framed stream from an open file,
// checks every block, runs the LZHUF decoder, and writes the expanded bytes to a file or to
// memory, reporting progress through the process-wide ProgressSink.
#pragma once
#include <stdint.h>

#include "platform/platform.h"

// Progress hooks; either may be null. They stay installed until replaced.
struct ProgressSink {
  void (*onTick)(void);                            // every 1024 bytes moved, each block, each write
  uint32_t (*onBytesWritten)(uint32_t written);    // after every output write; may call StreamAbort
};
extern ProgressSink progressSink;

// 1 when the expansion ended with every block intact and without an abort, else 0. The source
// must be positioned at the stream's first byte; the destination file is not used while a
// memory destination is set.
uint32_t StreamExpand(FileHandle source, FileHandle destination);
// Sends the next expansion's bytes to memory (null: to the destination file). capacity bounds
// what may be written there: a stream that produces more fails, and nothing lands beyond it.
// Applies to one expansion only.
void StreamSetOutputMemory(void* memory, uint32_t capacity);
// Bytes written to the destination by the last expansion.
uint32_t StreamTotalWritten(void);
// Stops the running expansion as a failure; the symbol being decoded still completes.
void StreamAbort(void);

// Packaging-side checks: expands a raw LZHUF image (4-byte size, then the bit stream) held in
// memory, with no block framing, to a file or to memory (capacity as above). Every byte of the
// image is handed to the decoder, then zero bits. 1 unless the memory bound was hit.
uint32_t StreamExpandRaw(const uint8_t* image, uint32_t size, FileHandle destination);
// Byte requests of the last expansion that found the input ended or failed and got -1. A
// complete raw image needs at most one (the decoder's read-ahead past its last byte); more
// mean that its bit stream was cut short and zero bits stood in for the rest.
uint32_t StreamRequestsPastEnd(void);
