// What the reader and the writer of the payload archive share inside the subsystem.
#pragma once
#include "archive/archive.h"

// The file of the archive open for reading, FILE_HANDLE_INVALID when none.
FileHandle ReaderFile(void);
// 1 when the data of a stored or compressed record can be addressed at all: a negative
// dataOffset or storedSize marks a damaged record, which is refused before anything is read.
int RecordDataUsable(const ArchiveEntry* record);
// Finishes the archive being written when handle is the writer's. 1 when it was.
int FinishWrittenArchive(FileHandle handle);
