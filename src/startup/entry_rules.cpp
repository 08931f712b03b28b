#include "startup/entry_rules.h"

#include "platform/platform.h"

int LocaleRefused(uint32_t flags, uint32_t lcid, int timeZoneValid, int32_t biasMinutes) {
  uint32_t langid = lcid & 0xFFFF;
  uint32_t primary = langid & 0x3FF;
  uint32_t sub = langid >> 10;
  if (primary == 0x04 && (flags & REFUSE_CHINESE_TZ)) {
    // Simplified Chinese only, and only in the time zones from UTC+6 to UTC+9 (whole hours,
    // truncated toward zero: UTC+9:30 counts as 9).
    if (sub != 0x02 || !timeZoneValid) return 0;
    int32_t hours = -biasMinutes / 60;
    return hours >= 6 && hours <= 9;
  }
  return (primary == 0x19 && (flags & REFUSE_RUSSIAN)) || (primary == 0x1E && (flags & REFUSE_THAI)) ||
         (primary == 0x01 && (flags & REFUSE_ARABIC));
}

int IsRefusedLocale(uint32_t flags) {
  uint32_t lcid = PlatformThreadLocale();
  int32_t bias = 0;
  int valid = 0;
  // The time zone only matters for Simplified Chinese; the system is not asked otherwise.
  if ((flags & REFUSE_CHINESE_TZ) && (lcid & 0xFFFF) == ((0x02 << 10) | 0x04)) valid = PlatformTimeZoneBias(&bias);
  return LocaleRefused(flags, lcid, valid, bias);
}

static char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int FindNoCase(const char* text, const char* key) {
  int textLength = 0;
  int keyLength = 0;
  while (text[textLength]) textLength++;
  while (key[keyLength]) keyLength++;
  for (int p = 0; p + keyLength <= textLength; p++) {
    int k = 0;
    while (k < keyLength && FoldCase(text[p + k]) == FoldCase(key[k])) k++;
    if (k == keyLength) return p + 1;
  }
  return 0;
}
