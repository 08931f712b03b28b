// Where the product's files go and where they come from, which shortcuts each file gets, and the
// steps of closing running copies of the product.
#include "actions/action_rules.h"

// installDir, then "\Samples" from index 4 on; a negative index has no folder.
static void AddFileFolder(TextBuilder* b, const char* installDir, int32_t index) {
  if (index < 0) b->fits = 0;
  TextAdd(b, installDir);
  if (index >= INSTALL_FIRST_SAMPLE) {
    TextAdd(b, "\\");
    TextAdd(b, INSTALL_SAMPLES_FOLDER);
  }
}

int32_t InstallFileFolder(const char* installDir, int32_t index, char* out, uint32_t size) {
  TextBuilder b;
  TextStart(&b, out, size);
  AddFileFolder(&b, installDir, index);
  return TextFinish(&b);
}

int32_t InstallFilePath(const char* installDir, int32_t index, const char* name, char* out, uint32_t size) {
  TextBuilder b;
  TextStart(&b, out, size);
  AddFileFolder(&b, installDir, index);
  TextAdd(&b, "\\");
  TextAdd(&b, name);
  // An empty name would make the folder itself the file.
  if (!name || !name[0]) b.fits = 0;
  return TextFinish(&b);
}

int32_t InstallCreatesFolder(int32_t index) {
  return index == 0 || index == INSTALL_FIRST_SAMPLE;
}

int32_t InstallEntryName(int32_t index, char* out, uint32_t size) {
  TextBuilder b;
  TextStart(&b, out, size);
  TextAdd(&b, "File");
  TextAddDecimal(&b, index);
  return TextFinish(&b);
}

static char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

int32_t HasExtension(const char* name, const char* extension) {
  if (!name || !extension) return 0;
  uint32_t length = 0;
  while (name[length]) length++;
  if (length < 4) return 0;
  const char* tail = name + length - 4;
  for (int i = 0; i < 4; i++) {
    if (!extension[i] || LowerAscii(tail[i]) != LowerAscii(extension[i])) return 0;
  }
  return extension[4] == 0;
}

int32_t ShortcutsForFile(int32_t index, const char* name, int32_t desktopShortcut, int32_t purpose,
                         const char* uninstallNameFormat, PlannedShortcut out[SHORTCUTS_PER_FILE_MAX]) {
  int32_t n = 0;
  if (HasExtension(name, ".exe")) {
    if (index == UNINSTALLER_INDEX) {
      out[n++] = {uninstallNameFormat, SHORTCUT_PROGRAMS, 1};
    } else if (index > UNINSTALLER_INDEX) {
      out[n++] = {SHORTCUT_PRODUCT_FORMAT, SHORTCUT_PROGRAMS, 0};
      // The removal is narrower than the install: it takes the Desktop link away only for the
      // value 1, so a product configured with another nonzero value keeps that link.
      const int32_t desktop = purpose == SHORTCUTS_TO_REMOVE ? desktopShortcut == 1 : desktopShortcut != 0;
      if (desktop) out[n++] = {SHORTCUT_PRODUCT_FORMAT, SHORTCUT_DESKTOP, 0};
    }
  } else if (HasExtension(name, ".hlp") && index >= 0) {
    out[n++] = {SHORTCUT_HELP_FORMAT, SHORTCUT_PROGRAMS, 0};
  }
  return n;
}

int32_t WantsStartupShortcut(const char* startupArgs) {
  return startupArgs && startupArgs[0] != '|';
}

void CloseProductBegin(CloseProductSearch* search) {
  search->previous = 0;
  search->repeats = 0;
  search->attempts = 0;
}

int32_t CloseProductMore(const CloseProductSearch* search) {
  return search->attempts < CLOSE_PRODUCT_ATTEMPTS;
}

int32_t CloseProductFound(CloseProductSearch* search, uintptr_t window) {
  if (window == 0) return 0;
  if (window == search->previous) {
    // The same window again does not count as an attempt, but it may only stay so long.
    if (++search->repeats >= CLOSE_PRODUCT_REPEATS) return 0;
  } else {
    search->repeats = 0;
    search->previous = window;
    search->attempts++;
  }
  return 1;
}
