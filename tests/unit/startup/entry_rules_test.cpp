#include "startup/entry_rules.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

constexpr uint32_t Lang(uint32_t primary, uint32_t sub) {
  return (sub << 10) | primary;
}

struct LocaleCase {
  const char* what;
  uint32_t lcid;
  int timeZoneValid;
  int32_t bias;  // minutes; UTC+8 is -480
  int refused;
};

const LocaleCase kLocaleCases[] = {
    {"zh-CN at UTC+8", Lang(0x04, 0x02), 1, -480, 1},
    {"zh-CN at UTC+5:30 (5 hours)", Lang(0x04, 0x02), 1, -330, 0},
    {"zh-CN at UTC+6", Lang(0x04, 0x02), 1, -360, 1},
    {"zh-CN at UTC+9:30 (9 hours)", Lang(0x04, 0x02), 1, -570, 1},
    {"zh-CN at UTC+10", Lang(0x04, 0x02), 1, -600, 0},
    {"zh-CN at UTC", Lang(0x04, 0x02), 1, 0, 0},
    {"zh-CN at UTC-8", Lang(0x04, 0x02), 1, 480, 0},
    {"zh-CN, time zone unknown", Lang(0x04, 0x02), 0, -480, 0},
    {"zh-TW at UTC+8", Lang(0x04, 0x01), 1, -480, 0},
    {"zh-SG at UTC+8", Lang(0x04, 0x04), 1, -480, 0},
    {"ru-RU", Lang(0x19, 0x01), 1, -180, 1},
    {"ru, other sub-language", Lang(0x19, 0x02), 1, 0, 1},
    {"th-TH", Lang(0x1E, 0x01), 1, -420, 1},
    {"ar-SA", Lang(0x01, 0x01), 1, -180, 1},
    {"ar-EG", Lang(0x01, 0x03), 1, -120, 1},
    {"en-US", Lang(0x09, 0x01), 1, 300, 0},
    {"de-DE at UTC+8", Lang(0x07, 0x01), 1, -480, 0},
    {"uk-UA", Lang(0x22, 0x01), 1, -120, 0},
};

}  // namespace

TEST(LocaleRefusal, TableOfLocalesAndTimeZones) {
  for (const LocaleCase& c : kLocaleCases) {
    EXPECT_EQ(c.refused, LocaleRefused(REFUSE_ALL, c.lcid, c.timeZoneValid, c.bias)) << c.what;
    // The sort-order bits above the language id do not matter.
    EXPECT_EQ(c.refused, LocaleRefused(REFUSE_ALL, c.lcid | 0x10000, c.timeZoneValid, c.bias)) << c.what;
  }
}

TEST(LocaleRefusal, EachFlagGuardsItsLanguage) {
  EXPECT_EQ(0, LocaleRefused(REFUSE_ALL & ~REFUSE_RUSSIAN, Lang(0x19, 1), 1, 0));
  EXPECT_EQ(0, LocaleRefused(REFUSE_ALL & ~REFUSE_THAI, Lang(0x1E, 1), 1, 0));
  EXPECT_EQ(0, LocaleRefused(REFUSE_ALL & ~REFUSE_ARABIC, Lang(0x01, 1), 1, 0));
  EXPECT_EQ(0, LocaleRefused(REFUSE_ALL & ~REFUSE_CHINESE_TZ, Lang(0x04, 2), 1, -480));
  EXPECT_EQ(1, LocaleRefused(REFUSE_RUSSIAN, Lang(0x19, 1), 1, 0));
}

#ifndef _WIN32
TEST(LocaleRefusal, ReadsTheSystemThroughThePlatformLayer) {
  PlatformSetFakeLocale(Lang(0x04, 0x02), 1, -480);
  EXPECT_EQ(1, IsRefusedLocale(REFUSE_ALL));
  PlatformSetFakeLocale(Lang(0x04, 0x02), 0, -480);
  EXPECT_EQ(0, IsRefusedLocale(REFUSE_ALL));
  PlatformSetFakeLocale(Lang(0x19, 0x01), 1, 0);
  EXPECT_EQ(1, IsRefusedLocale(REFUSE_ALL));
  PlatformSetFakeLocale(0x0409, 1, 0);
  EXPECT_EQ(0, IsRefusedLocale(REFUSE_ALL));
}
#else
TEST(LocaleRefusal, EnglishWineIsNotRefused) {
  EXPECT_EQ(0, IsRefusedLocale(REFUSE_ALL));
}
#endif

TEST(FindNoCaseTest, Cases) {
  struct Case {
    const char* text;
    const char* key;
    int result;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Viewer\\uninst.exe", "uninst", 25},
      {"C:\\Tools\\UNINST.EXE", "uninst", 10},
      {"C:\\Uninstall Tools\\setup.exe", "uninst", 4},  // folders count too
      {"C:\\Downloads\\Setup.exe", "uninst", 0},
      {"uninst", "uninst", 1},
      {"unins", "uninst", 0},  // key longer than the text
      {"", "uninst", 0},
      {"abc", "", 1},
      {"x\xC4y", "\xE4", 0},  // only A-Z fold
      {"[uninst]", "UNINST", 2},
      {"@", "`", 0},  // neighbours of the letter ranges do not fold
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, FindNoCase(c.text, c.key)) << c.text << " / " << c.key;
}
