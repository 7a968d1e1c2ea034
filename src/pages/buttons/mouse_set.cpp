#include "pages/buttons/mouse_set.h"

CMouseSet::CMouseSet(QWidget* parent) : QWidget(parent) {}

void CMouseSet::LoadFromSettings() {}

void CMouseSet::SetDeviceAvailable(bool /*connected*/) {}
