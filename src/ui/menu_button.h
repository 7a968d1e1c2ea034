#pragma once

class QAbstractButton;

// A push button that opens a pop-up menu when clicked opens it as Space goes
// down, not when it comes up again. A Wayland compositor shows a pop-up only
// for the latest input event: opened on the key's release, the menu would ask
// with the serial of the press and be dismissed at once. Opening on the press
// is also what menu buttons do elsewhere.
void ClickOnSpacePress(QAbstractButton* button);
