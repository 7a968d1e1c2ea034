#pragma once

class QTabWidget;

// Ctrl+Tab / Ctrl+PageDown show the next page and Ctrl+Shift+Tab /
// Ctrl+PageUp the previous one (both wrap around), whichever control of the
// tabs' window has the focus: drop-down lists and push buttons would otherwise
// keep these keys to themselves. The focus then moves to the new page's first
// control. A page chosen on the tab bar by mouse or arrow keys gets the focus
// too, unless the tab bar itself has it.
void InstallTabSwitching(QTabWidget* tabs);
