// The sockets interface over Winsock 2: IPv4 stream sockets, non-blocking I/O and WSAPoll.
// Sends and receives report a byte count, would-block or error; starting the library,
// connecting and listening also say why they failed, in the system's own words.
#include "platform/sockets.h"
#include "platform/win32/text.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

namespace platform {

namespace {

SOCKET handle(Socket socket)
{
    return static_cast<SOCKET>(socket);
}

Socket fail(std::string* reason, const std::string& why)
{
    if (reason)
        *reason = why;
    return invalid_socket;
}

// The same for a failed Winsock call: its error in words. Closes s when there is one.
Socket fail_wsa(std::string* reason, SOCKET s = INVALID_SOCKET, int error = 0)
{
    if (error == 0)
        error = WSAGetLastError();
    if (s != INVALID_SOCKET)
        closesocket(s);
    return fail(reason, win32::system_message(static_cast<unsigned long>(error)));
}

bool ipv4_address(const char* host, int port, sockaddr_in* address)
{
    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_port = htons(static_cast<u_short>(port));
    if (!host || !*host) {
        address->sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return InetPtonA(AF_INET, host, &address->sin_addr) == 1;
}

// A connect in progress on a non-blocking socket: waits for it within timeout_ms. 0, or the
// Winsock error that tells why it failed.
int finish_connect(SOCKET s, int timeout_ms)
{
    WSAPOLLFD entry{};
    entry.fd = s;
    entry.events = POLLWRNORM;
    const int ready = WSAPoll(&entry, 1, timeout_ms);
    if (ready < 0)
        return WSAGetLastError();
    if (ready == 0)
        return WSAETIMEDOUT;
    int error = 0;
    int size = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    // A refused connection shows as an error, not as writable; SO_ERROR then says which.
    if (error == 0 && (entry.revents & (POLLERR | POLLHUP)))
        error = WSAECONNREFUSED;
    return error;
}

SOCKET new_stream_socket()
{
    // Not inherited: a server process the program starts must not keep our ports open.
    return WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
}

} // namespace

int start_sockets(std::string* reason)
{
    static int started = -1;
    static std::string failure;
    if (started < 0) {
        WSADATA data;
        const int error = WSAStartup(MAKEWORD(2, 2), &data);
        started = error == 0 ? 1 : 0;
        if (error != 0)
            failure = win32::system_message(static_cast<unsigned long>(error));
    }
    if (started == 1)
        return 0;
    if (reason)
        *reason = failure;
    return -1;
}

Socket connect_socket(const char* host, int port, int timeout_ms, std::string* reason,
                      const char* from)
{
    sockaddr_in address;
    if (port <= 0 || port > 65535)
        return fail(reason, "not a port number");
    if (!host || !*host || !ipv4_address(host, port, &address))
        return fail(reason, "not a dotted IPv4 address");
    if (start_sockets(reason) != 0)
        return invalid_socket;

    const SOCKET s = new_stream_socket();
    if (s == INVALID_SOCKET)
        return fail_wsa(reason);
    if (from) {
        sockaddr_in local;
        if (!ipv4_address(from, 0, &local)) {
            close_socket(static_cast<Socket>(s));
            return fail(reason, "not a dotted IPv4 address");
        }
        if (::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            return fail_wsa(reason, s);
    }
    // Non-blocking while connecting, so that an unreachable host cannot hold us past the
    // time-out; the caller gets the socket back in blocking mode.
    set_socket_nonblocking(static_cast<Socket>(s), true);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int started = WSAGetLastError();
        const int error = started == WSAEWOULDBLOCK ? finish_connect(s, timeout_ms) : started;
        if (error != 0)
            return fail_wsa(reason, s, error);
    }
    if (set_socket_nonblocking(static_cast<Socket>(s), false) != 0)
        return fail_wsa(reason, s);
    return static_cast<Socket>(s);
}

Socket listen_socket(const char* host, int port, int backlog, std::string* reason)
{
    sockaddr_in address;
    if (port < 0 || port > 65535)
        return fail(reason, "not a port number");
    if (!ipv4_address(host, port, &address))
        return fail(reason, "not a dotted IPv4 address");
    if (start_sockets(reason) != 0)
        return invalid_socket;
    const SOCKET s = new_stream_socket();
    if (s == INVALID_SOCKET)
        return fail_wsa(reason);
    // Windows lets SO_REUSEADDR take over a port another program listens on; exclusive use
    // is what keeps a second server off the port, and a closed one's old connections do not
    // hold it back here.
    const BOOL on = TRUE;
    if (setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0 ||
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, backlog > 0 ? backlog : SOMAXCONN) != 0 ||
        set_socket_nonblocking(static_cast<Socket>(s), true) != 0)
        return fail_wsa(reason, s);
    return static_cast<Socket>(s);
}

Socket accept_socket(Socket listener, SocketAddress* peer)
{
    sockaddr_in address{};
    int size = sizeof address;
    const SOCKET s = ::accept(handle(listener), reinterpret_cast<sockaddr*>(&address), &size);
    if (s == INVALID_SOCKET)
        return invalid_socket;
    // An accepted socket inherits the listener's non-blocking mode; said again for clarity.
    set_socket_nonblocking(static_cast<Socket>(s), true);
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (peer) {
        peer->address = ntohl(address.sin_addr.s_addr);
        peer->port = ntohs(address.sin_port);
    }
    return static_cast<Socket>(s);
}

int socket_port(Socket socket)
{
    sockaddr_in address{};
    int size = sizeof address;
    if (getsockname(handle(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return -1;
    return ntohs(address.sin_port);
}

int set_socket_nonblocking(Socket socket, bool nonblocking)
{
    u_long mode = nonblocking ? 1 : 0;
    return ioctlsocket(handle(socket), FIONBIO, &mode) == 0 ? 0 : -1;
}

int set_socket_no_delay(Socket socket)
{
    const BOOL on = TRUE;
    return setsockopt(handle(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0
               ? 0
               : -1;
}

int send_socket(Socket socket, const void* bytes, int length)
{
    const int sent = ::send(handle(socket), static_cast<const char*>(bytes), length, 0);
    if (sent >= 0)
        return sent;
    const int error = WSAGetLastError();
    return (error == WSAEWOULDBLOCK || error == WSAEINTR) ? socket_would_block : socket_error;
}

int receive_socket(Socket socket, void* buffer, int capacity)
{
    const int received = ::recv(handle(socket), static_cast<char*>(buffer), capacity, 0);
    if (received >= 0)
        return received;
    const int error = WSAGetLastError();
    return (error == WSAEWOULDBLOCK || error == WSAEINTR) ? socket_would_block : socket_error;
}

int poll_sockets(SocketPoll* entries, int count, int timeout_ms)
{
    if (count <= 0) {
        // WSAPoll refuses an empty set; a wait without sockets is a plain sleep.
        if (timeout_ms > 0)
            Sleep(static_cast<DWORD>(timeout_ms));
        return 0;
    }
    std::vector<WSAPOLLFD> fds(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        fds[i].fd = handle(entries[i].socket);
        fds[i].events =
            static_cast<SHORT>(((entries[i].wanted & socket_readable) ? POLLRDNORM : 0) |
                               ((entries[i].wanted & socket_writable) ? POLLWRNORM : 0));
        fds[i].revents = 0;
    }
    const int ready = WSAPoll(fds.data(), static_cast<ULONG>(count), timeout_ms);
    if (ready < 0)
        return WSAGetLastError() == WSAEINTR ? 0 : -1;
    for (int i = 0; i < count; ++i) {
        unsigned flags = 0;
        if (fds[i].revents & POLLRDNORM)
            flags |= socket_readable;
        if (fds[i].revents & POLLWRNORM)
            flags |= socket_writable;
        if (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL))
            flags |= socket_failed;
        entries[i].ready = flags;
    }
    return ready;
}

void close_socket(Socket socket)
{
    if (socket != invalid_socket)
        closesocket(handle(socket));
}

} // namespace platform
