// A readable file whose bytes live in memory, so the stream reader (which takes a file handle)
// can check a stream without touching the disk: an anonymous memory file on Linux, a temporary
// file that the system deletes on close on Windows.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/platform.h"

class MemoryFile {
 public:
  // Holds `bytes`, positioned at its first byte. Throws std::runtime_error when the system
  // refuses.
  explicit MemoryFile(const std::vector<uint8_t>& bytes);
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  FileHandle Handle() const { return handle_; }
  // Back to the first byte.
  void Rewind();
  // Bytes from the current position to the end (reads them).
  uint64_t BytesLeft();

 private:
  FileHandle handle_ = FILE_HANDLE_INVALID;
};
