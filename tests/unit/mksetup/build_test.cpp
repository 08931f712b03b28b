// mksetup build, list, verify and extract on a small product with a fake stub: the setup reads
// back through the stub's own reader, refusals leave no output, damage is found and named.
#include <gtest/gtest.h>

#include <filesystem>

#include "inspect.h"
#include "manifest.h"
#include "mksetup_fixture.h"
#include "packing/archive_builder.h"
#include "pe_image.h"
#include "setup_builder.h"
#include "stream/block_format.h"

using mksetuptest::Product;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> BuildBytes(const Product& p) {
  return BuildSetup(ReadManifest(p.manifestPath), BuildOptions{}).setup;
}

std::string BuildError(const Product& p, const BuildOptions& options = {}) {
  try {
    BuildSetup(ReadManifest(p.manifestPath), options);
  } catch (const PackError& e) {
    return e.what();
  }
  return "(built)";
}

}  // namespace

TEST(MksetupBuild, SetupReadsBackThroughTheStubsReader) {
  Product p;
  const BuildResult result = BuildSetup(ReadManifest(p.manifestPath), BuildOptions{});
  const std::string setup = p.dir.File("Setup.exe");
  WriteFileAtomically(setup, result.setup);

  const auto records = ListArchive(setup);
  ASSERT_EQ(1u + 8 + 5, records.size());
  EXPECT_EQ("MAIN", records[0].name);
  EXPECT_EQ("BLUE", records[1].name);
  EXPECT_EQ("File1", records[9].name);
  EXPECT_EQ(ENTRY_STORED, records[0].kind);
  EXPECT_EQ(0x400, records[0].markerOffset);
  // MAIN is the configured stub image, which is also the start of the setup.
  const auto main = ReadArchiveEntry(setup, "MAIN");
  EXPECT_TRUE(std::equal(main.begin(), main.end(), result.setup.begin()));
  const SetupConfig config = ReadSetupConfig(main, "MAIN");
  EXPECT_STREQ("Test Viewer", config.productName);
  EXPECT_EQ(6, config.fileCount);

  // Contents come back; the text file was compressed, the noise and the 5-byte file stored,
  // the masked file stored with its mask.
  EXPECT_EQ(testsupport::ReadFile(p.dir.File("files/Viewer.exe")), ReadArchiveEntry(setup, "File1"));
  EXPECT_NE(ENTRY_STORED, records[9].kind);
  EXPECT_EQ(testsupport::ReadFile(p.dir.File("files/Viewer.hlp")), ReadArchiveEntry(setup, "File3"));
  EXPECT_EQ(ENTRY_STORED, records[11].kind);
  EXPECT_EQ(ENTRY_STORED, records[12].kind);
  EXPECT_EQ(0x5A, records[13].mask);
  EXPECT_EQ(testsupport::ReadFile(p.dir.File("files/b.smp")), ReadArchiveEntry(setup, "File5"));
  // The progress range is what the install's stream writes: the compressed files' sizes.
  int32_t compressedBytes = 0;
  for (size_t i = 9; i < records.size(); i++) {
    if (records[i].kind != ENTRY_STORED) compressedBytes += records[i].originalSize;
  }
  EXPECT_EQ(compressedBytes, config.progressRange);
  EXPECT_GT(config.progressRange, 30000);

  EXPECT_TRUE(VerifySetup(setup).empty());
  const std::string listing = ListSetup(setup);
  EXPECT_NE(std::string::npos, listing.find("Test Viewer"));
  EXPECT_NE(std::string::npos, listing.find("File5"));
}

TEST(MksetupBuild, ReproducibleAndRebuildableFromAnExtraction) {
  Product p;
  const auto first = BuildBytes(p);
  EXPECT_EQ(first, BuildBytes(p)) << "the same inputs give the same bytes";
  const std::string setup = p.dir.File("Setup.exe");
  WriteFileAtomically(setup, first);
  ExtractSetup(setup, p.dir.File("out"));
  EXPECT_TRUE(fs::exists(p.dir.File("out/MAIN")));
  EXPECT_TRUE(fs::exists(p.dir.File("out/WHITEBLUE")));
  const BuildResult again = BuildSetup(ReadManifest(p.dir.File("out/manifest.toml")), BuildOptions{});
  EXPECT_EQ(first, again.setup);
}

TEST(MksetupBuild, RefusalsLeaveNoSetupBehind) {
  struct Case {
    std::string what;
    std::function<void(Product&)> damage;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"missing source file", [](Product& p) { fs::remove(p.dir.File("files/readme.txt")); },
       "manifest.toml:15: file \"readme.txt\": cannot read"},
      {"picture not a BMP", [](Product& p) { testsupport::WriteFile(p.dir.File("art/LOGO.bmp"), {'G', 'I', 'F', '8'}); },
       "picture LOGO: not a BMP the backdrop can draw"},
      {"picture cut short",
       [](Product& p) {
         auto b = testsupport::ReadFile(p.dir.File("art/ORANGE.bmp"));
         b.resize(60);
         testsupport::WriteFile(p.dir.File("art/ORANGE.bmp"), b);
       },
       "picture ORANGE: not a BMP"},
      {"pictures with two palettes",
       [](Product& p) {
         auto b = testsupport::ReadFile(p.dir.File("art/QUILLON.bmp"));
         b[60] ^= 0xFF;
         testsupport::WriteFile(p.dir.File("art/QUILLON.bmp"), b);
       },
       "picture QUILLON has another colour table than BLUE"},
      {"stub without a configuration area",
       [](Product& p) { testsupport::WriteFile(p.dir.File("stub.exe"), mksetuptest::FakeStub(".data")); },
       "not a setup stub (no .qscfg section"},
      {"a setup given as the stub",
       [](Product& p) {
         auto s = mksetuptest::FakeStub();
         s.push_back(1);
         testsupport::WriteFile(p.dir.File("stub.exe"), s);
       },
       "1 bytes follow the program image"},
      {"not a program", [](Product& p) { testsupport::WriteFile(p.dir.File("stub.exe"), {1, 2, 3}); }, "not a Windows program"},
  };
  for (const Case& c : cases) {
    Product p;
    c.damage(p);
    const std::string message = BuildError(p);
    EXPECT_NE(std::string::npos, message.find(c.message)) << c.what << "\n  got: " << message;
  }
}

TEST(MksetupBuild, AtomicWriteKeepsTheOldFileOnFailure) {
  Product p;
  const std::string setup = p.dir.File("Setup.exe");
  WriteFileAtomically(setup, {1, 2, 3});
  EXPECT_THROW(WriteFileAtomically(p.dir.File("missing/Setup.exe"), {4}), PackError);
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), testsupport::ReadFile(setup));
  for (const auto& e : fs::directory_iterator(p.dir.Path())) {
    EXPECT_EQ(std::string::npos, e.path().filename().string().find("partial")) << e.path();
  }
}

TEST(MksetupVerify, FindsAndNamesDamage) {
  Product p;
  const auto good = BuildBytes(p);
  const std::string setup = p.dir.File("Setup.exe");
  const auto records = [&] {
    WriteFileAtomically(setup, good);
    return ListArchive(setup);
  }();
  const ArchiveListing& file1 = records[9];
  ASSERT_NE(ENTRY_STORED, file1.kind);

  struct Case {
    std::string what;
    std::vector<uint8_t> bytes;
    std::string line;
  };
  std::vector<Case> cases;
  {
    auto b = good;
    b.resize(b.size() - 1);
    cases.push_back({"truncated", b, "no archive directory at the end of the file"});
  }
  {
    auto b = good;
    b[static_cast<size_t>(file1.dataOffset + STREAM_SIZE_BLOCK_SIZE + 100)] ^= 0x10;
    cases.push_back({"bit flip in compressed data", b, "File1: "});
  }
  {
    auto b = good;
    b[static_cast<size_t>(file1.dataOffset + 6)] ^= 0x01;  // the expanded size
    cases.push_back({"bit flip in the size block", b, "File1: "});
  }
  {
    auto b = good;
    b[static_cast<size_t>(records[0].markerOffset + 20)] ^= 0x01;  // the outer configuration only
    cases.push_back({"configuration changed after packing", b, "MAIN: its configuration differs"});
  }
  for (const Case& c : cases) {
    WriteFileAtomically(setup, c.bytes);
    const auto problems = VerifySetup(setup);
    ASSERT_FALSE(problems.empty()) << c.what;
    bool named = false;
    for (const std::string& line : problems) named |= line.find(c.line) != std::string::npos;
    EXPECT_TRUE(named) << c.what << ": " << problems[0];
  }
}
