// The relay: one thread, every connection a pair of sockets, messages passed on whole; once a
// server has answered "s", the TLS records that follow are passed on as they come.
#include "harness/relay.h"

#include "harness/peer.h"
#include "platform/platform.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace remote_testing {

namespace {

// One client's connection and the relay's own to the server for it, each with what has
// come in and is not yet a whole message.
struct Pair {
    platform::Socket client = platform::invalid_socket;
    platform::Socket server = platform::invalid_socket;
    std::string from_client;
    std::string from_server;
    bool encrypted = false; // from the server's answer to "s" on
};

// The length of the whole message at the front of bytes, or 0 while it is incomplete.
std::size_t whole_message(const std::string& bytes)
{
    if (bytes.size() < 10)
        return 0;
    const std::size_t length =
        (static_cast<unsigned char>(bytes[4]) << 8) | static_cast<unsigned char>(bytes[5]);
    const std::size_t size = 6 + (length < 4 ? 4 : length);
    return bytes.size() >= size ? size : 0;
}

bool is_original_operation(int operation_byte)
{
    return operation_byte == 'J' || operation_byte == 'K' || operation_byte == 'L' ||
           operation_byte == 'V';
}

// Reads what socket has into bytes; false when it has closed.
bool take_in(platform::Socket socket, std::string* bytes)
{
    char buffer[65536];
    const int count = platform::receive_socket(socket, buffer, sizeof buffer);
    if (count > 0)
        bytes->append(buffer, static_cast<std::size_t>(count));
    return count > 0 || count == platform::socket_would_block;
}

// Sends bytes on to socket, keeping a copy when the relay captures; false when it failed.
bool forward(Relay* relay, platform::Socket socket, const std::string& bytes)
{
    if (relay->capture) {
        std::lock_guard<std::mutex> lock(relay->captured_mutex);
        relay->captured += bytes;
    }
    return send_all(socket, bytes);
}

// Passes on what has come of an encrypted pair, each way as it came.
bool pass_on_encrypted(Relay* relay, Pair* pair)
{
    for (auto [from, to] : {std::pair{&pair->from_client, pair->server},
                            std::pair{&pair->from_server, pair->client}}) {
        if (from->empty())
            continue;
        if (relay->delay_ms > 0)
            platform::sleep_ms(relay->delay_ms);
        if (!forward(relay, to, *from))
            return false;
        from->clear();
    }
    return true;
}

// Passes on the whole messages of pair; false when a side has gone.
bool pass_on(Relay* relay, Pair* pair)
{
    if (pair->encrypted)
        return pass_on_encrypted(relay, pair);
    for (std::size_t size; (size = whole_message(pair->from_client)) > 0;) {
        std::string message = pair->from_client.substr(0, size);
        pair->from_client.erase(0, size);
        const int operation = static_cast<unsigned char>(message[7]);
        const int value =
            (static_cast<unsigned char>(message[8]) << 8) | static_cast<unsigned char>(message[9]);
        if (relay->delay_ms > 0)
            platform::sleep_ms(relay->delay_ms);
        if (relay->original_operations_only && !is_original_operation(operation)) {
            if (!send_all(pair->client, request_bytes(operation, value, "error", 0)))
                return false;
        } else if (!forward(relay, pair->server, message)) {
            return false;
        }
    }
    for (std::size_t size; (size = whole_message(pair->from_server)) > 0;) {
        if (relay->delay_ms > 0)
            platform::sleep_ms(relay->delay_ms);
        const std::string message = pair->from_server.substr(0, size);
        pair->from_server.erase(0, size);
        if (!forward(relay, pair->client, message))
            return false;
        const int value =
            (static_cast<unsigned char>(message[8]) << 8) | static_cast<unsigned char>(message[9]);
        if (message[7] == 's' && value == 1) {
            pair->encrypted = true;
            return pass_on_encrypted(relay, pair);
        }
    }
    return true;
}

void close_pair(Pair* pair)
{
    platform::close_socket(pair->client);
    platform::close_socket(pair->server);
}

void run_relay(Relay* relay)
{
    std::vector<Pair> pairs;
    while (relay->stop.load() == 0) {
        if (relay->cut.load() != 0) {
            for (Pair& pair : pairs)
                close_pair(&pair);
            pairs.clear();
            relay->cut.store(0);
        }
        std::vector<platform::SocketPoll> entries{{relay->listener, platform::socket_readable, 0}};
        for (const Pair& pair : pairs) {
            entries.push_back({pair.client, platform::socket_readable, 0});
            entries.push_back({pair.server, platform::socket_readable, 0});
        }
        if (platform::poll_sockets(entries.data(), static_cast<int>(entries.size()), 20) <= 0)
            continue;
        for (std::size_t i = 0; i < pairs.size();) {
            Pair& pair = pairs[i];
            const platform::SocketPoll& client = entries[1 + 2 * i];
            const platform::SocketPoll& server = entries[2 + 2 * i];
            const bool open = (!client.ready || take_in(pair.client, &pair.from_client)) &&
                              (!server.ready || take_in(pair.server, &pair.from_server)) &&
                              pass_on(relay, &pair);
            if (open) {
                ++i;
                continue;
            }
            close_pair(&pair);
            pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(i));
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(1 + 2 * i),
                          entries.begin() + static_cast<std::ptrdiff_t>(3 + 2 * i));
        }
        // Taken last: a pair made now has no place in this round's entries.
        if (entries[0].ready) {
            Pair pair;
            pair.client = platform::accept_socket(relay->listener, nullptr);
            pair.server = connect_raw(relay->server_port);
            if (pair.client != platform::invalid_socket) {
                platform::set_socket_nonblocking(pair.client, false);
                platform::set_socket_no_delay(pair.client);
            }
            if (pair.client != platform::invalid_socket && pair.server != platform::invalid_socket)
                pairs.push_back(pair);
            else
                close_pair(&pair);
        }
    }
    for (Pair& pair : pairs)
        close_pair(&pair);
}

} // namespace

bool start_relay(Relay* relay, int server_port)
{
    relay->server_port = server_port;
    relay->listener = platform::listen_socket("127.0.0.1", 0, platform::largest_backlog);
    if (relay->listener == platform::invalid_socket)
        return false;
    relay->port = platform::socket_port(relay->listener);
    relay->stop.store(0);
    relay->cut.store(0);
    relay->thread = std::thread(run_relay, relay);
    return true;
}

void cut_relay_connections(Relay* relay)
{
    relay->cut.store(1);
    while (relay->cut.load() != 0)
        platform::sleep_ms(5);
}

void stop_relay(Relay* relay)
{
    relay->stop.store(1);
    if (relay->thread.joinable())
        relay->thread.join();
    platform::close_socket(relay->listener);
    relay->listener = platform::invalid_socket;
}

} // namespace remote_testing
