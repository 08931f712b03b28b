// PC1 in its 80-bit-key form: five big-endian key words chained through the multipliers 20021
// and 346, the keystream byte folded from the two halves of the mixed word, and key feedback
// with the plaintext byte in both directions (which is why deciphering then enciphering under
// a fresh key setup restores a buffer: the directory search relies on it).
#include "crypto/pc1.h"

namespace {

// Bytes 0-9 are the key; 10-13 only hold the rest of a long key text.
uint8_t keyBytes[14];
uint16_t chainWord;
uint16_t mulWord;
uint16_t mixWord;

// The text and its terminator in an 8-byte slot, as the stub's data keeps it.
const char defaultKeyText[8] = PC1_DEFAULT_KEY_TEXT;

uint8_t NextKeystreamByte() {
  uint16_t prev = 0;
  mixWord = 0;
  for (uint16_t i = 0; i < 5; i++) {
    uint16_t w = (uint16_t)((keyBytes[2 * i] << 8) | keyBytes[2 * i + 1]);
    uint16_t x = (uint16_t)(prev ^ w);
    uint16_t d = (uint16_t)(chainWord + i);
    uint16_t newChain = (uint16_t)(20021u * d + 346u * x + mulWord);
    mulWord = (uint16_t)(346u * x);
    prev = (uint16_t)(20021u * x + 1u);
    chainWord = newChain;
    mixWord = (uint16_t)(mixWord ^ (prev ^ newChain));
  }
  return (uint8_t)((mixWord >> 8) ^ (mixWord & 0xFF));
}

}  // namespace

void Pc1SetKey(const char* text) {
  if (!text) text = defaultKeyText;
  chainWord = 0;
  mulWord = 0;
  uint32_t length = 0;
  while (length < 14 && text[length]) length++;
  if (length > 13) {
    // A long text: its first 14 characters, no terminator.
    for (uint32_t i = 0; i < 14; i++) keyBytes[i] = (uint8_t)text[i];
    return;
  }
  for (uint32_t i = 0; i < 14; i++) keyBytes[i] = 0;
  for (uint32_t i = 0; i < length; i++) keyBytes[i] = (uint8_t)text[i];
}

void Pc1Process(uint8_t* buffer, uint32_t length, int encipher) {
  for (uint32_t n = 0; n < length; n++) {
    uint8_t k = NextKeystreamByte();
    uint8_t b = buffer[n];
    if (!encipher) b = (uint8_t)(b ^ k);
    // Feedback with the plaintext byte: not yet enciphered, or just deciphered.
    for (int i = 0; i < 10; i++) keyBytes[i] = (uint8_t)(keyBytes[i] ^ b);
    if (encipher) b = (uint8_t)(b ^ k);
    buffer[n] = b;
  }
}

void XorMask(uint8_t* buffer, uint32_t length, uint32_t mask) {
  if (mask == 0) return;
  uint8_t m = (uint8_t)mask;
  for (uint32_t n = 0; n < length; n++) buffer[n] = (uint8_t)(buffer[n] ^ m);
}
