// The packaging side's archive builder and directory reader. Records are filled and sealed by
// the stub's own directory code, and archives are read back through the stub's own reader, so
// the two sides cannot drift apart.
#include "packing/archive_builder.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "archive/archive.h"
#include "crypto/pc1.h"
#include "packing/block_writer.h"
#include "stream/block_stream.h"

namespace {

// The name in quotes, with bytes that would not print (a zero byte ends a message) as \xNN.
std::string Quoted(const std::string& name) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ArchiveBuildError("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int32_t SizeOf(const std::string& name, size_t size) {
  if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw ArchiveBuildError("entry " + Quoted(name) + " is too large for the archive format");
  }
  return static_cast<int32_t>(size);
}

// Opens the archive for the duration of one read and closes it again, also on errors.
class OpenedArchive {
 public:
  explicit OpenedArchive(const std::string& path) : handle_(OpenArchive(path.c_str())) {
    if (handle_ == FILE_HANDLE_INVALID) throw ArchiveBuildError(path + ": no archive directory at the end of the file");
  }
  ~OpenedArchive() { CloseArchive(handle_); }
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;
  FileHandle Handle() const { return handle_; }

 private:
  FileHandle handle_;
};

}  // namespace

ArchiveBuilder::ArchiveBuilder(std::vector<uint8_t> prefix) : ArchiveBuilder(std::move(prefix), 0) {}

ArchiveBuilder::ArchiveBuilder(std::vector<uint8_t> prefix, uint32_t base) : out_(std::move(prefix)), base_(base) {}

ArchiveBuilder ArchiveBuilder::AppendedAt(uint32_t offset) {
  return ArchiveBuilder({}, offset);
}

uint32_t ArchiveBuilder::NextDataOffset() const {
  return base_ + static_cast<uint32_t>(out_.size());
}

void ArchiveBuilder::CheckNewEntry(const std::string& name) const {
  if (finished_) throw ArchiveBuildError("entry " + Quoted(name) + ": the archive is already finished");
  if (name.empty()) throw ArchiveBuildError("an entry name must not be empty");
  if (name.find('\0') != std::string::npos) throw ArchiveBuildError("entry name " + Quoted(name) + " holds a zero byte");
  if (!ArchiveNameFits(name.c_str())) {
    throw ArchiveBuildError("entry name " + Quoted(name) + " has " + std::to_string(name.size()) +
                            " characters; the directory holds at most " + std::to_string(ARCHIVE_MAX_NAME_LENGTH));
  }
  if (recordCount_ >= ARCHIVE_MAX_RECORDS) {
    throw ArchiveBuildError("entry " + Quoted(name) + ": an archive holds at most " +
                            std::to_string(ARCHIVE_MAX_RECORDS) + " entries");
  }
  // A second record of the same name could never be found: lookups stop at the first.
  for (int32_t i = 0; i < recordCount_; i++) {
    if (EntryNameMatches(DirectorySlot(&directory_, i), name.c_str())) {
      throw ArchiveBuildError("entry " + Quoted(name) + " is already in the archive (names ignore letter case)");
    }
  }
}

int32_t ArchiveBuilder::AppendData(const std::string& name, const std::vector<uint8_t>& bytes) {
  const uint64_t end = static_cast<uint64_t>(NextDataOffset()) + bytes.size();
  if (end > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    throw ArchiveBuildError("entry " + Quoted(name) + " would end beyond 2 GiB, outside the archive format");
  }
  const int32_t offset = static_cast<int32_t>(NextDataOffset());
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  return offset;
}

void ArchiveBuilder::AddDataRecord(const std::string& name, uint32_t flags, int32_t storedSize, int32_t originalSize,
                                   int32_t dataOffset, int32_t markerOffset) {
  if (!DirectoryAddRecord(&directory_, &recordCount_, name.c_str(), flags, storedSize, originalSize, dataOffset,
                          markerOffset)) {
    throw ArchiveBuildError("entry " + Quoted(name) + ": the directory refused the record");
  }
}

void ArchiveBuilder::AddStored(const std::string& name, const std::vector<uint8_t>& bytes, uint8_t mask,
                               int32_t markerOffset) {
  CheckNewEntry(name);
  const int32_t size = SizeOf(name, bytes.size());
  std::vector<uint8_t> stored = bytes;
  XorMask(stored.data(), static_cast<uint32_t>(stored.size()), mask);
  const int32_t offset = AppendData(name, stored);
  AddDataRecord(name, mask, size, size, offset, markerOffset);
}

void ArchiveBuilder::AddStoredFile(const std::string& name, const std::string& path, uint8_t mask,
                                   int32_t markerOffset) {
  AddStored(name, ReadWholeFile(path), mask, markerOffset);
}

void ArchiveBuilder::AddCompressedFramed(const std::string& name, const std::vector<uint8_t>& framed,
                                         int32_t originalSize, int32_t markerOffset) {
  CheckNewEntry(name);
  if (originalSize < 0) throw ArchiveBuildError("entry " + Quoted(name) + ": negative original size");
  const int32_t size = SizeOf(name, framed.size());
  const int32_t offset = AppendData(name, framed);
  AddDataRecord(name, TF_KIND_COMPRESSED, size, originalSize, offset, markerOffset);
}

Packed ArchiveBuilder::AddCompressed(const std::string& name, const std::vector<uint8_t>& bytes, int32_t markerOffset,
                                     std::string* whyStored) {
  CheckNewEntry(name);  // before the costly part
  SizeOf(name, bytes.size());
  CompressedEntry compressed = CompressEntry(bytes.data(), bytes.size());
  if (!compressed.ok) {
    if (whyStored) *whyStored = compressed.problem;
    AddStored(name, bytes, 0, markerOffset);
    return Packed::StoredInstead;
  }
  AddCompressedFramed(name, compressed.bytes, static_cast<int32_t>(bytes.size()), markerOffset);
  return Packed::Compressed;
}

void ArchiveBuilder::AddInline(const std::string& name, const std::vector<uint8_t>& bytes) {
  CheckNewEntry(name);
  if (bytes.size() > ENTRY_INLINE_MAX) {
    throw ArchiveBuildError("inline entry " + Quoted(name) + " has " + std::to_string(bytes.size()) +
                            " bytes; a record holds at most " + std::to_string(ENTRY_INLINE_MAX));
  }
  if (recordCount_ == 0) {
    throw ArchiveBuildError("inline entry " + Quoted(name) +
                            " cannot be the first entry: its record carries the directory's record count");
  }
  if (!DirectoryAddInline(&directory_, &recordCount_, name.c_str(), bytes.data(), static_cast<int32_t>(bytes.size()))) {
    throw ArchiveBuildError("inline entry " + Quoted(name) + ": the directory refused the record");
  }
}

std::vector<uint8_t> ArchiveBuilder::Finish() {
  if (finished_) throw ArchiveBuildError("the archive is already finished");
  if (recordCount_ == 0) throw ArchiveBuildError("an archive needs at least one entry");
  finished_ = true;
  const uint8_t* tail = SealDirectory(&directory_, recordCount_);
  out_.insert(out_.end(), tail, tail + static_cast<size_t>(recordCount_) * ARCHIVE_RECORD_SIZE);
  return std::move(out_);
}

void ArchiveBuilder::FinishToFile(const std::string& path) {
  const std::vector<uint8_t> bytes = Finish();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw ArchiveBuildError("cannot write " + path);
}

std::vector<ArchiveListing> ListArchive(const std::string& path) {
  OpenedArchive archive(path);
  std::vector<ArchiveListing> listing;
  for (int32_t i = 0; i < ArchiveRecordCount(); i++) {
    const ArchiveEntry* record = ArchiveRecord(i);
    ArchiveListing item;
    item.name.assign(record->name, strnlen(record->name, ARCHIVE_NAME_SIZE));
    item.kind = record->kind;
    item.mask = record->mask;
    if (record->kind == ENTRY_INLINE) {
      const uint8_t* data = EntryInlineData(record);
      // The trailer's count field is the record count, so its inline data has no length.
      if (i != 0) item.inlineData.assign(data, data + EntryInlineLength(record));
      item.markerOffset = -1;
    } else {
      item.dataOffset = record->dataOffset;
      item.storedSize = record->storedSize;
      item.originalSize = record->originalSize;
      item.markerOffset = record->markerOffset;
    }
    listing.push_back(std::move(item));
  }
  return listing;
}

std::vector<uint8_t> ReadArchiveEntry(const std::string& path, const std::string& name) {
  OpenedArchive archive(path);
  const ArchiveEntry* record = FindEntry(name.c_str(), LOOKUP_ANY);
  if (!record) throw ArchiveBuildError(path + ": no entry " + Quoted(name));
  if (record->kind == ENTRY_INLINE) {
    uint8_t data[ENTRY_INLINE_MAX];
    int32_t length = 0;
    ReadInlineData(name.c_str(), data, &length);
    return std::vector<uint8_t>(data, data + length);
  }
  const bool stored = record->kind == ENTRY_STORED;
  const int32_t size = stored ? record->storedSize : record->originalSize;
  if (size < 0 || record->dataOffset < 0) throw ArchiveBuildError(path + ": entry " + Quoted(name) + " has a damaged record");
  // A damaged record may claim gigabytes: refuse sizes its stored bytes cannot hold before
  // allocating them. A stored entry lies inside the file; a compressed one expands at most 48
  // bytes per stored byte (a 60-byte match costs at least 10 bits).
  const uint64_t fileSize = PlatformFileSize(archive.Handle());
  const uint64_t stretch = stored ? 1 : 48;
  if (record->storedSize < 0 || static_cast<uint64_t>(record->storedSize) > fileSize ||
      static_cast<uint64_t>(size) > stretch * static_cast<uint64_t>(record->storedSize) + 64) {
    throw ArchiveBuildError(path + ": entry " + Quoted(name) + " claims more bytes than the file can hold");
  }
  // One spare byte, so a stream that expands to more than its record says is caught, not cut.
  std::vector<uint8_t> content(static_cast<size_t>(size) + 1);
  const int32_t bound = (stored || size == std::numeric_limits<int32_t>::max()) ? size : size + 1;
  if (!ExtractEntryToMemory(name.c_str(), content.data(), bound)) {
    throw ArchiveBuildError(path + ": entry " + Quoted(name) + " does not extract");
  }
  if (!stored && StreamTotalWritten() != static_cast<uint32_t>(size)) {
    throw ArchiveBuildError(path + ": entry " + Quoted(name) + " expands to " + std::to_string(StreamTotalWritten()) +
                            " bytes, its record says " + std::to_string(size));
  }
  content.resize(static_cast<size_t>(size));
  return content;
}
