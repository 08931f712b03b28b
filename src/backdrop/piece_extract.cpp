// Extraction of one backdrop picture from the open archive into caller memory, followed by the
// header check that makes it safe to draw. Shared by the Windows loader and the native tests.
#include <string.h>

#include "archive/archive.h"
#include "backdrop/bitmap_pieces.h"

int32_t ExtractPiece(const char* name, uint8_t* memory, uint32_t entrySize, uint32_t* bitsOffset) {
  if (memory == nullptr || entrySize > (uint32_t)INT32_MAX) return 0;
  const uint32_t memorySize = entrySize + PIECE_SLACK;
  memset(memory, 0, memorySize);
  // The bound is the entry's own size: a stored entry is cut there and a compressed one fails
  // if it would expand past it. Rows that run on into the zeroed slack are still inside the
  // memory and are accepted; anything beyond it is refused by the header check.
  if (ExtractEntryToMemory(name, memory, (int32_t)entrySize) != 1) return 0;
  return PrepareBmpHeader(memory, memorySize, bitsOffset);
}
