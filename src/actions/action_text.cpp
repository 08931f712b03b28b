// Bounded text building for every path, name and registry text of the installation actions.
#include "actions/action_rules.h"

void TextStart(TextBuilder* text, char* out, uint32_t size) {
  text->out = out;
  text->size = size;
  text->length = 0;
  text->fits = out != nullptr && size > 0;
  if (text->fits) out[0] = 0;
}

void TextAdd(TextBuilder* text, const char* piece) {
  if (!piece) {
    text->fits = 0;
    return;
  }
  while (text->fits && *piece) {
    // One byte stays for the terminator.
    if (text->length + 1 >= text->size) {
      text->fits = 0;
      break;
    }
    text->out[text->length++] = *piece++;
  }
}

void TextAddDecimal(TextBuilder* text, int32_t value) {
  char digits[12];
  int32_t n = 0;
  uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
  do {
    digits[n++] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[n++] = '-';
  char piece[12];
  int32_t k = 0;
  while (n > 0) piece[k++] = digits[--n];
  piece[k] = 0;
  TextAdd(text, piece);
}

int32_t TextFinish(TextBuilder* text) {
  if (!text->out || text->size == 0) return 0;
  if (!text->fits) {
    text->out[0] = 0;
    return 0;
  }
  text->out[text->length] = 0;
  return 1;
}

void ConfigFieldText(const char* field, uint32_t width, char* out) {
  if (width == 0) return;
  uint32_t n = 0;
  while (n + 1 < width && field[n] != 0) {
    out[n] = field[n];
    n++;
  }
  out[n] = 0;
}

int32_t FormatWithText(const char* format, const char* text, char* out, uint32_t size) {
  TextBuilder b;
  TextStart(&b, out, size);
  if (!format || !text) {
    b.fits = 0;
    return TextFinish(&b);
  }
  int32_t used = 0;
  char one[2] = {0, 0};
  for (const char* p = format; *p && b.fits; p++) {
    if (*p != '%') {
      one[0] = *p;
      TextAdd(&b, one);
    } else if (p[1] == '%') {
      TextAdd(&b, "%");
      p++;
    } else if (p[1] == 's' && used == 0) {
      TextAdd(&b, text);
      used = 1;
      p++;
    } else {
      b.fits = 0;
    }
  }
  return TextFinish(&b);
}
