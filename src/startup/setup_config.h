// The product's configuration: one fixed-layout record that the packaging tool writes,
// enciphered, into the stub's data, and that start-up deciphers in place once. Every other
// module reads its fields directly from `setupConfig`.
#pragma once
#include <stddef.h>
#include <stdint.h>

#define CONFIG_MAGIC 0x47335533u  // the bytes "3U3G"
#define CONFIG_AREA_SIZE 1052
#define CONFIG_MAX_LENGTH 2047
#define CONFIG_KEY_TEXT nullptr   // Pc1SetKey(null): the default key text
// Name of the stub's section that holds the stored form and nothing else, so the packaging
// tool finds it through the section table instead of searching for the magic.
#define CONFIG_SECTION_NAME ".qscfg"

struct SetupConfig {
  char reservedHead[20];
  char fileNames[512];  // names packed one after another, each zero-terminated
  char productName[32];
  char version[8];
  char titleText1[64];
  char titleText2[64];
  char titleText3[64];
  char installFolderName[64];
  char startMenuFolder[64];
  char productWindowClass[32];
  char samplesNoun[40];
  char startupArgs[16];  // a first character '|' means: no startup shortcut
  char uninstallShortcutName[16];
  char progressTextFormat[32];
  int32_t fileCount;
  int32_t backColour;  // COLORREF 0x00BBGGRR
  int32_t backColour2;
  int32_t progressRange;
  int32_t desktopShortcut;
  int32_t reservedTail;
};

static_assert(sizeof(SetupConfig) == CONFIG_AREA_SIZE, "SetupConfig is 1052 bytes");
static_assert(offsetof(SetupConfig, reservedHead) == 0, "layout");
static_assert(offsetof(SetupConfig, fileNames) == 20, "layout");
static_assert(offsetof(SetupConfig, productName) == 532, "layout");
static_assert(offsetof(SetupConfig, version) == 564, "layout");
static_assert(offsetof(SetupConfig, titleText1) == 572, "layout");
static_assert(offsetof(SetupConfig, titleText2) == 636, "layout");
static_assert(offsetof(SetupConfig, titleText3) == 700, "layout");
static_assert(offsetof(SetupConfig, installFolderName) == 764, "layout");
static_assert(offsetof(SetupConfig, startMenuFolder) == 828, "layout");
static_assert(offsetof(SetupConfig, productWindowClass) == 892, "layout");
static_assert(offsetof(SetupConfig, samplesNoun) == 924, "layout");
static_assert(offsetof(SetupConfig, startupArgs) == 964, "layout");
static_assert(offsetof(SetupConfig, uninstallShortcutName) == 980, "layout");
static_assert(offsetof(SetupConfig, progressTextFormat) == 996, "layout");
static_assert(offsetof(SetupConfig, fileCount) == 1028, "layout");
static_assert(offsetof(SetupConfig, backColour) == 1032, "layout");
static_assert(offsetof(SetupConfig, backColour2) == 1036, "layout");
static_assert(offsetof(SetupConfig, progressRange) == 1040, "layout");
static_assert(offsetof(SetupConfig, desktopShortcut) == 1044, "layout");
static_assert(offsetof(SetupConfig, reservedTail) == 1048, "layout");

// The stored form: plain header, then the enciphered record.
struct SetupConfigStore {
  uint32_t magic;
  int32_t length;
  SetupConfig body;
};

static_assert(offsetof(SetupConfigStore, magic) == 0, "layout");
static_assert(offsetof(SetupConfigStore, length) == 4, "layout");
static_assert(offsetof(SetupConfigStore, body) == 8, "layout");
static_assert(sizeof(SetupConfigStore) == 8 + CONFIG_AREA_SIZE, "stored form is 1060 bytes");

// The stub's own stored form (in its configuration section) and the record inside it.
extern SetupConfigStore storedConfig;
extern SetupConfig& setupConfig;

// Deciphers the body of a stored form in place. 1 when deciphered; 0 when the magic or the
// length is wrong, and then nothing changes. A length above the record's 1052 bytes is refused
// too: deciphering it would run past the record.
int UnsealConfig(void* storedForm);

// Name `index` of fileNames, or null when the list has no such name inside the 512-byte field
// (a name without a terminator inside the field counts as missing). The result is always a
// terminated string within the field.
const char* ConfigFileName(const SetupConfig* config, int32_t index);
