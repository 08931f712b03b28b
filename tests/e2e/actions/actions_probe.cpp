// A console stand-in for the installer around the install worker, for the wine scenarios. Packed
// by mksetup as the stub of a setup, it unseals its configuration, opens its own archive and runs
// the worker with no dialog, then says what came out:
//   probe install DIR   run the install into DIR; exit code = the worker's result
//   probe waitwindow    wait up to 30 s for a window of the product's class (exit 0: found)
//   probe list FILE     the archive at the end of FILE: one line per record, in directory order,
//                       with its content's size and checksum
#include <stdio.h>
#include <string.h>

#include "actions/actions.h"
#include "archive/archive.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"

namespace {

HWND ProductWindow() {
  char windowClass[sizeof setupConfig.productWindowClass];
  CONFIG_FIELD(setupConfig.productWindowClass, windowClass);
  return windowClass[0] ? FindWindowA(windowClass, nullptr) : nullptr;
}

int Install(const char* dir) {
  if (OpenArchive(nullptr) == FILE_HANDLE_INVALID) {
    printf("archive: none\n");
    return 10;
  }
  if (strlen(dir) >= sizeof setupState.installDir) return 11;
  strcpy(setupState.installDir, dir);
  printf("window before: %s\n", ProductWindow() ? "yes" : "none");
  const int result = RunInstallWorker(nullptr);
  printf("window after: %s\n", ProductWindow() ? "yes" : "none");
  printf("result: %d\nfilesDone: %d\ninstallStopped: %d\nuninstallerShortcut: %d\nfailed: %s\n", result,
         (int)setupState.filesDone, (int)setupState.installStopped, (int)setupState.uninstallerShortcut,
         InstallFailedFile());
  return result;
}

int WaitWindow() {
  for (int i = 0; i < 600; i++) {
    if (ProductWindow()) {
      printf("window: found\n");
      return 0;
    }
    Sleep(50);
  }
  printf("window: none\n");
  return 1;
}

int List(const char* path) {
  if (OpenArchive(path) == FILE_HANDLE_INVALID) {
    printf("archive: none\n");
    return 1;
  }
  static uint8_t content[4 << 20];
  for (int32_t i = 0; i < ArchiveRecordCount(); i++) {
    const ArchiveEntry* record = ArchiveRecord(i);
    char name[ARCHIVE_NAME_SIZE + 1] = {};
    memcpy(name, record->name, ARCHIVE_NAME_SIZE);
    const int32_t size = EntryOriginalSize(name);
    uint32_t sum = 0;
    if (size >= 0 && size <= (int32_t)sizeof content && ExtractEntryToMemory(name, content, size)) {
      for (int32_t k = 0; k < size; k++) sum = sum * 31 + content[k];
    }
    printf("%s %d %08x\n", name, (int)size, (unsigned)sum);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  UnsealConfig(&storedConfig);
  int rc = 12;
  if (argc == 3 && strcmp(argv[1], "install") == 0) rc = Install(argv[2]);
  if (argc == 2 && strcmp(argv[1], "waitwindow") == 0) rc = WaitWindow();
  if (argc == 3 && strcmp(argv[1], "list") == 0) rc = List(argv[2]);
  fflush(stdout);
  return rc;
}
