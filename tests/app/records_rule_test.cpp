// What the window shows is what the mouse holds, or plainly waits for APPLY:
// the four ways this once broke, each through the real window, and a
// randomised walk of user actions that checks the rule after every step.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <random>

#include "app/app_fixture.h"
#include "app/profile_buttons.h"

namespace {

class RecordsRule : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        SetProfileFileChooser([this](ProfileDialog) { return profilePath; });
    }
    void TearDown() override {
        SetProfileFileChooser({});
        AppFixture::TearDown();
    }

    void Start() {
        StartWindow();
        window->show();
    }

    template <typename T>
    T* Find(const QString& name) {
        T* control = window->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }
    QLineEdit* XField(int level) { return Find<QLineEdit>(QString("cpiLevelXField%1").arg(level)); }
    QLineEdit* YField(int level) { return Find<QLineEdit>(QString("cpiLevelYField%1").arg(level)); }
    QRadioButton* Radio(int level) {
        return Find<QRadioButton>(QString("cpiLevelRadio%1").arg(level));
    }

    void TypeCpi(int level, const QString& text, bool yAxis = false) {
        QLineEdit* field = yAxis ? YField(level) : XField(level);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    void Choose(const char* listName, int index) {
        auto* list = Find<QComboBox>(listName);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    void Import(const QString& text) {
        profilePath = folder.filePath("p.toml");
        QFile file(profilePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        file.close();
        QTest::mouseClick(Find<QPushButton>("importButton"), Qt::LeftButton);
    }

    QTemporaryDir folder;
    QString profilePath;
};

TEST_F(RecordsRule, ALevelClickKeepsAnUnappliedCpiEditPending) {
    Start();
    TypeCpi(0, "900");
    QTest::mouseClick(Radio(2), Qt::LeftButton);
    auto* snapping = Find<QCheckBox>("angleSnappingCheck");
    QTest::mouseClick(snapping, Qt::LeftButton);
    QTest::mouseClick(snapping, Qt::LeftButton);

    EXPECT_EQ(MouseMemory().activeCpiLevel, 2);
    EXPECT_EQ(MouseMemory().cpiLevels[0].x, 400) << "only the level choice went out";
    EXPECT_EQ(XField(0)->text(), "900");
    EXPECT_EQ(pendingSettings.cpiLevels[0].x, 900);
    EXPECT_TRUE(ApplyEnabled()) << "the 900 still waits for APPLY";

    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(MouseMemory().cpiLevels[0].x, 900);
    EXPECT_FALSE(ApplyEnabled());
}

// The level count shown is part of the level choice: a click sends it,
// whether it grew or shrank since the mouse was read.
TEST_F(RecordsRule, ALevelClickSendsTheLevelCountShown) {
    struct Case {
        uint8_t mouseHolds;
        int chosen;
        int clicked;
    };
    for (const Case c : {Case{2, 4, 3}, Case{4, 2, 1}}) {
        SCOPED_TRACE(testing::Message() << int(c.mouseHolds) << " levels -> " << c.chosen);
        SettingsRecord own = UsersOwnSettings();
        own.cpiLevelCount = c.mouseHolds;
        own.activeCpiLevel = 0;
        SetMouseMemory(own);
        Start();
        Choose("cpiLevelsList", c.chosen - 1);
        ASSERT_TRUE(Radio(c.clicked)->isVisible());
        QTest::mouseClick(Radio(c.clicked), Qt::LeftButton);

        EXPECT_EQ(MouseMemory().cpiLevelCount, c.chosen);
        EXPECT_EQ(MouseMemory().activeCpiLevel, c.clicked);
        EXPECT_EQ(Find<QComboBox>("cpiLevelsList")->currentText().toInt(), c.chosen);
        EXPECT_FALSE(ApplyEnabled()) << "the mouse holds what the window shows";
        window.reset();
    }
}

TEST_F(RecordsRule, ALevelClickAfterImportSendsNothingOfTheProfile) {
    Start();
    const SettingsRecord before = MouseMemory();
    Import("format = 1\npolling_rate_hz = 125\nmotion_sync = false\nsensor_angle = 30\n");
    ASSERT_TRUE(messages.messages.isEmpty()) << messages.messages.join('\n').toStdString();

    QTest::mouseClick(Radio(3), Qt::LeftButton);

    SettingsRecord expected = before;
    expected.activeCpiLevel = 3;
    EXPECT_FALSE(SettingsDiffer(MouseMemory(), expected));
    EXPECT_EQ(pendingSettings.pollingRateCode, 64);
    EXPECT_EQ(pendingSettings.sensorAngle, 30);
    EXPECT_TRUE(ApplyEnabled());
}

TEST_F(RecordsRule, UnpluggingWithUnappliedEditsSaysTheyWereDiscarded) {
    Start();
    TypeCpi(1, "1200");
    mouse.Unplug();
    DeliverQueuedEvents();
    EXPECT_EQ(StatusText().toStdString(),
              "Your changes were not applied: they were discarded when the mouse was unplugged.");

    mouse.Plug();
    DeliverQueuedEvents();
    EXPECT_EQ(window->Status(), DeviceStatus::Connected);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, MouseMemory()));
    EXPECT_EQ(XField(1)->text(), "800");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(RecordsRule, UnpluggingWithoutEditsSaysOnlyThatTheMouseIsGone) {
    Start();
    mouse.Unplug();
    DeliverQueuedEvents();
    EXPECT_EQ(window->Status(), DeviceStatus::NoMouse);
}

struct CloseCase {
    Answer answer;
    bool closed;
    uint16_t mouseHolds;
};

TEST_F(RecordsRule, ClosingWithUnappliedEditsAsks) {
    const CloseCase cases[] = {
        {Answer::Cancel, false, 800}, {Answer::Discard, true, 800}, {Answer::Apply, true, 1200}};
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(int(c.answer));
        Start();
        TypeCpi(1, "1200");
        messages.answer = c.answer;
        messages.questions.clear();
        window->close();
        EXPECT_EQ(messages.questions.size(), 1);
        EXPECT_EQ(window->isVisible(), !c.closed);
        EXPECT_EQ(MouseMemory().cpiLevels[1].x, c.mouseHolds);
        SetMouseMemory(UsersOwnSettings());
        window.reset();
        SetMouseMemory([] {
            SettingsRecord factory{};
            DecodeSettingsImage(MouseFirmware::FactoryImage(), factory);
            return factory;
        }());
    }
}

TEST_F(RecordsRule, ClosingWithNothingToApplyAsksNothing) {
    Start();
    window->close();
    EXPECT_TRUE(messages.questions.isEmpty());
    EXPECT_FALSE(window->isVisible());
}

// An emptied field reads as the smallest CPI and keeps that text selected,
// also once the focus has come back from the message, so typing replaces it.
TEST_F(RecordsRule, AnEmptiedCpiFieldIsReplacedByWhatIsTypedNext) {
    Start();
    QLineEdit* field = XField(0);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    ASSERT_EQ(messages.messages, QStringList{"Enter a positive integer."});
    QFocusEvent focusBack(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(field, &focusBack);
    QTest::keyClicks(field, "400");
    EXPECT_EQ(field->text(), "400");
}

// ---------------------------------------------------------------- the model

// Drives the window as a user would, at random, and checks after every step
// that the screen shows pendingSettings, that APPLY is on exactly when there
// is something to send, and that the mouse holds only what the user saw and
// chose: its memory is tracked as a model that changes only by APPLY, by a
// level click (the level choice as shown), by a Factory Reset and by the
// mouse's own buttons.
class RecordsModel : public RecordsRule {
protected:
    static SettingsRecord Factory() {
        SettingsRecord factory{};
        DecodeSettingsImage(MouseFirmware::FactoryImage(), factory);
        return factory;
    }

    void Step(std::mt19937& random) {
        const int action = std::uniform_int_distribution<int>(0, 13)(random);
        history.push_back(action);
        auto pick = [&random](int count) {
            return std::uniform_int_distribution<int>(0, count - 1)(random);
        };
        const bool connected = deviceConnected;
        const bool failWrite = pick(5) == 0;
        switch (action) {
            case 0:
            case 1:
                if (connected) {
                    const int level = pick(pendingSettings.cpiLevelCount < 4
                                               ? std::max<int>(1, pendingSettings.cpiLevelCount)
                                               : 4);
                    TypeCpi(level, QString::number(100 * (1 + pick(60))));
                }
                break;
            case 2:
                if (connected && Find<QComboBox>("pollingRateList")->isEnabled()) {
                    Choose("pollingRateList", pick(7));
                }
                break;
            case 3:
                if (connected) {
                    QTest::mouseClick(Find<QCheckBox>("angleSnappingCheck"), Qt::LeftButton);
                }
                break;
            case 4: {
                if (!connected) {
                    break;
                }
                const int count = std::max<int>(1, std::min<int>(4, pendingSettings.cpiLevelCount));
                const int level = pick(count);
                if (failWrite) {
                    mouse.FailSends(HidResult::Error, 100);
                }
                QTest::mouseClick(Radio(level), Qt::LeftButton);
                mouse.FailSends(HidResult::Error, 0);
                if (!failWrite) {
                    model.activeCpiLevel = pendingSettings.activeCpiLevel;
                    model.cpiLevelCount = pendingSettings.cpiLevelCount;
                    model.cpiLevels[level] = pendingSettings.cpiLevels[level];
                }
                break;
            }
            case 5:
                if (connected && ApplyEnabled()) {
                    if (failWrite) {
                        mouse.FailSends(HidResult::Error, 100);
                    }
                    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
                    mouse.FailSends(HidResult::Error, 0);
                    if (!failWrite) {
                        model = pendingSettings;
                    }
                }
                break;
            case 6:
                if (connected) {
                    const int rates[] = {125, 250, 500, 1000, 2000, 4000, 8000};
                    Import(QString("format = 1\npolling_rate_hz = %1\nsensor_angle = %2\n")
                               .arg(rates[pick(7)])
                               .arg(pick(60) - 30));
                }
                break;
            case 7:
                if (connected) {
                    QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);
                    model = Factory();
                }
                break;
            case 8:
                if (mouse.IsPlugged()) {
                    mouse.Unplug();
                } else {
                    mouse.Plug();
                }
                DeliverQueuedEvents();
                break;
            case 9:
            case 10:
                if (connected) {
                    if (action == 9) {
                        mouse.PressCpiButton();
                    } else {
                        mouse.SwitchReportRate(uint8_t(1 << pick(7)));
                    }
                    // The mouse's own change: the model follows the memory.
                    const SettingsRecord held = MouseMemory();
                    model.activeCpiLevel = held.activeCpiLevel;
                    model.pollingRateCode = held.pollingRateCode;
                    ASSERT_TRUE(mouse.WaitUntilInputTaken());
                    QTest::qWait(0);
                    DeliverQueuedEvents();
                }
                break;
            case 11:
                // Linking the axes copies X to Y; unlinking lets Y differ.
                if (connected) {
                    QTest::mouseClick(Find<QCheckBox>("xySettingsCheck"), Qt::LeftButton);
                }
                break;
            case 12:
                if (connected) {
                    Choose("cpiLevelsList", pick(4));
                }
                break;
            default:
                if (connected) {
                    const int level = pick(std::clamp<int>(pendingSettings.cpiLevelCount, 1, 4));
                    TypeCpi(level, QString::number(100 * (1 + pick(60))), true);
                }
                break;
        }
    }

    void CheckRule(const char* where) {
        SCOPED_TRACE(where);
        testing::Message recent;
        for (size_t k = history.size() > 6 ? history.size() - 6 : 0; k < history.size(); ++k) {
            recent << history[k] << ' ';
        }
        SCOPED_TRACE(recent << "were the last actions");
        ASSERT_FALSE(SettingsDiffer(MouseMemory(), model))
            << "the mouse holds something the user did not see or choose";
        if (!deviceConnected) {
            EXPECT_FALSE(ApplyEnabled());
            return;
        }
        EXPECT_EQ(ApplyEnabled(), SettingsDiffer(pendingSettings, deviceSettings) ||
                                      window->Status() == DeviceStatus::NotSaved);
        if (window->Status() == DeviceStatus::Connected ||
            window->Status() == DeviceStatus::Saved ||
            window->Status() == DeviceStatus::ResetDone ||
            window->Status() == DeviceStatus::NotSaved ||
            window->Status() == DeviceStatus::LevelNotSaved) {
            EXPECT_FALSE(SettingsDiffer(deviceSettings, MouseMemory()))
                << "the tool's picture of the mouse is not what it holds";
        }
        // The screen shows pendingSettings.
        for (int level = 0; level < 4; ++level) {
            EXPECT_EQ(XField(level)->text().toUInt(), pendingSettings.cpiLevels[level].x)
                << "CPI " << level + 1;
            EXPECT_EQ(YField(level)->text().toUInt(), pendingSettings.cpiLevels[level].y)
                << "CPI " << level + 1 << " Y";
        }
        const int count = pendingSettings.cpiLevelCount;
        if (count >= 1 && count <= 4) {
            EXPECT_EQ(Find<QComboBox>("cpiLevelsList")->currentText().toInt(), count);
        }
        EXPECT_EQ(Find<QCheckBox>("angleSnappingCheck")->isChecked(),
                  pendingSettings.angleSnapping == 1);
        if (pendingSettings.activeCpiLevel < 4) {
            EXPECT_TRUE(Radio(pendingSettings.activeCpiLevel)->isChecked());
        }
    }

    SettingsRecord model{};
    std::vector<int> history;
};

TEST_F(RecordsModel, EveryStepKeepsTheRule) {
    int steps = 300;
    if (const char* more = std::getenv("KESTRINE_MODEL_STEPS")) {
        steps = std::max(1, std::atoi(more));
    }
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE(seed);
        // The user's own settings, with bytes the tool never shows.
        SettingsRecord own = UsersOwnSettings();
        own.opaqueBlock[3] = 0x5A;
        SetMouseMemory(own);
        if (!mouse.IsPlugged()) {
            mouse.Plug();
        }
        Start();
        model = MouseMemory();
        std::mt19937 random(seed);
        for (int step = 0; step < steps; ++step) {
            SCOPED_TRACE(step);
            ASSERT_NO_FATAL_FAILURE(Step(random));
            ASSERT_NO_FATAL_FAILURE(CheckRule("after a step"));
            if (HasFailure()) {
                return;
            }
        }
        window.reset();
        StopDeviceEventListener();
    }
}

}  // namespace
