// The test peers: raw wire-format clients and server processes of the program.
#include "harness/peer.h"

#include "remote/crypto.h"
#include "remote/remote.h"
#include "remote/transport.h"
#include "remote/scram.h"
#include "util/md5.h"

#include "harness/home.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>

#ifndef VENDREL_SERVER_PROGRAM
#error "VENDREL_SERVER_PROGRAM names the program the end-to-end tests run as a server"
#endif

namespace remote_testing {

int free_port()
{
    const platform::Socket listener = platform::listen_socket(nullptr, 0, 1);
    const int port = platform::socket_port(listener);
    platform::close_socket(listener);
    return port;
}

platform::Socket connect_raw(int port, const char* from)
{
    const platform::Socket socket = platform::connect_socket("127.0.0.1", port, 3000, nullptr, from);
    if (socket != platform::invalid_socket)
        platform::set_socket_no_delay(socket);
    return socket;
}

std::string request_bytes(int operation_byte, int value, const std::string& payload, int sequence)
{
    const int length = static_cast<int>(payload.size()) + 4;
    std::string bytes = {char(sequence >> 8), char(sequence), 0, 0,
                         char(length >> 8),   char(length),   0, char(operation_byte),
                         char(value >> 8),    char(value)};
    return bytes + payload;
}

Peer connect_secure(int port, const char* from)
{
    Peer peer = connect_raw(port, from);
    if (peer.socket == platform::invalid_socket)
        return peer;
    const Reply answer = ask(peer, 's', 0, "");
    remote::ServerPeer server;
    std::string reason;
    if (answer.value == 1)
        peer.tls = remote::connect_session(peer.socket, "127.0.0.1",
                                           platform::monotonic_ms() + 10000, &server, &reason);
    if (!peer.tls) {
        close_peer(&peer);
        return peer;
    }
    peer.binding_data = server.binding_data;
    return peer;
}

void close_peer(Peer* peer)
{
    remote::end_session(peer->tls);
    peer->tls = nullptr;
    platform::close_socket(peer->socket);
    peer->socket = platform::invalid_socket;
}

bool send_all(const Peer& peer, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int count = remote::channel_send(peer.socket, peer.tls, bytes.data() + sent,
                                               static_cast<int>(bytes.size() - sent));
        if (count <= 0)
            return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

std::string read_exactly(const Peer& peer, int size, int timeout_ms)
{
    std::string bytes;
    const int64_t end = platform::monotonic_ms() + timeout_ms;
    char buffer[4096];
    while (static_cast<int>(bytes.size()) < size) {
        const int64_t left = end - platform::monotonic_ms();
        if (left <= 0)
            break;
        platform::SocketPoll entry{peer.socket, platform::socket_readable, 0};
        if (!remote::session_pending(peer.tls) &&
            platform::poll_sockets(&entry, 1, static_cast<int>(left)) <= 0)
            continue;
        const int wanted = std::min<int>(size - static_cast<int>(bytes.size()), sizeof buffer);
        const int count = remote::channel_receive(peer.socket, peer.tls, buffer, wanted);
        if (count == platform::socket_would_block)
            continue; // a record of the session's own
        if (count <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

Reply read_reply(const Peer& peer, int timeout_ms)
{
    Reply reply;
    reply.header = read_exactly(peer, 10, timeout_ms);
    if (reply.header.size() != 10)
        return reply;
    const auto byte = [&](int i) { return static_cast<unsigned char>(reply.header[i]); };
    const int length = (byte(4) << 8) | byte(5);
    reply.operation_byte = byte(7);
    reply.value = (byte(8) << 8) | byte(9);
    const int size = length > 4 ? length - 4 : 0;
    reply.payload = read_exactly(peer, size, timeout_ms);
    reply.complete = static_cast<int>(reply.payload.size()) == size;
    return reply;
}

Reply ask(const Peer& peer, int operation_byte, int value, const std::string& payload)
{
    if (!send_all(peer, request_bytes(operation_byte, value, payload)))
        return Reply{};
    return read_reply(peer);
}

Reply log_in_raw(const Peer& peer, const std::string& user, const std::string& password)
{
    char digest[33];
    util::hash_password(password.c_str(), digest);
    std::string nonce;
    remote::random_bytes(remote::scram_nonce_bytes, &nonce);
    remote::ScramClient client;
    if (peer.tls) {
        client.gs2_header = remote::gs2_server_end_point;
        client.binding_data = peer.binding_data;
    }
    Reply reply = ask(peer, 'a', 1, remote::scram_client_first(&client, user,
                                                                 remote::base64_encode(nonce)));
    std::string final_message;
    if (reply.value != 1)
        return reply;
    if (remote::scram_client_final(&client, reply.payload, digest, &final_message) != 0) {
        reply.value = -1;
        return reply;
    }
    reply = ask(peer, 'a', 2, final_message);
    if (reply.value == 2 && !remote::scram_server_verified(client, reply.payload))
        reply.value = -1;
    return reply;
}

std::string server_fingerprint(const std::string& home)
{
    std::string fingerprint;
    std::string reason;
    remote::certificate_fingerprint(home + "/Documents/" + remote::server_certificate_name,
                                    &fingerprint, &reason);
    return fingerprint;
}

std::string client_command_line(const std::string& home, int port)
{
    return "client --fingerprint " + server_fingerprint(home) + " 127.0.0.1:" +
           std::to_string(port);
}

void create_database_in(const std::string& home)
{
    testing_support::Process helper;
    int status = -1;
    if (!testing_support::start_process(VENDREL_DATABASE_PROGRAM, {},
                                        testing_support::home_environment(home), "", &helper) ||
        !testing_support::wait_process(&helper, 60000, &status) || status != 0)
        std::abort();
}

bool spawn_server_process(const std::string& home, int port, ServerProcess* server)
{
    server->port = port;
    // Bound to the loopback address only: a test's server is nobody else's.
    std::vector<std::string> arguments = server->options;
    arguments.insert(arguments.end(), {"server", "127.0.0.1:" + std::to_string(port)});
    return testing_support::start_process(VENDREL_SERVER_PROGRAM, arguments,
                                          testing_support::home_environment(home),
                                          home + "/server.err", &server->process);
}

int run_program(const std::string& home, const std::vector<std::string>& arguments,
                const std::string& error_file, int timeout_ms, const std::string& input_file)
{
    testing_support::Process program;
    if (!testing_support::start_process(VENDREL_SERVER_PROGRAM, arguments,
                                        testing_support::home_environment(home), error_file,
                                        &program, input_file))
        return -1;
    int status = -1;
    if (!testing_support::wait_process(&program, timeout_ms, &status))
        testing_support::kill_process(&program);
    return status;
}

bool start_server_process(const std::string& home, int port, ServerProcess* server)
{
    if (!spawn_server_process(home, port, server))
        return false;
    const int64_t end = platform::monotonic_ms() + 10000;
    while (platform::monotonic_ms() < end) {
        if (testing_support::wait_process(&server->process, 0, &server->exit_status))
            return false;
        const platform::Socket probe = connect_raw(port);
        if (probe != platform::invalid_socket) {
            platform::close_socket(probe);
            return true;
        }
        platform::sleep_ms(20);
    }
    stop_server_process(server, 1000);
    return false;
}

bool start_server_process(const std::string& home, ServerProcess* server)
{
    for (int attempt = 0; attempt < 5; ++attempt)
        if (start_server_process(home, free_port(), server))
            return true;
    return false;
}

int wait_for_exit(ServerProcess* server, int timeout_ms)
{
    if (server->process.id <= 0)
        return -1;
    if (!testing_support::wait_process(&server->process, timeout_ms, &server->exit_status)) {
        testing_support::kill_process(&server->process);
        return -1;
    }
    return server->exit_status;
}

int stop_server_process(ServerProcess* server, int timeout_ms)
{
    if (server->process.id <= 0)
        return -1;
    testing_support::request_stop(&server->process);
    return wait_for_exit(server, timeout_ms);
}

bool freeze_server_process(ServerProcess* server)
{
    return testing_support::freeze_process(&server->process);
}

bool thaw_server_process(ServerProcess* server)
{
    return testing_support::thaw_process(&server->process);
}

} // namespace remote_testing
