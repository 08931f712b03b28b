// Header check and normalisation of backdrop pictures, the shared index header and palette
// entries, and the tiling positions.
#include "backdrop/bitmap_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "bmp_fixture.h"

using bmpfixture::BmpSpec;
using bmpfixture::Get32;
using bmpfixture::MakeBmp;

namespace {

// Runs PrepareBmpHeader on a heap copy of exactly memorySize bytes, so that the sanitizers see
// any read past the end.
struct Prepared {
  int32_t result;
  uint32_t bitsOffset;
  std::vector<uint8_t> bytes;
};

Prepared Prepare(const std::vector<uint8_t>& image, size_t memorySize) {
  std::unique_ptr<uint8_t[]> memory(new uint8_t[memorySize]());
  std::memcpy(memory.get(), image.data(), image.size() < memorySize ? image.size() : memorySize);
  Prepared p;
  p.bitsOffset = 0xDEADBEEF;
  p.result = PrepareBmpHeader(memory.get(), (uint32_t)memorySize, &p.bitsOffset);
  p.bytes.assign(memory.get(), memory.get() + memorySize);
  return p;
}

BmpSpec Shape(int32_t w, int32_t h, uint16_t bits, uint32_t clrUsed) {
  BmpSpec s;
  s.width = w;
  s.height = h;
  s.bits = bits;
  s.clrUsed = clrUsed;
  return s;
}

}  // namespace

TEST(BackdropHeader, NormalisesColourCountAndImageSize) {
  struct Case {
    const char* what;
    BmpSpec shape;
    uint32_t clrUsed;    // after
    uint32_t sizeImage;  // after
    uint32_t bitsOffset;
  };
  BmpSpec withSize = Shape(10, 3, 8, 149);
  withSize.sizeImage = 99999;  // kept as given: drawing uses the row length, not this field
  BmpSpec v4 = Shape(8, 2, 4, 0);
  v4.headerSize = 108;
  BmpSpec tableIn24 = Shape(3, 2, 24, 5);
  tableIn24.tableEntries = 0;
  const Case cases[] = {
      {"24-bit: no colour table", Shape(3, 2, 24, 0), 0, 12 * 2, 54},
      {"24-bit with a colour count: ignored", tableIn24, 0, 12 * 2, 54},
      {"8-bit, count 0 means 256", Shape(4, 2, 8, 0), 256, 4 * 2, 54 + 1024},
      {"8-bit, 149 colours", Shape(4, 2, 8, 149), 149, 4 * 2, 54 + 596},
      {"4-bit, count 0 means 16", Shape(5, 3, 4, 0), 16, 4 * 3, 54 + 64},
      {"1-bit, count 0 means 2", Shape(33, 2, 1, 0), 2, 8 * 2, 54 + 8},
      {"1-bit, one colour", Shape(1, 1, 1, 1), 1, 4, 54 + 4},
      {"rows of 466 8-bit pixels are 468 bytes", Shape(466, 80, 8, 149), 149, 468 * 80, 54 + 596},
      {"given image size kept", withSize, 149, 99999, 54 + 596},
      {"longer header: table after it", v4, 16, 4 * 2, 14 + 108 + 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> image = MakeBmp(c.shape);
    const Prepared p = Prepare(image, image.size());
    ASSERT_EQ(1, p.result);
    EXPECT_EQ(c.bitsOffset, p.bitsOffset);
    EXPECT_EQ(c.clrUsed, Get32(p.bytes.data() + 46));
    EXPECT_EQ(c.sizeImage, Get32(p.bytes.data() + 34));
    // Nothing but the two fields changes.
    std::vector<uint8_t> expected = image;
    std::memcpy(expected.data() + 46, p.bytes.data() + 46, 4);
    std::memcpy(expected.data() + 34, p.bytes.data() + 34, 4);
    EXPECT_EQ(expected, p.bytes);
  }
}

TEST(BackdropHeader, RowsMayRunIntoTheSlackButNotPastTheMemory) {
  // An entry cut short: the picture memory is the entry's size plus 256 zeroed bytes.
  const std::vector<uint8_t> image = MakeBmp(Shape(64, 20, 8, 0));  // rows: 64 * 20 = 1280 bytes
  std::vector<uint8_t> cut(image.begin(), image.end() - 256);
  EXPECT_EQ(1, Prepare(cut, cut.size() + PIECE_SLACK).result) << "rows end exactly at the memory end";
  cut.pop_back();
  EXPECT_EQ(0, Prepare(cut, cut.size() + PIECE_SLACK).result) << "one byte short";
  EXPECT_EQ(1, Prepare(image, image.size()).result);
  EXPECT_EQ(0, Prepare(image, image.size() - 1).result);
}

TEST(BackdropHeader, RefusesPicturesThatCannotBeDrawnSafely) {
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    size_t memorySize;  // 0: the image's size
  };
  auto with = [](BmpSpec s) { return MakeBmp(s); };
  auto patched = [](BmpSpec s, size_t at, uint32_t value) {
    std::vector<uint8_t> b = MakeBmp(s);
    bmpfixture::Put32(b, at, value);
    return b;
  };
  auto repatched = [](std::vector<uint8_t> b, size_t at, uint32_t value) {
    bmpfixture::Put32(b, at, value);
    return b;
  };
  BmpSpec core = Shape(4, 2, 8, 0);
  core.headerSize = 12;
  BmpSpec shortHeader = Shape(4, 2, 8, 0);
  shortHeader.headerSize = 39;
  BmpSpec longHeader = Shape(4, 2, 8, 0);
  longHeader.headerSize = 128;
  BmpSpec rle8 = Shape(4, 2, 8, 0);
  rle8.compression = 1;
  BmpSpec bitfields = Shape(4, 2, 24, 0);
  bitfields.compression = 3;
  BmpSpec noTable = Shape(4, 2, 8, 0);
  noTable.tableEntries = 0;  // the rows take the place of the 1024-byte table
  std::vector<uint8_t> notBm = MakeBmp(Shape(4, 2, 8, 0));
  notBm[1] = 'A';
  const std::vector<uint8_t> valid = MakeBmp(Shape(4, 2, 8, 0));

  const Case cases[] = {
      {"not BM", notBm, 0},
      {"core header (12 bytes)", with(core), 0},
      {"header of 39 bytes", with(shortHeader), 0},
      {"header of 128 bytes", with(longHeader), 0},
      {"header size 0xFFFFFFFF", patched(Shape(4, 2, 8, 0), 14, 0xFFFFFFFFu), 0},
      {"header size past the memory", patched(Shape(4, 2, 8, 0), 14, 124), 60},
      {"0 bits", with(Shape(4, 2, 0, 0)), 0},
      {"2 bits", with(Shape(4, 2, 2, 0)), 0},
      {"16 bits", with(Shape(4, 2, 16, 0)), 0},
      {"32 bits", with(Shape(4, 2, 32, 0)), 0},
      {"RLE8", with(rle8), 0},
      {"bit fields", with(bitfields), 0},
      {"width 0", with(Shape(0, 2, 8, 0)), 0},
      {"negative width", with(Shape(-4, 2, 8, 0)), 0},
      {"width 32768", patched(Shape(4, 2, 8, 0), 18, 32768), 0},
      {"height 0", with(Shape(4, 0, 8, 0)), 0},
      {"top-down (negative height)", with(Shape(4, -2, 8, 0)), 0},
      {"height 32768", patched(Shape(4, 2, 8, 0), 22, 32768), 0},
      {"height INT32_MIN", patched(Shape(4, 2, 8, 0), 22, 0x80000000u), 0},
      {"8-bit with 257 colours", patched(Shape(4, 2, 8, 256), 46, 257), 0},
      {"8-bit with 0x10000 colours", patched(Shape(4, 2, 8, 256), 46, 0x10000), 0},
      {"4-bit with 17 colours", patched(Shape(4, 2, 4, 16), 46, 17), 0},
      {"1-bit with 3 colours", patched(Shape(4, 2, 1, 2), 46, 3), 0},
      {"colour table past the memory", with(noTable), 0},
      {"rows past the memory", valid, valid.size() - 1},
      {"shorter than the headers", std::vector<uint8_t>(valid.begin(), valid.begin() + 53), 0},
      {"huge picture in a small memory", repatched(patched(Shape(4, 2, 24, 0), 18, 32767), 22, 32767), 0},
      {"empty memory", std::vector<uint8_t>(), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t size = c.memorySize != 0 ? c.memorySize : c.image.size();
    if (size == 0) {
      uint32_t offset = 7;
      EXPECT_EQ(0, PrepareBmpHeader(nullptr, 0, &offset));
      EXPECT_EQ(7u, offset);
      continue;
    }
    const Prepared p = Prepare(c.image, size);
    EXPECT_EQ(0, p.result);
    EXPECT_EQ(0xDEADBEEFu, p.bitsOffset);
    EXPECT_EQ(0, std::memcmp(p.bytes.data(), c.image.data(), std::min(size, c.image.size())))
        << "a refused picture is left as it was";
  }
}

TEST(BackdropHeader, AcceptedPicturesAlwaysFitTheirMemory) {
  // Arbitrary bytes behind a "BM" and a plausible header size: whatever is accepted must have
  // its colour table and every row inside the memory.
  uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  int accepted = 0;
  for (int round = 0; round < 20000; round++) {
    const size_t size = 54 + next() % 2000;
    std::vector<uint8_t> image(size);
    for (uint8_t& b : image) b = (uint8_t)next();
    image[0] = 'B';
    image[1] = 'M';
    // Keep the fields that gate acceptance within reach so that many pictures pass.
    bmpfixture::Put32(image, 14, (next() & 1) ? 40 : 40 + next() % 90);
    bmpfixture::Put32(image, 18, (uint32_t)((int32_t)(next() % 80) - 4));
    bmpfixture::Put32(image, 22, (uint32_t)((int32_t)(next() % 40) - 4));
    const uint16_t depths[] = {1, 4, 8, 24, 16};
    bmpfixture::Put16(image, 28, depths[next() % 5]);
    bmpfixture::Put32(image, 30, next() % 8 == 0 ? 1 : 0);
    bmpfixture::Put32(image, 46, next() % 300);
    const Prepared p = Prepare(image, size);
    if (!p.result) continue;
    accepted++;
    const uint8_t* info = p.bytes.data() + 14;
    const int32_t w = (int32_t)Get32(info + 4);
    const int32_t h = (int32_t)Get32(info + 8);
    const uint16_t bits = (uint16_t)(info[14] | (info[15] << 8));
    const uint32_t colours = Get32(info + 32);
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    ASSERT_EQ(14 + Get32(info) + 4 * colours, p.bitsOffset);
    ASSERT_LE((uint64_t)p.bitsOffset + (uint64_t)bmpfixture::RowBytes(w, bits) * (uint32_t)h, size);
    if (bits == 24) ASSERT_EQ(0u, colours);
    else ASSERT_TRUE(colours >= 1 && colours <= (1u << bits));
  }
  EXPECT_GT(accepted, 100) << "the generator should reach the accepting paths";
}

TEST(BackdropPaletteIndexInfo, IsAPlainHeaderFollowedByIdentityIndexes) {
  BmpSpec s = Shape(7, 3, 8, 3);
  s.headerSize = 108;
  std::vector<uint8_t> image = MakeBmp(s);
  uint32_t offset = 0;
  ASSERT_EQ(1, PrepareBmpHeader(image.data(), (uint32_t)image.size(), &offset));
  const BmpInfoHeader header = ReadBmpInfoHeader(image.data() + 14);
  ASSERT_EQ(40u + 2 * 3, PaletteIndexInfoSize(header));
  std::vector<uint8_t> out(PaletteIndexInfoSize(header) + 4, 0xEE);
  FillPaletteIndexInfo(header, out.data());
  const BmpInfoHeader written = ReadBmpInfoHeader(out.data());
  EXPECT_EQ(40u, written.biSize) << "the indexes follow a 40-byte header, whatever the picture's header size";
  EXPECT_EQ(7, written.biWidth);
  EXPECT_EQ(3, written.biHeight);
  EXPECT_EQ(8, written.biBitCount);
  EXPECT_EQ(3u, written.biClrUsed);
  const std::vector<uint8_t> indexes(out.begin() + 40, out.end());
  EXPECT_EQ((std::vector<uint8_t>{0, 0, 1, 0, 2, 0, 0xEE, 0xEE, 0xEE, 0xEE}), indexes);

  BmpInfoHeader trueColour = header;
  trueColour.biClrUsed = 0;
  EXPECT_EQ(0u, PaletteIndexInfoSize(trueColour));
}

TEST(BackdropPaletteIndexInfo, ServesOnlyPicturesOfTheSameFormat) {
  BmpInfoHeader shared = {};
  shared.biBitCount = 8;
  shared.biClrUsed = 149;
  BmpInfoHeader same = shared;
  same.biWidth = 500;
  BmpInfoHeader fourBit = shared;
  fourBit.biBitCount = 4;
  fourBit.biClrUsed = 16;
  BmpInfoHeader fullTable = shared;
  fullTable.biClrUsed = 256;
  EXPECT_EQ(1, SharesPaletteIndexInfo(same, shared));
  EXPECT_EQ(0, SharesPaletteIndexInfo(fourBit, shared));
  EXPECT_EQ(0, SharesPaletteIndexInfo(fullTable, shared));
}

TEST(BackdropPaletteEntries, SwapBlueAndRed) {
  const uint8_t table[] = {0x10, 0x20, 0x30, 0x99, 0xAA, 0xBB, 0xCC, 0x77};
  uint8_t entries[8];
  std::memset(entries, 0xEE, sizeof entries);
  FillPaletteEntries(table, 2, entries);
  const uint8_t expected[] = {0x30, 0x20, 0x10, 0, 0xCC, 0xBB, 0xAA, 0};
  EXPECT_EQ(0, std::memcmp(expected, entries, sizeof expected));
}

namespace {

std::vector<std::pair<int32_t, int32_t>> TilePositions(int32_t mode, int32_t x0, int32_t y0, int32_t w, int32_t h) {
  std::vector<std::pair<int32_t, int32_t>> out;
  int32_t x = x0;
  int32_t y = y0;
  do {
    out.push_back({x, y});
    if (out.size() > 10000) break;  // a run-on loop
  } while (NextTilePosition(mode, x0, w, h, &x, &y));
  return out;
}

std::vector<std::pair<int32_t, int32_t>> Grid(std::vector<int32_t> xs, std::vector<int32_t> ys) {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (int32_t y : ys)
    for (int32_t x : xs) out.push_back({x, y});
  return out;
}

}  // namespace

TEST(BackdropTiling, FollowsTheModes) {
  struct Case {
    const char* what;
    int32_t mode, x0, y0, w, h;
    std::vector<std::pair<int32_t, int32_t>> expected;
  };
  std::vector<int32_t> row1000;
  for (int32_t x = 1000; x >= -24; x -= 64) row1000.push_back(x);
  const Case cases[] = {
      {"once", DRAW_ONCE, 300, 40, 64, 10, {{300, 40}}},
      {"row from 1000, width 64", DRAW_TILE_ROW, 1000, 5, 64, 11, Grid(row1000, {5})},
      {"row ending exactly at 0", DRAW_TILE_ROW, 128, 0, 64, 11, Grid({128, 64, 0}, {0})},
      {"row starting at 0", DRAW_TILE_ROW, 0, 0, 64, 11, {{0, 0}}},
      {"row starting left of the edge", DRAW_TILE_ROW, -10, 0, 64, 11, {{-10, 0}}},
      {"area from y 400, height 128", DRAW_TILE_AREA, 100, 400, 64, 128, Grid({100, 36, -28}, {400, 272, 144, 97})},
      {"area from y 90: one row", DRAW_TILE_AREA, 100, 90, 64, 128, Grid({100, 36, -28}, {90})},
      {"area from y 97: one row", DRAW_TILE_AREA, 10, 97, 64, 128, Grid({10, -54}, {97})},
      {"area from y 98: two rows", DRAW_TILE_AREA, 10, 98, 64, 128, Grid({10, -54}, {98, 97})},
      {"area of a 1024x768 screen", DRAW_TILE_AREA, 768, 579, 256, 128,
       Grid({768, 512, 256, 0}, {579, 451, 323, 195, 97})},
      {"unknown mode: once", 7, 300, 300, 64, 10, {{300, 300}}},
      {"row of width 0: once", DRAW_TILE_ROW, 500, 0, 0, 10, {{500, 0}}},
      {"row of negative width: once", DRAW_TILE_ROW, 500, 0, -64, 10, {{500, 0}}},
      {"area of height 0: once", DRAW_TILE_AREA, 500, 400, 64, 0, {{500, 400}}},
      {"area of negative height: once", DRAW_TILE_AREA, 500, 400, 64, -128, {{500, 400}}},
      {"area of width 0: once", DRAW_TILE_AREA, 500, 400, 0, 128, {{500, 400}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, TilePositions(c.mode, c.x0, c.y0, c.w, c.h));
  }
}
