// Layout of the eight backdrop pictures, the repaint rectangles of the reveal, the colour bands,
// the low-colour decision and the palette messages.
#include "backdrop/backdrop_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backdrop/bitmap_rules.h"

namespace {

bool operator==(const BackdropRect& a, const BackdropRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const BackdropRect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

struct Expected {
  int32_t index;
  int32_t left;
  int32_t top;
  int32_t mode;
  BackdropRect repaint;
};

void CheckLayout(int32_t width, int32_t height, const std::vector<Expected>& expected) {
  for (const Expected& e : expected) {
    SCOPED_TRACE(std::string(BackdropPieceNames[e.index]) + " at " + std::to_string(width) + "x" +
                 std::to_string(height));
    PiecePlacement p;
    ASSERT_EQ(1, PlaceBackdropPiece(e.index, width, height, &p));
    EXPECT_STREQ(BackdropPieceNames[e.index], p.name);
    EXPECT_EQ(e.left, p.left);
    EXPECT_EQ(e.top, p.top);
    EXPECT_EQ(e.mode, p.drawMode);
    EXPECT_TRUE(e.repaint == p.repaint) << Show(p.repaint) << " instead of " << Show(e.repaint);
  }
}

}  // namespace

TEST(BackdropLayout, PieceNamesInRevealOrder) {
  const std::vector<std::string> expected = {"BLUE",     "RERIVIRER", "LOGO",      "QUILLON",
                                             "TOPSHADOW", "ORANGE",    "BLUEWHITE", "WHITEBLUE"};
  ASSERT_EQ(8, BACKDROP_PIECE_COUNT);
  for (int32_t i = 0; i < BACKDROP_PIECE_COUNT; i++) EXPECT_EQ(expected[i], BackdropPieceNames[i]) << i;
}

TEST(BackdropLayout, FullScreen1024x768) {
  CheckLayout(1024, 768,
              {
                  {0, 768, 579, DRAW_TILE_AREA, {0, 96, 1024, 707}},
                  {1, 10, 12, DRAW_ONCE, {10, 12, 476, 92}},
                  {2, 849, 615, DRAW_ONCE, {849, 615, 1075, 768}},
                  {3, 10, 723, DRAW_ONCE, {10, 723, 215, 755}},
                  {4, 960, 0, DRAW_TILE_ROW, {0, 0, 1024, 11}},
                  {5, 804, 0, DRAW_ONCE, {804, 0, 1024, 96}},
                  {6, 785, 697, DRAW_TILE_ROW, {0, 697, 849, 707}},
                  {7, 960, 96, DRAW_TILE_ROW, {0, 96, 1024, 106}},
              });
}

TEST(BackdropLayout, TopBandPicturesKeepClearOfTheWordmark) {
  // TOPSHADOW clamps to 414 below W - 64 = 478, ORANGE to 478 below W - 220 = 478.
  CheckLayout(500, 400, {{4, 414, 0, DRAW_TILE_ROW, {0, 0, 478, 11}}, {5, 478, 0, DRAW_ONCE, {478, 0, 698, 96}}});
  CheckLayout(541, 400, {{4, 414, 0, DRAW_TILE_ROW, {0, 0, 478, 11}}, {5, 478, 0, DRAW_ONCE, {478, 0, 698, 96}}});
  CheckLayout(542, 400, {{4, 478, 0, DRAW_TILE_ROW, {0, 0, 542, 11}}, {5, 478, 0, DRAW_ONCE, {478, 0, 698, 96}}});
  CheckLayout(697, 400, {{4, 633, 0, DRAW_TILE_ROW, {0, 0, 697, 11}}, {5, 478, 0, DRAW_ONCE, {478, 0, 698, 96}}});
  CheckLayout(698, 400, {{4, 634, 0, DRAW_TILE_ROW, {0, 0, 698, 11}}, {5, 478, 0, DRAW_ONCE, {478, 0, 698, 96}}});
  CheckLayout(699, 400, {{5, 479, 0, DRAW_ONCE, {479, 0, 699, 96}}});
}

TEST(BackdropLayout, TiledStripsRepaintFromTheLeftEdge) {
  const int32_t sizes[][2] = {{1024, 768}, {500, 300}, {542, 480}, {1920, 1080}, {300, 150}};
  for (const auto& size : sizes) {
    const int32_t w = size[0];
    const int32_t h = size[1];
    CheckLayout(w, h,
                {
                    {0, w - 256, h - 189, DRAW_TILE_AREA, {0, 96, w, h - 61}},
                    {6, w - 239, h - 71, DRAW_TILE_ROW, {0, h - 71, w - 175, h - 61}},
                    {7, w - 64, 96, DRAW_TILE_ROW, {0, 96, w, 106}},
                });
  }
}

TEST(BackdropLayout, IndexOutsideTheTableIsRefused) {
  PiecePlacement p = {};
  p.left = 12345;
  EXPECT_EQ(0, PlaceBackdropPiece(-1, 1024, 768, &p));
  EXPECT_EQ(0, PlaceBackdropPiece(8, 1024, 768, &p));
  EXPECT_EQ(12345, p.left);
}

TEST(BackdropBands, WhiteBlueWhite) {
  struct Case {
    int32_t width, height;
    BackdropRect bottom, middle, top;
  };
  const Case cases[] = {
      {1024, 768, {0, 707, 1024, 768}, {0, 96, 1024, 707}, {0, 0, 1024, 96}},
      {640, 480, {0, 419, 640, 480}, {0, 96, 640, 419}, {0, 0, 640, 96}},
      // Row 96 is the only blue row: rows 96 to H - 62.
      {300, 158, {0, 97, 300, 158}, {0, 96, 300, 97}, {0, 0, 300, 96}},
      // The white bands meet; the blue band is empty, never turned upside down.
      {300, 157, {0, 96, 300, 157}, {0, 96, 300, 96}, {0, 0, 300, 96}},
      {300, 120, {0, 59, 300, 120}, {0, 96, 300, 96}, {0, 0, 300, 96}},
      {300, 40, {0, -21, 300, 40}, {0, 96, 300, 96}, {0, 0, 300, 96}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    BackdropRect bands[BAND_COUNT];
    BackdropBands(c.width, c.height, bands);
    EXPECT_TRUE(bands[BAND_BOTTOM] == c.bottom) << Show(bands[BAND_BOTTOM]);
    EXPECT_TRUE(bands[BAND_MIDDLE] == c.middle) << Show(bands[BAND_MIDDLE]);
    EXPECT_TRUE(bands[BAND_TOP] == c.top) << Show(bands[BAND_TOP]);
  }
}

TEST(BackdropColourDepth, EightBitsOrFewerOverAllPlanes) {
  const struct {
    int32_t planes, bits, expected;
  } cases[] = {{1, 8, 100}, {1, 4, 100}, {4, 1, 100}, {1, 1, 100}, {1, 16, 0},
               {1, 24, 0},  {1, 32, 0},  {2, 8, 0},   {3, 4, 0}};
  for (const auto& c : cases) EXPECT_EQ(c.expected, LowColourModeFor(c.planes, c.bits)) << c.planes << "x" << c.bits;
}

TEST(BackdropPaletteMessages, OnlyOnLowColourDisplays) {
  const uintptr_t self = 0x1000;
  const uintptr_t other = 0x2000;
  const struct {
    const char* what;
    uint32_t message;
    uintptr_t wParam;
    int32_t expected;
  } cases[] = {
      {"activated", BACKDROP_MSG_ACTIVATE, 1, 1},
      {"activated by a click", BACKDROP_MSG_ACTIVATE, 2, 1},
      {"activated while minimised", BACKDROP_MSG_ACTIVATE, 0x10001, 1},
      {"deactivated", BACKDROP_MSG_ACTIVATE, 0, 0},
      {"deactivated while minimised", BACKDROP_MSG_ACTIVATE, 0x10000, 0},
      {"asked to realise its palette", BACKDROP_MSG_QUERYNEWPALETTE, 0, 1},
      {"palette about to change", BACKDROP_MSG_PALETTEISCHANGING, other, 0},
      {"palette changed by itself", BACKDROP_MSG_PALETTECHANGED, self, 0},
      {"palette changed by another window", BACKDROP_MSG_PALETTECHANGED, other, 1},
      {"some other message", 0x000F, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, PaletteMessageRepaints(c.message, c.wParam, 100, self)) << c.what;
    EXPECT_EQ(0, PaletteMessageRepaints(c.message, c.wParam, 0, self)) << c.what << ", full colour";
  }
}
