// The process entry of the stub: narrows where DLLs may be loaded from, refuses a few locales,
// unseals the configuration and runs the installer, or (with "uninst" in the program's path) the
// uninstaller.
#include "installer/installer.h"
#include "platform/platform.h"
#include "startup/entry_rules.h"
#include "startup/setup_config.h"
#include "uninstaller/uninstaller.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryProc)(LPCSTR);

// LOAD_LIBRARY_SEARCH_SYSTEM32, spelled out for headers that predate it.
const DWORD kSearchSystem32 = 0x00000800;

// A setup usually starts from a downloads folder, where a planted DLL with a system DLL's name
// would otherwise be loaded by the stub or by the shell code it calls. Both calls are looked up
// at run time: older systems lack them, and a static import would keep the stub from starting.
void RestrictDllSearch(void) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return;
  FARPROC proc = GetProcAddress(kernel, "SetDefaultDllDirectories");
  if (proc) {
    SetDefaultDllDirectoriesProc restrict =
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void (*)(void)>(proc));
    if (restrict(kSearchSystem32)) return;
  }
  proc = GetProcAddress(kernel, "SetDllDirectoryA");
  if (proc) {
    // The empty text takes the current folder out of the search order.
    SetDllDirectoryProc setDirectory = reinterpret_cast<SetDllDirectoryProc>(reinterpret_cast<void (*)(void)>(proc));
    setDirectory("");
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  RestrictDllSearch();
  if (IsRefusedLocale(REFUSE_ALL)) return 0;
  UnsealConfig(&storedConfig);
  char path[256];
  // An unreadable path counts as empty, which selects the installer.
  if (PlatformOwnPath(path, sizeof path) == 0) path[0] = 0;
  if (FindNoCase(path, UNINSTALL_MODE_KEY)) return RunUninstaller(instance, previous, commandLine, showCommand);
  return RunInstaller(instance, previous, commandLine, showCommand);
}
