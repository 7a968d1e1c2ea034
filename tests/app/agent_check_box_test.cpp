// The Info box's notice check box turns the background agent on and off for
// this user: the autostart entry is written or removed, and a failure leaves
// the box as the entry is, with the reason said.
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "agent/agent_control.h"
#include "agent/agent_status.h"
#include "app/agent_check_box.h"
#include "app/app_fixture.h"
#include "platform/instance_lock.h"

namespace {

class AgentCheckBoxTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        ASSERT_TRUE(home.isValid());
        QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
            saved.emplace_back(name, qgetenv(name));
        }
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        // An agent that starts and ends at once: the test looks at the entry.
        SetAgentProgram("/bin/true", {"--simulate=/tmp/m.bin"});
    }
    void TearDown() override {
        SetAgentProgram({}, {});
        for (const auto& [name, value] : saved) {
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        }
        AppFixture::TearDown();
    }

    QCheckBox* Box() { return window->findChild<QCheckBox*>("agentNoticesCheck"); }
    QString Entry() {
        QFile file(QString::fromStdString(AgentAutostartPath()));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir home;
    std::vector<std::pair<const char*, QByteArray>> saved;
};

TEST_F(AgentCheckBoxTest, TurningItOnWritesTheAutostartEntryAndOffRemovesIt) {
    StartWindow();
    ASSERT_NE(Box(), nullptr);
    EXPECT_EQ(Box()->text(), "Show a &notice when the mouse's buttons change CPI or report rate");
    EXPECT_FALSE(Box()->isChecked());

    QTest::mouseClick(Box(), Qt::LeftButton);
    EXPECT_TRUE(Entry().contains("\nExec=/bin/true --simulate=/tmp/m.bin agent\n"))
        << Entry().toStdString();
    EXPECT_TRUE(messages.messages.isEmpty());

    QTest::mouseClick(Box(), Qt::LeftButton);
    EXPECT_FALSE(Box()->isChecked());
    EXPECT_FALSE(AgentEnabled());

    // A new window shows what the entry says.
    std::string error;
    ASSERT_TRUE(EnableAgent("/bin/true", {}, error)) << error;
    window.reset();
    StartWindow();
    EXPECT_TRUE(Box()->isChecked());
}

TEST_F(AgentCheckBoxTest, AnAgentThatCannotStartLeavesNothingOnAndSaysWhy) {
    SetAgentProgram("/nonexistent/kestrine-config", {});
    StartWindow();
    QTest::mouseClick(Box(), Qt::LeftButton);
    EXPECT_FALSE(Box()->isChecked());
    EXPECT_FALSE(AgentEnabled());
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(
        messages.messages[0].startsWith("The notices could not be turned on:\ncannot start "
                                        "the agent: /nonexistent/kestrine-config: No such "
                                        "file or directory"))
        << messages.messages[0].toStdString();
}

// An agent started from a terminal holds the agent lock, with no autostart
// entry: the box is ticked while it runs, also when it starts or ends with
// the window open.
TEST_F(AgentCheckBoxTest, IsTickedWhileAnAgentStartedElsewhereRuns) {
    const std::string folder = home.path().toStdString();
    auto agent =
        std::make_unique<InstanceLock>(InstanceLock::Holder::Agent, InstanceLock::kAgentLockName);
    ASSERT_EQ(agent->Acquire(folder), InstanceLock::Result::Acquired);
    auto status = std::make_unique<AgentStatus>(AgentStatus::PathIn(folder));
    status->Set(AgentStatus::kMouse, "connected, listening");
    StartWindow();
    EXPECT_TRUE(Box()->isChecked());
    EXPECT_FALSE(AgentEnabled());

    // It ends: its lock goes and its status file with it.
    agent.reset();
    status.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Box()->isChecked(); }));

    agent =
        std::make_unique<InstanceLock>(InstanceLock::Holder::Agent, InstanceLock::kAgentLockName);
    ASSERT_EQ(agent->Acquire(folder), InstanceLock::Result::Acquired);
    status = std::make_unique<AgentStatus>(AgentStatus::PathIn(folder));
    status->Set(AgentStatus::kMouse, "not connected");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Box()->isChecked(); }));
    EXPECT_TRUE(messages.messages.isEmpty());
}

}  // namespace
