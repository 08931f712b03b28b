// The lzhuf command: `e` and `d` on raw LZHUF files (4-byte little-endian size, then the bit
// stream), and with --framed on the block-framed stream of a compressed archive entry. Decoding
// always goes through the stub's own decoder and stream code.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "packing/block_writer.h"
#include "packing/lzhuf_encoder.h"
#include "packing/memory_file.h"
#include "stream/block_format.h"
#include "stream/block_stream.h"
#include "stream/lzhuf_format.h"

namespace {

const char kUsage[] =
    "usage: lzhuf e [--framed] IN OUT   encode IN\n"
    "       lzhuf d [--framed] IN OUT   decode IN\n"
    "Without --framed, files are raw LZHUF: a 4-byte little-endian size, then the bit stream.\n"
    "With --framed, the encoded side is the block-framed stream of a compressed archive entry.\n";

// A user-facing failure: printed as one line, exit status 1.
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw Failure("cannot open " + path);
  const std::streamoff size = in.tellg();
  if (size < 0) throw Failure("cannot read " + path);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (in.gcount() != size) throw Failure("cannot read " + path);
  return bytes;
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Failure("cannot create " + path);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) throw Failure("cannot write " + path);
}

uint32_t ReadLe32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// The most one bit-stream byte can expand to: a match of 60 bytes takes at least 10 bits (one
// for its length, nine for the nearest positions). A larger size field is damage, and bounds
// the memory taken before decoding.
uint64_t MostExpandedBytes(uint64_t bitstreamBytes) {
  return bitstreamBytes * 8 * (LZ_MAX_MATCH / 10) + LZ_MAX_MATCH;
}

void CheckSizeField(uint64_t size, uint64_t bitstreamBytes) {
  if (size > 0x7FFFFFFFu) throw Failure("damaged: the stated size is 2^31 or more, outside the format");
  if (size > MostExpandedBytes(bitstreamBytes)) {
    throw Failure("damaged: the stated size (" + std::to_string(size) + " bytes) is more than " +
                  std::to_string(bitstreamBytes) + " bytes of bit stream can expand to");
  }
}

void Encode(const std::string& inPath, const std::string& outPath, bool framed) {
  const std::vector<uint8_t> data = ReadWholeFile(inPath);
  if (data.size() > 0x7FFFFFFFu) throw Failure(inPath + " is 2^31 bytes or more, outside the format");
  if (!framed) {
    const std::vector<uint8_t> image = LzhufEncode(data.data(), data.size());
    WriteWholeFile(outPath, image.data(), image.size());
    return;
  }
  const CompressedEntry entry = CompressEntry(data.data(), data.size());
  if (!entry.ok) throw Failure(inPath + " cannot be a compressed stream (" + entry.problem + "); store it instead");
  WriteWholeFile(outPath, entry.bytes.data(), entry.bytes.size());
}

// Raw: the whole file goes to the decoder with no framing; the output lands in memory bounded
// by the stated size, so nothing past it is ever written.
void DecodeRaw(const std::string& inPath, const std::string& outPath) {
  const std::vector<uint8_t> image = ReadWholeFile(inPath);
  if (image.size() < 4) throw Failure("damaged: " + inPath + " is shorter than its 4-byte size field");
  if (image.size() > 0xFFFFFFFFu) throw Failure(inPath + " is too large");
  const uint32_t size = ReadLe32(image.data());
  CheckSizeField(size, image.size() - 4);
  const std::unique_ptr<uint8_t[]> output(new uint8_t[(size_t)size + 1]);  // not cleared: every byte is written
  StreamSetOutputMemory(output.get(), size);
  const uint32_t result = StreamExpandRaw(image.data(), (uint32_t)image.size(), FILE_HANDLE_INVALID);
  // One request past the end is the decoder's read-ahead; more mean bits were missing (and the
  // zero bits that stood in for them may also have run past the size).
  if (StreamRequestsPastEnd() > 1) throw Failure("damaged: the bit stream ends before its stated size is reached");
  if (result != 1) throw Failure("damaged: the bit stream runs past its stated size of " + std::to_string(size) + " bytes");
  if (StreamTotalWritten() != size) throw Failure("damaged: the bit stream gives fewer bytes than its stated size");
  WriteWholeFile(outPath, output.get(), size);
}

// Framed: the stream goes through StreamExpand from an in-memory file in which, as inside an
// archive, other bytes follow it.
void DecodeFramed(const std::string& inPath, const std::string& outPath) {
  const std::vector<uint8_t> framed = ReadWholeFile(inPath);
  const uint8_t* b = framed.data();
  if (framed.size() < STREAM_SIZE_BLOCK_SIZE || (b[0] | b[1] << 8) != STREAM_BLOCK_MAGIC ||
      (b[4] | b[5] << 8) != STREAM_SIZE_BLOCK_SIZE ||
      ((STREAM_CHECKSUM_BASE + b[6] + b[7] + b[8] + b[9]) & 0xFFFF) != (uint32_t)(b[2] | b[3] << 8)) {
    throw Failure("damaged: " + inPath + " does not start with a valid size block");
  }
  const uint32_t size = ReadLe32(b + STREAM_HEADER_SIZE);
  CheckSizeField(size, framed.size() - STREAM_SIZE_BLOCK_SIZE);

  std::vector<uint8_t> file = framed;
  file.insert(file.end(), 64, 0);  // what follows a stream in an archive: not a block
  MemoryFile source(file);
  const std::unique_ptr<uint8_t[]> output(new uint8_t[(size_t)size + 1]);  // not cleared: every byte is written
  StreamSetOutputMemory(output.get(), size);
  const uint32_t result = StreamExpand(source.Handle(), FILE_HANDLE_INVALID);
  if (result != 1) throw Failure("damaged: the stream reader reports a failed block");
  if (StreamTotalWritten() != size) throw Failure("damaged: the stream gives fewer bytes than its stated size");
  const uint64_t consumed = file.size() - source.BytesLeft();
  if (consumed < framed.size()) {
    throw Failure("the reader did not take in the whole stream: with fewer than 8 bytes left to produce it "
                  "fetches no further block, so the last bytes came from zero bits (or bytes follow the stream)");
  }
  WriteWholeFile(outPath, output.get(), size);
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool framed = false;
  std::vector<std::string> positional;
  for (const std::string& a : args) {
    if (a == "--framed") {
      framed = true;
    } else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "lzhuf: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 3 || (positional[0] != "e" && positional[0] != "d")) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (positional[0] == "e") {
    Encode(positional[1], positional[2], framed);
  } else if (framed) {
    DecodeFramed(positional[1], positional[2]);
  } else {
    DecodeRaw(positional[1], positional[2]);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lzhuf: %s\n", e.what());
    return 1;
  }
}
