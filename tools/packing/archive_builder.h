// The packaging side's archive builder: writes a whole payload archive from scratch (entry data,
// then the sealed directory) with the stub's own record and sealing code, and reads an archive's
// directory back through the stub's own reader.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/archive_format.h"

// A request the archive format cannot hold (name too long, 33rd entry, ...) or an archive that
// cannot be read; the message says which entry and why.
class ArchiveBuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What AddCompressed did with an entry.
enum class Packed { Compressed, StoredInstead };

class ArchiveBuilder {
 public:
  // An archive that follows `prefix` (for a setup: the stub image) in the same output: Finish()
  // gives the prefix, the entries' data and the directory, and data offsets count the prefix.
  explicit ArchiveBuilder(std::vector<uint8_t> prefix = {});
  // An archive to be appended to a file of `offset` bytes that the builder does not hold:
  // Finish() gives only the archive's own bytes, and data offsets start at `offset`.
  static ArchiveBuilder AppendedAt(uint32_t offset);

  // A stored entry; with a nonzero mask its bytes are XOR-ed with it and the reader undoes that.
  // markerOffset is the configuration marker's position in the content (-1: none; 0 and values
  // not below the size are recorded as -1).
  void AddStored(const std::string& name, const std::vector<uint8_t>& bytes, uint8_t mask = 0,
                 int32_t markerOffset = -1);
  void AddStoredFile(const std::string& name, const std::string& path, uint8_t mask = 0, int32_t markerOffset = -1);
  // A compressed entry whose block-framed stream was made elsewhere; originalSize is what it
  // expands to. The stream is taken as it is, without a check.
  void AddCompressedFramed(const std::string& name, const std::vector<uint8_t>& framed, int32_t originalSize,
                           int32_t markerOffset = -1);
  // Compresses `bytes` (LZHUF, block-framed, checked against the stub's own reader) and adds
  // them as a compressed entry. Where no stream the reader expands exactly exists (1 to 7 bytes,
  // for one), the entry is stored unmasked instead and `whyStored` says why. Whether compression
  // pays off is the caller's decision: the result may be larger than the input.
  Packed AddCompressed(const std::string& name, const std::vector<uint8_t>& bytes, int32_t markerOffset = -1,
                       std::string* whyStored = nullptr);
  // Inline data of 0 to 16 bytes held in the record itself. For test archives: the stub reads
  // such records but nothing in the system writes them. Cannot be the first entry, whose record
  // is the trailer that carries the record count.
  void AddInline(const std::string& name, const std::vector<uint8_t>& bytes);

  // Records so far, and the file position where the next entry's data will go.
  int RecordCount() const { return recordCount_; }
  uint32_t NextDataOffset() const;

  // The whole output: prefix (if any), data, sealed directory. The builder is spent afterwards.
  std::vector<uint8_t> Finish();
  void FinishToFile(const std::string& path);

 private:
  ArchiveBuilder(std::vector<uint8_t> prefix, uint32_t base);
  void CheckNewEntry(const std::string& name) const;
  int32_t AppendData(const std::string& name, const std::vector<uint8_t>& bytes);
  void AddDataRecord(const std::string& name, uint32_t flags, int32_t storedSize, int32_t originalSize,
                     int32_t dataOffset, int32_t markerOffset);

  std::vector<uint8_t> out_;  // prefix and entry data so far
  uint32_t base_;             // file position of out_[0]
  ArchiveDirectory directory_{};
  int32_t recordCount_ = 0;
  bool finished_ = false;
};

// One directory record as the stub's reader sees it.
struct ArchiveListing {
  std::string name;
  int kind = 0;  // ENTRY_STORED, ENTRY_INLINE, or any other value: compressed
  uint8_t mask = 0;
  int32_t dataOffset = 0;
  int32_t storedSize = 0;
  int32_t originalSize = 0;
  int32_t markerOffset = -1;
  std::vector<uint8_t> inlineData;  // inline records only
};

// Opens the archive at the end of the file at path with the stub's reader (OpenArchive), lists
// its records in directory order (record 0 first), and closes it again. Whatever archive the
// process had open for reading is closed. Throws ArchiveBuildError when there is no directory.
std::vector<ArchiveListing> ListArchive(const std::string& path);
// The content of one entry, extracted with the stub's reader (ExtractEntryToMemory, or the inline
// data). Throws when the archive or the entry cannot be read.
std::vector<uint8_t> ReadArchiveEntry(const std::string& path, const std::string& name);
