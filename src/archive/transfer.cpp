// The transfer engine. Compressed entries go to the block-framed stream, which reads its blocks
// straight from the archive file; everything else is copied in chunks through one buffer, with
// the entry's mask undone on the way. No progress hook is called here.
#include "archive/transfer.h"

#include <string.h>

#include "crypto/pc1.h"
#include "stream/block_stream.h"

namespace {

uint8_t transferBuffer[TRANSFER_CHUNK_SIZE];

}  // namespace

uint32_t TransferData(FileHandle input, void* output, uint32_t* count, uint32_t flags, uint32_t memoryCapacity) {
  if (!(flags & TF_COMPRESSED)) return CopyChunks(input, output, count, flags, memoryCapacity);
  const int toMemory = (flags & TF_TO_MEMORY) != 0;
  if (toMemory && !output) {
    // A null memory destination would make the stream fall back to writing a file.
    *count = 0;
    return 0;
  }
  StreamSetOutputMemory(toMemory ? output : nullptr, memoryCapacity);
  const uint32_t result = StreamExpand(input, toMemory ? FILE_HANDLE_INVALID : (FileHandle)output);
  *count = StreamTotalWritten();
  return result;
}

uint32_t CopyChunks(FileHandle input, void* output, uint32_t* count, uint32_t flags, uint32_t memoryCapacity) {
  const int toMemory = (flags & TF_TO_MEMORY) != 0;
  uint32_t remaining = *count;
  *count = 0;
  if (toMemory && !output) return 0;
  uint8_t* memory = (uint8_t*)output;
  uint32_t memoryLeft = memoryCapacity;
  while (remaining != 0) {
    const uint32_t chunk = remaining <= TRANSFER_CHUNK_SIZE ? remaining : TRANSFER_CHUNK_SIZE;
    remaining -= chunk;
    // A short read is the end of the file (or a damaged record): the partial chunk is dropped.
    if (PlatformRead(input, transferBuffer, chunk) < chunk) return 0;
    XorMask(transferBuffer, chunk, flags & TF_MASK_BYTE);
    uint32_t written;
    if (toMemory) {
      // The memory destination's end counts as a full disk: what fits is copied, then it fails.
      written = chunk <= memoryLeft ? chunk : memoryLeft;
      memcpy(memory, transferBuffer, written);
      memory += written;
      memoryLeft -= written;
    } else {
      written = PlatformWrite((FileHandle)output, transferBuffer, chunk);
    }
    *count += written;
    if (written < chunk) return 0;
  }
  return 1;
}
