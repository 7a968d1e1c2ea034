#pragma once

#include <cstdint>
#include <string>

// The kernel's short name of a process (/proc/PID/comm, at most 15 bytes):
// what a rule's `program` names. Empty when the pid is 0, out of range, or no
// process of this machine's namespace has it.
std::string ProgramOfPid(uint32_t pid);
