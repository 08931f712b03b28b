// The write side of the payload archive: a new file filled by copying entries byte for byte out
// of the archive open for reading, ended by its sealed directory. This is how the installer
// builds the uninstaller: "MAIN" first, so the new file starts with a stub image.
#include <string.h>

#include "archive/archive_internal.h"
#include "archive/transfer.h"

namespace {

// `ArchiveWriter`: the file, the records added so far (plain until the directory is written) and
// where the next entry's data goes.
FileHandle writerHandle = FILE_HANDLE_INVALID;
int32_t writerRecordCount;
int32_t nextDataOffset;
ArchiveDirectory writerRecords;

}  // namespace

FileHandle CreateArchive(const char* path) {
  if (writerHandle != FILE_HANDLE_INVALID) CloseArchive(writerHandle);
  writerRecordCount = 0;
  nextDataOffset = 0;
  memset(&writerRecords, 0, sizeof writerRecords);
  writerHandle = CreateOutputFile(path);
  return writerHandle;
}

void AddRecord(const char* name, uint32_t flags, int32_t storedSize, int32_t originalSize, int32_t dataOffset,
               int32_t markerOffset) {
  DirectoryAddRecord(&writerRecords, &writerRecordCount, name, flags, storedSize, originalSize, dataOffset,
                     markerOffset);
}

int CopyEntry(const char* name) {
  const FileHandle source = ReaderFile();
  if (source == FILE_HANDLE_INVALID || writerHandle == FILE_HANDLE_INVALID) return 0;
  // Checked before any byte moves: a name the directory cannot take would leave its data in the
  // file without a record.
  if (writerRecordCount >= ARCHIVE_MAX_RECORDS || !ArchiveNameFits(name)) return 0;
  const ArchiveEntry* record = FindEntry(name, LOOKUP_DATA);
  if (!record || !RecordDataUsable(record)) return 0;
  if (!PlatformSeek(source, (uint32_t)record->dataOffset)) return 0;
  const int32_t start = nextDataOffset;
  uint32_t count = (uint32_t)record->storedSize;
  // Flags 0: the stored bytes move unchanged, still masked or still compressed.
  const uint32_t result = TransferData(source, writerHandle, &count, 0, 0);
  // Bytes of a failed copy stay in the file; counting them keeps later offsets true.
  nextDataOffset += (int32_t)count;
  if (!result) return 0;
  const uint32_t flags = record->mask | (record->kind != ENTRY_STORED ? TF_KIND_COMPRESSED : 0);
  AddRecord(name, flags, (int32_t)count, record->originalSize, start, record->markerOffset);
  return 1;
}

int FinishWrittenArchive(FileHandle handle) {
  if (handle == FILE_HANDLE_INVALID || handle != writerHandle) return 0;
  // With no record the file holds data only and no directory (it will not open as an archive).
  // A failed directory write is not reported: the archive then simply has no directory.
  if (writerRecordCount != 0) {
    const uint8_t* tail = SealDirectory(&writerRecords, writerRecordCount);
    PlatformWrite(writerHandle, tail, (uint32_t)writerRecordCount * ARCHIVE_RECORD_SIZE);
  }
  PlatformClose(writerHandle);
  writerHandle = FILE_HANDLE_INVALID;
  writerRecordCount = 0;
  return 1;
}
