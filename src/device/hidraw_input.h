#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads input reports from a hidraw node with its own descriptor, so that a
// wait can block without a time limit and still be ended from another thread:
// poll() watches the node together with an eventfd that Interrupt() signals.
// hidapi offers no such wait, nor its descriptor.
class HidrawInput {
public:
    // Opens the node for reading; a node that cannot be opened makes every
    // Read fail (-1).
    explicit HidrawInput(const std::string& node);
    // Takes over an open descriptor that delivers one report per read (made
    // non-blocking).
    explicit HidrawInput(int descriptor);
    ~HidrawInput();
    HidrawInput(const HidrawInput&) = delete;
    HidrawInput& operator=(const HidrawInput&) = delete;

    // As HidConnection::ReadInput: bytes read (the rest of the buffer zeroed),
    // 0 = none within timeoutMs or interrupted, -1 = error or device gone.
    // timeoutMs < 0 waits without a limit; 0 takes what is queued with one
    // read() and no poll(), as a reader that empties the queue calls it often.
    int Read(uint8_t* data, size_t length, int timeoutMs);
    // Ends a waiting Read, and every later one, at once (latched). Any thread.
    void Interrupt();

private:
    int ReadQueued(uint8_t* data, size_t length);

    std::atomic<bool> interrupted_{false};
    int input_;
    int wake_;
};

// The report descriptor of a hidraw node, through the kernel's
// HIDIOCGRDESC (hidapi 0.13 has no call for it); empty when it cannot be read.
std::vector<uint8_t> ReadReportDescriptor(const std::string& node);
