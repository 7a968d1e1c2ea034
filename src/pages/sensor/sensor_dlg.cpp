#include "pages/sensor/sensor_dlg.h"

CSensorDlg::CSensorDlg(QWidget* parent) : QWidget(parent) {}

void CSensorDlg::LoadFromSettings() {}

void CSensorDlg::StoreToSettings() {}
void CSensorDlg::SetDeviceAvailable(bool /*connected*/) {}
void CSensorDlg::OnDeviceLevelChanged(uint8_t /*level*/) {}
void CSensorDlg::OnDevicePollingRateChanged(uint8_t /*code*/) {}
