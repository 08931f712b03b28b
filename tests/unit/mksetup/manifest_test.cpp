// The manifest reader: what it builds from a good manifest, and every refusal with the line it
// names.
#include "manifest.h"

#include <gtest/gtest.h>

#include "mksetup_fixture.h"

using mksetuptest::Product;

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string Refusal(const std::string& text) {
  try {
    ParseManifest(text, "/p/manifest.toml");
  } catch (const PackError& e) {
    return e.what();
  }
  return "(accepted)";
}

std::string ManyFiles(int count, size_t nameLength) {
  std::string m = Product::DefaultManifest();
  for (int i = 0; i < count; i++) {
    std::string name = "f" + std::to_string(i) + std::string(nameLength, 'x');
    m = Replace(m, "[artwork]", "[[files]]\nsource = \"" + name + "\"\n[artwork]");
  }
  return m;
}

}  // namespace

TEST(Manifest, GoodManifestFillsTheRecord) {
  const Manifest m = ParseManifest(Product::DefaultManifest(), "/p/manifest.toml");
  EXPECT_EQ("Test Viewer", m.productName);
  EXPECT_EQ("/p/files/Viewer.exe", m.files[0].source);
  EXPECT_EQ("Viewer.exe", m.files[0].name);
  EXPECT_EQ(0x5A, m.files[4].mask);
  EXPECT_EQ(Compression::Store, m.files[4].compression);
  EXPECT_EQ("/p/stub.exe", m.stub);
  const SetupConfig c = MakeConfig(m);
  EXPECT_EQ(6, c.fileCount);
  EXPECT_STREQ("uninst.exe", ConfigFileName(&c, 0));
  EXPECT_STREQ("b.smp", ConfigFileName(&c, 5));
  EXPECT_STREQ("-min", c.startupArgs);
  EXPECT_STREQ("Uninstall %s", c.uninstallShortcutName);
  EXPECT_EQ(1, c.desktopShortcut);
  EXPECT_EQ(0x00AA8056, c.backColour);  // the default colour as a COLORREF
  EXPECT_STREQ("Three", c.titleText3);
}

TEST(Manifest, TextsAreConvertedToTheWindowsCodePage) {
  const Manifest m = ParseManifest(Replace(Product::DefaultManifest(), "name = \"Test Viewer\"", "name = \"Café €\""), "m");
  EXPECT_EQ(std::string("Caf\xE9 \x80"), m.productName);
  const Manifest coloured =
      ParseManifest(Replace(Product::DefaultManifest(), "[uninstaller]", "background = \"#102030\"\n[uninstaller]"), "m");
  EXPECT_EQ(0x302010u, coloured.backColour);
  const Manifest titled = ParseManifest(Replace(Product::DefaultManifest(), "\"Three\"", "\"Trois \xC3\xA9t\xC3\xA9s\""), "m");
  EXPECT_EQ(std::string("Trois \xE9t\xE9s"), titled.titleTexts[2]);
}

TEST(Manifest, RefusalsNameTheProblemAndTheLine) {
  const std::string good = Product::DefaultManifest();
  struct Case {
    std::string what;
    std::string text;
    std::string message;  // a part of the message, line included
  };
  const Case cases[] = {
      {"name too long", Replace(good, "\"Test Viewer\"\nversion", "\"" + std::string(32, 'N') + "\"\nversion"),
       "manifest.toml:3: 'name' is 32 characters; the setup holds at most 31"},
      {"version too long", Replace(good, "\"2.5\"", "\"2.5.100.7\""), ":4: 'version' is 9 characters; the setup holds at most 7"},
      {"file name with a folder", Replace(good, "source = \"files/readme.txt\"", "source = \"files/readme.txt\"\nname = \"doc\\\\readme.txt\""),
       "holds '\\', which Windows does not allow"},
      {"file name with a drive", Replace(good, "source = \"files/readme.txt\"", "source = \"files/readme.txt\"\nname = \"C:readme.txt\""),
       "holds ':'"},
      {"file name ..", Replace(good, "source = \"files/readme.txt\"", "source = \"files/readme.txt\"\nname = \"..\""), "is not a file name"},
      {"file name with *", Replace(good, "source = \"files/readme.txt\"", "source = \"files/readme.txt\"\nname = \"a*.txt\""), "holds '*'"},
      {"device name", Replace(good, "source = \"files/readme.txt\"", "source = \"files/readme.txt\"\nname = \"con.txt\""), "device name"},
      {"uninstaller without uninst", Replace(good, "\"uninst.exe\"", "\"remove.exe\""),
       ":12: uninstaller name \"remove.exe\" must contain \"uninst\""},
      {"two %s", Replace(good, "[uninstaller]", "uninstall_shortcut = \"%s %s\"\n[uninstaller]"),
       ":11: uninstall_shortcut \"%s %s\" may hold at most one %s and otherwise only %%"},
      {"%d in a format", Replace(good, "[uninstaller]", "progress_text = \"Installing %d\"\n[uninstaller]"),
       "progress_text \"Installing %d\" may hold at most one %s"},
      {"trailing %", Replace(good, "[uninstaller]", "progress_text = \"100%\"\n[uninstaller]"), "progress_text \"100%\""},
      {"startup args with |", Replace(good, "\"-min\"", "\"|x\""), ":8: startup_args may not start with '|'"},
      {"unknown key", Replace(good, "[uninstaller]", "colour = 1\n[uninstaller]"), ":11: unknown key 'product.colour'"},
      {"syntax error", Replace(good, "version = \"2.5\"", "version = \"2.5"), "manifest.toml:4"},
      {"not in code page 1252", Replace(good, "\"Test Viewer\"\nversion", "\"\xE5\x90\x8D\"\nversion"), "code page (1252) cannot show"},
      {"shortcut name too long", Replace(good, "\"Test Viewer\"\nversion", "\"" + std::string(30, 'N') + "\"\nversion"),
       "shortcut name \"Uninstall " + std::string(30, 'N') + "\" is longer than 31 characters"},
      {"two files of one name", Replace(good, "source = \"files/a.smp\"", "source = \"files/a.smp\"\nname = \"B.SMP\""),
       "\"b.smp\" is used twice in one folder"},
      {"list over 512 bytes", ManyFiles(10, 60), "the file names take"},
      {"more files than the directory holds", ManyFiles(19, 1), "24 files: the setup's directory holds at most 23"},
      {"mask and compress", Replace(good, "mask = 0x5A", "mask = 0x5A\ncompression = \"compress\""), "cannot be compressed"},
      {"no files", Replace(Replace(Replace(Replace(Replace(good, "[[files]]\nsource = \"files/Viewer.exe\"\n", ""),
                                                   "[[files]]\nsource = \"files/readme.txt\"\n", ""),
                                           "[[files]]\nsource = \"files/Viewer.hlp\"\n", ""),
                                   "[[files]]\nsource = \"files/a.smp\"\n", ""),
                           "[[files]]\nsource = \"files/b.smp\"\nmask = 0x5A\n", ""),
       "[[files]] must list at least the product's main program"},
      {"unknown picture", good + "SKY = \"sky.bmp\"\n", "unknown picture 'SKY'"},
      // Characters the TOML parser must not see outside a text (it misreads them as blanks).
      {"non-ASCII outside a text", Replace(good, "version = \"2.5\"", "version = 0\"\xC3\x9C\""), "manifest.toml:4"},
      {"non-ASCII outside any text", Replace(good, "version = \"2.5\"", "version = \"2.5\" \xC3\x9C"), "manifest.toml:4: a character outside ASCII outside a text"},
      {"backslash before non-ASCII", Replace(good, "\"2.5\"", "\"\\\xC3\xA9\""), "manifest.toml:4: a backslash before a character outside ASCII"},
      {"title not in code page 1252", Replace(good, "\"Three\"", "\"\xE5\x90\x8D\""), ":10: a title holds a character"},
  };
  for (const Case& c : cases) {
    const std::string message = Refusal(c.text);
    EXPECT_NE(std::string::npos, message.find(c.message)) << c.what << "\n  got: " << message;
  }
}

TEST(Manifest, SafeNameFormats) {
  for (const char* ok : {"", "Uninstall %s", "%s", "100%% %s", "%%"}) EXPECT_TRUE(IsSafeNameFormat(ok)) << ok;
  for (const char* bad : {"%s%s", "%d", "%", "%n", "%08s", "abc%", "%ls"}) EXPECT_FALSE(IsSafeNameFormat(bad)) << bad;
}
