// The block framing of compressed entries, and the check that runs every framed stream
// through the stub's own reader before it goes into an archive.
#include "packing/block_writer.h"

#include <cstring>
#include <mutex>
#include <stdexcept>

#include "packing/lzhuf_encoder.h"
#include "packing/memory_file.h"
#include "stream/block_format.h"
#include "stream/block_stream.h"

namespace {

void AppendBlock(std::vector<uint8_t>* out, const uint8_t* data, size_t n) {
  uint32_t sum = STREAM_CHECKSUM_BASE;
  for (size_t i = 0; i < n; i++) sum += data[i];
  const uint32_t length = (uint32_t)(STREAM_HEADER_SIZE + n);
  const uint8_t header[STREAM_HEADER_SIZE] = {
      (uint8_t)STREAM_BLOCK_MAGIC, (uint8_t)(STREAM_BLOCK_MAGIC >> 8), (uint8_t)sum, (uint8_t)(sum >> 8),
      (uint8_t)length, (uint8_t)(length >> 8)};
  out->insert(out->end(), header, header + STREAM_HEADER_SIZE);
  out->insert(out->end(), data, data + n);
}

// The stub's stream and decoder keep one process-wide state; callers that compress on several
// threads take turns at the check.
std::mutex streamCheckMutex;

// The progress hooks belong to whoever runs an installation; a check must not call them.
class QuietProgress {
 public:
  QuietProgress() : saved_(progressSink) { progressSink = ProgressSink{nullptr, nullptr}; }
  ~QuietProgress() { progressSink = saved_; }

 private:
  ProgressSink saved_;
};

}  // namespace

std::vector<uint8_t> FrameLzhufImage(const std::vector<uint8_t>& image) {
  if (image.size() < 4) throw std::invalid_argument("an LZHUF image starts with a 4-byte size");
  std::vector<uint8_t> out;
  const size_t bits = image.size() - 4;
  out.reserve(STREAM_SIZE_BLOCK_SIZE + bits + (bits / STREAM_BLOCK_DATA + 1) * STREAM_HEADER_SIZE);
  AppendBlock(&out, image.data(), 4);
  for (size_t at = 4; at < image.size(); at += STREAM_BLOCK_DATA) {
    AppendBlock(&out, image.data() + at, std::min<size_t>(STREAM_BLOCK_DATA, image.size() - at));
  }
  return out;
}

bool CheckFramedStream(const std::vector<uint8_t>& framed, const uint8_t* data, size_t size, std::string* problem) {
  if (size > 0x7FFFFFFFu) {
    *problem = "larger than the stream format allows";
    return false;
  }
  MemoryFile source(framed);
  std::vector<uint8_t> output(size + 1);  // never empty, so the memory destination is always set
  uint32_t result;
  uint32_t written;
  {
    std::lock_guard<std::mutex> lock(streamCheckMutex);
    QuietProgress quiet;
    StreamSetOutputMemory(output.data(), (uint32_t)size);
    result = StreamExpand(source.Handle(), FILE_HANDLE_INVALID);
    written = StreamTotalWritten();
  }
  if (result != 1) {
    *problem = "the reader reports a failure";
    return false;
  }
  if (written != size || (size > 0 && memcmp(output.data(), data, size) != 0)) {
    *problem = "the reader gives back other bytes";
    return false;
  }
  if (source.BytesLeft() != 0) {
    *problem = "the reader stops before the final block";
    return false;
  }
  return true;
}

CompressedEntry CompressEntry(const uint8_t* data, size_t size) {
  CompressedEntry entry;
  if (size > 0x7FFFFFFFu) {
    entry.problem = "larger than the stream format allows (2^31 bytes)";
    return entry;
  }
  if (size > 0 && size < STREAM_TAIL_RULE_BYTES) {
    entry.problem = "1 to 7 bytes: the reader never fetches the data block of so short an entry";
    return entry;
  }
  std::vector<uint8_t> image;
  if (!LzhufEncodeForStream(data, size, &image)) {
    entry.problem = "no encoding of the last bytes lets the reader fetch the final block in time";
    return entry;
  }
  std::vector<uint8_t> framed = FrameLzhufImage(image);
  if (!CheckFramedStream(framed, data, size, &entry.problem)) return entry;
  entry.ok = true;
  entry.bytes = std::move(framed);
  return entry;
}
