#pragma once

#include <string>

// Writes all of `text` to `fd`, across short writes and interruptions; false
// when the other end is gone.
bool WriteAll(int fd, const std::string& text);
