// The server: a thread that listens for clients and answers their requests on the
// instance's own database connection. The handle table keeps the statements; the wire
// format is wire's.
#pragma once

#include "platform/sockets.h"
#include "remote/tick_clock.h"
#include "remote/wire.h"

namespace remote {

constexpr int max_clients = 20;
constexpr int listen_backlog = 5;

struct ClientSlot {
    int in_use = 0; // 0 free, 1 taken
    platform::SocketAddress peer;
    platform::Socket socket = platform::invalid_socket;
    RequestBuffer* input = nullptr; // allocated once, kept for the process's life
};

extern ClientSlot client_slots[max_clients];

// Starts the server thread on port and returns once its listener is set up: 0, or -1 when
// the port cannot be listened on (the thread has ended then).
int start_server(int port);

// Sets up the listener, reports to the starter, then serves until stop_server.
void server_thread(ThreadStart* start);

// Asks the server thread to stop and waits for it: it finalizes the clients' statements and
// closes every socket. Returns 0, or -1 when it did not stop in time.
int stop_server();

// Answers one request of the client in slot (the action of each operation). Public for
// the tests of the protocol; only the server thread calls it.
void answer_request(int slot, const WireMessage& request);

} // namespace remote
