// `mksetup list`, `verify` and `extract`: a setup taken apart with the stub's own reader code.
#pragma once
#include <string>
#include <vector>

#include "startup/setup_config.h"

// The configuration record of a setup (or a stub), deciphered. Throws PackError.
SetupConfig ReadSetupConfig(const std::vector<uint8_t>& file, const std::string& path);

// A readable listing: the configuration field by field, then the directory.
std::string ListSetup(const std::string& path);
// Every problem found, one line each; empty when the setup is sound.
std::vector<std::string> VerifySetup(const std::string& path);
// Every entry to DIR/<entry name>, and DIR/manifest.toml that rebuilds the same setup.
void ExtractSetup(const std::string& path, const std::string& dir);
