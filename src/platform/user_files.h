#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

// The files this tool reads and writes for the user: profiles, the rules
// file, the simulated mouse's memory, the agent's status and autostart entry.
// Every one is read by ReadUserFile and written by WriteUserFile.
//
// Links are followed one by one, as the kernel's protection for links in
// shared folders (fs.protected_symlinks) would follow them: in a folder that
// is sticky and writable by everyone (/tmp), only a link owned by this user
// or by the folder's owner is followed. Otherwise another user could plant
// /tmp/profile.toml -> ~/.bashrc and have this tool replace the victim's
// file, since renaming over the link's target is no "following" the kernel
// would check.

// Follows the links at `path` to the name they end at, which need not exist
// (a dangling link names where a file is to be created). false with the
// reason in `error` when a link may not be followed or cannot be read.
bool FollowLinksSafely(const std::string& path, std::string& target, std::string& error);

// "a folder", "a FIFO", "a socket", "a character device", ... for what is
// not a regular file.
std::string FileKindText(mode_t mode);

// The folder part of a path ("." for a bare name) and the name after it.
std::string FolderOfPath(const std::string& path);
std::string NameOfPath(const std::string& path);

// "64 KiB", "1 MiB" or "4096 bytes".
std::string SizeText(size_t bytes);

// Reads the regular file at `path`, at most `maxBytes` of it; `kind` names
// what it should be in the error ("a profile"). A folder, FIFO or device is
// refused before it is opened, and checked again once open (non-blocking),
// so one swapped in meanwhile can never make the read wait. false with the
// reason in `error`; errno is left as the failing call set it (ENOENT for a
// missing file).
bool ReadUserFile(const std::string& path, size_t maxBytes, const std::string& kind,
                  std::string& text, std::string& error);

enum class WriteResult {
    Written,
    // Not a place to write: a folder, FIFO or device there, a read-only file,
    // no such folder, a link that may not be followed. Nothing was changed.
    Refused,
    // Writing failed (a full disk, an I/O error). The old file is as it was.
    Failed,
};

// Replaces or creates the file at `path` with `text`, whole or not at all:
// through a temporary file beside the target, synced, renamed over it, and
// the folder synced. Only a regular file or a new name is written; a link
// to a regular file (or to a name not made yet) is written at its target and
// stays a link (see above).
// A replaced file keeps its permissions, owner and group; a new one gets
// 0666 less the umask, as an editor would give. `kind` names what is
// written in a refusal ("a profile"). The reason is in `error`.
WriteResult WriteUserFile(const std::string& path, const std::string& text, const std::string& kind,
                          std::string& error);

// Whether WriteUserFile could replace the existing file at `path` now: it
// is writable and a temporary beside it can take its owner and group. For
// a file written often, so that a problem is told once, at the start.
bool CanReplaceUserFile(const std::string& path, std::string& error);

// Removes the temporary files WriteUserFile left beside `path` when it was
// killed while writing; one still being written is kept.
void RemoveStaleTemporaries(const std::string& path);

// Makes `folder` and the folders above it that are missing, as the XDG rules
// ask for the user's folders (0700). false with the reason in `error`.
bool MakeFolders(const std::string& folder, std::string& error);

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config (HOME, or the
// password database when HOME is unset).
std::string ConfigHome();

// $XDG_RUNTIME_DIR as set, "" when it is not.
std::string RuntimeFolder();

// For tests: runs after a file to read was checked and before it is opened,
// where another process could swap it. {} = nothing.
void SetReadOpenHook(std::function<void(const std::string& path)> hook);
