// The window's Export… and Import…: a profile goes into the pages and
// pendingSettings only, so APPLY lights up and nothing reaches the mouse
// before it; a bad file is refused with its lines and reasons.
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/app_fixture.h"
#include "app/profile_buttons.h"
#include "profile/profile.h"
#include "support/file_conditions.h"

namespace {

class ProfileButtonsTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        SetProfileFileChooser([this](ProfileDialog dialog) {
            dialogs.push_back(dialog);
            return chosen;
        });
    }
    void TearDown() override {
        SetProfileFileChooser({});
        AppFixture::TearDown();
    }

    QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }

    void WriteProfile(const QString& text) {
        chosen = folder.filePath("p.toml");
        QFile file(chosen);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir folder;
    QString chosen;
    std::vector<ProfileDialog> dialogs;
};

TEST_F(ProfileButtonsTest, ImportLoadsThePagesAndLightsApplyWithoutWriting) {
    StartWindow();
    ASSERT_FALSE(ApplyEnabled());
    WriteProfile("format = 1\nangle_snapping = true\npolling_rate_hz = 1000\n");
    mouse.ClearSentReports();

    QTest::mouseClick(Button("importButton"), Qt::LeftButton);

    EXPECT_EQ(dialogs, std::vector<ProfileDialog>{ProfileDialog::Import});
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join('\n').toStdString();
    EXPECT_TRUE(window->findChild<QCheckBox*>("angleSnappingCheck")->isChecked());
    EXPECT_EQ(pendingSettings.pollingRateCode, 8);
    EXPECT_EQ(deviceSettings.pollingRateCode, 1);
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_TRUE(mouse.SentReports().empty());
    EXPECT_EQ(MouseMemory().angleSnapping, 0);

    EXPECT_EQ(StatusText(),
              "Kestrine XQ3 8k v2 connected, firmware V1.07. Profile loaded: 2 "
              "settings differ from the mouse; press APPLY.");

    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(MouseMemory().angleSnapping, 1);
    EXPECT_EQ(MouseMemory().pollingRateCode, 8);

    // The same profile again matches the mouse: the line says so, APPLY stays off.
    QTest::mouseClick(Button("importButton"), Qt::LeftButton);
    EXPECT_EQ(StatusText(),
              "Kestrine XQ3 8k v2 connected, firmware V1.07. Profile loaded: it "
              "matches what the mouse holds.");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ProfileButtonsTest, ABadProfileShowsItsLinesAndChangesNothing) {
    StartWindow();
    WriteProfile("format = 1\npolling_rate_hz = 1001\nsensor_angle = 300\n");
    const SettingsRecord before = pendingSettings;

    QTest::mouseClick(Button("importButton"), Qt::LeftButton);

    ASSERT_EQ(messages.messages.size(), 1);
    const QString text = messages.messages[0];
    EXPECT_TRUE(text.startsWith("The profile p.toml was not loaded; nothing changed:\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\n2: polling_rate_hz: 1001 Hz is not offered"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\n3: sensor_angle: 300 is out of range")) << text.toStdString();
    EXPECT_FALSE(SettingsDiffer(before, pendingSettings));
    EXPECT_FALSE(ApplyEnabled());
}

// The file that overflowed the TOML library's stack: 35,000 dotted parts.
TEST_F(ProfileButtonsTest, ADottedNameOfThousandsOfPartsIsRefusedWithItsLine) {
    StartWindow();
    QString chain = "a";
    for (int part = 1; part < 35000; ++part) {
        chain += ".a";
    }
    WriteProfile("format = 1\n" + chain + ".b = 1\n");
    const SettingsRecord before = pendingSettings;

    QTest::mouseClick(Button("importButton"), Qt::LeftButton);

    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0],
              "The profile p.toml was not loaded; nothing changed:\n2: a dotted name of more than "
              "8 parts; no setting has that many");
    EXPECT_FALSE(SettingsDiffer(before, pendingSettings));
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(ProfileButtonsTest, ExportSavesWhatThePagesShow) {
    StartWindow();
    QTest::mouseClick(window->findChild<QCheckBox*>("angleSnappingCheck"), Qt::LeftButton);
    // A name that would be markup is shown as it is.
    chosen = folder.filePath("<b>out.toml");

    QTest::mouseClick(Button("exportButton"), Qt::LeftButton);

    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("\nangle_snapping = true\n")) << text.toStdString();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(StatusText(),
              "Kestrine XQ3 8k v2 connected, firmware V1.07. Changes not applied: "
              "press APPLY to save them on the mouse. Profile saved to " +
                  chosen + ".");
    EXPECT_EQ(window->findChild<QLabel*>("statusText")->textFormat(), Qt::PlainText);
}

TEST_F(ProfileButtonsTest, ANewExportsModeFollowsTheUmask) {
    StartWindow();
    chosen = folder.filePath("new.toml");
    for (const NewFileMode& c : kNewFileModes) {
        SCOPED_TRACE(testing::Message() << std::oct << "umask " << c.umask);
        QFile::remove(chosen);
        {
            FileCreationMask mask(c.umask);
            QTest::mouseClick(Button("exportButton"), Qt::LeftButton);
        }
        ASSERT_TRUE(messages.messages.isEmpty()) << messages.messages.join('\n').toStdString();
        struct stat created {};
        ASSERT_EQ(::stat(QFile::encodeName(chosen).constData(), &created), 0);
        EXPECT_EQ(created.st_mode & 07777, c.mode) << std::oct << (created.st_mode & 07777);
    }
}

TEST_F(ProfileButtonsTest, CancelDoesNothingAndTheButtonsFollowTheMouse) {
    StartWindow();
    chosen.clear();
    QTest::mouseClick(Button("importButton"), Qt::LeftButton);
    QTest::mouseClick(Button("exportButton"), Qt::LeftButton);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_FALSE(ApplyEnabled());

    window->SetConnectedState(false);
    EXPECT_FALSE(Button("importButton")->isEnabled());
    EXPECT_FALSE(Button("exportButton")->isEnabled());
    window->SetConnectedState(true);
    EXPECT_TRUE(Button("importButton")->isEnabled());
}

// Another user's link in a folder everyone may write to is not followed by
// the window's Export… either: the file it points at stays as it was.
TEST_F(ProfileButtonsTest, ExportFollowsNoOtherUsersLinkInASharedFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a link another owner needs root (CI runs as root)";
    }
    StartWindow();
    const QString shared = folder.filePath("shared");
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(shared.toLocal8Bit().constData(), 01777), 0);
    const QString victim = folder.filePath("victim.toml");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mine\n");
    }
    chosen = shared + "/profile.toml";
    ASSERT_EQ(::symlink(victim.toLocal8Bit().constData(), chosen.toLocal8Bit().constData()), 0);
    ASSERT_EQ(::lchown(chosen.toLocal8Bit().constData(), 54321, 54321), 0);

    QTest::mouseClick(Button("exportButton"), Qt::LeftButton);

    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].startsWith("The settings could not be exported:"));
    EXPECT_TRUE(messages.messages[0].contains("belongs to another user (uid 54321)"))
        << messages.messages[0].toStdString();
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "mine\n");
}

}  // namespace
