// PC1 stream cipher (80-bit key) and the one-byte mask of stored archive entries. Both work in
// place on caller buffers and allocate nothing. The cipher keeps one process-wide state: a key
// setup and the processing that follows it must not interleave with another.
#pragma once
#include <stdint.h>

// Key text for the configuration record, used when Pc1SetKey is given no text.
#define PC1_DEFAULT_KEY_TEXT "Fjord"
// Key text of every archive directory.
#define PC1_DIRECTORY_KEY_TEXT "WISP"

// Takes the first 10 characters of text (zero-filled when shorter) as the key and resets the
// chaining words. Null selects the default key text.
void Pc1SetKey(const char* text);
// Enciphers (encipher != 0) or deciphers length bytes in place. The state carries over, so
// two consecutive calls equal one call over both parts.
void Pc1Process(uint8_t* buffer, uint32_t length, int encipher);
// XORs every byte with the low byte of mask; mask 0 does nothing.
void XorMask(uint8_t* buffer, uint32_t length, uint32_t mask);
