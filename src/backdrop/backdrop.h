// What the installer's and the uninstaller's full-screen windows call to show the backdrop: the
// colour-depth probe, the staged reveal of the eight pictures, the band painter, the paint of
// the picture slots and the palette-message handler.
#pragma once
#include <stdint.h>

#include "backdrop/backdrop_layout.h"
#include "backdrop/bitmap_pieces.h"

#ifdef _WIN32
// WM_CREATE of the installer window, before the reveal timer starts: sets
// setupState.lowColourMode to LOW_COLOUR_MODE on displays of 8 bits per pixel or fewer, else 0.
void ProbeColourDepth(HWND window);
// One reveal timer tick: loads picture index (0-7) from the program's own archive, places it for
// the current client area of setupState.mainWindow and invalidates what it covers without an
// erase. Index 0 opens the archive and index 7 closes it. 1 while more pictures follow (0-6),
// 0 after the last one and for an index outside 0-7.
int32_t RevealPiece(int32_t index);
// WM_ERASEBKGND (the window then returns 1): paints the three colour bands on dc.
void EraseBackdrop(HDC dc);
// WM_ACTIVATE, WM_QUERYNEWPALETTE, WM_PALETTEISCHANGING and WM_PALETTECHANGED of the backdrop
// windows and the dialogs over them: on low-colour displays repaints the backdrop so that the
// next paint realises its palette again.
void OnPaletteMessage(UINT message, WPARAM wParam);
#endif
