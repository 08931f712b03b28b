// The installation actions' rules, free of any window system: where each installed file goes
// and which archive entry it comes from, which shortcuts a file gets and where their link files
// lie, the uninstall entry's key and command, and the steps of closing a running product. The
// install worker and the uninstaller's removal both use these, so removal finds exactly what
// the install made. Every text is built with a bounded builder: a text that does not fit its
// buffer is refused (the buffer is left empty), never cut into another path.
#pragma once
#include <stdint.h>

// --- bounded texts ------------------------------------------------------------------------------

// Appends pieces to a caller's buffer. Once a piece does not fit, the builder stays failed.
struct TextBuilder {
  char* out;
  uint32_t size;
  uint32_t length;
  int32_t fits;
};
void TextStart(TextBuilder* text, char* out, uint32_t size);
void TextAdd(TextBuilder* text, const char* piece);
void TextAddDecimal(TextBuilder* text, int32_t value);
// 1 when everything fit (the buffer then holds the terminated text); 0 otherwise, and the buffer
// holds an empty text so that a cut text is never used by mistake.
int32_t TextFinish(TextBuilder* text);

// A text field of the configuration record (width bytes) as a terminated text in out, which
// must hold width bytes: the field up to its terminator, at most width - 1 characters, so a
// field without a terminator cannot lead a reader into the next field.
void ConfigFieldText(const char* field, uint32_t width, char* out);
#define CONFIG_FIELD(field, out) ConfigFieldText((field), (uint32_t)sizeof(field), (out))

// format with "%s" replaced by text and "%%" by "%". A format with more than one "%s" or with
// any other directive is refused (it comes from the configuration and must not pull arguments
// that are not there). 1 when it was well formed and the result fit; 0 leaves out empty.
int32_t FormatWithText(const char* format, const char* text, char* out, uint32_t size);

// --- the product's files ------------------------------------------------------------------------

// Results of the install worker.
enum {
  INSTALL_COMPLETE = 1,  // every file written, shortcuts and uninstall entry made
  INSTALL_STOPPED = 2,   // the user stopped the file phase
  INSTALL_FAILED = 3     // a file could not be written; nothing after the file phase was made
};

// Paths of installed files are built in buffers of this size.
#define INSTALL_PATH_SIZE 256
// Files from this index on go into the Samples subfolder.
#define INSTALL_FIRST_SAMPLE 4
#define INSTALL_SAMPLES_FOLDER "Samples"
// Archive entry names: "File" and the index in decimal. Enough room for any int32_t.
#define INSTALL_ENTRY_SIZE 16

// The folder of file index: installDir, or installDir + "\Samples" from index 4 on.
int32_t InstallFileFolder(const char* installDir, int32_t index, char* out, uint32_t size);
// The full path of file index: its folder, "\" and name.
int32_t InstallFilePath(const char* installDir, int32_t index, const char* name, char* out, uint32_t size);
// 1 for the files just before which their folder is created: 0 (installDir) and 4 (Samples).
int32_t InstallCreatesFolder(int32_t index);
// The archive entry of file index: "File%d". File 0 is built, not extracted.
int32_t InstallEntryName(int32_t index, char* out, uint32_t size);
// 1 when the last four characters of name equal extension (".exe"), ignoring the case of A-Z.
int32_t HasExtension(const char* name, const char* extension);

// --- shortcuts ----------------------------------------------------------------------------------

// Locations of shortcuts.
enum { SHORTCUT_PROGRAMS = 0, SHORTCUT_STARTUP = 1, SHORTCUT_DESKTOP = 2 };

#define SHORTCUT_PATH_SIZE 384
// Shortcut names: the longest configured format filled with the longest product name fits.
#define SHORTCUT_NAME_SIZE 64
#define SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
// Room for the value read from Shell Folders and for its expansion.
#define SHELL_FOLDER_READ_SIZE 260
#define SHELL_FOLDER_SIZE 256
#define SHORTCUT_PRODUCT_FORMAT "%s"
#define SHORTCUT_HELP_FORMAT "%s Help"

// The Shell Folders value of a location ("Programs", "Startup", "Desktop"); null for another.
const char* ShellFolderValueName(int32_t location);

// The name of a shortcut: the name format filled with the product name (FormatWithText); an
// empty name is refused too.
int32_t FormatShortcutName(const char* format, const char* productName, char* out, uint32_t size);

// A link file's path and, for the Start menu, the ends of its folder levels: cutting path at
// level1 gives the product's Start-menu folder, at level2 the optional folder inside it. 0 means
// that the level does not exist.
struct ShortcutPath {
  char path[SHORTCUT_PATH_SIZE];
  int32_t level1;
  int32_t level2;
};
// folder + "\" + name + ".lnk" for Startup and Desktop; for the Start menu folder + "\" +
// installFolderName + "\" + startMenuFolder + "\" + name + ".lnk", where an empty folder name
// leaves its level out. 0 (and an empty path) for an empty folder or name, an unknown location
// or a path that does not fit.
int32_t BuildShortcutPath(const char* folder, int32_t location, const char* installFolderName,
                          const char* startMenuFolder, const char* name, ShortcutPath* out);

// One shortcut that a file gets: its name format, where it goes, and whether it takes the
// uninstaller's icon.
struct PlannedShortcut {
  const char* nameFormat;
  int32_t location;
  int32_t uninstallerIcon;
};
enum { SHORTCUTS_TO_MAKE = 0, SHORTCUTS_TO_REMOVE = 1 };
#define SHORTCUTS_PER_FILE_MAX 2
// The shortcuts of file index, in the order they are made: ".exe" files a Start-menu link
// (file 0 under uninstallNameFormat with the uninstaller's icon, the others under the product
// name) and from index 1 on a Desktop link, ".hlp" files a "%s Help" Start-menu link. The
// install makes the Desktop link for any nonzero desktopShortcut; the removal removes it only for
// the value 1. Returns the count (0 to 2) written to out.
int32_t ShortcutsForFile(int32_t index, const char* name, int32_t desktopShortcut, int32_t purpose,
                         const char* uninstallNameFormat, PlannedShortcut out[SHORTCUTS_PER_FILE_MAX]);
// 1 when there is a Startup shortcut (to file 1, with startupArgs as its arguments): unless the
// first character is "|".
int32_t WantsStartupShortcut(const char* startupArgs);
#define STARTUP_TARGET_INDEX 1

// --- uninstall entry ----------------------------------------------------------------------------

#define UNINSTALL_KEY_FORMAT "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\%s"
#define UNINSTALL_KEY_SIZE 128
// The quoted path of the uninstaller: a file path and two quotes.
#define UNINSTALL_COMMAND_SIZE (INSTALL_PATH_SIZE + 2)
#define UNINSTALL_PUBLISHER "Quillon Digital Media"
#define UNINSTALL_URL "https://www.quillon.example/"
#define UNINSTALLER_INDEX 0

// The key of the product's entry. An empty product name is refused: its key would be the list
// of installed programs itself.
int32_t UninstallKeyPath(const char* productName, char* out, uint32_t size);
// The uninstaller's path (file 0) in double quotes, so that a folder with blanks cannot make the
// system start another program (C:\Program.exe for C:\Program Files\...).
int32_t UninstallCommand(const char* installDir, const char* uninstallerName, char* out, uint32_t size);

// --- closing a running product -----------------------------------------------------------------

#define CLOSE_PRODUCT_ATTEMPTS 8  // windows other than the one before that are asked to quit
#define CLOSE_PRODUCT_REPEATS 4   // the same window found again this often ends the search
#define CLOSE_PRODUCT_WAIT_MS 200

// The search for running copies: find a window of the product's class, ask it to quit, wait,
// and again, until none is found, one window stays through four requests, or eight attempts.
struct CloseProductSearch {
  uintptr_t previous;
  int32_t repeats;
  int32_t attempts;
};
void CloseProductBegin(CloseProductSearch* search);
// 1 while another window may be looked for.
int32_t CloseProductMore(const CloseProductSearch* search);
// Takes the window just found (0: none). 1 when it is to be asked to quit (then wait); 0 when
// the search ends.
int32_t CloseProductFound(CloseProductSearch* search, uintptr_t window);
