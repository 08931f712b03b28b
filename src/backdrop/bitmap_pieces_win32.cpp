// Windows side of the picture slots: pictures in movable global memory, drawn straight from the
// file image with SetDIBitsToDevice, through one logical palette and one palette-index header
// that are made at the first draw of a picture with a colour table and kept for the process.
#include "backdrop/bitmap_pieces.h"

#include "archive/archive.h"
#include "startup/setup_state.h"

namespace {

BitmapPiece pieceSlots[PIECE_SLOTS];
// The picture of the last successful LoadPiece, until StorePiece takes it.
HGLOBAL currentImage;
uint32_t currentBitsOffset;
int32_t pieceLoaded;

HPALETTE backdropPalette;
HGLOBAL paletteIndexInfo;

// A logical palette from the picture's colour table (biClrUsed entries).
HPALETTE CreatePiecePalette(const uint8_t* image, const BmpInfoHeader& header) {
  const uint32_t count = header.biClrUsed & 0xFFFF;
  // LOGPALETTE holds one entry itself; 8 + 4 * count leaves room for all of them.
  LOGPALETTE* logPalette = (LOGPALETTE*)LocalAlloc(LMEM_FIXED, 8 + 4 * count);
  if (!logPalette) return nullptr;
  logPalette->palVersion = 0x300;
  logPalette->palNumEntries = (WORD)count;
  FillPaletteEntries(BmpColourTable(image), count, (uint8_t*)logPalette->palPalEntry);
  HPALETTE palette = CreatePalette(logPalette);
  LocalFree(logPalette);
  return palette;
}

HGLOBAL BuildPaletteIndexInfo(const BmpInfoHeader& header) {
  const uint32_t size = PaletteIndexInfoSize(header);
  if (size == 0) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return nullptr;
  uint8_t* info = (uint8_t*)GlobalLock(memory);
  if (!info) {
    GlobalFree(memory);
    return nullptr;
  }
  FillPaletteIndexInfo(header, info);
  GlobalUnlock(memory);
  return memory;
}

void DropUnstoredPiece() {
  if (pieceLoaded) GlobalFree(currentImage);
  currentImage = nullptr;
  pieceLoaded = 0;
}

}  // namespace

int32_t LoadPiece(FileHandle archive, const char* name) {
  // A picture loaded but never stored would otherwise stay allocated for good.
  DropUnstoredPiece();
  if (archive == FILE_HANDLE_INVALID) return 0;
  const int32_t size = EntryOriginalSize(name);
  if (size < 0) return 0;
  HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)(uint32_t)size + PIECE_SLACK);
  if (!image) return 0;
  uint8_t* memory = (uint8_t*)GlobalLock(image);
  uint32_t bitsOffset = 0;
  int32_t result = 0;
  if (memory) {
    result = ExtractPiece(name, memory, (uint32_t)size, &bitsOffset);
    GlobalUnlock(image);
  }
  if (!result) {
    GlobalFree(image);
    return 0;
  }
  currentImage = image;
  currentBitsOffset = bitsOffset;
  pieceLoaded = 1;
  return 1;
}

void StorePiece(int32_t index, int32_t x, int32_t y, int32_t mode) {
  if (!pieceLoaded || index < 0 || index >= PIECE_SLOTS) return;
  BitmapPiece& slot = pieceSlots[index];
  if (slot.used && slot.image != currentImage) GlobalFree(slot.image);
  slot.used = 1;
  slot.x = x;
  slot.y = y;
  slot.bitsOffset = currentBitsOffset;
  slot.drawMode = mode;
  slot.image = currentImage;
  currentImage = nullptr;
  pieceLoaded = 0;
}

int32_t PaintPieces(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc) DrawPieces(dc);
  EndPaint(window, &paint);
  return 1;
}

void DrawPieces(HDC dc) {
  for (int32_t i = 0; i < PIECE_SLOTS; i++) {
    const BitmapPiece& slot = pieceSlots[i];
    if (slot.used) DrawPiece(dc, slot.image, slot.bitsOffset, slot.x, slot.y, slot.drawMode, i == 0);
  }
}

void DrawPiece(HDC dc, HGLOBAL image, uint32_t bitsOffset, int32_t x, int32_t y, int32_t mode, int32_t slotZero) {
  uint8_t* memory = (uint8_t*)GlobalLock(image);
  if (!memory) return;
  const BmpInfoHeader header = ReadBmpInfoHeader(memory + BMP_FILE_HEADER_SIZE);
  // The picture's own header, straight from the file image (at offset 14, which x86 GDI reads
  // without alignment trouble).
  const BITMAPINFO* info = (const BITMAPINFO*)(memory + BMP_FILE_HEADER_SIZE);
  UINT usage = DIB_RGB_COLORS;
  HPALETTE previous = nullptr;
  int32_t paletteSelected = 0;
  uint8_t* indexInfo = nullptr;

  if (header.biClrUsed != 0) {
    if (!backdropPalette) backdropPalette = CreatePiecePalette(memory, header);
    if (!backdropPalette) {
      GlobalUnlock(image);
      return;
    }
    previous = SelectPalette(dc, backdropPalette, FALSE);
    paletteSelected = 1;
    // Realised once per paint: slot 0 comes first, and the other pictures share its palette.
    if (slotZero) RealizePalette(dc);
    if (!paletteIndexInfo) paletteIndexInfo = BuildPaletteIndexInfo(header);
    if (paletteIndexInfo) indexInfo = (uint8_t*)GlobalLock(paletteIndexInfo);
    if (!indexInfo) {
      if (previous) SelectPalette(dc, previous, FALSE);
      GlobalUnlock(image);
      return;
    }
    BITMAPINFOHEADER* shared = (BITMAPINFOHEADER*)indexInfo;
    if (SharesPaletteIndexInfo(header, ReadBmpInfoHeader(indexInfo))) {
      shared->biWidth = header.biWidth;
      shared->biHeight = header.biHeight;
      shared->biSizeImage = header.biSizeImage;
      info = (const BITMAPINFO*)indexInfo;
      usage = DIB_PAL_COLORS;
    }
    // Otherwise the picture keeps its own header and colour table: the shared header's bit
    // depth would make GDI read its rows at the wrong length, past the picture's memory.
  }

  if (setupState.lowColourMode != 0 || !slotZero) {
    const int32_t width = header.biWidth;
    const int32_t height = header.biHeight;
    const uint8_t* bits = memory + bitsOffset;
    int32_t drawX = x;
    int32_t drawY = y;
    do {
      SetDIBitsToDevice(dc, drawX, drawY, (DWORD)width, (DWORD)height, 0, 0, 0, (UINT)height, bits, info, usage);
    } while (NextTilePosition(mode, x, width, height, &drawX, &drawY));
  }

  if (paletteSelected && previous) SelectPalette(dc, previous, FALSE);
  if (indexInfo) GlobalUnlock(paletteIndexInfo);
  GlobalUnlock(image);
}
