// POSIX side of the platform layer, for the native builds and their tests. It mirrors the
// Win32 semantics the core depends on: short counts, replace-on-create, 32-bit positions.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static int ToFd(FileHandle file) {
  return (int)(intptr_t)file;
}

static FileHandle FromFd(int fd) {
  return fd < 0 ? FILE_HANDLE_INVALID : (FileHandle)(intptr_t)fd;
}

FileHandle PlatformOpenRead(const char* path) {
  if (!path) return FILE_HANDLE_INVALID;
  return FromFd(open(path, O_RDONLY | O_CLOEXEC));
}

FileHandle PlatformCreateWrite(const char* path) {
  if (!path) return FILE_HANDLE_INVALID;
  return FromFd(open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

uint32_t PlatformRead(FileHandle file, void* buffer, uint32_t count) {
  uint32_t moved = 0;
  while (moved < count) {
    ssize_t n = read(ToFd(file), (char*)buffer + moved, count - moved);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    moved += (uint32_t)n;
  }
  return moved;
}

uint32_t PlatformWrite(FileHandle file, const void* buffer, uint32_t count) {
  uint32_t moved = 0;
  while (moved < count) {
    ssize_t n = write(ToFd(file), (const char*)buffer + moved, count - moved);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    moved += (uint32_t)n;
  }
  return moved;
}

int PlatformSeek(FileHandle file, uint32_t position) {
  return lseek(ToFd(file), (off_t)position, SEEK_SET) == (off_t)position;
}

uint32_t PlatformFileSize(FileHandle file) {
  struct stat st;
  if (fstat(ToFd(file), &st) != 0) return 0xFFFFFFFFu;
  return (uint32_t)st.st_size;
}

void PlatformClose(FileHandle file) {
  if (file != FILE_HANDLE_INVALID) close(ToFd(file));
}

int PlatformDeleteFile(const char* path) {
  return unlink(path) == 0;
}

int PlatformCreateDirectory(const char* path) {
  return mkdir(path, 0755) == 0;
}

int PlatformRemoveDirectory(const char* path) {
  return rmdir(path) == 0;
}

uint32_t PlatformOwnPath(char* buffer, uint32_t size) {
  if (size == 0) return 0;
  ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
  if (n < 0) n = 0;
  buffer[n] = 0;
  return (uint32_t)n;
}

static uint32_t fakeLcid = 0x0409;
static int fakeTimeZoneValid = 1;
static int32_t fakeBias = 0;

void PlatformSetFakeLocale(uint32_t lcid, int timeZoneValid, int32_t biasMinutes) {
  fakeLcid = lcid;
  fakeTimeZoneValid = timeZoneValid;
  fakeBias = biasMinutes;
}

uint32_t PlatformThreadLocale(void) {
  return fakeLcid;
}

int PlatformTimeZoneBias(int32_t* biasMinutes) {
  if (!fakeTimeZoneValid) return 0;
  *biasMinutes = fakeBias;
  return 1;
}
