// `mksetup build`: configures the stub with the manifest's record and appends the payload
// archive: MAIN (the configured stub image), the eight backdrop pictures, the product files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "manifest.h"

struct BuildOptions {
  std::string stubPath;     // overrides the manifest's stub
  std::string artworkDir;   // the project's own pictures, for those the manifest does not name
  unsigned threads = 0;     // compressing threads; 0: one per core
};

struct BuiltEntry {
  std::string entry;       // archive entry name
  std::string label;       // what the user knows it as (file name or picture)
  uint64_t originalSize = 0;
  uint64_t storedSize = 0;
  bool compressed = false;
  uint8_t mask = 0;
  std::string note;        // why an entry meant to be compressed was stored
};

struct BuildResult {
  std::vector<uint8_t> setup;
  std::vector<BuiltEntry> entries;
  int32_t progressRange = 0;
};

// Progress while compressing: called once per entry as it finishes (from the calling thread).
using BuildProgress = std::function<void(const BuiltEntry&, size_t done, size_t total)>;

BuildResult BuildSetup(const Manifest& manifest, const BuildOptions& options, const BuildProgress& progress = {});

// Checks that a picture is an uncompressed BMP the backdrop draws; empty when fine.
std::string PictureProblem(const std::vector<uint8_t>& bmp);

// Pictures with colour tables must share one palette, bit depth and colour count; empty when
// they do, else which picture differs.
std::string PaletteMismatch(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& pictures);

// Writes bytes to path through a temporary file in the same folder and a rename, so a failed
// build never leaves a partial file under the final name.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadWholeFile(const std::string& path, const std::string& what);
