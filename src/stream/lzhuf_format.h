// Constants and position-code tables of the LZHUF format, shared by the decoder in the stub and
// the encoder on the packaging side so that both always agree.
#pragma once
#include <stdint.h>

#define LZ_WINDOW_SIZE 4096
#define LZ_MAX_MATCH 60
#define LZ_THRESHOLD 2
#define LZ_SYMBOLS (256 - LZ_THRESHOLD + LZ_MAX_MATCH)  // 314: literals, then lengths 3..60
#define LZ_NODES (2 * LZ_SYMBOLS - 1)                   // 627
#define LZ_ROOT (LZ_NODES - 1)                          // 626
#define LZ_FREQ_LIMIT 0x8000
// The window starts filled with spaces up to here; the first byte is written at this slot.
#define LZ_START_POSITION (LZ_WINDOW_SIZE - LZ_MAX_MATCH)  // 4036
#define LZ_FILL_BYTE 0x20

// The upper 6 bits of a match position have a fixed prefix code: value 0 takes 3 bits, 1-3
// take 4, 4-11 take 5, 12-23 take 6, 24-47 take 7 and 48-63 take 8; codes are handed out in
// increasing value order. Indexed by the next 8 input bits, these tables give the value whose
// code starts those bits and the code's length.
struct LzhufPositionTables {
  uint8_t high[256];
  uint8_t length[256];
};

constexpr LzhufPositionTables MakeLzhufPositionTables() {
  LzhufPositionTables t{};
  const int groupLength[6] = {3, 4, 5, 6, 7, 8};
  const int groupCount[6] = {1, 3, 8, 12, 24, 16};
  int entry = 0;
  int value = 0;
  for (int g = 0; g < 6; g++) {
    for (int v = 0; v < groupCount[g]; v++, value++) {
      for (int k = 0; k < (1 << (8 - groupLength[g])); k++, entry++) {
        t.high[entry] = (uint8_t)value;
        t.length[entry] = (uint8_t)groupLength[g];
      }
    }
  }
  return t;
}

constexpr LzhufPositionTables kLzhufPositionTables = MakeLzhufPositionTables();
static_assert(kLzhufPositionTables.high[31] == 0 && kLzhufPositionTables.high[32] == 1, "3-bit group");
static_assert(kLzhufPositionTables.high[80] == 4 && kLzhufPositionTables.length[80] == 5, "5-bit group");
static_assert(kLzhufPositionTables.high[255] == 63 && kLzhufPositionTables.length[255] == 8, "8-bit group");
