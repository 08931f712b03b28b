// The install's file phase: placement, extraction and the uninstaller build, with the checks
// that tell a complete file from one cut short.
#include "actions/install_files.h"

#include "actions/action_rules.h"
#include "archive/archive.h"
#include "backdrop/backdrop_layout.h"
#include "platform/platform.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"
#include "stream/block_stream.h"

namespace {

void (*tickHandler)(void);
uint32_t (*bytesWrittenHandler)(uint32_t);
char failedFile[INSTALL_PATH_SIZE];

// The entry that makes the uninstaller's file an executable: the bare stub image.
const char* const kStubEntry = "MAIN";

int32_t FileSizeIs(const char* path, uint32_t expected) {
  const FileHandle file = PlatformOpenRead(path);
  if (file == FILE_HANDLE_INVALID) return 0;
  const uint32_t size = PlatformFileSize(file);
  PlatformClose(file);
  return size == expected;
}

// One product file from its entry. 1 when the file holds the entry's whole content, and for an
// entry missing from the archive, which is passed over.
int32_t ExtractProductFile(const char* entry, const char* path) {
  const ArchiveEntry* record = FindEntry(entry, LOOKUP_ANY);
  if (!record) return 1;
  const int32_t compressed = record->kind != ENTRY_STORED && record->kind != ENTRY_INLINE;
  const int32_t originalSize = record->originalSize;
  if (!ExtractEntry(entry, path)) return 0;
  // The stream does not report a short write of expanded data (a full disk), so the count it
  // wrote must match what the entry expands to.
  return !compressed || (originalSize >= 0 && StreamTotalWritten() == (uint32_t)originalSize);
}

// Copies one entry into the uninstaller being written and adds its stored size to *size.
int32_t CopyUninstallerEntry(const char* name, uint32_t* size) {
  const ArchiveEntry* record = FindEntry(name, LOOKUP_DATA);
  if (!record) return 0;
  const uint32_t storedSize = (uint32_t)record->storedSize;
  if (!CopyEntry(name)) return 0;
  *size += storedSize + ARCHIVE_RECORD_SIZE;
  return 1;
}

// File 0: a new archive of the stub image and the backdrop pictures. 1 when it was written in
// full. Without "MAIN" the file would not start, so that counts as a failure; a missing picture
// only leaves a gap in the uninstaller's backdrop, as it does in the setup's own.
int32_t BuildUninstaller(const char* path) {
  const FileHandle output = CreateArchive(path);
  if (output == FILE_HANDLE_INVALID) return 0;
  uint32_t size = 0;
  int32_t built = CopyUninstallerEntry(kStubEntry, &size);
  for (int32_t k = 0; built && k < BACKDROP_PIECE_COUNT; k++) {
    const char* name = BackdropPieceNames[k];
    if (FindEntry(name, LOOKUP_DATA)) built = CopyUninstallerEntry(name, &size);
  }
  CloseArchive(output);
  // The directory is written when the archive is closed, and a failed write there is not
  // reported: the file's size shows whether data and directory are all there.
  return built && FileSizeIs(path, size);
}

void NoteFailedFile(const char* path, const char* name, const char* entry) {
  const char* shown = path[0] ? path : name && name[0] ? name : entry;
  TextBuilder b;
  TextStart(&b, failedFile, sizeof failedFile);
  TextAdd(&b, shown);
  if (!TextFinish(&b)) ConfigFieldText(shown, sizeof failedFile, failedFile);
}

}  // namespace

void SetInstallProgressHandlers(void (*tick)(void), uint32_t (*bytesWritten)(uint32_t)) {
  tickHandler = tick;
  bytesWrittenHandler = bytesWritten;
}

const char* InstallFailedFile(void) {
  return failedFile;
}

int32_t InstallFiles(void (*showFile)(const char* path)) {
  failedFile[0] = 0;
  int32_t failed = 0;
  for (int32_t i = 0; i < setupConfig.fileCount && !setupState.installStopped && !failed; i++) {
    const char* name = ConfigFileName(&setupConfig, i);
    char folder[INSTALL_PATH_SIZE];
    char path[INSTALL_PATH_SIZE];
    char entry[INSTALL_ENTRY_SIZE];
    InstallEntryName(i, entry, sizeof entry);
    const int32_t haveFolder = InstallFileFolder(setupState.installDir, i, folder, sizeof folder);
    if (haveFolder && InstallCreatesFolder(i)) PlatformCreateDirectory(folder);  // may exist already
    // A path that does not fit is not used at all: cut short it would name another file.
    const int32_t havePath = name && haveFolder && InstallFilePath(setupState.installDir, i, name, path, sizeof path);
    if (!havePath) path[0] = 0;
    if (havePath && showFile) showFile(path);
    progressSink.onBytesWritten = bytesWrittenHandler;
    progressSink.onTick = tickHandler;
    int32_t written = 0;
    if (havePath) written = i == UNINSTALLER_INDEX ? BuildUninstaller(path) : ExtractProductFile(entry, path);
    setupState.filesDone = setupState.filesDone + 1;
    // A file cut short by a confirmed Cancel is the user's stop, not a failure.
    if (!written && !setupState.installStopped) {
      failed = 1;
      NoteFailedFile(path, name, entry);
    }
  }
  if (setupState.installStopped) return INSTALL_STOPPED;
  return failed ? INSTALL_FAILED : INSTALL_COMPLETE;
}
