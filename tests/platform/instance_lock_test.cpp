#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// Another running copy of the tool: a process of its own that holds the lock
// from the same places until it is ended.
class OtherInstance {
public:
    OtherInstance(const std::string& runtimeFolder, const std::string& fallbackFolder) {
        int told[2], end[2];
        if (::pipe(told) != 0 || ::pipe(end) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(told[0]);
            ::close(end[1]);
            InstanceLock lock;
            const char result = static_cast<char>(lock.Acquire(runtimeFolder, fallbackFolder));
            char ignored;
            if (::write(told[1], &result, 1) == 1)
                while (::read(end[0], &ignored, 1) > 0) {
                }
            ::_exit(0);
        }
        ::close(told[1]);
        ::close(end[0]);
        end_ = end[1];
        char result = -1;
        if (pid_ > 0 && ::read(told[0], &result, 1) == 1)
            result_ = static_cast<InstanceLock::Result>(result);
        ::close(told[0]);
    }
    ~OtherInstance() {
        if (end_ >= 0)
            ::close(end_);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    OtherInstance(const OtherInstance&) = delete;
    OtherInstance& operator=(const OtherInstance&) = delete;

    bool Holds() const { return result_ == InstanceLock::Result::Acquired; }

private:
    pid_t pid_ = -1;
    int end_ = -1;
    std::optional<InstanceLock::Result> result_;
};

// A lock held by another instance is a refusal where it is held, never a
// reason to look for another place: a fallback lock would let a second copy run.
TEST_F(LockPlaces, HeldByAnotherInstanceIsHeldWhereItIsFound) {
    struct Case {
        std::string runtime;
        const char* where;
    };
    const std::vector<Case> cases{
        {runtime, "in the runtime folder"},
        {"", "in the fallback, with no runtime folder"},
        {Make("open", 0755), "in the fallback, with an untrusted runtime folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        ::rmdir(fallback.c_str());
        const std::string expected = c.runtime == runtime ? runtime : fallback;
        auto other = std::make_unique<OtherInstance>(c.runtime, fallback);
        ASSERT_TRUE(other->Holds());

        InstanceLock lock;
        EXPECT_EQ(lock.Acquire(c.runtime, fallback), InstanceLock::Result::HeldElsewhere)
            << lock.Problem();
        EXPECT_EQ(lock.Folder(), expected);  // where the running one listens
        if (c.runtime == runtime) {
            EXPECT_FALSE(Exists(fallback)) << "a fallback was made beside a held lock";
        }

        other.reset();  // the other instance ends, however it ends
        InstanceLock after;
        EXPECT_EQ(after.Acquire(c.runtime, fallback), InstanceLock::Result::Acquired)
            << after.Problem();
        EXPECT_EQ(after.Folder(), expected);
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
