// Small BMP file images and stored-entry archives for the backdrop tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_format.h"
#include "test_support.h"

namespace bmpfixture {

struct BmpSpec {
  int32_t width = 4;
  int32_t height = 2;
  uint16_t bits = 8;
  uint32_t clrUsed = 0;
  uint32_t headerSize = 40;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  // Colour-table entries (B, G, R, 0 each) written after the header; by default as many as
  // biClrUsed or, when that is 0, the full table of the depth (none for 24 bits).
  std::vector<uint32_t> table;  // 0x00RRGGBB values
  int32_t tableEntries = -1;
};

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = (uint8_t)v;
  b[at + 1] = (uint8_t)(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}
inline uint32_t Get32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline uint32_t RowBytes(int32_t width, uint16_t bits) {
  return (((uint32_t)(width < 0 ? -width : width) * bits + 31) / 32) * 4;
}

inline int32_t TableEntries(const BmpSpec& s) {
  if (s.tableEntries >= 0) return s.tableEntries;
  if (s.bits > 8) return 0;
  return s.clrUsed != 0 ? (int32_t)s.clrUsed : (1 << s.bits);
}

// The whole file image: file header, info header, colour table, then the pixel rows (zero
// unless rows gives them; rows must then hold exactly RowBytes * |height| bytes).
inline std::vector<uint8_t> MakeBmp(const BmpSpec& s, const std::vector<uint8_t>& rows = {}) {
  const int32_t entries = TableEntries(s);
  const uint32_t height = (uint32_t)(s.height < 0 ? -s.height : s.height);
  const size_t rowsSize = (size_t)RowBytes(s.width, s.bits) * height;
  std::vector<uint8_t> b(14 + s.headerSize + 4 * (size_t)entries + rowsSize, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, (uint32_t)b.size());
  Put32(b, 10, (uint32_t)(14 + s.headerSize + 4 * entries));
  Put32(b, 14, s.headerSize);
  Put32(b, 18, (uint32_t)s.width);
  Put32(b, 22, (uint32_t)s.height);
  Put16(b, 26, 1);
  Put16(b, 28, s.bits);
  Put32(b, 30, s.compression);
  Put32(b, 34, s.sizeImage);
  Put32(b, 38, 2835);
  Put32(b, 42, 2835);
  Put32(b, 46, s.clrUsed);
  for (int32_t i = 0; i < entries; i++) {
    const uint32_t rgb = i < (int32_t)s.table.size() ? s.table[i] : (uint32_t)(i * 0x010101);
    const size_t at = 14 + s.headerSize + 4 * (size_t)i;
    b[at] = (uint8_t)rgb;
    b[at + 1] = (uint8_t)(rgb >> 8);
    b[at + 2] = (uint8_t)(rgb >> 16);
  }
  if (!rows.empty()) std::memcpy(b.data() + b.size() - rowsSize, rows.data(), rowsSize);
  return b;
}

struct ArchiveItem {
  std::string name;
  std::vector<uint8_t> data;
  int32_t originalSize = -1;  // -1: the data's size
};

// Writes an archive file of stored, unmasked entries after a few bytes of filler, sealed as the
// stub's own archive would be.
inline void WriteStoredArchive(const std::string& path, const std::vector<ArchiveItem>& items) {
  std::vector<uint8_t> file(64, 0x5A);
  ArchiveDirectory directory;
  std::memset(&directory, 0, sizeof directory);
  int32_t count = 0;
  for (const ArchiveItem& item : items) {
    const int32_t offset = (int32_t)file.size();
    file.insert(file.end(), item.data.begin(), item.data.end());
    const int32_t size = (int32_t)item.data.size();
    DirectoryAddRecord(&directory, &count, item.name.c_str(), 0, size,
                       item.originalSize >= 0 ? item.originalSize : size, offset, -1);
  }
  const uint8_t* tail = SealDirectory(&directory, count);
  file.insert(file.end(), tail, tail + (size_t)count * ARCHIVE_RECORD_SIZE);
  testsupport::WriteFile(path, file);
}

}  // namespace bmpfixture
