// The few C library routines the compiler emits calls to (block copies and fills, string
// length) for a stub that links no C runtime. Built with -fno-builtin and without loop-pattern
// detection, so these loops do not turn back into calls of themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  while (count--) *d++ = *s++;
  return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  const unsigned char* s = static_cast<const unsigned char*>(source);
  if (d < s) {
    while (count--) *d++ = *s++;
  } else if (d > s) {
    d += count;
    s += count;
    while (count--) *--d = *--s;
  }
  return destination;
}

void* memset(void* destination, int value, size_t count) {
  unsigned char* d = static_cast<unsigned char*>(destination);
  while (count--) *d++ = static_cast<unsigned char>(value);
  return destination;
}

int memcmp(const void* a, const void* b, size_t count) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; count; count--, x++, y++) {
    if (*x != *y) return *x < *y ? -1 : 1;
  }
  return 0;
}

size_t strlen(const char* text) {
  size_t n = 0;
  while (text[n]) n++;
  return n;
}
}
