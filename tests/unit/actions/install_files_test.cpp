// The install's file phase on archives made by the packaging side: every file at its place with
// its bytes, the uninstaller built from "MAIN" and the pictures, entries missing from the
// archive passed over, and each way a file can fail to be written (a damaged block, a short
// write, an unbuildable uninstaller, a path that does not fit, a name missing from the list)
// ending the phase as a failure, while a confirmed Cancel ends it as a stop.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "actions/action_rules.h"
#include "actions/install_files.h"
#include "archive/archive.h"
#include "backdrop/backdrop_layout.h"
#include "packing/archive_builder.h"
#include "startup/setup_config.h"
#include "startup/setup_state.h"
#include "stream/block_stream.h"
#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

enum How { STORED, MASKED, COMPRESSED, MISSING };

struct ProductFile {
  std::string name;
  std::vector<uint8_t> bytes;
  How how;
};

// Text-like content that compresses and spans several output buffers of the stream.
std::vector<uint8_t> Text(size_t n, int seed) {
  std::string s;
  for (int k = 0; s.size() < n; k++) s += "line " + std::to_string(k * seed) + " of the product's text\r\n";
  s.resize(n);
  return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> Bytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 7;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return v;
}

std::vector<ProductFile> SampleProduct() {
  return {
      {"uninst.exe", {}, STORED},  // built, not extracted
      {"Viewer.exe", Text(30000, 3), COMPRESSED},
      {"readme.txt", Bytes(5000, 4), STORED},
      {"Viewer.hlp", Bytes(20000, 5), MASKED},
      {"Harbour.qsv", Text(25000, 7), COMPRESSED},
      {"Lantern.qsv", Bytes(700, 8), STORED},
      {"Meadow.qsv", Text(300, 9), COMPRESSED},
  };
}

std::vector<std::string> shownPaths;
void RecordShownPath(const char* path) {
  shownPaths.push_back(path);
}

uint32_t bytesReported;
int32_t ticks;
int32_t abortAtFile = -1;
void CountTick() {
  ticks++;
}
uint32_t CountBytes(uint32_t written) {
  bytesReported += written;
  return 0;
}
// What the progress dialog does when the user confirms Cancel, during the file abortAtFile.
uint32_t CancelDuringFile(uint32_t) {
  if (setupState.filesDone == abortAtFile && !setupState.installStopped) {
    StreamAbort();
    setupState.installStopped = 1;
  }
  return 0;
}
void StaleTick() {
  ADD_FAILURE() << "a hook from before the install was called";
}

class ActionsInstallFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    // Cases that run one after another in a test start from an empty folder.
    for (const auto& entry : fs::directory_iterator(dir_.Path())) fs::remove_all(entry.path());
    installDir_ = dir_.File("inst");
    SetInstallDir(installDir_);
    setupState.filesDone = 0;
    setupState.installStopped = 0;
    shownPaths.clear();
    bytesReported = 0;
    ticks = 0;
    abortAtFile = -1;
  }

  void TearDown() override {
    CloseArchive(archive_);
    SetInstallProgressHandlers(nullptr, nullptr);
    progressSink.onTick = nullptr;
    progressSink.onBytesWritten = nullptr;
    memset(&setupConfig, 0, sizeof setupConfig);
    setupState.filesDone = 0;
    setupState.installStopped = 0;
  }

  void SetInstallDir(const std::string& dir) {
    ASSERT_LT(dir.size(), sizeof setupState.installDir);
    memset(setupState.installDir, 0, sizeof setupState.installDir);
    memcpy(setupState.installDir, dir.data(), dir.size());
  }

  // Packs the setup archive (stub image, "MAIN", the pictures but those in skipPictures, the
  // product files as File1...), fills the configuration's file list and opens the archive.
  void Prepare(const std::vector<ProductFile>& files, bool withMain = true,
               const std::vector<std::string>& skipPictures = {}) {
    files_ = files;
    ArchiveBuilder builder(stub_);
    if (withMain) builder.AddStored("MAIN", stub_);
    for (int32_t k = 0; k < BACKDROP_PIECE_COUNT; k++) {
      const std::string name = BackdropPieceNames[k];
      pictures_[k] = Text(2000 + 300 * k, 40 + k);
      bool skip = false;
      for (const auto& s : skipPictures) skip = skip || s == name;
      if (skip) continue;
      if (k % 3 == 0) {
        builder.AddCompressed(name, pictures_[k]);
      } else {
        builder.AddStored(name, pictures_[k], k % 3 == 1 ? 0 : 0x5C);
      }
    }
    for (size_t i = 1; i < files.size(); i++) {
      const std::string entry = "File" + std::to_string(i);
      switch (files[i].how) {
        case STORED:
          builder.AddStored(entry, files[i].bytes);
          break;
        case MASKED:
          builder.AddStored(entry, files[i].bytes, 0xA5);
          break;
        case COMPRESSED:
          ASSERT_EQ(Packed::Compressed, builder.AddCompressed(entry, files[i].bytes)) << entry;
          break;
        case MISSING:
          break;
      }
    }
    WriteFile(dir_.File("setup.bin"), builder.Finish());
    SetFileList(files, (int32_t)files.size());
    Open();
  }

  void Open() {
    archive_ = OpenArchive(dir_.File("setup.bin").c_str());
    ASSERT_NE(FILE_HANDLE_INVALID, archive_);
  }

  void SetFileList(const std::vector<ProductFile>& files, int32_t count) {
    memset(setupConfig.fileNames, 0, sizeof setupConfig.fileNames);
    size_t at = 0;
    for (const auto& f : files) {
      ASSERT_LT(at + f.name.size(), sizeof setupConfig.fileNames);
      memcpy(setupConfig.fileNames + at, f.name.c_str(), f.name.size() + 1);
      at += f.name.size() + 1;
    }
    setupConfig.fileCount = count;
  }

  // Where file index must be, built here independently of the rule under test.
  std::string Placed(size_t index) const {
    return installDir_ + (index >= 4 ? "\\Samples\\" : "\\") + files_[index].name;
  }

  // Flips a byte in the middle of an entry's stored data.
  void Damage(const std::string& entry) {
    CloseArchive(archive_);
    std::vector<uint8_t> setup = ReadFile(dir_.File("setup.bin"));
    for (const ArchiveListing& r : ListArchive(dir_.File("setup.bin"))) {
      if (r.name == entry) setup[(size_t)r.dataOffset + (size_t)r.storedSize / 2] ^= 0x40;
    }
    WriteFile(dir_.File("setup.bin"), setup);
    Open();
  }

  void ExpectWritten(size_t index) {
    EXPECT_EQ(files_[index].bytes, ReadFile(Placed(index))) << files_[index].name;
  }

  testsupport::ScratchDir dir_{"actions"};
  std::string installDir_;
  FileHandle archive_ = FILE_HANDLE_INVALID;
  std::vector<uint8_t> stub_ = Bytes(3000, 1);
  std::vector<uint8_t> pictures_[BACKDROP_PIECE_COUNT];
  std::vector<ProductFile> files_;
};

}  // namespace

TEST_F(ActionsInstallFiles, WritesEveryFileAtItsPlaceAndBuildsTheUninstaller) {
  Prepare(SampleProduct());
  // A file already there is replaced, also when it is longer than the new one.
  fs::create_directories(installDir_);
  WriteFile(Placed(2), Bytes(9000, 99));

  EXPECT_EQ(INSTALL_COMPLETE, InstallFiles(RecordShownPath));
  EXPECT_EQ(7, setupState.filesDone);
  EXPECT_EQ(0, setupState.installStopped);
  EXPECT_STREQ("", InstallFailedFile());
  for (size_t i = 1; i < files_.size(); i++) ExpectWritten(i);
  EXPECT_TRUE(fs::is_directory(installDir_ + "\\Samples"));
  std::vector<std::string> expectedShown;
  for (size_t i = 0; i < files_.size(); i++) expectedShown.push_back(Placed(i));
  EXPECT_EQ(expectedShown, shownPaths);

  // The uninstaller starts with the stub image and carries its own archive: "MAIN" first, then
  // the pictures in reveal order, each with its content.
  CloseArchive(archive_);
  const std::vector<uint8_t> uninstaller = ReadFile(Placed(0));
  ASSERT_GE(uninstaller.size(), stub_.size());
  EXPECT_TRUE(std::equal(stub_.begin(), stub_.end(), uninstaller.begin()));
  const std::vector<ArchiveListing> records = ListArchive(Placed(0));
  ASSERT_EQ(9u, records.size());
  EXPECT_EQ("MAIN", records[0].name);
  EXPECT_EQ(0, records[0].dataOffset);
  EXPECT_EQ(stub_, ReadArchiveEntry(Placed(0), "MAIN"));
  for (int32_t k = 0; k < BACKDROP_PIECE_COUNT; k++) {
    EXPECT_EQ(BackdropPieceNames[k], records[(size_t)k + 1].name);
    EXPECT_EQ(pictures_[k], ReadArchiveEntry(Placed(0), BackdropPieceNames[k])) << BackdropPieceNames[k];
  }
}

TEST_F(ActionsInstallFiles, FourFilesOrFewerMakeNoSamplesFolder) {
  std::vector<ProductFile> files = SampleProduct();
  files.resize(4);
  Prepare(files);
  EXPECT_EQ(INSTALL_COMPLETE, InstallFiles(nullptr));
  EXPECT_EQ(4, setupState.filesDone);
  for (size_t i = 1; i < 4; i++) ExpectWritten(i);
  EXPECT_FALSE(fs::exists(installDir_ + "\\Samples"));
}

TEST_F(ActionsInstallFiles, EntryMissingFromTheArchiveIsPassedOver) {
  std::vector<ProductFile> files = SampleProduct();
  files[2].how = MISSING;
  Prepare(files);
  EXPECT_EQ(INSTALL_COMPLETE, InstallFiles(nullptr));
  EXPECT_EQ(7, setupState.filesDone);
  EXPECT_FALSE(fs::exists(Placed(2)));
  for (size_t i : {1, 3, 4, 5, 6}) ExpectWritten(i);
}

TEST_F(ActionsInstallFiles, DamagedCompressedEntryFailsTheInstallAfterThatFile) {
  for (size_t bad : {1, 4}) {
    SCOPED_TRACE(bad);
    TearDown();
    SetUp();
    Prepare(SampleProduct());
    Damage("File" + std::to_string(bad));
    EXPECT_EQ(INSTALL_FAILED, InstallFiles(nullptr));
    EXPECT_EQ((int32_t)bad + 1, setupState.filesDone);
    EXPECT_EQ(Placed(bad), InstallFailedFile());
    for (size_t i = 1; i < bad; i++) ExpectWritten(i);
    for (size_t i = bad + 1; i < files_.size(); i++) EXPECT_FALSE(fs::exists(Placed(i))) << i;
  }
}

TEST_F(ActionsInstallFiles, ConfirmedCancelStopsBetweenFilesAndIsNoFailure) {
  for (int32_t at : {1, 4, 6}) {
    SCOPED_TRACE(at);
    TearDown();
    SetUp();
    Prepare(SampleProduct());
    abortAtFile = at;
    SetInstallProgressHandlers(nullptr, CancelDuringFile);
    EXPECT_EQ(INSTALL_STOPPED, InstallFiles(nullptr));
    EXPECT_EQ(at + 1, setupState.filesDone);
    EXPECT_STREQ("", InstallFailedFile());
    for (size_t i = (size_t)at + 1; i < files_.size(); i++) EXPECT_FALSE(fs::exists(Placed(i))) << i;
  }
}

TEST_F(ActionsInstallFiles, ShortWriteOfAnyKindOfEntryFailsTheInstall) {
#ifdef _WIN32
  GTEST_SKIP() << "a full disk is simulated through /dev/full";
#else
  // Viewer.exe is compressed (the stream does not report its short writes), readme.txt stored,
  // Viewer.hlp stored and masked.
  for (size_t full : {1, 2, 3}) {
    SCOPED_TRACE(full);
    TearDown();
    SetUp();
    Prepare(SampleProduct());
    fs::create_directories(installDir_);
    fs::create_symlink("/dev/full", Placed(full));
    EXPECT_EQ(INSTALL_FAILED, InstallFiles(nullptr));
    EXPECT_EQ((int32_t)full + 1, setupState.filesDone);
    EXPECT_EQ(Placed(full), InstallFailedFile());
    EXPECT_FALSE(fs::exists(Placed(full + 1)));
  }
#endif
}

TEST_F(ActionsInstallFiles, UninstallerThatCannotBeBuiltFailsTheInstall) {
  // Its path is taken by a folder.
  Prepare(SampleProduct());
  fs::create_directories(Placed(0));
  EXPECT_EQ(INSTALL_FAILED, InstallFiles(nullptr));
  EXPECT_EQ(1, setupState.filesDone);
  EXPECT_EQ(Placed(0), InstallFailedFile());
  EXPECT_FALSE(fs::exists(Placed(1)));

  // The archive has no stub image for it.
  TearDown();
  SetUp();
  Prepare(SampleProduct(), false);
  EXPECT_EQ(INSTALL_FAILED, InstallFiles(nullptr));
  EXPECT_EQ(1, setupState.filesDone);
  EXPECT_EQ(Placed(0), InstallFailedFile());
}

TEST_F(ActionsInstallFiles, MissingPictureLeavesItOutOfTheUninstaller) {
  Prepare(SampleProduct(), true, {"LOGO"});
  EXPECT_EQ(INSTALL_COMPLETE, InstallFiles(nullptr));
  CloseArchive(archive_);
  const std::vector<ArchiveListing> records = ListArchive(Placed(0));
  ASSERT_EQ(8u, records.size());
  EXPECT_EQ("MAIN", records[0].name);
  for (const auto& r : records) EXPECT_NE("LOGO", r.name);
}

TEST_F(ActionsInstallFiles, PathThatDoesNotFitIsNotWrittenUnderAnotherName) {
  // installDir\Samples (244 characters) fits, installDir\Samples\Harbour.qsv does not.
  std::string dir = installDir_;
  dir.resize(236, 'd');
  installDir_ = dir;
  SetInstallDir(dir);
  Prepare(SampleProduct());
  EXPECT_EQ(INSTALL_FAILED, InstallFiles(nullptr));
  EXPECT_EQ(5, setupState.filesDone);
  EXPECT_STREQ("Harbour.qsv", InstallFailedFile());
  for (size_t i = 1; i < 4; i++) ExpectWritten(i);
  // Nothing was written in the Samples folder, nor beside it under a cut name.
  const fs::path samples = installDir_ + "\\Samples";
  if (fs::is_directory(samples)) {
    EXPECT_TRUE(fs::is_empty(samples));
  }
  for (const auto& entry : fs::directory_iterator(dir_.Path())) {
    EXPECT_EQ(std::string::npos, entry.path().string().find("Harb")) << entry.path();
  }
}

TEST_F(ActionsInstallFiles, NameMissingFromTheListFailsTheInstall) {
  Prepare(SampleProduct());
  SetFileList(files_, 9);
  EXPECT_EQ(INSTALL_FAILED, InstallFiles(nullptr));
  EXPECT_EQ(8, setupState.filesDone);
  EXPECT_STREQ("File7", InstallFailedFile());
  for (size_t i = 1; i < files_.size(); i++) ExpectWritten(i);
}

TEST_F(ActionsInstallFiles, ProgressHandlersAreInstalledForEveryFile) {
  Prepare(SampleProduct());
  SetInstallProgressHandlers(CountTick, CountBytes);
  EXPECT_EQ(INSTALL_COMPLETE, InstallFiles(nullptr));
  // Only expanded output is reported: the three compressed product files.
  EXPECT_EQ(files_[1].bytes.size() + files_[4].bytes.size() + files_[6].bytes.size(), bytesReported);
  EXPECT_GT(ticks, 0);

  // Without handlers, hooks left in the stream from before are replaced by none.
  TearDown();
  SetUp();
  Prepare(SampleProduct());
  progressSink.onTick = StaleTick;
  EXPECT_EQ(INSTALL_COMPLETE, InstallFiles(nullptr));
  EXPECT_EQ(nullptr, progressSink.onTick);
  EXPECT_EQ(nullptr, progressSink.onBytesWritten);
}
