// The framing writer: block layout, the reader's "fewer than 8 bytes left" rule and how the
// writing side avoids the streams it would spoil, and the check of every framed stream.
#include <gtest/gtest.h>

#include <thread>

#include "packing_fixture.h"
#include "test_support.h"

using namespace packtest;

namespace {

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | static_cast<uint32_t>(b[at + 1]) << 8;
}

// Inputs of one kind and growing length whose plain encoding, framed, ends just past a block
// edge: where the reader's tail rule bites if it is going to.
std::vector<size_t> LengthsJustPastABlockEdge(const std::vector<uint8_t>& data, size_t blocks, size_t count) {
  const size_t edge = blocks * STREAM_BLOCK_DATA;
  size_t lo = 1;
  size_t hi = data.size();
  while (lo < hi) {  // the shortest prefix whose bit stream reaches past the edge
    const size_t mid = (lo + hi) / 2;
    if (LzhufEncode(data.data(), mid).size() - 4 > edge) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  std::vector<size_t> lengths;
  for (size_t n = lo >= 8 ? lo - 8 : 0; n < lo + count && n <= data.size(); n++) lengths.push_back(n);
  return lengths;
}

}  // namespace

TEST(BlockWriter, FramesASizeBlockThenFullBlocksThenTheRest) {
  for (size_t bits : {size_t{0}, size_t{1}, size_t{10233}, size_t{10234}, size_t{10235}, size_t{2 * 10234},
                      size_t{2 * 10234 + 77}}) {
    std::vector<uint8_t> image = {0x10, 0x27, 0x00, 0x00};
    Random r(static_cast<uint32_t>(bits));
    for (size_t i = 0; i < bits; i++) image.push_back(static_cast<uint8_t>(r.Next() >> 24));
    const auto framed = FrameLzhufImage(image);

    std::vector<uint8_t> data;
    std::vector<uint32_t> lengths;
    for (size_t at = 0; at < framed.size();) {
      ASSERT_LE(at + STREAM_HEADER_SIZE, framed.size());
      EXPECT_EQ(STREAM_BLOCK_MAGIC, Le16(framed, at));
      const uint32_t length = Le16(framed, at + 4);
      ASSERT_LE(at + length, framed.size());
      uint32_t sum = STREAM_CHECKSUM_BASE;
      for (size_t i = at + STREAM_HEADER_SIZE; i < at + length; i++) sum += framed[i];
      EXPECT_EQ(sum & 0xFFFF, Le16(framed, at + 2));
      data.insert(data.end(), framed.begin() + static_cast<long>(at + STREAM_HEADER_SIZE),
                  framed.begin() + static_cast<long>(at + length));
      lengths.push_back(length);
      at += length;
    }
    EXPECT_EQ(image, data) << bits;
    ASSERT_EQ(1 + (bits + STREAM_BLOCK_DATA - 1) / STREAM_BLOCK_DATA, lengths.size()) << bits;
    EXPECT_EQ(STREAM_SIZE_BLOCK_SIZE, lengths[0]);
    for (size_t k = 1; k + 1 < lengths.size(); k++) EXPECT_EQ(STREAM_BLOCK_SIZE, lengths[k]) << bits;
    if (bits > 0) {
      EXPECT_EQ(STREAM_HEADER_SIZE + (bits - 1) % STREAM_BLOCK_DATA + 1, lengths.back()) << bits;
    }
  }
  EXPECT_THROW(FrameLzhufImage({1, 2, 3}), std::invalid_argument);
}

TEST(BlockWriter, EntriesOfOneToSevenBytesAreMadeFromZeroBitsSoTheyMustBeStored) {
  // The reader never fetches the data block of so short an entry: it decodes zero bits and
  // still reports success (room is left for a match that zero bits may decode to).
  for (size_t n = 1; n < STREAM_TAIL_RULE_BYTES; n++) {
    const std::vector<uint8_t> data(n, 'A');
    const auto framed = FrameLzhufImage(LzhufEncode(data.data(), n));
    const Expanded e = ExpandFramed(framed, ZeroTrailer(), static_cast<uint32_t>(n + LZ_MAX_MATCH));
    EXPECT_EQ(1u, e.result) << n;
    ASSERT_GE(e.output.size(), n);
    EXPECT_FALSE(std::equal(data.begin(), data.end(), e.output.begin())) << n;
    EXPECT_GT(e.sourceLeft, 0u) << n << ": the data block is never read";

    const CompressedEntry entry = CompressEntry(data.data(), n);
    EXPECT_FALSE(entry.ok) << n;
    EXPECT_FALSE(entry.problem.empty()) << n;
  }
  std::vector<uint8_t> image;
  EXPECT_TRUE(LzhufEncodeForStream(nullptr, 0, &image));
  const CompressedEntry empty = CompressEntry(nullptr, 0);
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(STREAM_SIZE_BLOCK_SIZE, empty.bytes.size());
}

TEST(BlockWriter, AFinalBlockHoldingOnlyTheLastFewBytesIsNeverFetched) {
  // The plain encoding of these inputs ends a few bytes into a new block, and the decoder
  // only asks for that block while its last few bytes are being made: the reader has stopped
  // fetching by then, the last bytes come from zero bits, and the expansion reports success.
  const auto data = Mixed(120000, 11);
  size_t lossy = 0;
  for (size_t n : LengthsJustPastABlockEdge(data, 1, 64)) {
    const auto framed = FrameLzhufImage(LzhufEncode(data.data(), n));
    // Room for a last match that zero bits may decode to.
    const Expanded plain = ExpandFramed(framed, ZeroTrailer(), static_cast<uint32_t>(n + LZ_MAX_MATCH));
    const std::vector<uint8_t> original(data.begin(), data.begin() + static_cast<long>(n));
    if (plain.output == original) continue;
    lossy++;
    EXPECT_EQ(1u, plain.result) << n;
    ASSERT_GE(plain.output.size(), n) << n;
    EXPECT_GT(plain.sourceLeft, 0u) << n;
    // Only the bytes after the reader stopped are wrong.
    EXPECT_TRUE(std::equal(original.begin(), original.end() - (STREAM_TAIL_RULE_BYTES - 1), plain.output.begin()))
        << n;
    std::string problem;
    EXPECT_FALSE(CheckFramedStream(framed, original.data(), n, &problem)) << n;

    // The writing side changes the encoding of the last bytes instead.
    const CompressedEntry entry = CompressEntry(original.data(), n);
    ASSERT_TRUE(entry.ok) << n << ": " << entry.problem;
    const Expanded fixed = ExpandFramed(entry.bytes, ZeroTrailer(), static_cast<uint32_t>(n));
    EXPECT_EQ(1u, fixed.result) << n;
    EXPECT_TRUE(fixed.output == original) << n;
    EXPECT_EQ(0u, fixed.sourceLeft) << n;
  }
  EXPECT_GT(lossy, 0u) << "no input of this kind ends where the tail rule bites";
}

TEST(BlockWriter, EveryStreamItWritesExpandsExactlyWhateverFollowsIt) {
  // Lengths around the first and second block edges, for data of several kinds; each stream
  // is expanded at the end of the file, before zero bytes, and before another stream.
  struct Kind {
    const char* what;
    std::vector<uint8_t> data;
  };
  const std::vector<Kind> kinds = {{"text", Text(80000, 21)}, {"program-like", Mixed(60000, 22)}};
  for (const Kind& kind : kinds) {
    for (size_t blocks : {size_t{1}, size_t{2}}) {
      for (size_t n : LengthsJustPastABlockEdge(kind.data, blocks, 24)) {
        const CompressedEntry entry = CompressEntry(kind.data.data(), n);
        ASSERT_TRUE(entry.ok) << kind.what << " " << n << ": " << entry.problem;
        const std::vector<uint8_t> original(kind.data.begin(), kind.data.begin() + static_cast<long>(n));
        for (const auto& after : {std::vector<uint8_t>{}, ZeroTrailer(), StreamTrailer()}) {
          const Expanded e = ExpandFramed(entry.bytes, after, static_cast<uint32_t>(n));
          EXPECT_EQ(1u, e.result) << kind.what << " " << n << " before " << after.size() << " bytes";
          EXPECT_TRUE(e.output == original) << kind.what << " " << n << " before " << after.size() << " bytes";
          EXPECT_EQ(0u, e.sourceLeft) << kind.what << " " << n;
        }
      }
    }
  }
}

TEST(BlockWriter, IncompressibleEndsThatNoEncodingSavesAreReportedForStoring) {
  // With nothing but literals there is no other encoding of the last bytes: where the plain
  // one would be spoilt, the entry must be stored; everywhere else it is framed as usual.
  const auto data = Incompressible(30000, 31);
  size_t refused = 0;
  for (size_t n : LengthsJustPastABlockEdge(data, 1, 16)) {
    const CompressedEntry entry = CompressEntry(data.data(), n);
    if (!entry.ok) {
      refused++;
      EXPECT_NE(std::string::npos, entry.problem.find("final block")) << entry.problem;
      continue;
    }
    const Expanded e = ExpandFramed(entry.bytes, {}, static_cast<uint32_t>(n));
    EXPECT_EQ(1u, e.result) << n;
    EXPECT_TRUE(std::equal(e.output.begin(), e.output.end(), data.begin()) && e.output.size() == n) << n;
  }
  EXPECT_GT(refused, 0u);
}

TEST(BlockWriter, CheckRejectsStreamsTheReaderWouldSpoil) {
  const auto data = Text(30000, 41);
  const CompressedEntry good = CompressEntry(data.data(), data.size());
  ASSERT_TRUE(good.ok);
  std::string problem;
  EXPECT_TRUE(CheckFramedStream(good.bytes, data.data(), data.size(), &problem)) << problem;

  auto damaged = good.bytes;
  damaged[STREAM_SIZE_BLOCK_SIZE + 100] ^= 0x01;  // data changed, checksum not
  EXPECT_FALSE(CheckFramedStream(damaged, data.data(), data.size(), &problem));
  EXPECT_NE(std::string::npos, problem.find("failure")) << problem;

  auto other = data;
  other[20000] ^= 0x01;
  EXPECT_FALSE(CheckFramedStream(good.bytes, other.data(), other.size(), &problem));
  EXPECT_NE(std::string::npos, problem.find("other bytes")) << problem;

  // The published encoder's a1000 ends in a long match: its read-ahead asks for another block
  // while 8 or more bytes are still to come, which only works when something follows.
  const auto a1000 = testsupport::ReadFile(testsupport::SharedPath("vectors/lzhuf/a1000.bin"));
  const auto published = FrameLzhufImage(testsupport::ReadFile(testsupport::SharedPath("vectors/lzhuf/a1000.lzh")));
  EXPECT_FALSE(CheckFramedStream(published, a1000.data(), a1000.size(), &problem));
  const CompressedEntry ours = CompressEntry(a1000.data(), a1000.size());
  ASSERT_TRUE(ours.ok) << ours.problem;
  EXPECT_EQ(1u, ExpandFramed(ours.bytes, {}, 1000).result);
}

TEST(BlockWriter, CompressesOnSeveralThreadsAtOnce) {
  std::vector<std::vector<uint8_t>> inputs;
  for (uint32_t i = 0; i < 4; i++) inputs.push_back(i % 2 ? Text(150000, 50 + i) : Mixed(150000, 50 + i));
  std::vector<CompressedEntry> alone;
  for (const auto& in : inputs) alone.push_back(CompressEntry(in.data(), in.size()));
  std::vector<CompressedEntry> together(inputs.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < inputs.size(); i++) {
    threads.emplace_back([&, i] { together[i] = CompressEntry(inputs[i].data(), inputs[i].size()); });
  }
  for (auto& t : threads) t.join();
  for (size_t i = 0; i < inputs.size(); i++) {
    ASSERT_TRUE(alone[i].ok);
    EXPECT_TRUE(together[i].ok) << together[i].problem;
    EXPECT_EQ(alone[i].bytes, together[i].bytes);
  }
}
