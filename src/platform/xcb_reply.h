#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

// xcb hands each reply over in memory the caller frees with free().
struct XcbFree {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

// The atom of `name`; XCB_ATOM_NONE when the server cannot say or, with
// `onlyIfExists`, when nobody ever interned it.
inline xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name,
                             bool onlyIfExists = false) {
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(
        connection, onlyIfExists ? 1 : 0, static_cast<uint16_t>(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Owns a reply as xcb returns it (null when the request failed).
template <typename T>
XcbReply<T> TakeReply(T* reply) {
    return XcbReply<T>(reply);
}
