// The product's entry in the system's list of installed programs, under HKEY_LOCAL_MACHINE.
#include "actions/actions.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

int WriteUninstallValue(const char* keyPath, const char* valueName, const char* text) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  const DWORD length = (DWORD)lstrlenA(text) + 1;
  const LONG set = RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE*)text, length);
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

int RegisterUninstall(void) {
  char productName[sizeof setupConfig.productName];
  CONFIG_FIELD(setupConfig.productName, productName);
  char keyPath[UNINSTALL_KEY_SIZE];
  if (!UninstallKeyPath(productName, keyPath, sizeof keyPath)) return 0;
  // Each value is tried even when an earlier one failed.
  int written = WriteUninstallValue(keyPath, "DisplayName", productName);
  char command[UNINSTALL_COMMAND_SIZE];
  const char* uninstaller = ConfigFileName(&setupConfig, UNINSTALLER_INDEX);
  if (uninstaller && UninstallCommand(setupState.installDir, uninstaller, command, sizeof command)) {
    written &= WriteUninstallValue(keyPath, "UninstallString", command);
  } else {
    written = 0;
  }
  written &= WriteUninstallValue(keyPath, "Publisher", UNINSTALL_PUBLISHER);
  written &= WriteUninstallValue(keyPath, "URLInfoAbout", UNINSTALL_URL);
  return written;
}
