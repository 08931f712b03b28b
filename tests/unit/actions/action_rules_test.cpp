// The installation actions' rules: file placement and entry names, the extension test, which
// shortcuts a file gets on install and on removal, link paths with their Start-menu levels,
// name formats from the configuration, the uninstall entry's key and command, the search for
// running copies, and the bounds of every text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "actions/action_rules.h"

namespace {

std::string Repeat(char c, size_t n) {
  return std::string(n, c);
}

}  // namespace

TEST(ActionsInstallPlacement, FilesFromIndexFourGoIntoSamples) {
  struct Case {
    int32_t index;
    const char* folder;
    const char* path;
    int32_t createsFolder;
    const char* entry;
  };
  const Case cases[] = {
      {0, "C:\\P Q\\Prod", "C:\\P Q\\Prod\\uninst.exe", 1, "File0"},
      {1, "C:\\P Q\\Prod", "C:\\P Q\\Prod\\uninst.exe", 0, "File1"},
      {3, "C:\\P Q\\Prod", "C:\\P Q\\Prod\\uninst.exe", 0, "File3"},
      {4, "C:\\P Q\\Prod\\Samples", "C:\\P Q\\Prod\\Samples\\uninst.exe", 1, "File4"},
      {5, "C:\\P Q\\Prod\\Samples", "C:\\P Q\\Prod\\Samples\\uninst.exe", 0, "File5"},
      {12, "C:\\P Q\\Prod\\Samples", "C:\\P Q\\Prod\\Samples\\uninst.exe", 0, "File12"},
  };
  for (const Case& c : cases) {
    char folder[INSTALL_PATH_SIZE];
    char path[INSTALL_PATH_SIZE];
    char entry[INSTALL_ENTRY_SIZE];
    ASSERT_EQ(1, InstallFileFolder("C:\\P Q\\Prod", c.index, folder, sizeof folder)) << c.index;
    EXPECT_STREQ(c.folder, folder);
    ASSERT_EQ(1, InstallFilePath("C:\\P Q\\Prod", c.index, "uninst.exe", path, sizeof path)) << c.index;
    EXPECT_STREQ(c.path, path);
    EXPECT_EQ(c.createsFolder, InstallCreatesFolder(c.index)) << c.index;
    ASSERT_EQ(1, InstallEntryName(c.index, entry, sizeof entry));
    EXPECT_STREQ(c.entry, entry);
  }
}

TEST(ActionsInstallPlacement, PathThatDoesNotFitIsRefusedNotCut) {
  char path[INSTALL_PATH_SIZE];
  // installDir of 249 characters: "\a.exe" fits exactly (255 characters), one more does not.
  const std::string dir = "C:\\" + Repeat('d', 246);
  ASSERT_EQ(1, InstallFilePath(dir.c_str(), 1, "a.exe", path, sizeof path));
  EXPECT_EQ(255u, strlen(path));
  memset(path, 'x', sizeof path);
  EXPECT_EQ(0, InstallFilePath(dir.c_str(), 1, "ab.exe", path, sizeof path));
  EXPECT_STREQ("", path);
  // The Samples level counts too.
  EXPECT_EQ(0, InstallFilePath(dir.c_str(), 4, "a.exe", path, sizeof path));
  EXPECT_STREQ("", path);
  // No name, an empty name or a negative index gives no path either.
  EXPECT_EQ(0, InstallFilePath("C:\\P", 1, "", path, sizeof path));
  EXPECT_EQ(0, InstallFilePath("C:\\P", 1, nullptr, path, sizeof path));
  EXPECT_EQ(0, InstallFilePath("C:\\P", -1, "a.exe", path, sizeof path));
}

TEST(ActionsExtension, LastFourCharactersIgnoringCase) {
  struct Case {
    const char* name;
    int32_t exe;
    int32_t hlp;
  };
  const Case cases[] = {
      {"Viewer.exe", 1, 0}, {"VIEWER.EXE", 1, 0}, {"v.ExE", 1, 0},      {"Manual.hlp", 0, 1},
      {"MANUAL.HLP", 0, 1}, {".exe", 1, 0},       {"exe", 0, 0},        {"", 0, 0},
      {"a.exe.txt", 0, 0},  {"a.exe ", 0, 0},     {"a_exe", 0, 0},      {"readme.txt", 0, 0},
      {"a.ex", 0, 0},       {"Setup.Hlp", 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.exe, HasExtension(c.name, ".exe")) << c.name;
    EXPECT_EQ(c.hlp, HasExtension(c.name, ".hlp")) << c.name;
  }
  EXPECT_EQ(0, HasExtension(nullptr, ".exe"));
}

TEST(ActionsShortcutPlan, WhichShortcutsEachFileGets) {
  struct Case {
    int32_t index;
    const char* name;
    int32_t desktop;
    int32_t purpose;
    std::vector<PlannedShortcut> expected;
  };
  const char* uninstallFormat = "Uninstall %s";
  const PlannedShortcut uninstaller = {uninstallFormat, SHORTCUT_PROGRAMS, 1};
  const PlannedShortcut program = {"%s", SHORTCUT_PROGRAMS, 0};
  const PlannedShortcut desktop = {"%s", SHORTCUT_DESKTOP, 0};
  const PlannedShortcut help = {"%s Help", SHORTCUT_PROGRAMS, 0};
  const Case cases[] = {
      {0, "uninst.exe", 1, SHORTCUTS_TO_MAKE, {uninstaller}},
      {0, "UNINST.EXE", 1, SHORTCUTS_TO_REMOVE, {uninstaller}},
      {0, "uninst.bin", 1, SHORTCUTS_TO_MAKE, {}},
      {0, "uninst.hlp", 0, SHORTCUTS_TO_MAKE, {help}},
      {1, "Viewer.exe", 0, SHORTCUTS_TO_MAKE, {program}},
      {1, "Viewer.exe", 1, SHORTCUTS_TO_MAKE, {program, desktop}},
      {1, "Viewer.EXE", 2, SHORTCUTS_TO_MAKE, {program, desktop}},
      {1, "Viewer.exe", -1, SHORTCUTS_TO_MAKE, {program, desktop}},
      {1, "Viewer.exe", 0, SHORTCUTS_TO_REMOVE, {program}},
      {1, "Viewer.exe", 1, SHORTCUTS_TO_REMOVE, {program, desktop}},
      {1, "Viewer.exe", 2, SHORTCUTS_TO_REMOVE, {program}},
      {2, "readme.txt", 1, SHORTCUTS_TO_MAKE, {}},
      {3, "Viewer.HLP", 1, SHORTCUTS_TO_MAKE, {help}},
      {3, "Viewer.hlp", 1, SHORTCUTS_TO_REMOVE, {help}},
      {5, "Tool.exe", 1, SHORTCUTS_TO_MAKE, {program, desktop}},
      {7, "Guide.hlp", 0, SHORTCUTS_TO_MAKE, {help}},
  };
  for (const Case& c : cases) {
    PlannedShortcut out[SHORTCUTS_PER_FILE_MAX] = {};
    const int32_t n = ShortcutsForFile(c.index, c.name, c.desktop, c.purpose, uninstallFormat, out);
    const std::string what = std::to_string(c.index) + " " + c.name + " desktop " + std::to_string(c.desktop) +
                             (c.purpose == SHORTCUTS_TO_MAKE ? " make" : " remove");
    ASSERT_EQ((int32_t)c.expected.size(), n) << what;
    for (int32_t k = 0; k < n; k++) {
      EXPECT_STREQ(c.expected[k].nameFormat, out[k].nameFormat) << what << " #" << k;
      EXPECT_EQ(c.expected[k].location, out[k].location) << what << " #" << k;
      EXPECT_EQ(c.expected[k].uninstallerIcon, out[k].uninstallerIcon) << what << " #" << k;
    }
  }
}

TEST(ActionsShortcutPlan, StartupShortcutUnlessArgumentsStartWithBar) {
  EXPECT_EQ(0, WantsStartupShortcut("|"));
  EXPECT_EQ(0, WantsStartupShortcut("|-min"));
  EXPECT_EQ(1, WantsStartupShortcut(""));
  EXPECT_EQ(1, WantsStartupShortcut("-min"));
  EXPECT_EQ(1, WantsStartupShortcut("a|b"));
}

TEST(ActionsShortcutNames, FormatsFromTheConfigurationAreFilledOrRefused) {
  struct Case {
    std::string format;
    std::string product;
    int32_t ok;
    std::string expected;
  };
  const std::string longest(31, 'p');
  const Case cases[] = {
      {"%s", "Sample Viewer", 1, "Sample Viewer"},
      {"Uninstall %s", "Sample Viewer", 1, "Uninstall Sample Viewer"},
      {"%s Help", "Sample Viewer", 1, "Sample Viewer Help"},
      {"Remove", "Sample Viewer", 1, "Remove"},
      {"100%% %s", "P", 1, "100% P"},
      // The longest format the configuration holds (15 characters) with the longest product name.
      {"Uninstall it %s", longest, 1, "Uninstall it " + longest},
      {"%s %s", "P", 0, ""},
      {"%d %s", "P", 0, ""},
      {"%s%", "P", 0, ""},
      {"%S", "P", 0, ""},
      {"", "P", 0, ""},
      {"%s", "", 0, ""},
  };
  for (const Case& c : cases) {
    char name[SHORTCUT_NAME_SIZE];
    memset(name, 'x', sizeof name);
    EXPECT_EQ(c.ok, FormatShortcutName(c.format.c_str(), c.product.c_str(), name, sizeof name)) << c.format;
    EXPECT_EQ(c.expected, name) << c.format;
  }
}

TEST(ActionsShortcutPaths, LocationsAndStartMenuLevels) {
  struct Case {
    int32_t location;
    const char* installFolder;
    const char* startMenu;
    const char* path;
    const char* level1;  // the path cut at level 1, null: none
    const char* level2;
  };
  const Case cases[] = {
      {SHORTCUT_PROGRAMS, "Sample Viewer", "", "F\\Sample Viewer\\Name.lnk", "F\\Sample Viewer", nullptr},
      {SHORTCUT_PROGRAMS, "Sample Viewer", "Tools", "F\\Sample Viewer\\Tools\\Name.lnk", "F\\Sample Viewer",
       "F\\Sample Viewer\\Tools"},
      {SHORTCUT_PROGRAMS, "", "", "F\\Name.lnk", nullptr, nullptr},
      {SHORTCUT_STARTUP, "Sample Viewer", "Tools", "F\\Name.lnk", nullptr, nullptr},
      {SHORTCUT_DESKTOP, "Sample Viewer", "Tools", "F\\Name.lnk", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    ShortcutPath link;
    ASSERT_EQ(1, BuildShortcutPath("F", c.location, c.installFolder, c.startMenu, "Name", &link)) << c.path;
    EXPECT_STREQ(c.path, link.path);
    const std::string path = link.path;
    EXPECT_EQ(c.level1 ? c.level1 : "", link.level1 ? path.substr(0, link.level1) : "") << c.path;
    EXPECT_EQ(c.level2 ? c.level2 : "", link.level2 ? path.substr(0, link.level2) : "") << c.path;
    // The backslash after each level is where the folder is cut.
    EXPECT_TRUE(!link.level1 || path[(size_t)link.level1] == '\\');
    EXPECT_TRUE(!link.level2 || path[(size_t)link.level2] == '\\');
  }
}

TEST(ActionsShortcutPaths, NoFolderNoNameUnknownLocationOrTooLongGivesNoPath) {
  ShortcutPath link;
  EXPECT_EQ(0, BuildShortcutPath("", SHORTCUT_DESKTOP, "P", "", "Name", &link));
  EXPECT_STREQ("", link.path);
  EXPECT_EQ(0, BuildShortcutPath(nullptr, SHORTCUT_DESKTOP, "P", "", "Name", &link));
  EXPECT_EQ(0, BuildShortcutPath("F", SHORTCUT_DESKTOP, "P", "", "", &link));
  EXPECT_EQ(0, BuildShortcutPath("F", 3, "P", "", "Name", &link));
  EXPECT_EQ(0, BuildShortcutPath("F", -1, "P", "", "Name", &link));

  // 383 characters fit the 384-byte buffer, 384 do not; the levels are dropped with the path.
  const std::string folder(255, 'f');
  const std::string installFolder(63, 'i');
  std::string name(383 - 255 - 1 - 63 - 1 - 4, 'n');
  ASSERT_EQ(1, BuildShortcutPath(folder.c_str(), SHORTCUT_PROGRAMS, installFolder.c_str(), "", name.c_str(), &link));
  EXPECT_EQ(383u, strlen(link.path));
  name += "n";
  EXPECT_EQ(0, BuildShortcutPath(folder.c_str(), SHORTCUT_PROGRAMS, installFolder.c_str(), "", name.c_str(), &link));
  EXPECT_STREQ("", link.path);
  EXPECT_EQ(0, link.level1);
  EXPECT_EQ(0, link.level2);
}

TEST(ActionsShortcutPaths, ShellFolderValueNames) {
  EXPECT_STREQ("Programs", ShellFolderValueName(SHORTCUT_PROGRAMS));
  EXPECT_STREQ("Startup", ShellFolderValueName(SHORTCUT_STARTUP));
  EXPECT_STREQ("Desktop", ShellFolderValueName(SHORTCUT_DESKTOP));
  EXPECT_EQ(nullptr, ShellFolderValueName(3));
}

TEST(ActionsUninstallEntry, KeyAndQuotedCommand) {
  char key[UNINSTALL_KEY_SIZE];
  ASSERT_EQ(1, UninstallKeyPath("Sample Viewer", key, sizeof key));
  EXPECT_STREQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\Sample Viewer", key);
  // The longest product name (31 characters) fits the 128-byte key.
  const std::string longest(31, 'p');
  ASSERT_EQ(1, UninstallKeyPath(longest.c_str(), key, sizeof key));
  // An empty name would name the list of installed programs itself.
  EXPECT_EQ(0, UninstallKeyPath("", key, sizeof key));
  EXPECT_STREQ("", key);
  // A product name with a percent sign is text, not a format.
  ASSERT_EQ(1, UninstallKeyPath("100% %s", key, sizeof key));
  EXPECT_STREQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\100% %s", key);

  char command[UNINSTALL_COMMAND_SIZE];
  ASSERT_EQ(1, UninstallCommand("C:\\Program Files\\Sample Viewer", "uninst.exe", command, sizeof command));
  EXPECT_STREQ("\"C:\\Program Files\\Sample Viewer\\uninst.exe\"", command);
  // Every uninstaller path that the install can write (255 characters) fits in quotes.
  const std::string dir = "C:\\" + Repeat('d', 246);
  ASSERT_EQ(1, UninstallCommand(dir.c_str(), "a.exe", command, sizeof command));
  EXPECT_EQ(257u, strlen(command));
  EXPECT_EQ(0, UninstallCommand(dir.c_str(), "ab.exe", command, sizeof command));
  EXPECT_STREQ("", command);
}

TEST(ActionsCloseProduct, RequestsPerSequenceOfWindowsFound) {
  struct Case {
    const char* what;
    std::vector<uintptr_t> found;  // what each search finds; 0: nothing
    int32_t requests;              // WM_QUIT posted
    int32_t searches;              // windows looked for
  };
  const Case cases[] = {
      {"nothing running", {0}, 0, 1},
      {"one window that quits", {7, 0}, 1, 2},
      {"one window that stays", {7, 7, 7, 7, 7, 7, 7}, 4, 5},
      {"two windows that quit one after the other", {7, 8, 0}, 2, 3},
      {"a new window each time", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 8, 8},
      {"a window that comes back after another", {7, 7, 8, 7, 7, 7, 0}, 6, 7},
      {"repeats do not use up attempts", {1, 1, 1, 1, 2, 2, 2, 2, 3, 4, 5, 6, 7, 8, 9}, 14, 14},
  };
  for (const Case& c : cases) {
    CloseProductSearch search;
    CloseProductBegin(&search);
    int32_t requests = 0;
    int32_t searches = 0;
    while (CloseProductMore(&search)) {
      ASSERT_LT((size_t)searches, c.found.size()) << c.what;
      if (!CloseProductFound(&search, c.found[(size_t)searches++])) break;
      requests++;
    }
    EXPECT_EQ(c.requests, requests) << c.what;
    EXPECT_EQ(c.searches, searches) << c.what;
  }
}

TEST(ActionsBoundedText, ExactFitAndConfigurationFields) {
  char out[6];
  TextBuilder b;
  TextStart(&b, out, sizeof out);
  TextAdd(&b, "ab");
  TextAddDecimal(&b, -12);
  ASSERT_EQ(1, TextFinish(&b));
  EXPECT_STREQ("ab-12", out);
  TextStart(&b, out, sizeof out);
  TextAdd(&b, "abc");
  TextAddDecimal(&b, 123);
  EXPECT_EQ(0, TextFinish(&b));
  EXPECT_STREQ("", out);
  TextStart(&b, out, sizeof out);
  TextAddDecimal(&b, INT32_MIN);
  EXPECT_EQ(0, TextFinish(&b));
  char wide[16];
  TextStart(&b, wide, sizeof wide);
  TextAddDecimal(&b, INT32_MIN);
  ASSERT_EQ(1, TextFinish(&b));
  EXPECT_STREQ("-2147483648", wide);

  // A field without a terminator gives its width less one character, and nothing of the next
  // field.
  struct {
    char field[8];
    char next[8];
  } record;
  memcpy(record.field, "ABCDEFGH", 8);
  memcpy(record.next, "next", 5);
  char text[sizeof record.field];
  CONFIG_FIELD(record.field, text);
  EXPECT_STREQ("ABCDEFG", text);
  memcpy(record.field, "AB\0DEFGH", 8);
  CONFIG_FIELD(record.field, text);
  EXPECT_STREQ("AB", text);
}
