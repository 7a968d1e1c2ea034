#include "device/critical_section.h"

void CMyCriticalSection::Enter() {
    mutex_.lock();
}

void CMyCriticalSection::Leave() {
    mutex_.unlock();
}

CCriticalSectionAutoLock::CCriticalSectionAutoLock(CMyCriticalSection* section)
    : section_(section) {
    section_->Enter();
}

CCriticalSectionAutoLock::~CCriticalSectionAutoLock() {
    section_->Leave();
}
