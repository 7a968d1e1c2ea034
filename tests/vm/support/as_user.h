#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

// Runs `body` in a child process that has given up root for this user and
// group (and no other groups) before the body runs, as the tool runs in a
// desktop user's session; returns the text the body returned, or
// "error ..." when the child could not give up root or gave no answer.
std::string RunAsUser(uid_t uid, gid_t gid, const std::function<std::string()>& body);
