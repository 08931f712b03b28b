// The encoder: its images expand exactly through the stub's decoder, whatever the previous
// expansion left in the window, and come out smaller than the published encoder's.
#include <gtest/gtest.h>

#include "packing_fixture.h"
#include "test_support.h"

using namespace packtest;

namespace {

std::vector<uint8_t> Published(const std::string& name) {
  return testsupport::ReadFile(testsupport::SharedPath("vectors/lzhuf/" + name));
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace

TEST(LzhufEncoder, RoundTripsThroughTheDecoder) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> allBytes;
  for (int round = 0; round < 3; round++) {
    for (int b = 0; b < 256; b++) allBytes.push_back(static_cast<uint8_t>(b));
  }
  const std::vector<Case> cases = {
      {"empty", {}},
      {"one byte", {0x41}},
      {"two bytes", {0x00, 0xFF}},
      {"three equal bytes", Bytes("aaa")},
      {"seven bytes", Bytes("setup!\n")},
      {"spaces, as the window starts", std::vector<uint8_t>(5000, ' ')},
      {"every byte value", allBytes},
      {"a run longer than any match", std::vector<uint8_t>(100000, 0x5A)},
      {"highly repetitive", [] {
         std::vector<uint8_t> v;
         while (v.size() < 300000) v.insert(v.end(), {'a', 'b', 'c', 'a', 'b', 'd'});
         return v;
       }()},
      {"incompressible", Incompressible(70000, 1)},
      {"text", Text(200000, 2)},
      {"program-like", Mixed(300000, 3)},
      // Millions of symbols: the tree is rebuilt with halved counts a hundred times and more.
      {"multi-megabyte incompressible", Incompressible(2500000, 4)},
      {"multi-megabyte mixed", Mixed(3000000, 5)},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> image = LzhufEncode(c.data.data(), c.data.size());
    ASSERT_GE(image.size(), 4u) << c.what;
    const Expanded e = ExpandRaw(image, static_cast<uint32_t>(c.data.size()));
    EXPECT_EQ(1u, e.result) << c.what;
    EXPECT_TRUE(e.output == c.data) << c.what;
    // Every bit the decoder used was in the image: at most the read-ahead went past it.
    EXPECT_LE(e.requestsPastEnd, 1u) << c.what;
  }
}

TEST(LzhufEncoder, NeverReadsWindowSlotsTheStreamHasNotWritten) {
  // Slots 4036..4095 keep what the previous expansion left there; fill them with 'Z' first.
  const std::vector<uint8_t> poison(9000, 'Z');
  const auto poisonImage = LzhufEncode(poison.data(), poison.size());
  for (const std::string& start : {std::string(60, ' '), std::string(200, ' ') + "ZZZZ", std::string(1, ' ') + "x",
                                   std::string(4100, ' ') + "end"}) {
    std::vector<uint8_t> data = Bytes(start);
    const auto tail = Text(3000, 6);
    data.insert(data.end(), tail.begin(), tail.end());
    ASSERT_EQ(1u, ExpandRaw(poisonImage, static_cast<uint32_t>(poison.size())).result);
    const Expanded e = ExpandRaw(LzhufEncode(data.data(), data.size()), static_cast<uint32_t>(data.size()));
    EXPECT_EQ(1u, e.result);
    EXPECT_TRUE(e.output == data) << "data starting with " << start.size() << " bytes of spaces";
  }
  // The initial spaces are used: 60 spaces are one match, 60 x's a literal and a match.
  const std::vector<uint8_t> spaces(60, ' ');
  const std::vector<uint8_t> xs(60, 'x');
  EXPECT_LT(LzhufEncode(spaces.data(), 60).size(), LzhufEncode(xs.data(), 60).size());
}

TEST(LzhufEncoder, SmallerThanThePublishedEncoderOnRealData) {
  for (const char* name : {"text50k", "elf300k", "a1000", "spaces1000"}) {
    const auto data = Published(std::string(name) + ".bin");
    const auto theirs = Published(std::string(name) + ".lzh");
    const auto ours = LzhufEncode(data.data(), data.size());
    EXPECT_LE(ours.size(), theirs.size()) << name;
    // Same size field, same decoder: the published image and ours expand alike.
    EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + 4, theirs.begin())) << name;
  }
  for (const char* name : {"text50k", "elf300k"}) {
    const auto data = Published(std::string(name) + ".bin");
    EXPECT_LT(LzhufEncode(data.data(), data.size()).size() * 100, Published(std::string(name) + ".lzh").size() * 98)
        << name << ": at least 2% smaller";
  }
}

TEST(LzhufEncoder, SameInputSameImage) {
  const auto data = Mixed(200000, 7);
  EXPECT_EQ(LzhufEncode(data.data(), data.size()), LzhufEncode(data.data(), data.size()));
}
