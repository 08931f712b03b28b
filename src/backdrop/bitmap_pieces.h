// Picture slots of the backdrop: a picture is loaded from the open archive into movable global
// memory, kept in one of 16 slots with its position and drawing mode, and every filled slot is
// drawn on each paint, through one palette shared by all pictures with a colour table.
#pragma once
#include <stdint.h>

#include "backdrop/bitmap_rules.h"
#include "platform/platform.h"

const int32_t PIECE_SLOTS = 16;

// Extracts the picture entry name from the archive open for reading into memory, which holds
// entrySize + PIECE_SLACK bytes (entrySize being the entry's originalSize), and checks and
// normalises its header. All of memory is zeroed first, so rows that a short entry leaves out
// read as zero. 1 with *bitsOffset set; 0 when the extraction fails or the picture is refused.
int32_t ExtractPiece(const char* name, uint8_t* memory, uint32_t entrySize, uint32_t* bitsOffset);

#ifdef _WIN32
// One slot.
struct BitmapPiece {
  int32_t used;
  int32_t x;  // client coordinates of the first copy drawn
  int32_t y;
  uint32_t bitsOffset;  // pixel rows within image
  int32_t drawMode;
  HGLOBAL image;  // the whole BMP file image, accepted by PrepareBmpHeader
};

// Loads picture name of the open archive (archive only serves to refuse an invalid handle).
// 1 when it was extracted and its header accepted; the next StorePiece then takes it. A failed
// load frees what it allocated, and the following StorePiece does nothing.
int32_t LoadPiece(FileHandle archive, const char* name);
// Puts the picture of the last successful LoadPiece into slot index (0-15) at (x, y) in mode;
// nothing when that load failed, its picture is already stored, or index is out of range.
void StorePiece(int32_t index, int32_t x, int32_t y, int32_t mode);
// WM_PAINT of the backdrop windows: draws every filled slot. Always 1.
int32_t PaintPieces(HWND window);
// Draws slots 0-15 in order on dc; later slots cover earlier ones. Slot 0 is drawn only in
// low-colour mode, but it is the slot that realises the shared palette.
void DrawPieces(HDC dc);
// Draws one picture (a file image accepted by PrepareBmpHeader) at (x, y) in mode. A picture
// with a colour table selects the shared palette, made from the first such picture drawn, and
// is drawn with palette indexes when its format matches that picture's.
void DrawPiece(HDC dc, HGLOBAL image, uint32_t bitsOffset, int32_t x, int32_t y, int32_t mode, int32_t slotZero);
#endif
