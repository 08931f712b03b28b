// Names and link-file paths of the product's shortcuts, shared by their creation and removal.
#include "actions/action_rules.h"

const char* ShellFolderValueName(int32_t location) {
  switch (location) {
    case SHORTCUT_PROGRAMS:
      return "Programs";
    case SHORTCUT_STARTUP:
      return "Startup";
    case SHORTCUT_DESKTOP:
      return "Desktop";
    default:
      return nullptr;
  }
}

int32_t FormatShortcutName(const char* format, const char* productName, char* out, uint32_t size) {
  if (!FormatWithText(format, productName, out, size)) return 0;
  return out[0] != 0;
}

int32_t BuildShortcutPath(const char* folder, int32_t location, const char* installFolderName,
                          const char* startMenuFolder, const char* name, ShortcutPath* out) {
  out->level1 = 0;
  out->level2 = 0;
  TextBuilder b;
  TextStart(&b, out->path, SHORTCUT_PATH_SIZE);
  // Without a folder the link would land in the current directory.
  if (!folder || !folder[0] || !name || !name[0] || !ShellFolderValueName(location)) b.fits = 0;
  TextAdd(&b, folder);
  if (location == SHORTCUT_PROGRAMS) {
    if (installFolderName && installFolderName[0]) {
      TextAdd(&b, "\\");
      TextAdd(&b, installFolderName);
      out->level1 = (int32_t)b.length;
    }
    if (startMenuFolder && startMenuFolder[0]) {
      TextAdd(&b, "\\");
      TextAdd(&b, startMenuFolder);
      out->level2 = (int32_t)b.length;
    }
  }
  TextAdd(&b, "\\");
  TextAdd(&b, name);
  TextAdd(&b, ".lnk");
  if (!TextFinish(&b)) {
    out->level1 = 0;
    out->level2 = 0;
    return 0;
  }
  return 1;
}
