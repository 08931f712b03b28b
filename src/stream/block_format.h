// Byte layout of the block-framed stream that holds a compressed archive entry: a 10-byte
// block with the expanded size, then blocks of 10240 bytes (the last one shorter), each with a
// 6-byte header "RC", checksum, length. Shared by the reader and the packaging side's writer.
#pragma once
#include <stdint.h>

#define STREAM_BLOCK_MAGIC 0x4352u       // the bytes "RC"
#define STREAM_CHECKSUM_BASE 26789u      // 0x68A5, plus the sum of the block's data bytes
#define STREAM_HEADER_SIZE 6
#define STREAM_SIZE_BLOCK_SIZE 10        // header + the 32-bit expanded size
#define STREAM_BLOCK_SIZE 10240          // every data block but the last
#define STREAM_BLOCK_DATA (STREAM_BLOCK_SIZE - STREAM_HEADER_SIZE)  // 10234
#define STREAM_OUTPUT_BUFFER_SIZE 10240
// The reader stops fetching blocks once fewer than this many expanded bytes remain.
#define STREAM_TAIL_RULE_BYTES 8
// Written into the input buffer before every read, so an empty read cannot pass as a block.
#define STREAM_EMPTY_READ_GUARD 0x12345678u
