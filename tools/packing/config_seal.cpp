#include "packing/config_seal.h"

#include <cstring>

#include "crypto/pc1.h"

SetupConfigStore SealConfig(const SetupConfig& plain) {
  SetupConfigStore store;
  store.magic = CONFIG_MAGIC;
  store.length = CONFIG_AREA_SIZE;
  std::memcpy(&store.body, &plain, sizeof plain);
  Pc1SetKey(CONFIG_KEY_TEXT);
  Pc1Process(reinterpret_cast<uint8_t*>(&store.body), CONFIG_AREA_SIZE, 1);
  return store;
}
