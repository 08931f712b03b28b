// LZHUF decoding with the classic tree, update, rebuild and position code. The hot loop keeps
// the bit buffer in locals and takes bytes through the inline stream accessors; the byte
// request timing (a new byte whenever 8 or fewer bits are in hand) is that of the format's
// reference decoder, which the stream's end-of-input rule depends on.
#include "stream/lzhuf_decoder.h"

#include <stdint.h>

#include "stream/lzhuf_format.h"
#include "stream/stream_io.h"

namespace {

uint16_t nodeFreq[LZ_NODES + 1];  // entry 627 is a 0xFFFF sentinel
int16_t nodeChild[LZ_NODES];      // >= 627: a leaf, symbol + 627
int16_t nodeParent[LZ_NODES + LZ_SYMBOLS];  // 627 + s: the leaf node of symbol s
uint8_t ringBuffer[LZ_WINDOW_SIZE];
uint16_t bitBuffer;
uint8_t bitCount;
// Volatile: a stop request arrives from inside the byte sink (an abort or a failed block)
// and must be seen by the loop test that follows.
volatile uint32_t targetSize;

void StartTree() {
  for (int i = 0; i < LZ_SYMBOLS; i++) {
    nodeFreq[i] = 1;
    nodeChild[i] = (int16_t)(i + LZ_NODES);
    nodeParent[i + LZ_NODES] = (int16_t)i;
  }
  int i = 0;
  for (int j = LZ_SYMBOLS; j < LZ_NODES; j++) {
    nodeFreq[j] = (uint16_t)(nodeFreq[i] + nodeFreq[i + 1]);
    nodeChild[j] = (int16_t)i;
    nodeParent[i] = nodeParent[i + 1] = (int16_t)j;
    i += 2;
  }
  nodeFreq[LZ_NODES] = 0xFFFF;
  nodeParent[LZ_ROOT] = 0;
}

void RebuildTree() {
  int j = 0;
  for (int i = 0; i < LZ_NODES; i++) {
    if (nodeChild[i] >= LZ_NODES) {
      nodeFreq[j] = (uint16_t)((nodeFreq[i] + 1) / 2);
      nodeChild[j] = nodeChild[i];
      j++;
    }
  }
  int i = 0;
  for (j = LZ_SYMBOLS; j < LZ_NODES; j++) {
    uint16_t f = (uint16_t)(nodeFreq[i] + nodeFreq[i + 1]);
    nodeFreq[j] = f;
    int k = j - 1;
    while (f < nodeFreq[k]) k--;
    k++;
    for (int m = j; m > k; m--) {
      nodeFreq[m] = nodeFreq[m - 1];
      nodeChild[m] = nodeChild[m - 1];
    }
    nodeFreq[k] = f;
    nodeChild[k] = (int16_t)i;
    i += 2;
  }
  for (i = 0; i < LZ_NODES; i++) {
    int k = nodeChild[i];
    if (k >= LZ_NODES) {
      nodeParent[k] = (int16_t)i;
    } else {
      nodeParent[k] = nodeParent[k + 1] = (int16_t)i;
    }
  }
}

inline void UpdateTree(int symbol) {
  if (nodeFreq[LZ_ROOT] == LZ_FREQ_LIMIT) RebuildTree();
  int c = nodeParent[symbol + LZ_NODES];
  do {
    uint16_t k = ++nodeFreq[c];
    if (k > nodeFreq[c + 1]) {
      int l = c + 1;
      while (k > nodeFreq[l + 1]) l++;
      nodeFreq[c] = nodeFreq[l];
      nodeFreq[l] = k;
      int i = nodeChild[c];
      nodeParent[i] = (int16_t)l;
      if (i < LZ_NODES) nodeParent[i + 1] = (int16_t)l;
      int j = nodeChild[l];
      nodeChild[l] = (int16_t)i;
      nodeParent[j] = (int16_t)c;
      if (j < LZ_NODES) nodeParent[j + 1] = (int16_t)c;
      nodeChild[c] = (int16_t)j;
      c = l;
    }
    c = nodeParent[c];
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
  for (int i = 0; i < LZ_START_POSITION; i++) ringBuffer[i] = LZ_FILL_BYTE;

  // Bits in hand sit at the top of a 32-bit word; at most 16 are ever held.
  uint32_t bits = (uint32_t)bitBuffer << 16;
  uint32_t count = bitCount;
  uint32_t r = LZ_START_POSITION;
  uint32_t produced = 0;

#define LZ_FILL_BITS()                                   \
  while (count <= 8) {                                   \
    int byte_ = StreamReadByte();                        \
    if (byte_ < 0) byte_ = 0;                            \
    bits |= (uint32_t)byte_ << (24 - count);             \
    count += 8;                                          \
  }

  while (produced < targetSize) {
    int c = nodeChild[LZ_ROOT];
    while (c < LZ_NODES) {
      LZ_FILL_BITS();
      c += (int)(bits >> 31);
      bits <<= 1;
      count--;
      c = nodeChild[c];
    }
    c -= LZ_NODES;
    UpdateTree(c);
    if (c < 256) {
      StreamWriteByte((uint8_t)c);
      ringBuffer[r] = (uint8_t)c;
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
    while (extra--) {
      LZ_FILL_BITS();
      i = (i << 1) | (bits >> 31);
      bits <<= 1;
      count--;
    }
    uint32_t position = (high << 6) | (i & 63);
    uint32_t start = (r - position - 1) & (LZ_WINDOW_SIZE - 1);
    int length = c - (256 - LZ_THRESHOLD - 1);  // symbol 256 is a 3-byte match
    for (int k = 0; k < length; k++) {
      uint8_t b = ringBuffer[(start + (uint32_t)k) & (LZ_WINDOW_SIZE - 1)];
      StreamWriteByte(b);
      ringBuffer[r] = b;
      r = (r + 1) & (LZ_WINDOW_SIZE - 1);
    }
    produced += (uint32_t)length;
  }
#undef LZ_FILL_BITS
  bitBuffer = (uint16_t)(bits >> 16);
  bitCount = (uint8_t)count;
}
