// Reading an archive: every kind of entry the builder writes comes back byte for byte, to a file
// and into memory; the memory bound; inline records; and the failures that must stay clean
// (missing names, damaged records, files that are not archives).
#include <algorithm>
#include <climits>
#include <filesystem>

#include "archive_fixture.h"

using namespace archivetest;

namespace {

const std::vector<uint8_t> kStub = Pattern(3000, 42);

struct Entry {
  std::string name;
  std::vector<uint8_t> content;
};

// Stored, masked and compressed entries of several sizes, behind a stub image.
class BuiltArchive : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveBuilder builder(kStub);
    Add(builder, "MAIN", kStub, 0, 1234);
    Add(builder, "Stored", Pattern(2 * TRANSFER_CHUNK_SIZE + 5, 2), 0, -1);
    std::vector<uint8_t> masked = Pattern(1000, 3);
    masked[0] = 0xFF;
    Add(builder, "Masked", masked, 0xA5, -1);
    Add(builder, "Blank", {}, 0x11, -1);
    for (const char* name : {"a1000", "spaces1000", "text50k", "elf300k", "empty"}) {
      const Compressed c = Vector(name);
      builder.AddCompressedFramed(name, c.framed, static_cast<int32_t>(c.original.size()));
      entries_.push_back({name, c.original});
    }
    builder.AddInline("Inline", {1, 2, 3, 4, 5});
    builder.AddInline("Inline0", {});
    builder.AddInline("Inline16", Pattern(16, 4));
    bytes_ = builder.Finish();
    ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(bytes_));
  }

  void Add(ArchiveBuilder& builder, const std::string& name, const std::vector<uint8_t>& content, uint8_t mask,
           int32_t marker) {
    builder.AddStored(name, content, mask, marker);
    entries_.push_back({name, content});
  }

  std::vector<uint8_t> bytes_;
  std::vector<Entry> entries_;
};

}  // namespace

TEST_F(BuiltArchive, EveryEntryExtractsToTheOriginalBytes) {
  ASSERT_EQ(static_cast<int32_t>(entries_.size()) + 3, ArchiveRecordCount());
  for (const Entry& e : entries_) {
    SCOPED_TRACE(e.name);
    ASSERT_EQ(static_cast<int32_t>(e.content.size()), EntryOriginalSize(e.name.c_str()));
    const Extracted file = ToFile(e.name);
    EXPECT_EQ(1, file.result);
    EXPECT_EQ(e.content, file.bytes);
    const Extracted memory = ToMemory(e.name, static_cast<int32_t>(e.content.size()));
    EXPECT_EQ(1, memory.result);
    EXPECT_EQ(e.content, memory.bytes);
  }
  // Offsets count the stub: "MAIN" starts right after it, and the masked bytes are masked.
  EXPECT_EQ(static_cast<int32_t>(kStub.size()), +FindEntry("MAIN", LOOKUP_DATA)->dataOffset);
  EXPECT_EQ(1234, +FindEntry("MAIN", LOOKUP_DATA)->markerOffset);
  const ArchiveEntry* masked = FindEntry("Masked", LOOKUP_DATA);
  EXPECT_EQ(0xA5, masked->mask);
  EXPECT_EQ(0x5A, bytes_[static_cast<size_t>(masked->dataOffset)]);
}

TEST_F(ArchiveTest, EntriesCompressedByTheBuilderExpandExactly) {
  struct Case {
    std::string name;
    std::vector<uint8_t> content;
    Packed expected;
  } cases[] = {
      {"Text", streamtest::Vector("text50k.bin"), Packed::Compressed},
      {"Program", streamtest::Vector("elf300k.bin"), Packed::Compressed},
      {"Spaces", streamtest::Vector("spaces1000.bin"), Packed::Compressed},
      {"Noise", Pattern(3 * STREAM_BLOCK_SIZE + 17, 61), Packed::Compressed},  // grows, still exact
      {"Zeros", std::vector<uint8_t>(STREAM_OUTPUT_BUFFER_SIZE * 4, 0), Packed::Compressed},
      {"Eight", Pattern(8, 62), Packed::Compressed},
      {"Empty", {}, Packed::Compressed},
      {"Seven", Pattern(7, 63), Packed::StoredInstead},
      {"One", Pattern(1, 64), Packed::StoredInstead},
  };
  ArchiveBuilder builder(Pattern(777, 60));
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(c.expected, builder.AddCompressed(c.name, c.content, -1, &why)) << c.name;
    EXPECT_EQ(c.expected == Packed::StoredInstead, !why.empty()) << c.name << ": " << why;
  }
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(builder.Finish()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ArchiveEntry* record = FindEntry(c.name.c_str(), LOOKUP_DATA);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(c.expected == Packed::Compressed ? ENTRY_COMPRESSED : ENTRY_STORED, record->kind);
    const Extracted file = ToFile(c.name);
    EXPECT_EQ(1, file.result);
    EXPECT_EQ(c.content, file.bytes);
    const Extracted memory = ToMemory(c.name, static_cast<int32_t>(c.content.size()));
    EXPECT_EQ(1, memory.result);
    EXPECT_EQ(c.content, memory.bytes);
  }
}

TEST_F(BuiltArchive, InlineRecordsExtractToFilesButNotToMemory) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  } cases[] = {{"Inline", {1, 2, 3, 4, 5}}, {"inline0", {}}, {"INLINE16", Pattern(16, 4)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Extracted file = ToFile(c.name);
    EXPECT_EQ(1, file.result);
    EXPECT_EQ(c.data, file.bytes);
    EXPECT_TRUE(std::filesystem::exists(File("extracted.bin"))) << "an empty inline entry still makes a file";
    uint8_t buffer[ENTRY_INLINE_MAX] = {};
    int32_t length = -7;
    EXPECT_EQ(1, ReadInlineData(c.name, buffer, &length));
    ASSERT_EQ(static_cast<int32_t>(c.data.size()), length);
    EXPECT_EQ(c.data, std::vector<uint8_t>(buffer, buffer + length));
    EXPECT_EQ(0, ToMemory(c.name, 100).result);
    EXPECT_EQ(-1, EntryOriginalSize(c.name));
  }
  int32_t length = -7;
  uint8_t buffer[ENTRY_INLINE_MAX];
  EXPECT_EQ(0, ReadInlineData("MAIN", buffer, &length)) << "a data record is not inline";
  EXPECT_EQ(0, length);
  EXPECT_EQ(0, ReadInlineData("Nothing", buffer, nullptr));
}

TEST_F(BuiltArchive, MemoryBoundCutsStoredEntriesAndCompressedOnesNeverOverrun) {
  const std::vector<uint8_t> masked = entries_[2].content;  // 1000 bytes, mask 0xA5
  struct Case {
    const char* name;
    int32_t bound;
    int result;
    size_t copied;  // bytes that must equal the start of the content
  } cases[] = {
      {"Masked", 600, 1, 600},   {"Masked", 5000, 1, 1000},  {"Masked", 1000, 1, 1000},
      {"Masked", 0, 1, 0},       {"Masked", -5, 1, 0},       {"text50k", 50000, 1, 50000},
      {"text50k", 49999, 0, 49999}, {"text50k", 10240, 0, 10240}, {"text50k", 100, 0, 100},
      {"text50k", -1, 0, 0},     {"empty", 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " bound " + std::to_string(c.bound));
    const std::vector<uint8_t>& content = std::string(c.name) == "Masked" ? masked : entries_[6].content;
    const Extracted e = ToMemory(c.name, c.bound);
    EXPECT_EQ(c.result, e.result);
    ASSERT_GE(e.bytes.size(), c.copied);
    EXPECT_TRUE(std::equal(content.begin(), content.begin() + static_cast<long>(c.copied), e.bytes.begin()));
  }
  EXPECT_EQ(0, ExtractEntryToMemory("Masked", nullptr, 1000)) << "no memory to write to";
  EXPECT_EQ(0, ExtractEntryToMemory("text50k", nullptr, 50000));
}

TEST_F(BuiltArchive, ExtractionReplacesFilesButCreatesNothingWhenItCannotStart) {
  const std::string target = File("target.bin");
  WriteFile(target, Pattern(100000, 5));
  EXPECT_EQ(1, ExtractEntry("Masked", target.c_str()));
  EXPECT_EQ(entries_[2].content, ReadFile(target)) << "the longer old file is replaced, not overwritten";

  WriteFile(target, {9, 9, 9});
  EXPECT_EQ(0, ExtractEntry("Missing", target.c_str()));
  EXPECT_EQ(0, ExtractEntry(nullptr, target.c_str()));
  EXPECT_EQ(0, ExtractEntry("MAIN", nullptr));
  EXPECT_EQ(0, ExtractEntry("MAIN", File("no-folder/x.bin").c_str()));
  EXPECT_EQ((std::vector<uint8_t>{9, 9, 9}), ReadFile(target));

  CloseArchive(handles_.back());
  EXPECT_EQ(0, ExtractEntry("MAIN", target.c_str())) << "no archive open";
  EXPECT_EQ(0, ToMemory("MAIN", 5000).result);
  EXPECT_EQ(-1, EntryOriginalSize("MAIN"));
  EXPECT_EQ(nullptr, FindEntry("MAIN", LOOKUP_ANY));
  EXPECT_EQ((std::vector<uint8_t>{9, 9, 9}), ReadFile(target));
}

TEST_F(BuiltArchive, OpeningAnotherFileClosesTheOpenArchiveFirst) {
  WriteFile(File("plain.bin"), Pattern(5000, 6));
  EXPECT_EQ(FILE_HANDLE_INVALID, Open(File("plain.bin")));
  EXPECT_EQ(0, ArchiveRecordCount());
  EXPECT_EQ(nullptr, FindEntry("MAIN", LOOKUP_ANY));
  // Windows refuses to delete a file that is still open: this shows the handle was closed.
  EXPECT_TRUE(std::filesystem::remove(File("archive.bin")));

  // Null opens the running program's own file, and this test program carries no archive.
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(bytes_, "again.bin"));
  EXPECT_EQ(FILE_HANDLE_INVALID, Keep(OpenArchive(nullptr)));
  EXPECT_EQ(0, ArchiveRecordCount());
  EXPECT_TRUE(std::filesystem::remove(File("again.bin")));
}

TEST_F(BuiltArchive, CloseArchiveIgnoresHandlesItDoesNotOwn) {
  const FileHandle foreign = PlatformOpenRead(File("archive.bin").c_str());
  ASSERT_NE(FILE_HANDLE_INVALID, foreign);
  CloseArchive(foreign);
  CloseArchive(FILE_HANDLE_INVALID);
  uint8_t head[4];
  EXPECT_EQ(4u, PlatformRead(foreign, head, 4)) << "the foreign handle is still open";
  PlatformClose(foreign);
  EXPECT_EQ(static_cast<int32_t>(entries_.size()) + 3, ArchiveRecordCount());
  EXPECT_EQ(1, ToFile("MAIN").result);
}

TEST_F(ArchiveTest, InlineCountsOutsideZeroToSixteenReadAsEmpty) {
  const auto directory = SealedDirectory(3, [](ArchiveDirectory& d) {
    DirectorySlot(&d, 1)->kind = ENTRY_INLINE;
    DirectorySlot(&d, 1)->lengthOrCount = 20;
    DirectorySlot(&d, 2)->kind = ENTRY_INLINE;
    DirectorySlot(&d, 2)->lengthOrCount = -3;
  });
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(directory));
  for (const char* name : {"R1", "R2"}) {
    uint8_t buffer[ENTRY_INLINE_MAX + 8];
    std::memset(buffer, 0xEE, sizeof buffer);
    int32_t length = -1;
    EXPECT_EQ(1, ReadInlineData(name, buffer, &length)) << name;
    EXPECT_EQ(0, length) << name;
    EXPECT_EQ(0xEE, buffer[0]) << name;
    const Extracted file = ToFile(name);
    EXPECT_EQ(1, file.result) << name;
    EXPECT_TRUE(file.bytes.empty()) << name;
  }
}

TEST_F(ArchiveTest, DamagedRecordsFailWithoutCrashOrOverrun) {
  // 20000 data bytes, then a compressed stream, then a directory whose records point outside
  // the file, run past its end or are negative.
  const auto data = Pattern(20000, 8);
  const Compressed text = Vector("a1000");
  const int32_t streamAt = static_cast<int32_t>(data.size());
  const int32_t streamSize = static_cast<int32_t>(text.framed.size());
  struct Case {
    const char* name;
    int8_t kind;
    int32_t dataOffset;
    int32_t storedSize;
    int result;
    bool createsFile;
    size_t written;  // bytes of the content that reach the output file
  } cases[] = {
      {"PastEnd", ENTRY_STORED, 0, 40000, 0, true, TRANSFER_CHUNK_SIZE},
      {"Beyond", ENTRY_STORED, 1 << 30, 10, 0, true, 0},
      {"NegOffset", ENTRY_STORED, -16, 10, 0, false, 0},
      {"NegSize", ENTRY_STORED, 0, -1, 0, false, 0},
      {"MinSize", ENTRY_STORED, 0, INT32_MIN, 0, false, 0},
      {"CompNegSize", ENTRY_COMPRESSED, streamAt, -5, 0, false, 0},
      {"CompBeyond", ENTRY_COMPRESSED, 1 << 30, 100, 0, true, 0},
      {"CompJunk", ENTRY_COMPRESSED, 0, 100, 0, true, 0},
      {"Kind5", 5, streamAt, streamSize, 1, true, 1000},  // any kind but 0 and -1 is compressed
  };
  const int32_t n = static_cast<int32_t>(sizeof cases / sizeof cases[0]);
  const auto directory = SealedDirectory(n, [&](ArchiveDirectory& d) {
    for (int32_t i = 0; i < n; i++) {
      ArchiveEntry* r = DirectorySlot(&d, i);
      std::memset(r->name, 0, sizeof r->name);
      std::strcpy(r->name, cases[i].name);
      r->kind = cases[i].kind;
      r->dataOffset = cases[i].dataOffset;
      r->storedSize = cases[i].storedSize;
      r->originalSize = 1000;
    }
  });
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(Concat(Concat(data, text.framed), directory)));
  const std::string target = File("target.bin");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(target, {7});
    EXPECT_EQ(c.result, ExtractEntry(c.name, target.c_str()));
    const auto out = ReadFile(target);
    if (c.createsFile) {
      ASSERT_EQ(c.written, out.size());
      const std::vector<uint8_t>& source = c.kind == ENTRY_STORED ? data : text.original;
      EXPECT_TRUE(std::equal(out.begin(), out.end(), source.begin()));
    } else {
      EXPECT_EQ(std::vector<uint8_t>{7}, out) << "the old file stays when the record is refused";
    }
    EXPECT_EQ(c.result, ToMemory(c.name, 40000).result);
  }
}
