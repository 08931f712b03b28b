// The file phase of the install: every file of the configuration's list written into the
// destination from the program's own archive, file 0 built as the uninstaller. Portable (it
// uses only the archive and platform layers); the Win32 worker runs it before the shortcuts.
#pragma once
#include <stdint.h>

// The progress handlers that the file phase installs into the stream's ProgressSink before each
// file. The progress dialog sets them before it starts the worker; until then both are null
// and the stream reports to no one.
void SetInstallProgressHandlers(void (*tick)(void), uint32_t (*bytesWritten)(uint32_t));

// Writes files 0 to fileCount - 1 of setupConfig into setupState.installDir from the archive
// open for reading, counting each in setupState.filesDone, and stops before the next file once
// setupState.installStopped is set. showFile (may be null) is told the path of each file before
// it is written. Returns INSTALL_COMPLETE, INSTALL_STOPPED (the user stopped it) or
// INSTALL_FAILED: a file could not be written in full (its extraction failed or came out
// short, the uninstaller could not be built, its path does not fit, or its name is missing from
// the list); the phase stops after that file. An entry missing from the archive is passed over.
int32_t InstallFiles(void (*showFile)(const char* path));

// After INSTALL_FAILED: the path of the file that could not be written, or its name from the
// list (or its entry name) when no path could be built for it. Empty otherwise.
const char* InstallFailedFile(void);
