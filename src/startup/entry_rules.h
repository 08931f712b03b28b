// The decisions the process entry makes before any window exists: whether the locale is
// refused, and whether the running file's path selects the uninstaller.
#pragma once
#include <stdint.h>

#define REFUSE_RUSSIAN 1
#define REFUSE_THAI 2
#define REFUSE_CHINESE_TZ 4
#define REFUSE_ARABIC 8
#define REFUSE_ALL 15

// The literal whose presence anywhere in the program's path selects the uninstaller.
#define UNINSTALL_MODE_KEY "uninst"

// 1 when the current thread locale (and, for Simplified Chinese, the time zone) is refused.
int IsRefusedLocale(uint32_t flags);
// The same rule over given facts: timeZoneValid 0 stands for a failed time-zone query.
int LocaleRefused(uint32_t flags, uint32_t lcid, int timeZoneValid, int32_t biasMinutes);
// 1 + the index of the first case-insensitive (A-Z only) occurrence of key in text, else 0.
int FindNoCase(const char* text, const char* key);
