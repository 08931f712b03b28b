// The product maker's manifest: a TOML file naming the product's texts and options, the files
// in installation order, and optionally the artwork and the stub. Reading it checks everything
// the stub would mishandle and reports the manifest line of each problem.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "startup/setup_config.h"

// A user error: one clear message, naming the manifest line or file where it can.
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Compression { Auto, Store, Compress };

struct ManifestFile {
  std::string name;    // the installed file name (fileNames entry)
  std::string source;  // path of the file to pack, resolved against the manifest's folder
  Compression compression = Compression::Auto;
  uint8_t mask = 0;    // stored entries only
  int line = 0;        // where the manifest names it
};

struct Manifest {
  std::string path;  // the manifest file itself
  std::string productName;
  std::string version;
  std::string installFolderName;
  std::string startMenuFolder;
  std::string productWindowClass;
  std::string samplesNoun;
  std::string startupArgs = "|";  // "|": no startup shortcut
  std::string uninstallShortcutName = "Uninstall %s";
  std::string progressTextFormat = "Installing %s";
  std::array<std::string, 3> titleTexts;
  uint32_t backColour = 0x00AA8056;   // COLORREF
  uint32_t backColour2 = 0x00AA8056;
  int32_t desktopShortcut = 1;
  std::string uninstallerName;        // file 0
  std::vector<ManifestFile> files;    // files 1..n-1
  std::array<std::string, 8> artwork;  // in backdrop order; empty: the project's own
  std::string stub;                    // empty: given on the command line
};

// Reads and checks a manifest. Throws PackError ("FILE:LINE: message").
Manifest ReadManifest(const std::string& path);
// The same from text (for tests and fuzzing); `path` only names it in messages and anchors
// relative paths.
Manifest ParseManifest(const std::string& text, const std::string& path);

// The configuration record for a checked manifest (progressRange is filled in by the builder).
SetupConfig MakeConfig(const Manifest& manifest);

// Writes a manifest that reproduces `config` with the given file sources, artwork and stub.
std::string ManifestFromConfig(const SetupConfig& config, const std::vector<ManifestFile>& files,
                               const std::array<std::string, 8>& artwork, const std::string& stub);

// The checks shared with `verify`: a name format the stub formats with the product name may
// hold at most one %s and otherwise only %%.
bool IsSafeNameFormat(const std::string& format);
// A file name Windows accepts, with no folder part; empty when fine, else the reason.
std::string FileNameProblem(const std::string& name);
