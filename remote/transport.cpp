// Deadline-bounded sends and receives. Waiting is done on readiness, so a wait ends as
// soon as the bytes can move; the deadline, counted in whole ticks, only bounds it.
#include "remote/transport.h"

#include "remote/tick_clock.h"

namespace remote {

namespace {

// Longest single wait for readiness: the tick is looked at again after each, so that a
// deadline is kept to within this much.
constexpr int readiness_slice_ms = 100;

// The blocking connect's own time-out, like the system's but shorter, so that start-up
// does not hang for minutes on an address where nobody answers.
constexpr int connect_timeout_ms = 10000;

void wait_for(platform::Socket socket, unsigned wanted)
{
    platform::SocketPoll entry{socket, wanted, 0};
    platform::poll_sockets(&entry, 1, readiness_slice_ms);
}

} // namespace

int channel_send(platform::Socket socket, TlsSession* tls, const void* bytes, int length)
{
    return tls ? session_send(tls, bytes, length) : platform::send_socket(socket, bytes, length);
}

int channel_receive(platform::Socket socket, TlsSession* tls, void* buffer, int capacity)
{
    return tls ? session_receive(tls, buffer, capacity)
               : platform::receive_socket(socket, buffer, capacity);
}

std::uint32_t default_deadline()
{
    return current_tick() + default_wait_ticks;
}

int send_with_deadline(platform::Socket socket, const void* bytes, int length,
                       std::uint32_t deadline, TlsSession* tls)
{
    if (deadline == 0)
        deadline = default_deadline();
    const auto* at = static_cast<const unsigned char*>(bytes);
    int sent = 0;
    while (sent < length && current_tick() <= deadline) {
        const int count = channel_send(socket, tls, at + sent, length - sent);
        if (count > 0)
            sent += count;
        else if (count == 0 || count == platform::socket_would_block)
            wait_for(socket, tls ? session_wants(tls) : platform::socket_writable);
        else
            return -1;
    }
    return sent;
}

int receive_with_deadline(platform::Socket socket, void* buffer, int capacity,
                          std::uint32_t deadline, TlsSession* tls)
{
    if (deadline == 0)
        deadline = default_deadline();
    auto* bytes = static_cast<unsigned char*>(buffer);
    int count = 0;
    while (current_tick() < deadline) {
        // Readiness first: a reply is hardly ever there the moment its request has left, and
        // a receive that would block costs a call for nothing.
        // Bytes the session has decrypted already show no readiness on the socket.
        if (!session_pending(tls))
            wait_for(socket, tls ? session_wants(tls) : platform::socket_readable);
        const int received = channel_receive(socket, tls, bytes, capacity);
        if (received > 0) {
            count = received;
            break;
        }
        // A closed connection never delivers again; waiting out the deadline would only
        // delay the failure (and would spin, as a closed socket is always ready).
        if (received == 0 || received == platform::socket_error)
            return -1;
    }
    if (count < capacity)
        bytes[count] = 0;
    return count;
}

int connect_to_server(RemoteLink* link, const char* host, int port, std::string* reason)
{
    const platform::Socket socket =
        platform::connect_socket(host, port, connect_timeout_ms, reason);
    if (socket == platform::invalid_socket)
        return -1;
    // Each request is one small message answered by another: without no-delay the system
    // would hold some of them back waiting for an acknowledgement.
    if (platform::set_socket_nonblocking(socket, true) != 0 ||
        platform::set_socket_no_delay(socket) != 0) {
        platform::close_socket(socket);
        if (reason)
            *reason = "the connection cannot be set up";
        return -1;
    }
    link->socket = socket;
    link->input_filled = 0;
    link->pages = 0;
    link->login = 0;
    link->changes = 0;
    ++link->serial;
    return 0;
}

void drop_connection(RemoteLink* link)
{
    end_session(link->tls);
    link->tls = nullptr;
    link->binding_data.clear();
    platform::close_socket(link->socket);
    link->socket = platform::invalid_socket;
    link->input_filled = 0;
    ++link->serial; // what was made on it is gone now, not only once the next one is made
}

} // namespace remote
