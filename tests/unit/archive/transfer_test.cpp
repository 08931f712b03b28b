// The transfer engine on its own: chunk edges, the mask, short reads and writes, counts taken as
// unsigned, and compressed input decoded to a file or into bounded memory.
#include <algorithm>

#include "archive_fixture.h"

using namespace archivetest;

namespace {

struct Moved {
  uint32_t result = 0;
  uint32_t count = 0;
  std::vector<uint8_t> output;
  int nextInputByte = -1;  // what the input file hands out after the transfer
};

// Transfers from the start of a file holding `input`, to a file or (capacity >= 0) to memory of
// that capacity followed by guard bytes that must stay untouched.
Moved Transfer(const std::vector<uint8_t>& input, uint32_t count, uint32_t flags, long capacity = -1) {
  testsupport::ScratchDir dir("transfer");
  WriteFile(dir.File("in.bin"), input);
  FileHandle in = PlatformOpenRead(dir.File("in.bin").c_str());
  Moved run;
  run.count = count;
  if (capacity >= 0) {
    std::vector<uint8_t> memory(static_cast<size_t>(capacity) + 64, 0xEE);
    run.result = TransferData(in, memory.data(), &run.count, flags | TF_TO_MEMORY, static_cast<uint32_t>(capacity));
    EXPECT_TRUE(std::all_of(memory.begin() + capacity, memory.end(), [](uint8_t b) { return b == 0xEE; }))
        << "write past the memory's capacity";
    memory.resize(std::min<size_t>(static_cast<size_t>(capacity), run.count));
    run.output = memory;
  } else {
    FileHandle out = PlatformCreateWrite(dir.File("out.bin").c_str());
    run.result = TransferData(in, out, &run.count, flags, 0);
    PlatformClose(out);
    run.output = ReadFile(dir.File("out.bin"));
  }
  uint8_t next;
  if (PlatformRead(in, &next, 1) == 1) run.nextInputByte = next;
  PlatformClose(in);
  return run;
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& v, size_t n) {
  return std::vector<uint8_t>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
}

std::vector<uint8_t> Masked(std::vector<uint8_t> v, uint8_t mask) {
  for (uint8_t& b : v) b ^= mask;
  return v;
}

}  // namespace

TEST(ArchiveTransfer, StoredCopiesAtTheChunkEdges) {
  const uint32_t C = TRANSFER_CHUNK_SIZE;
  const auto input = Pattern(2 * C + 100, 21);
  struct Case {
    const char* what;
    uint32_t count;
    uint32_t flags;
    long capacity;
    uint32_t result;
    uint32_t written;
    std::vector<uint8_t> expected;  // the output
  } cases[] = {
      {"count 0", 0, 0, -1, 1, 0, {}},
      {"count 0 to memory", 0, 0, 0, 1, 0, {}},
      {"one above the chunk size", C + 1, 0, -1, 1, C + 1, Head(input, C + 1)},
      {"exactly two chunks", 2 * C, 0, -1, 1, 2 * C, Head(input, 2 * C)},
      {"past the end: the short chunk is dropped", 2 * C + 101, 0, -1, 0, 2 * C, Head(input, 2 * C)},
      {"past the end in the first chunk", 2 * C + 100 + C, 0, -1, 0, 2 * C, Head(input, 2 * C)},
      {"negative count: a short read at the end", 0xFFFFFFFFu, 0, -1, 0, 2 * C, Head(input, 2 * C)},
      {"negative count to memory ends at the capacity", 0x80000000u, 0, C + 7, 0, C + 7, Head(input, C + 7)},
      {"mask 0xA5", C + 1, 0xA5, -1, 1, C + 1, Masked(Head(input, C + 1), 0xA5)},
      {"mask 0xA5 to memory", 300, 0xA5, 300, 1, 300, Masked(Head(input, 300), 0xA5)},
      {"only bits 0-7 are the mask", 300, 0x1A5 | TF_KIND_COMPRESSED, -1, 1, 300, Masked(Head(input, 300), 0xA5)},
      {"memory too small: what fits, then failure", C + 1, 0, C - 3, 0, C - 3, Head(input, C - 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Moved run = Transfer(input, c.count, c.flags, c.capacity);
    EXPECT_EQ(c.result, run.result);
    EXPECT_EQ(c.written, run.count);
    EXPECT_EQ(c.expected, run.output);
  }
  EXPECT_EQ(input[0], Transfer(input, 0, 0).nextInputByte) << "count 0 reads nothing";
  EXPECT_EQ(input[C + 1], Transfer(input, C + 1, 0).nextInputByte);
  // The mask of a stored byte 0xFF.
  EXPECT_EQ(std::vector<uint8_t>{0x5A}, Transfer({0xFF}, 1, 0xA5).output);
  EXPECT_EQ(std::vector<uint8_t>{0xFF}, Transfer({0xFF}, 1, 0).output);
}

TEST(ArchiveTransfer, ShortWritesAndMissingDestinationsFail) {
  testsupport::ScratchDir dir("transfer");
  const auto input = Pattern(5000, 22);
  WriteFile(dir.File("in.bin"), input);
  FileHandle in = PlatformOpenRead(dir.File("in.bin").c_str());
  FileHandle readOnly = PlatformOpenRead(dir.File("in.bin").c_str());
  uint32_t count = 5000;
  EXPECT_EQ(0u, TransferData(in, readOnly, &count, 0, 0)) << "a handle that cannot be written";
  EXPECT_EQ(0u, count);
  count = 10;
  EXPECT_EQ(0u, TransferData(in, nullptr, &count, TF_TO_MEMORY, 100));
  EXPECT_EQ(0u, count);
  count = 10;
  EXPECT_EQ(0u, TransferData(in, nullptr, &count, TF_COMPRESSED | TF_TO_MEMORY, 100));
  EXPECT_EQ(0u, count);
  PlatformClose(readOnly);
  PlatformClose(in);
}

TEST(ArchiveTransfer, CompressedInputIsDecodedWhateverTheCount) {
  const Compressed text = Vector("text50k");
  const auto input = Concat(text.framed, Pattern(100, 23));  // other entries follow a stream
  const uint32_t size = static_cast<uint32_t>(text.original.size());
  struct Case {
    const char* what;
    uint32_t count;
    long capacity;
    uint32_t result;
    uint32_t written;
  } cases[] = {
      {"to a file", 5, -1, 1, size},
      {"to memory, count 5", 5, static_cast<long>(size), 1, size},
      {"to memory, count 0", 0, static_cast<long>(size), 1, size},
      {"memory one byte short", 5, static_cast<long>(size) - 1, 0, size - 1},
      {"memory of one buffer", 5, 10240, 0, 10240},
      {"memory of nothing", 5, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Moved run = Transfer(input, c.count, TF_COMPRESSED | 0xA5, c.capacity);
    EXPECT_EQ(c.result, run.result);
    EXPECT_EQ(c.written, run.count);
    EXPECT_EQ(Head(text.original, c.written), run.output) << "the mask is not applied to compressed data";
  }
  const Moved broken = Transfer(Pattern(3000, 24), 3000, TF_COMPRESSED);
  EXPECT_EQ(0u, broken.result);
  EXPECT_EQ(0u, broken.count);
}
