#include "startup/setup_config.h"

#include <gtest/gtest.h>

#include <cstring>

#include "packing/config_seal.h"
#include "startup/setup_state.h"

namespace {

SetupConfig SampleConfig() {
  SetupConfig c;
  std::memset(&c, 0, sizeof c);
  const char names[] = "uninst.exe\0Viewer.exe\0readme.txt\0help.hlp\0a.smp";
  std::memcpy(c.fileNames, names, sizeof names);
  std::strcpy(c.productName, "Sample Viewer");
  std::strcpy(c.version, "1.0");
  c.fileCount = 5;
  c.backColour = 0x00AA8056;
  c.progressRange = 123456;
  c.desktopShortcut = 1;
  return c;
}

}  // namespace

TEST(SetupConfigStore, SealThenUnsealRestoresTheRecord) {
  const SetupConfig plain = SampleConfig();
  SetupConfigStore store = SealConfig(plain);
  EXPECT_EQ(0, std::memcmp("3U3G", &store.magic, 4));
  EXPECT_EQ(1052, store.length);
  EXPECT_NE(0, std::memcmp(&store.body, &plain, sizeof plain)) << "the body is enciphered";
  EXPECT_EQ(1, UnsealConfig(&store));
  EXPECT_EQ(0, std::memcmp(&store.body, &plain, sizeof plain));
}

TEST(SetupConfigStore, RefusedHeadersChangeNothing) {
  struct Case {
    uint32_t magic;
    int32_t length;
  };
  // Wrong magic; lengths outside 1..1052, including 1053..2047 which would run past the record.
  const Case cases[] = {{0x47335534, 1052}, {CONFIG_MAGIC, 0}, {CONFIG_MAGIC, -1},      {CONFIG_MAGIC, 2048},
                        {CONFIG_MAGIC, 1053}, {CONFIG_MAGIC, 2047}, {CONFIG_MAGIC, INT32_MIN}};
  for (const Case& c : cases) {
    // Guard bytes after the record catch a decipherment that runs past it.
    struct {
      SetupConfigStore store;
      uint8_t guard[1024];
    } area;
    area.store = SealConfig(SampleConfig());
    area.store.magic = c.magic;
    area.store.length = c.length;
    std::memset(area.guard, 0xEE, sizeof area.guard);
    const auto before = area;
    EXPECT_EQ(0, UnsealConfig(&area.store)) << c.magic << " " << c.length;
    EXPECT_EQ(0, std::memcmp(&area, &before, sizeof area)) << c.length;
  }
}

TEST(SetupConfigStore, ShortLengthDeciphersOnlyThatMuch) {
  const SetupConfig plain = SampleConfig();
  SetupConfigStore store = SealConfig(plain);
  const SetupConfigStore sealed = store;
  store.length = 100;
  EXPECT_EQ(1, UnsealConfig(&store));
  const auto* body = reinterpret_cast<const uint8_t*>(&store.body);
  EXPECT_EQ(0, std::memcmp(body, &plain, 100));
  EXPECT_EQ(0, std::memcmp(body + 100, reinterpret_cast<const uint8_t*>(&sealed.body) + 100, 952));
}

TEST(SetupConfigStore, StubStartsWithAnInertStoredForm) {
  EXPECT_EQ(CONFIG_MAGIC, storedConfig.magic);
  EXPECT_EQ(0, storedConfig.length);
  EXPECT_EQ(&setupConfig, &storedConfig.body);
}

TEST(ConfigFileNameTest, FindsNamesInsideTheField) {
  const SetupConfig c = SampleConfig();
  EXPECT_STREQ("uninst.exe", ConfigFileName(&c, 0));
  EXPECT_STREQ("Viewer.exe", ConfigFileName(&c, 1));
  EXPECT_STREQ("a.smp", ConfigFileName(&c, 4));
  EXPECT_STREQ("", ConfigFileName(&c, 5));  // zero fill reads as empty names
  EXPECT_EQ(nullptr, ConfigFileName(&c, -1));
}

TEST(ConfigFileNameTest, FullFieldIsReadCompletelyAndNeverPast) {
  SetupConfig c;
  std::memset(&c, 0, sizeof c);
  // Two names that fill all 512 bytes, the last terminator in the last byte.
  std::memset(c.fileNames, 'a', 300);
  c.fileNames[300] = 0;
  std::memset(c.fileNames + 301, 'b', 210);
  c.fileNames[511] = 0;
  ASSERT_NE(nullptr, ConfigFileName(&c, 1));
  EXPECT_EQ(210u, std::strlen(ConfigFileName(&c, 1)));
  EXPECT_EQ(nullptr, ConfigFileName(&c, 2));

  // Without the last terminator the name runs into the next field: it is not a name.
  c.fileNames[511] = 'b';
  std::memset(c.productName, 'X', sizeof c.productName);
  EXPECT_NE(nullptr, ConfigFileName(&c, 0));
  EXPECT_EQ(nullptr, ConfigFileName(&c, 1));
  EXPECT_EQ(nullptr, ConfigFileName(&c, 7));
}

TEST(SetupStateTest, StartsZeroWithInvalidArchiveHandle) {
  EXPECT_EQ(FILE_HANDLE_INVALID, setupState.archiveHandle);
  EXPECT_EQ(0, setupState.lowColourMode);
  EXPECT_EQ(0, setupState.filesDone);
  EXPECT_EQ(nullptr, setupState.mainWindow);
  EXPECT_EQ(0, setupState.installDir[0]);
}
