#pragma once

#include <sys/types.h>

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
