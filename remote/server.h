// The server: a thread that listens for clients and answers their requests on the
// instance's own database connection. The handle table keeps the statements, the guard
// judges them; the wire format is wire's.
#pragma once

#include "platform/sockets.h"
#include "remote/handles.h"
#include "remote/server_login.h"
#include "remote/remote.h"
#include "remote/tick_clock.h"
#include "remote/tls.h"
#include "remote/wire.h"

#include <cstdint>

namespace remote {

constexpr int max_clients = 20;

// What one peer may cost the others. Process-wide; read when the server starts (tests
// shorten the times).
struct ServerLimits {
    int step_bound_ms = default_step_bound_ms; // a peer's step that runs longer is interrupted
    int write_hold_ms = default_step_bound_ms; // a write left half-stepped longer is finalized
    int statements_per_client = 32; // open at once; the dialogs never hold more than a few
    // Replies a peer may leave unread; a legitimate client leaves at most one.
    int unread_bound = 4 * (wire_header_size + max_wire_payload);
    int evict_idle_ms = 60 * 1000; // when every slot is taken, a peer idle this long gives way
    int handshake_ms = 15 * 1000;  // a TLS handshake not done this long after "s" is dropped
    int refusal_summary_ms = 60 * 1000; // refusals beyond ten lines a second: one line this often
};

extern ServerLimits server_limits;

// How far a connection's encryption has come.
constexpr int link_clear = 0;
constexpr int link_handshaking = 1; // "s" answered; the TLS handshake goes on
constexpr int link_encrypted = 2;

// The server's key and certificate, loaded when it starts.
extern ServerIdentity server_identity;

struct ClientSlot {
    int in_use = 0; // 0 free, 1 taken
    platform::SocketAddress peer;
    platform::Socket socket = platform::invalid_socket;
    int connection = 0;               // the connection's serial number: owner of its statements
    std::int64_t last_request_ms = 0; // when it last sent a request (or connected)
    RequestBuffer* input = nullptr;   // allocated once, kept for the process's life
    ReplyBuffer output;
    LoginAttempt login; // the connection's login, once and for all, or the one under way
    int link = link_clear;
    TlsSession* tls = nullptr;            // from the handshake on
    std::int64_t handshake_until_ms = 0;  // a handshake not done by then is given up
    unsigned handshake_wants = 0;         // what the handshake waits for on the socket
};

extern ClientSlot client_slots[max_clients];

// Sets up the guard and the listener, reports to the starter, then serves until
// stop_server.
void server_thread(ThreadStart* start);

// Answers one request of the client in slot (the action of each operation) into its
// output. Public for the tests of the protocol; only the server thread calls it.
void answer_request(int slot, const WireMessage& request);

} // namespace remote
