#pragma once

class QAbstractButton;

// A push button that opens a pop-up menu when clicked opens it as Space goes
// down, not when it comes up again. A Wayland compositor shows a pop-up only
// for the latest input event: opened on the key's release, the menu would ask
// with the serial of the press and be dismissed at once. Opening on the press
// is also what menu buttons do elsewhere.
void ClickOnSpacePress(QAbstractButton* button);

// To a screen reader the button says that it opens a pop-up menu (the
// has-popup state) and offers the "show menu" action besides "press"; both
// click it, as Space does.
void ReportOpensMenu(QAbstractButton* button);

// The button stands for a button held down on the mouse: a screen reader is
// told it is pressed (and no longer, when `held` is false).
void ShowHeldOnMouse(QAbstractButton* button, bool held);
