#pragma once

#include <mutex>

// The device link's lock: a standard mutex behind the names the rest of the
// code uses. Not recursive: no command calls another.
class CMyCriticalSection {
public:
    CMyCriticalSection() = default;
    virtual ~CMyCriticalSection() = default;
    CMyCriticalSection(const CMyCriticalSection&) = delete;
    CMyCriticalSection& operator=(const CMyCriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    std::mutex mutex_;
};

// Holds the section from construction to destruction, so every way out of a
// command, an exception included, releases it.
class CCriticalSectionAutoLock {
public:
    explicit CCriticalSectionAutoLock(CMyCriticalSection* section);
    virtual ~CCriticalSectionAutoLock();
    CCriticalSectionAutoLock(const CCriticalSectionAutoLock&) = delete;
    CCriticalSectionAutoLock& operator=(const CCriticalSectionAutoLock&) = delete;

private:
    CMyCriticalSection* section_;
};
