#pragma once

class QKeyEvent;

// Enter and Esc never close a window, confirm or cancel anything here: pages
// and dialogs end only through their buttons and close box. Returns true
// (the event accepted) for those keys; the caller passes on every other key.
bool SwallowEnterAndEscape(QKeyEvent* event);
