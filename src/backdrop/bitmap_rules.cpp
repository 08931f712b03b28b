// Header check and normalisation of the backdrop pictures, the shared index header and palette
// entries, and the tiling steps. Pure functions over byte buffers; fields are read and written
// byte by byte because the info header sits at offset 14, not on a 4-byte boundary.
#include "backdrop/bitmap_rules.h"

namespace {

// Field offsets inside the info header.
const uint32_t OFF_SIZE = 0;
const uint32_t OFF_WIDTH = 4;
const uint32_t OFF_HEIGHT = 8;
const uint32_t OFF_PLANES = 12;
const uint32_t OFF_BIT_COUNT = 14;
const uint32_t OFF_COMPRESSION = 16;
const uint32_t OFF_SIZE_IMAGE = 20;
const uint32_t OFF_X_PELS = 24;
const uint32_t OFF_Y_PELS = 28;
const uint32_t OFF_CLR_USED = 32;
const uint32_t OFF_CLR_IMPORTANT = 36;

const uint32_t BI_RGB_FORMAT = 0;

uint16_t LoadU16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

uint32_t LoadU32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

// Bytes of one pixel row, padded to a multiple of 4; width and depth are already checked, so
// the product stays far below 2^32.
uint32_t RowBytes(int32_t width, uint16_t bitCount) {
  return (((uint32_t)width * bitCount + 31) / 32) * 4;
}

}  // namespace

int32_t PrepareBmpHeader(uint8_t* image, uint32_t memorySize, uint32_t* bitsOffset) {
  if (image == nullptr || memorySize < BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE) return 0;
  if (image[0] != 'B' || image[1] != 'M') return 0;

  uint8_t* info = image + BMP_FILE_HEADER_SIZE;
  const uint32_t headerSize = LoadU32(info + OFF_SIZE);
  if (headerSize < BMP_INFO_HEADER_SIZE || headerSize > BMP_MAX_INFO_HEADER_SIZE) return 0;
  if (BMP_FILE_HEADER_SIZE + headerSize > memorySize) return 0;

  const BmpInfoHeader header = ReadBmpInfoHeader(info);
  const uint16_t bits = header.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return 0;
  if (header.biCompression != BI_RGB_FORMAT) return 0;
  // A negative height marks top-down rows; neither that nor an empty picture can be tiled.
  if (header.biWidth <= 0 || header.biWidth > PIECE_MAX_SIDE) return 0;
  if (header.biHeight <= 0 || header.biHeight > PIECE_MAX_SIDE) return 0;

  uint32_t colours = 0;
  if (bits != 24) {
    const uint32_t tableMax = 1u << bits;
    if (header.biClrUsed > tableMax) return 0;
    colours = header.biClrUsed == 0 ? tableMax : header.biClrUsed;
  }

  const uint32_t rowsSize = RowBytes(header.biWidth, bits) * (uint32_t)header.biHeight;
  const uint32_t offset = BMP_FILE_HEADER_SIZE + headerSize + 4 * colours;
  // Both terms are bounded (offset < 1200, rowsSize < 2^32), so the sum is exact in 64 bits.
  if ((uint64_t)offset + rowsSize > memorySize) return 0;

  StoreU32(info + OFF_CLR_USED, colours);
  if (header.biSizeImage == 0) StoreU32(info + OFF_SIZE_IMAGE, rowsSize);
  *bitsOffset = offset;
  return 1;
}

BmpInfoHeader ReadBmpInfoHeader(const uint8_t* info) {
  BmpInfoHeader h;
  h.biSize = LoadU32(info + OFF_SIZE);
  h.biWidth = (int32_t)LoadU32(info + OFF_WIDTH);
  h.biHeight = (int32_t)LoadU32(info + OFF_HEIGHT);
  h.biPlanes = LoadU16(info + OFF_PLANES);
  h.biBitCount = LoadU16(info + OFF_BIT_COUNT);
  h.biCompression = LoadU32(info + OFF_COMPRESSION);
  h.biSizeImage = LoadU32(info + OFF_SIZE_IMAGE);
  h.biXPelsPerMeter = (int32_t)LoadU32(info + OFF_X_PELS);
  h.biYPelsPerMeter = (int32_t)LoadU32(info + OFF_Y_PELS);
  h.biClrUsed = LoadU32(info + OFF_CLR_USED);
  h.biClrImportant = LoadU32(info + OFF_CLR_IMPORTANT);
  return h;
}

const uint8_t* BmpColourTable(const uint8_t* image) {
  return image + BMP_FILE_HEADER_SIZE + LoadU32(image + BMP_FILE_HEADER_SIZE + OFF_SIZE);
}

uint32_t PaletteIndexInfoSize(const BmpInfoHeader& header) {
  if (header.biClrUsed == 0) return 0;
  return BMP_INFO_HEADER_SIZE + 2 * header.biClrUsed;
}

void FillPaletteIndexInfo(const BmpInfoHeader& header, uint8_t* out) {
  StoreU32(out + OFF_SIZE, BMP_INFO_HEADER_SIZE);
  StoreU32(out + OFF_WIDTH, (uint32_t)header.biWidth);
  StoreU32(out + OFF_HEIGHT, (uint32_t)header.biHeight);
  StoreU16(out + OFF_PLANES, header.biPlanes);
  StoreU16(out + OFF_BIT_COUNT, header.biBitCount);
  StoreU32(out + OFF_COMPRESSION, header.biCompression);
  StoreU32(out + OFF_SIZE_IMAGE, header.biSizeImage);
  StoreU32(out + OFF_X_PELS, (uint32_t)header.biXPelsPerMeter);
  StoreU32(out + OFF_Y_PELS, (uint32_t)header.biYPelsPerMeter);
  StoreU32(out + OFF_CLR_USED, header.biClrUsed);
  StoreU32(out + OFF_CLR_IMPORTANT, header.biClrImportant);
  for (uint32_t i = 0; i < header.biClrUsed; i++) StoreU16(out + BMP_INFO_HEADER_SIZE + 2 * i, (uint16_t)i);
}

int32_t SharesPaletteIndexInfo(const BmpInfoHeader& picture, const BmpInfoHeader& shared) {
  return picture.biBitCount == shared.biBitCount && picture.biCompression == shared.biCompression &&
         picture.biClrUsed == shared.biClrUsed;
}

void FillPaletteEntries(const uint8_t* colourTable, uint32_t count, uint8_t* entries) {
  for (uint32_t i = 0; i < count; i++) {
    entries[4 * i + 0] = colourTable[4 * i + 2];
    entries[4 * i + 1] = colourTable[4 * i + 1];
    entries[4 * i + 2] = colourTable[4 * i + 0];
    entries[4 * i + 3] = 0;
  }
}

int32_t NextTilePosition(int32_t mode, int32_t x0, int32_t width, int32_t height, int32_t* x, int32_t* y) {
  if (width <= 0 || height <= 0) return 0;
  if (mode == DRAW_TILE_ROW) {
    if (*x <= 0) return 0;
    *x -= width;
    return 1;
  }
  if (mode == DRAW_TILE_AREA) {
    if (*x > 0) {
      *x -= width;
      return 1;
    }
    if (*y <= TILE_AREA_TOP) return 0;
    *x = x0;
    *y -= height;
    if (*y < TILE_AREA_TOP) *y = TILE_AREA_TOP;
    return 1;
  }
  return 0;
}
