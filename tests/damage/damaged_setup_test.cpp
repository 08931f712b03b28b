// The damaged-setup sweep. The sample product is packed into a setup (with a stand-in stub and
// main program), then damaged systematically: cut short at many lengths, and single bits flipped
// in the sealed directory, in compressed entries' block headers, checksums and data, and in
// stored entries. Every damaged file is read the way the stub reads it (open; every entry into
// memory as the backdrop sizes it and into a file; the install's file phase) and checked with
// `mksetup verify`. Nothing may crash or write past a buffer; a truncated file never opens; a
// damaged compressed entry either fails (its extraction, verify, and the install with 3) or
// still expands to exactly its content. Stored entries carry no checksum, so their flips pass
// unnoticed; the sweep counts them. Each test prints its counts.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "actions/action_rules.h"
#include "actions/install_files.h"
#include "archive/archive.h"
#include "backdrop/backdrop_layout.h"
#include "backdrop/bitmap_pieces.h"
#include "inspect.h"
#include "manifest.h"
#include "mksetup_fixture.h"
#include "packing/archive_builder.h"
#include "setup_builder.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"
#include "stream/block_format.h"
#include "stream/block_stream.h"
#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// --- the sample setup ---------------------------------------------------------------------------

struct Entry {
  ArchiveListing record;
  std::vector<uint8_t> content;
  bool picture = false;
  std::vector<uint8_t> loaded;  // pictures: the content as the backdrop's loader leaves it
};

struct Sample {
  testsupport::ScratchDir dir{"damage"};
  std::vector<uint8_t> setup;
  std::vector<Entry> entries;
  SetupConfig config{};

  const Entry& Named(const std::string& name) const {
    for (const Entry& e : entries) {
      if (e.record.name == name) return e;
    }
    throw std::runtime_error("no entry " + name);
  }
};

// The main program's stand-in: 64 KiB of words in a random order, which compresses to several
// blocks.
std::vector<uint8_t> StandInProgram(size_t n) {
  static const char* const words[] = {"window ", "setup ", "archive ", "picture ", "folder ", "stream ",
                                      "palette ", "shortcut ", "registry ", "viewer ", "sample ", "block "};
  std::string s;
  uint32_t x = 2463534242u;
  while (s.size() < n) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s += words[x % 12];
    if (x % 7 == 0) s += std::to_string(x % 1000);
  }
  s.resize(n);
  return std::vector<uint8_t>(s.begin(), s.end());
}

bool IsPicture(const std::string& name) {
  for (const char* p : BackdropPieceNames) {
    if (name == p) return true;
  }
  return false;
}

// The sample product of examples/sample with its pictures from res/backdrop, built once per
// test program (its scratch folder goes when the program ends).
const Sample& TheSample() {
  static const std::unique_ptr<Sample> sample = [] {
    auto s = std::make_unique<Sample>();
    const std::string product = s->dir.File("product");
    fs::copy(std::string(QS_SOURCE_DIR) + "/examples/sample", product, fs::copy_options::recursive);
    WriteFile(product + "/Viewer.exe", StandInProgram(64 * 1024));
    WriteFile(product + "/stub.exe", mksetuptest::FakeStub());
    BuildOptions options;
    options.stubPath = product + "/stub.exe";
    options.artworkDir = std::string(QS_SOURCE_DIR) + "/res/backdrop";
    s->setup = BuildSetup(ReadManifest(product + "/manifest.toml"), options).setup;
    const std::string intact = s->dir.File("intact.exe");
    WriteFile(intact, s->setup);
    for (const ArchiveListing& r : ListArchive(intact)) {
      Entry e;
      e.record = r;
      e.content = ReadArchiveEntry(intact, r.name);
      e.picture = IsPicture(r.name);
      if (e.picture) {
        // The loader normalises the header in place; that is the content it must give.
        e.loaded = e.content;
        e.loaded.resize(e.content.size() + PIECE_SLACK);
        uint32_t bitsOffset = 0;
        if (!PrepareBmpHeader(e.loaded.data(), static_cast<uint32_t>(e.loaded.size()), &bitsOffset)) {
          throw std::runtime_error("picture " + r.name + " is refused");
        }
        e.loaded.resize(e.content.size());
      }
      s->entries.push_back(e);
    }
    s->config = ReadSetupConfig(s->setup, intact);
    return s;
  }();
  return *sample;
}

// --- reading a setup as the stub does ------------------------------------------------------------

enum Outcome { SAME, FAILED, WRONG };

// Memory blocks carry guard bytes after the part the reader may use, so a write past it shows
// in every build, not only under AddressSanitizer.
const size_t kGuard = 32;
const uint8_t kGuardByte = 0xA5;

bool GuardIntact(const std::vector<uint8_t>& memory, size_t used) {
  for (size_t i = used; i < memory.size(); i++) {
    if (memory[i] != kGuardByte) return false;
  }
  return true;
}

// One entry both ways the stub takes it out: into memory (pictures through the backdrop's
// loader: originalSize + 256 bytes, bound originalSize; other entries originalSize bytes) and
// into a file, each judged as its caller judges it: a compressed entry must report success and
// give exactly originalSize bytes. WRONG when a way reports success with other content.
Outcome ReadEntry(const Entry& e, const std::string& outPath) {
  const char* name = e.record.name.c_str();
  const ArchiveEntry* record = FindEntry(name, LOOKUP_DATA);
  if (!record) return FAILED;
  const bool compressed = record->kind != ENTRY_STORED;
  const int32_t size = EntryOriginalSize(name);
  bool allOk = true;
  bool wrong = false;
  auto judge = [&](bool ok, const std::vector<uint8_t>& got, const std::vector<uint8_t>& expected) {
    if (!ok) {
      allOk = false;
    } else if (got != expected) {
      wrong = true;
    }
  };
  if (size >= 0 && size <= (1 << 24)) {
    const size_t n = static_cast<size_t>(size);
    int ok;
    size_t used;
    std::vector<uint8_t> memory;
    if (e.picture) {
      used = n + PIECE_SLACK;
      memory.assign(used + kGuard, kGuardByte);
      uint32_t bitsOffset = 0;
      ok = ExtractPiece(name, memory.data(), static_cast<uint32_t>(size), &bitsOffset);
      if (ok) {
        EXPECT_LT(bitsOffset, used) << name;
      }
    } else {
      used = n;
      memory.assign(used + kGuard, kGuardByte);
      ok = ExtractEntryToMemory(name, memory.data(), size);
    }
    EXPECT_TRUE(GuardIntact(memory, used)) << name;
    const bool whole = !compressed || StreamTotalWritten() == static_cast<uint32_t>(size);
    judge(ok && whole, std::vector<uint8_t>(memory.begin(), memory.begin() + static_cast<long>(n)),
          e.picture ? e.loaded : e.content);
  } else {
    allOk = false;
  }
  const int ok = ExtractEntry(name, outPath.c_str());
  const bool whole = !compressed || (size >= 0 && StreamTotalWritten() == static_cast<uint32_t>(size));
  judge(ok && whole, ok ? ReadFile(outPath) : std::vector<uint8_t>(), e.content);
  return wrong ? WRONG : allOk ? SAME : FAILED;
}

struct Reading {
  bool opened = false;
  std::vector<Outcome> outcomes;  // per entry of the intact setup
  bool verifyComplains = false;
};

Reading ReadLikeTheStub(const std::string& path, const std::string& scratch) {
  const Sample& sample = TheSample();
  Reading r;
  const FileHandle archive = OpenArchive(path.c_str());
  r.opened = archive != FILE_HANDLE_INVALID;
  if (r.opened) {
    for (const Entry& e : sample.entries) r.outcomes.push_back(ReadEntry(e, scratch + "/out.bin"));
    CloseArchive(archive);
  }
  r.verifyComplains = !VerifySetup(path).empty();
  return r;
}

// The install's file phase from the setup at path into a fresh folder: 1, 2 or 3 as the worker
// returns it; 0 when the setup does not open.
int32_t Install(const std::string& path, const std::string& scratch) {
  const std::string folder = scratch + "/install";
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  setupConfig = TheSample().config;
  std::memset(&setupState, 0, sizeof setupState);
  std::snprintf(setupState.installDir, sizeof setupState.installDir, "%s", (folder + "/product").c_str());
  const FileHandle archive = OpenArchive(path.c_str());
  if (archive == FILE_HANDLE_INVALID) return 0;
  const int32_t result = InstallFiles(nullptr);
  CloseArchive(archive);
  return result;
}

// --- damaging -----------------------------------------------------------------------------------

// The setup under test: one file on disk, damaged in place and restored after each case.
class WorkFile {
 public:
  explicit WorkFile(const std::string& path) : path_(path) { Restore(); }
  const std::string& Path() const { return path_; }
  void Restore() { WriteFile(path_, TheSample().setup); }
  void FlipBit(size_t offset, int bit) {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    f.read(&c, 1);
    c = static_cast<char>(c ^ (1 << bit));
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(&c, 1);
  }

 private:
  std::string path_;
};

struct Tally {
  std::string what;
  int cases = 0;
  int detected = 0;    // refused or failed, and verify names a problem
  int harmless = 0;    // everything still reads back exactly
  int undetected = 0;  // content changed and nothing noticed (stored entries only)
};

void Print(const std::vector<Tally>& tallies) {
  for (const Tally& t : tallies) {
    std::printf("damaged setup: %-34s cases %5d  detected %5d  harmless %5d  undetected %5d\n", t.what.c_str(),
                t.cases, t.detected, t.harmless, t.undetected);
  }
  std::fflush(stdout);
}

size_t IndexOf(const std::string& name) {
  const Sample& s = TheSample();
  for (size_t i = 0; i < s.entries.size(); i++) {
    if (s.entries[i].record.name == name) return i;
  }
  throw std::runtime_error("no entry " + name);
}

// The blocks of a compressed entry's stream in the setup: offset and length of each.
std::vector<std::pair<size_t, size_t>> Blocks(const Entry& e) {
  const std::vector<uint8_t>& setup = TheSample().setup;
  std::vector<std::pair<size_t, size_t>> blocks;
  size_t at = static_cast<size_t>(e.record.dataOffset);
  const size_t end = at + static_cast<size_t>(e.record.storedSize);
  while (at < end) {
    const size_t length = setup[at + 4] | (setup[at + 5] << 8);
    blocks.emplace_back(at, length);
    at += length;
  }
  return blocks;
}

// One damage: a bit of a byte of the file.
struct Flip {
  size_t offset;
  int bit;
};

}  // namespace

TEST(DamagedSetup, IntactSampleReadsBackVerifiesAndInstalls) {
  const Sample& s = TheSample();
  testsupport::ScratchDir scratch("damage-intact");
  WorkFile work(scratch.File("Setup.exe"));
  const Reading r = ReadLikeTheStub(work.Path(), scratch.Path());
  ASSERT_TRUE(r.opened);
  for (size_t i = 0; i < s.entries.size(); i++) {
    EXPECT_EQ(SAME, r.outcomes[i]) << s.entries[i].record.name;
  }
  EXPECT_FALSE(r.verifyComplains);
  EXPECT_EQ(INSTALL_COMPLETE, Install(work.Path(), scratch.Path()));
  // What the sweep relies on: a compressed main program of several blocks, compressed pictures,
  // stored and masked stored files.
  EXPECT_NE(ENTRY_STORED, s.Named("File1").record.kind);
  EXPECT_GE(Blocks(s.Named("File1")).size(), 3u);
  EXPECT_EQ(ENTRY_STORED, s.Named("File6").record.kind);
  EXPECT_EQ(0xA5, s.Named("File7").record.mask);
}

TEST(DamagedSetup, TruncatedSetupNeverOpens) {
  const Sample& s = TheSample();
  testsupport::ScratchDir scratch("damage-cut");
  WorkFile work(scratch.File("Setup.exe"));
  // Every length of the last 1400 bytes, and 200 more spread through the rest; the file is cut
  // further and further, so each case costs one truncation.
  std::vector<size_t> lengths;
  const size_t size = s.setup.size();
  for (size_t cut = 1; cut <= 1400; cut++) lengths.push_back(size - cut);
  for (int k = 199; k >= 0; k--) lengths.push_back((size - 1401) * static_cast<size_t>(k) / 200);
  Tally t{"truncated"};
  for (const size_t length : lengths) {
    fs::resize_file(work.Path(), length);
    const Reading r = ReadLikeTheStub(work.Path(), scratch.Path());
    t.cases++;
    EXPECT_FALSE(r.opened) << "cut to " << length;
    EXPECT_TRUE(r.verifyComplains) << "cut to " << length;
    if (!r.opened && r.verifyComplains) t.detected++;
  }
  Print({t});
}

TEST(DamagedSetup, DirectoryBitFlipsAreRefused) {
  const Sample& s = TheSample();
  testsupport::ScratchDir scratch("damage-dir");
  WorkFile work(scratch.File("Setup.exe"));
  const size_t records = s.entries.size();
  const size_t start = s.setup.size() - records * ARCHIVE_RECORD_SIZE;
  // Every bit of the trailer (the last record) and of the first record, every thirteenth bit
  // between.
  std::vector<Flip> flips;
  for (size_t at = start; at < s.setup.size(); at++) {
    const bool whole = at < start + ARCHIVE_RECORD_SIZE || at >= s.setup.size() - ARCHIVE_RECORD_SIZE;
    for (int bit = 0; bit < 8; bit++) {
      if (whole || (at * 8 + static_cast<size_t>(bit)) % 13 == 0) flips.push_back({at, bit});
    }
  }
  Tally t{"directory bit flip"};
  for (const Flip& f : flips) {
    work.FlipBit(f.offset, f.bit);
    const Reading r = ReadLikeTheStub(work.Path(), scratch.Path());
    work.FlipBit(f.offset, f.bit);
    t.cases++;
    bool allSame = r.opened;
    for (size_t i = 0; i < r.outcomes.size(); i++) {
      allSame &= r.outcomes[i] == SAME;
      if (s.entries[i].record.kind != ENTRY_STORED) {
        EXPECT_NE(WRONG, r.outcomes[i]) << f.offset << "." << f.bit;
      }
    }
    if (allSame) {
      t.harmless++;
    } else {
      EXPECT_TRUE(r.verifyComplains) << "byte " << f.offset << " bit " << f.bit;
      if (r.verifyComplains) t.detected++;
    }
  }
  Print({t});
}

TEST(DamagedSetup, CompressedEntryFlipsFailOrChangeNothing) {
  const Sample& s = TheSample();
  testsupport::ScratchDir scratch("damage-lzh");
  WorkFile work(scratch.File("Setup.exe"));
  // The main program (several blocks), a single-block text file and the largest compressed picture.
  std::vector<std::string> names = {"File1", "File2"};
  const Entry* largestPicture = nullptr;
  for (const Entry& e : s.entries) {
    if (e.picture && e.record.kind != ENTRY_STORED &&
        (!largestPicture || e.record.storedSize > largestPicture->record.storedSize)) {
      largestPicture = &e;
    }
  }
  ASSERT_NE(nullptr, largestPicture);
  names.push_back(largestPicture->record.name);

  std::vector<Tally> tallies;
  for (const std::string& name : names) {
    const Entry& e = s.Named(name);
    ASSERT_NE(ENTRY_STORED, e.record.kind) << name;
    const size_t index = IndexOf(name);
    const bool productFile = name.rfind("File", 0) == 0;
    Tally size{name + " size block"}, magic{name + " block magic"}, checksum{name + " block checksum"},
        length{name + " block length"}, data{name + " block data"};
    const auto blocks = Blocks(e);
    for (size_t b = 0; b < blocks.size(); b++) {
      const auto [at, n] = blocks[b];
      // Two bits of every header byte (all sixteen bits of the length of the size block and of the
      // last block), six bits of the
      // expanded size, eight data bits spread over each data block.
      std::vector<std::pair<Flip, Tally*>> flips;
      for (size_t i = 0; i < STREAM_HEADER_SIZE; i++) {
        Tally* part = b == 0 ? &size : i < 2 ? &magic : i < 4 ? &checksum : &length;
        const bool lastLength = (b == 0 || b + 1 == blocks.size()) && i >= 4;
        for (int bit = 0; bit < 8; bit++) {
          if (lastLength || bit == static_cast<int>(i % 4) || bit == 7 - static_cast<int>(i % 4)) {
            flips.push_back({{at + i, bit}, part});
          }
        }
      }
      const size_t body = n - STREAM_HEADER_SIZE;
      const size_t spread = b == 0 ? 6 : 8;
      for (size_t k = 0; k < spread; k++) {
        const size_t bitIndex = (body * 8 - 1) * k / (spread - 1);
        const Flip f{at + STREAM_HEADER_SIZE + bitIndex / 8, static_cast<int>(bitIndex % 8)};
        flips.push_back({f, b == 0 ? &size : &data});
      }
      for (const auto& [f, tally] : flips) {
        work.FlipBit(f.offset, f.bit);
        const Reading r = ReadLikeTheStub(work.Path(), scratch.Path());
        const int32_t installed = productFile ? Install(work.Path(), scratch.Path()) : 0;
        work.FlipBit(f.offset, f.bit);
        const std::string where = name + " block " + std::to_string(b) + " byte " + std::to_string(f.offset - at) +
                                  " bit " + std::to_string(f.bit);
        tally->cases++;
        ASSERT_TRUE(r.opened) << where;
        // The damage stays in its entry.
        for (size_t i = 0; i < r.outcomes.size(); i++) {
          if (i != index) {
            EXPECT_EQ(SAME, r.outcomes[i]) << where << ": " << s.entries[i].record.name;
          }
        }
        const Outcome outcome = r.outcomes[index];
        EXPECT_NE(WRONG, outcome) << where;
        if (outcome == FAILED) {
          EXPECT_TRUE(r.verifyComplains) << where;
          if (productFile) {
            EXPECT_EQ(INSTALL_FAILED, installed) << where;
          }
          if (r.verifyComplains && (!productFile || installed == INSTALL_FAILED)) tally->detected++;
        } else if (outcome == SAME) {
          if (productFile) {
            EXPECT_EQ(INSTALL_COMPLETE, installed) << where;
          }
          tally->harmless++;
        }
      }
    }
    for (Tally* t : {&size, &magic, &checksum, &length, &data}) tallies.push_back(*t);
  }
  Print(tallies);
}

TEST(DamagedSetup, StoredEntryFlipsChangeOnlyTheirBit) {
  const Sample& s = TheSample();
  testsupport::ScratchDir scratch("damage-stored");
  WorkFile work(scratch.File("Setup.exe"));
  std::vector<Tally> tallies;
  for (const char* name : {"File6", "File7"}) {
    const Entry& e = s.Named(name);
    const size_t index = IndexOf(name);
    Tally t{std::string(name) + (e.record.mask ? " (stored, masked)" : " (stored)")};
    const size_t bits = static_cast<size_t>(e.record.storedSize) * 8;
    for (size_t k = 0; k < 16; k++) {
      const size_t bitIndex = (bits - 1) * k / 15;
      const Flip f{static_cast<size_t>(e.record.dataOffset) + bitIndex / 8, static_cast<int>(bitIndex % 8)};
      work.FlipBit(f.offset, f.bit);
      const Reading r = ReadLikeTheStub(work.Path(), scratch.Path());
      // The reader hands the damaged bytes on: the file differs from the original in that bit only.
      ASSERT_TRUE(r.opened);
      std::vector<uint8_t> expected = e.content;
      expected[bitIndex / 8] ^= static_cast<uint8_t>(1 << (bitIndex % 8));
      const FileHandle archive = OpenArchive(work.Path().c_str());
      ASSERT_NE(FILE_HANDLE_INVALID, archive);
      ASSERT_EQ(1, ExtractEntry(name, scratch.File("stored.bin").c_str()));
      CloseArchive(archive);
      EXPECT_EQ(expected, ReadFile(scratch.File("stored.bin"))) << name << " bit " << bitIndex;
      work.FlipBit(f.offset, f.bit);
      t.cases++;
      for (size_t i = 0; i < r.outcomes.size(); i++) {
        if (i != index) {
          EXPECT_EQ(SAME, r.outcomes[i]) << s.entries[i].record.name;
        }
      }
      if (r.outcomes[index] == WRONG && !r.verifyComplains) t.undetected++;
      if (r.verifyComplains) t.detected++;
    }
    tallies.push_back(t);
  }
  Print(tallies);
}
