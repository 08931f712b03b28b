// Fuzz target: any bytes as the stub's stored configuration (magic, length, enciphered record),
// unsealed with UnsealConfig and then read field by field the way the stub reads it: the file
// list through ConfigFileName, every text field through the bounded field copy, the two name
// formats through the stub's own format check (compared with snprintf, which formats the
// accepted formats exactly as wsprintfA does), and the paths, shortcut names, registry key,
// command lines and dialog texts built from them. Input byte 0 chooses the form: even, the
// stored form as given; odd, a plain record that is sealed first (so that every field value is
// reached directly) and must unseal to exactly itself.
// Checks: no sanitizer report (every output buffer is a heap block of its exact size), every
// result stays terminated within its buffer, and the packaging tool's format check agrees with
// the stub's.
#include <stdio.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "actions/action_rules.h"
#include "fuzz_support.h"
#include "installer/installer_rules.h"
#include "manifest.h"
#include "packing/config_seal.h"
#include "startup/setup_config.h"

namespace {

// A heap buffer of exactly `size` bytes; Text() checks that the result is terminated inside it.
struct Out {
  explicit Out(uint32_t n) : bytes(n > 0 ? n : 1, 0x55), size(n) {}
  char* data() { return bytes.data(); }
  const char* Text() const {
    FUZZ_CHECK(size > 0 && memchr(bytes.data(), 0, size) != nullptr);
    return bytes.data();
  }
  std::vector<char> bytes;
  uint32_t size;
};

// The field as the stub reads it: at most width - 1 bytes, up to its first zero.
#define FIELD(name)                                                                  \
  Out name(sizeof config.name);                                                      \
  ConfigFieldText(config.name, sizeof config.name, name.data());                     \
  FUZZ_CHECK(strlen(name.Text()) < sizeof config.name);                              \
  FUZZ_CHECK(strncmp(name.Text(), config.name, strlen(name.Text())) == 0);

// A name format from the configuration, formatted the stub's way and, where the stub accepts
// the format, the way wsprintfA would: for formats of plain text, "%%" and at most one "%s"
// the two agree.
void CheckNameFormat(const char* format, const char* productName, uint32_t size) {
  Out out(size);
  const int32_t accepted = FormatWithText(format, productName, out.data(), size);
  const char* text = out.Text();
  if (IsSafeNameFormat(format)) {
    std::vector<char> printed(size + 1024);
    const int n = snprintf(printed.data(), printed.size(), format, productName);
    FUZZ_CHECK(n >= 0);
    if (static_cast<uint32_t>(n) < size) {
      FUZZ_CHECK(accepted && strcmp(text, printed.data()) == 0);
    } else {
      FUZZ_CHECK(!accepted && text[0] == 0);
    }
  } else {
    // The stub refuses what the packaging tool calls unsafe.
    FUZZ_CHECK(!accepted && text[0] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int plain = data[0] & 1;
  std::vector<uint8_t> stored(sizeof(SetupConfigStore), 0);
  memcpy(stored.data(), data + 1, std::min(size - 1, stored.size()));
  if (plain) {
    SetupConfig record;
    memcpy(&record, stored.data() + offsetof(SetupConfigStore, body), sizeof record);
    const SetupConfigStore sealed = SealConfig(record);
    memcpy(stored.data(), &sealed, sizeof sealed);
    FUZZ_CHECK(UnsealConfig(stored.data()) == 1);
    FUZZ_CHECK(memcmp(&reinterpret_cast<SetupConfigStore*>(stored.data())->body, &record, sizeof record) == 0);
  } else {
    const std::vector<uint8_t> before = stored;
    const SetupConfigStore* store = reinterpret_cast<const SetupConfigStore*>(before.data());
    const int unsealed = UnsealConfig(stored.data());
    const int expected = store->magic == CONFIG_MAGIC && store->length > 0 && store->length <= CONFIG_AREA_SIZE;
    FUZZ_CHECK(unsealed == expected);
    // Only the record's first `length` bytes change, and the header never.
    const size_t changed = unsealed ? offsetof(SetupConfigStore, body) + static_cast<size_t>(store->length) : 0;
    FUZZ_CHECK(memcmp(stored.data(), before.data(), offsetof(SetupConfigStore, body)) == 0);
    FUZZ_CHECK(memcmp(stored.data() + changed, before.data() + changed, stored.size() - changed) == 0);
  }
  SetupConfig config;
  memcpy(&config, stored.data() + offsetof(SetupConfigStore, body), sizeof config);

  FIELD(productName);
  FIELD(version);
  FIELD(titleText1);
  FIELD(titleText2);
  FIELD(titleText3);
  FIELD(installFolderName);
  FIELD(startMenuFolder);
  FIELD(productWindowClass);
  FIELD(samplesNoun);
  FIELD(startupArgs);
  FIELD(uninstallShortcutName);
  FIELD(progressTextFormat);

  // The configurable name formats.
  CheckNameFormat(uninstallShortcutName.Text(), productName.Text(), SHORTCUT_NAME_SIZE);
  CheckNameFormat(progressTextFormat.Text(), productName.Text(), PROGRESS_TEXT_SIZE);
  Out progress(PROGRESS_TEXT_SIZE);
  FormatProductText(progress.data(), PROGRESS_TEXT_SIZE, progressTextFormat.Text(), productName.Text());
  progress.Text();

  // The destination and the texts of the dialogs.
  Out installDir(PATH_SIZE);
  DefaultInstallDir("C:\\Program Files", installFolderName.Text(), installDir.data(), PATH_SIZE);
  installDir.Text();
  Out welcome(DIALOG_TEXT_SIZE);
  WelcomeText(welcome.data(), DIALOG_TEXT_SIZE, productName.Text(), version.Text());
  welcome.Text();
  Out finish(DIALOG_TEXT_SIZE);
  FinishText(finish.data(), DIALOG_TEXT_SIZE, productName.Text(), version.Text(), samplesNoun.Text(),
             installDir.Text());
  finish.Text();
  Out key(UNINSTALL_KEY_SIZE);
  UninstallKeyPath(productName.Text(), key.data(), UNINSTALL_KEY_SIZE);
  key.Text();
  WantsStartupShortcut(startupArgs.Text());

  // The file list: every name the count asks for (and a few past it), where it is installed,
  // its entry, its shortcuts.
  FUZZ_CHECK(ConfigFileName(&config, -1) == nullptr);
  const int32_t count = config.fileCount < 0 ? 0 : config.fileCount > 600 ? 600 : config.fileCount;
  for (int32_t i = 0; i < count + 3; i++) {
    const char* name = ConfigFileName(&config, i);
    if (!name) continue;
    FUZZ_CHECK(name >= config.fileNames && name < config.fileNames + sizeof config.fileNames);
    FUZZ_CHECK(memchr(name, 0, static_cast<size_t>(config.fileNames + sizeof config.fileNames - name)) != nullptr);
    Out entry(INSTALL_ENTRY_SIZE);
    FUZZ_CHECK(InstallEntryName(i, entry.data(), INSTALL_ENTRY_SIZE));
    entry.Text();
    Out path(INSTALL_PATH_SIZE);
    InstallFilePath(installDir.Text(), i, name, path.data(), INSTALL_PATH_SIZE);
    path.Text();
    if (i == UNINSTALLER_INDEX) {
      Out command(UNINSTALL_COMMAND_SIZE);
      UninstallCommand(installDir.Text(), name, command.data(), UNINSTALL_COMMAND_SIZE);
      command.Text();
    }
    if (i == 1) {
      Out launch(PATH_SIZE * 2);
      LaunchCommandLine(launch.data(), PATH_SIZE * 2, installDir.Text(), name);
      launch.Text();
    }
    for (int32_t purpose = SHORTCUTS_TO_MAKE; purpose <= SHORTCUTS_TO_REMOVE; purpose++) {
      PlannedShortcut specs[SHORTCUTS_PER_FILE_MAX];
      const int32_t n = ShortcutsForFile(i, name, config.desktopShortcut, purpose, uninstallShortcutName.Text(), specs);
      FUZZ_CHECK(n >= 0 && n <= SHORTCUTS_PER_FILE_MAX);
      for (int32_t k = 0; k < n; k++) {
        Out shortcutName(SHORTCUT_NAME_SIZE);
        if (!FormatShortcutName(specs[k].nameFormat, productName.Text(), shortcutName.data(), SHORTCUT_NAME_SIZE)) {
          continue;
        }
        ShortcutPath link;
        if (BuildShortcutPath("C:\\Windows\\Start Menu\\Programs", specs[k].location, installFolderName.Text(),
                              startMenuFolder.Text(), shortcutName.Text(), &link)) {
          const size_t length = strnlen(link.path, SHORTCUT_PATH_SIZE);
          FUZZ_CHECK(length < SHORTCUT_PATH_SIZE);
          FUZZ_CHECK(link.level1 >= 0 && static_cast<size_t>(link.level1) <= length);
          FUZZ_CHECK(link.level2 >= 0 && static_cast<size_t>(link.level2) <= length);
        }
      }
    }
  }
  return 0;
}
