// Win32 side of the platform layer: the ANSI file calls with the sharing and creation modes the
// archive reader and writer rely on.
#include "platform/platform.h"

FileHandle PlatformOpenRead(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileHandle PlatformCreateWrite(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint32_t PlatformRead(FileHandle file, void* buffer, uint32_t count) {
  DWORD moved = 0;
  // The call's own result is not consulted: the count that arrived is what callers judge.
  ReadFile(file, buffer, count, &moved, nullptr);
  return moved;
}

uint32_t PlatformWrite(FileHandle file, const void* buffer, uint32_t count) {
  DWORD moved = 0;
  WriteFile(file, buffer, count, &moved, nullptr);
  return moved;
}

int PlatformSeek(FileHandle file, uint32_t position) {
  // Positions above 2 GiB are outside the formats; the high word stays 0.
  LONG high = 0;
  DWORD low = SetFilePointer(file, (LONG)position, &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

uint32_t PlatformFileSize(FileHandle file) {
  return GetFileSize(file, nullptr);
}

void PlatformClose(FileHandle file) {
  CloseHandle(file);
}

int PlatformDeleteFile(const char* path) {
  return DeleteFileA(path) ? 1 : 0;
}

int PlatformCreateDirectory(const char* path) {
  return CreateDirectoryA(path, nullptr) ? 1 : 0;
}

int PlatformRemoveDirectory(const char* path) {
  return RemoveDirectoryA(path) ? 1 : 0;
}

uint32_t PlatformOwnPath(char* buffer, uint32_t size) {
  if (size == 0) return 0;
  DWORD n = GetModuleFileNameA(nullptr, buffer, size);
  if (n >= size) n = size - 1;  // a cut path is still terminated (XP leaves it open)
  buffer[n] = 0;
  return n;
}

uint32_t PlatformThreadLocale(void) {
  return GetThreadLocale();
}

int PlatformTimeZoneBias(int32_t* biasMinutes) {
  TIME_ZONE_INFORMATION tz;
  if (GetTimeZoneInformation(&tz) == TIME_ZONE_ID_INVALID) return 0;
  *biasMinutes = tz.Bias;
  return 1;
}
