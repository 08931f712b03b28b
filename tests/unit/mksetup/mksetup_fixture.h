// A product for the packaging tests, made in a scratch folder: a minimal PE stub with a
// configuration section, eight small pictures sharing one palette, product files and a
// manifest whose text a test can vary.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "startup/setup_config.h"
#include "test_support.h"

namespace mksetuptest {

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// MZ and PE headers, no optional header, two sections: ".text" and the configuration section
// holding an inert stored form (magic, length 0). `sectionName` lets a test leave it out.
inline std::vector<uint8_t> FakeStub(const char* sectionName = CONFIG_SECTION_NAME) {
  std::vector<uint8_t> pe(0xA00, 0);  // the sections end the file
  pe[0] = 'M';
  pe[1] = 'Z';
  Put32(pe, 0x3C, 0x40);
  std::memcpy(&pe[0x40], "PE\0\0", 4);
  Put16(pe, 0x44, 0x14C);  // i386
  Put16(pe, 0x46, 2);      // sections
  Put16(pe, 0x54, 0);      // no optional header
  const size_t table = 0x40 + 24;
  std::memcpy(&pe[table], ".text", 5);
  Put32(pe, table + 16, 0x200);
  Put32(pe, table + 20, 0x200);
  std::strncpy(reinterpret_cast<char*>(&pe[table + 40]), sectionName, 8);
  Put32(pe, table + 40 + 16, 0x600);
  Put32(pe, table + 40 + 20, 0x400);
  for (size_t i = 0x200; i < 0x400; i++) pe[i] = static_cast<uint8_t>(i * 7);  // "code"
  Put32(pe, 0x400, CONFIG_MAGIC);
  return pe;
}

// An 8-bit picture of w x h with a 16-colour table (the same for every picture).
inline std::vector<uint8_t> Picture(int w, int h, uint8_t seed) {
  const uint32_t row = (static_cast<uint32_t>(w) + 3) & ~3u;
  const uint32_t colours = 16;
  const uint32_t bits = 14 + 40 + 4 * colours;
  std::vector<uint8_t> b(bits + row * static_cast<uint32_t>(h), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, bits);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(w));
  Put32(b, 22, static_cast<uint32_t>(h));
  Put16(b, 26, 1);
  Put16(b, 28, 8);
  Put32(b, 34, row * static_cast<uint32_t>(h));
  Put32(b, 46, colours);
  for (uint32_t i = 0; i < colours; i++) {
    b[54 + 4 * i] = static_cast<uint8_t>(i * 16);
    b[55 + 4 * i] = static_cast<uint8_t>(255 - i * 16);
    b[56 + 4 * i] = static_cast<uint8_t>(i * 8);
  }
  for (size_t i = bits; i < b.size(); i++) b[i] = static_cast<uint8_t>((i + seed) % colours);
  return b;
}

inline const char* const kPictureNames[8] = {"BLUE", "RERIVIRER", "LOGO", "QUILLON", "TOPSHADOW", "ORANGE", "BLUEWHITE", "WHITEBLUE"};

inline std::vector<uint8_t> TextFile(size_t n, int seed) {
  std::string s;
  const char* words[] = {"setup ", "window ", "archive ", "folder ", "picture ", "stream "};
  for (size_t i = 0; s.size() < n; i++) s += words[(i * 7 + static_cast<size_t>(seed)) % 6];
  s.resize(n);
  return std::vector<uint8_t>(s.begin(), s.end());
}

struct Product {
  testsupport::ScratchDir dir{"mksetup"};
  std::string manifestPath;

  Product() {
    testsupport::WriteFile(dir.File("stub.exe"), FakeStub());
    std::filesystem::create_directories(dir.File("art"));
    std::filesystem::create_directories(dir.File("files"));
    for (int i = 0; i < 8; i++) testsupport::WriteFile(dir.File(std::string("art/") + kPictureNames[i] + ".bmp"), Picture(5 + i, 3, static_cast<uint8_t>(i)));
    testsupport::WriteFile(dir.File("files/Viewer.exe"), TextFile(30000, 1));
    testsupport::WriteFile(dir.File("files/readme.txt"), TextFile(2000, 2));
    testsupport::WriteFile(dir.File("files/Viewer.hlp"), TextFile(5, 3));  // too small to compress
    std::vector<uint8_t> noise(4000);
    uint32_t x = 2463534242u;  // xorshift: bytes no compressor can shrink
    for (uint8_t& b : noise) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = static_cast<uint8_t>(x >> 24);
    }
    testsupport::WriteFile(dir.File("files/a.smp"), noise);
    testsupport::WriteFile(dir.File("files/b.smp"), TextFile(7000, 5));
    Manifest(DefaultManifest());
  }

  static std::string DefaultManifest() {
    std::string m = R"(stub = "stub.exe"
[product]
name = "Test Viewer"
version = "2.5"
install_folder = "Test Viewer"
window_class = "TestViewerWnd"
samples_noun = "samples"
startup_args = "-min"
desktop_shortcut = true
titles = ["One", "Two", "Three"]
[uninstaller]
name = "uninst.exe"
[[files]]
source = "files/Viewer.exe"
[[files]]
source = "files/readme.txt"
[[files]]
source = "files/Viewer.hlp"
[[files]]
source = "files/a.smp"
[[files]]
source = "files/b.smp"
mask = 0x5A
[artwork]
)";
    for (const char* name : kPictureNames) m += std::string(name) + " = \"art/" + name + ".bmp\"\n";
    return m;
  }

  void Manifest(const std::string& text) {
    manifestPath = dir.File("manifest.toml");
    testsupport::WriteFile(manifestPath, std::vector<uint8_t>(text.begin(), text.end()));
  }
};

}  // namespace mksetuptest
