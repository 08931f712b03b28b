// The sealed directory at the end of an archive: where the trial search finds it and where it
// must not, and the lookup rules (first match decides, A-Z folding, the 16-byte name field).
#include "archive_fixture.h"

using namespace archivetest;

namespace {

// A file of `before` pattern bytes followed by a directory of n records (no entry data needed:
// the directory alone decides whether a file opens).
std::vector<uint8_t> FileWithDirectory(size_t before, int32_t n) {
  return Concat(Pattern(before, 7), SealedDirectory(n, [](ArchiveDirectory&) {}));
}

}  // namespace

TEST_F(ArchiveTest, DirectoryIsFoundWhereverTheFileSizeAllowsIt) {
  struct Case {
    size_t before;
    int32_t records;
  } cases[] = {
      {0, 1},      // exactly 40 bytes: one record and no data
      {39, 1},     // 79 bytes: k = 1, only the last 40 bytes are tried
      {0, 2},      // 80 bytes
      {5000, 9},   // found on the ninth try
      {0, 32},     // the largest directory, filling the whole file
      {12345, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.before) + " bytes before " + std::to_string(c.records) + " records");
    ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(FileWithDirectory(c.before, c.records)));
    EXPECT_EQ(c.records, ArchiveRecordCount());
    for (int32_t i = 0; i < c.records; i++) {
      EXPECT_STREQ(("R" + std::to_string(i)).c_str(), ArchiveRecord(i)->name);
    }
    EXPECT_EQ(nullptr, ArchiveRecord(c.records));
  }
}

TEST_F(ArchiveTest, FilesWithoutAValidTrailerDoNotOpen) {
  const auto nine = FileWithDirectory(3000, 9);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty file", {}},
      {"39 bytes", Pattern(39)},
      {"the last byte missing", std::vector<uint8_t>(nine.begin(), nine.end() - 1)},
      {"one byte appended", Concat(nine, {0})},
      {"39 bytes appended", Concat(nine, Pattern(39, 3))},
      {"40 bytes appended", Concat(nine, Pattern(40, 4))},
      {"no directory at all", Pattern(2000, 5)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FILE_HANDLE_INVALID, OpenBytes(c.bytes)) << c.what;
    EXPECT_EQ(0, ArchiveRecordCount()) << c.what;
  }
  EXPECT_NE(FILE_HANDLE_INVALID, OpenBytes(nine)) << "the unchanged file opens";
  EXPECT_EQ(FILE_HANDLE_INVALID, Open(File("no-such-file.bin")));
}

TEST_F(ArchiveTest, TrailerCountMustEqualTheRecordsItSeals) {
  // Counts above 32 (or below 1) can never match a try, whatever the size of the sealed block;
  // a count that names fewer or more records than were sealed matches no try either.
  for (int32_t n : {1, 9, 32}) {
    for (int count : {0, -1, 33, 64, 127, -128, n + 1, n > 1 ? n - 1 : 40}) {
      const auto bytes = Concat(Pattern(2000, 9), SealedDirectory(n, [count](ArchiveDirectory& d) {
                                  DirectorySlot(&d, 0)->lengthOrCount = static_cast<int8_t>(count);
                                }));
      EXPECT_EQ(FILE_HANDLE_INVALID, OpenBytes(bytes)) << n << " records, trailer count " << count;
    }
  }
  // The magic is checked in the trailer only.
  const auto otherMagic = SealedDirectory(3, [](ArchiveDirectory& d) { DirectorySlot(&d, 0)->magic ^= 1; });
  EXPECT_EQ(FILE_HANDLE_INVALID, OpenBytes(otherMagic));
  const auto innerMagic = SealedDirectory(3, [](ArchiveDirectory& d) { DirectorySlot(&d, 2)->magic = 0; });
  EXPECT_NE(FILE_HANDLE_INVALID, OpenBytes(innerMagic));
}

TEST(ArchiveDirectoryBlock, FailedTriesRestoreTheStoredBytes) {
  // A 9-record directory behind 23 slots of other file bytes: tries 1 to 8 decipher and
  // encipher again; only if each of them restores the bytes exactly does the ninth succeed.
  ArchiveDirectory plain{};
  int32_t count = 0;
  for (int i = 0; i < 9; i++) {
    DirectoryAddRecord(&plain, &count, ("E" + std::to_string(i)).c_str(), 0, i, i, 0, -1);
  }
  ArchiveDirectory sealed = plain;
  SealDirectory(&sealed, 9);
  const auto other = Pattern(23 * ARCHIVE_RECORD_SIZE, 11);
  std::memcpy(&sealed, other.data(), other.size());
  ArchiveDirectory block = sealed;
  ASSERT_EQ(9, UnsealDirectory(&block, ARCHIVE_MAX_RECORDS));
  EXPECT_EQ(0, std::memcmp(DirectoryTail(&plain, 9), DirectoryTail(&block, 9), 9 * ARCHIVE_RECORD_SIZE));
  EXPECT_EQ(0, std::memcmp(&block, other.data(), other.size())) << "bytes before the directory untouched";

  // A search that finds nothing leaves the whole block as stored.
  ArchiveDirectory junk{};
  const auto bytes = Pattern(sizeof junk, 12);
  std::memcpy(&junk, bytes.data(), bytes.size());
  EXPECT_EQ(0, UnsealDirectory(&junk, ARCHIVE_MAX_RECORDS));
  EXPECT_EQ(0, std::memcmp(&junk, bytes.data(), bytes.size()));
}

TEST(ArchiveDirectoryBlock, RecordsAreLaidOutFromTheEndWithTheCountInTheTrailer) {
  ArchiveDirectory block{};
  int32_t count = 0;
  ASSERT_EQ(1, DirectoryAddRecord(&block, &count, "MAIN", 0x5A, 100, 100, 0, 7));
  ASSERT_EQ(1, DirectoryAddRecord(&block, &count, "BLUE", TF_KIND_COMPRESSED | 0x33, 60, 500, 100, -1));
  const uint8_t* last = reinterpret_cast<const uint8_t*>(&block) + sizeof block - ARCHIVE_RECORD_SIZE;
  // Record 0 in the last 40 bytes, field by field in file order (little-endian).
  const std::vector<uint8_t> expected = {
      2, 0, 0x5A, 'M', 'A', 'I', 'N', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // count, kind, mask, name
      0, 0, 0, 0, 100, 0, 0, 0, 100, 0, 0, 0, 7, 0, 0, 0,                   // offsets and sizes
      40, 0x54, 0x4F, 0x4E, 0x4B};                                          // recordSize, "TONK"
  EXPECT_EQ(expected, std::vector<uint8_t>(last, last + ARCHIVE_RECORD_SIZE));
  const ArchiveEntry* second = DirectorySlot(&block, 1);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(second), last - ARCHIVE_RECORD_SIZE);
  EXPECT_EQ(0, second->lengthOrCount);
  EXPECT_EQ(ENTRY_COMPRESSED, second->kind);
  EXPECT_EQ(0x33, second->mask);
}

TEST(ArchiveDirectoryBlock, WritersRefuseWhatTheDirectoryCannotHold) {
  ArchiveDirectory block{};
  int32_t count = 0;
  EXPECT_EQ(0, DirectoryAddRecord(&block, &count, "ABCDEFGHIJKLMNOP", 0, 0, 0, 0, -1)) << "16 characters";
  EXPECT_EQ(0, DirectoryAddRecord(&block, &count, nullptr, 0, 0, 0, 0, -1));
  const uint8_t data[1] = {1};
  EXPECT_EQ(0, DirectoryAddInline(&block, &count, "I", data, 1)) << "an inline trailer would lose its length";
  EXPECT_EQ(0, count);
  EXPECT_EQ(1, DirectoryAddRecord(&block, &count, "ABCDEFGHIJKLMNO", 0, 0, 0, 0, -1)) << "15 characters fit";
  EXPECT_EQ(0, DirectoryAddInline(&block, &count, "I", data, 17));
  EXPECT_EQ(0, DirectoryAddInline(&block, &count, "I", data, -1));
  for (int i = 1; i < ARCHIVE_MAX_RECORDS; i++) ASSERT_EQ(1, DirectoryAddRecord(&block, &count, "X", 0, 0, 0, 0, -1));
  EXPECT_EQ(0, DirectoryAddRecord(&block, &count, "Y", 0, 0, 0, 0, -1)) << "33rd record";
  EXPECT_EQ(ARCHIVE_MAX_RECORDS, count);
  EXPECT_EQ(ARCHIVE_MAX_RECORDS, DirectorySlot(&block, 0)->lengthOrCount);
}

TEST_F(ArchiveTest, LookupFoldsOnlyAsciiLettersAndTheFirstNameDecides) {
  const auto directory = SealedDirectory(6, [](ArchiveDirectory& d) {
    std::strcpy(DirectorySlot(&d, 0)->name, "MAIN");
    std::strcpy(DirectorySlot(&d, 1)->name, "Twice");
    DirectorySlot(&d, 1)->kind = ENTRY_INLINE;
    std::strcpy(DirectorySlot(&d, 2)->name, "twice");  // a stored record behind an inline one
    DirectorySlot(&d, 2)->originalSize = 222;
    std::strcpy(DirectorySlot(&d, 3)->name, "Dup");
    DirectorySlot(&d, 3)->originalSize = 333;
    std::strcpy(DirectorySlot(&d, 4)->name, "DUP");
    DirectorySlot(&d, 4)->originalSize = 444;
    std::strcpy(DirectorySlot(&d, 5)->name, "\xC4[@");
  });
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(directory));
  struct Case {
    const char* name;
    uint32_t mode;
    int found;  // record index, -1 for none
  } cases[] = {
      {"MAIN", LOOKUP_DATA, 0},  {"main", LOOKUP_DATA, 0},    {"mAiN", LOOKUP_ANY, 0},
      {"MAIN", LOOKUP_INLINE, -1}, {"MAI", LOOKUP_ANY, -1},   {"MAINX", LOOKUP_ANY, -1},
      {"TWICE", LOOKUP_INLINE, 1}, {"twice", LOOKUP_DATA, -1},  // the inline record decides
      {"dup", LOOKUP_DATA, 3},   {"Dup", LOOKUP_ANY | 0x80, 3}, {"Dup", 0x80, -1},
      {"\xC4[@", LOOKUP_ANY, 5}, {"\xE4[@", LOOKUP_ANY, -1},  // no folding outside A-Z
      {"\xC4{@", LOOKUP_ANY, -1}, {"\xC4[`", LOOKUP_ANY, -1}, {"", LOOKUP_ANY, -1},
      {nullptr, LOOKUP_ANY, -1},
  };
  for (const Case& c : cases) {
    const ArchiveEntry* found = FindEntry(c.name, c.mode);
    const ArchiveEntry* expected = c.found < 0 ? nullptr : ArchiveRecord(c.found);
    EXPECT_EQ(expected, found) << (c.name ? c.name : "(null)") << " mode " << c.mode;
  }
  EXPECT_EQ(333, EntryOriginalSize("DUP"));
  EXPECT_EQ(-1, EntryOriginalSize("twice"));
}

TEST_F(ArchiveTest, SixteenCharacterFieldsCompareWithinTheField) {
  // Another tool may fill all 16 bytes without a zero. The bytes after the field (dataOffset)
  // spell "Q": a comparison that ran on past the field would take them as part of the name.
  const auto directory = SealedDirectory(2, [](ArchiveDirectory& d) {
    ArchiveEntry* r = DirectorySlot(&d, 1);
    std::memcpy(r->name, "ABCDEFGHIJKLMNOP", ARCHIVE_NAME_SIZE);
    r->dataOffset = 'Q';
  });
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(directory));
  const ArchiveEntry* full = ArchiveRecord(1);
  EXPECT_EQ(full, FindEntry("ABCDEFGHIJKLMNOP", LOOKUP_ANY));
  EXPECT_EQ(full, FindEntry("abcdefghijklmnop", LOOKUP_ANY));
  EXPECT_EQ(nullptr, FindEntry("ABCDEFGHIJKLMNOPQ", LOOKUP_ANY));
  EXPECT_EQ(nullptr, FindEntry("ABCDEFGHIJKLMNO", LOOKUP_ANY));
  // The same rule on a record of exactly 40 bytes of its own, so the sanitizers see any read
  // past it.
  std::vector<uint8_t> alone(sizeof(ArchiveEntry), 'Z');
  const auto* record = reinterpret_cast<const ArchiveEntry*>(alone.data());
  EXPECT_EQ(1, EntryNameMatches(record, "ZZZZZZZZZZZZZZZZ"));
  EXPECT_EQ(0, EntryNameMatches(record, "ZZZZZZZZZZZZZZZZZ"));
  EXPECT_EQ(0, EntryNameMatches(record, std::string(60, 'Z').c_str()));
}
