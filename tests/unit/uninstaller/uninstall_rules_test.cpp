// The uninstaller's pure rules: the folder cut under double-byte code pages, the batch text to
// the byte, and the dialog texts.
#include "uninstaller/uninstall_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Code page 932 (Shift JIS): lead bytes 0x81-0x9F and 0xE0-0xFC.
int32_t ShiftJisLead(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

int32_t SingleByte(uint8_t) {
  return 0;
}

std::string Folder(const char* path, LeadByteTest test) {
  char out[256];
  return FolderOfPath(path, test, out, sizeof out) ? std::string(out) : std::string("(none)");
}

}  // namespace

TEST(UninstallFolder, CutsAtTheRealSeparator) {
  struct Case {
    const char* path;
    LeadByteTest test;
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Viewer\\uninst.exe", SingleByte, "C:\\Program Files\\Viewer"},
      {"C:\\uninst.exe", SingleByte, "C:"},
      {"uninst.exe", SingleByte, "(none)"},
      // "\x95\x5C" is one double-byte character (a kanji) whose trail byte is a backslash.
      {"C:\\Tools\\\x95\x5C.exe", ShiftJisLead, "C:\\Tools"},
      {"C:\\\x95\x5C\\uninst.exe", ShiftJisLead, "C:\\\x95\x5C"},
      // Read as single bytes, the trail byte is taken for the separator.
      {"C:\\Tools\\\x95\x5C.exe", SingleByte, "C:\\Tools\\\x95"},
      // A lead byte at the very end stands alone.
      {"C:\\A\\b\x95", ShiftJisLead, "C:\\A"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.folder, Folder(c.path, c.test)) << c.path;

  char tiny[4];
  EXPECT_EQ(0, FolderOfPath("C:\\Program Files\\x.exe", SingleByte, tiny, sizeof tiny)) << "a cut folder is never used";
  EXPECT_EQ(0, tiny[0]);
}

TEST(DeleteBatch, ExactlyFiveLinesWithCrLf) {
  char out[DELETE_BATCH_SIZE];
  const int32_t n = FormatDeleteBatch("C:\\Program Files\\Viewer\\uninst.exe", "C:\\Program Files\\Viewer", out, sizeof out);
  const std::string expected =
      ":Repeat\r\n"
      "del \"C:\\Program Files\\Viewer\\uninst.exe\"\r\n"
      "if exist \"C:\\Program Files\\Viewer\\uninst.exe\" goto Repeat\r\n"
      "rmdir \"C:\\Program Files\\Viewer\"\r\n"
      "del \"\\DelUS.bat\"\r\n";
  EXPECT_EQ(expected, std::string(out, static_cast<size_t>(n)));
  EXPECT_EQ(expected.size(), static_cast<size_t>(n));

  char small[40];
  EXPECT_EQ(0, FormatDeleteBatch("C:\\Program Files\\Viewer\\uninst.exe", "C:\\Program Files\\Viewer", small, sizeof small));
  EXPECT_EQ(0, small[0]) << "a batch that does not fit is not written at all";
}

TEST(UninstallTexts, NameTheProductAndVersion) {
  char out[UNINSTALL_TEXT_SIZE];
  ASSERT_TRUE(FormatUninstallQuestion("Sample Viewer", out, sizeof out));
  EXPECT_EQ(
      "Welcome to the Sample Viewer uninstall program.\n\nThis program will remove all of the files, components and "
      "shortcuts that were installed on your computer by the Sample Viewer setup program.\n\nIf you do not want to "
      "remove the software, then click on Cancel.",
      std::string(out));
  ASSERT_TRUE(FormatUninstallDone("Sample Viewer", "1.0", out, sizeof out));
  EXPECT_EQ(
      "The uninstall program has successfully removed the Sample Viewer 1.0 software from your computer.\n\nIf you "
      "would like to use this software again, you will need to run the setup program and re-install it.\n\nPress the "
      "OK button.",
      std::string(out));
  // A product name with a percent sign is text, not a format.
  ASSERT_TRUE(FormatUninstallDone("100%s", "%n", out, sizeof out));
  EXPECT_NE(std::string::npos, std::string(out).find("100%s %n software"));
}
