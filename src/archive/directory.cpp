// The archive directory as a block of 32 record slots: filling records, sealing the directory,
// finding it again by trial, and the name lookup. No module state: the reader, the writer and the
// packaging side's builder each pass their own block.
#include "archive/archive_format.h"

#include <string.h>

#include "crypto/pc1.h"

namespace {

uint8_t FoldCase(uint8_t c) {
  return (c >= 'A' && c <= 'Z') ? (uint8_t)(c + ('a' - 'A')) : c;
}

// The parts every record a writer adds has in common; the rest of the record is zero.
ArchiveEntry* StartRecord(ArchiveDirectory* directory, int32_t index, const char* name) {
  ArchiveEntry* record = DirectorySlot(directory, index);
  memset(record, 0, sizeof *record);
  memcpy(record->name, name, strlen(name));  // at most 15 bytes: ArchiveNameFits was asked first
  record->recordSize = ARCHIVE_RECORD_SIZE;
  record->magic = DIRECTORY_MAGIC;
  return record;
}

// Counts the new record; the trailer always carries the count, so the directory can be written
// as it stands.
void CountRecord(ArchiveDirectory* directory, int32_t* recordCount) {
  *recordCount += 1;
  DirectorySlot(directory, 0)->lengthOrCount = (int8_t)*recordCount;
}

}  // namespace

ArchiveEntry* DirectorySlot(ArchiveDirectory* directory, int32_t index) {
  return &directory->slots[ARCHIVE_MAX_RECORDS - 1 - index];
}

const ArchiveEntry* DirectorySlot(const ArchiveDirectory* directory, int32_t index) {
  return &directory->slots[ARCHIVE_MAX_RECORDS - 1 - index];
}

uint8_t* DirectoryTail(ArchiveDirectory* directory, int32_t n) {
  return (uint8_t*)&directory->slots[ARCHIVE_MAX_RECORDS - n];
}

int ArchiveNameFits(const char* name) {
  if (!name) return 0;
  for (int i = 0; i <= ARCHIVE_MAX_NAME_LENGTH; i++) {
    if (name[i] == 0) return 1;
  }
  return 0;
}

int EntryNameMatches(const ArchiveEntry* record, const char* name) {
  if (!name) return 0;
  for (int i = 0; i < ARCHIVE_NAME_SIZE; i++) {
    uint8_t a = (uint8_t)record->name[i];
    uint8_t b = (uint8_t)name[i];
    if (FoldCase(a) != FoldCase(b)) return 0;
    if (a == 0) return 1;
  }
  // A field of 16 characters without a zero (written by some other tool): its name is all 16
  // bytes, and the name sought must end there too.
  return name[ARCHIVE_NAME_SIZE] == 0;
}

int DirectoryAddRecord(ArchiveDirectory* directory, int32_t* recordCount, const char* name, uint32_t flags,
                       int32_t storedSize, int32_t originalSize, int32_t dataOffset, int32_t markerOffset) {
  if (*recordCount < 0 || *recordCount >= ARCHIVE_MAX_RECORDS || !ArchiveNameFits(name)) return 0;
  ArchiveEntry* record = StartRecord(directory, *recordCount, name);
  record->kind = (flags & TF_KIND_COMPRESSED) ? ENTRY_COMPRESSED : ENTRY_STORED;
  record->mask = (uint8_t)(flags & TF_MASK_BYTE);
  record->dataOffset = dataOffset;
  record->storedSize = storedSize;
  record->originalSize = originalSize;
  record->markerOffset = (markerOffset == 0 || markerOffset >= originalSize) ? -1 : markerOffset;
  CountRecord(directory, recordCount);
  return 1;
}

int DirectoryAddInline(ArchiveDirectory* directory, int32_t* recordCount, const char* name, const uint8_t* data,
                       int32_t length) {
  if (*recordCount < 1 || *recordCount >= ARCHIVE_MAX_RECORDS || !ArchiveNameFits(name)) return 0;
  if (length < 0 || length > ENTRY_INLINE_MAX || (length > 0 && !data)) return 0;
  ArchiveEntry* record = StartRecord(directory, *recordCount, name);
  record->kind = ENTRY_INLINE;
  record->lengthOrCount = (int8_t)length;
  if (length > 0) memcpy((uint8_t*)record + ENTRY_INLINE_DATA_OFFSET, data, (size_t)length);
  CountRecord(directory, recordCount);
  return 1;
}

uint8_t* SealDirectory(ArchiveDirectory* directory, int32_t n) {
  uint8_t* tail = DirectoryTail(directory, n);
  Pc1SetKey(PC1_DIRECTORY_KEY_TEXT);
  Pc1Process(tail, (uint32_t)n * ARCHIVE_RECORD_SIZE, 1);
  return tail;
}

int32_t UnsealDirectory(ArchiveDirectory* directory, int32_t k) {
  if (k > ARCHIVE_MAX_RECORDS) k = ARCHIVE_MAX_RECORDS;
  const ArchiveEntry* trailer = DirectorySlot(directory, 0);
  for (int32_t n = 1; n <= k; n++) {
    uint8_t* tail = DirectoryTail(directory, n);
    const uint32_t length = (uint32_t)n * ARCHIVE_RECORD_SIZE;
    Pc1SetKey(PC1_DIRECTORY_KEY_TEXT);
    Pc1Process(tail, length, 0);
    if (trailer->magic == DIRECTORY_MAGIC && trailer->lengthOrCount == n) return n;
    // The key feedback runs on the plaintext both ways, so enciphering again restores the stored
    // bytes exactly for the next, longer try.
    Pc1SetKey(PC1_DIRECTORY_KEY_TEXT);
    Pc1Process(tail, length, 1);
  }
  return 0;
}

const ArchiveEntry* DirectoryFind(const ArchiveDirectory* directory, int32_t recordCount, const char* name,
                                  uint32_t mode) {
  if (recordCount > ARCHIVE_MAX_RECORDS) recordCount = ARCHIVE_MAX_RECORDS;
  for (int32_t i = 0; i < recordCount; i++) {
    const ArchiveEntry* record = DirectorySlot(directory, i);
    if (!EntryNameMatches(record, name)) continue;
    // The first record of that name decides, even when a later one would have the wanted kind.
    const int isInline = record->kind == ENTRY_INLINE;
    if (isInline ? (mode & LOOKUP_INLINE) : (mode & LOOKUP_DATA)) return record;
    return nullptr;
  }
  return nullptr;
}

const uint8_t* EntryInlineData(const ArchiveEntry* record) {
  return (const uint8_t*)record + ENTRY_INLINE_DATA_OFFSET;
}

int32_t EntryInlineLength(const ArchiveEntry* record) {
  const int32_t length = record->lengthOrCount;
  return (length < 0 || length > ENTRY_INLINE_MAX) ? 0 : length;
}
