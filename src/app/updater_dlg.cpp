#include "app/updater_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "pages/buttons/dlg_deb.h"
#include "pages/buttons/mouse_set.h"
#include "pages/sensor/sensor_dlg.h"
#include "pages/sensor/support_dlg.h"
#include "settings/settings_image.h"

CUpdaterDlg* mainDialog = nullptr;

void RefreshApplyState() {
    if (mainDialog) {
        mainDialog->RefreshApplyState();
    }
}

CUpdaterDlg::CUpdaterDlg(QWidget* parent) : QDialog(parent) {
    BuildLayout();
    ConnectSignals();
    mainDialog = this;
}

CUpdaterDlg::~CUpdaterDlg() {
    if (mainDialog == this) {
        mainDialog = nullptr;
    }
}

void CUpdaterDlg::BuildLayout() {
    setWindowTitle("Kestrine XQ3 8k v2 Configuration Tool");
    auto* info = new QGroupBox("Info", this);
    firmwareVersionField_ = new QLabel(info);
    firmwareVersionField_->setObjectName("firmwareVersionField");
    softwareVersionField_ = new QLabel(info);
    softwareVersionField_->setObjectName("softwareVersionField");
    factoryResetButton_ = new QPushButton("Factory Reset", info);
    factoryResetButton_->setObjectName("factoryResetButton");

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("pageTabs");
    sensorPage_ = new CSensorDlg;
    supportPage_ = new CSupportDlg;
    buttonsPage_ = new CDlgDeb;
    mappingPage_ = new CMouseSet;
    tabs_->addTab(sensorPage_, "  Basic  ");
    tabs_->addTab(supportPage_, "  Advanced Sensor  ");
    tabs_->addTab(buttonsPage_, "  Buttons  ");
    tabs_->addTab(mappingPage_, "  Button Mapping  ");

    applyButton_ = new QPushButton("APPLY", this);
    applyButton_->setObjectName("applyButton");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addWidget(tabs_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(applyButton_);
    layout->addLayout(bottom);
}

void CUpdaterDlg::ConnectSignals() {}
void CUpdaterDlg::Initialise() {}
void CUpdaterDlg::LoadAllPages() {}
void CUpdaterDlg::RefreshApplyState() {
    applyButton_->setEnabled(SettingsDiffer(pendingSettings, deviceSettings));
}
void CUpdaterDlg::SetConnectedState(bool) {}
void CUpdaterDlg::ShowFirmwareVersion(const std::array<uint8_t, kFirmwareBlockSize>&) {}
void CUpdaterDlg::OnApply() {}
void CUpdaterDlg::OnFactoryReset() {}
void CUpdaterDlg::OnDeviceChange(DeviceChange, const std::string&) {}
void CUpdaterDlg::OnDeviceEvent(uint8_t, uint8_t) {}
void CUpdaterDlg::keyPressEvent(QKeyEvent* event) {
    event->accept();
}
void CUpdaterDlg::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
}
