#pragma once

#include "vm/support/uhid_mouse_process.h"

// hidapi lists the mouse's pointer interface.
bool PointerListed();

// The uhid mouse plugged with its pointer interface, once hidapi lists it
// (udev has made the node; bounded). Fails the test when it is not.
void PlugWithPointer(UhidMouseProcess& mouse);
