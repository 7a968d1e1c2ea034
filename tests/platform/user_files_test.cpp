// The one reader and the one writer of the user's files: what they refuse,
// what a written file looks like afterwards, and that reading never waits.
#include "platform/user_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "support/file_conditions.h"
#include "support/test_folder.h"

namespace {

namespace fs = std::filesystem;

class UserFiles : public ::testing::Test {
protected:
    UserFiles() : folder_(TestFolderPath("kestrine-user-files")) {
        fs::create_directories(folder_);
    }
    ~UserFiles() override { fs::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }

    static std::string Read(const std::string& path) {
        std::ifstream file(path);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    static mode_t ModeOf(const std::string& path) {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode;
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::ranges::sort(names);
        return names;
    }

    fs::path folder_;
};

TEST_F(UserFiles, ReadingRefusesWhatIsNoSmallRegularFileWithoutWaiting) {
    Write(Path("good.toml"), "format = 1\n");
    Write(Path("huge.toml"), std::string(4097, 'x'));
    ::mkfifo(Path("fifo").c_str(), 0600);
    fs::create_symlink(Path("loop-b"), Path("loop-a"));
    fs::create_symlink(Path("loop-a"), Path("loop-b"));
    fs::create_symlink(Path("good.toml"), Path("link.toml"));
    const struct {
        std::string path;
        const char* said;  // "" = read
    } cases[] = {
        {Path("good.toml"), ""},
        {Path("link.toml"), ""},
        {Path("fifo"), ": a FIFO, not a regular file"},
        {"/dev/zero", ": a character device, not a regular file"},
        {Path(""), ": a folder, not a regular file"},
        {Path("huge.toml"), ": too large for a test file (more than 4 KiB)"},
        {Path("loop-a"), ": Too many levels of symbolic links"},
        {Path("missing"), ": No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string text;
        std::string error;
        auto reading = std::async(std::launch::async, [&] {
            return ReadUserFile(c.path, 4096, "a test file", text, error);
        });
        if (reading.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            ADD_FAILURE() << "the read waits";
            ::close(::open(c.path.c_str(), O_WRONLY | O_NONBLOCK));  // lets it go
        }
        EXPECT_EQ(reading.get(), std::string(c.said).empty()) << error;
        if (std::string(c.said).empty()) {
            EXPECT_EQ(text, "format = 1\n");
        } else {
            EXPECT_EQ(error, c.path + c.said);
        }
    }
}

// A new file gets what an editor would give it under the user's umask; a
// replaced one keeps its own mode.
TEST_F(UserFiles, ANewFileTakesTheUmaskAndAReplacedOneKeepsItsMode) {
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{002}}) {
        SCOPED_TRACE(mask);
        const mode_t saved = ::umask(mask);
        const std::string path = Path("new-" + std::to_string(mask));
        std::string error;
        const WriteResult result = WriteUserFile(path, "new\n", "a test file", error);
        ::umask(saved);
        ASSERT_EQ(result, WriteResult::Written) << error;
        EXPECT_EQ(ModeOf(path) & 07777, 0666 & ~mask);
        EXPECT_EQ(Read(path), "new\n");
    }
    for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0664}}) {
        SCOPED_TRACE(mode);
        const std::string path = Path("kept.toml");
        Write(path, "old\n");
        ::chmod(path.c_str(), mode);
        std::string error;
        ASSERT_EQ(WriteUserFile(path, "new\n", "a test file", error), WriteResult::Written)
            << error;
        EXPECT_EQ(ModeOf(path) & 07777, mode);
        EXPECT_EQ(Read(path), "new\n");
    }
    // No temporary was left beside them.
    for (const std::string& name : Entries()) {
        EXPECT_EQ(name.find("kestrine-save"), std::string::npos) << name;
    }
}

TEST_F(UserFiles, ALinkIsWrittenWhereItLeadsAndStaysALink) {
    fs::create_directories(folder_ / "dotfiles");
    const std::string real = Path("dotfiles/rules.toml");
    Write(real, "old\n");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, Path("rules.toml"));
    fs::create_symlink(Path("dotfiles/new.toml"), Path("dangling.toml"));
    std::string error;

    ASSERT_EQ(WriteUserFile(Path("rules.toml"), "new\n", "a test file", error),
              WriteResult::Written)
        << error;
    EXPECT_TRUE(fs::is_symlink(Path("rules.toml")));
    EXPECT_EQ(Read(real), "new\n");
    EXPECT_EQ(ModeOf(real) & 07777, 0640u);

    // A link to a file not made yet names where to make it.
    ASSERT_EQ(WriteUserFile(Path("dangling.toml"), "made\n", "a test file", error),
              WriteResult::Written)
        << error;
    EXPECT_TRUE(fs::is_symlink(Path("dangling.toml")));
    EXPECT_EQ(Read(Path("dotfiles/new.toml")), "made\n");
}

TEST_F(UserFiles, WhatIsNoPlaceForAFileIsRefusedAndLeftAsItIs) {
    ::mkfifo(Path("fifo").c_str(), 0600);
    Write(Path("read-only"), "kept\n");
    ::chmod(Path("read-only").c_str(), 0444);
    fs::create_symlink(Path("loop-b"), Path("loop-a"));
    fs::create_symlink(Path("loop-a"), Path("loop-b"));
    const struct {
        std::string path;
        std::string said;
    } cases[] = {
        {Path("fifo"),
         Path("fifo") + ": a FIFO; a test file is written only to a regular file or a new name"},
        {Path("read-only"), Path("read-only") + ": the file is read-only; it was left as it is"},
        {Path("none/file"), Path("none/file") + ": the folder " + Path("none") + " does not exist"},
        {Path("loop-a"), Path("loop-a") + ": Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_EQ(WriteUserFile(c.path, "new\n", "a test file", error), WriteResult::Refused);
        EXPECT_EQ(error, c.said);
    }
    EXPECT_TRUE(S_ISFIFO(ModeOf(Path("fifo"))));
    EXPECT_EQ(Read(Path("read-only")), "kept\n");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"fifo", "loop-a", "loop-b", "read-only"}));
}

// A write that fails part way (the disk is full) is told apart from a
// refusal, and the old file stays whole.
TEST_F(UserFiles, AFailedWriteKeepsTheOldFile) {
    const std::string path = Path("p.toml");
    Write(path, "old\n");
    std::string error;
    WriteResult result;
    {
        FileSizeLimit limit(100);
        result = WriteUserFile(path, std::string(1000, 'x'), "a test file", error);
    }
    EXPECT_EQ(result, WriteResult::Failed);
    EXPECT_EQ(error, path + ": File too large");
    EXPECT_EQ(Read(path), "old\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"p.toml"});
}

TEST_F(UserFiles, FoldersAreMadePrivateAndTheConfigHomeFollowsXdg) {
    std::string error;
    ASSERT_TRUE(MakeFolders(Path("a/b/c"), error)) << error;
    for (const char* made : {"a", "a/b", "a/b/c"}) {
        EXPECT_EQ(ModeOf(Path(made)) & 07777, 0700u) << made;
    }
    Write(Path("file"), "");
    EXPECT_FALSE(MakeFolders(Path("file/sub"), error));
    EXPECT_EQ(error, "cannot create " + Path("file/sub") + ": Not a directory");

    const std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    EXPECT_EQ(ConfigHome(), "/xdg/config");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // to be ignored, as the XDG rules say
    EXPECT_EQ(ConfigHome(), "/home/someone/.config");
    ::setenv("HOME", home.c_str(), 1);
    if (saved.empty()) {
        ::unsetenv("XDG_CONFIG_HOME");
    } else {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    }
}

}  // namespace
