#include "setup_builder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "backdrop/bitmap_rules.h"
#include "backdrop_names.h"
#include "packing/archive_builder.h"
#include "packing/block_writer.h"
#include "packing/config_seal.h"
#include "pe_image.h"

namespace fs = std::filesystem;

std::vector<uint8_t> ReadWholeFile(const std::string& path, const std::string& what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError(what + ": cannot read " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw PackError(what + ": error reading " + path);
  return bytes;
}

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  const fs::path target(path);
  const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".partial");
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw PackError(path + ": cannot write (" + temp.string() + ")");
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ec;
      fs::remove(temp, ec);
      throw PackError(path + ": writing failed (disk full?)");
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw PackError(path + ": cannot replace: " + ec.message());
  }
}

namespace {

struct Job {
  BuiltEntry info;
  std::vector<uint8_t> content;
  Compression compression = Compression::Auto;
  // Result
  bool compressed = false;
  std::vector<uint8_t> stored;
};

// Compresses where asked; "auto" keeps the compressed form only when it is smaller. Every
// compressed stream was expanded again by the stub's own reader inside CompressEntry.
void Pack(Job& job) {
  if (job.compression == Compression::Store || job.info.mask) {
    job.stored = job.content;
    return;
  }
  CompressedEntry c = CompressEntry(job.content.data(), job.content.size());
  if (!c.ok) {
    job.info.note = c.problem;
    job.stored = job.content;
    return;
  }
  if (job.compression == Compression::Auto && c.bytes.size() >= job.content.size()) {
    job.stored = job.content;
    return;
  }
  job.compressed = true;
  job.stored = std::move(c.bytes);
}

}  // namespace

std::string PaletteMismatch(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& pictures) {
  // The stub builds one palette and one index header from the first picture with a colour
  // table and draws every other such picture through them.
  const std::vector<uint8_t>* first = nullptr;
  std::string firstName;
  BmpInfoHeader firstHeader{};
  for (const auto& [name, bmp] : pictures) {
    std::vector<uint8_t> memory(bmp);
    memory.resize(bmp.size() + PIECE_SLACK);
    uint32_t bitsOffset = 0;
    if (!PrepareBmpHeader(memory.data(), static_cast<uint32_t>(memory.size()), &bitsOffset)) continue;
    const BmpInfoHeader h = ReadBmpInfoHeader(memory.data() + BMP_FILE_HEADER_SIZE);
    if (h.biClrUsed == 0) continue;
    if (!first) {
      first = &bmp;
      firstName = name;
      firstHeader = h;
      continue;
    }
    const uint8_t* table = memory.data() + (bitsOffset - 4 * h.biClrUsed);
    std::vector<uint8_t> firstMemory(*first);
    firstMemory.resize(first->size() + PIECE_SLACK);
    uint32_t firstBits = 0;
    PrepareBmpHeader(firstMemory.data(), static_cast<uint32_t>(firstMemory.size()), &firstBits);
    const uint8_t* firstTable = firstMemory.data() + (firstBits - 4 * firstHeader.biClrUsed);
    if (h.biBitCount != firstHeader.biBitCount || h.biClrUsed != firstHeader.biClrUsed ||
        std::memcmp(table, firstTable, 4 * h.biClrUsed) != 0) {
      return "picture " + name + " has another colour table than " + firstName +
             ": pictures with colour tables must share one palette, bit depth and colour count";
    }
  }
  return "";
}

namespace {

std::string SharedPaletteProblem(const std::vector<Job>& jobs) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
  for (size_t i = 0; i < kBackdropNames.size() && i < jobs.size(); i++) pictures.emplace_back(jobs[i].info.entry, jobs[i].content);
  return PaletteMismatch(pictures);
}

}  // namespace

BuildResult BuildSetup(const Manifest& m, const BuildOptions& options, const BuildProgress& progress) {
  const std::string stubPath = !options.stubPath.empty() ? options.stubPath : m.stub;
  if (stubPath.empty()) throw PackError(m.path + ": no stub: give --stub or `stub = \"...\"` in the manifest");
  std::vector<uint8_t> stub = ReadWholeFile(stubPath, "stub");
  const uint32_t imageEnd = PeImageEnd(stub, stubPath);
  if (imageEnd != stub.size()) {
    throw PackError(stubPath + ": " + std::to_string(stub.size() - imageEnd) +
                    " bytes follow the program image: this looks like a setup, not a bare stub");
  }
  const ConfigArea area = FindConfigArea(stub, stubPath);

  std::vector<Job> jobs;
  for (size_t i = 0; i < kBackdropNames.size(); i++) {
    std::string path = m.artwork[i];
    if (path.empty()) {
      if (options.artworkDir.empty()) throw PackError(m.path + ": no picture for " + kBackdropNames[i]);
      path = (fs::path(options.artworkDir) / (kBackdropNames[i] + ".bmp")).string();
    }
    Job job;
    job.info.entry = kBackdropNames[i];
    job.info.label = kBackdropNames[i] + " (" + fs::path(path).filename().string() + ")";
    job.content = ReadWholeFile(path, "picture " + kBackdropNames[i]);
    if (const std::string problem = PictureProblem(job.content); !problem.empty()) {
      throw PackError(path + ": picture " + kBackdropNames[i] + ": " + problem);
    }
    jobs.push_back(std::move(job));
  }
  if (const std::string problem = SharedPaletteProblem(jobs); !problem.empty()) throw PackError(problem);
  int64_t progressRange = 0;
  for (size_t i = 0; i < m.files.size(); i++) {
    const ManifestFile& f = m.files[i];
    Job job;
    job.info.entry = "File" + std::to_string(i + 1);
    job.info.label = f.name;
    job.info.mask = f.mask;
    job.compression = f.compression;
    job.content = ReadWholeFile(f.source, m.path + ":" + std::to_string(f.line) + ": file \"" + f.name + "\"");
    if (job.content.size() > 0x7FFFFFFFu) throw PackError(f.source + ": files of 2 GiB or more cannot be installed");
    jobs.push_back(std::move(job));
  }

  // Compress on every core; results are placed in their job, so the order of the archive (and
  // with it the output bytes) does not depend on which thread finished first.
  unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  threads = std::min<unsigned>(threads, static_cast<unsigned>(jobs.size()));
  std::atomic<size_t> next{0};
  std::mutex reportLock;
  size_t done = 0;
  std::exception_ptr failure;
  auto worker = [&] {
    for (size_t k; (k = next++) < jobs.size();) {
      try {
        Pack(jobs[k]);
      } catch (...) {
        std::lock_guard<std::mutex> lock(reportLock);
        if (!failure) failure = std::current_exception();
        continue;
      }
      std::lock_guard<std::mutex> lock(reportLock);
      Job& j = jobs[k];
      j.info.compressed = j.compressed;
      j.info.originalSize = j.content.size();
      j.info.storedSize = j.stored.size();
      ++done;
      if (progress) progress(j.info, done, jobs.size());
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; t++) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);

  // The progress bar counts the bytes the install's stream writes: compressed product files.
  for (size_t i = kBackdropNames.size(); i < jobs.size(); i++) {
    if (jobs[i].compressed) progressRange += static_cast<int64_t>(jobs[i].content.size());
  }
  if (progressRange > 0x7FFFFFFF) throw PackError(m.path + ": the product is larger than 2 GiB");

  SetupConfig config = MakeConfig(m);
  config.progressRange = static_cast<int32_t>(progressRange);
  const SetupConfigStore sealed = SealConfig(config);
  std::memcpy(&stub[area.offset], &sealed, sizeof sealed);

  BuildResult result;
  result.progressRange = config.progressRange;
  try {
    ArchiveBuilder archive(stub);
    archive.AddStored("MAIN", stub, 0, static_cast<int32_t>(area.offset));
    BuiltEntry mainInfo;
    mainInfo.entry = "MAIN";
    mainInfo.label = "stub (" + fs::path(stubPath).filename().string() + ")";
    mainInfo.originalSize = mainInfo.storedSize = stub.size();
    result.entries.push_back(mainInfo);
    for (Job& j : jobs) {
      if (j.compressed) {
        archive.AddCompressedFramed(j.info.entry, j.stored, static_cast<int32_t>(j.content.size()));
      } else {
        archive.AddStored(j.info.entry, j.stored, j.info.mask);
      }
      result.entries.push_back(j.info);
    }
    result.setup = archive.Finish();
  } catch (const ArchiveBuildError& e) {
    throw PackError(m.path + ": " + e.what());
  }
  return result;
}

std::string PictureProblem(const std::vector<uint8_t>& bmp) {
  // The stub refuses what it could not draw safely, allowing rows to run into the slack it
  // allocates; a picture for a new setup must hold all its rows itself.
  std::vector<uint8_t> memory(bmp);
  uint32_t bitsOffset = 0;
  if (!PrepareBmpHeader(memory.data(), static_cast<uint32_t>(memory.size()), &bitsOffset)) {
    return "not a BMP the backdrop can draw (uncompressed, bottom-up, 1, 4, 8 or 24 bits per pixel, complete)";
  }
  return "";
}
