#include "app/instance_lock.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.path().toStdString();

    auto first = std::make_unique<InstanceLock>();
    ASSERT_EQ(first->Acquire(path), InstanceLock::Result::Acquired);
    InstanceLock second;
    EXPECT_EQ(second.Acquire(path), InstanceLock::Result::HeldElsewhere);

    first.reset();  // as when the first process ends, however it ends
    InstanceLock third;
    EXPECT_EQ(third.Acquire(path), InstanceLock::Result::Acquired);
}

TEST(InstanceLock, MissingFolderIsUnavailableNotHeld) {
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire("/nonexistent/kestrine"), InstanceLock::Result::Unavailable);
}

}  // namespace
