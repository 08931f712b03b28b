// The block-framed stream reader. Input comes in pieces of exactly 10 and then 10240 bytes,
// each checked as one block; output collects in a 10240-byte buffer that is written out whole.
// The reader stops fetching blocks once fewer than 8 expanded bytes remain, so the decoder's
// read-ahead at the end of a stream finds the input ended instead of reading past it.
#include "stream/block_stream.h"

#include <string.h>

#include "stream/lzhuf_decoder.h"
#include "stream/stream_io.h"

ProgressSink progressSink;
StreamIo streamIo;

namespace {

FileHandle sourceFile;
FileHandle destinationFile;
uint8_t inBuffer[STREAM_BLOCK_SIZE];
uint8_t outBuffer[STREAM_OUTPUT_BUFFER_SIZE];
uint32_t readSize;
int32_t remaining;  // expanded bytes not yet written out in full buffers
int32_t failed;
uint8_t* outputMemory;
uint32_t outputMemoryLeft;
uint32_t totalWritten;
uint32_t requestsPastEnd;
// Raw mode (packaging-side checks): the whole image is the input, no blocks, no tail rule.
const uint8_t* rawImage;
uint32_t rawSize;
int32_t rawMode;

void CallTick() {
  if (progressSink.onTick) progressSink.onTick();
}

// Ends the input for good: later requests count a tick and return -1.
void CloseInput() {
  streamIo.inputState = INPUT_CLOSED;
  streamIo.inEnd = streamIo.inPos;
}

void FailStream() {
  failed = 1;
  remaining = 0;
  if (streamIo.inputState == INPUT_OPEN) {
    if (streamIo.inPos < streamIo.inEnd) {
      CloseInput();
    } else {
      // At a block edge the next request would have tried a refill, which closes quietly.
      streamIo.inputState = INPUT_CLOSING_AT_EDGE;
    }
  }
  LzhufRequestStop();
}

uint32_t CheckBlock(uint32_t n) {
  uint32_t magic = (uint32_t)inBuffer[0] | ((uint32_t)inBuffer[1] << 8);
  uint32_t checksum = (uint32_t)inBuffer[2] | ((uint32_t)inBuffer[3] << 8);
  uint32_t length = (uint32_t)inBuffer[4] | ((uint32_t)inBuffer[5] << 8);
  uint32_t ok = 0;
  if (magic == STREAM_BLOCK_MAGIC && length >= STREAM_HEADER_SIZE && length <= n) {
    uint32_t sum = STREAM_CHECKSUM_BASE;
    for (uint32_t i = STREAM_HEADER_SIZE; i < length; i++) sum += inBuffer[i];
    ok = (sum & 0xFFFF) == checksum;
  }
  CallTick();
  return ok;
}

void Refill() {
  if (rawMode) {
    if (rawImage && rawSize > 0) {
      streamIo.inPos = rawImage;
      streamIo.inEnd = rawImage + rawSize;
      rawImage = nullptr;
    } else {
      CloseInput();
    }
    return;
  }
  inBuffer[0] = (uint8_t)STREAM_EMPTY_READ_GUARD;
  inBuffer[1] = (uint8_t)(STREAM_EMPTY_READ_GUARD >> 8);
  inBuffer[2] = (uint8_t)(STREAM_EMPTY_READ_GUARD >> 16);
  inBuffer[3] = (uint8_t)(STREAM_EMPTY_READ_GUARD >> 24);
  int64_t buffered = streamIo.outPos - outBuffer;
  if ((int64_t)remaining - STREAM_TAIL_RULE_BYTES < buffered) remaining = 0;
  if (remaining <= 0) {
    CloseInput();
    return;
  }
  uint32_t n = PlatformRead(sourceFile, inBuffer, readSize);
  streamIo.inPos = inBuffer;
  streamIo.inEnd = inBuffer + n;
  if (!CheckBlock(n)) {
    failed = 1;
    remaining = 0;
    CloseInput();
    LzhufRequestStop();
    return;
  }
  streamIo.inPos += STREAM_HEADER_SIZE;
}

void OutputWrite(uint32_t n) {
  CallTick();
  uint32_t written;
  if (outputMemory) {
    written = n <= outputMemoryLeft ? n : outputMemoryLeft;
    memcpy(outputMemory, outBuffer, written);
    outputMemory += written;
    outputMemoryLeft -= written;
    // A corrupt stream that produces more than the caller's memory holds fails here; nothing
    // is written beyond it.
    if (written < n) FailStream();
  } else {
    written = PlatformWrite(destinationFile, outBuffer, n);
  }
  totalWritten += written;
  if (progressSink.onBytesWritten) progressSink.onBytesWritten(written);
}

void ResetStream(FileHandle source, FileHandle destination) {
  LzhufResetBits();
  remaining = 0x7FFFFFFF;
  totalWritten = 0;
  requestsPastEnd = 0;
  sourceFile = source;
  destinationFile = destination;
  streamIo.outPos = outBuffer;
  streamIo.outEnd = outBuffer + STREAM_OUTPUT_BUFFER_SIZE;
  readSize = STREAM_SIZE_BLOCK_SIZE;
  streamIo.inPos = inBuffer;
  streamIo.inEnd = inBuffer;
  failed = 0;
  streamIo.inputState = INPUT_OPEN;
  streamIo.ticksLeft = 1024;
}

uint32_t FinishStream() {
  OutputWrite((uint32_t)(streamIo.outPos - outBuffer));
  outputMemory = nullptr;
  outputMemoryLeft = 0;
  rawMode = 0;
  rawImage = nullptr;
  return failed ? 0 : 1;
}

}  // namespace

void StreamTickFired(void) {
  streamIo.ticksLeft = 1024;
  CallTick();
}

int StreamReadByteSlow(void) {
  switch (streamIo.inputState) {
    case INPUT_OPEN:
      Refill();
      if (streamIo.inputState != INPUT_OPEN) {
        requestsPastEnd++;
        return -1;
      }
      // The byte that triggered the refill counts no tick.
      return *streamIo.inPos++;
    case INPUT_CLOSING_AT_EDGE:
      streamIo.inputState = INPUT_CLOSED;
      requestsPastEnd++;
      return -1;
    default:
      StreamTick();
      requestsPastEnd++;
      return -1;
  }
}

void StreamFlushFullBuffer(void) {
  OutputWrite(STREAM_OUTPUT_BUFFER_SIZE);
  remaining -= STREAM_OUTPUT_BUFFER_SIZE;
  streamIo.outPos = outBuffer;
}

uint32_t StreamReadExpandedSize(void) {
  uint32_t size = 0;
  for (int i = 0; i < 4; i++) size |= (uint32_t)(StreamReadByte() & 0xFF) << (8 * i);
  if (failed) size = 0;
  readSize = STREAM_BLOCK_SIZE;
  if (size > 0x7FFFFFFFu) {
    // Outside the format: the byte counts are signed 32-bit.
    FailStream();
    size = 0;
  }
  remaining = (int32_t)size;
  return size;
}

uint32_t StreamExpand(FileHandle source, FileHandle destination) {
  ResetStream(source, destination);
  LzhufDecode();
  return FinishStream();
}

uint32_t StreamExpandRaw(const uint8_t* image, uint32_t size, FileHandle destination) {
  ResetStream(FILE_HANDLE_INVALID, destination);
  rawMode = 1;
  rawImage = image;
  rawSize = size;
  LzhufDecode();
  return FinishStream();
}

void StreamSetOutputMemory(void* memory, uint32_t capacity) {
  outputMemory = (uint8_t*)memory;
  outputMemoryLeft = memory ? capacity : 0;
}

uint32_t StreamTotalWritten(void) {
  return totalWritten;
}

uint32_t StreamRequestsPastEnd(void) {
  return requestsPastEnd;
}

void StreamAbort(void) {
  FailStream();
}
