// Extraction of backdrop pictures from a real archive file into picture memory.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "archive/archive.h"
#include "backdrop/bitmap_pieces.h"
#include "bmp_fixture.h"

using bmpfixture::BmpSpec;
using bmpfixture::MakeBmp;

namespace {

class BackdropExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BmpSpec s;
    s.width = 64;
    s.height = 20;
    s.clrUsed = 149;
    std::vector<uint8_t> rows(64 * 20);
    for (size_t i = 0; i < rows.size(); i++) rows[i] = (uint8_t)(i % 149);
    picture_ = MakeBmp(s, rows);
    // An entry that ends 100 bytes early: its last rows fall into the zeroed slack.
    std::vector<uint8_t> shortBy100(picture_.begin(), picture_.end() - 100);
    // One that ends 257 bytes early: its last row would run past the picture memory.
    std::vector<uint8_t> shortBy257(picture_.begin(), picture_.end() - 257);
    std::vector<uint8_t> junk(300, 0x41);
    // The directory claims less than is stored: the extraction bound cuts the copy there.
    bmpfixture::ArchiveItem overstated{"CUT", picture_, (int32_t)picture_.size() - 300};
    bmpfixture::WriteStoredArchive(path_, {{"BLUE", picture_},
                                           {"SLACK", shortBy100},
                                           {"PASTEND", shortBy257},
                                           {"JUNK", junk},
                                           overstated});
    archive_ = OpenArchive(path_.c_str());
    ASSERT_NE(FILE_HANDLE_INVALID, archive_);
  }
  void TearDown() override { CloseArchive(archive_); }

  // Extracts into memory of exactly entrySize + 256 bytes followed by guard bytes.
  int32_t Extract(const char* name, std::vector<uint8_t>* memoryOut, uint32_t* bitsOffset) {
    const int32_t size = EntryOriginalSize(name);
    if (size < 0) return -1;
    const size_t memorySize = (size_t)size + PIECE_SLACK;
    std::vector<uint8_t> area(memorySize + 64, 0xEE);
    const int32_t result = ExtractPiece(name, area.data(), (uint32_t)size, bitsOffset);
    for (size_t i = memorySize; i < area.size(); i++) EXPECT_EQ(0xEE, area[i]) << "guard byte " << i - memorySize;
    area.resize(memorySize);
    *memoryOut = area;
    return result;
  }

  testsupport::ScratchDir dir_{"backdrop"};
  std::string path_ = dir_.File("pictures.bin");
  std::vector<uint8_t> picture_;
  FileHandle archive_ = FILE_HANDLE_INVALID;
};

}  // namespace

TEST_F(BackdropExtractTest, LoadsAWholePicture) {
  std::vector<uint8_t> memory;
  uint32_t bitsOffset = 0;
  ASSERT_EQ(1, Extract("blue", &memory, &bitsOffset)) << "names are found without regard to case";
  EXPECT_EQ(54u + 4 * 149, bitsOffset);
  EXPECT_EQ(0, std::memcmp(memory.data() + bitsOffset, picture_.data() + bitsOffset, 64 * 20));
  EXPECT_EQ(64u * 20, bmpfixture::Get32(memory.data() + 34)) << "image size filled in";
  for (size_t i = picture_.size(); i < memory.size(); i++) ASSERT_EQ(0, memory[i]) << "slack is zeroed";
}

TEST_F(BackdropExtractTest, ShortEntriesAreAcceptedOnlyWithinTheSlack) {
  std::vector<uint8_t> memory;
  uint32_t bitsOffset = 0;
  ASSERT_EQ(1, Extract("SLACK", &memory, &bitsOffset));
  const size_t end = picture_.size() - 100;
  EXPECT_EQ(0, std::memcmp(memory.data(), picture_.data(), 34));
  for (size_t i = end; i < picture_.size(); i++) ASSERT_EQ(0, memory[i]) << "missing rows read as zero";

  EXPECT_EQ(0, Extract("PASTEND", &memory, &bitsOffset));
  EXPECT_EQ(0, Extract("CUT", &memory, &bitsOffset)) << "cut at its stated size, the rows run past the memory";
}

TEST_F(BackdropExtractTest, RefusesWhatIsNotAPicture) {
  std::vector<uint8_t> memory;
  uint32_t bitsOffset = 0;
  EXPECT_EQ(0, Extract("JUNK", &memory, &bitsOffset));
  EXPECT_EQ(-1, EntryOriginalSize("LOGO"));
  std::vector<uint8_t> area(PIECE_SLACK, 0xEE);
  EXPECT_EQ(0, ExtractPiece("LOGO", area.data(), 0, &bitsOffset));
}

TEST_F(BackdropExtractTest, NothingWithoutAnOpenArchive) {
  CloseArchive(archive_);
  std::vector<uint8_t> area(picture_.size() + PIECE_SLACK, 0xEE);
  uint32_t bitsOffset = 0;
  EXPECT_EQ(0, ExtractPiece("BLUE", area.data(), (uint32_t)picture_.size(), &bitsOffset));
}
