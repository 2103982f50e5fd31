// The sockets interface over POSIX: IPv4 stream sockets, non-blocking I/O and poll. Sends and
// receives report a byte count, would-block or error; connecting and listening also say why
// they failed, in the system's own words.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool would_block(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int descriptor(Socket socket)
{
    return static_cast<int>(socket);
}

// Fills the caller's reason, when there is one, and gives the failed result back.
Socket fail(std::string* reason, const std::string& why)
{
    if (reason)
        *reason = why;
    return invalid_socket;
}

// The same for a failed system call: its errno in words. Closes fd when there is one.
Socket fail_errno(std::string* reason, int fd = -1)
{
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    return fail(reason, std::strerror(error));
}

// The socket address of a dotted IPv4 address (empty or nullptr: every address) and port;
// false when the text is no such address.
bool ipv4_address(const char* host, int port, sockaddr_in* address)
{
    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_port = htons(static_cast<uint16_t>(port));
    if (!host || !*host) {
        address->sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, host, &address->sin_addr) == 1;
}

// A connect in progress on a non-blocking socket: waits for it within timeout_ms. 0, or the
// errno that tells why it failed.
int finish_connect(int fd, int timeout_ms)
{
    pollfd entry{fd, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return errno;
    if (ready == 0)
        return ETIMEDOUT;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return errno;
    return error;
}

} // namespace

int start_sockets(std::string*)
{
    return 0; // nothing to start on POSIX; sends use MSG_NOSIGNAL instead of a SIGPIPE handler
}

Socket connect_socket(const char* host, int port, int timeout_ms, std::string* reason,
                      const char* from)
{
    sockaddr_in address;
    if (port <= 0 || port > 65535)
        return fail(reason, "not a port number");
    if (!host || !*host || !ipv4_address(host, port, &address))
        return fail(reason, "not a dotted IPv4 address");

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return fail_errno(reason);
    if (from) {
        sockaddr_in local;
        if (!ipv4_address(from, 0, &local)) {
            close_socket(static_cast<Socket>(fd));
            return fail(reason, "not a dotted IPv4 address");
        }
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            return fail_errno(reason, fd);
    }
    // Non-blocking while connecting, so that an unreachable host cannot hold us past the
    // time-out; the caller gets the socket back in blocking mode.
    set_socket_nonblocking(fd, true);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno == EINPROGRESS ? finish_connect(fd, timeout_ms) : errno;
        if (error != 0) {
            errno = error;
            return fail_errno(reason, fd);
        }
    }
    if (set_socket_nonblocking(fd, false) != 0)
        return fail_errno(reason, fd);
    return fd;
}

Socket listen_socket(const char* host, int port, int backlog, std::string* reason)
{
    sockaddr_in address;
    if (port < 0 || port > 65535)
        return fail(reason, "not a port number");
    if (!ipv4_address(host, port, &address))
        return fail(reason, "not a dotted IPv4 address");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return fail_errno(reason);
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog > 0 ? backlog : INT_MAX) != 0 || // the system cuts it to its own
        set_socket_nonblocking(fd, true) != 0)
        return fail_errno(reason, fd);
    return fd;
}

Socket accept_socket(Socket listener, SocketAddress* peer)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    const int fd = ::accept4(descriptor(listener), reinterpret_cast<sockaddr*>(&address), &size,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return invalid_socket;
    if (peer) {
        peer->address = ntohl(address.sin_addr.s_addr);
        peer->port = ntohs(address.sin_port);
    }
    return fd;
}

int socket_port(Socket socket)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(descriptor(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return -1;
    return ntohs(address.sin_port);
}

int set_socket_nonblocking(Socket socket, bool nonblocking)
{
    const int fd = descriptor(socket);
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return -1;
    const int wanted = nonblocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return (wanted == flags || fcntl(fd, F_SETFL, wanted) == 0) ? 0 : -1;
}

int set_socket_no_delay(Socket socket)
{
    const int on = 1;
    return setsockopt(descriptor(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : -1;
}

int send_socket(Socket socket, const void* bytes, int length)
{
    const ssize_t sent =
        ::send(descriptor(socket), bytes, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent >= 0)
        return static_cast<int>(sent);
    return would_block(errno) ? socket_would_block : socket_error;
}

int receive_socket(Socket socket, void* buffer, int capacity)
{
    const ssize_t received = ::recv(descriptor(socket), buffer, static_cast<size_t>(capacity), 0);
    if (received >= 0)
        return static_cast<int>(received);
    return would_block(errno) ? socket_would_block : socket_error;
}

int poll_sockets(SocketPoll* entries, int count, int timeout_ms)
{
    // Most calls watch one socket; the server's pass watches at most twenty-one.
    pollfd small[32];
    std::vector<pollfd> large;
    pollfd* fds = small;
    if (count > 32) {
        large.resize(static_cast<size_t>(count));
        fds = large.data();
    }
    for (int i = 0; i < count; ++i) {
        fds[i].fd = descriptor(entries[i].socket);
        fds[i].events = static_cast<short>(((entries[i].wanted & socket_readable) ? POLLIN : 0) |
                                           ((entries[i].wanted & socket_writable) ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout_ms);
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    for (int i = 0; i < count; ++i) {
        unsigned flags = 0;
        if (fds[i].revents & POLLIN)
            flags |= socket_readable;
        if (fds[i].revents & POLLOUT)
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
        ::close(descriptor(socket));
}

} // namespace platform
