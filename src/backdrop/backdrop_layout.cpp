// Layout table of the eight backdrop pictures, band rectangles, and the colour-depth and
// palette-message rules.
#include "backdrop/backdrop_layout.h"

#include "backdrop/bitmap_rules.h"

const char* const BackdropPieceNames[BACKDROP_PIECE_COUNT] = {
    "BLUE", "RERIVIRER", "LOGO", "QUILLON", "TOPSHADOW", "ORANGE", "BLUEWHITE", "WHITEBLUE"};

namespace {

// Heights of the white bands; the blue band lies between them.
const int32_t TOP_BAND_HEIGHT = 96;
const int32_t BOTTOM_BAND_HEIGHT = 61;
// Pictures on the top band keep clear of the wordmark at its left, which ends at x = 478.
const int32_t WORDMARK_RIGHT = 478;

// A coordinate is either a fixed value or counted back from the right or bottom edge.
enum { FROM_START = 0, FROM_END = 1 };

struct LayoutRow {
  int32_t leftAnchor;
  int32_t left;
  int32_t topAnchor;
  int32_t top;
  int32_t width;   // the picture's size, for the repaint rectangle only: the pictures are drawn
  int32_t height;  // at their own size
  int32_t drawMode;
  int32_t clampBelow;  // if left < clampBelow, left = clampTo (0: no clamp)
  int32_t clampTo;
};

const LayoutRow layoutTable[BACKDROP_PIECE_COUNT] = {
    {FROM_END, 256, FROM_END, 189, 256, 128, DRAW_TILE_AREA, 0, 0},                   // BLUE
    {FROM_START, 10, FROM_START, 12, 466, 80, DRAW_ONCE, 0, 0},                       // RERIVIRER
    {FROM_END, 175, FROM_END, 153, 226, 153, DRAW_ONCE, 0, 0},                        // LOGO
    {FROM_START, 10, FROM_END, 45, 205, 32, DRAW_ONCE, 0, 0},                         // QUILLON
    {FROM_END, 64, FROM_START, 0, 64, 11, DRAW_TILE_ROW, WORDMARK_RIGHT, 414},        // TOPSHADOW
    {FROM_END, 220, FROM_START, 0, 220, 96, DRAW_ONCE, WORDMARK_RIGHT, WORDMARK_RIGHT},  // ORANGE
    {FROM_END, 239, FROM_END, 71, 64, 10, DRAW_TILE_ROW, 0, 0},                       // BLUEWHITE
    {FROM_END, 64, FROM_START, 96, 64, 10, DRAW_TILE_ROW, 0, 0},                      // WHITEBLUE
};

// A client area is never negative, and GDI coordinates end at 2^27. Sizes are clamped to that
// range, so every position and rectangle computed from them is exact in 32 bits whatever the
// caller passes.
const int32_t MAX_CLIENT_EXTENT = (1 << 27) - 1;

int32_t ClientExtent(int32_t extent) {
  return extent < 0 ? 0 : extent > MAX_CLIENT_EXTENT ? MAX_CLIENT_EXTENT : extent;
}

int32_t Anchored(int32_t anchor, int32_t value, int32_t extent) {
  return anchor == FROM_END ? extent - value : value;
}

}  // namespace

int32_t PlaceBackdropPiece(int32_t index, int32_t width, int32_t height, PiecePlacement* placement) {
  if (index < 0 || index >= BACKDROP_PIECE_COUNT) return 0;
  width = ClientExtent(width);
  height = ClientExtent(height);
  const LayoutRow& row = layoutTable[index];
  int32_t left = Anchored(row.leftAnchor, row.left, width);
  const int32_t top = Anchored(row.topAnchor, row.top, height);
  if (row.clampBelow != 0 && left < row.clampBelow) left = row.clampTo;

  placement->name = BackdropPieceNames[index];
  placement->left = left;
  placement->top = top;
  placement->drawMode = row.drawMode;
  // Tiled pictures reach the left edge; the tiled area also reaches up to the top band.
  placement->repaint.left = row.drawMode == DRAW_ONCE ? left : 0;
  placement->repaint.top = row.drawMode == DRAW_TILE_AREA ? TOP_BAND_HEIGHT : top;
  placement->repaint.right = left + row.width;
  placement->repaint.bottom = top + row.height;
  return 1;
}

void BackdropBands(int32_t width, int32_t height, BackdropRect bands[BAND_COUNT]) {
  width = ClientExtent(width);
  height = ClientExtent(height);
  const int32_t bottomTop = height - BOTTOM_BAND_HEIGHT;
  bands[BAND_BOTTOM] = BackdropRect{0, bottomTop, width, height};
  // An inverted rectangle is not reliably empty for every fill routine; make it empty.
  const int32_t middleBottom = bottomTop > TOP_BAND_HEIGHT ? bottomTop : TOP_BAND_HEIGHT;
  bands[BAND_MIDDLE] = BackdropRect{0, TOP_BAND_HEIGHT, width, middleBottom};
  bands[BAND_TOP] = BackdropRect{0, 0, width, TOP_BAND_HEIGHT};
}

int32_t LowColourModeFor(int32_t planes, int32_t bitsPerPixel) {
  return (int64_t)planes * bitsPerPixel <= 8 ? LOW_COLOUR_MODE : 0;
}

int32_t PaletteMessageRepaints(uint32_t message, uintptr_t wParam, int32_t lowColourMode, uintptr_t mainWindow) {
  if (lowColourMode == 0) return 0;
  switch (message) {
    case BACKDROP_MSG_ACTIVATE:
      return (wParam & 0xFFFF) != 0;
    case BACKDROP_MSG_QUERYNEWPALETTE:
      return 1;
    case BACKDROP_MSG_PALETTECHANGED:
      return wParam != mainWindow;
    default:
      return 0;  // WM_PALETTEISCHANGING among them
  }
}
