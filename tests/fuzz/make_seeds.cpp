// Makes the fuzz targets' seed corpora with the project's own tools: archives and a small setup
// from ArchiveBuilder and BuildSetup, streams from CompressEntry, configuration records from
// the sample manifest through MakeConfig and SealConfig, manifests from the sample product and
// from ManifestFromConfig, and pictures from res/backdrop plus small ones of every bit depth.
// Usage: make_fuzz_seeds SEEDS_DIR (one folder per target below it). The output is the same on
// every run, so the committed seeds change only when the formats do.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "inspect.h"
#include "manifest.h"
#include "mksetup_fixture.h"
#include "packing/archive_builder.h"
#include "packing/block_writer.h"
#include "packing/config_seal.h"
#include "setup_builder.h"

namespace fs = std::filesystem;
using mksetuptest::Picture;
using mksetuptest::Put16;
using mksetuptest::Put32;
using mksetuptest::TextFile;

namespace {

std::string seedsDir;
const std::string sourceDir = QS_SOURCE_DIR;

void Seed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(fs::path(seedsDir) / target);
  testsupport::WriteFile((fs::path(seedsDir) / target / name).string(), bytes);
}

// The two forms of a setup seed (see SetupFromInput): byte 0, then the file as it is; byte 1, then
// the file with its directory unsealed.
void SetupSeeds(const std::string& target, const std::string& name, const std::vector<uint8_t>& file) {
  std::vector<uint8_t> sealed = {0};
  sealed.insert(sealed.end(), file.begin(), file.end());
  Seed(target, name, sealed);
  ArchiveDirectory directory;
  const int32_t k = static_cast<int32_t>(std::min<size_t>(ARCHIVE_MAX_RECORDS, file.size() / ARCHIVE_RECORD_SIZE));
  const size_t tail = static_cast<size_t>(k) * ARCHIVE_RECORD_SIZE;
  std::memcpy(DirectoryTail(&directory, k), file.data() + file.size() - tail, tail);
  const int32_t n = UnsealDirectory(&directory, k);
  if (n == 0) throw std::runtime_error("seed " + name + " has no directory");
  std::vector<uint8_t> plain = {1};
  plain.insert(plain.end(), file.begin(), file.end());
  const size_t length = static_cast<size_t>(n) * ARCHIVE_RECORD_SIZE;
  std::memcpy(plain.data() + plain.size() - length, DirectoryTail(&directory, n), length);
  Seed(target, name + "-plain", plain);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> Noise(size_t n, uint32_t x) {
  std::vector<uint8_t> out(n);
  for (uint8_t& b : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  return out;
}

std::vector<uint8_t> Compressed(const std::vector<uint8_t>& data) {
  const CompressedEntry c = CompressEntry(data.data(), data.size());
  if (!c.ok) throw std::runtime_error("cannot compress a seed: " + c.problem);
  return c.bytes;
}

// A picture of any supported depth: w x h, `colours` table entries (0 for 24 bits).
std::vector<uint8_t> DepthPicture(int w, int h, int bits, uint32_t colours) {
  const uint32_t row = ((static_cast<uint32_t>(w) * bits + 31) / 32) * 4;
  const uint32_t offset = 14 + 40 + 4 * colours;
  std::vector<uint8_t> b(offset + row * static_cast<uint32_t>(h), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, offset);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(w));
  Put32(b, 22, static_cast<uint32_t>(h));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<uint16_t>(bits));
  Put32(b, 46, colours);
  for (size_t i = 54; i < b.size(); i++) b[i] = static_cast<uint8_t>(i * 37);
  return b;
}

// A small product laid out as a packaging test lays it out, built into a setup with a fake stub.
std::vector<uint8_t> SmallSetup(const testsupport::ScratchDir& dir, bool withCompressed) {
  testsupport::WriteFile(dir.File("stub.exe"), mksetuptest::FakeStub());
  fs::create_directories(dir.File("art"));
  fs::create_directories(dir.File("files"));
  std::string manifest =
      "stub = \"stub.exe\"\n[product]\nname = \"Seed Viewer\"\nversion = \"1.0\"\nwindow_class = \"SeedWnd\"\n"
      "samples_noun = \"samples\"\nstartup_args = \"-min\"\n[uninstaller]\nname = \"uninst.exe\"\n";
  testsupport::WriteFile(dir.File("files/Viewer.exe"), withCompressed ? TextFile(3000, 1) : TextFile(20, 1));
  testsupport::WriteFile(dir.File("files/readme.txt"), TextFile(40, 2));
  testsupport::WriteFile(dir.File("files/a.smp"), Noise(64, 7));
  manifest += "[[files]]\nsource = \"files/Viewer.exe\"\n";
  manifest += "[[files]]\nsource = \"files/readme.txt\"\ncompression = \"store\"\n";
  manifest += "[[files]]\nsource = \"files/readme.txt\"\nname = \"copy.txt\"\nmask = 0x5A\n";
  manifest += "[[files]]\nsource = \"files/a.smp\"\n";
  manifest += "[artwork]\n";
  for (int i = 0; i < 8; i++) {
    const std::string name = mksetuptest::kPictureNames[i];
    testsupport::WriteFile(dir.File("art/" + name + ".bmp"), Picture(2 + i, 2, static_cast<uint8_t>(i)));
    manifest += name + " = \"art/" + name + ".bmp\"\n";
  }
  testsupport::WriteFile(dir.File("manifest.toml"), Bytes(manifest));
  BuildOptions options;
  options.threads = 1;
  return BuildSetup(ReadManifest(dir.File("manifest.toml")), options).setup;
}

void ArchiveSeeds() {
  {
    ArchiveBuilder b(std::vector<uint8_t>(64, 'M'));
    b.AddStored("MAIN", TextFile(100, 3));
    b.AddStored("BLUE", Picture(4, 3, 1));
    b.AddCompressed("File1", TextFile(3000, 4));
    b.AddStored("File2", TextFile(50, 5), 0xA5);
    b.AddInline("File3", {1, 2, 3, 4});
    b.AddInline("Empty", {});
    SetupSeeds("archive", "mixed", b.Finish());
  }
  {
    // A compressed picture, as the backdrop loads it, and a stream of more than one block.
    ArchiveBuilder b;
    b.AddCompressed("LOGO", DepthPicture(40, 20, 8, 256));
    b.AddCompressed("File1", TextFile(30000, 6));
    b.AddStored("ORANGE", DepthPicture(3, 3, 24, 0), 0x11);
    SetupSeeds("archive", "pictures", b.Finish());
  }
  {
    ArchiveBuilder b;
    b.AddStored("a", {});
    SetupSeeds("archive", "one-empty", b.Finish());
  }
}

void StreamSeeds() {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  const std::vector<Case> cases = {
      {"text", TextFile(2000, 1)},
      {"short", TextFile(9, 2)},
      {"blocks", TextFile(40000, 3)},
      {"noise", Noise(12000, 9)}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> framed = Compressed(c.data);
    const uint32_t n = static_cast<uint32_t>(c.data.size());
    // Control bytes: flags, capacity (low 16 bits; the flags' top two bits are bits 16-17),
    // abort point. Exact capacity; one byte short with an abort at tick 3; raw expansion.
    for (int variant = 0; variant < 3; variant++) {
      const uint32_t capacity = variant == 1 ? n - 1 : n;
      uint8_t flags = static_cast<uint8_t>((capacity >> 16) << 6);
      if (variant == 1) flags |= 1;
      if (variant == 2) flags |= 4 | 2;
      std::vector<uint8_t> seed = {flags, static_cast<uint8_t>(capacity), static_cast<uint8_t>(capacity >> 8), 3, 0};
      seed.insert(seed.end(), framed.begin(), framed.end());
      Seed("stream", std::string(c.name) + "-" + std::to_string(variant), seed);
    }
  }
}

void PictureSeeds() {
  // Control bytes: client width and height, slot and mode, tiling width and height.
  auto seed = [](const std::string& name, int32_t w, int32_t h, uint8_t choice, const std::vector<uint8_t>& bmp) {
    std::vector<uint8_t> s(17, 0);
    Put32(s, 0, static_cast<uint32_t>(w));
    Put32(s, 4, static_cast<uint32_t>(h));
    s[8] = choice;
    Put32(s, 9, 64);
    Put32(s, 13, 10);
    s.insert(s.end(), bmp.begin(), bmp.end());
    Seed("picture", name, s);
  };
  for (const char* name : {"BLUEWHITE", "TOPSHADOW", "WHITEBLUE"}) {
    seed(name, 1024, 768, 0x14, testsupport::ReadFile(sourceDir + "/res/backdrop/" + name + ".bmp"));
  }
  seed("depth1", 800, 600, 0x20, DepthPicture(17, 5, 1, 2));
  seed("depth4", 640, 480, 0x06, DepthPicture(9, 4, 4, 16));
  seed("depth8", 1280, 1024, 0x10, DepthPicture(6, 6, 8, 0));
  seed("depth24", 300, 90, 0x27, DepthPicture(5, 3, 24, 0));
}

void ConfigSeeds() {
  const Manifest m = ReadManifest(sourceDir + "/examples/sample/manifest.toml");
  SetupConfig config = MakeConfig(m);
  const SetupConfigStore sealed = SealConfig(config);
  std::vector<uint8_t> stored(1 + sizeof sealed, 0);
  std::memcpy(&stored[1], &sealed, sizeof sealed);
  Seed("config", "sealed", stored);
  // A plain record (byte 0 odd): sealed by the target itself.
  std::vector<uint8_t> plain(1 + sizeof sealed, 0);
  plain[0] = 1;
  std::memcpy(&plain[1 + offsetof(SetupConfigStore, body)], &config, sizeof config);
  Seed("config", "plain", plain);
  // A stored form whose length covers only the file list.
  SetupConfigStore partial = sealed;
  partial.length = 20 + 512;
  std::memcpy(&stored[1], &partial, sizeof partial);
  Seed("config", "partial", stored);
}

void ManifestSeeds() {
  const std::vector<uint8_t> sample = testsupport::ReadFile(sourceDir + "/examples/sample/manifest.toml");
  Seed("manifest", "sample", sample);
  Seed("manifest", "fixture", Bytes(mksetuptest::Product::DefaultManifest()));
  // A relative manifest path keeps the sources relative, so the seed is the same on every run.
  const Manifest m = ParseManifest(std::string(sample.begin(), sample.end()), "manifest.toml");
  std::array<std::string, 8> artwork;
  for (size_t i = 0; i < artwork.size(); i++) artwork[i] = mksetuptest::kPictureNames[i];
  Seed("manifest", "extracted", Bytes(ManifestFromConfig(MakeConfig(m), m.files, artwork, "MAIN")));
  Seed("manifest", "options", Bytes("[product]\nname = \"Pro – 5 €\"\nversion = \"2\"\nwindow_class = \"W\"\n"
                                    "startup_args = true\ndesktop_shortcut = 7\nbackground = \"#102030\"\n"
                                    "background2 = \"#A0B0C0\"\nuninstall_shortcut = \"Remove %s 100%%\"\n"
                                    "progress_text = \"%s\"\nstart_menu_folder = \"Tools\"\n"
                                    "[uninstaller]\nname = \"Uninstall.exe\"\n"
                                    "[[files]]\nsource = \"bin/a.exe\"\nname = \"A.exe\"\ncompression = \"compress\"\n"
                                    "[[files]]\nsource = \"b.hlp\"\nmask = 255\n"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds SEEDS_DIR\n");
    return 2;
  }
  seedsDir = argv[1];
  try {
    testsupport::ScratchDir dir("fuzz-seeds");
    ArchiveSeeds();
    StreamSeeds();
    PictureSeeds();
    ConfigSeeds();
    ManifestSeeds();
    SetupSeeds("inspect", "small-setup", SmallSetup(dir, false));
    testsupport::ScratchDir dir2("fuzz-seeds");
    const std::vector<uint8_t> setup = SmallSetup(dir2, true);
    SetupSeeds("inspect", "setup-compressed", setup);
    SetupSeeds("archive", "setup", setup);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
