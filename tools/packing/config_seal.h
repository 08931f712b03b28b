// The packaging side's inverse of UnsealConfig: the stored form of a filled record.
#pragma once
#include "startup/setup_config.h"

// Magic, length 1052, and the record enciphered under the default key text.
SetupConfigStore SealConfig(const SetupConfig& plain);
