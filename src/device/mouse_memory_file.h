#pragma once

#include <string>

#include "settings/settings_image.h"

// The simulated mouse's memory kept in a file across runs (--simulate=FILE).

// Reads the 1024-byte memory from `path`; when the file does not exist, creates
// it holding `factory`. false with a message in `error` when the file cannot be
// read or written or does not hold exactly 1024 bytes; an existing file is
// never replaced then.
bool LoadOrCreateMemoryFile(const std::string& path, const SettingsImage& factory,
                            SettingsImage& image, std::string& error);

// Replaces the file's contents all at once: a crash leaves either the old or
// the new memory, never half of each.
bool SaveMemoryFile(const std::string& path, const SettingsImage& image, std::string& error);
