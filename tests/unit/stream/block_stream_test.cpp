// The block-framed reader: intact streams inside a larger file, the end-of-stream rules, and
// one crafted stream per failure the framing can detect.
#include <gtest/gtest.h>

#include <cstring>

#include "stream_fixture.h"

using namespace streamtest;

namespace {

const std::vector<uint8_t> kTrailer(300, 0x5A);  // what follows a stream inside an archive

std::vector<uint8_t> SizeBlock(uint32_t size) {
  uint8_t b[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size >> 16),
                  static_cast<uint8_t>(size >> 24)};
  return Block(b, 4);
}

}  // namespace

TEST(BlockStream, FramedVectorsFollowedByOtherDataExpandExactly) {
  for (const char* name : {"a1000", "spaces1000", "text50k", "elf300k"}) {
    const auto original = Vector(std::string(name) + ".bin");
    const auto file = Concat(Frame(Vector(std::string(name) + ".lzh")), kTrailer);
    const Expansion toFile = Expand(file);
    EXPECT_EQ(1u, toFile.result) << name;
    EXPECT_EQ(original, toFile.output) << name;
    EXPECT_EQ(original.size(), toFile.totalWritten) << name;
    const Expansion toMemory = Expand(file, static_cast<long>(original.size()));
    EXPECT_EQ(1u, toMemory.result) << name;
    EXPECT_EQ(original, toMemory.output) << name;
    // One write per full buffer and a final one, which may be empty.
    ASSERT_EQ(original.size() / STREAM_OUTPUT_BUFFER_SIZE + 1, toFile.writes.size()) << name;
    EXPECT_EQ(original.size() % STREAM_OUTPUT_BUFFER_SIZE, toFile.writes.back()) << name;
  }
}

TEST(BlockStream, StreamInsideAFileStartsAtTheCallersPosition) {
  const auto original = Vector("text50k.bin");
  const std::vector<uint8_t> before(777, 0x11);
  const auto file = Concat(Concat(before, Frame(Vector("text50k.lzh"))), kTrailer);
  const Expansion e = Expand(file, -1, 777);
  EXPECT_EQ(1u, e.result);
  EXPECT_EQ(original, e.output);
}

TEST(BlockStream, TailRuleStopsReadingBeforeTinyStreams) {
  // With fewer than 8 bytes to produce, no data block is read at all: the decoder works from
  // zero bits and the expansion still reports success. The packaging side must store such
  // entries instead of compressing them.
  const auto file = Concat(Frame(Vector("byte1.lzh")), kTrailer);
  const Expansion e = Expand(file);
  EXPECT_EQ(1u, e.result);
  ASSERT_EQ(1u, e.output.size());
  EXPECT_NE(Vector("byte1.bin"), e.output) << "the byte came from zero bits, not from the stream";
}

TEST(BlockStream, EmptyStreamWritesOnceWithZero) {
  const Expansion e = Expand(Concat(SizeBlock(0), kTrailer));
  EXPECT_EQ(1u, e.result);
  EXPECT_TRUE(e.output.empty());
  EXPECT_EQ(std::vector<uint32_t>{0}, e.writes);
  // The size block's check and the final write each tick once; the four size bytes do not
  // reach 1024.
  EXPECT_EQ(2u, e.ticks);
}

TEST(BlockStream, FailureTable) {
  const auto image = Vector("text50k.lzh");
  const auto framed = Frame(image);
  const size_t firstData = STREAM_SIZE_BLOCK_SIZE;
  const size_t secondData = firstData + STREAM_BLOCK_SIZE;

  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    size_t minOutput;  // bytes that must still be written before the failure
  };
  std::vector<Case> cases;
  {
    auto f = framed;
    f[secondData] = 'X';
    cases.push_back({"bad magic in the second data block", Concat(f, kTrailer), STREAM_BLOCK_DATA});
  }
  {
    auto f = framed;
    f[secondData + 4] = 5;
    f[secondData + 5] = 0;
    cases.push_back({"length below 6", Concat(f, kTrailer), STREAM_BLOCK_DATA});
  }
  {
    auto f = framed;
    f[secondData + 2] ^= 1;
    cases.push_back({"checksum off by one", Concat(f, kTrailer), STREAM_BLOCK_DATA});
  }
  {
    auto f = framed;
    f.pop_back();
    cases.push_back({"last block cut short by one byte at the end of the file", f, 1});
  }
  {
    auto f = framed;
    f.resize(secondData);
    cases.push_back({"source ends while many bytes are still to come", f, STREAM_BLOCK_DATA});
  }
  {
    auto f = framed;
    f[1] = 'X';
    cases.push_back({"first block fails: nothing decoded", Concat(f, kTrailer), 0});
  }
  for (const Case& c : cases) {
    const auto original = Vector("text50k.bin");
    for (long memory : {-1L, 50000L}) {
      const Expansion e = Expand(c.file, memory);
      EXPECT_EQ(0u, e.result) << c.what;
      EXPECT_GE(e.output.size(), c.minOutput) << c.what;
      EXPECT_LE(e.output.size(), original.size()) << c.what;
      // What was written before the failure is the true content.
      EXPECT_TRUE(std::equal(e.output.begin(), e.output.begin() + std::min<size_t>(e.output.size(), 1000),
                             original.begin()))
          << c.what;
      EXPECT_FALSE(e.writes.empty()) << "the final write always happens: " << c.what;
    }
  }
}

TEST(BlockStream, FirstBlockFailureWritesNothingButTheEmptyWrite) {
  auto f = Frame(Vector("text50k.lzh"));
  f[2] ^= 0xFF;
  const Expansion e = Expand(Concat(f, kTrailer));
  EXPECT_EQ(0u, e.result);
  EXPECT_EQ(std::vector<uint32_t>{0}, e.writes);
}

TEST(BlockStream, FirstDataBlockFailureStillWritesTheSymbolInProgress) {
  auto f = Frame(Vector("text50k.lzh"));
  f[STREAM_SIZE_BLOCK_SIZE + 6] ^= 0xFF;  // the checksum no longer matches
  const Expansion e = Expand(Concat(f, kTrailer));
  EXPECT_EQ(0u, e.result);
  EXPECT_EQ(1u, e.output.size()) << "one byte decoded from zero bits before the decoder stops";
}

TEST(BlockStream, AbortStopsAsAFailureAfterTheCurrentSymbol) {
  const auto file = Concat(Frame(Vector("elf300k.lzh")), kTrailer);
  abortAfterWrites = 2;
  const Expansion e = Expand(file);
  EXPECT_EQ(0u, e.result);
  // Two full buffers, then at most the rest of one match, then the final write.
  ASSERT_EQ(3u, e.writes.size());
  EXPECT_LE(e.writes[2], 60u);
  const auto original = Vector("elf300k.bin");
  ASSERT_LE(e.output.size(), original.size());
  EXPECT_TRUE(std::equal(e.output.begin(), e.output.end(), original.begin()));
}

TEST(BlockStream, SizesOutsideTheFormatOrTheMemoryFailWithoutOverrun) {
  // 2^31 or more: refused before decoding.
  const Expansion huge = Expand(Concat(SizeBlock(0x80000000u), kTrailer));
  EXPECT_EQ(0u, huge.result);
  EXPECT_EQ(std::vector<uint32_t>{0}, huge.writes);
  // A memory destination smaller than the stream's output: the fixture checks guard bytes.
  const auto file = Concat(Frame(Vector("text50k.lzh")), kTrailer);
  for (long capacity : {0L, 1L, 10239L, 10240L, 49999L}) {
    const Expansion e = Expand(file, capacity);
    EXPECT_EQ(0u, e.result) << capacity;
    EXPECT_EQ(static_cast<uint32_t>(capacity), e.totalWritten) << capacity;
  }
}

TEST(BlockStream, MemoryDestinationAppliesToOneExpansionOnly) {
  const auto file = Concat(Frame(Vector("a1000.lzh")), kTrailer);
  std::vector<uint8_t> memory(1000);
  StreamSetOutputMemory(memory.data(), 1000);
  testsupport::ScratchDir dir("stream-once");
  testsupport::WriteFile(dir.File("in.bin"), file);
  FileHandle in = PlatformOpenRead(dir.File("in.bin").c_str());
  EXPECT_EQ(1u, StreamExpand(in, FILE_HANDLE_INVALID));
  PlatformClose(in);
  EXPECT_EQ(Vector("a1000.bin"), memory);
  const Expansion next = Expand(file);  // to a file again
  EXPECT_EQ(Vector("a1000.bin"), next.output);
}
