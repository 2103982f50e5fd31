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

// Logs a refused request of peer, unless its address has had its lines this second: a peer
// that sends refused requests by the thousand writes ten lines a second at most, and the
// rest is told in one line per summary_ms.
void log_refusal_of(const platform::SocketAddress& peer, const std::string& why, int summary_ms);

// Writes the summary lines that are due; the server thread calls it on every pass.
void log_refusal_summaries(int summary_ms);

} // namespace remote
