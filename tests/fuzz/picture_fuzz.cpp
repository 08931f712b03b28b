// Fuzz target: any bytes as a backdrop picture, through PrepareBmpHeader (over exactly the
// picture's bytes, and as the backdrop holds it: the bytes plus 256 zero bytes of slack), the
// palette helpers, and the layout and tiling arithmetic for the picture's size and for sizes
// taken from the input. Input: client width and height (2 x 4 bytes), the picture's slot and
// a drawing mode (1 byte), a tiling size (2 x 4 bytes), then the BMP file image.
// Checks: an accepted picture's header, colour table and rows lie inside its memory; every
// tiling loop ends, and a picture of zero or negative size is drawn once.
#include <cstdint>
#include <cstring>
#include <vector>

#include "backdrop/backdrop_layout.h"
#include "backdrop/bitmap_rules.h"
#include "fuzz_support.h"

using fuzzsupport::Controls;

namespace {

// Steps simulated in full; a longer run (a 1-pixel picture over a wide screen) is checked for
// progress over its first steps instead.
const int64_t kStepsSimulated = 20000;

// The drawing loop of a tiled picture, as the backdrop runs it: one copy, then NextTilePosition
// until it says the last copy was drawn. Every step must make progress towards the left edge or
// the top row, so the loop always ends; an empty or negative size is drawn exactly once.
void CheckTiling(int32_t mode, int32_t x0, int32_t y0, int32_t width, int32_t height) {
  int32_t x = x0;
  int32_t y = y0;
  int64_t steps = 0;
  while (steps < kStepsSimulated) {
    const int32_t px = x;
    const int32_t py = y;
    if (!NextTilePosition(mode, x0, width, height, &x, &y)) break;
    steps++;
    FUZZ_CHECK(width > 0 && height > 0);
    FUZZ_CHECK(mode == DRAW_TILE_ROW || mode == DRAW_TILE_AREA);
    if (mode == DRAW_TILE_ROW) {
      FUZZ_CHECK(px > 0 && x == px - width && y == py);
    } else if (px > 0) {
      FUZZ_CHECK(x == px - width && y == py);
    } else {
      // A new row: back to the first column, one height up, never above the top row.
      FUZZ_CHECK(py > TILE_AREA_TOP && x == x0 && y < py && y >= TILE_AREA_TOP);
    }
  }
  if (width <= 0 || height <= 0 || mode == DRAW_ONCE) FUZZ_CHECK(steps == 0);
  if (steps < kStepsSimulated) return;
  // Long runs: the number of copies is bounded by the columns and rows there are.
  const int64_t w = width;
  const int64_t h = height;
  const int64_t columns = x0 > 0 ? (x0 + w - 1) / w + 1 : 1;
  const int64_t rows = (mode == DRAW_TILE_AREA && y0 > TILE_AREA_TOP) ? (y0 - TILE_AREA_TOP + h - 1) / h + 1 : 1;
  FUZZ_CHECK(columns * rows >= kStepsSimulated);
}

void CheckAccepted(const uint8_t* image, uint32_t memorySize, uint32_t bitsOffset) {
  const BmpInfoHeader h = ReadBmpInfoHeader(image + BMP_FILE_HEADER_SIZE);
  FUZZ_CHECK(h.biWidth > 0 && h.biWidth <= PIECE_MAX_SIDE && h.biHeight > 0 && h.biHeight <= PIECE_MAX_SIDE);
  FUZZ_CHECK(h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 24);
  FUZZ_CHECK(h.biSize >= BMP_INFO_HEADER_SIZE && BMP_FILE_HEADER_SIZE + h.biSize <= memorySize);
  FUZZ_CHECK(h.biBitCount == 24 ? h.biClrUsed == 0 : (h.biClrUsed >= 1 && h.biClrUsed <= (1u << h.biBitCount)));
  const uint64_t rowBytes = ((static_cast<uint64_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  const uint64_t rows = rowBytes * static_cast<uint64_t>(h.biHeight);
  FUZZ_CHECK(bitsOffset == BMP_FILE_HEADER_SIZE + h.biSize + 4 * h.biClrUsed);
  FUZZ_CHECK(bitsOffset + rows <= memorySize);
  FUZZ_CHECK(h.biSizeImage != 0);

  // The palette helpers read the colour table and write what their sizes promise.
  const uint8_t* table = BmpColourTable(image);
  FUZZ_CHECK(table == image + BMP_FILE_HEADER_SIZE + h.biSize);
  std::vector<uint8_t> entries(4 * h.biClrUsed + 1);
  FillPaletteEntries(table, h.biClrUsed, entries.data());
  const uint32_t infoSize = PaletteIndexInfoSize(h);
  FUZZ_CHECK((infoSize == 0) == (h.biClrUsed == 0));
  if (infoSize) {
    std::vector<uint8_t> info(infoSize);
    FillPaletteIndexInfo(h, info.data());
    const BmpInfoHeader shared = ReadBmpInfoHeader(info.data());
    FUZZ_CHECK(shared.biSize == BMP_INFO_HEADER_SIZE && SharesPaletteIndexInfo(h, shared));
  }
  // Every copy of every layout: drawn with the picture's own size.
  for (int32_t mode = DRAW_ONCE; mode <= DRAW_TILE_AREA; mode++) {
    CheckTiling(mode, 1000, 700, h.biWidth, h.biHeight);
  }
}

// PrepareBmpHeader over exactly `memorySize` heap bytes holding the picture's first `size` bytes
// (the rest zero), so a read or write past the memory is a heap overflow.
void CheckPicture(const uint8_t* bytes, size_t size, uint32_t memorySize) {
  std::vector<uint8_t> memory(memorySize > 0 ? memorySize : 1, 0);
  memcpy(memory.data(), bytes, size < memorySize ? size : memorySize);
  const std::vector<uint8_t> before = memory;
  uint32_t bitsOffset = 0xDEADBEEF;
  if (PrepareBmpHeader(memory.data(), memorySize, &bitsOffset)) {
    CheckAccepted(memory.data(), memorySize, bitsOffset);
    // Normalised once, the header is accepted again as it stands.
    uint32_t again = 0;
    const std::vector<uint8_t> normalised = memory;
    FUZZ_CHECK(PrepareBmpHeader(memory.data(), memorySize, &again) && again == bitsOffset && memory == normalised);
  } else {
    FUZZ_CHECK(memory == before && bitsOffset == 0xDEADBEEF);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Controls controls(data, size);
  // Client areas as GetClientRect gives them, and some no window has.
  const int32_t clientWidth = static_cast<int32_t>(controls.U32());
  const int32_t clientHeight = static_cast<int32_t>(controls.U32());
  const uint8_t choice = controls.Byte();
  const int32_t slot = (choice & 15) % (BACKDROP_PIECE_COUNT + 1);
  const int32_t mode = (choice >> 4) % 3;
  const int32_t tileWidth = static_cast<int32_t>(controls.U32());
  const int32_t tileHeight = static_cast<int32_t>(controls.U32());
  const uint8_t* bmp = controls.Rest();
  const size_t bmpSize = controls.RestSize();
  if (bmpSize > (1u << 24)) return 0;

  CheckPicture(bmp, bmpSize, static_cast<uint32_t>(bmpSize));
  CheckPicture(bmp, bmpSize, static_cast<uint32_t>(bmpSize) + PIECE_SLACK);

  PiecePlacement place;
  if (PlaceBackdropPiece(slot, clientWidth, clientHeight, &place)) {
    FUZZ_CHECK(slot < BACKDROP_PIECE_COUNT && place.name == BackdropPieceNames[slot]);
    FUZZ_CHECK(place.drawMode >= DRAW_ONCE && place.drawMode <= DRAW_TILE_AREA);
    CheckTiling(place.drawMode, place.left, place.top, tileWidth, tileHeight);
  } else {
    FUZZ_CHECK(slot == BACKDROP_PIECE_COUNT);
  }
  BackdropRect bands[BAND_COUNT];
  BackdropBands(clientWidth, clientHeight, bands);
  FUZZ_CHECK(bands[BAND_MIDDLE].top <= bands[BAND_MIDDLE].bottom);
  CheckTiling(mode, clientWidth, clientHeight, tileWidth, tileHeight);
  return 0;
}
