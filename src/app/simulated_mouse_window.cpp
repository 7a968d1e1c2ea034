#include "app/simulated_mouse_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/simulated_buttons_panel.h"
#include "app/simulated_stroke_controls.h"
#include "device/simulated/simulated_motion.h"
#include "device/simulated/simulated_mouse.h"
#include "device/simulated/simulated_session.h"
#include "settings/sensor_choices.h"
#include "settings/settings_image.h"

SimulatedMouseWindow::SimulatedMouseWindow(SimulatedMouse& mouse, QWidget* parent)
    : QWidget(parent, Qt::Window), mouse_(mouse) {
    setWindowTitle("Simulated mouse");
    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName("simulatedStateLabel");
    plugButton_ = new QPushButton(this);
    plugButton_->setObjectName("simulatedPlugButton");
    accessDeniedCheck_ = new QCheckBox("Deny access", this);
    accessDeniedCheck_->setToolTip(
        "As without the udev rule: from its next plug-in on, the tool "
        "may not open the mouse.");
    accessDeniedCheck_->setObjectName("simulatedAccessDeniedCheck");
    cpiButton_ = new QPushButton("&CPI button", this);  // Alt+C, as the scripts press it
    cpiButton_->setObjectName("simulatedCpiButton");
    reportRateList_ = new QComboBox(this);
    reportRateList_->setObjectName("simulatedReportRateList");
    // The same rates, in the same order, as the Basic page's "Polling Rate".
    for (const SensorChoice& rate : PollingRateChoices()) {
        reportRateList_->addItem(rate.text);
    }
    SettingsRecord held{};
    DecodeSettingsImage(mouse_.Firmware().Memory(), held);
    reportRateList_->setCurrentIndex(PollingRateIndexToShow(held.pollingRateCode));

    auto* layout = new QFormLayout(this);
    layout->addRow("Cable:", stateLabel_);
    auto* cable = new QHBoxLayout;
    cable->addWidget(plugButton_);
    cable->addWidget(accessDeniedCheck_);
    layout->addRow(QString(), cable);
    layout->addRow("Mouse button:", cpiButton_);
    layout->addRow("&Report rate:", reportRateList_);  // Alt+R
    moveButton_ = new QPushButton("&Move", this);
    moveButton_->setObjectName("simulatedMoveButton");
    moveButton_->setToolTip("Hold to move the mouse: it sends motion reports at its set rate.");
    slowdownCheck_ = new QCheckBox("Deliver only &1 in 8", this);  // Alt+1
    slowdownCheck_->setObjectName("simulatedSlowdownCheck");
    slowdownCheck_->setToolTip("As a port or hub that holds the mouse back.");
    auto* motion = new QHBoxLayout;
    motion->addWidget(moveButton_);
    motion->addWidget(slowdownCheck_);
    layout->addRow("Motion:", motion);
    // A stroke along a ruler, for the CPI check.
    layout->addRow("Stroke:", new SimulatedStrokeControls(mouse_, this));
    layout->addRow("Buttons:", new SimulatedButtonsPanel(mouse_, this));
    motion_ = std::make_unique<SimulatedMotion>(mouse_);
    connect(moveButton_, &QPushButton::pressed, this, &SimulatedMouseWindow::StartMoving);
    connect(moveButton_, &QPushButton::released, this, &SimulatedMouseWindow::StopMoving);
    connect(slowdownCheck_, &QCheckBox::toggled, this, [this] {
        if (motion_->Moving())
            StartMoving();
    });
    ConnectSignals();
    ShowState();
}

SimulatedMouseWindow::SimulatedMouseWindow(SimulatedSession& session, QWidget* parent)
    : SimulatedMouseWindow(session.Mouse(), parent) {
    session_ = &session;
    ShowMemoryFile();
}

SimulatedMouseWindow::~SimulatedMouseWindow() {
    if (session_) {
        session_->SetSaveObserver({});
    }
}

void SimulatedMouseWindow::ShowBeside(QWidget& main) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    adjustSize();
    constexpr int kGap = 16;
    const QRect mainFrame = main.frameGeometry();
    const QRect screen = main.screen() ? main.screen()->availableGeometry() : mainFrame;
    // The frame adds a title bar and borders the window system draws.
    const QSize frame = size() + (frameGeometry().size() - geometry().size());
    // Right of it, else left of it, else on the side with more room.
    const int roomRight = screen.right() - mainFrame.right() - kGap;
    const int roomLeft = mainFrame.left() - screen.left() - kGap;
    QPoint place(mainFrame.right() + 1 + kGap, mainFrame.top());
    if (roomRight < frame.width() && roomLeft > roomRight) {
        place.setX(mainFrame.left() - kGap - frame.width());
    }
    place.setX(std::clamp(place.x(), screen.left(),
                          std::max(screen.left(), screen.right() + 1 - frame.width())));
    place.setY(std::clamp(place.y(), screen.top(),
                          std::max(screen.top(), screen.bottom() + 1 - frame.height())));
    move(place);
    show();
    main.activateWindow();
}

void SimulatedMouseWindow::StartMoving() {
    motion_->Start(slowdownCheck_->isChecked() ? 8 : 1);
}

void SimulatedMouseWindow::StopMoving() {
    motion_->Stop();
}

void SimulatedMouseWindow::ConnectSignals() {
    connect(plugButton_, &QPushButton::clicked, this, &SimulatedMouseWindow::TogglePlug);
    connect(accessDeniedCheck_, &QCheckBox::toggled, this, &SimulatedMouseWindow::SetAccessDenied);
    connect(cpiButton_, &QPushButton::clicked, this, &SimulatedMouseWindow::StepCpiLevel);
    connect(reportRateList_, &QComboBox::activated, this, &SimulatedMouseWindow::ChooseReportRate);
}

void SimulatedMouseWindow::TogglePlug() {
    if (mouse_.IsPlugged()) {
        mouse_.Unplug();
    } else {
        mouse_.Plug();
    }
    ShowState();
}

void SimulatedMouseWindow::SetAccessDenied(bool denied) {
    mouse_.SetOpenFailure(0, denied ? OpenFailure::AccessDenied : OpenFailure::None);
}

void SimulatedMouseWindow::StepCpiLevel() {
    mouse_.PressCpiButton();
}

void SimulatedMouseWindow::ChooseReportRate(int index) {
    const auto rates = PollingRateChoices();
    if (index >= 0 && index < static_cast<int>(rates.size())) {
        mouse_.SwitchReportRate(rates[index].value);
    }
}

void SimulatedMouseWindow::ShowState() {
    const bool plugged = mouse_.IsPlugged();
    stateLabel_->setText(plugged ? "plugged in" : "unplugged");
    plugButton_->setText(plugged ? "Unplug" : "Plug in");
    cpiButton_->setEnabled(plugged);
    reportRateList_->setEnabled(plugged);
}

void SimulatedMouseWindow::ShowMemoryFile() {
    auto* form = static_cast<QFormLayout*>(layout());
    memoryFileLabel_ = new QLabel(this);
    memoryFileLabel_->setObjectName("simulatedMemoryFileLabel");
    memoryFileLabel_->setWordWrap(true);
    memoryFileLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A path and a reason wrap to a few lines; the window stays narrow.
    const int textWidth = memoryFileLabel_->fontMetrics().averageCharWidth() * 26;
    memoryFileLabel_->setFixedWidth(textWidth);
    form->addRow("Memory:", memoryFileLabel_);
    if (session_->MemoryFile().empty()) {
        memoryFileLabel_->setText("kept for this run only");
        return;
    }
    if (!session_->Notice().empty()) {
        auto* notice = new QLabel(QString::fromStdString(session_->Notice()), this);
        notice->setObjectName("simulatedMemoryNoticeLabel");
        notice->setWordWrap(true);
        notice->setFixedWidth(textWidth);
        form->addRow(QString(), notice);
    }
    ShowSaveResult({});
    session_->SetSaveObserver([this](const std::string& error) { ShowSaveResult(error); });
}

void SimulatedMouseWindow::ShowSaveResult(const std::string& error) {
    const QString file = QString::fromStdString(session_->MemoryFile());
    // The mouse holds the change; its next change saves the whole memory again.
    memoryFileLabel_->setText(error.empty()
                                  ? "kept in " + file
                                  : "NOT SAVED: " + QString::fromStdString(error) +
                                        "\nThe simulated mouse keeps the change; its next "
                                        "change is saved again.");
    // A wrapped path or reason is never cut off: a top-level window does not
    // grow for a wrapped label by itself.
    memoryFileLabel_->setMinimumHeight(memoryFileLabel_->heightForWidth(memoryFileLabel_->width()));
    adjustSize();
}
