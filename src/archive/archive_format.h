// Byte layout of the payload archive's directory: 40-byte records sealed with PC1 at the very
// end of the file, record 0 (the trailer) last. The block functions here work on a caller's
// directory block and are shared by the stub's reader and writer and the packaging side's
// builder, so every archive is laid out, sealed and searched by the same code.
#pragma once
#include <stddef.h>
#include <stdint.h>

#define ARCHIVE_RECORD_SIZE 40
#define ARCHIVE_MAX_RECORDS 32
#define ARCHIVE_NAME_SIZE 16
// The longest name the writers accept: it always ends inside the field with a zero byte.
#define ARCHIVE_MAX_NAME_LENGTH (ARCHIVE_NAME_SIZE - 1)
#define DIRECTORY_MAGIC 0x4B4E4F54u  // the bytes "TONK" in file order

// Values of `kind`. Readers take every value other than 0 and -1 as compressed.
#define ENTRY_STORED 0
#define ENTRY_COMPRESSED 1
#define ENTRY_INLINE (-1)

// Inline records carry up to 16 data bytes in the record itself, from offset 23 on.
#define ENTRY_INLINE_DATA_OFFSET 23
#define ENTRY_INLINE_MAX 16

// Lookup modes of FindEntry; other bits are ignored.
#define LOOKUP_DATA 1    // stored and compressed records
#define LOOKUP_INLINE 2  // inline records
#define LOOKUP_ANY 3

// `TransferFlags`: the flag word of an entry transfer and of a new record.
#define TF_MASK_BYTE 0x000000FFu        // XOR mask of stored data
#define TF_COMPRESSED 0x00000200u       // the input is a block-framed LZHUF stream
#define TF_KIND_COMPRESSED 0x00100000u  // a new record's kind is compressed (records only)
#define TF_TO_MEMORY 0x01000000u        // the output is a memory address

// Packed, as in the file: the 32-bit fields are unaligned, so read them by value (binding a
// reference to one, as test macros do, is undefined behaviour that the sanitizers report).
#pragma pack(push, 1)
struct ArchiveEntry {
  int8_t lengthOrCount;  // trailer: the record count; other inline records: data bytes; else 0
  int8_t kind;
  uint8_t mask;
  char name[ARCHIVE_NAME_SIZE];  // zero-filled
  int32_t dataOffset;            // from the start of the file, stub image included
  int32_t storedSize;
  int32_t originalSize;
  int32_t markerOffset;  // -1: none
  uint8_t recordSize;    // always 40
  uint32_t magic;        // DIRECTORY_MAGIC
};
#pragma pack(pop)

static_assert(sizeof(ArchiveEntry) == ARCHIVE_RECORD_SIZE, "ArchiveEntry is 40 bytes");
static_assert(offsetof(ArchiveEntry, lengthOrCount) == 0, "layout");
static_assert(offsetof(ArchiveEntry, kind) == 1, "layout");
static_assert(offsetof(ArchiveEntry, mask) == 2, "layout");
static_assert(offsetof(ArchiveEntry, name) == 3, "layout");
static_assert(offsetof(ArchiveEntry, dataOffset) == 19, "layout");
static_assert(offsetof(ArchiveEntry, storedSize) == 23, "layout");
static_assert(offsetof(ArchiveEntry, originalSize) == 27, "layout");
static_assert(offsetof(ArchiveEntry, markerOffset) == 31, "layout");
static_assert(offsetof(ArchiveEntry, recordSize) == 35, "layout");
static_assert(offsetof(ArchiveEntry, magic) == 36, "layout");
static_assert(ENTRY_INLINE_DATA_OFFSET + ENTRY_INLINE_MAX <= ARCHIVE_RECORD_SIZE, "inline data fits");

// 32 record slots laid out like the end of the file: record i is slots[31 - i], so the directory
// of n records is always the last n * 40 bytes of the block.
struct ArchiveDirectory {
  ArchiveEntry slots[ARCHIVE_MAX_RECORDS];
};
static_assert(sizeof(ArchiveDirectory) == ARCHIVE_MAX_RECORDS * ARCHIVE_RECORD_SIZE, "1280 bytes");

// Record index (0 = trailer) of a block; no check of the index.
ArchiveEntry* DirectorySlot(ArchiveDirectory* directory, int32_t index);
const ArchiveEntry* DirectorySlot(const ArchiveDirectory* directory, int32_t index);
// First byte of the last n records of a block, which is what is sealed and written.
uint8_t* DirectoryTail(ArchiveDirectory* directory, int32_t n);

// 1 when a writer may record this name: not null and at most 15 characters, so the lookup
// always finds its end inside the field.
int ArchiveNameFits(const char* name);
// Name rule of the lookup: the field's text (up to its first zero, at most 16 bytes) equals name
// after folding A-Z to a-z; every other byte compares exactly. Never reads past the field.
int EntryNameMatches(const ArchiveEntry* record, const char* name);

// Fills record *recordCount of the block with a stored (or, with TF_KIND_COMPRESSED in flags,
// compressed) entry, counts it and stores the new count in the trailer. markerOffset 0 or not
// below originalSize becomes -1. 1 when added; 0 (nothing changes) when the block is full or the
// name does not fit.
int DirectoryAddRecord(ArchiveDirectory* directory, int32_t* recordCount, const char* name, uint32_t flags,
                       int32_t storedSize, int32_t originalSize, int32_t dataOffset, int32_t markerOffset);
// The same for an inline record of 0 to 16 data bytes (the packaging side's test archives). It
// cannot be record 0: the trailer's count field would overwrite its length. 0 when refused.
int DirectoryAddInline(ArchiveDirectory* directory, int32_t* recordCount, const char* name, const uint8_t* data,
                       int32_t length);
// Enciphers the last n records of the block in place, as one PC1 stream under "WISP", and
// returns their first byte: the n * 40 bytes that end the archive file.
uint8_t* SealDirectory(ArchiveDirectory* directory, int32_t n);
// Trial search over a block whose last k * 40 bytes (k <= 32) hold the end of a file: for
// n = 1..k deciphers the last n records and accepts the first n whose trailer carries the magic
// and the count n; a failed try enciphers the bytes back. Returns n, or 0 with the block as it
// was.
int32_t UnsealDirectory(ArchiveDirectory* directory, int32_t k);
// The record that the lookup rule picks among records 0..recordCount-1: the first one with a
// matching name decides, and it is the result only when mode accepts its kind. Null otherwise.
const ArchiveEntry* DirectoryFind(const ArchiveDirectory* directory, int32_t recordCount, const char* name,
                                  uint32_t mode);
// Data bytes of an inline record and their count (a count below 0 or above 16 counts as 0).
const uint8_t* EntryInlineData(const ArchiveEntry* record);
int32_t EntryInlineLength(const ArchiveEntry* record);
