// The stored configuration record and its unsealing.
#include "startup/setup_config.h"

#include "crypto/pc1.h"

// Until the packaging tool writes a real record, the length 0 makes the unsealing a no-op.
// The section keeps the record findable and writable; `used` keeps it in the image even when
// nothing in a particular build reads it.
__attribute__((section(CONFIG_SECTION_NAME), used)) SetupConfigStore storedConfig = {CONFIG_MAGIC, 0, {}};
SetupConfig& setupConfig = storedConfig.body;

int UnsealConfig(void* storedForm) {
  SetupConfigStore* store = (SetupConfigStore*)storedForm;
  if (store->magic != CONFIG_MAGIC) return 0;
  int32_t length = store->length;
  if (length <= 0 || length > CONFIG_AREA_SIZE) return 0;
  Pc1SetKey(CONFIG_KEY_TEXT);
  Pc1Process((uint8_t*)&store->body, (uint32_t)length, 0);
  return 1;
}

const char* ConfigFileName(const SetupConfig* config, int32_t index) {
  if (index < 0) return nullptr;
  const char* names = config->fileNames;
  const uint32_t size = sizeof(config->fileNames);
  uint32_t start = 0;
  for (int32_t i = 0;; i++) {
    uint32_t end = start;
    while (end < size && names[end] != 0) end++;
    if (end >= size) return nullptr;  // no terminator inside the field
    if (i == index) return names + start;
    start = end + 1;
  }
}
