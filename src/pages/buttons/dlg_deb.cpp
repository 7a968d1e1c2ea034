#include "pages/buttons/dlg_deb.h"

CDlgDeb::CDlgDeb(QWidget* parent) : QWidget(parent) {}

void CDlgDeb::LoadFromSettings() {}

void CDlgDeb::StoreToSettings() {}
void CDlgDeb::SetDeviceAvailable(bool /*connected*/) {}
void CDlgDeb::HideAcknowledgement() {}
