#include "installer/installer_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Format(uint32_t size, const char* format, std::initializer_list<const char*> args, int32_t* fit = nullptr) {
  std::string buffer(size + 8, '#');  // guard bytes after the bound
  const int32_t r = FormatText(&buffer[0], size, format, args.begin(), (int32_t)args.size());
  if (fit) *fit = r;
  for (uint32_t i = size; i < size + 8; i++) EXPECT_EQ(buffer[i], '#') << "written past the bound at " << i;
  return std::string(buffer.c_str());
}

// --- the bounded formatter and the name-format check ------------------------------------------

TEST(FormatText, FillsNamesAndPercentSigns) {
  int32_t fit = 0;
  EXPECT_EQ(Format(64, "Run %s", {"Viewer"}, &fit), "Run Viewer");
  EXPECT_EQ(fit, 1);
  EXPECT_EQ(Format(64, "%s\\%s", {"C:\\A", "b.exe"}, &fit), "C:\\A\\b.exe");
  EXPECT_EQ(fit, 1);
  EXPECT_EQ(Format(64, "100%% of %s", {"it"}, &fit), "100% of it");
  EXPECT_EQ(fit, 1);
}

TEST(FormatText, CutsAtTheBoundAndSaysSo) {
  int32_t fit = 1;
  // Exactly fitting: 9 characters and the terminator in 10 bytes.
  EXPECT_EQ(Format(10, "Run %s", {"Viewe"}, &fit), "Run Viewe");
  EXPECT_EQ(fit, 1);
  EXPECT_EQ(Format(10, "Run %s", {"Viewer"}, &fit), "Run Viewe");
  EXPECT_EQ(fit, 0);
  EXPECT_EQ(Format(1, "%s", {"x"}, &fit), "");
  EXPECT_EQ(fit, 0);
  char untouched = '#';
  EXPECT_EQ(FormatText(&untouched, 0, "x", nullptr, 0), 0);
  EXPECT_EQ(untouched, '#');
}

TEST(FormatText, StopsAtDirectivesItDoesNotKnow) {
  int32_t fit = 1;
  // No argument is read for %d, and a %s without an argument reads nothing either.
  EXPECT_EQ(Format(64, "a%db", {"x"}, &fit), "a");
  EXPECT_EQ(fit, 0);
  EXPECT_EQ(Format(64, "%s and %s", {"one"}, &fit), "one and ");
  EXPECT_EQ(fit, 0);
  EXPECT_EQ(Format(64, "ends with %", {}, &fit), "ends with ");
  EXPECT_EQ(fit, 0);
}

TEST(ProductText, ConfiguredFormatOrThePlainProductName) {
  struct Case {
    const char* format;
    const char* expected;
  } const cases[] = {
      {"Installing %s", "Installing Sample Viewer"},
      {"%s: 100%% done", "Sample Viewer: 100% done"},
      {"Installing", "Installing"},
      // Anything that would pull a second argument, or another directive, is not formatted.
      {"%s%s%n", "Sample Viewer"},
      {"%x %s", "Sample Viewer"},
      {"%.300s", "Sample Viewer"},
      {"ends with %", "Sample Viewer"},
  };
  for (const Case& c : cases) {
    char out[128];
    FormatProductText(out, sizeof out, c.format, "Sample Viewer");
    EXPECT_STREQ(out, c.expected) << c.format;
  }
  char small[8];
  FormatProductText(small, sizeof small, "Installing %s", "Sample Viewer");
  EXPECT_STREQ(small, "Sample ");  // too long: the product name, cut to the buffer
}

// --- destination folder ------------------------------------------------------------------------

TEST(DefaultInstallDir, ProgramFilesAndTheInstallFolder) {
  struct Case {
    const char* programFiles;
    const char* folder;
    const char* expected;
    int32_t fallback;
  } const cases[] = {
      {"C:\\Program Files", "Sample Viewer", "C:\\Program Files\\Sample Viewer", 0},
      {"D:\\Apps", "N", "D:\\Apps\\N", 0},
      {"C:\\Program Files", "", "C:\\Program Files", 0},
      {"", "N", "C:\\Program Files\\N", 1},
      {"", "", "C:\\Program Files", 1},
  };
  for (const Case& c : cases) {
    char out[256];
    EXPECT_EQ(DefaultInstallDir(c.programFiles, c.folder, out, sizeof out), c.fallback) << c.programFiles;
    EXPECT_STREQ(out, c.expected);
  }
}

TEST(DefaultInstallDir, TooLongProgramFilesFallsBack) {
  const std::string longDir = "C:\\" + std::string(250, 'p');  // fits alone, not with "\N"
  char out[256];
  EXPECT_EQ(DefaultInstallDir(longDir.c_str(), "Name", out, sizeof out), 1);
  EXPECT_STREQ(out, "C:\\Program Files\\Name");
}

TEST(BrowseStartDir, OpensOnTheDirectoryHoldingTheInstallFolder) {
  struct Case {
    const char* installDir;
    const char* folder;
    const char* expected;
  } const cases[] = {
      {"C:\\Program Files\\N", "N", "C:\\Program Files"},
      {"D:\\N", "N", "D:\\"},  // a drive root keeps its backslash
      {"D:\\Apps\\sample viewer", "Sample Viewer", "D:\\Apps"},
      {"D:\\Apps\\Other", "N", "D:\\Apps\\Other"},  // not the install folder: unchanged
      {"C:\\Program Files", "", "C:\\Program Files"},
      {"C:\\Program Files\\", "", "C:\\Program Files"},  // empty folder name after a Browse
      {"NoBackslash", "NoBackslash", "NoBackslash"},
  };
  for (const Case& c : cases) {
    char out[256];
    BrowseStartDir(c.installDir, c.folder, out, sizeof out);
    EXPECT_STREQ(out, c.expected) << c.installDir;
  }
}

TEST(DestinationFromChoice, AppendsTheInstallFolderOnce) {
  struct Case {
    const char* chosen;
    const char* folder;
    const char* expected;
  } const cases[] = {
      {"D:\\", "N", "D:\\N"},
      {"D:\\Apps", "N", "D:\\Apps\\N"},
      {"D:\\Apps\\n", "N", "D:\\Apps\\N"},  // replaced, not doubled
      {"D:\\Apps\\N", "N", "D:\\Apps\\N"},
      {"C:\\Program Files", "Sample Viewer", "C:\\Program Files\\Sample Viewer"},
      {"C:\\Program Files\\SAMPLE VIEWER", "Sample Viewer", "C:\\Program Files\\Sample Viewer"},
      {"D:\\Apps", "", "D:\\Apps\\"},  // empty folder name: the result ends with a backslash
      {"D:\\", "", "D:\\"},
      {"\\\\server\\share", "N", "\\\\server\\share\\N"},
  };
  for (const Case& c : cases) {
    char out[256] = "old";
    EXPECT_EQ(DestinationFromChoice(c.chosen, c.folder, out, sizeof out), 1) << c.chosen;
    EXPECT_STREQ(out, c.expected) << c.chosen;
  }
}

TEST(DestinationFromChoice, RefusesWhatDoesNotFitAndKeepsTheOldDestination) {
  char out[256] = "C:\\Program Files\\N";
  // 250 characters plus "\N" fit (252 < 256); 254 plus "\Name" do not.
  const std::string fits = "D:\\" + std::string(247, 'a');
  EXPECT_EQ(DestinationFromChoice(fits.c_str(), "N", out, sizeof out), 1);
  EXPECT_EQ(std::string(out), fits + "\\N");
  std::strcpy(out, "C:\\Program Files\\N");
  const std::string tooLong = "D:\\" + std::string(251, 'a');
  EXPECT_EQ(DestinationFromChoice(tooLong.c_str(), "Name", out, sizeof out), 0);
  EXPECT_STREQ(out, "C:\\Program Files\\N");
  // The longest path the browser gives (259 characters).
  const std::string longest = "D:\\" + std::string(256, 'b');
  EXPECT_EQ(DestinationFromChoice(longest.c_str(), "N", out, sizeof out), 0);
  EXPECT_STREQ(out, "C:\\Program Files\\N");
  EXPECT_EQ(DestinationFromChoice("", "N", out, sizeof out), 0);
  EXPECT_STREQ(out, "C:\\Program Files\\N");
}

// --- texts and launch -------------------------------------------------------------

TEST(DialogTexts, Welcome) {
  char out[1024];
  WelcomeText(out, sizeof out, "Sample Viewer", "1.0");
  EXPECT_STREQ(out,
               "Welcome to the Sample Viewer setup program.\n\nThis setup will install Sample Viewer V1.0 on your "
               "computer, in the following directory:");
}

TEST(DialogTexts, FinishWithAndWithoutSamples) {
  char out[1024];
  FinishText(out, sizeof out, "Sample Viewer", "1.0", "sample pictures", "C:\\Program Files\\Sample Viewer");
  EXPECT_STREQ(out,
               "Setup is complete and Sample Viewer V1.0 is now installed on your computer!\n\nSample Viewer is "
               "accessible through the Start Menu, under Quillon.\n\nSome sample pictures can be found in "
               "C:\\Program Files\\Sample Viewer\\Samples\n\nClick Finish.");
  FinishText(out, sizeof out, "P", "2", "", "C:\\X");
  EXPECT_STREQ(out,
               "Setup is complete and P V2 is now installed on your computer!\n\nP is accessible through the Start "
               "Menu, under Quillon.\n\nClick Finish.");
}

TEST(DialogTexts, LongestFieldsStillEndTheFinishText) {
  // Longest product name, version and noun, and a destination of 255 characters.
  const std::string product(31, 'P'), version(7, 'V'), noun(39, 'n'), dir = "C:\\" + std::string(252, 'd');
  char out[1024];
  FinishText(out, sizeof out, product.c_str(), version.c_str(), noun.c_str(), dir.c_str());
  const std::string text = out;
  EXPECT_NE(text.find(dir + "\\Samples\n\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 13), "Click Finish.");
}

TEST(DialogTexts, WriteFailedNamesTheFile) {
  char out[1024];
  WriteFailedText(out, sizeof out, "C:\\P\\N\\Viewer.exe");
  EXPECT_STREQ(out,
               "The file C:\\P\\N\\Viewer.exe could not be written.\n\nThe files installed so far will now be "
               "removed.");
  WriteFailedText(out, sizeof out, "");
  EXPECT_STREQ(out, "A file of the product could not be written.\n\nThe files installed so far will now be removed.");
}

TEST(LaunchCommandLine, QuotesThePath) {
  char out[256];
  EXPECT_EQ(LaunchCommandLine(out, sizeof out, "C:\\Program Files\\Sample Viewer", "Viewer.exe"), 1);
  EXPECT_STREQ(out, "\"C:\\Program Files\\Sample Viewer\\Viewer.exe\"");
  const std::string dir(250, 'd');
  EXPECT_EQ(LaunchCommandLine(out, sizeof out, dir.c_str(), "Viewer.exe"), 0);
  EXPECT_STREQ(out, "");
}

// --- the pump and the stages --------------------------------------------------------------------

TEST(Pump, RunsOnEvery128thCall) {
  int32_t counter = 0;
  std::string due;
  for (int i = 1; i <= 384; i++) {
    if (PumpDue(&counter)) due += std::to_string(i) + " ";
  }
  EXPECT_EQ(due, "128 256 384 ");
  counter = -1;  // wraps without a fault
  EXPECT_EQ(PumpDue(&counter), 1);
}

// Feeds a queue (P = WM_PAINT, o = another message) through the pump rule; the result shows each
// dispatched message, "|" where the pump stopped, and the counter afterwards.
std::string Pump(const char* queue, int32_t* counter) {
  int32_t paints = 0;
  std::string seen;
  for (const char* m = queue; *m; m++) {
    if (PumpMessage(*m == 'P', &paints, counter) == PUMP_STOP) return seen + "|";
    seen += *m;
  }
  return seen;
}

TEST(Pump, ThirdPaintInARowEndsThePump) {
  struct Case {
    const char* queue;
    const char* dispatched;
    int32_t counter;  // starts at 128 (a pumping call)
  } const cases[] = {
      {"ooo", "ooo", 128},
      {"PP", "PP", 128},
      {"PPP", "PP|", 128},
      {"PPPo", "PP|", 128},
      {"PPoPP", "PPoPP", 127},  // the paint run was broken: the next call pumps again
      {"PoPPP", "PoPP|", 127},
      {"oPPoPPP", "oPPoPP|", 127},
  };
  for (const Case& c : cases) {
    int32_t counter = 128;
    EXPECT_EQ(Pump(c.queue, &counter), c.dispatched) << c.queue;
    EXPECT_EQ(counter, c.counter) << c.queue;
    if (counter == 127) {
      EXPECT_EQ(PumpDue(&counter), 1) << c.queue;
    }
  }
}

TEST(Stages, PostedAsUserMessages) {
  EXPECT_EQ(StageMessage(1), 0u);  // the exit stage is handled by the timer itself
  EXPECT_EQ(StageMessage(2), 1026u);
  EXPECT_EQ(StageMessage(5), 1029u);
  EXPECT_EQ(StageMessage(7), 1031u);
  EXPECT_EQ(StageMessage(8), 0u);
  EXPECT_EQ(StageMessage(0), 0u);
  EXPECT_EQ(StageMessage(-3), 0u);
}

}  // namespace
