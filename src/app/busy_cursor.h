#pragma once

// Shows the wait cursor over the tool's windows for as long as it lives: the
// UI thread is about to wait on the mouse and cannot answer the user meanwhile.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
