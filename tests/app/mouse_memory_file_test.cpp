#include "device/mouse_memory_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

SettingsImage Pattern(uint8_t seed) {
    SettingsImage image;
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(seed + i);
    }
    return image;
}

class MemoryFile : public ::testing::Test {
protected:
    std::string PathOf(const char* name) const { return dir.filePath(name).toStdString(); }
    QTemporaryDir dir;
    SettingsImage image{};
    std::string error;
};

TEST_F(MemoryFile, MissingFileIsCreatedWithTheFactoryMemory) {
    const std::string path = PathOf("mouse.bin");
    ASSERT_TRUE(LoadOrCreateMemoryFile(path, Pattern(1), image, error)) << error;
    EXPECT_EQ(image, Pattern(1));
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), 1024);
}

TEST_F(MemoryFile, SavedMemoryComesBackAndLeavesNoTemporaryFiles) {
    const std::string path = PathOf("mouse.bin");
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(7), error)) << error;
    ASSERT_TRUE(SaveMemoryFile(path, Pattern(9), error)) << error;
    ASSERT_TRUE(LoadOrCreateMemoryFile(path, Pattern(1), image, error)) << error;
    EXPECT_EQ(image, Pattern(9));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"mouse.bin"});
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
    ASSERT_TRUE(LoadOrCreateMemoryFile(real, Pattern(1), image, error)) << error;
    EXPECT_EQ(image, Pattern(3));
    EXPECT_EQ(QFile::permissions(QString::fromStdString(real)),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                  QFile::ReadGroup);
}

TEST_F(MemoryFile, WrongSizeIsAnErrorAndTheFileIsKept) {
    for (const int size : {0, 1023, 1025}) {
        const std::string path = PathOf("odd.bin");
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(size, '\x5A'));
        file.close();

        error.clear();
        EXPECT_FALSE(LoadOrCreateMemoryFile(path, Pattern(1), image, error)) << size;
        EXPECT_NE(error.find("1024 bytes"), std::string::npos) << error;
        EXPECT_EQ(QFile(QString::fromStdString(path)).size(), size);
    }
}

TEST_F(MemoryFile, UnreadableOrUnwritablePlacesAreErrors) {
    EXPECT_FALSE(LoadOrCreateMemoryFile(dir.path().toStdString(), Pattern(1), image, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(LoadOrCreateMemoryFile("/nonexistent/folder/mouse.bin", Pattern(1), image, error));
    EXPECT_NE(error.find("/nonexistent/folder/mouse.bin"), std::string::npos) << error;
}

}  // namespace
