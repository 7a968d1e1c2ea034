#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/file_conditions.h"

namespace {

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.path().toStdString();

    auto first = std::make_unique<InstanceLock>();
    ASSERT_EQ(first->Acquire(path), InstanceLock::Result::Acquired);
    InstanceLock second;
    EXPECT_EQ(second.Acquire(path), InstanceLock::Result::HeldElsewhere);
    EXPECT_EQ(second.Folder(), path);  // where the running one listens

    first.reset();  // as when the first process ends, however it ends
    InstanceLock third;
    EXPECT_EQ(third.Acquire(path), InstanceLock::Result::Acquired);
}

TEST(InstanceLock, MissingFolderIsUnavailableNotHeld) {
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("/nonexistent/kestrine"), InstanceLock::Result::Unavailable);
    EXPECT_NE(lock.Problem().find("/nonexistent/kestrine"), std::string::npos) << lock.Problem();
}

// The runtime folder, and the private folder under /tmp that stands in for it.
class LockPlaces : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    }
    bool Exists(const std::string& path) const {
        return QFileInfo::exists(QString::fromStdString(path));
    }
    mode_t ModeOf(const std::string& path) const {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode & 07777;
    }
    std::string Make(const char* name, mode_t mode) const {
        const std::string path = root.filePath(name).toStdString();
        EXPECT_EQ(::mkdir(path.c_str(), 0700), 0);
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        return path;
    }

    QTemporaryDir root;
    std::string runtime = root.filePath("runtime").toStdString();
    std::string fallback = root.filePath("fallback").toStdString();
};

TEST_F(LockPlaces, TrustedRuntimeFolderIsUsedAndNoFallbackIsMade) {
    InstanceLock lock;
    ASSERT_EQ(lock.Acquire(runtime, fallback), InstanceLock::Result::Acquired) << lock.Problem();
    EXPECT_EQ(lock.Folder(), runtime);
    EXPECT_FALSE(Exists(fallback));
}

// A runtime folder that others may enter, or that is a link, or that is not
// set at all is not trusted; the private fallback is made then, mode 0700.
TEST_F(LockPlaces, UntrustedRuntimeFolderFallsBackToAPrivateFolder) {
    const std::string link = root.filePath("link").toStdString();
    ASSERT_EQ(::symlink(runtime.c_str(), link.c_str()), 0);
    struct Case {
        std::string runtime;
        const char* why;
    };
    std::vector<Case> cases{
        {"", "not set"},
        {root.filePath("missing").toStdString(), "missing"},
        {Make("open", 0755), "others may enter"},
        {Make("shared", 0770), "the group may enter"},
        {link, "a link to a good folder"},
    };
    if (Unprivileged::RunningAsRoot()) {
        const std::string foreign = Make("foreign", 0700);
        EXPECT_EQ(::chown(foreign.c_str(), Unprivileged::kNobody, Unprivileged::kNobody), 0);
        cases.push_back({foreign, "another user's"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ::rmdir(fallback.c_str());
        InstanceLock lock;
        ASSERT_EQ(lock.Acquire(c.runtime, fallback), InstanceLock::Result::Acquired)
            << lock.Problem();
        EXPECT_EQ(lock.Folder(), fallback);
        EXPECT_EQ(ModeOf(fallback), 0700u);
        EXPECT_FALSE(Exists(c.runtime + "/kestrine-config.lock"));
    }
}

// With no trusted folder at all the tool must not run without its
// single-instance rule: it is refused, saying which folder is wrong and how.
TEST_F(LockPlaces, NoUsableFolderRefusesWithTheReason) {
    ASSERT_EQ(::chmod(runtime.c_str(), 0755), 0);
    const std::string elsewhere = Make("elsewhere", 0700);
    struct Case {
        std::string fallback;
        const char* says;
    };
    std::vector<Case> cases{
        {Make("open", 0755), "mode 0755"},
        {root.filePath("file").toStdString(), "not a folder"},
        {root.filePath("link").toStdString(), "symbolic link"},
        {root.filePath("no/such/place").toStdString(), "cannot create"},
    };
    ::close(::open(cases[1].fallback.c_str(), O_CREAT | O_WRONLY, 0600));
    ASSERT_EQ(::symlink(elsewhere.c_str(), cases[2].fallback.c_str()), 0);
    if (Unprivileged::RunningAsRoot()) {
        const std::string foreign = Make("foreign", 0700);
        EXPECT_EQ(::chown(foreign.c_str(), Unprivileged::kNobody, Unprivileged::kNobody), 0);
        cases.push_back({foreign, "belongs to another user"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        InstanceLock lock;
        EXPECT_EQ(lock.Acquire(runtime, c.fallback), InstanceLock::Result::Unavailable);
        EXPECT_NE(lock.Problem().find(c.fallback), std::string::npos) << lock.Problem();
        EXPECT_NE(lock.Problem().find(c.says), std::string::npos) << lock.Problem();
        EXPECT_NE(lock.Problem().find(runtime), std::string::npos) << lock.Problem();
    }
    // Found as they were: nothing is changed to make them fit.
    EXPECT_EQ(ModeOf(cases[0].fallback), 0755u);
    EXPECT_FALSE(Exists(elsewhere + "/kestrine-config.lock"));
}

}  // namespace
