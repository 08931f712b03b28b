// Removal of what the install made, by the same placement and shortcut rules the install
// worker used, so that every file, link and key it wrote is found again. Every result is
// ignored: what is missing or cannot be removed is passed over.
#include "actions/actions.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"
#include "uninstaller/uninstaller.h"

namespace {

int32_t IsAnsiLeadByte(uint8_t byte) {
  return IsDBCSLeadByte(byte) ? 1 : 0;
}

// Replaces the last four characters of a path of the given length (its extension).
void SetExtension(char* path, uint32_t length, const char extension[5]) {
  for (uint32_t i = 0; i < 4; i++) path[length - 4 + i] = extension[i];
}

// Deletes path, and for a help file the index files Windows Help writes beside it.
void DeleteInstalledFile(char* path) {
  DeleteFileA(path);
  uint32_t length = (uint32_t)lstrlenA(path);
  if (length < 4 || !HasExtension(path, ".hlp")) return;
  SetExtension(path, length, ".gid");
  DeleteFileA(path);
  SetExtension(path, length, ".fts");
  DeleteFileA(path);
}

}  // namespace

void SetInstallDirFromModule(void) {
  char path[INSTALL_PATH_SIZE];
  // A path that does not fit the buffer is not cut into another folder: installDir stays empty
  // and nothing is removed.
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path || !FolderOfPath(path, IsAnsiLeadByte, setupState.installDir, sizeof setupState.installDir)) {
    setupState.installDir[0] = 0;
  }
}

void RemoveInstalledItems(void) {
  SetInstallDirFromModule();
  CloseRunningProduct();
  if (!setupState.installDir[0]) return;

  char productName[sizeof setupConfig.productName];
  char uninstallName[sizeof setupConfig.uninstallShortcutName];
  char startupArgs[sizeof setupConfig.startupArgs];
  CONFIG_FIELD(setupConfig.productName, productName);
  CONFIG_FIELD(setupConfig.uninstallShortcutName, uninstallName);
  CONFIG_FIELD(setupConfig.startupArgs, startupArgs);
  const int32_t count = setupConfig.fileCount;

  for (int32_t i = 0; i < count; i++) {
    const char* name = ConfigFileName(&setupConfig, i);
    char path[INSTALL_PATH_SIZE];
    if (!name || !InstallFilePath(setupState.installDir, i, name, path, sizeof path)) continue;
    DeleteInstalledFile(path);
  }

  char samples[INSTALL_PATH_SIZE];
  if (InstallFileFolder(setupState.installDir, INSTALL_FIRST_SAMPLE, samples, sizeof samples)) RemoveDirectoryA(samples);
  RemoveDirectoryA(setupState.installDir);

  for (int32_t i = 0; i < count; i++) {
    const char* name = ConfigFileName(&setupConfig, i);
    if (!name) continue;
    PlannedShortcut shortcuts[SHORTCUTS_PER_FILE_MAX];
    int32_t n = ShortcutsForFile(i, name, setupConfig.desktopShortcut, SHORTCUTS_TO_REMOVE, uninstallName, shortcuts);
    for (int32_t k = 0; k < n; k++) RemoveShortcut(productName, shortcuts[k].nameFormat, shortcuts[k].location);
  }

  char key[UNINSTALL_KEY_SIZE];
  if (UninstallKeyPath(productName, key, sizeof key)) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);

  if (WantsStartupShortcut(startupArgs)) RemoveShortcut(productName, SHORTCUT_PRODUCT_FORMAT, SHORTCUT_STARTUP);
}
