// The server: a thread that listens for clients and answers their requests on the
// instance's own database connection. The handle table keeps the statements; the wire
// format is wire's.
#pragma once

#include "platform/sockets.h"
#include "remote/remote.h"
#include "remote/tick_clock.h"
#include "remote/wire.h"

namespace remote {

constexpr int max_clients = 20;

struct ClientSlot {
    int in_use = 0; // 0 free, 1 taken
    platform::SocketAddress peer;
    platform::Socket socket = platform::invalid_socket;
    RequestBuffer* input = nullptr; // allocated once, kept for the process's life
};

extern ClientSlot client_slots[max_clients];

// Sets up the listener, reports to the starter, then serves until stop_server.
void server_thread(ThreadStart* start);

// Answers one request of the client in slot (the action of each operation). Public for
// the tests of the protocol; only the server thread calls it.
void answer_request(int slot, const WireMessage& request);

} // namespace remote
