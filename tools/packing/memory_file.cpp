// Memory-backed file handles for checking streams with the reader's own code.
#include "packing/memory_file.h"

#include <algorithm>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

MemoryFile::MemoryFile(const std::vector<uint8_t>& bytes) {
#ifdef _WIN32
  char folder[MAX_PATH + 1];
  char path[MAX_PATH + 1];
  if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "lzh", 0, path)) {
    throw std::runtime_error("cannot make a temporary file");
  }
  handle_ = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    DeleteFileA(path);
    throw std::runtime_error("cannot make a temporary file");
  }
#else
  const int fd = memfd_create("stream-check", MFD_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot make an in-memory file");
  handle_ = (FileHandle)(intptr_t)fd;
#endif
  size_t done = 0;
  while (done < bytes.size()) {
    const uint32_t piece = (uint32_t)std::min<size_t>(bytes.size() - done, 1u << 30);
    const uint32_t n = PlatformWrite(handle_, bytes.data() + done, piece);
    if (n == 0) {
      PlatformClose(handle_);
      throw std::runtime_error("cannot fill an in-memory file");
    }
    done += n;
  }
  Rewind();
}

MemoryFile::~MemoryFile() {
  PlatformClose(handle_);
}

void MemoryFile::Rewind() {
  PlatformSeek(handle_, 0);
}

uint64_t MemoryFile::BytesLeft() {
  uint8_t buffer[4096];
  uint64_t total = 0;
  for (;;) {
    const uint32_t n = PlatformRead(handle_, buffer, sizeof buffer);
    if (n == 0) return total;
    total += n;
  }
}
