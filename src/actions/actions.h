// The installation actions on Windows: the install worker that the progress dialog runs, the
// closing of running copies of the product, the shell shortcuts and their removal, and the
// entry in the system's list of installed programs. The rules behind them are in
// action_rules.h and the file phase in install_files.h, both portable.
#pragma once
#include <stdint.h>

#include "actions/action_rules.h"
#include "actions/install_files.h"
#include "platform/platform.h"

#ifdef _WIN32

// The whole install, on the worker thread (or inline on the dialog's thread). dialog is the
// progress dialog, or null: then no control is touched. Asks running copies to quit, writes the
// files (InstallFiles), and when all were written sets installStopped, disables Cancel, makes
// the shortcuts, the uninstall entry and the Startup shortcut. Returns INSTALL_COMPLETE,
// INSTALL_STOPPED or INSTALL_FAILED (InstallFailedFile names the file; nothing after the file
// phase was made).
int RunInstallWorker(HWND dialog);

// Asks the windows of the product's class to quit (WM_QUIT), waiting 200 ms after each request;
// nothing waits for the processes to end. Nothing happens when no class is configured.
void CloseRunningProduct(void);

// Writes the link file for target named by nameFormat filled with productName, in location
// (SHORTCUT_PROGRAMS, SHORTCUT_STARTUP, SHORTCUT_DESKTOP), with arguments (null or empty: none).
// The link takes icon 1 of the target while setupState.uninstallerShortcut is set; the flag is
// cleared afterwards in every case. 1 when the link was saved; 0 when it was not, also when the
// location's folder cannot be read or the name or path does not fit (then nothing is written).
int CreateShortcut(const char* target, const char* productName, const char* nameFormat, const char* arguments,
                   int32_t location);
// Deletes the link file CreateShortcut makes for the same three values and, for the Start menu,
// its folders when they became empty. Nothing is deleted when the folder cannot be read.
// Always 1.
int RemoveShortcut(const char* productName, const char* nameFormat, int32_t location);
// Writes one link file through the shell's link object, in a COM session of its own. arguments
// may be null.
HRESULT WriteShellLink(const char* target, const char* linkPath, const char* description, const char* arguments);
// The current user's folder of a location from the Shell Folders key (environment references of
// an expandable value expanded) into folder. 1 when a non-empty folder was read; 0 leaves folder
// empty.
int ResolveShortcutFolder(int32_t location, char* folder, uint32_t size);

// Writes the product's uninstall entry: DisplayName, UninstallString, Publisher, URLInfoAbout.
// 1 when all four were written.
int RegisterUninstall(void);
// Sets one text value of the key keyPath under HKEY_LOCAL_MACHINE, creating the key. 1 when
// written.
int WriteUninstallValue(const char* keyPath, const char* valueName, const char* text);

#endif
