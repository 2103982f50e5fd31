// TCP stream sockets over IPv4 in the program's own terms: connect, listen, accept, send and
// receive that never wait unless asked to, and waiting for readiness of several sockets at
// once. What travels over them, and every deadline, belongs to the remote link.
//
// Calls that can fail for a reason worth telling a person (starting the library, connecting,
// listening) take a caller-owned reason: on failure it receives the system's own words for
// why ("Permission denied", "Connection refused"); on success it is left alone. It may be
// nullptr when nobody will read it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A stream socket; invalid_socket when there is none.
using Socket = std::intptr_t;
constexpr Socket invalid_socket = -1;

// Results of send_socket and receive_socket besides a byte count.
constexpr int socket_error = -1;       // the connection failed; close the socket
constexpr int socket_would_block = -2; // nothing can move now; wait for readiness

// An IPv4 peer: the address in host byte order and the port.
struct SocketAddress {
    std::uint32_t address = 0;
    int port = 0;
};

// Readiness flags for poll_sockets.
constexpr unsigned socket_readable = 1;
constexpr unsigned socket_writable = 2;
constexpr unsigned socket_failed = 4; // hang-up or error; a receive then says which

struct SocketPoll {
    Socket socket = invalid_socket;
    unsigned wanted = 0; // socket_readable and/or socket_writable
    unsigned ready = 0;  // filled by poll_sockets
};

// Prepares the socket library once per process; 0, or -1 when sockets cannot be used.
int start_sockets(std::string* reason = nullptr);

// Connects to a dotted IPv4 address (names are not looked up) and port, waiting at most
// timeout_ms, from the local address from (nullptr: the system's choice). Returns a blocking
// socket, or invalid_socket (nothing is left open then).
Socket connect_socket(const char* host, int port, int timeout_ms, std::string* reason = nullptr,
                      const char* from = nullptr);

// The backlog that asks for the longest queue of waiting connections the system allows.
constexpr int largest_backlog = -1;

// Listens on address (a dotted IPv4 address; nullptr or empty for every address) at port (0:
// a free port of the system's choice) with address reuse, in non-blocking mode. A backlog
// of 0 or less asks for the system's largest. Returns the socket, or invalid_socket.
Socket listen_socket(const char* address, int port, int backlog, std::string* reason = nullptr);

// Takes one waiting connection from a non-blocking listener; invalid_socket when none is
// waiting. The new socket is non-blocking. peer may be nullptr.
Socket accept_socket(Socket listener, SocketAddress* peer);

// The local port a socket is bound to, or -1.
int socket_port(Socket socket);

// 0, or -1 when the mode cannot be set.
int set_socket_nonblocking(Socket socket, bool nonblocking);
// Sends small messages at once instead of holding them back for more; 0 or -1.
int set_socket_no_delay(Socket socket);

// Bytes handed to the system (a broken connection never raises a signal), or
// socket_would_block, or socket_error.
int send_socket(Socket socket, const void* bytes, int length);
// Bytes received (at most capacity), 0 when the peer has closed the connection, or
// socket_would_block, or socket_error.
int receive_socket(Socket socket, void* buffer, int capacity);

// Waits until at least one socket is ready as wanted or timeout_ms passed (-1: no limit).
// Returns the number of ready entries, 0 on time-out, -1 on error. An interrupted wait
// counts as a time-out.
int poll_sockets(SocketPoll* entries, int count, int timeout_ms);

void close_socket(Socket socket);

} // namespace platform
