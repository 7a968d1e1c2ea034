#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

// Where a path the user gave leads, for the files this tool writes (profiles,
// the simulated mouse's memory).
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

// The folder part of a path ("." for a bare name).
std::string FolderOfPath(const std::string& path);

// Reads the regular file at `path`, at most `maxBytes` of it; `kind` names
// what it should be in the error ("a profile"). A folder, FIFO or device is
// refused before it is opened, and checked again once open (non-blocking),
// so one swapped in meanwhile can never make the read wait. false with the
// reason in `error`.
bool ReadRegularFile(const std::string& path, size_t maxBytes, const std::string& kind,
                     std::string& text, std::string& error);

// Reads from `fd` until `size` bytes are in or the file ends, through
// interruptions: the count read, or -1 with errno set.
ssize_t ReadUntilFullOrEnd(int fd, void* buffer, size_t size);

// For tests: runs after a file to read was checked and before it is opened,
// where another process could swap it. {} = nothing.
void SetReadOpenHook(std::function<void(const std::string& path)> hook);
