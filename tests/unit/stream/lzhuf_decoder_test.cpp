// The decoder against images made by the published LZHUF encoder, fed whole with no framing.
#include <gtest/gtest.h>

#include "stream_fixture.h"

using namespace streamtest;

namespace {

std::vector<uint8_t> ExpandRaw(const std::vector<uint8_t>& image, uint32_t capacity, uint32_t* result) {
  std::vector<uint8_t> out(capacity + 64, 0xEE);
  StreamSetOutputMemory(out.data(), capacity);
  *result = StreamExpandRaw(image.data(), static_cast<uint32_t>(image.size()), FILE_HANDLE_INVALID);
  for (size_t i = capacity; i < out.size(); i++) EXPECT_EQ(0xEE, out[i]) << "write past the memory at " << i;
  out.resize(StreamTotalWritten());
  return out;
}

}  // namespace

TEST(LzhufDecoder, PublishedEncoderVectorsExpandExactly) {
  for (const char* name : {"empty", "byte1", "a1000", "spaces1000", "text50k", "elf300k"}) {
    const auto original = Vector(std::string(name) + ".bin");
    const auto image = Vector(std::string(name) + ".lzh");
    ASSERT_GE(image.size(), 4u) << name;
    uint32_t result = 0;
    const auto out = ExpandRaw(image, static_cast<uint32_t>(original.size()), &result);
    EXPECT_EQ(1u, result) << name;
    EXPECT_EQ(original, out) << name;
  }
}

TEST(LzhufDecoder, EarlyEndOfInputFeedsZeroBitsUpToTheSize) {
  // A cut image still produces exactly the stated size: the missing bits read as zeros.
  auto image = Vector("text50k.lzh");
  image.resize(image.size() / 2);
  uint32_t result = 0;
  const auto out = ExpandRaw(image, 50000 + 59, &result);
  EXPECT_EQ(1u, result);
  EXPECT_GE(out.size(), 50000u);
  EXPECT_LE(out.size(), 50000u + 59);
  const auto original = Vector("text50k.bin");
  EXPECT_TRUE(std::equal(original.begin(), original.begin() + 1000, out.begin()));
}

TEST(LzhufDecoder, MemoryBoundIsNeverCrossed) {
  // A size field larger than the caller's memory fails instead of writing past it.
  const auto image = Vector("a1000.lzh");
  uint32_t result = 1;
  const auto out = ExpandRaw(image, 600, &result);
  EXPECT_EQ(0u, result);
  EXPECT_EQ(600u, out.size());
}
