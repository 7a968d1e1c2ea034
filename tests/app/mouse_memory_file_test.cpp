#include "device/simulated/mouse_memory_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "support/file_conditions.h"

namespace {

SettingsImage Pattern(uint8_t seed) {
    SettingsImage image;
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(seed + i);
    }
    return image;
}

QByteArray Bytes(const SettingsImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), image.size());
}

QByteArray Contents(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const std::string& path, const QByteArray& contents) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path;
    file.write(contents);
}

class MemoryFile : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    bool Load(const std::string& path) {
        error.clear();
        return LoadOrCreateMemoryFile(path, Pattern(1), image, error, notice);
    }
    QStringList Entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    SettingsImage image{};
    std::string error;
    std::string notice;
};

TEST_F(MemoryFile, MissingFileIsCreatedWithTheFactoryMemory) {
    const std::string path = PathOf("mouse.bin");
    ASSERT_TRUE(Load(path)) << error;
    EXPECT_EQ(image, Pattern(1));
    EXPECT_EQ(Contents(path), Bytes(Pattern(1)));
    EXPECT_EQ(notice, "");
}

TEST_F(MemoryFile, SavedMemoryComesBackAndLeavesNoTemporaryFiles) {
    const std::string path = PathOf("mouse.bin");
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(7), error)) << error;
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(9), error)) << error;
    ASSERT_TRUE(Load(path)) << error;
    EXPECT_EQ(image, Pattern(9));
    EXPECT_EQ(Entries(), QStringList{"mouse.bin"});
}

TEST_F(MemoryFile, SavingKeepsPermissionsAndWritesThroughALink) {
    const std::string real = PathOf("real.bin");
    ASSERT_TRUE(SaveMemoryFile(real, Pattern(1), error)) << error;
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(real),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const std::string link = PathOf("link.bin");
    ASSERT_TRUE(QFile::link(QString::fromStdString(real), QString::fromStdString(link)));

    ASSERT_TRUE(SaveMemoryFile(link, Pattern(3), error)) << error;

    EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
    EXPECT_EQ(Contents(real), Bytes(Pattern(3)));
    EXPECT_EQ(QFile::permissions(QString::fromStdString(real)),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                  QFile::ReadGroup);
}

// A link whose file does not exist yet names where to create it.
TEST_F(MemoryFile, DanglingLinkGetsTheFileAtItsTarget) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const struct {
        const char* link;
        std::string target;  // as written in the link
        const char* created;
    } cases[] = {
        {"relative.bin", "sub/relative-target.bin", "sub/relative-target.bin"},
        {"absolute.bin", PathOf("absolute-target.bin"), "absolute-target.bin"},
        {"middle.bin", "sub/chain-target.bin", "sub/chain-target.bin"},
        {"chain.bin", "middle.bin", "sub/chain-target.bin"},  // through a link to a link
    };
    for (const auto& c : cases) {
        const std::string link = PathOf(c.link);
        ASSERT_EQ(::symlink(c.target.c_str(), link.c_str()), 0);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const std::string link = PathOf(c.link);
        ::unlink(PathOf(c.created).c_str());
        ASSERT_TRUE(Load(link)) << error;
        EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
        EXPECT_EQ(Contents(PathOf(c.created)), Bytes(Pattern(1)));
        ASSERT_TRUE(SaveMemoryFile(link, Pattern(4), error)) << error;
        EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink());
        EXPECT_EQ(Contents(PathOf(c.created)), Bytes(Pattern(4)));
    }
}

TEST_F(MemoryFile, WrongSizeIsAnErrorAndTheFileIsKept) {
    for (const int size : {0, 1023, 1025}) {
        const std::string path = PathOf("odd.bin");
        WriteFile(path, QByteArray(size, '\x5A'));

        EXPECT_FALSE(Load(path)) << size;
        EXPECT_NE(error.find("1024 bytes"), std::string::npos) << error;
        EXPECT_EQ(QFile(QString::fromStdString(path)).size(), size);
    }
}

// Nothing but a plain file is read, and reading never waits: a FIFO without a
// writer would block an open for reading forever.
TEST_F(MemoryFile, NonRegularFilesAreRefusedWithoutWaiting) {
    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = PathOf("socket");
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const struct {
        std::string path;
        const char* kind;
    } cases[] = {
        {fifo, "a FIFO"},
        {socketPath, "a socket"},
        {"/dev/null", "a character device"},
        {dir.path().toStdString(), "a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto loading = std::async(std::launch::async, [&] { return Load(c.path); });
        if (loading.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
            ADD_FAILURE() << "the load waits";
            // A writer lets a blocked reader go.
            ::close(::open(c.path.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_FALSE(loading.get());
        EXPECT_NE(error.find(c.kind), std::string::npos) << error;
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
    }
    ::close(listening);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(fifo)).isFile() == false);
}

// Refused at the start rather than failing on every later save, and the file
// is left as it was.
TEST_F(MemoryFile, ReadOnlyFileIsRefusedAndNeverOverwritten) {
    const std::string path = PathOf("mouse.bin");
    WriteFile(path, Bytes(Pattern(5)));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    EXPECT_FALSE(Load(path));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_FALSE(SaveMemoryFile(path, Pattern(6), error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;

    EXPECT_EQ(Contents(path), Bytes(Pattern(5)));
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).permissions() & QFile::WriteOwner, 0);
    EXPECT_EQ(Entries(), QStringList{"mouse.bin"});
}

TEST_F(MemoryFile, FolderThatCannotBeWrittenIsRefusedAtStart) {
    const std::string folder = PathOf("locked");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string existing = folder + "/mouse.bin";
    WriteFile(existing, Bytes(Pattern(5)));
    if (Unprivileged::RunningAsRoot()) {
        ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
        ASSERT_EQ(::chown(existing.c_str(), Unprivileged::kNobody, Unprivileged::kNobody), 0);
    }
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    {
        Unprivileged asUser;
        EXPECT_FALSE(Load(existing));
        EXPECT_NE(error.find(existing), std::string::npos) << error;
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
        EXPECT_FALSE(Load(folder + "/new.bin"));
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    }
    EXPECT_EQ(Contents(existing), Bytes(Pattern(5)));
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files),
              QStringList{"mouse.bin"});
}

TEST_F(MemoryFile, NameTooLongForTheTemporaryIsRefusedAtStart) {
    const long nameMax = ::pathconf(dir.path().toLocal8Bit().constData(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 20);
    const std::string path = PathOf(std::string(static_cast<size_t>(nameMax) - 4, 'm') + ".bin");
    WriteFile(path, Bytes(Pattern(5)));

    EXPECT_FALSE(Load(path));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
    EXPECT_EQ(Contents(path), Bytes(Pattern(5)));
}

// Root saving a user's file must leave it the user's.
TEST_F(MemoryFile, SavingKeepsTheOwnerAndGroup) {
    if (!Unprivileged::RunningAsRoot()) {
        GTEST_SKIP() << "only root can make a file that belongs to someone else";
    }
    const std::string path = PathOf("mouse.bin");
    WriteFile(path, Bytes(Pattern(5)));
    ASSERT_EQ(::chown(path.c_str(), Unprivileged::kNobody, Unprivileged::kNobody), 0);

    ASSERT_TRUE(Load(path)) << error;
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(6), error)) << error;

    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, Unprivileged::kNobody);
    EXPECT_EQ(info.st_gid, Unprivileged::kNobody);
    EXPECT_EQ(Contents(path), Bytes(Pattern(6)));
}

// A user who may write another user's file but could not give a new file
// its owner is told at the start instead of taking the file over.
TEST_F(MemoryFile, FileWhoseOwnerCannotBeKeptIsRefusedAtStart) {
    if (!Unprivileged::RunningAsRoot()) {
        GTEST_SKIP() << "only root can make a file that belongs to someone else";
    }
    ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0777), 0);
    const std::string path = PathOf("mouse.bin");
    WriteFile(path, Bytes(Pattern(5)));
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    {
        Unprivileged asUser;
        EXPECT_FALSE(Load(path));
    }
    EXPECT_NE(error.find("owner"), std::string::npos) << error;
    EXPECT_EQ(Contents(path), Bytes(Pattern(5)));
    EXPECT_EQ(Entries(), QStringList{"mouse.bin"});
}

// A save replaces the file under one name; the other names of a hard-linked
// file would silently keep the old memory, so the start says so.
TEST_F(MemoryFile, HardLinksAreNamedAtStart) {
    const std::string path = PathOf("mouse.bin");
    WriteFile(path, Bytes(Pattern(5)));
    ASSERT_TRUE(Load(path)) << error;
    EXPECT_EQ(notice, "");

    ASSERT_EQ(::link(path.c_str(), PathOf("other-name.bin").c_str()), 0);
    ASSERT_TRUE(Load(path)) << error;
    EXPECT_NE(notice.find("2 hard links"), std::string::npos) << notice;
    EXPECT_NE(notice.find(path), std::string::npos) << notice;
}

// A run killed while saving leaves its temporary behind; the next start
// removes it, and nothing else.
TEST_F(MemoryFile, StaleTemporariesAreRemovedAtStart) {
    const std::string path = PathOf("mouse.bin");
    WriteFile(path, Bytes(Pattern(5)));
    for (const char* name : {"mouse.bin.kestrine-save-a1B2c3", "mouse.bin.kestrine-save-Zz9Yy8",
                             "other.bin.kestrine-save-a1B2c3", "mouse.bin.backup",
                             "mouse.bin.kestrine-save-toolong"}) {
        WriteFile(PathOf(name), "left over");
    }
    // One that a save in progress holds.
    const std::string busy = PathOf("mouse.bin.kestrine-save-BUSY00");
    WriteFile(busy, "in use");
    const int held = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(Load(path)) << error;
    ::close(held);

    EXPECT_EQ(Entries(),
              (QStringList{"mouse.bin", "mouse.bin.backup", "mouse.bin.kestrine-save-BUSY00",
                           "mouse.bin.kestrine-save-toolong", "other.bin.kestrine-save-a1B2c3"}));
    EXPECT_EQ(image, Pattern(5));
}

// Saves run in a loop while another reader reads the file: every read finds
// the whole of one memory, never a short or mixed file.
TEST_F(MemoryFile, AReaderOnlyEverSeesAWholeMemory) {
    const std::string path = PathOf("mouse.bin");
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(1), error)) << error;
    std::atomic<bool> saving{true};
    std::thread saver([&] {
        std::string saveError;
        for (int i = 0; i < 100; ++i) {
            if (!SaveMemoryFile(path, Pattern(i % 2 ? 1 : 2), saveError)) {
                break;
            }
        }
        saving = false;
    });
    const QByteArray first = Bytes(Pattern(1));
    const QByteArray second = Bytes(Pattern(2));
    int reads = 0;
    int torn = 0;
    while (saving) {
        const QByteArray seen = Contents(path);
        torn += seen != first && seen != second;
        ++reads;
    }
    saver.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(Entries(), QStringList{"mouse.bin"});
}

// A write that fails part way (the disk is full) leaves the old file whole.
TEST_F(MemoryFile, AFailedSaveLeavesTheOldMemory) {
    const std::string path = PathOf("mouse.bin");
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(1), error)) << error;
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(SaveMemoryFile(path, Pattern(2), error));
    }
    EXPECT_NE(error.find("cannot save " + path), std::string::npos) << error;
    EXPECT_EQ(Contents(path), Bytes(Pattern(1)));
    EXPECT_EQ(Entries(), QStringList{"mouse.bin"});
}

TEST_F(MemoryFile, MissingFolderIsAnError) {
    EXPECT_FALSE(Load("/nonexistent/folder/mouse.bin"));
    EXPECT_NE(error.find("/nonexistent/folder/mouse.bin"), std::string::npos) << error;
}

}  // namespace
