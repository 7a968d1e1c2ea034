#pragma once

#include <functional>

class QWidget;

// Runs `work` once, when the shown top-level `window` is first on screen:
// for what the user does not need before the window appears.
void RunWhenFirstExposed(QWidget* window, std::function<void()> work);
