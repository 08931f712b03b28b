// The read side of the payload archive: one archive open for reading at a time, its directory
// unsealed in memory, and extraction of entries to files and into memory.
#include <string.h>

#include "archive/archive_internal.h"
#include "archive/transfer.h"

namespace {

// `ArchiveReader`: the open file and its deciphered records.
FileHandle readerHandle = FILE_HANDLE_INVALID;
int32_t readerRecordCount;
ArchiveDirectory readerRecords;

// The own path is read into a buffer of this size, as the system does everywhere.
const uint32_t OWN_PATH_SIZE = 256;

// Positions the archive file at a record's data; 0 when the record cannot be used.
int SeekToData(const ArchiveEntry* record) {
  return RecordDataUsable(record) && PlatformSeek(readerHandle, (uint32_t)record->dataOffset);
}

}  // namespace

FileHandle ReaderFile(void) {
  return readerHandle;
}

int RecordDataUsable(const ArchiveEntry* record) {
  return record->dataOffset >= 0 && record->storedSize >= 0;
}

int ReadDirectory(FileHandle file) {
  readerRecordCount = 0;
  const uint32_t size = PlatformFileSize(file);
  uint32_t k = size / ARCHIVE_RECORD_SIZE;
  if (k > ARCHIVE_MAX_RECORDS) k = ARCHIVE_MAX_RECORDS;
  if (k == 0) return 0;
  const uint32_t length = k * ARCHIVE_RECORD_SIZE;
  uint8_t* tail = DirectoryTail(&readerRecords, (int32_t)k);
  if (!PlatformSeek(file, size - length) || PlatformRead(file, tail, length) < length) return 0;
  readerRecordCount = UnsealDirectory(&readerRecords, (int32_t)k);
  return readerRecordCount != 0;
}

FileHandle OpenArchive(const char* path) {
  if (readerHandle != FILE_HANDLE_INVALID) CloseArchive(readerHandle);
  char ownPath[OWN_PATH_SIZE];
  if (!path) {
    if (PlatformOwnPath(ownPath, OWN_PATH_SIZE) == 0) return FILE_HANDLE_INVALID;
    path = ownPath;
  }
  readerHandle = PlatformOpenRead(path);
  if (readerHandle != FILE_HANDLE_INVALID && !ReadDirectory(readerHandle)) {
    PlatformClose(readerHandle);
    readerHandle = FILE_HANDLE_INVALID;
  }
  return readerHandle;
}

void CloseArchive(FileHandle handle) {
  if (handle == FILE_HANDLE_INVALID) return;
  if (handle == readerHandle) {
    PlatformClose(readerHandle);
    readerHandle = FILE_HANDLE_INVALID;
    readerRecordCount = 0;
    return;
  }
  FinishWrittenArchive(handle);
}

const ArchiveEntry* FindEntry(const char* name, uint32_t mode) {
  if (readerHandle == FILE_HANDLE_INVALID) return nullptr;
  return DirectoryFind(&readerRecords, readerRecordCount, name, mode);
}

int32_t EntryOriginalSize(const char* name) {
  const ArchiveEntry* record = FindEntry(name, LOOKUP_DATA);
  return record ? record->originalSize : -1;
}

FileHandle CreateOutputFile(const char* path) {
  if (!path) return FILE_HANDLE_INVALID;
  return PlatformCreateWrite(path);
}

int ReadInlineData(const char* name, uint8_t* buffer, int32_t* length) {
  const ArchiveEntry* record = buffer ? FindEntry(name, LOOKUP_INLINE) : nullptr;
  const int32_t count = record ? EntryInlineLength(record) : 0;
  if (count > 0) memcpy(buffer, EntryInlineData(record), (size_t)count);
  if (length) *length = count;
  return record != nullptr;
}

int ExtractEntry(const char* name, const char* path) {
  const ArchiveEntry* record = FindEntry(name, LOOKUP_ANY);
  if (!record || !path) return 0;
  const int isInline = record->kind == ENTRY_INLINE;
  // A damaged record is refused before the output file is created, so an existing file of that
  // name is not lost for nothing.
  if (!isInline && !RecordDataUsable(record)) return 0;
  FileHandle output = CreateOutputFile(path);
  if (output == FILE_HANDLE_INVALID) return 0;
  int result;
  if (isInline) {
    const uint32_t length = (uint32_t)EntryInlineLength(record);
    result = PlatformWrite(output, EntryInlineData(record), length) == length;
  } else if (!SeekToData(record)) {
    result = 0;
  } else {
    uint32_t count = (uint32_t)record->storedSize;
    const uint32_t flags = record->kind == ENTRY_STORED ? record->mask : TF_COMPRESSED;
    result = (int)TransferData(readerHandle, output, &count, flags, 0);
  }
  PlatformClose(output);
  return result;
}

int ExtractEntryToMemory(const char* name, void* buffer, int32_t bound) {
  const ArchiveEntry* record = FindEntry(name, LOOKUP_DATA);
  if (!record || !buffer || !SeekToData(record)) return 0;
  if (bound < 0) bound = 0;
  const int32_t count = record->storedSize > bound ? bound : record->storedSize;
  uint32_t moved = (uint32_t)count;
  const uint32_t flags = (record->kind == ENTRY_STORED ? record->mask : TF_COMPRESSED) | TF_TO_MEMORY;
  // The bound is also the memory's capacity, so a compressed entry that expands to more than
  // the caller made room for fails instead of running past the buffer.
  return (int)TransferData(readerHandle, buffer, &moved, flags, (uint32_t)bound);
}

int32_t ArchiveRecordCount(void) {
  return readerHandle == FILE_HANDLE_INVALID ? 0 : readerRecordCount;
}

const ArchiveEntry* ArchiveRecord(int32_t index) {
  if (index < 0 || index >= ArchiveRecordCount()) return nullptr;
  return DirectorySlot(&readerRecords, index);
}
