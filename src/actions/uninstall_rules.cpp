// The key and the command of the product's entry in the system's list of installed programs.
#include "actions/action_rules.h"

int32_t UninstallKeyPath(const char* productName, char* out, uint32_t size) {
  if (!productName || !productName[0]) {
    if (out && size > 0) out[0] = 0;
    return 0;
  }
  return FormatWithText(UNINSTALL_KEY_FORMAT, productName, out, size);
}

int32_t UninstallCommand(const char* installDir, const char* uninstallerName, char* out, uint32_t size) {
  char path[INSTALL_PATH_SIZE];
  const int32_t found = InstallFilePath(installDir, UNINSTALLER_INDEX, uninstallerName, path, sizeof path);
  TextBuilder b;
  TextStart(&b, out, size);
  if (!found) b.fits = 0;
  TextAdd(&b, "\"");
  TextAdd(&b, path);
  TextAdd(&b, "\"");
  return TextFinish(&b);
}
