// The self-deleting batch. The command interpreter reads a batch file in the OEM code page, so
// the paths are written in it: an ANSI "é" would name another file for it, the "del" would
// never succeed and the hidden batch would loop for ever. A path with a character the OEM code
// page lacks is written in its short 8.3 form.
#include "actions/action_rules.h"
#include "uninstaller/uninstaller.h"

namespace {

int32_t IsAnsiLeadByte(uint8_t byte) {
  return IsDBCSLeadByte(byte) ? 1 : 0;
}

// The path as the command interpreter must read it. 1 when out holds it.
int32_t ToBatchText(const char* path, char* out, int size) {
  WCHAR wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH)) return 0;
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_OEMCP, 0, wide, -1, out, size, nullptr, &lossy) && !lossy) return 1;
  char shortPath[MAX_PATH];
  DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
  if (n == 0 || n >= sizeof shortPath) return 0;
  if (!MultiByteToWideChar(CP_ACP, 0, shortPath, -1, wide, MAX_PATH)) return 0;
  lossy = FALSE;
  return WideCharToMultiByte(CP_OEMCP, 0, wide, -1, out, size, nullptr, &lossy) && !lossy;
}

// The batch's text, 0 when a path cannot be written so that the batch would find it.
int32_t MakeBatch(char* text, uint32_t size) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return 0;
  char folder[MAX_PATH];
  if (!FolderOfPath(path, IsAnsiLeadByte, folder, sizeof folder)) return 0;
  char batchPath[MAX_PATH];
  char batchFolder[MAX_PATH];
  if (!ToBatchText(path, batchPath, sizeof batchPath) || !ToBatchText(folder, batchFolder, sizeof batchFolder)) return 0;
  return FormatDeleteBatch(batchPath, batchFolder, text, size);
}

}  // namespace

void StartSelfDelete(void) {
  HANDLE file = CreateFileA(DELETE_BATCH_PATH, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[DELETE_BATCH_SIZE];
  int32_t length = MakeBatch(text, sizeof text);
  DWORD written = 0;
  if (length > 0) WriteFile(file, text, (DWORD)length, &written, nullptr);
  CloseHandle(file);
  if (length <= 0 || written != (DWORD)length) {
    // A batch that cannot find the uninstaller would spin for ever: none is better.
    DeleteFileA(DELETE_BATCH_PATH);
    return;
  }

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const DWORD flags = CREATE_SUSPENDED | IDLE_PRIORITY_CLASS;

  BOOL started = FALSE;
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  // GetEnvironmentVariableA reads COMSPEC into 256 characters, as the interpreter's path.
  char comspec[256];
  DWORD comspecLength = 0;
  if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    comspecLength = GetEnvironmentVariableA("COMSPEC", comspec, sizeof comspec);
  }
  char command[sizeof comspec + 32];
  TextBuilder line;
  TextStart(&line, command, sizeof command);
  if (comspecLength > 0 && comspecLength < sizeof comspec) {
    // Windows 95/98/Me start a batch through their command interpreter.
    TextAdd(&line, comspec);
    TextAdd(&line, " /C " DELETE_BATCH_PATH);
  } else {
    TextAdd(&line, DELETE_BATCH_PATH);
  }
  if (TextFinish(&line)) {
    started = CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, flags, nullptr, "\\", &startup, &process);
  }
  if (!started) return;
  SetThreadPriority(process.hThread, THREAD_PRIORITY_IDLE);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
  CloseHandle(process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
}
