// The payload archive's operations: one archive open for reading (by default the running
// program's own file) with extraction to files and memory, and one archive being written by
// copying entries out of the open one. Both sides are module state; callers hold only the file
// handle, which they pass back to CloseArchive.
#pragma once
#include <stdint.h>

#include "archive/archive_format.h"
#include "platform/platform.h"

// Reading. OpenArchive(null) opens the running program's own file. A file that cannot be opened
// or has no valid directory at its end gives FILE_HANDLE_INVALID, and no archive is open then;
// an archive open before the call is closed in any case.
FileHandle OpenArchive(const char* path);
// Closes the archive open for reading, or finishes the archive being written (its directory is
// sealed and written), whichever owns the handle. Any other handle: nothing.
void CloseArchive(FileHandle handle);
// Finds and unseals the directory at the end of an open file into the reader. 1 when found.
int ReadDirectory(FileHandle file);
// Lookup in the open archive (LOOKUP_DATA, LOOKUP_INLINE, LOOKUP_ANY). Null when none.
const ArchiveEntry* FindEntry(const char* name, uint32_t mode);
// originalSize of the stored or compressed entry of that name, -1 when there is none.
int32_t EntryOriginalSize(const char* name);
// Writes the entry's content to a new file at path (an existing file is replaced). 1 on
// success. Nothing is created when the entry is missing or its record is unusable; a transfer
// that fails part-way leaves the file as far as it was written.
int ExtractEntry(const char* name, const char* path);
// Writes the content of a stored or compressed entry to buffer, never more than bound bytes (a
// bound below 0 counts as 0). A stored entry longer than bound is cut to bound; a compressed
// entry is expanded whole and fails if it does not fit, so a buffer of originalSize bytes with
// bound originalSize is always enough.
int ExtractEntryToMemory(const char* name, void* buffer, int32_t bound);
// Copies the data of an inline record into buffer (16 bytes). 1 when found (0 with a null
// buffer); the count (0 to 16, 0 when not found) is stored in *length when length is given.
int ReadInlineData(const char* name, uint8_t* buffer, int32_t* length);
// Creates a file for writing, replacing an existing one.
FileHandle CreateOutputFile(const char* path);

// The open reader's directory, for the packaging tool's listing and checks: the record count (0
// when no archive is open) and record index 0..count-1 (null outside that range).
int32_t ArchiveRecordCount(void);
const ArchiveEntry* ArchiveRecord(int32_t index);

// Writing. CreateArchive finishes an archive still being written, then starts a new file.
FileHandle CreateArchive(const char* path);
// Copies the stored bytes of a stored or compressed entry of the open archive unchanged (still
// masked, still compressed) into the archive being written and records it under name exactly
// as given. 1 on success; 0 with nothing read or written when there is no source or target,
// the name is missing, inline or longer than 15 characters, the record is unusable, or the
// directory is full.
int CopyEntry(const char* name);
// Adds a record to the archive being written (no data is written). Refused silently when 32
// records are there or the name is longer than 15 characters.
void AddRecord(const char* name, uint32_t flags, int32_t storedSize, int32_t originalSize, int32_t dataOffset,
               int32_t markerOffset);
