#pragma once

#include <string>

#include "settings/settings_image.h"

// The simulated mouse's memory kept in a file across runs (--simulate=FILE).
//
// A symbolic link is followed to the file it names, also when that file does
// not exist yet (it is created there and the link stays a link), unless it
// is another user's link in a shared folder (see platform/user_files.h). Every save
// writes a temporary file beside the target and renames it over the target,
// so a reader sees either the old or the new memory, never part of each. The
// temporaries have recognisable names and a killed run's are removed at the
// next start.

// Reads the 1024-byte memory from `path`; when the file does not exist,
// creates it holding `factory`. Before anything is written it makes sure
// that later saves can succeed: false with the reason in `error` when the
// file cannot be read, is not a regular file, does not hold exactly 1024
// bytes, is read-only, or could not be saved (the folder is not writable, the
// temporary name does not fit, its owner and group could not be kept). An
// existing file is never changed then. `notice` receives what the user
// should know though it does not stop the run (hard links that a save
// splits); empty when there is nothing to say.
bool LoadOrCreateMemoryFile(const std::string& path, const SettingsImage& factory,
                            SettingsImage& image, std::string& error, std::string& notice);

// Replaces the file's contents all at once, keeping its permissions, owner
// and group. false with the reason in `error`; the old contents stay then.
bool SaveMemoryFile(const std::string& path, const SettingsImage& image, std::string& error);
