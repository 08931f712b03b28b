// The backdrop's GDI side, drawn into 32-bit memory device contexts and read back pixel by
// pixel: the drawing modes, slot 0, the shared palette, loading into slots from an archive, the
// colour bands and the repaint rectangles of the reveal and the palette messages.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "backdrop/backdrop.h"
#include "bmp_fixture.h"
#include "startup/setup_state.h"

using bmpfixture::BmpSpec;
using bmpfixture::MakeBmp;

namespace {

const uint32_t SENTINEL = 0x0A0B0C;  // 0xRRGGBB, as read back
const uint32_t BLUE = 0x0000FF;
const uint32_t RED = 0xFF0000;
const uint32_t GREEN = 0x00FF00;

// A top-down 32-bit DIB section selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; i++) pixels_[i] = SENTINEL;
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  bool Ready() const { return dc_ && pixels_; }
  HDC Dc() const { return dc_; }
  uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * width_ + x] & 0xFFFFFF;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* pixels_ = nullptr;
};

// 4 x 2 pixels, 8 bits, four colours. Top row: blue blue red red; bottom row: red red green green.
std::vector<uint8_t> PictureA() {
  BmpSpec s;
  s.width = 4;
  s.height = 2;
  s.bits = 8;
  s.clrUsed = 4;
  s.table = {0x000000, RED, GREEN, BLUE};
  return MakeBmp(s, {1, 1, 2, 2, 3, 3, 1, 1});  // rows bottom-up
}

// The same format with another colour table: through the shared palette it shows A's colours.
std::vector<uint8_t> PictureAWithOtherTable() {
  BmpSpec s;
  s.width = 4;
  s.height = 2;
  s.bits = 8;
  s.clrUsed = 4;
  s.table = {0xFFFFFF, 0x808080, 0x404040, 0x202020};
  return MakeBmp(s, {1, 1, 2, 2, 3, 3, 1, 1});
}

// Picture memory as LoadPiece makes it: the file image plus 256 bytes, header prepared.
HGLOBAL ToPieceMemory(const std::vector<uint8_t>& image, uint32_t* bitsOffset) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, image.size() + PIECE_SLACK);
  uint8_t* p = static_cast<uint8_t*>(GlobalLock(memory));
  std::memcpy(p, image.data(), image.size());
  const int32_t accepted = PrepareBmpHeader(p, (uint32_t)(image.size() + PIECE_SLACK), bitsOffset);
  GlobalUnlock(memory);
  EXPECT_EQ(1, accepted);
  return memory;
}

class BackdropDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.Ready());
    setupState.lowColourMode = 0;
    // The shared palette is made by the first picture with a colour table that the process
    // draws: make sure that is picture A, whatever ran before.
    Canvas scratch(8, 8);
    a_ = ToPieceMemory(PictureA(), &aBits_);
    DrawPiece(scratch.Dc(), a_, aBits_, 0, 0, DRAW_ONCE, 0);
  }
  void TearDown() override {
    setupState.lowColourMode = 0;
    GlobalFree(a_);
  }

  // Colour of picture A's pixel at column c (0-3) of its top (row 0) or bottom (row 1) line.
  static uint32_t AColour(int c, int row) {
    static const uint32_t top[4] = {BLUE, BLUE, RED, RED};
    static const uint32_t bottom[4] = {RED, RED, GREEN, GREEN};
    return row == 0 ? top[c] : bottom[c];
  }

  Canvas canvas_{64, 128};
  HGLOBAL a_ = nullptr;
  uint32_t aBits_ = 0;
};

}  // namespace

TEST_F(BackdropDrawTest, DrawOnceThroughTheSharedPalette) {
  DrawPiece(canvas_.Dc(), a_, aBits_, 10, 20, DRAW_ONCE, 0);
  for (int c = 0; c < 4; c++) {
    EXPECT_EQ(AColour(c, 0), canvas_.At(10 + c, 20)) << c;
    EXPECT_EQ(AColour(c, 1), canvas_.At(10 + c, 21)) << c;
  }
  EXPECT_EQ(SENTINEL, canvas_.At(9, 20));
  EXPECT_EQ(SENTINEL, canvas_.At(14, 20));
  EXPECT_EQ(SENTINEL, canvas_.At(10, 19));
  EXPECT_EQ(SENTINEL, canvas_.At(10, 22));
}

TEST_F(BackdropDrawTest, TileRowReachesTheLeftEdge) {
  // Copies at x = 10, 6, 2, -2.
  DrawPiece(canvas_.Dc(), a_, aBits_, 10, 30, DRAW_TILE_ROW, 0);
  for (int x = 0; x < 14; x++) EXPECT_EQ(AColour((x + 2) % 4, 0), canvas_.At(x, 30)) << x;
  EXPECT_EQ(SENTINEL, canvas_.At(14, 30));
  EXPECT_EQ(SENTINEL, canvas_.At(0, 32));
}

TEST_F(BackdropDrawTest, TileAreaStopsAtRow97) {
  // Rows at y = 101, 99, 97; copies at x = 6, 2, -2.
  DrawPiece(canvas_.Dc(), a_, aBits_, 6, 101, DRAW_TILE_AREA, 0);
  for (int y = 97; y <= 102; y++)
    for (int x = 0; x < 10; x++) EXPECT_EQ(AColour((x + 2) % 4, (y - 97) % 2), canvas_.At(x, y)) << x << "," << y;
  EXPECT_EQ(SENTINEL, canvas_.At(0, 96));
  EXPECT_EQ(SENTINEL, canvas_.At(0, 103));
  EXPECT_EQ(SENTINEL, canvas_.At(10, 101));
}

TEST_F(BackdropDrawTest, SlotZeroIsDrawnOnlyInLowColourMode) {
  DrawPiece(canvas_.Dc(), a_, aBits_, 20, 40, DRAW_ONCE, 1);
  EXPECT_EQ(SENTINEL, canvas_.At(20, 40));
  setupState.lowColourMode = 100;
  DrawPiece(canvas_.Dc(), a_, aBits_, 20, 40, DRAW_ONCE, 1);
  EXPECT_EQ(BLUE, canvas_.At(20, 40));
  EXPECT_EQ(GREEN, canvas_.At(23, 41));
}

TEST_F(BackdropDrawTest, LaterPicturesUseThePaletteOfTheFirst) {
  uint32_t bits = 0;
  HGLOBAL other = ToPieceMemory(PictureAWithOtherTable(), &bits);
  DrawPiece(canvas_.Dc(), other, bits, 30, 50, DRAW_ONCE, 0);
  for (int c = 0; c < 4; c++) EXPECT_EQ(AColour(c, 0), canvas_.At(30 + c, 50)) << c;
  GlobalFree(other);
}

TEST_F(BackdropDrawTest, PicturesOfOtherFormatsKeepTheirOwnColours) {
  // 24 bits: no colour table, no palette involved.
  BmpSpec t;
  t.width = 2;
  t.height = 1;
  t.bits = 24;
  uint32_t bits = 0;
  HGLOBAL trueColour = ToPieceMemory(MakeBmp(t, {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0}), &bits);
  DrawPiece(canvas_.Dc(), trueColour, bits, 40, 60, DRAW_ONCE, 0);
  EXPECT_EQ(0x112233u, canvas_.At(40, 60));
  EXPECT_EQ(0x445566u, canvas_.At(41, 60));
  GlobalFree(trueColour);

  // 4 bits with 16 colours, while the shared header says 8 bits with 4: drawing it through that
  // header would read its rows at twice their length.
  BmpSpec f;
  f.width = 4;
  f.height = 2;
  f.bits = 4;
  f.clrUsed = 16;
  f.table = {0x000000, 0x123456, 0x654321, 0xABCDEF};
  HGLOBAL fourBit = ToPieceMemory(MakeBmp(f, {0x11, 0x22, 0, 0, 0x33, 0x12, 0, 0}), &bits);
  DrawPiece(canvas_.Dc(), fourBit, bits, 40, 70, DRAW_ONCE, 0);
  const uint32_t topRow[4] = {0xABCDEF, 0xABCDEF, 0x123456, 0x654321};
  const uint32_t bottomRow[4] = {0x123456, 0x123456, 0x654321, 0x654321};
  for (int c = 0; c < 4; c++) {
    EXPECT_EQ(topRow[c], canvas_.At(40 + c, 70)) << c;
    EXPECT_EQ(bottomRow[c], canvas_.At(40 + c, 71)) << c;
  }
  GlobalFree(fourBit);
}

TEST_F(BackdropDrawTest, LoadedPicturesFillSlotsAndFailedLoadsLeaveThemEmpty) {
  testsupport::ScratchDir dir("backdrop-slots");
  const std::string path = dir.File("pictures.bin");
  bmpfixture::WriteStoredArchive(path, {{"PIC", PictureA()}, {"JUNK", std::vector<uint8_t>(200, 'B')}});
  const FileHandle archive = OpenArchive(path.c_str());
  ASSERT_NE(FILE_HANDLE_INVALID, archive);

  EXPECT_EQ(0, LoadPiece(FILE_HANDLE_INVALID, "PIC"));
  EXPECT_EQ(1, LoadPiece(archive, "PIC"));
  StorePiece(5, 40, 80, DRAW_ONCE);
  StorePiece(6, 50, 80, DRAW_ONCE);  // already stored: nothing
  EXPECT_EQ(1, LoadPiece(archive, "PIC"));
  EXPECT_EQ(0, LoadPiece(archive, "JUNK"));
  StorePiece(7, 56, 80, DRAW_ONCE);  // the failed load drops the picture before it
  EXPECT_EQ(0, LoadPiece(archive, "MISSING"));
  StorePiece(8, 20, 90, DRAW_ONCE);
  EXPECT_EQ(1, LoadPiece(archive, "PIC"));
  StorePiece(0, 10, 100, DRAW_TILE_ROW);
  CloseArchive(archive);

  DrawPieces(canvas_.Dc());
  EXPECT_EQ(BLUE, canvas_.At(40, 80));
  EXPECT_EQ(GREEN, canvas_.At(43, 81));
  EXPECT_EQ(SENTINEL, canvas_.At(50, 80));
  EXPECT_EQ(SENTINEL, canvas_.At(56, 80));
  EXPECT_EQ(SENTINEL, canvas_.At(20, 90));
  EXPECT_EQ(SENTINEL, canvas_.At(0, 100)) << "slot 0 is not drawn on full-colour displays";

  setupState.lowColourMode = 100;
  DrawPieces(canvas_.Dc());
  EXPECT_EQ(AColour(2, 0), canvas_.At(0, 100));
  EXPECT_EQ(AColour(3, 1), canvas_.At(13, 101));
}

namespace {

// A popup window standing in for the backdrop window: its client area is its size.
class BackdropWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BackdropTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "BackdropTestWindow", "", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                              wc.hInstance, nullptr);
    if (!window_) GTEST_SKIP() << "no window can be created here (no display)";
    // Only a visible window collects a repaint area.
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    setupState.mainWindow = window_;
    setupState.lowColourMode = 0;
  }
  void TearDown() override {
    setupState.lowColourMode = 0;
    setupState.mainWindow = nullptr;
    if (window_) DestroyWindow(window_);
  }

  // The window's pending repaint area, after clearing it before the action.
  template <typename Action>
  RECT RepaintAfter(Action action, BOOL* pending) {
    ValidateRect(window_, nullptr);
    action();
    RECT r = {0, 0, 0, 0};
    *pending = GetUpdateRect(window_, &r, FALSE);
    return r;
  }

  HWND window_ = nullptr;
};

bool Same(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
  return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

}  // namespace

TEST_F(BackdropWindowTest, EraseBackdropPaintsThreeBands) {
  for (int32_t mode : {0, 100}) {
    SCOPED_TRACE(mode);
    setupState.lowColourMode = mode;
    Canvas canvas(320, 240);
    ASSERT_TRUE(canvas.Ready());
    EraseBackdrop(canvas.Dc());
    const uint32_t white = 0xFFFFFF;
    const uint32_t blue = 0x5680AA;  // red 86, green 128, blue 170
    EXPECT_EQ(white, canvas.At(0, 0));
    EXPECT_EQ(white, canvas.At(319, 95));
    EXPECT_EQ(blue, canvas.At(0, 96));
    EXPECT_EQ(blue, canvas.At(319, 178));
    EXPECT_EQ(white, canvas.At(0, 179));
    EXPECT_EQ(white, canvas.At(319, 239));
  }
}

TEST_F(BackdropWindowTest, RevealStepsRepaintWhatTheirPictureCovers) {
  // The test program carries no archive: every picture is refused, every step still runs.
  BOOL pending = FALSE;
  RECT r = RepaintAfter([] { EXPECT_EQ(1, RevealPiece(0)); }, &pending);
  EXPECT_TRUE(pending);
  EXPECT_TRUE(Same(r, 0, 96, 320, 179)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  r = RepaintAfter([] { EXPECT_EQ(1, RevealPiece(6)); }, &pending);
  EXPECT_TRUE(Same(r, 0, 169, 145, 179)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  r = RepaintAfter([] { EXPECT_EQ(0, RevealPiece(7)); }, &pending);
  EXPECT_TRUE(Same(r, 0, 96, 320, 106)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  RepaintAfter([] { EXPECT_EQ(0, RevealPiece(8)); }, &pending);
  EXPECT_FALSE(pending);
  RepaintAfter([] { EXPECT_EQ(0, RevealPiece(-1)); }, &pending);
  EXPECT_FALSE(pending);
}

TEST_F(BackdropWindowTest, PaletteChangesRepaintOnLowColourDisplaysOnly) {
  HWND window = window_;
  BOOL pending = FALSE;
  RepaintAfter([] { OnPaletteMessage(WM_QUERYNEWPALETTE, 0); }, &pending);
  EXPECT_FALSE(pending) << "full colour";

  setupState.lowColourMode = 100;
  RECT r = RepaintAfter([] { OnPaletteMessage(WM_QUERYNEWPALETTE, 0); }, &pending);
  EXPECT_TRUE(pending);
  EXPECT_TRUE(Same(r, 0, 0, 320, 240));
  RepaintAfter([window] { OnPaletteMessage(WM_PALETTECHANGED, (WPARAM)window); }, &pending);
  EXPECT_FALSE(pending) << "its own palette change";
  RepaintAfter([] { OnPaletteMessage(WM_PALETTECHANGED, (WPARAM)0x1234); }, &pending);
  EXPECT_TRUE(pending) << "another window's palette change";
  RepaintAfter([] { OnPaletteMessage(WM_ACTIVATE, WA_INACTIVE); }, &pending);
  EXPECT_FALSE(pending);
  RepaintAfter([] { OnPaletteMessage(WM_ACTIVATE, WA_ACTIVE); }, &pending);
  EXPECT_TRUE(pending);
}
