// The one small layer between the portable core and the operating system: files, folders, the
// running program's own path, and the locale facts read at start-up. The Win32 implementation
// uses the ANSI calls of the stub; the POSIX one lets the core run and be tested on Linux.
#pragma once
#include <stdint.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
typedef HANDLE FileHandle;
#define FILE_HANDLE_INVALID INVALID_HANDLE_VALUE
#else
// Handle types of the shared run-time state, so that the record compiles natively too.
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef void* HANDLE;
typedef void* FileHandle;
#define FILE_HANDLE_INVALID ((FileHandle)(intptr_t)-1)
#endif

// Opens an existing file for reading; others may read and write it meanwhile.
FileHandle PlatformOpenRead(const char* path);
// Creates a file for writing, replacing an existing one; not shared.
FileHandle PlatformCreateWrite(const char* path);
// Both return the number of bytes actually moved: a short count is how callers see the end of
// a file, a full disk or an error.
uint32_t PlatformRead(FileHandle file, void* buffer, uint32_t count);
uint32_t PlatformWrite(FileHandle file, const void* buffer, uint32_t count);
// Sets the position, counted from the start of the file. 1 on success.
int PlatformSeek(FileHandle file, uint32_t position);
// The file's size as a 32-bit count (the archive format never exceeds it).
uint32_t PlatformFileSize(FileHandle file);
void PlatformClose(FileHandle file);

int PlatformDeleteFile(const char* path);
int PlatformCreateDirectory(const char* path);
int PlatformRemoveDirectory(const char* path);

// Full path of the running program into buffer (size bytes, always terminated). Returns the
// length, 0 when it cannot be read.
uint32_t PlatformOwnPath(char* buffer, uint32_t size);

// The thread's locale identifier.
uint32_t PlatformThreadLocale(void);
// The time zone's bias in minutes (UTC = local time + bias). 0 when the system cannot say.
int PlatformTimeZoneBias(int32_t* biasMinutes);

#ifndef _WIN32
// Native builds only: the locale facts the POSIX layer reports (default: US English, UTC).
void PlatformSetFakeLocale(uint32_t lcid, int timeZoneValid, int32_t biasMinutes);
#endif
