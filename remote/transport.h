// Moving bytes over a connection within a deadline of tick-clock ticks, and making the
// client's connection. Message boundaries are the wire format's business.
#pragma once

#include "platform/sockets.h"
#include "remote/tls.h"

#include <cstdint>
#include <string>

namespace remote {

// Ticks a wait may take when its caller gives the deadline 0.
constexpr std::uint32_t default_wait_ticks = 10;

// The client's one connection to its server, and what has been read from it beyond the
// reply taken last (a reply that came after its exchange gave up, for the next one).
constexpr int link_input_size = 10 + 65531; // the largest message of the wire format

struct RemoteLink {
    platform::Socket socket = platform::invalid_socket;
    unsigned char input[link_input_size];
    int input_filled = 0;
    int serial = 0;  // counts connections made and dropped; what was made under another is gone
    int pages = 0;   // whether this connection's server gives pages of rows: 0 unknown, 1, -1
    int login = 0;   // whether it carries a login: 0 not yet, 1 logged in, -1 the server has none
    int changes = 0; // whether its server answers the change number: 0 unknown, 1, -1
    TlsSession* tls = nullptr; // the encryption over the socket, once the link has it
    std::string binding_data;  // the server certificate's hash, that a bound login proves
};

// Moves bytes over socket, or through tls over it when there is a session, with the results
// of platform::send_socket and receive_socket.
int channel_send(platform::Socket socket, TlsSession* tls, const void* bytes, int length);
int channel_receive(platform::Socket socket, TlsSession* tls, void* buffer, int capacity);

// The deadline a caller's 0 stands for: the current tick plus ten.
std::uint32_t default_deadline();

// Sends length bytes while the current tick is not past deadline (0: the default). Returns
// the bytes handed over, fewer when the deadline came first, or -1 on a socket error.
int send_with_deadline(platform::Socket socket, const void* bytes, int length,
                       std::uint32_t deadline, TlsSession* tls = nullptr);

// Receives what the first successful receive delivers, at most capacity bytes, while the
// current tick is before deadline (0: the default); returns as soon as bytes are there.
// Returns the count, 0 when the deadline passed with nothing, -1 on an error or when the
// peer has closed the connection. A NUL is stored after the bytes when there is room.
int receive_with_deadline(platform::Socket socket, void* buffer, int capacity,
                          std::uint32_t deadline, TlsSession* tls = nullptr);

// Connects to the dotted IPv4 host at port and stores the socket, non-blocking and without
// send delay, in link, counting it in its serial. 0, or -1 with the reason (nothing is left
// open).
int connect_to_server(RemoteLink* link, const char* host, int port, std::string* reason = nullptr);

// Closes link's connection, its encryption with it, and forgets what was read from it;
// counted in its serial.
void drop_connection(RemoteLink* link);

} // namespace remote
