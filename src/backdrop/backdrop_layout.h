// The backdrop's fixed rules, free of any window system: the eight picture names in reveal
// order, where each picture goes for a client area of a given size and what a reveal step
// repaints, the three colour bands, the low-colour decision and which palette messages repaint.
#pragma once
#include <stdint.h>

const int32_t BACKDROP_PIECE_COUNT = 8;
// Archive entry names in reveal order; the index is also the picture's slot. The install worker
// copies the same entries, in this order, into the uninstaller's archive.
extern const char* const BackdropPieceNames[BACKDROP_PIECE_COUNT];

// Band colours as COLORREF values (0x00BBGGRR).
const uint32_t BACKDROP_WHITE = 0xFFFFFF;
const uint32_t BACKDROP_BLUE = 0xAA8056;  // red 86, green 128, blue 170

// lowColourMode values; 100 is also the offset of the low-colour dialog resources.
const int32_t LOW_COLOUR_MODE = 100;

// Client coordinates; right and bottom are exclusive, as in a Windows RECT.
struct BackdropRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct PiecePlacement {
  const char* name;
  int32_t left;          // position of the first copy drawn
  int32_t top;
  int32_t drawMode;      // DRAW_ONCE, DRAW_TILE_ROW or DRAW_TILE_AREA
  BackdropRect repaint;  // what the reveal step of this picture invalidates
};

// Placement of picture index (0 .. 7) in a client area of width x height, clamps applied.
// 0 for an index outside the table.
int32_t PlaceBackdropPiece(int32_t index, int32_t width, int32_t height, PiecePlacement* placement);

// The three bands in the order they are filled: bottom, middle, top. When the client area is
// low, the middle band is empty (top == bottom) and the white bands meet or overlap.
enum { BAND_BOTTOM = 0, BAND_MIDDLE = 1, BAND_TOP = 2, BAND_COUNT = 3 };
void BackdropBands(int32_t width, int32_t height, BackdropRect bands[BAND_COUNT]);

// LOW_COLOUR_MODE for a display of at most 8 bits per pixel over all planes, else 0.
int32_t LowColourModeFor(int32_t planes, int32_t bitsPerPixel);

// Window message numbers the palette rule looks at (those of the Windows headers).
const uint32_t BACKDROP_MSG_ACTIVATE = 0x0006;
const uint32_t BACKDROP_MSG_QUERYNEWPALETTE = 0x030F;
const uint32_t BACKDROP_MSG_PALETTEISCHANGING = 0x0310;
const uint32_t BACKDROP_MSG_PALETTECHANGED = 0x0311;

// 1 when the backdrop window must be repainted whole for this message: only on low-colour
// displays, for an activation (low word of wParam nonzero), a request to realise the palette,
// and a palette change made by another window than mainWindow (wParam names that window).
int32_t PaletteMessageRepaints(uint32_t message, uintptr_t wParam, int32_t lowColourMode, uintptr_t mainWindow);
