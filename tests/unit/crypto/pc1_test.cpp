#include "crypto/pc1.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

using testsupport::FromHex;

namespace {

std::vector<uint8_t> Encipher(const char* key, std::vector<uint8_t> data) {
  Pc1SetKey(key);
  Pc1Process(data.data(), static_cast<uint32_t>(data.size()), 1);
  return data;
}

std::vector<uint8_t> Decipher(const char* key, std::vector<uint8_t> data) {
  Pc1SetKey(key);
  Pc1Process(data.data(), static_cast<uint32_t>(data.size()), 0);
  return data;
}

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; i++) v[i] = static_cast<uint8_t>(i * 31 + 7);
  return v;
}

}  // namespace

TEST(Pc1, MatchesPublishedVectorsBothWays) {
  std::ifstream in(testsupport::SharedPath("vectors/pc1/vectors.txt"));
  ASSERT_TRUE(in) << "missing shared PC1 vectors";
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key, plainHex, cipherHex;
    std::getline(fields, key, '\t');
    std::getline(fields, plainHex, '\t');
    std::getline(fields, cipherHex, '\t');
    const auto plain = FromHex(plainHex);
    const auto cipher = FromHex(cipherHex);
    EXPECT_EQ(Encipher(key.c_str(), plain), cipher) << "key '" << key << "', " << plain.size() << " bytes";
    EXPECT_EQ(Decipher(key.c_str(), cipher), plain) << "key '" << key << "', " << plain.size() << " bytes";
    cases++;
  }
  EXPECT_GE(cases, 6);
}

TEST(Pc1, AuthorsKnownAnswerWithBinaryKey) {
  // The key bytes are not text-safe (0x9A, 0xF4...) but contain no zero, so a text carries them.
  const char key[] = "\x41\x72\x9A\x6B\x7C\x8D\x24\x8F\xF4\x0F";
  EXPECT_EQ(Encipher(key, {0x41, 0x42, 0x43}), (std::vector<uint8_t>{0xAF, 0x7C, 0x9C}));
}

TEST(Pc1, KeyTextRules) {
  const auto data = Pattern(100);
  // Null selects the default text.
  EXPECT_EQ(Encipher(nullptr, data), Encipher("Fjord", data));
  // Only the first 10 characters are key; 13 characters keep a terminator, 14 or more do not.
  EXPECT_EQ(Encipher("0123456789abc", data), Encipher("0123456789", data));
  EXPECT_EQ(Encipher("0123456789abcdefghij", data), Encipher("0123456789", data));
  // An empty text is the all-zero key, which differs from a short text.
  EXPECT_NE(Encipher("", data), Encipher("A", data));
  const char zeroKey[1] = {0};
  EXPECT_EQ(Encipher("", data), Encipher(zeroKey, data));
}

TEST(Pc1, RoundTripsAndSplitsAnyBuffer) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{39}, size_t{1052}, size_t{4099}}) {
    const auto data = Pattern(n);
    EXPECT_EQ(Decipher("WISP", Encipher("WISP", data)), data) << n;
    // Deciphering first and enciphering after restores too: the directory search undoes failed
    // tries this way.
    EXPECT_EQ(Encipher("WISP", Decipher("WISP", data)), data) << n;

    for (size_t cut : {size_t{0}, n / 3, n}) {
      auto split = data;
      Pc1SetKey("WISP");
      Pc1Process(split.data(), static_cast<uint32_t>(cut), 1);
      Pc1Process(split.data() + cut, static_cast<uint32_t>(n - cut), 1);
      EXPECT_EQ(split, Encipher("WISP", data)) << n << " cut at " << cut;
    }
  }
}

TEST(Pc1, ZeroLengthLeavesStateAlone) {
  auto a = Pattern(16);
  auto b = a;
  Pc1SetKey("Fjord");
  Pc1Process(nullptr, 0, 1);
  Pc1Process(a.data(), 16, 1);
  EXPECT_EQ(a, Encipher("Fjord", b));
}

TEST(XorMaskTest, MaskByteRules) {
  const std::vector<uint8_t> data = {0x00, 0xFF, 0x5A, 0x12};
  auto v = data;
  XorMask(v.data(), 4, 0);
  EXPECT_EQ(v, data);
  XorMask(v.data(), 4, 0x1200);  // low byte 0: unchanged
  EXPECT_EQ(v, data);
  XorMask(v.data(), 4, 0x5A);
  EXPECT_EQ(v, (std::vector<uint8_t>{0x5A, 0xA5, 0x00, 0x48}));
  XorMask(v.data(), 4, 0x7F5A);  // only the low byte counts; twice restores
  EXPECT_EQ(v, data);
}
