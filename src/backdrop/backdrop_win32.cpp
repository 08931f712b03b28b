// Windows side of the backdrop: the colour-depth probe, the reveal step over the layout table,
// the band painter and the palette messages. The rules themselves are in backdrop_layout.cpp.
#include "backdrop/backdrop.h"

#include "archive/archive.h"
#include "startup/setup_state.h"

static_assert(BACKDROP_MSG_ACTIVATE == WM_ACTIVATE, "message numbers");
static_assert(BACKDROP_MSG_QUERYNEWPALETTE == WM_QUERYNEWPALETTE, "message numbers");
static_assert(BACKDROP_MSG_PALETTEISCHANGING == WM_PALETTEISCHANGING, "message numbers");
static_assert(BACKDROP_MSG_PALETTECHANGED == WM_PALETTECHANGED, "message numbers");

namespace {

// Open from reveal step 0 to step 7 only; separate from the installer's own archive handle.
FileHandle revealArchive = FILE_HANDLE_INVALID;
HBRUSH whiteBrush;
HBRUSH blueBrush;

RECT ToRect(const BackdropRect& r) {
  RECT rect;
  rect.left = r.left;
  rect.top = r.top;
  rect.right = r.right;
  rect.bottom = r.bottom;
  return rect;
}

void ClientSize(int32_t* width, int32_t* height) {
  RECT client = {0, 0, 0, 0};
  GetClientRect(setupState.mainWindow, &client);
  *width = client.right - client.left;
  *height = client.bottom - client.top;
}

}  // namespace

void ProbeColourDepth(HWND window) {
  HDC dc = GetDC(window);
  // Without a device context nothing is known; the full-colour way is the safe default.
  if (!dc) {
    setupState.lowColourMode = 0;
    return;
  }
  setupState.lowColourMode = LowColourModeFor(GetDeviceCaps(dc, PLANES), GetDeviceCaps(dc, BITSPIXEL));
  ReleaseDC(window, dc);
}

int32_t RevealPiece(int32_t index) {
  int32_t width;
  int32_t height;
  ClientSize(&width, &height);
  PiecePlacement place;
  if (!PlaceBackdropPiece(index, width, height, &place)) return 0;

  if (index == 0) revealArchive = OpenArchive(nullptr);
  // A picture that fails to load leaves its slot empty; the reveal goes on.
  LoadPiece(revealArchive, place.name);
  StorePiece(index, place.left, place.top, place.drawMode);
  if (index == BACKDROP_PIECE_COUNT - 1) {
    CloseArchive(revealArchive);
    revealArchive = FILE_HANDLE_INVALID;
  }

  // No erase: the new picture is painted over what is already there.
  const RECT repaint = ToRect(place.repaint);
  InvalidateRect(setupState.mainWindow, &repaint, FALSE);
  return index < BACKDROP_PIECE_COUNT - 1 ? 1 : 0;
}

void EraseBackdrop(HDC dc) {
  // Made once and kept; a brush that could not be made is tried again at the next erase.
  if (!whiteBrush) whiteBrush = CreateSolidBrush(BACKDROP_WHITE);
  if (!blueBrush) blueBrush = CreateSolidBrush(BACKDROP_BLUE);

  HBRUSH middleBrush = blueBrush;
  HBRUSH nearestBrush = nullptr;
  if (setupState.lowColourMode != 0) {
    // A solid colour the palette holds, rather than a dithered pattern of system colours.
    COLORREF nearest = GetNearestColor(dc, BACKDROP_BLUE);
    if (nearest == CLR_INVALID) nearest = BACKDROP_BLUE;
    nearestBrush = CreateSolidBrush(nearest);
    middleBrush = nearestBrush;
  }

  int32_t width;
  int32_t height;
  ClientSize(&width, &height);
  BackdropRect bands[BAND_COUNT];
  BackdropBands(width, height, bands);
  const HBRUSH brushes[BAND_COUNT] = {whiteBrush, middleBrush, whiteBrush};
  for (int32_t i = 0; i < BAND_COUNT; i++) {
    // FillRect takes small brush values as system colour numbers; a missing brush paints nothing.
    if (!brushes[i]) continue;
    const RECT rect = ToRect(bands[i]);
    FillRect(dc, &rect, brushes[i]);
  }
  if (nearestBrush) DeleteObject(nearestBrush);
}

void OnPaletteMessage(UINT message, WPARAM wParam) {
  if (PaletteMessageRepaints(message, (uintptr_t)wParam, setupState.lowColourMode, (uintptr_t)setupState.mainWindow))
    InvalidateRect(setupState.mainWindow, nullptr, FALSE);
}
