// The uninstaller's rules, free of any window system: its dialog texts, the folder it runs
// from, and the self-deleting batch that removes it and that folder after it has ended.
#pragma once
#include <stdint.h>

#define DELETE_BATCH_PATH "\\DelUS.bat"
// The batch: five lines, each ending in CR LF.
#define DELETE_BATCH_SIZE 1024
#define UNINSTALL_TEXT_SIZE 512

// Tells whether a byte starts a double-byte character of the ANSI code page (IsDBCSLeadByte
// on Windows; the tests give code page 932's rule).
typedef int32_t (*LeadByteTest)(uint8_t byte);

// Index of the last path separator of path, stepping over double-byte characters so that a
// trail byte 0x5C is not taken for one; -1 when there is none.
int32_t LastSeparator(const char* path, LeadByteTest isLeadByte);
// The folder of a file path (cut at its last separator, no trailing backslash) into out. 0
// when the path has no separator or the folder does not fit.
int32_t FolderOfPath(const char* path, LeadByteTest isLeadByte, char* out, uint32_t size);

// The batch text for the uninstaller at path in folder: ":Repeat", "del", "if exist ... goto
// Repeat", "rmdir", and the batch deleting itself, each line ending in CR LF. Returns its
// length, 0 when it does not fit size (then out holds an empty text).
int32_t FormatDeleteBatch(const char* uninstallerPath, const char* folder, char* out, uint32_t size);

// The question of dialog 301 and the message of dialog 302, with the product name and version.
int32_t FormatUninstallQuestion(const char* productName, char* out, uint32_t size);
int32_t FormatUninstallDone(const char* productName, const char* version, char* out, uint32_t size);
