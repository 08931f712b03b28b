#include "pe_image.h"

#include <cstring>

#include "manifest.h"
#include "startup/setup_config.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

struct Section {
  char name[9];
  uint32_t rawSize;
  uint32_t rawOffset;
};

std::vector<Section> Sections(const std::vector<uint8_t>& image, const std::string& what) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') throw PackError(what + ": not a Windows program (no MZ header)");
  const uint32_t pe = Le32(image, 0x3C);
  if (pe > image.size() - 24 || std::memcmp(&image[pe], "PE\0\0", 4) != 0) {
    throw PackError(what + ": not a Windows program (no PE header)");
  }
  const uint16_t count = Le16(image, pe + 6);
  const uint16_t optionalSize = Le16(image, pe + 20);
  const size_t table = static_cast<size_t>(pe) + 24 + optionalSize;
  if (table + static_cast<size_t>(count) * 40 > image.size()) throw PackError(what + ": damaged PE section table");
  std::vector<Section> sections;
  for (uint16_t i = 0; i < count; i++) {
    const size_t at = table + static_cast<size_t>(i) * 40;
    Section s{};
    std::memcpy(s.name, &image[at], 8);
    s.rawSize = Le32(image, at + 16);
    s.rawOffset = Le32(image, at + 20);
    sections.push_back(s);
  }
  return sections;
}

}  // namespace

ConfigArea FindConfigArea(const std::vector<uint8_t>& image, const std::string& what) {
  for (const Section& s : Sections(image, what)) {
    if (std::strcmp(s.name, CONFIG_SECTION_NAME) != 0) continue;
    if (s.rawSize < sizeof(SetupConfigStore) || s.rawOffset > image.size() ||
        image.size() - s.rawOffset < sizeof(SetupConfigStore)) {
      throw PackError(what + ": the configuration section is too small for the configuration record");
    }
    if (Le32(image, s.rawOffset) != CONFIG_MAGIC) {
      throw PackError(what + ": the configuration section does not start with the record's magic");
    }
    return {s.rawOffset, s.rawSize};
  }
  throw PackError(what + ": not a setup stub (no " CONFIG_SECTION_NAME " section with a configuration area)");
}

uint32_t PeImageEnd(const std::vector<uint8_t>& image, const std::string& what) {
  uint64_t end = 0;
  for (const Section& s : Sections(image, what)) end = std::max<uint64_t>(end, uint64_t{s.rawOffset} + s.rawSize);
  // An unstripped program keeps a COFF symbol table and its string table after the sections.
  const uint32_t pe = Le32(image, 0x3C);
  const uint32_t symbols = Le32(image, pe + 12);
  const uint32_t symbolCount = Le32(image, pe + 16);
  if (symbols) {
    const uint64_t strings = uint64_t{symbols} + uint64_t{symbolCount} * 18;
    if (strings + 4 <= image.size()) end = std::max<uint64_t>(end, strings + Le32(image, static_cast<size_t>(strings)));
  }
  if (end > image.size()) throw PackError(what + ": the image is shorter than its sections");
  return static_cast<uint32_t>(end);
}
