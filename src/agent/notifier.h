#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Shows one-line notices on the user's desktop without ever making the agent
// wait: Show hands a text over and returns at once; the work happens when the
// agent's poll finds the descriptor ready or the time limit reached.
class Notifier {
public:
    // A notice that could not be shown, with the reason: the caller says it
    // some other way.
    using Unshown = std::function<void(const std::string& text, const std::string& problem)>;

    virtual ~Notifier() = default;

    virtual void SetUnshown(Unshown unshown) = 0;
    // Shows `text` in place of the notice shown before. A text not yet sent
    // when a newer one comes is dropped for it: only the newest counts.
    virtual void Show(const std::string& text) = 0;

    // For the agent's poll: the descriptor (-1 = none) and its events, and
    // when Process is due at the latest (steady clock, ms; none = no limit).
    virtual int Fd() const = 0;
    virtual short Events() const = 0;
    virtual std::optional<int64_t> DeadlineMs() const = 0;
    // Takes what arrived and sends what waits; never blocks.
    virtual void Process(int64_t nowMs) = 0;
};
