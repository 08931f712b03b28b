// The product's shortcut files in the current user's Start menu, Startup and Desktop folders,
// written through the shell's link object, and their removal, which computes the same paths.
#include <objbase.h>
#include <shobjidl.h>

#include "actions/actions.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

namespace {

// Defined here rather than taken from the uuid library, which would pull in every GUID it has.
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kShellLinkAInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kPersistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The uninstaller's icon group is the stub's second one.
const int kUninstallerIconIndex = 1;

// The shortcut's name and link path, computed the same way for its creation and its removal.
int32_t LocateShortcut(const char* productName, const char* nameFormat, int32_t location, char* name,
                       ShortcutPath* link) {
  if (!FormatShortcutName(nameFormat, productName, name, SHORTCUT_NAME_SIZE)) return 0;
  char folder[SHELL_FOLDER_READ_SIZE];
  if (!ResolveShortcutFolder(location, folder, sizeof folder)) return 0;
  char installFolder[sizeof setupConfig.installFolderName];
  char startMenuFolder[sizeof setupConfig.startMenuFolder];
  CONFIG_FIELD(setupConfig.installFolderName, installFolder);
  CONFIG_FIELD(setupConfig.startMenuFolder, startMenuFolder);
  return BuildShortcutPath(folder, location, installFolder, startMenuFolder, name, link);
}

// Runs the folder operation on the link path cut at level (0: no such level; a level outside
// the path is never cut at).
void AtLevel(ShortcutPath* link, int32_t level, int (*operation)(const char*)) {
  if (level <= 0 || level >= SHORTCUT_PATH_SIZE) return;
  const char kept = link->path[level];
  link->path[level] = 0;
  operation(link->path);
  link->path[level] = kept;
}

// The text of a registry value as a folder: expandable values have their environment references
// expanded; values that are not text are not a folder.
int32_t FolderFromValue(char* value, DWORD type, char* folder, uint32_t size) {
  char expanded[SHELL_FOLDER_SIZE];
  if (type == REG_EXPAND_SZ) {
    const DWORD n = ExpandEnvironmentStringsA(value, expanded, SHELL_FOLDER_SIZE);
    if (n == 0 || n > SHELL_FOLDER_SIZE) return 0;
    value = expanded;
  } else if (type != REG_SZ) {
    return 0;
  }
  TextBuilder b;
  TextStart(&b, folder, size);
  TextAdd(&b, value);
  return TextFinish(&b) && folder[0] != 0;
}

}  // namespace

int ResolveShortcutFolder(int32_t location, char* folder, uint32_t size) {
  if (!folder || size == 0) return 0;
  folder[0] = 0;
  const char* valueName = ShellFolderValueName(location);
  HKEY key;
  if (!valueName || RegOpenKeyExA(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return 0;
  }
  // One byte more than the read may fill: a stored text need not end with its terminator.
  char value[SHELL_FOLDER_READ_SIZE + 1];
  DWORD type = REG_NONE;
  DWORD length = SHELL_FOLDER_READ_SIZE;
  const LONG read = RegQueryValueExA(key, valueName, nullptr, &type, (BYTE*)value, &length);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || length > SHELL_FOLDER_READ_SIZE) return 0;
  value[length] = 0;
  return FolderFromValue(value, type, folder, size);
}

HRESULT WriteShellLink(const char* target, const char* linkPath, const char* description, const char* arguments) {
  HRESULT result = CoInitialize(nullptr);
  if (FAILED(result)) return result;
  void* object = nullptr;
  result = CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkAInterface, &object);
  if (SUCCEEDED(result)) {
    IShellLinkA* link = static_cast<IShellLinkA*>(object);
    link->SetPath(target);
    link->SetDescription(description);
    if (arguments) link->SetArguments(arguments);
    if (setupState.uninstallerShortcut) link->SetIconLocation(target, kUninstallerIconIndex);
    void* persistObject = nullptr;
    result = link->QueryInterface(kPersistFileInterface, &persistObject);
    if (SUCCEEDED(result)) {
      IPersistFile* persist = static_cast<IPersistFile*>(persistObject);
      WCHAR widePath[SHORTCUT_PATH_SIZE];
      if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, SHORTCUT_PATH_SIZE) == 0) {
        result = HRESULT_FROM_WIN32(GetLastError());
        if (SUCCEEDED(result)) result = E_FAIL;
      } else {
        result = persist->Save(widePath, TRUE);
      }
      persist->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return result;
}

int CreateShortcut(const char* target, const char* productName, const char* nameFormat, const char* arguments,
                   int32_t location) {
  char name[SHORTCUT_NAME_SIZE];
  ShortcutPath link;
  int saved = 0;
  if (target && LocateShortcut(productName, nameFormat, location, name, &link)) {
    // The Start-menu folders usually exist already; a failure shows in the link's save.
    AtLevel(&link, link.level1, PlatformCreateDirectory);
    AtLevel(&link, link.level2, PlatformCreateDirectory);
    const char* linkArguments = arguments && arguments[0] ? arguments : nullptr;
    saved = SUCCEEDED(WriteShellLink(target, link.path, name, linkArguments));
  }
  // The uninstaller's icon is for exactly one link.
  setupState.uninstallerShortcut = 0;
  return saved;
}

int RemoveShortcut(const char* productName, const char* nameFormat, int32_t location) {
  char name[SHORTCUT_NAME_SIZE];
  ShortcutPath link;
  if (!LocateShortcut(productName, nameFormat, location, name, &link)) return 1;
  PlatformDeleteFile(link.path);
  // A folder goes only when empty, so the product's folders disappear with their last link.
  AtLevel(&link, link.level2, PlatformRemoveDirectory);
  AtLevel(&link, link.level1, PlatformRemoveDirectory);
  return 1;
}
