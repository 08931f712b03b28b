#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "test_support.h"

TEST(PlatformFiles, WriteReadSeekSizeAndShortCounts) {
  testsupport::ScratchDir dir("platform");
  const std::string path = dir.File("data.bin");

  FileHandle out = PlatformCreateWrite(path.c_str());
  ASSERT_NE(FILE_HANDLE_INVALID, out);
  uint8_t bytes[300];
  for (int i = 0; i < 300; i++) bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(300u, PlatformWrite(out, bytes, 300));
  PlatformClose(out);

  FileHandle in = PlatformOpenRead(path.c_str());
  ASSERT_NE(FILE_HANDLE_INVALID, in);
  EXPECT_EQ(300u, PlatformFileSize(in));
  ASSERT_TRUE(PlatformSeek(in, 250));
  uint8_t back[100];
  EXPECT_EQ(50u, PlatformRead(in, back, 100)) << "a read past the end comes back short";
  EXPECT_EQ(0, std::memcmp(back, bytes + 250, 50));
  EXPECT_EQ(0u, PlatformRead(in, back, 100));
  ASSERT_TRUE(PlatformSeek(in, 0));
  EXPECT_EQ(100u, PlatformRead(in, back, 100));
  EXPECT_EQ(0, std::memcmp(back, bytes, 100));

  // The reader shares read and write access: the file can be opened again meanwhile.
  FileHandle second = PlatformOpenRead(path.c_str());
  EXPECT_NE(FILE_HANDLE_INVALID, second);
  PlatformClose(second);
  PlatformClose(in);

  // Creating again replaces the file.
  out = PlatformCreateWrite(path.c_str());
  ASSERT_NE(FILE_HANDLE_INVALID, out);
  EXPECT_EQ(3u, PlatformWrite(out, "abc", 3));
  PlatformClose(out);
  EXPECT_EQ(3u, std::filesystem::file_size(path));

  EXPECT_EQ(1, PlatformDeleteFile(path.c_str()));
  EXPECT_EQ(0, PlatformDeleteFile(path.c_str()));
  EXPECT_EQ(FILE_HANDLE_INVALID, PlatformOpenRead(path.c_str()));
}

TEST(PlatformFiles, Directories) {
  testsupport::ScratchDir dir("platform-dirs");
  const std::string sub = dir.File("Samples");
  EXPECT_EQ(1, PlatformCreateDirectory(sub.c_str()));
  EXPECT_EQ(0, PlatformCreateDirectory(sub.c_str())) << "already there";
  const std::string inner = dir.File("Samples/x.txt");
  PlatformClose(PlatformCreateWrite(inner.c_str()));
  EXPECT_EQ(0, PlatformRemoveDirectory(sub.c_str())) << "not empty";
  EXPECT_EQ(1, PlatformDeleteFile(inner.c_str()));
  EXPECT_EQ(1, PlatformRemoveDirectory(sub.c_str()));
  EXPECT_EQ(FILE_HANDLE_INVALID, PlatformCreateWrite(dir.File("missing/x.txt").c_str()));
}

TEST(PlatformFiles, OwnPathIsThisProgram) {
  char path[256];
  const uint32_t n = PlatformOwnPath(path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, std::strlen(path));
  EXPECT_NE(nullptr, std::strstr(path, "platform_tests"));
  // A buffer too small cuts the path but keeps it terminated.
  char tiny[5];
  std::memset(tiny, 'x', sizeof tiny);
  PlatformOwnPath(tiny, sizeof tiny);
  EXPECT_EQ(4u, std::strlen(tiny));
}
