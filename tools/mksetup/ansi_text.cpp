#include "ansi_text.h"

#include <cstdint>

namespace {

// Code page 1252 bytes 0x80-0x9F; 0 marks the five unassigned ones.
const uint16_t kHighRow[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                               0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    uint32_t cp;
    size_t extra;
    if (b < 0x80) {
      cp = b;
      extra = 0;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      extra = 3;
    } else {
      return std::nullopt;
    }
    for (size_t k = 1; k <= extra; k++) {
      if (i + k >= utf8.size()) return std::nullopt;
      const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    int found = -1;
    for (int k = 0; k < 32; k++) {
      if (kHighRow[k] && kHighRow[k] == cp) found = k;
    }
    if (found < 0) return std::nullopt;
    out += static_cast<char>(0x80 + found);
  }
  return out;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  for (unsigned char b : ansi) {
    if (b >= 0x80 && b < 0xA0) {
      // Unassigned bytes map to U+FFFD so the text stays readable.
      AppendUtf8(out, kHighRow[b - 0x80] ? kHighRow[b - 0x80] : 0xFFFD);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}
