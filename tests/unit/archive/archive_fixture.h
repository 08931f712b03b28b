// Test fixtures for the payload archive: archives built with the packaging side's builder,
// crafted directories for what no writer produces, and extraction helpers that check the bytes
// beyond a memory destination stay untouched.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/transfer.h"
#include "packing/archive_builder.h"
#include "stream/stream_fixture.h"
#include "test_support.h"

namespace archivetest {

using testsupport::ReadFile;
using testsupport::WriteFile;

inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed = 1) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < n; i++) {
    x = x * 1103515245u + 12345u;
    v[i] = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

// A published LZHUF vector: the original bytes and the block-framed stream of its image.
struct Compressed {
  std::vector<uint8_t> original;
  std::vector<uint8_t> framed;
};

inline Compressed Vector(const std::string& name) {
  return {streamtest::Vector(name + ".bin"), streamtest::Frame(streamtest::Vector(name + ".lzh"))};
}

// A directory sealed from a hand-filled block: for records no writer makes (inline trailers,
// odd counts, 16-character names, damaged offsets). `edit` changes the plain records first.
template <typename Edit>
std::vector<uint8_t> SealedDirectory(int32_t n, Edit edit) {
  ArchiveDirectory block{};
  int32_t count = 0;
  for (int32_t i = 0; i < n; i++) {
    const std::string name = "R" + std::to_string(i);
    DirectoryAddRecord(&block, &count, name.c_str(), 0, 0, 0, 0, -1);
  }
  edit(block);
  const uint8_t* tail = SealDirectory(&block, n);
  return std::vector<uint8_t>(tail, tail + n * ARCHIVE_RECORD_SIZE);
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Extracted {
  int result = 0;
  std::vector<uint8_t> bytes;
};

// A test with a scratch folder; whatever archive a test leaves open is closed afterwards, so one
// failing test cannot leave the module state to the next (and Windows can delete the files).
class ArchiveTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (FileHandle h : handles_) CloseArchive(h);
  }

  std::string File(const std::string& name) const { return dir_.File(name); }

  FileHandle Open(const std::string& path) { return Keep(OpenArchive(path.c_str())); }
  FileHandle Create(const std::string& path) { return Keep(CreateArchive(path.c_str())); }
  FileHandle Keep(FileHandle h) {
    if (h != FILE_HANDLE_INVALID) handles_.push_back(h);
    return h;
  }

  // Writes the archive bytes to a file and opens it.
  FileHandle OpenBytes(const std::vector<uint8_t>& bytes, const std::string& name = "archive.bin") {
    WriteFile(File(name), bytes);
    return Open(File(name));
  }

  Extracted ToFile(const std::string& entry) {
    const std::string path = File("extracted.bin");
    std::error_code ec;
    std::filesystem::remove(path, ec);
    Extracted e;
    e.result = ExtractEntry(entry.c_str(), path.c_str());
    e.bytes = ReadFile(path);
    return e;
  }

  // Extracts into memory of `bound` bytes followed by guard bytes that must stay untouched.
  Extracted ToMemory(const std::string& entry, int32_t bound) {
    const size_t room = bound > 0 ? static_cast<size_t>(bound) : 0;
    std::vector<uint8_t> memory(room + 64, 0xEE);
    Extracted e;
    e.result = ExtractEntryToMemory(entry.c_str(), memory.data(), bound);
    for (size_t i = room; i < memory.size(); i++) {
      if (memory[i] != 0xEE) {
        ADD_FAILURE() << "write past the caller's " << bound << " bytes at " << i;
        break;
      }
    }
    memory.resize(room);
    e.bytes = memory;
    return e;
  }

  testsupport::ScratchDir dir_{"archive"};
  std::vector<FileHandle> handles_;
};

}  // namespace archivetest
