// What a server tells its administrator: one line per event on the error output, with the
// time and the peer's address. What the events are is the server's business.
#pragma once

#include "platform/sockets.h"

#include <string>

namespace remote {

// "a.b.c.d:port" of a peer.
std::string peer_text(const platform::SocketAddress& peer);

// Writes "YYYY-MM-DD hh:mm:ss vendrel: " and the formatted text as one line.
void log_event(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace remote
