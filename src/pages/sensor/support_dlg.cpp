#include "pages/sensor/support_dlg.h"

CSupportDlg::CSupportDlg(QWidget* parent) : QWidget(parent) {}

void CSupportDlg::LoadFromSettings() {}

void CSupportDlg::StoreToSettings() {}
void CSupportDlg::SetDeviceAvailable(bool /*connected*/) {}
