// mksetup: the product maker's command.
//   mksetup build MANIFEST -o Setup.exe [--stub STUB]   pack a product
//   mksetup list Setup.exe                              show configuration and archive
//   mksetup verify Setup.exe                            check everything the installer relies on
//   mksetup extract Setup.exe -C DIR                    take a setup apart (rebuildable)
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "inspect.h"
#include "manifest.h"
#include "packing/archive_builder.h"
#include "setup_builder.h"

namespace fs = std::filesystem;

namespace {

std::string Size(uint64_t bytes) {
  char buf[32];
  if (bytes >= 10 * 1024 * 1024) {
    std::snprintf(buf, sizeof buf, "%.1f MiB", bytes / 1048576.0);
  } else if (bytes >= 10 * 1024) {
    std::snprintf(buf, sizeof buf, "%.1f KiB", bytes / 1024.0);
  } else {
    std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
  }
  return buf;
}

// The project's own pictures: next to the tool in an installed layout, or in the source tree.
std::string DefaultArtworkDir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  for (const fs::path& candidate : {self.parent_path() / "artwork", fs::path(QS_SOURCE_ARTWORK)}) {
    if (fs::is_regular_file(candidate / "BLUE.bmp", ec)) return candidate.string();
  }
  return "";
}

int Build(const std::string& manifestPath, const std::string& output, const std::string& stub, unsigned threads) {
  const auto start = std::chrono::steady_clock::now();
  const Manifest manifest = ReadManifest(manifestPath);
  BuildOptions options;
  options.stubPath = stub;
  options.artworkDir = DefaultArtworkDir();
  options.threads = threads;
  const bool terminal = isatty(fileno(stderr));
  const BuildResult result = BuildSetup(manifest, options, [&](const BuiltEntry& e, size_t done, size_t total) {
    if (!terminal) return;
    const double ratio = e.originalSize ? 100.0 * e.storedSize / e.originalSize : 100.0;
    std::fprintf(stderr, "  [%2zu/%zu] %-10s %-28s %10s -> %10s %5.1f%% %s\n", done, total, e.entry.c_str(),
                 e.label.c_str(), Size(e.originalSize).c_str(), Size(e.storedSize).c_str(), ratio,
                 e.compressed ? "compressed" : e.mask ? "stored, masked" : "stored");
  });
  for (const BuiltEntry& e : result.entries) {
    if (!e.note.empty()) std::fprintf(stderr, "note: %s (%s) is stored: %s\n", e.entry.c_str(), e.label.c_str(), e.note.c_str());
  }
  WriteFileAtomically(output, result.setup);
  uint64_t in = 0, out = 0;
  for (const BuiltEntry& e : result.entries) {
    in += e.originalSize;
    out += e.storedSize;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %zu entries, %s in, %s out (%.1f%%), setup %s, %.2f s\n", output.c_str(), result.entries.size(),
              Size(in).c_str(), Size(out).c_str(), in ? 100.0 * out / in : 100.0, Size(result.setup.size()).c_str(), seconds);
  return 0;
}

// The command line and the subcommands; failures inside a subcommand end as one message.
int Run(int argc, char** argv) {
  CLI::App app{"mksetup: packs a product into a self-extracting Setup.exe, and takes setups apart again"};
  app.require_subcommand(1);

  std::string manifest, output, stub, setup, dir;
  unsigned threads = 0;
  CLI::App* build = app.add_subcommand("build", "Pack the product of MANIFEST into a setup");
  build->add_option("manifest", manifest, "the product's manifest (TOML)")->required();
  build->add_option("-o,--output", output, "the setup to write")->required();
  build->add_option("--stub", stub, "the stub program to configure (overrides the manifest's stub)");
  build->add_option("-j,--jobs", threads, "compressing threads (default: one per core)");

  CLI::App* list = app.add_subcommand("list", "Show a setup's configuration and archive directory");
  list->add_option("setup", setup, "the setup")->required();
  CLI::App* verify = app.add_subcommand("verify", "Check a setup; exit status 0 only when it is sound");
  verify->add_option("setup", setup, "the setup")->required();
  CLI::App* extract = app.add_subcommand("extract", "Write every entry and a rebuilding manifest to DIR");
  extract->add_option("setup", setup, "the setup")->required();
  extract->add_option("-C,--directory", dir, "the folder to write to")->required();

  CLI11_PARSE(app, argc, argv);
  try {
    if (*build) return Build(manifest, output, stub, threads);
    if (*list) {
      std::cout << ListSetup(setup);
      return 0;
    }
    if (*verify) {
      const std::vector<std::string> problems = VerifySetup(setup);
      for (const std::string& p : problems) std::cout << setup << ": " << p << "\n";
      if (problems.empty()) std::cout << setup << ": OK\n";
      return problems.empty() ? 0 : 1;
    }
    if (*extract) {
      ExtractSetup(setup, dir);
      std::cout << "extracted " << setup << " to " << dir << " (rebuild: mksetup build " << (fs::path(dir) / "manifest.toml").string()
                << " -o Setup.exe)\n";
      return 0;
    }
  } catch (const PackError& e) {
    std::fprintf(stderr, "mksetup: %s\n", e.what());
  } catch (const ArchiveBuildError& e) {
    std::fprintf(stderr, "mksetup: %s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mksetup: %s\n", e.what());
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Setting up the command line can throw as well (allocation): one message, not a crash.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mksetup: %s\n", e.what());
  }
  return 1;
}
