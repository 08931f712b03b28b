// The Welcome dialog: what will be installed and where, the folder browser that changes the
// destination, and the abort confirmation that the progress dialog asks too.

// windows.h first: the common-controls and shell headers build on it.
#include "platform/platform.h"

#include <shlobj.h>

#include "actions/action_rules.h"
#include "backdrop/backdrop.h"
#include "installer/installer.h"
#include "installer/installer_rules.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

namespace {

// The Program Files folder from the registry, expanded when stored with variables; empty when
// there is none or it does not fit.
void ReadProgramFilesDir(char* out, uint32_t size) {
  out[0] = 0;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD type = 0;
  DWORD length = size - 1;  // room for a terminator the stored value may lack
  const LONG status = RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(out), &length);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || length >= size) {
    out[0] = 0;
    return;
  }
  out[length] = 0;
  if (type == REG_EXPAND_SZ) {
    char expanded[PATH_SIZE];
    const DWORD needed = ExpandEnvironmentStringsA(out, expanded, sizeof expanded);
    const char* args[1] = {expanded};
    if (needed == 0 || needed > sizeof expanded || !FormatText(out, size, "%s", args, 1)) out[0] = 0;
  }
}

}  // namespace

void InitDefaultInstallDir(void) {
  char programFiles[PATH_SIZE + 1];
  ReadProgramFilesDir(programFiles, sizeof programFiles);
  char folderName[sizeof setupConfig.installFolderName];
  CONFIG_FIELD(setupConfig.installFolderName, folderName);
  if (DefaultInstallDir(programFiles, folderName, setupState.installDir, sizeof setupState.installDir)) {
    CreateDirectoryA(PROGRAM_FILES_FALLBACK, nullptr);  // usually there already
  }
}

int32_t ConfirmAbort(HWND owner) {
  return MessageBoxA(owner, "The setup is not finished! Do you really want to abort?", "Confirm",
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data) {
  (void)lParam;
  (void)data;
  if (message == BFFM_INITIALIZED && setupState.installDir[0]) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(setupState.browseDir));
  }
  return 0;
}

int32_t BrowseForInstallDir(HWND owner) {
  char folderName[sizeof setupConfig.installFolderName];
  CONFIG_FIELD(setupConfig.installFolderName, folderName);
  BrowseStartDir(setupState.installDir, folderName, setupState.browseDir, sizeof setupState.browseDir);
  char title[PATH_SIZE];
  const char* args[1] = {folderName};
  FormatText(title, sizeof title, "Setup will create a '%s' subdirectory within the directory you choose.", args, 1);
  char displayName[BROWSE_PATH_SIZE];
  BROWSEINFOA info;
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title;
  info.ulFlags = 0;
  info.lpfn = BrowseCallback;
  info.lParam = 0;
  info.iImage = 0;
  // The shell's folder browser expects COM on the calling thread.
  const HRESULT com = CoInitialize(nullptr);
  int32_t chosen = 0;
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (item) {
    char path[BROWSE_PATH_SIZE];
    // A choice that does not fit installDir with the folder name is refused: the old
    // destination stays.
    if (SHGetPathFromIDListA(item, path)) {
      chosen = DestinationFromChoice(path, folderName, setupState.installDir, sizeof setupState.installDir);
    }
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

INT_PTR CALLBACK WelcomeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG: {
      char productName[sizeof setupConfig.productName];
      char version[sizeof setupConfig.version];
      CONFIG_FIELD(setupConfig.productName, productName);
      CONFIG_FIELD(setupConfig.version, version);
      char text[DIALOG_TEXT_SIZE];
      WelcomeText(text, sizeof text, productName, version);
      SetDlgItemTextA(dialog, IDC_MAIN_TEXT, text);
      // Dialog 201 has neither control; the texts then go nowhere.
      SetDlgItemTextA(dialog, IDC_READY_TEXT, "When you are ready to start installing the program, click Finish.");
      SetDlgItemTextA(dialog, IDC_DEST_DIR, setupState.installDir);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDCANCEL:
        case IDC_CANCEL_BUTTON:
          if (ConfirmAbort(dialog)) EndDialog(dialog, IDCANCEL);
          break;
        case IDC_FINISH:
          EndDialog(dialog, WELCOME_FINISH);
          break;
        case IDC_BROWSE:
          BrowseForInstallDir(dialog);
          SetDlgItemTextA(dialog, IDC_DEST_DIR, setupState.installDir);
          break;
        default:
          break;
      }
      return TRUE;
    case WM_ACTIVATE:
    case WM_QUERYNEWPALETTE:
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      OnPaletteMessage(message, wParam);
      return FALSE;
    default:
      return FALSE;
  }
}
