// LZHUF decoding with the classic tree, update, rebuild and position code. The hot loop keeps
// the bit buffer in locals and takes bytes through the inline stream accessors; a match that
// neither fills the output buffer nor completes a tick period is copied without per-byte
// checks. The byte request timing (a new byte whenever 8 or fewer bits are in hand) is that of
// the format's reference decoder, which the stream's end-of-input rule depends on.
#include "stream/lzhuf_decoder.h"

#include <stdint.h>

#include "stream/lzhuf_format.h"
#include "stream/stream_io.h"

namespace {

// One block, so the hot loops address every table from a single base register. Node
// indices are never negative, so they are kept unsigned.
struct LzhufDecoder {
  uint16_t nodeFreq[LZ_NODES + 1];           // entry 627 is a 0xFFFF sentinel
  uint16_t nodeChild[LZ_NODES];              // >= 627: a leaf, symbol + 627
  uint16_t nodeParent[LZ_NODES + LZ_SYMBOLS];  // 627 + s: the leaf node of symbol s
  uint8_t ringBuffer[LZ_WINDOW_SIZE];
};
LzhufDecoder dec;
uint16_t bitBuffer;
uint8_t bitCount;
// Volatile: a stop request arrives from inside the byte sink (an abort or a failed block)
// and must be seen by the loop test that follows.
volatile uint32_t targetSize;

void StartTree() {
  for (int i = 0; i < LZ_SYMBOLS; i++) {
    dec.nodeFreq[i] = 1;
    dec.nodeChild[i] = (uint16_t)(i + LZ_NODES);
    dec.nodeParent[i + LZ_NODES] = (uint16_t)i;
  }
  int i = 0;
  for (int j = LZ_SYMBOLS; j < LZ_NODES; j++) {
    dec.nodeFreq[j] = (uint16_t)(dec.nodeFreq[i] + dec.nodeFreq[i + 1]);
    dec.nodeChild[j] = (uint16_t)i;
    dec.nodeParent[i] = dec.nodeParent[i + 1] = (uint16_t)j;
    i += 2;
  }
  dec.nodeFreq[LZ_NODES] = 0xFFFF;
  dec.nodeParent[LZ_ROOT] = 0;
}

void RebuildTree() {
  int j = 0;
  for (int i = 0; i < LZ_NODES; i++) {
    if (dec.nodeChild[i] >= LZ_NODES) {
      dec.nodeFreq[j] = (uint16_t)((dec.nodeFreq[i] + 1) / 2);
      dec.nodeChild[j] = dec.nodeChild[i];
      j++;
    }
  }
  int i = 0;
  for (j = LZ_SYMBOLS; j < LZ_NODES; j++) {
    uint16_t f = (uint16_t)(dec.nodeFreq[i] + dec.nodeFreq[i + 1]);
    dec.nodeFreq[j] = f;
    int k = j - 1;
    while (f < dec.nodeFreq[k]) k--;
    k++;
    for (int m = j; m > k; m--) {
      dec.nodeFreq[m] = dec.nodeFreq[m - 1];
      dec.nodeChild[m] = dec.nodeChild[m - 1];
    }
    dec.nodeFreq[k] = f;
    dec.nodeChild[k] = (uint16_t)i;
    i += 2;
  }
  for (i = 0; i < LZ_NODES; i++) {
    int k = dec.nodeChild[i];
    if (k >= LZ_NODES) {
      dec.nodeParent[k] = (uint16_t)i;
    } else {
      dec.nodeParent[k] = dec.nodeParent[k + 1] = (uint16_t)i;
    }
  }
}

// Node c has just counted more than the node after it: it trades places with the last node
// whose count is still below k (the 0xFFFF sentinel bounds the search). Returns where c's
// subtree now sits. Out of line: it runs for a small share of the levels.
__attribute__((noinline)) uintptr_t SwapUp(uintptr_t c, uint32_t k) {
  uintptr_t l = c + 1;
  while (k > dec.nodeFreq[l + 1]) l++;
  dec.nodeFreq[c] = dec.nodeFreq[l];
  dec.nodeFreq[l] = (uint16_t)k;
  uintptr_t i = dec.nodeChild[c];
  dec.nodeParent[i] = (uint16_t)l;
  if (i < LZ_NODES) dec.nodeParent[i + 1] = (uint16_t)l;
  uintptr_t j = dec.nodeChild[l];
  dec.nodeChild[l] = (uint16_t)i;
  dec.nodeParent[j] = (uint16_t)c;
  if (j < LZ_NODES) dec.nodeParent[j + 1] = (uint16_t)c;
  dec.nodeChild[c] = (uint16_t)j;
  return l;
}

STREAM_ALWAYS_INLINE void UpdateTree(uintptr_t symbol) {
  if (dec.nodeFreq[LZ_ROOT] == LZ_FREQ_LIMIT) RebuildTree();
  uintptr_t c = dec.nodeParent[symbol + LZ_NODES];
  do {
    uint32_t k = ++dec.nodeFreq[c];
    if (k > dec.nodeFreq[c + 1]) c = SwapUp(c, k);
    c = dec.nodeParent[c];
  } while (c != 0);
}

}  // namespace

void LzhufResetBits(void) {
  bitBuffer = 0;
  bitCount = 0;
  targetSize = 0;
}

void LzhufRequestStop(void) {
  targetSize = 0;
}

void LzhufDecode(void) {
  targetSize = StreamReadExpandedSize();
  if (targetSize == 0) return;
  StartTree();
  for (int i = 0; i < LZ_START_POSITION; i++) dec.ringBuffer[i] = LZ_FILL_BYTE;

  // Bits in hand sit at the top of a 32-bit word; at most 16 are ever held.
  uint32_t bits = (uint32_t)bitBuffer << 16;
  uint32_t count = bitCount;
  uintptr_t r = LZ_START_POSITION;
  uint32_t produced = 0;
  uint8_t* const ring = dec.ringBuffer;

#define LZ_FILL_BITS()                       \
  while (count <= 8) {                       \
    int byte_ = StreamReadByte();            \
    if (byte_ < 0) byte_ = 0;                \
    bits |= (uint32_t)byte_ << (24 - count); \
    count += 8;                              \
  }

  while (produced < targetSize) {
    uintptr_t c = dec.nodeChild[LZ_ROOT];
    do {
      LZ_FILL_BITS();
      c = dec.nodeChild[c + (bits >> 31)];
      bits <<= 1;
      count--;
    } while (c < LZ_NODES);
    c -= LZ_NODES;
    UpdateTree(c);
    if (c < 256) {
      StreamWriteByte((uint8_t)c);
      ring[r] = (uint8_t)c;
      r = (r + 1) & (LZ_WINDOW_SIZE - 1);
      produced++;
      continue;
    }
    LZ_FILL_BITS();
    uint32_t i = bits >> 24;
    bits <<= 8;
    count -= 8;
    uint32_t high = kLzhufPositionTables.high[i];
    uint32_t extra = kLzhufPositionTables.length[i] - 2u;
    do {
      LZ_FILL_BITS();
      i = (i << 1) | (bits >> 31);
      bits <<= 1;
      count--;
    } while (--extra);
    uintptr_t start = (r - ((high << 6) | (i & 63)) - 1) & (LZ_WINDOW_SIZE - 1);
    uint32_t length = (uint32_t)c - (256 - LZ_THRESHOLD - 1);  // symbol 256 is a 3-byte match
    produced += length;
    if (StreamHasRoomFor(length)) {
      // No buffer write and no progress tick falls inside this match.
      uint8_t* out = streamIo.outPos;
      streamIo.outPos += length;
      streamIo.ticksLeft -= (int32_t)length;
      if (start + length <= LZ_WINDOW_SIZE && r + length <= LZ_WINDOW_SIZE) {
        // Byte by byte, so a match that overlaps the bytes it produces repeats them.
        const uint8_t* from = ring + start;
        uint8_t* to = ring + r;
        for (uint32_t k = 0; k < length; k++) {
          uint8_t b = from[k];
          to[k] = b;
          out[k] = b;
        }
        r = (r + length) & (LZ_WINDOW_SIZE - 1);
      } else {
        for (uint32_t k = 0; k < length; k++) {
          uint8_t b = ring[(start + k) & (LZ_WINDOW_SIZE - 1)];
          ring[r] = b;
          out[k] = b;
          r = (r + 1) & (LZ_WINDOW_SIZE - 1);
        }
      }
    } else {
      for (uint32_t k = 0; k < length; k++) {
        uint8_t b = ring[(start + k) & (LZ_WINDOW_SIZE - 1)];
        StreamWriteByte(b);
        ring[r] = b;
        r = (r + 1) & (LZ_WINDOW_SIZE - 1);
      }
    }
  }
#undef LZ_FILL_BITS
  bitBuffer = (uint16_t)(bits >> 16);
  bitCount = (uint8_t)count;
}
