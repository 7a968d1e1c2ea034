#pragma once

class QTabWidget;
class QWidget;

// Where the keyboard focus rests when nothing the user did puts it anywhere:
// the tab bar, where a stray Space or Enter does nothing. Never on Factory
// Reset or APPLY, which one key press would set off. The focus frame is shown
// from the start, so a keyboard user sees where they are.
void PlaceSafeFocus(QTabWidget* tabs);

// A dialog shows where the keyboard focus is from the moment it opens, not
// only after the first Tab.
void ShowFocusFrameFromTheStart(QWidget* window);

// Gives the focus to the first control of `page` the Tab key would reach.
// false (focus unchanged) when the page has none that is shown and enabled.
bool FocusFirstControl(QWidget* page);
