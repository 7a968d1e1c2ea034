#include "device/simulated/mouse_memory_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/user_files.h"

namespace {

constexpr char kKind[] = "a mouse memory file";

std::string Bytes(const SettingsImage& image) {
    return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

bool ReadExisting(const std::string& path, SettingsImage& image, std::string& error) {
    std::string contents;
    // One byte more than a memory tells a longer file from an exact one.
    if (!ReadUserFile(path, kSettingsImageSize + 1, kKind, contents, error)) {
        error = "cannot read " + error;
        return false;
    }
    if (contents.size() != kSettingsImageSize) {
        error = path + ": not a mouse memory file (expected exactly " +
                std::to_string(kSettingsImageSize) + " bytes)";
        return false;
    }
    std::memcpy(image.data(), contents.data(), kSettingsImageSize);
    return true;
}

}  // namespace

bool LoadOrCreateMemoryFile(const std::string& path, const SettingsImage& factory,
                            SettingsImage& image, std::string& error, std::string& notice) {
    notice.clear();
    std::string target;
    if (!FollowLinksSafely(path, target, error)) {
        return false;
    }
    RemoveStaleTemporaries(target);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        image = factory;
        return SaveMemoryFile(path, image, error);
    }
    // Everything a later save needs is tried now rather than failing on every change.
    if (!ReadExisting(path, image, error)) {
        return false;
    }
    if (!CanReplaceUserFile(path, error)) {
        error = "cannot save " + error;
        return false;
    }
    if (info.st_nlink > 1) {
        notice = path + " has " + std::to_string(info.st_nlink) +
                 " hard links: each save replaces it under this name only, so the other "
                 "names keep the memory they have now.";
    }
    return true;
}

bool SaveMemoryFile(const std::string& path, const SettingsImage& image, std::string& error) {
    if (WriteUserFile(path, Bytes(image), kKind, error) != WriteResult::Written) {
        error = "cannot save " + error;
        return false;
    }
    return true;
}
