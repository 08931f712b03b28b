// The install worker on Windows: closes running copies of the product, runs the file phase,
// then makes the shortcuts and the uninstall entry. It reaches the progress dialog only through
// two controls: the file text and the Cancel button.
#include "actions/actions.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

namespace {

// The progress dialog's static text that shows the file being written.
const int kFileTextControl = 106;

HWND workerDialog;

void ShowFileInDialog(const char* path) {
  SetDlgItemTextA(workerDialog, kFileTextControl, path);
}

// The shortcuts of every file, in list order.
void MakeFileShortcuts(const char* productName) {
  char uninstallFormat[sizeof setupConfig.uninstallShortcutName];
  CONFIG_FIELD(setupConfig.uninstallShortcutName, uninstallFormat);
  for (int32_t i = 0; i < setupConfig.fileCount; i++) {
    const char* name = ConfigFileName(&setupConfig, i);
    if (!name) break;
    PlannedShortcut planned[SHORTCUTS_PER_FILE_MAX];
    const int32_t count =
        ShortcutsForFile(i, name, setupConfig.desktopShortcut, SHORTCUTS_TO_MAKE, uninstallFormat, planned);
    // The target is where the file was written, the Samples folder included.
    char target[INSTALL_PATH_SIZE];
    if (count == 0 || !InstallFilePath(setupState.installDir, i, name, target, sizeof target)) continue;
    for (int32_t k = 0; k < count; k++) {
      setupState.uninstallerShortcut = planned[k].uninstallerIcon;
      CreateShortcut(target, productName, planned[k].nameFormat, nullptr, planned[k].location);
    }
  }
}

void MakeStartupShortcut(const char* productName) {
  char arguments[sizeof setupConfig.startupArgs];
  CONFIG_FIELD(setupConfig.startupArgs, arguments);
  const char* name = ConfigFileName(&setupConfig, STARTUP_TARGET_INDEX);
  char target[INSTALL_PATH_SIZE];
  if (!WantsStartupShortcut(arguments) || !name ||
      !InstallFilePath(setupState.installDir, STARTUP_TARGET_INDEX, name, target, sizeof target)) {
    return;
  }
  CreateShortcut(target, productName, SHORTCUT_PRODUCT_FORMAT, arguments, SHORTCUT_STARTUP);
}

}  // namespace

void CloseRunningProduct(void) {
  char windowClass[sizeof setupConfig.productWindowClass];
  CONFIG_FIELD(setupConfig.productWindowClass, windowClass);
  if (!windowClass[0]) return;
  CloseProductSearch search;
  CloseProductBegin(&search);
  while (CloseProductMore(&search)) {
    HWND window = FindWindowA(windowClass, nullptr);
    if (!CloseProductFound(&search, (uintptr_t)window)) break;
    PostMessageA(window, WM_QUIT, 0, 0);
    Sleep(CLOSE_PRODUCT_WAIT_MS);
  }
}

int RunInstallWorker(HWND dialog) {
  CloseRunningProduct();
  workerDialog = dialog;
  const int32_t result = InstallFiles(dialog ? ShowFileInDialog : nullptr);
  if (result != INSTALL_COMPLETE) return result;

  // From here on a press of Cancel is no longer taken.
  setupState.installStopped = 1;
  if (dialog) EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
  char productName[sizeof setupConfig.productName];
  CONFIG_FIELD(setupConfig.productName, productName);
  MakeFileShortcuts(productName);
  RegisterUninstall();
  MakeStartupShortcut(productName);
  return INSTALL_COMPLETE;
}
