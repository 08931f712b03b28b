// The byte source and byte sink between the block stream and the LZHUF decoder. They are
// inline so the decoder's inner loop pays only a compare and a load or store per byte; the
// slow paths (block refill, buffer write, progress tick) live in block_stream.cpp.
#pragma once
#include <stdint.h>

#include "stream/block_format.h"

// Input states: open (blocks are fetched), or closed, where every request returns -1.
enum StreamInputState : int32_t {
  INPUT_OPEN = 0,
  INPUT_CLOSED = 1,           // every later request counts a tick and returns -1
  INPUT_CLOSING_AT_EDGE = 2,  // aborted exactly at a block edge: the next request closes without a tick
};

struct StreamIo {
  const uint8_t* inPos;
  const uint8_t* inEnd;
  uint8_t* outPos;
  uint8_t* outEnd;
  int32_t inputState;
  int32_t ticksLeft;  // 1024 - tickCounter
};
extern StreamIo streamIo;

int StreamReadByteSlow(void);
void StreamTickFired(void);
void StreamFlushFullBuffer(void);
uint32_t StreamReadExpandedSize(void);

// Counts one byte moved; every 1024th calls onTick. Returns non-zero when input closed meanwhile.
inline int StreamTick() {
  if (--streamIo.ticksLeft == 0) {
    StreamTickFired();
    return streamIo.inputState != INPUT_OPEN;
  }
  return 0;
}

// Next compressed byte 0..255, or -1 once the input has ended or failed.
inline int StreamReadByte() {
  if (streamIo.inPos < streamIo.inEnd) {
    if (StreamTick()) return -1;
    return *streamIo.inPos++;
  }
  return StreamReadByteSlow();
}

// Appends one expanded byte; a full buffer is written out.
inline void StreamWriteByte(uint8_t b) {
  *streamIo.outPos++ = b;
  if (streamIo.outPos == streamIo.outEnd) {
    StreamFlushFullBuffer();
  } else {
    StreamTick();
  }
}

#define STREAM_ALWAYS_INLINE inline __attribute__((always_inline))

// True when n more output bytes (n >= 1) neither fill the buffer nor complete a tick period:
// they may then be stored at outPos directly, with outPos and ticksLeft moved on by n.
STREAM_ALWAYS_INLINE int StreamHasRoomFor(uint32_t n) {
  return (intptr_t)n < streamIo.outEnd - streamIo.outPos && (int32_t)n < streamIo.ticksLeft;
}
