#pragma once

#include <cstdint>
#include <string>

// Shows a one-line notice on the user's desktop.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows `text`, replacing the notice `replaces` (0 = none) in place when
    // it is still on screen. Returns the notice's id, or 0 with the reason in
    // `problem` when no notice could be shown.
    virtual uint32_t Show(const std::string& text, uint32_t replaces, std::string& problem) = 0;
};
