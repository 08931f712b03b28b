// Rules of the backdrop pictures that need no window system: the check and normalisation of a
// BMP file image held in memory, the header and palette entries for drawing through the shared
// palette, and the positions at which the copies of a tiled picture are drawn.
#pragma once
#include <stdint.h>

// Drawing modes of a picture slot.
enum {
  DRAW_ONCE = 0,       // one copy at the slot's position
  DRAW_TILE_ROW = 1,   // copies one width further left each, until one lies at x <= 0
  DRAW_TILE_AREA = 2   // rows as DRAW_TILE_ROW, moving one height up, never above TILE_AREA_TOP
};
const int32_t TILE_AREA_TOP = 97;

// A picture is the whole BMP file image: the 14-byte file header, the info header, the colour
// table and the bottom-up pixel rows. Its memory is the entry's size plus PIECE_SLACK bytes.
const uint32_t BMP_FILE_HEADER_SIZE = 14;
const uint32_t BMP_INFO_HEADER_SIZE = 40;
const uint32_t BMP_MAX_INFO_HEADER_SIZE = 124;  // the largest header Windows defines (V5)
const uint32_t PIECE_SLACK = 256;
// Width and height reach the drawing call as 16-bit values; larger pictures are refused.
const int32_t PIECE_MAX_SIDE = 32767;

// The 40-byte BITMAPINFOHEADER, field for field.
struct BmpInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BmpInfoHeader) == 40, "BmpInfoHeader must match BITMAPINFOHEADER");

// Checks the BMP file image in image[0 .. memorySize) and normalises its info header in place:
// biClrUsed becomes 0 for 24 bits per pixel and the full table size (2, 16, 256) when it was 0;
// a biSizeImage of 0 becomes the size of the padded rows. Refused (0, image untouched): not
// "BM"; an info header shorter than 40 bytes (the 12-byte core header among them) or longer
// than 124; a bit depth other than 1, 4, 8, 24; a compressed format; a width or height of 0,
// negative (top-down) or above PIECE_MAX_SIDE; more colours than the bit depth allows; a header,
// colour table or pixel rows that would end past memorySize. On success *bitsOffset is the
// offset of the pixel rows, right after the colour table, and 1 is returned.
int32_t PrepareBmpHeader(uint8_t* image, uint32_t memorySize, uint32_t* bitsOffset);

// The fields of an info header (the 40 bytes at info, which need not be aligned).
BmpInfoHeader ReadBmpInfoHeader(const uint8_t* info);
// The colour table of a file image that PrepareBmpHeader has accepted: 4-byte entries of blue,
// green, red, reserved, right after the info header.
const uint8_t* BmpColourTable(const uint8_t* image);

// The header for drawing with palette indexes (DIB_PAL_COLORS): a 40-byte info header made from
// the first picture with a colour table drawn, followed by its colour count of 16-bit indexes
// 0, 1, 2, ... into the shared palette. The header always says biSize 40, so the indexes follow
// it directly also when the picture's own header was longer. 0 when the picture has no colours.
uint32_t PaletteIndexInfoSize(const BmpInfoHeader& header);
void FillPaletteIndexInfo(const BmpInfoHeader& header, uint8_t* out);

// A picture may be drawn through the shared index header only when its pixel format is the one
// the header describes: the header's bit depth decides how many bytes each row has, so a
// picture of another depth would be read past its rows. Others keep their own colour table.
int32_t SharesPaletteIndexInfo(const BmpInfoHeader& picture, const BmpInfoHeader& shared);

// LOGPALETTE entries (red, green, blue, flags 0) from count colour-table entries.
void FillPaletteEntries(const uint8_t* colourTable, uint32_t count, uint8_t* entries);

// Moves (*x, *y) from the copy just drawn to the next copy of a picture of the given size in
// mode, for a slot whose first copy lies at column x0. 0 when the copy just drawn was the last.
// A picture whose width or height is not positive is drawn once: tiling it would never reach
// the left edge or the top row.
int32_t NextTilePosition(int32_t mode, int32_t x0, int32_t width, int32_t height, int32_t* x, int32_t* y);
