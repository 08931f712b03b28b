// Helpers shared by the fuzz targets: in-memory files that the platform layer opens by path
// (/proc/self/fd/N of a memfd), so that every target runs the project's real file code without
// touching the disk, and a small reader for the control bytes that some targets take from the
// front of their input.
#pragma once
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_format.h"

namespace fuzzsupport {

// Stops the run with a message; libFuzzer reports the abort and saves the input.
[[noreturn]] inline void Fail(const char* what) {
  fprintf(stderr, "fuzz check failed: %s\n", what);
  abort();
}

#define FUZZ_CHECK(condition)                                  \
  do {                                                         \
    if (!(condition)) ::fuzzsupport::Fail(#condition);         \
  } while (0)

// A file whose bytes live in memory. Path() names it for the platform layer's open calls, which
// reopen it with their own position; Bytes() reads back what was written through any of them.
class MemFile {
 public:
  explicit MemFile(const uint8_t* data = nullptr, size_t size = 0) {
    fd_ = memfd_create("fuzz", MFD_CLOEXEC);
    if (fd_ < 0) Fail("memfd_create");
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(fd_, data + done, size - done);
      if (n <= 0) Fail("memfd write");
      done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemFile() { close(fd_); }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  const char* Path() const { return path_.c_str(); }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out;
    uint8_t buffer[16384];
    off_t at = 0;
    for (;;) {
      const ssize_t n = pread(fd_, buffer, sizeof buffer, at);
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
      at += n;
    }
    return out;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// Takes control values from the front of the input; past its end every value is 0.
class Controls {
 public:
  Controls(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t U16() { return static_cast<uint32_t>(Byte()) | (static_cast<uint32_t>(Byte()) << 8); }
  uint32_t U32() { return U16() | (U16() << 16); }
  const uint8_t* Rest() const { return data_ + (at_ < size_ ? at_ : size_); }
  size_t RestSize() const { return at_ < size_ ? size_ - at_ : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A setup file from a fuzz input. Byte 0 chooses the form: even, the rest is the file as it is;
// odd, the rest ends with a plain directory (the trailer's count says how many records) that is
// sealed here first. A sealed directory is a cipher stream, which mutations only garble; the
// plain form lets the fuzzer change record fields (offsets, sizes, kinds, names) directly.
inline std::vector<uint8_t> SetupFromInput(const uint8_t* data, size_t size) {
  if (size == 0) return {};
  std::vector<uint8_t> file(data + 1, data + size);
  if ((data[0] & 1) && file.size() >= ARCHIVE_RECORD_SIZE) {
    int32_t n = static_cast<int8_t>(file[file.size() - ARCHIVE_RECORD_SIZE]);
    if (n < 1) n = 1;
    if (n > ARCHIVE_MAX_RECORDS) n = ARCHIVE_MAX_RECORDS;
    if (static_cast<size_t>(n) * ARCHIVE_RECORD_SIZE > file.size()) {
      n = static_cast<int32_t>(file.size() / ARCHIVE_RECORD_SIZE);
    }
    const size_t length = static_cast<size_t>(n) * ARCHIVE_RECORD_SIZE;
    ArchiveDirectory directory;
    memcpy(DirectoryTail(&directory, n), file.data() + file.size() - length, length);
    SealDirectory(&directory, n);
    memcpy(file.data() + file.size() - length, DirectoryTail(&directory, n), length);
  }
  return file;
}

}  // namespace fuzzsupport
