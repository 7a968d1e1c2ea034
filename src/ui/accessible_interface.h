#pragma once

class QAccessibleInterface;
class QObject;

// Makes `iface` what a screen reader is told about its object from now on,
// in place of the one Qt made or would make. An installed factory cannot do
// this for Qt's own classes (QSlider, QTabBar, QLabel): Qt's factory answers
// for them first. The interface lives until its object does.
void ReplaceAccessibleInterface(QAccessibleInterface* iface);
