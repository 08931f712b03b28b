// The lzhuf command on the published vectors, on its own output, and on damaged input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "packing_fixture.h"
#include "test_support.h"

namespace {

struct Outcome {
  int status;
  std::string errors;
};

Outcome Lzhuf(const std::string& args, const testsupport::ScratchDir& dir) {
  const std::string err = dir.File("stderr.txt");
  const std::string command = std::string(LZHUF_COMMAND) + " " + args + " 2>" + err;
  const int raw = std::system(command.c_str());
  const auto bytes = testsupport::ReadFile(err);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(bytes.begin(), bytes.end())};
}

std::string Vector(const std::string& name) {
  return testsupport::SharedPath("vectors/lzhuf/" + name);
}

const char* const kVectors[] = {"empty", "byte1", "a1000", "spaces1000", "text50k", "elf300k"};

}  // namespace

TEST(LzhufCommand, DecodesEveryPublishedVector) {
  testsupport::ScratchDir dir("lzhuf-cli");
  for (const char* name : kVectors) {
    const std::string out = dir.File(std::string(name) + ".out");
    const Outcome r = Lzhuf("d " + Vector(std::string(name) + ".lzh") + " " + out, dir);
    EXPECT_EQ(0, r.status) << name << ": " << r.errors;
    EXPECT_EQ(testsupport::ReadFile(Vector(std::string(name) + ".bin")), testsupport::ReadFile(out)) << name;
  }
}

TEST(LzhufCommand, DecodesFramedVectorsThroughTheStreamReader) {
  testsupport::ScratchDir dir("lzhuf-cli");
  for (const char* name : kVectors) {
    const std::string framed = dir.File(std::string(name) + ".framed");
    testsupport::WriteFile(framed, FrameLzhufImage(testsupport::ReadFile(Vector(std::string(name) + ".lzh"))));
    const std::string out = dir.File(std::string(name) + ".out");
    const Outcome r = Lzhuf("d --framed " + framed + " " + out, dir);
    if (std::string(name) == "byte1") {
      // One byte: the reader never fetches the data block and makes the byte from zero bits.
      EXPECT_NE(0, r.status);
      EXPECT_NE(std::string::npos, r.errors.find("zero bits")) << r.errors;
      EXPECT_FALSE(std::filesystem::exists(out));
      continue;
    }
    EXPECT_EQ(0, r.status) << name << ": " << r.errors;
    EXPECT_EQ(testsupport::ReadFile(Vector(std::string(name) + ".bin")), testsupport::ReadFile(out)) << name;
  }
}

TEST(LzhufCommand, EncodesWhatItDecodes) {
  testsupport::ScratchDir dir("lzhuf-cli");
  const std::string mixed = dir.File("mixed.bin");
  testsupport::WriteFile(mixed, packtest::Mixed(400000, 61));
  for (const std::string& in : {Vector("text50k.bin"), Vector("elf300k.bin"), Vector("empty.bin"), mixed}) {
    for (const std::string mode : {"", "--framed "}) {
      const Outcome e = Lzhuf("e " + mode + in + " " + dir.File("x.lzh"), dir);
      ASSERT_EQ(0, e.status) << in << " " << mode << e.errors;
      const Outcome d = Lzhuf("d " + mode + dir.File("x.lzh") + " " + dir.File("x.out"), dir);
      ASSERT_EQ(0, d.status) << in << " " << mode << d.errors;
      EXPECT_EQ(testsupport::ReadFile(in), testsupport::ReadFile(dir.File("x.out"))) << in << " " << mode;
    }
  }
  // A five-byte file cannot be a compressed stream.
  testsupport::WriteFile(dir.File("five.bin"), {1, 2, 3, 4, 5});
  const Outcome refused = Lzhuf("e --framed " + dir.File("five.bin") + " " + dir.File("five.lzh"), dir);
  EXPECT_NE(0, refused.status);
  EXPECT_NE(std::string::npos, refused.errors.find("store it")) << refused.errors;
  EXPECT_FALSE(std::filesystem::exists(dir.File("five.lzh")));
}

TEST(LzhufCommand, DamagedInputFailsWithAMessageAndWritesNothing) {
  testsupport::ScratchDir dir("lzhuf-cli");
  const auto text = testsupport::ReadFile(Vector("text50k.lzh"));
  const auto a1000 = testsupport::ReadFile(Vector("a1000.lzh"));
  struct Case {
    const char* what;
    bool framed;
    std::vector<uint8_t> input;
    const char* message;
  };
  std::vector<Case> cases;
  cases.push_back({"shorter than the size field", false, {0x10, 0x27}, "size field"});
  cases.push_back({"cut in half", false, std::vector<uint8_t>(text.begin(), text.begin() + text.size() / 2),
                   "ends before"});
  {
    auto v = a1000;
    v[0] = 0xE7;  // 999 instead of 1000: the last match runs past it
    v[1] = 0x03;
    cases.push_back({"last match runs past the size", false, v, "past"});
  }
  {
    auto v = a1000;
    v[3] = 0x01;  // 16 MiB from 34 bytes of bit stream
    cases.push_back({"size larger than the bits can give", false, v, "can expand to"});
  }
  {
    auto v = FrameLzhufImage(text);
    v[STREAM_SIZE_BLOCK_SIZE + STREAM_BLOCK_SIZE + 50] ^= 0x40;
    cases.push_back({"changed byte in the second data block", true, v, "failed block"});
  }
  {
    auto v = FrameLzhufImage(text);
    v.resize(v.size() - 1);
    cases.push_back({"last block cut short", true, v, "failed block"});
  }
  {
    auto v = FrameLzhufImage(text);
    v[2] ^= 1;
    cases.push_back({"bad size block", true, v, "size block"});
  }
  for (const Case& c : cases) {
    const std::string in = dir.File("damaged.lzh");
    const std::string out = dir.File("damaged.out");
    testsupport::WriteFile(in, c.input);
    std::filesystem::remove(out);
    const Outcome r = Lzhuf(std::string("d ") + (c.framed ? "--framed " : "") + in + " " + out, dir);
    EXPECT_EQ(1, r.status) << c.what;
    EXPECT_NE(std::string::npos, r.errors.find(c.message)) << c.what << ": " << r.errors;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.what;
  }
  EXPECT_EQ(2, Lzhuf("x a b", dir).status);
  EXPECT_EQ(2, Lzhuf("d only-one", dir).status);
  EXPECT_EQ(1, Lzhuf("d " + dir.File("missing") + " " + dir.File("out"), dir).status);
}
