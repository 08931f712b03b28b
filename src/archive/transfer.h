// The transfer engine: every movement of entry data out of an archive, either through the
// block-framed LZHUF stream or as a chunked copy that undoes the entry's byte mask.
#pragma once
#include <stdint.h>

#include "archive/archive_format.h"
#include "platform/platform.h"

#define TRANSFER_CHUNK_SIZE 16384

// Moves entry data from input (an open file positioned at the data) to output: a file handle,
// or with TF_TO_MEMORY the address of memory that holds memoryCapacity bytes (the capacity is
// not used for file output). count is in-out: in, the bytes to copy (taken as unsigned; not
// used for compressed input); out, the bytes written. With TF_COMPRESSED the stream decodes the
// input and stops by its own framing; nothing lands beyond the memory capacity. 1 on success,
// 0 on a short read, a short write, a full memory destination, a bad block or an abort.
uint32_t TransferData(FileHandle input, void* output, uint32_t* count, uint32_t flags, uint32_t memoryCapacity);
// The chunked copy of everything that is not compressed: chunks of at most 16384 bytes through
// one module buffer, XOR-ed with the mask byte of flags. Same arguments and result.
uint32_t CopyChunks(FileHandle input, void* output, uint32_t* count, uint32_t flags, uint32_t memoryCapacity);
