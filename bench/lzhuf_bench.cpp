// Benchmarks of LZHUF on the 16 MiB corpus: decoding through the block stream from an
// in-memory file into memory (the stub's path, framing and checksums included), decoding a
// raw image, and encoding, with MB/s (the MB counter, per second) and the encoder's output size.
// Run build/native/bench/lzhuf_bench; bench/callgrind-lzhuf gives the instruction counts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "packing/block_writer.h"
#include "packing/lzhuf_encoder.h"
#include "packing/memory_file.h"
#include "stream/block_stream.h"

namespace {

// The published LZHUF program's figures on this corpus (gcc -O2), for comparison.
constexpr double kPublishedSize = 7037330;
constexpr double kTargetSize = 6755800;  // 0.96 of it

struct Corpus {
  std::vector<uint8_t> data;
  std::vector<uint8_t> image;   // raw LZHUF image of data
  std::vector<uint8_t> framed;  // the same as a block-framed stream, followed by other bytes
};
Corpus corpus;

bool LoadCorpus() {
  std::ifstream probe(QS_CORPUS_FILE, std::ios::binary);
  if (!probe) {
    std::printf("making the corpus: %s\n", QS_CORPUS_FILE);
    std::fflush(stdout);
    const std::string command = std::string("sh '") + QS_CORPUS_SCRIPT + "' '" + QS_CORPUS_FILE + "'";
    if (std::system(command.c_str()) != 0) {
      std::remove(QS_CORPUS_FILE);
      std::printf("skipped: the corpus's source files are missing or changed on this machine\n");
      return false;
    }
    probe.open(QS_CORPUS_FILE, std::ios::binary);
  }
  corpus.data.assign(std::istreambuf_iterator<char>(probe), std::istreambuf_iterator<char>());
  corpus.image = LzhufEncode(corpus.data.data(), corpus.data.size());
  const CompressedEntry entry = CompressEntry(corpus.data.data(), corpus.data.size());
  if (!entry.ok) {
    std::printf("the corpus cannot be framed: %s\n", entry.problem.c_str());
    return false;
  }
  corpus.framed = entry.bytes;
  corpus.framed.insert(corpus.framed.end(), 64, 0);  // as inside an archive
  return true;
}

void SetRates(benchmark::State& state, double bytesPerIteration) {
  state.SetBytesProcessed(static_cast<int64_t>(bytesPerIteration * static_cast<double>(state.iterations())));
  state.counters["MB"] =
      benchmark::Counter(bytesPerIteration * 1e-6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void DecodeStream(benchmark::State& state) {
  MemoryFile source(corpus.framed);
  const size_t size = corpus.data.size();
  const std::unique_ptr<uint8_t[]> output(new uint8_t[size]);
  for (auto _ : state) {
    source.Rewind();
    StreamSetOutputMemory(output.get(), static_cast<uint32_t>(size));
    if (StreamExpand(source.Handle(), FILE_HANDLE_INVALID) != 1) state.SkipWithError("the stream failed");
    benchmark::DoNotOptimize(output.get());
  }
  SetRates(state, static_cast<double>(size));
}

void DecodeRaw(benchmark::State& state) {
  const size_t size = corpus.data.size();
  const std::unique_ptr<uint8_t[]> output(new uint8_t[size]);
  for (auto _ : state) {
    StreamSetOutputMemory(output.get(), static_cast<uint32_t>(size));
    if (StreamExpandRaw(corpus.image.data(), static_cast<uint32_t>(corpus.image.size()), FILE_HANDLE_INVALID) != 1) {
      state.SkipWithError("the image failed");
    }
    benchmark::DoNotOptimize(output.get());
  }
  SetRates(state, static_cast<double>(size));
}

void Encode(benchmark::State& state) {
  size_t out = 0;
  for (auto _ : state) {
    const auto image = LzhufEncode(corpus.data.data(), corpus.data.size());
    out = image.size();
    benchmark::DoNotOptimize(image.data());
  }
  SetRates(state, static_cast<double>(corpus.data.size()));
  state.counters["out_bytes"] = static_cast<double>(out);
  state.counters["vs_published"] = static_cast<double>(out) / kPublishedSize;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!LoadCorpus()) return 0;
  std::printf("corpus %zu bytes; encoded %zu bytes (%.4f of the published encoder's %.0f; target <= %.0f)\n",
              corpus.data.size(), corpus.image.size(), static_cast<double>(corpus.image.size()) / kPublishedSize,
              kPublishedSize, kTargetSize);
  benchmark::RegisterBenchmark("lzhuf/decode_stream", DecodeStream)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("lzhuf/decode_raw", DecodeRaw)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("lzhuf/encode", Encode)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
