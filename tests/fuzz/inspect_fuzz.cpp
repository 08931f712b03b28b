// Fuzz target: any bytes as a setup file (the leading byte as in SetupFromInput), through
// `mksetup verify` and `mksetup list`
// (VerifySetup and ListSetup, which read it with the stub's own reader code). verify answers
// every file with a list of problems and never throws; list either lists or refuses with the
// tool's one clear error. The file lives in memory and is named by its /proc/self/fd path.
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "fuzz_support.h"
#include "inspect.h"
#include "manifest.h"
#include "packing/archive_builder.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file = fuzzsupport::SetupFromInput(data, size);
  fuzzsupport::MemFile setup(file.data(), file.size());
  const std::vector<std::string> problems = VerifySetup(setup.Path());
  for (const std::string& p : problems) FUZZ_CHECK(!p.empty());
  try {
    const std::string listing = ListSetup(setup.Path());
    FUZZ_CHECK(listing.find("Archive:") != std::string::npos);
  } catch (const PackError&) {
  } catch (const ArchiveBuildError&) {
  }
  return 0;
}
