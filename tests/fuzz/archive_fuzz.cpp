// Fuzz target: any bytes as a setup file (see SetupFromInput for the leading byte, which lets the
// fuzzer write the directory in plain form), read the way the stub reads its own archive. The file
// is opened with OpenArchive; every record is looked up by its name and extracted into memory
// (exactly bound bytes; and as the backdrop does it, originalSize + 256 bytes with the picture
// check), to a file, and copied into a new archive as the uninstaller is built. Checks: no
// sanitizer report, memory and file extraction agree, and a copied archive reads back the same.
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "backdrop/bitmap_pieces.h"
#include "fuzz_support.h"
#include "stream/block_stream.h"

using fuzzsupport::MemFile;

namespace {

// Larger claims are tried with a small buffer only: the backdrop's allocation would fail for
// them, and the run must stay fast.
const int32_t kLargestBuffer = 1 << 20;
const int32_t kSmallBound = 4096;

uint32_t ticks;
void CountTick(void) { ticks++; }
uint32_t CountWritten(uint32_t written) { return written; }

struct Named {
  char name[ARCHIVE_NAME_SIZE + 1];
};

// Extracts into a heap block of exactly `bound` bytes (at least one), so that any write past
// the bound is a heap overflow that AddressSanitizer reports.
int ToMemory(const char* name, int32_t bound, std::vector<uint8_t>* out) {
  out->assign(bound > 0 ? static_cast<size_t>(bound) : 1, 0);
  return ExtractEntryToMemory(name, out->data(), bound);
}

void CheckEntry(const ArchiveEntry* record, const char* name) {
  const int isInline = record->kind == ENTRY_INLINE;
  const int stored = record->kind == ENTRY_STORED;
  FUZZ_CHECK(FindEntry(name, LOOKUP_ANY) != nullptr);

  if (isInline) {
    uint8_t data[ENTRY_INLINE_MAX];
    int32_t length = -1;
    ReadInlineData(name, data, &length);
    FUZZ_CHECK(length >= 0 && length <= ENTRY_INLINE_MAX);
    MemFile file;
    if (FindEntry(name, LOOKUP_ANY) == FindEntry(name, LOOKUP_INLINE) && ExtractEntry(name, file.Path())) {
      const std::vector<uint8_t> written = file.Bytes();
      FUZZ_CHECK(written.size() == static_cast<size_t>(length));
      FUZZ_CHECK(written.empty() || memcmp(written.data(), data, written.size()) == 0);
    }
    return;
  }

  const int32_t originalSize = EntryOriginalSize(name);
  const int32_t storedSize = record->storedSize;

  // The backdrop's way: EntryOriginalSize + 256 bytes, bound originalSize, then the header check.
  if (originalSize >= 0 && originalSize <= kLargestBuffer) {
    std::vector<uint8_t> piece(static_cast<size_t>(originalSize) + PIECE_SLACK);
    uint32_t bitsOffset = 0;
    if (ExtractPiece(name, piece.data(), static_cast<uint32_t>(originalSize), &bitsOffset)) {
      FUZZ_CHECK(bitsOffset < piece.size());
    }
  }

  // Exact buffers: the entry's own size, and a small one that most entries overflow.
  std::vector<uint8_t> memory;
  int memoryOk = 0;
  const int32_t wholeBound = stored ? storedSize : originalSize;
  if (wholeBound >= 0 && wholeBound <= kLargestBuffer) memoryOk = ToMemory(name, wholeBound, &memory);
  const uint32_t expanded = StreamTotalWritten();
  std::vector<uint8_t> small;
  ToMemory(name, kSmallBound, &small);
  ToMemory(name, -1, &small);

  MemFile file;
  const int fileOk = ExtractEntry(name, file.Path());
  if (memoryOk) {
    // Whatever extracts whole into memory extracts the same to a file.
    FUZZ_CHECK(fileOk);
    std::vector<uint8_t> written = file.Bytes();
    const size_t length = stored ? static_cast<size_t>(wholeBound) : expanded;
    FUZZ_CHECK(written.size() == length);
    FUZZ_CHECK(length == 0 || memcmp(written.data(), memory.data(), length) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
  progressSink.onTick = CountTick;
  progressSink.onBytesWritten = CountWritten;
  const std::vector<uint8_t> file = fuzzsupport::SetupFromInput(input, inputSize);
  const uint8_t* data = file.data();
  const size_t size = file.size();
  MemFile setup(data, size);
  const FileHandle archive = OpenArchive(setup.Path());
  if (archive == FILE_HANDLE_INVALID) {
    FUZZ_CHECK(ArchiveRecordCount() == 0);
    return 0;
  }
  const int32_t count = ArchiveRecordCount();
  FUZZ_CHECK(count >= 1 && count <= ARCHIVE_MAX_RECORDS);
  FUZZ_CHECK(ArchiveRecord(-1) == nullptr && ArchiveRecord(count) == nullptr);

  std::vector<Named> names(static_cast<size_t>(count));
  std::vector<ArchiveEntry> originals(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; i++) {
    const ArchiveEntry* record = ArchiveRecord(i);
    FUZZ_CHECK(record != nullptr);
    originals[i] = *record;
    memcpy(names[i].name, record->name, ARCHIVE_NAME_SIZE);
    names[i].name[ARCHIVE_NAME_SIZE] = 0;
    // The first record of a name decides every lookup of it.
    const ArchiveEntry* found = FindEntry(names[i].name, LOOKUP_ANY);
    FUZZ_CHECK(found != nullptr);
    CheckEntry(found, names[i].name);
  }
  FUZZ_CHECK(EntryOriginalSize("no such entry name") == -1);

  // The uninstaller's way: every data entry copied unchanged into a new archive, whose records
  // must then point at the same stored bytes.
  MemFile copy;
  const FileHandle written = CreateArchive(copy.Path());
  FUZZ_CHECK(written != FILE_HANDLE_INVALID);
  std::vector<int> copied(static_cast<size_t>(count), 0);
  for (int32_t i = 0; i < count; i++) copied[i] = CopyEntry(names[i].name);
  CloseArchive(written);
  CloseArchive(archive);

  const FileHandle reopened = OpenArchive(copy.Path());
  int32_t copies = 0;
  for (int32_t i = 0; i < count; i++) copies += copied[i];
  // With no copy the file holds no directory of its own (only whole chunks of failed copies).
  if (copies == 0) {
    CloseArchive(reopened);
    return 0;
  }
  FUZZ_CHECK(reopened != FILE_HANDLE_INVALID);
  FUZZ_CHECK(ArchiveRecordCount() == copies);
  const std::vector<uint8_t> copyBytes = copy.Bytes();
  for (int32_t i = 0, k = 0; i < count; i++) {
    if (!copied[i]) continue;
    const ArchiveEntry* to = ArchiveRecord(k++);
    // The source record is the one the name finds in the original: the first of that name.
    const ArchiveEntry* from = nullptr;
    for (int32_t j = 0; j < count && !from; j++) {
      if (EntryNameMatches(&originals[j], names[i].name)) from = &originals[j];
    }
    FUZZ_CHECK(from != nullptr && from->kind != ENTRY_INLINE);
    const int32_t length = to->storedSize;
    FUZZ_CHECK(length == from->storedSize && to->originalSize == from->originalSize && to->mask == from->mask);
    FUZZ_CHECK((to->kind == ENTRY_STORED) == (from->kind == ENTRY_STORED));
    FUZZ_CHECK(to->dataOffset >= 0 && static_cast<size_t>(to->dataOffset) + length <= copyBytes.size());
    // An empty entry copies whatever its offset (even one past the end of the file).
    if (length == 0) continue;
    FUZZ_CHECK(static_cast<size_t>(from->dataOffset) + length <= size);
    FUZZ_CHECK(memcmp(copyBytes.data() + to->dataOffset, data + from->dataOffset, static_cast<size_t>(length)) == 0);
  }
  CloseArchive(reopened);
  return 0;
}
