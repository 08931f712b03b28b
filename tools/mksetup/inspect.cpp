// Inspection of a built setup. Everything that reads the archive goes through the stub's own
// reader (via the packing library's ListArchive/ReadArchiveEntry), so what is checked here is
// what the installer will see.
#include "inspect.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "ansi_text.h"
#include "backdrop_names.h"
#include "manifest.h"
#include "packing/archive_builder.h"
#include "pe_image.h"
#include "setup_builder.h"
#include "stream/block_format.h"
#include "stream/block_stream.h"

namespace fs = std::filesystem;

namespace {

std::string Field(const char* slot, size_t width) {
  return AnsiToUtf8(std::string(slot, strnlen(slot, width)));
}

std::string KindName(int kind) {
  return kind == ENTRY_STORED ? "stored" : kind == ENTRY_INLINE ? "inline" : "compressed";
}

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at] | (b[at + 1] << 8));
}

// Walks the blocks of a framed stream as the writer lays them out. Gives the problem, or empty
// with the raw image (size and bit stream) that the blocks carry.
std::string UnframeStream(const std::vector<uint8_t>& framed, std::vector<uint8_t>* image) {
  image->clear();
  size_t at = 0;
  int block = 0;
  while (at < framed.size()) {
    block++;
    if (framed.size() - at < STREAM_HEADER_SIZE) return "block " + std::to_string(block) + " is cut short";
    if (Le16(framed, at) != STREAM_BLOCK_MAGIC) return "block " + std::to_string(block) + " has no \"RC\" header";
    const uint32_t length = Le16(framed, at + 4);
    const uint32_t expected = block == 1 ? STREAM_SIZE_BLOCK_SIZE : STREAM_BLOCK_SIZE;
    if (length < STREAM_HEADER_SIZE || length > framed.size() - at) {
      return "block " + std::to_string(block) + " claims " + std::to_string(length) + " bytes";
    }
    if (length != expected && (block == 1 || at + length != framed.size())) {
      return "block " + std::to_string(block) + " is " + std::to_string(length) + " bytes long, not " +
             std::to_string(expected);
    }
    uint32_t sum = STREAM_CHECKSUM_BASE;
    for (uint32_t i = STREAM_HEADER_SIZE; i < length; i++) sum += framed[at + i];
    if ((sum & 0xFFFF) != Le16(framed, at + 2)) return "block " + std::to_string(block) + " fails its checksum";
    image->insert(image->end(), framed.begin() + static_cast<long>(at + STREAM_HEADER_SIZE),
                  framed.begin() + static_cast<long>(at + length));
    at += length;
  }
  if (block < 1 || image->size() < 4) return "no size block";
  return "";
}

std::vector<uint8_t> ExpandRawImage(const std::vector<uint8_t>& image, uint32_t capacity, uint32_t* result) {
  std::vector<uint8_t> out(capacity);
  StreamSetOutputMemory(out.data(), capacity);
  *result = StreamExpandRaw(image.data(), static_cast<uint32_t>(image.size()), FILE_HANDLE_INVALID);
  out.resize(std::min<size_t>(capacity, StreamTotalWritten()));
  return out;
}

}  // namespace

SetupConfig ReadSetupConfig(const std::vector<uint8_t>& file, const std::string& path) {
  const ConfigArea area = FindConfigArea(file, path);
  SetupConfigStore store;
  std::memcpy(&store, &file[area.offset], sizeof store);
  if (!UnsealConfig(&store)) {
    throw PackError(path + ": the configuration record is not filled in (a bare stub?)");
  }
  return store.body;
}

std::string ListSetup(const std::string& path) {
  const std::vector<uint8_t> file = ReadWholeFile(path, "setup");
  std::ostringstream s;
  const SetupConfig c = ReadSetupConfig(file, path);
  auto row = [&](const char* name, const std::string& value) { s << "  " << std::left << std::setw(22) << name << value << "\n"; };
  s << "Configuration\n";
  row("productName", Field(c.productName, sizeof c.productName));
  row("version", Field(c.version, sizeof c.version));
  row("installFolderName", Field(c.installFolderName, sizeof c.installFolderName));
  row("startMenuFolder", Field(c.startMenuFolder, sizeof c.startMenuFolder));
  row("productWindowClass", Field(c.productWindowClass, sizeof c.productWindowClass));
  row("samplesNoun", Field(c.samplesNoun, sizeof c.samplesNoun));
  const std::string args = Field(c.startupArgs, sizeof c.startupArgs);
  row("startupArgs", !args.empty() && args[0] == '|' ? "| (no startup shortcut)" : "\"" + args + "\"");
  row("uninstallShortcutName", Field(c.uninstallShortcutName, sizeof c.uninstallShortcutName));
  row("progressTextFormat", Field(c.progressTextFormat, sizeof c.progressTextFormat));
  row("titleText1", Field(c.titleText1, 64));
  row("titleText2", Field(c.titleText2, 64));
  row("titleText3", Field(c.titleText3, 64));
  char colour[16];
  std::snprintf(colour, sizeof colour, "0x%06X", static_cast<unsigned>(c.backColour));
  row("backColour", colour);
  std::snprintf(colour, sizeof colour, "0x%06X", static_cast<unsigned>(c.backColour2));
  row("backColour2", colour);
  row("progressRange", std::to_string(c.progressRange));
  row("desktopShortcut", std::to_string(c.desktopShortcut));
  row("fileCount", std::to_string(c.fileCount));
  for (int32_t i = 0; i < c.fileCount && i < 512; i++) {
    const char* name = ConfigFileName(&c, i);
    const std::string where = i == 0 ? "uninstaller" : i >= 4 ? "Samples\\" : "";
    s << "    " << std::setw(3) << i << "  " << (name ? AnsiToUtf8(name) : "(missing)") << (i == 0 ? "  (uninstaller)" : "")
      << (i >= 4 ? "  (in Samples)" : "") << "\n";
  }
  const std::vector<ArchiveListing> records = ListArchive(path);
  s << "\nArchive: " << records.size() << " records\n";
  s << "  " << std::left << std::setw(12) << "name" << std::setw(11) << "kind" << std::right << std::setw(5) << "mask"
    << std::setw(11) << "stored" << std::setw(11) << "original" << std::setw(11) << "offset" << std::setw(7) << "ratio"
    << "\n";
  uint64_t stored = 0, original = 0;
  for (const ArchiveListing& r : records) {
    char mask[8];
    std::snprintf(mask, sizeof mask, r.mask ? "0x%02X" : "-", r.mask);
    std::ostringstream ratio;
    if (r.kind != ENTRY_INLINE && r.originalSize > 0) {
      ratio << std::fixed << std::setprecision(0) << 100.0 * r.storedSize / r.originalSize << "%";
    }
    s << "  " << std::left << std::setw(12) << r.name << std::setw(11) << KindName(r.kind) << std::right << std::setw(5) << mask
      << std::setw(11) << r.storedSize << std::setw(11) << r.originalSize << std::setw(11) << r.dataOffset << std::setw(7)
      << ratio.str() << "\n";
    if (r.kind != ENTRY_INLINE) {
      stored += static_cast<uint64_t>(std::max(0, r.storedSize));
      original += static_cast<uint64_t>(std::max(0, r.originalSize));
    }
  }
  s << "  " << std::left << std::setw(28) << "total" << std::right << std::setw(11) << stored << std::setw(11) << original
    << "   file " << file.size() << " bytes\n";
  return s.str();
}

std::vector<std::string> VerifySetup(const std::string& path) {
  std::vector<std::string> problems;
  std::vector<uint8_t> file;
  try {
    file = ReadWholeFile(path, "setup");
  } catch (const PackError& e) {
    return {e.what()};
  }
  std::vector<ArchiveListing> records;
  try {
    records = ListArchive(path);
  } catch (const ArchiveBuildError&) {
    return {path + ": no archive directory at the end of the file: the setup is truncated or damaged"};
  }
  SetupConfig config{};
  bool haveConfig = false;
  try {
    config = ReadSetupConfig(file, path);
    haveConfig = true;
  } catch (const PackError& e) {
    problems.push_back(e.what());
  }
  const uint64_t directoryStart = file.size() - records.size() * ARCHIVE_RECORD_SIZE;

  auto find = [&](const std::string& name) -> const ArchiveListing* {
    for (const ArchiveListing& r : records) {
      if (strcasecmp(r.name.c_str(), name.c_str()) == 0) return &r;  // the first of a name decides
    }
    return nullptr;
  };

  std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
  for (size_t index = 0; index < records.size(); index++) {
    const ArchiveListing& r = records[index];
    const std::string who = r.name + ": ";
    // The installer finds only the first record of a name; what reads by name here would read
    // that one too, so a later one is reported, not checked.
    if (find(r.name) != &r) {
      problems.push_back(who + "a second record of this name, which the installer never finds");
      continue;
    }
    if (r.kind == ENTRY_INLINE) continue;
    if (r.dataOffset < 0 || r.storedSize < 0 ||
        static_cast<uint64_t>(r.dataOffset) + static_cast<uint64_t>(r.storedSize) > directoryStart) {
      problems.push_back(who + "its data (offset " + std::to_string(r.dataOffset) + ", " + std::to_string(r.storedSize) +
                         " bytes) lies outside the file");
      continue;
    }
    std::vector<uint8_t> content;
    try {
      content = ReadArchiveEntry(path, r.name);
    } catch (const ArchiveBuildError& e) {
      problems.push_back(who + "the installer cannot extract it (" + e.what() + ")");
      continue;
    }
    if (r.kind != ENTRY_STORED) {
      const std::vector<uint8_t> framed(file.begin() + r.dataOffset, file.begin() + r.dataOffset + r.storedSize);
      std::vector<uint8_t> image;
      if (const std::string problem = UnframeStream(framed, &image); !problem.empty()) {
        problems.push_back(who + "compressed stream: " + problem);
        continue;
      }
      const uint32_t size = static_cast<uint32_t>(image[0] | (image[1] << 8) | (image[2] << 16)) | (uint32_t{image[3]} << 24);
      if (size != static_cast<uint32_t>(r.originalSize)) {
        problems.push_back(who + "the stream expands to " + std::to_string(size) + " bytes, the record says " +
                           std::to_string(r.originalSize));
        continue;
      }
      uint32_t rawResult = 0;
      const std::vector<uint8_t> full = ExpandRawImage(image, size, &rawResult);
      if (!rawResult || full != content) {
        problems.push_back(who + "the installer's reader expands it differently from its full bit stream: "
                                 "the setup would install a damaged file while reporting success");
        continue;
      }
    } else if (content.size() != static_cast<size_t>(r.storedSize)) {
      problems.push_back(who + "stored entry could not be read whole");
      continue;
    }
    if (std::find(kBackdropNames.begin(), kBackdropNames.end(), r.name) != kBackdropNames.end()) {
      if (const std::string problem = PictureProblem(content); !problem.empty()) problems.push_back(who + problem);
      pictures.emplace_back(r.name, content);
    }
    if (r.name == "MAIN") {
      if (r.kind != ENTRY_STORED || r.mask) problems.push_back(who + "the stub image must be stored without a mask");
      try {
        const ConfigArea area = FindConfigArea(content, "MAIN");
        if (r.markerOffset != static_cast<int32_t>(area.offset)) {
          problems.push_back(who + "its marker offset " + std::to_string(r.markerOffset) +
                             " is not its configuration area at " + std::to_string(area.offset));
        }
        const ConfigArea outer = FindConfigArea(file, path);
        if (outer.offset != area.offset ||
            std::memcmp(&content[area.offset], &file[outer.offset], sizeof(SetupConfigStore)) != 0) {
          problems.push_back(who + "its configuration differs from the setup's own: the uninstaller would not match");
        }
      } catch (const PackError& e) {
        problems.push_back(who + e.what());
      }
    }
  }
  if (const std::string problem = PaletteMismatch(pictures); !problem.empty()) problems.push_back(problem);

  if (records.empty() || records[0].name != "MAIN") problems.push_back("MAIN: the stub image is not the first entry");
  for (const std::string& name : kBackdropNames) {
    if (!find(name)) problems.push_back(name + ": picture missing");
  }
  if (haveConfig) {
    if (config.fileCount < 1 || config.fileCount > 512) {
      problems.push_back("configuration: file count " + std::to_string(config.fileCount) + " is out of range");
    } else {
      for (int32_t i = 0; i < config.fileCount; i++) {
        const char* name = ConfigFileName(&config, i);
        if (!name) {
          problems.push_back("configuration: file " + std::to_string(i) + " has no name in the file list");
          continue;
        }
        if (const std::string p = FileNameProblem(name); !p.empty()) {
          problems.push_back("configuration: file name \"" + AnsiToUtf8(name) + "\" " + p);
        }
        if (i == 0) {
          std::string lower(name);
          for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
          if (lower.find("uninst") == std::string::npos) {
            problems.push_back("configuration: the uninstaller's name \"" + AnsiToUtf8(name) + "\" lacks \"uninst\"");
          }
          continue;
        }
        const ArchiveListing* entry = find("File" + std::to_string(i));
        if (!entry || entry->kind == ENTRY_INLINE) {
          problems.push_back("File" + std::to_string(i) + ": missing for \"" + AnsiToUtf8(name) + "\"");
        }
      }
      for (const ArchiveListing& r : records) {
        if (r.name.size() > 4 && strncasecmp(r.name.c_str(), "File", 4) == 0) {
          // strtol rather than atoi: a number out of range saturates instead of being undefined.
          const long index = std::strtol(r.name.c_str() + 4, nullptr, 10);
          if (index < 1 || index >= config.fileCount) problems.push_back(r.name + ": not in the file list");
        }
      }
    }
    for (const auto& [what, format] : {std::pair<std::string, std::string>{"uninstallShortcutName", Field(config.uninstallShortcutName, 16)},
                                       {"progressTextFormat", Field(config.progressTextFormat, 32)}}) {
      if (!IsSafeNameFormat(format)) problems.push_back("configuration: " + what + " \"" + format + "\" is not a safe format");
    }
  }
  return problems;
}

void ExtractSetup(const std::string& path, const std::string& dir) {
  const std::vector<uint8_t> file = ReadWholeFile(path, "setup");
  const SetupConfig config = ReadSetupConfig(file, path);
  const std::vector<ArchiveListing> records = ListArchive(path);
  fs::create_directories(dir);
  for (const ArchiveListing& r : records) {
    if (FileNameProblem(r.name) != "") throw PackError(path + ": entry name \"" + r.name + "\" is not a usable file name");
    WriteFileAtomically((fs::path(dir) / r.name).string(), ReadArchiveEntry(path, r.name));
  }
  std::vector<ManifestFile> files;
  for (int32_t i = 1; i < config.fileCount; i++) {
    const char* name = ConfigFileName(&config, i);
    if (!name) throw PackError(path + ": file " + std::to_string(i) + " has no name");
    ManifestFile f;
    f.name = name;
    f.source = "File" + std::to_string(i);
    for (const ArchiveListing& r : records) {
      if (r.name == f.source) {
        f.compression = r.kind == ENTRY_STORED ? Compression::Store : Compression::Compress;
        f.mask = r.kind == ENTRY_STORED ? r.mask : 0;
        break;
      }
    }
    files.push_back(f);
  }
  std::array<std::string, 8> artwork;
  for (size_t i = 0; i < artwork.size(); i++) artwork[i] = kBackdropNames[i];
  const std::string manifest = ManifestFromConfig(config, files, artwork, "MAIN");
  WriteFileAtomically((fs::path(dir) / "manifest.toml").string(), std::vector<uint8_t>(manifest.begin(), manifest.end()));
}
