// The packaging side's builder: what it refuses (with a message naming the entry), where its
// offsets start, and the listing and reading helpers that go through the stub's reader.
#include <functional>

#include "archive_fixture.h"

using namespace archivetest;

namespace {

// Runs `build` and returns the builder's error message ("" when it succeeded).
std::string ErrorOf(const std::function<void()>& build) {
  try {
    build();
  } catch (const ArchiveBuildError& e) {
    return e.what();
  }
  return "";
}

ArchiveBuilder WithEntries(int n) {
  ArchiveBuilder b;
  for (int i = 0; i < n; i++) b.AddStored("E" + std::to_string(i), Pattern(10, static_cast<uint32_t>(i)));
  return b;
}

}  // namespace

TEST(ArchiveBuilder, RefusesWhatTheArchiveCannotHoldWithAClearMessage) {
  struct Case {
    const char* what;
    std::function<void()> build;
    const char* mentions;
  } cases[] = {
      {"16 characters", [] { WithEntries(1).AddStored("ABCDEFGHIJKLMNOP", {1}); }, "\"ABCDEFGHIJKLMNOP\" has 16"},
      {"16 characters, compressed",
       [] { WithEntries(1).AddCompressedFramed("ABCDEFGHIJKLMNOPQ", Vector("a1000").framed, 1000); }, "has 17"},
      {"empty name", [] { WithEntries(1).AddStored("", {1}); }, "empty"},
      {"zero byte", [] { WithEntries(1).AddStored(std::string("A\0B", 3), {1}); }, "zero byte"},
      {"same name in other case", [] { WithEntries(3).AddStored("e1", {1}); }, "\"e1\" is already"},
      {"33rd entry", [] { WithEntries(32).AddStored("Last", {1}); }, "at most 32"},
      {"33rd inline entry", [] { WithEntries(32).AddInline("Last", {1}); }, "at most 32"},
      {"inline first", [] { ArchiveBuilder().AddInline("I", {1}); }, "first entry"},
      {"inline 17 bytes", [] { WithEntries(1).AddInline("I", Pattern(17)); }, "17 bytes"},
      {"no entries", [] { ArchiveBuilder().Finish(); }, "at least one"},
      {"after Finish",
       [] {
         ArchiveBuilder b = WithEntries(1);
         b.Finish();
         b.AddStored("X", {1});
       },
       "finished"},
      {"missing file", [] { WithEntries(1).AddStoredFile("X", "/no/such/file"); }, "/no/such/file"},
  };
  for (const Case& c : cases) {
    const std::string message = ErrorOf(c.build);
    EXPECT_NE(std::string::npos, message.find(c.mentions)) << c.what << ": \"" << message << "\"";
  }
  EXPECT_EQ("", ErrorOf([] { WithEntries(31).AddStored("ABCDEFGHIJKLMNO", {1}); })) << "32 entries, 15 characters";
}

TEST_F(ArchiveTest, OffsetsCountWhatPrecedesTheArchive) {
  const auto stub = Pattern(4321, 51);
  auto fill = [](ArchiveBuilder& b) {
    b.AddStored("MAIN", Pattern(100, 52));
    b.AddCompressedFramed("LOGO", Vector("a1000").framed, 1000);
    b.AddStored("File1", Pattern(50, 53), 0x42);
  };
  ArchiveBuilder withPrefix(stub);
  fill(withPrefix);
  ArchiveBuilder appended = ArchiveBuilder::AppendedAt(static_cast<uint32_t>(stub.size()));
  fill(appended);
  EXPECT_EQ(withPrefix.NextDataOffset(), appended.NextDataOffset());
  const auto whole = withPrefix.Finish();
  EXPECT_EQ(whole, Concat(stub, appended.Finish())) << "the same file either way";
  ASSERT_NE(FILE_HANDLE_INVALID, OpenBytes(whole));
  EXPECT_EQ(static_cast<int32_t>(stub.size()), +FindEntry("MAIN", LOOKUP_DATA)->dataOffset);
  EXPECT_EQ(Pattern(50, 53), ToFile("File1").bytes);
}

TEST_F(ArchiveTest, ListingAndReadingGoThroughTheStubsReader) {
  ArchiveBuilder b(Pattern(10, 54));
  b.AddStored("MAIN", Pattern(300, 55), 0, 44);
  b.AddStored("Masked", Pattern(20, 56), 0x77);
  b.AddCompressedFramed("Text", Vector("text50k").framed, 50000);
  b.AddInline("Tiny", {4, 5});
  b.AddCompressedFramed("Short", Vector("a1000").framed, 900);  // records less than it expands to
  b.AddCompressedFramed("Long", Vector("a1000").framed, 1100);  // records more
  const std::string path = File("listed.bin");
  b.FinishToFile(path);

  const auto listing = ListArchive(path);
  ASSERT_EQ(6u, listing.size());
  EXPECT_EQ("MAIN", listing[0].name);
  EXPECT_EQ(ENTRY_STORED, listing[0].kind);
  EXPECT_EQ(10, listing[0].dataOffset);
  EXPECT_EQ(300, listing[0].storedSize);
  EXPECT_EQ(44, listing[0].markerOffset);
  EXPECT_EQ(0x77, listing[1].mask);
  EXPECT_EQ(ENTRY_COMPRESSED, listing[2].kind);
  EXPECT_EQ(50000, listing[2].originalSize);
  EXPECT_EQ(ENTRY_INLINE, listing[3].kind);
  EXPECT_EQ((std::vector<uint8_t>{4, 5}), listing[3].inlineData);
  EXPECT_EQ(0, ArchiveRecordCount()) << "closed again";

  EXPECT_EQ(Pattern(20, 56), ReadArchiveEntry(path, "masked"));
  EXPECT_EQ(Vector("text50k").original, ReadArchiveEntry(path, "Text"));
  EXPECT_EQ((std::vector<uint8_t>{4, 5}), ReadArchiveEntry(path, "Tiny"));
  EXPECT_NE("", ErrorOf([&] { ReadArchiveEntry(path, "Short"); }));
  EXPECT_NE(std::string::npos, ErrorOf([&] { ReadArchiveEntry(path, "Long"); }).find("expands to 1000"));
  EXPECT_NE(std::string::npos, ErrorOf([&] { ReadArchiveEntry(path, "None"); }).find("no entry"));
  WriteFile(File("plain.bin"), Pattern(100));
  EXPECT_NE(std::string::npos, ErrorOf([&] { ListArchive(File("plain.bin")); }).find("no archive directory"));
}
