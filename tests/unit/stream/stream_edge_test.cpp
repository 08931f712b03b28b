// Edge cases of the block reader that need generated streams: a buffer filled exactly, a last
// block of exactly 10240 bytes, and the decoder's read-ahead at the end of the file.
#include <gtest/gtest.h>

#include <cstring>

#include "packing/block_writer.h"
#include "packing/lzhuf_encoder.h"
#include "stream_fixture.h"

using namespace streamtest;

namespace {

const std::vector<uint8_t> kTrailer(300, 0x5A);  // what follows a stream inside an archive

// Words in random order with numbers between them: compresses about as well as prose.
std::vector<uint8_t> Prose(size_t n) {
  static const char* const kWords[] = {"reader", "takes", "every", "block", "of", "the", "stream", "while",
                                       "bytes", "are", "still", "to", "come", "window", "tree", "match"};
  std::vector<uint8_t> out;
  uint32_t x = 12345;
  while (out.size() < n) {
    x = x * 1103515245u + 12345u;
    const char* w = kWords[(x >> 16) % 16];
    out.insert(out.end(), w, w + strlen(w));
    out.push_back(' ');
    if ((x >> 12) % 8 == 0) {
      for (int d = 0; d < 3; d++) out.push_back(static_cast<uint8_t>('0' + (x >> (20 + 3 * d)) % 10));
      out.push_back(' ');
    }
  }
  out.resize(n);
  return out;
}

size_t LastBlockLength(const std::vector<uint8_t>& framed) {
  size_t at = 0;
  size_t length = 0;
  while (at < framed.size()) {
    length = framed[at + 4] | static_cast<size_t>(framed[at + 5]) << 8;
    at += length;
  }
  return length;
}

}  // namespace

TEST(BlockStreamEdges, ExactlyOneBufferOfOutputIsOneFullWriteAndAnEmptyOne) {
  const auto data = Prose(STREAM_OUTPUT_BUFFER_SIZE);
  const CompressedEntry entry = CompressEntry(data.data(), data.size());
  ASSERT_TRUE(entry.ok) << entry.problem;
  for (long memory : {-1L, static_cast<long>(data.size())}) {
    const Expansion e = Expand(Concat(entry.bytes, kTrailer), memory);
    EXPECT_EQ(1u, e.result);
    EXPECT_EQ(data, e.output);
    EXPECT_EQ((std::vector<uint32_t>{STREAM_OUTPUT_BUFFER_SIZE, 0}), e.writes);
    EXPECT_EQ(static_cast<uint32_t>(STREAM_OUTPUT_BUFFER_SIZE), e.totalWritten);
  }
}

TEST(BlockStreamEdges, LastBlockOfExactly10240BytesFollowedByOtherData) {
  // A stream whose bit stream is padded out to fill its last block: the read that fetches it
  // takes in no byte of what follows, and the read-ahead finds the padding.
  const auto data = Prose(30000);
  std::vector<uint8_t> image;
  ASSERT_TRUE(LzhufEncodeForStream(data.data(), data.size(), &image));
  while ((image.size() - 4) % STREAM_BLOCK_DATA != 0) image.push_back(0);
  const auto framed = FrameLzhufImage(image);
  ASSERT_EQ(static_cast<size_t>(STREAM_BLOCK_SIZE), LastBlockLength(framed));
  for (const auto& after : {kTrailer, framed}) {  // other data, or the next stream
    const Expansion e = Expand(Concat(framed, after));
    EXPECT_EQ(1u, e.result);
    EXPECT_EQ(data, e.output);
  }
}

TEST(BlockStreamEdges, ReadAheadPastAFullLastBlockReadsTheNextDataAsABlock) {
  // A bit stream that ends exactly at a block's end with a long final match: the read-ahead
  // during that match asks for another block while 8 or more bytes are still to come, reads
  // what follows as a block, and fails; every byte is still written.
  const auto prose = Prose(60000);
  auto build = [&](size_t m, size_t run = 200) {
    std::vector<uint8_t> d(prose.begin(), prose.begin() + static_cast<long>(m));
    d.insert(d.end(), run, 'r');
    return d;
  };
  size_t lo = 1000;
  size_t hi = prose.size() - 64;
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    const auto d = build(mid);
    if (LzhufEncode(d.data(), d.size()).size() - 4 >= STREAM_BLOCK_DATA) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  bool found = false;
  ASSERT_LT(lo, prose.size() - 64) << "the words compress too well to fill a block";
  for (size_t k = 0; k < 1024 && !found; k++) {
    // Lengths around the edge, and final runs of several lengths.
    const auto d = build(lo - 16 + k % 32, 200 + k / 32);
    const auto image = LzhufEncode(d.data(), d.size());
    if (image.size() - 4 != STREAM_BLOCK_DATA) continue;
    found = true;
    const auto framed = FrameLzhufImage(image);
    ASSERT_EQ(static_cast<size_t>(STREAM_BLOCK_SIZE), LastBlockLength(framed));
    for (const auto& after : {std::vector<uint8_t>{}, kTrailer}) {
      const Expansion e = Expand(Concat(framed, after));
      EXPECT_EQ(0u, e.result) << after.size();
      EXPECT_EQ(d, e.output) << after.size();
    }
    // The writing side never leaves the read-ahead to what follows.
    const CompressedEntry entry = CompressEntry(d.data(), d.size());
    ASSERT_TRUE(entry.ok) << entry.problem;
    const Expansion fixed = Expand(Concat(entry.bytes, kTrailer));
    EXPECT_EQ(1u, fixed.result);
    EXPECT_EQ(d, fixed.output);
  }
  EXPECT_TRUE(found) << "no length whose bit stream fills exactly one block";
}

TEST(BlockStreamEdges, ReadAheadAtTheEndOfTheFileFailsAlthoughEveryByteIsWritten) {
  // The published a1000 ends in a long match: its read-ahead asks for more input while 8 or
  // more bytes are still to come. At the end of the file that read is empty and fails the
  // check, after the match has been completed from the bits in hand; with data after the
  // stream, the last read took some of it in and the read-ahead is served from there.
  const auto framed = Frame(Vector("a1000.lzh"));
  const Expansion atEnd = Expand(framed);
  EXPECT_EQ(0u, atEnd.result);
  EXPECT_EQ(Vector("a1000.bin"), atEnd.output);
  const Expansion followed = Expand(Concat(framed, kTrailer));
  EXPECT_EQ(1u, followed.result);
  EXPECT_EQ(Vector("a1000.bin"), followed.output);
}

TEST(BlockStreamEdges, TicksCountEveryByteMovedEveryBlockAndEveryWrite) {
  // One tick per 1024 bytes moved through either buffer, not counting a byte that triggered a
  // refill or filled the output buffer; one per block checked; one per output write. The
  // decoder asks for the stream's bytes up to one past its last (the read-ahead, served here
  // from the data that follows).
  for (const char* name : {"a1000", "spaces1000", "text50k", "elf300k"}) {
    const auto image = Vector(std::string(name) + ".lzh");
    const uint32_t size = image[0] | image[1] << 8 | image[2] << 16 | static_cast<uint32_t>(image[3]) << 24;
    const uint32_t bits = static_cast<uint32_t>(image.size() - 4);
    const uint32_t blocks = (bits + STREAM_BLOCK_DATA - 1) / STREAM_BLOCK_DATA;
    const uint32_t fullBuffers = size / STREAM_OUTPUT_BUFFER_SIZE;
    const uint32_t movedIn = (4 - 1) + (bits + 1 - blocks);
    const uint32_t movedOut = size - fullBuffers;
    const Expansion e = Expand(Concat(Frame(image), kTrailer));
    ASSERT_EQ(1u, e.result) << name;
    EXPECT_EQ((movedIn + movedOut) / 1024 + (1 + blocks) + (fullBuffers + 1), e.ticks) << name;
  }
}
