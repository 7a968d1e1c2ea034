#pragma once

#include <optional>
#include <string>

#include "platform/window_source.h"

// "Pick a window" where no window can be clicked for it (Wayland lets no
// program grab the pointer): the next window the user brings to the front,
// as the desktop's window source reports it. Blocks, so it runs off the user
// interface's thread. Windows of `ownPid` (the asking program's own) do not
// count. Nothing, with the reason in `error`, when the source cannot start or
// is lost, `cancelFd` (>= 0) becomes readable, or no other window came to the
// front within `limitMs`.
std::optional<ActiveWindow> WaitForNextActiveWindow(WindowSource& source, int cancelFd, int limitMs,
                                                    long ownPid, std::string& error);
