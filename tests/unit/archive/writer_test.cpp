// Writing by entry copy: the uninstaller's build path ("MAIN" and the eight pictures) and the
// rules of the copy: what carries over, what is refused before a byte moves, and how a copy that
// fails part-way keeps later offsets true.
#include <filesystem>

#include "archive_fixture.h"

using namespace archivetest;

namespace {

const std::vector<uint8_t> kStub = Pattern(3000, 31);
const char* const kPictures[] = {"BLUE", "RERIVIRER", "LOGO", "QUILLON", "TOPSHADOW", "ORANGE", "BLUEWHITE", "WHITEBLUE"};

// An installer's archive: the stub image, "MAIN" (the same image), eight pictures of every kind,
// a product file and an inline record.
class InstallerArchive : public ArchiveTest {
 protected:
  void SetUp() override {
    ArchiveBuilder builder(kStub);
    builder.AddStored("MAIN", kStub, 0, 1234);
    builder.AddStored("BLUE", Pattern(700, 32));
    builder.AddStored("RERIVIRER", Pattern(900, 33), 0x5C, 10);
    builder.AddCompressedFramed("LOGO", Vector("a1000").framed, 1000, 999);
    builder.AddCompressedFramed("QUILLON", Vector("text50k").framed, 50000);
    builder.AddStored("TOPSHADOW", Pattern(40000, 34));
    builder.AddCompressedFramed("ORANGE", Vector("spaces1000").framed, 1000, 1);
    builder.AddStored("BLUEWHITE", Pattern(64, 35), 0xFF);
    builder.AddCompressedFramed("WHITEBLUE", Vector("empty").framed, 0);
    builder.AddStored("File1", Pattern(5000, 36));
    builder.AddInline("Note", {1, 2, 3});
    WriteFile(File("setup.bin"), builder.Finish());
    source_ = Open(File("setup.bin"));
    ASSERT_NE(FILE_HANDLE_INVALID, source_);
  }

  // The content of an entry of the archive open now.
  std::vector<uint8_t> Content(const std::string& name) {
    const Extracted e = ToFile(name);
    EXPECT_EQ(1, e.result) << name;
    return e.bytes;
  }

  // Copies the given entries into a new archive at path and closes it. Returns the results.
  std::vector<int> Build(const std::string& path, const std::vector<std::string>& names) {
    EXPECT_NE(FILE_HANDLE_INVALID, Create(path));
    std::vector<int> results;
    for (const std::string& name : names) results.push_back(CopyEntry(name.c_str()));
    CloseArchive(handles_.back());
    return results;
  }

  FileHandle source_ = FILE_HANDLE_INVALID;
};

}  // namespace

TEST_F(InstallerArchive, UninstallerIsTheStubFollowedByItsOwnArchive) {
  std::vector<std::string> names = {"MAIN"};
  names.insert(names.end(), std::begin(kPictures), std::end(kPictures));
  std::vector<ArchiveEntry> sourceRecords;
  std::vector<std::vector<uint8_t>> contents;
  for (const std::string& name : names) {
    sourceRecords.push_back(*FindEntry(name.c_str(), LOOKUP_DATA));
    contents.push_back(Content(name));
  }
  const std::string uninstaller = File("uninst.exe");
  EXPECT_EQ(std::vector<int>(9, 1), Build(uninstaller, names));

  const auto bytes = ReadFile(uninstaller);
  ASSERT_GE(bytes.size(), kStub.size());
  EXPECT_TRUE(std::equal(kStub.begin(), kStub.end(), bytes.begin())) << "the file starts with the stub image";
  ASSERT_NE(FILE_HANDLE_INVALID, Open(uninstaller));
  ASSERT_EQ(9, ArchiveRecordCount()) << "found on the ninth try";
  EXPECT_STREQ("MAIN", ArchiveRecord(0)->name) << "the trailer is the record of MAIN";
  int32_t offset = 0;
  for (size_t i = 0; i < names.size(); i++) {
    SCOPED_TRACE(names[i]);
    const ArchiveEntry& before = sourceRecords[i];
    const ArchiveEntry* after = ArchiveRecord(static_cast<int32_t>(i));
    EXPECT_STREQ(names[i].c_str(), after->name);
    EXPECT_EQ(before.kind, after->kind);
    EXPECT_EQ(before.mask, after->mask);
    EXPECT_EQ(+before.originalSize, +after->originalSize);
    EXPECT_EQ(+before.markerOffset, +after->markerOffset);
    EXPECT_EQ(+before.storedSize, +after->storedSize);
    EXPECT_EQ(offset, +after->dataOffset) << "data from position 0 on, without gaps";
    offset += after->storedSize;
    EXPECT_EQ(contents[i], Content(names[i]));
    EXPECT_EQ(contents[i], ToMemory(names[i], after->originalSize).bytes);
  }
  EXPECT_EQ(static_cast<size_t>(offset) + 9 * ARCHIVE_RECORD_SIZE, bytes.size()) << "nothing but data and directory";
  // The stored bytes moved unchanged: still masked.
  const ArchiveEntry* masked = FindEntry("BLUEWHITE", LOOKUP_DATA);
  EXPECT_EQ(static_cast<uint8_t>(Pattern(64, 35)[0] ^ 0xFF), bytes[static_cast<size_t>(masked->dataOffset)]);
}

TEST_F(InstallerArchive, CopiesTakeTheCallersNameAndRefuseWhatTheyCannotCopy) {
  const std::string path = File("new.bin");
  const auto results = Build(path, {"main", "Note", "Missing", "BLUE", "blue", "ABCDEFGHIJKLMNOP", ""});
  EXPECT_EQ((std::vector<int>{1, 0, 0, 1, 1, 0, 0}), results);
  ASSERT_NE(FILE_HANDLE_INVALID, Open(path));
  ASSERT_EQ(3, ArchiveRecordCount());
  EXPECT_STREQ("main", ArchiveRecord(0)->name);
  EXPECT_STREQ("BLUE", ArchiveRecord(1)->name);
  EXPECT_STREQ("blue", ArchiveRecord(2)->name);
  EXPECT_EQ(ArchiveRecord(1), FindEntry("Blue", LOOKUP_DATA)) << "the first of two equal names";
  EXPECT_EQ(ArchiveRecord(1)->dataOffset + 700, +ArchiveRecord(2)->dataOffset) << "two copies of the data";
  EXPECT_EQ(static_cast<size_t>(3000 + 700 + 700 + 3 * ARCHIVE_RECORD_SIZE), ReadFile(path).size())
      << "refused names wrote nothing";
}

TEST_F(InstallerArchive, ThirtyThirdCopyIsRefusedBeforeAnythingIsRead) {
  const std::string path = File("full.bin");
  const auto results = Build(path, std::vector<std::string>(33, "BLUEWHITE"));
  EXPECT_EQ(1, results[31]);
  EXPECT_EQ(0, results[32]);
  EXPECT_EQ(static_cast<size_t>(32 * 64 + 32 * ARCHIVE_RECORD_SIZE), ReadFile(path).size());
  ASSERT_NE(FILE_HANDLE_INVALID, Open(path));
  EXPECT_EQ(32, ArchiveRecordCount());
}

TEST_F(InstallerArchive, CopyNeedsBothArchives) {
  EXPECT_EQ(0, CopyEntry("MAIN")) << "nothing being written";
  const std::string path = File("a.bin");
  ASSERT_NE(FILE_HANDLE_INVALID, Create(path));
  CloseArchive(source_);
  EXPECT_EQ(0, CopyEntry("MAIN")) << "nothing open for reading";
  CloseArchive(handles_.back());
  EXPECT_TRUE(ReadFile(path).empty()) << "no record, no directory";
  EXPECT_EQ(FILE_HANDLE_INVALID, Open(path));

  ASSERT_NE(FILE_HANDLE_INVALID, Open(File("setup.bin")));
  EXPECT_EQ(FILE_HANDLE_INVALID, Create(File("no-folder/x.bin")));
  EXPECT_EQ(0, CopyEntry("MAIN"));
  CloseArchive(FILE_HANDLE_INVALID);
  EXPECT_EQ(ArchiveRecordCount(), 11) << "the reader is untouched";
}

TEST_F(InstallerArchive, CreatingASecondArchiveFinishesTheFirst) {
  ASSERT_NE(FILE_HANDLE_INVALID, Create(File("first.bin")));
  ASSERT_EQ(1, CopyEntry("BLUE"));
  ASSERT_NE(FILE_HANDLE_INVALID, Create(File("second.bin")));
  ASSERT_EQ(1, CopyEntry("LOGO"));
  CloseArchive(handles_.back());
  ASSERT_NE(FILE_HANDLE_INVALID, Open(File("first.bin")));
  ASSERT_EQ(1, ArchiveRecordCount());
  EXPECT_EQ(Pattern(700, 32), ToFile("BLUE").bytes);
  ASSERT_NE(FILE_HANDLE_INVALID, Open(File("second.bin")));
  ASSERT_EQ(1, ArchiveRecordCount());
  EXPECT_EQ(Vector("a1000").original, ToFile("LOGO").bytes);
}

TEST_F(ArchiveTest, MarkerOffsetsOfNewRecords) {
  struct Case {
    int32_t marker;
    int32_t originalSize;
    int32_t recorded;
  } cases[] = {{-1, 100, -1}, {0, 100, -1}, {1, 100, 1}, {99, 100, 99}, {100, 100, -1}, {5000, 100, -1}, {5, 0, -1}};
  ASSERT_NE(FILE_HANDLE_INVALID, Create(File("markers.bin")));
  int i = 0;
  for (const Case& c : cases) AddRecord(("M" + std::to_string(i++)).c_str(), 0, 0, c.originalSize, 0, c.marker);
  AddRecord("ABCDEFGHIJKLMNOP", 0, 0, 0, 0, -1);  // 16 characters: no record
  AddRecord(nullptr, 0, 0, 0, 0, -1);
  CloseArchive(handles_.back());
  ASSERT_NE(FILE_HANDLE_INVALID, Open(File("markers.bin")));
  ASSERT_EQ(7, ArchiveRecordCount());
  for (i = 0; i < 7; i++) EXPECT_EQ(cases[i].recorded, +ArchiveRecord(i)->markerOffset) << cases[i].marker;
}

TEST_F(ArchiveTest, FailedCopiesKeepLaterOffsetsTrue) {
  // A source whose first record runs past the end of its file, then damaged and good records.
  const auto data = Pattern(20000, 37);
  std::vector<uint8_t> sixteen(ARCHIVE_NAME_SIZE, 'L');
  const auto directory = SealedDirectory(5, [&](ArchiveDirectory& d) {
    auto set = [&](int32_t i, const char* name, int32_t offset, int32_t size) {
      ArchiveEntry* r = DirectorySlot(&d, i);
      std::memset(r->name, 0, sizeof r->name);
      std::strcpy(r->name, name);
      r->dataOffset = offset;
      r->storedSize = size;
      r->originalSize = size;
    };
    set(0, "PastEnd", 0, 40000);
    set(1, "NegOffset", -1, 10);
    set(2, "NegSize", 0, -1);
    set(3, "Good", 100, 500);
    set(4, "", 0, 10);
    std::memcpy(DirectorySlot(&d, 4)->name, sixteen.data(), sixteen.size());
  });
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(Concat(data, directory), "source.bin"));
  const std::string path = File("copy.bin");
  ASSERT_NE(FILE_HANDLE_INVALID, Create(path));
  EXPECT_EQ(0, CopyEntry("PastEnd"));
  EXPECT_EQ(0, CopyEntry("NegOffset"));
  EXPECT_EQ(0, CopyEntry("NegSize"));
  EXPECT_EQ(0, CopyEntry("LLLLLLLLLLLLLLLL")) << "found, but a name the new directory cannot hold";
  EXPECT_EQ(1, CopyEntry("Good"));
  CloseArchive(handles_.back());
  ASSERT_NE(FILE_HANDLE_INVALID, Open(path));
  ASSERT_EQ(1, ArchiveRecordCount());
  EXPECT_EQ(TRANSFER_CHUNK_SIZE, +ArchiveRecord(0)->dataOffset) << "the failed copy's full chunk stays and counts";
  const Extracted good = ToFile("Good");
  EXPECT_EQ(1, good.result);
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 100, data.begin() + 600), good.bytes);
}
