// Fuzz target: any text as a product manifest, through the packaging tool's manifest reader.
// A manifest it refuses must be refused with its one clear error (PackError); one it accepts
// must give a configuration record the stub can use (every name in the file list, the name
// formats safe) and must survive the trip through ManifestFromConfig (what `mksetup extract`
// writes): read again, it gives the same record.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "fuzz_support.h"
#include "manifest.h"

namespace {

const char* const kPath = "/fuzz/product/manifest.toml";

Manifest ParseOrNothing(const std::string& text, bool* ok) {
  try {
    *ok = true;
    return ParseManifest(text, kPath);
  } catch (const PackError&) {
    *ok = false;
    return Manifest{};
  }
}

void CheckRecord(const Manifest& m, const SetupConfig& c) {
  FUZZ_CHECK(c.fileCount == static_cast<int32_t>(m.files.size()) + 1);
  const char* uninstaller = ConfigFileName(&c, 0);
  FUZZ_CHECK(uninstaller && m.uninstallerName == uninstaller);
  for (size_t i = 0; i < m.files.size(); i++) {
    const char* name = ConfigFileName(&c, static_cast<int32_t>(i + 1));
    FUZZ_CHECK(name && m.files[i].name == name);
    FUZZ_CHECK(FileNameProblem(name).empty());
  }
  FUZZ_CHECK(memchr(c.productName, 0, sizeof c.productName) && c.productName[0] != 0);
  FUZZ_CHECK(memchr(c.uninstallShortcutName, 0, sizeof c.uninstallShortcutName));
  FUZZ_CHECK(memchr(c.progressTextFormat, 0, sizeof c.progressTextFormat));
  FUZZ_CHECK(IsSafeNameFormat(c.uninstallShortcutName) && IsSafeNameFormat(c.progressTextFormat));
  FUZZ_CHECK(c.startupArgs[0] != '|' || c.startupArgs[1] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool ok = false;
  const Manifest m = ParseOrNothing(text, &ok);
  if (!ok) return 0;
  const SetupConfig config = MakeConfig(m);
  CheckRecord(m, config);

  const std::string again = ManifestFromConfig(config, m.files, m.artwork, m.stub);
  bool reread = false;
  const Manifest m2 = ParseOrNothing(again, &reread);
  FUZZ_CHECK(reread);
  const SetupConfig config2 = MakeConfig(m2);
  FUZZ_CHECK(memcmp(&config, &config2, sizeof config) == 0);
  FUZZ_CHECK(m2.files.size() == m.files.size() && m2.artwork == m.artwork && m2.stub == m.stub);
  for (size_t i = 0; i < m.files.size(); i++) {
    FUZZ_CHECK(m2.files[i].source == m.files[i].source && m2.files[i].mask == m.files[i].mask);
  }
  return 0;
}
