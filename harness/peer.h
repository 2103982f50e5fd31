// What the remote tests and the benchmarks share: free ports, a raw peer that speaks the wire
// format byte by byte, and real server processes of the program (started and stopped by
// their own process id).
#pragma once

#include "harness/process.h"
#include "platform/sockets.h"
#include "remote/tls.h"

#include <string>
#include <vector>

namespace remote_testing {

// A port nobody listens on right now.
int free_port();

// A blocking socket connected to 127.0.0.1:port without send delay, from the local address
// from (another loopback address stands for another computer), or invalid_socket.
platform::Socket connect_raw(int port, const char* from = nullptr);

// A raw peer's connection: a socket, and the TLS session over it once it has asked for one.
// A plain socket stands for a peer in clear.
struct Peer {
    platform::Socket socket = platform::invalid_socket;
    remote::TlsSession* tls = nullptr;
    std::string binding_data; // the server certificate's hash, for a bound login
    Peer() = default;
    Peer(platform::Socket plain) : socket(plain) {}
};

// A peer connected as connect_raw does that has asked for the encrypted link ("s") and run
// the handshake; its socket is invalid when either failed.
Peer connect_secure(int port, const char* from = nullptr);

// Ends the session and closes the socket.
void close_peer(Peer* peer);

// The bytes of a request exactly as they travel.
std::string request_bytes(int operation_byte, int value, const std::string& payload,
                          int sequence = 1);
bool send_all(const Peer& peer, const std::string& bytes);

// Reads exactly size bytes within timeout_ms; fewer when time ran out or the peer closed.
std::string read_exactly(const Peer& peer, int size, int timeout_ms);

struct Reply {
    bool complete = false; // header and payload arrived in time
    std::string header;    // the 10 raw bytes
    int operation_byte = 0;
    int value = 0;
    std::string payload;
};
Reply read_reply(const Peer& peer, int timeout_ms = 5000);
Reply ask(const Peer& peer, int operation_byte, int value, const std::string& payload);

// Logs the connection in as user with the typed password, as the program's client does
// (bound to the link when it is encrypted).
// The server's last answer: value 2 on success (its signature checked), else 0 with the
// error in the payload; value -1 when the signature is wrong or the server answered no login.
Reply log_in_raw(const Peer& peer, const std::string& user, const std::string& password);

// Creates the tables and the administrator (password "admin") in the database file of
// home, in a process of its own, so that this process keeps its fresh state.
void create_database_in(const std::string& home);

// A server process of the program, run as "server 127.0.0.1:PORT" without a display, with
// HOME set to home. Its error output goes to home/server.err.
struct ServerProcess {
    testing_support::Process process; // ended once its id is -1
    int port = 0;
    int exit_status = -1;             // once it has ended
    std::vector<std::string> options; // before the mode, e.g. "--open" for raw peers
};
// Starts the program on port and returns at once; false when no process could be made.
bool spawn_server_process(const std::string& home, int port, ServerProcess* server);
// Starts the program on port and waits until it accepts connections or has ended. Returns
// true when it listens.
bool start_server_process(const std::string& home, int port, ServerProcess* server);
// Starts one on a free port, trying a few ports when another test took one first.
bool start_server_process(const std::string& home, ServerProcess* server);
// The fingerprint of the key of the server whose database lies in home (made at its first
// start), and the command line of a client of it on port with that key pinned, so that no
// test answers a question about the key by accident.
std::string server_fingerprint(const std::string& home);
std::string client_command_line(const std::string& home, int port);

// Runs the same program with other arguments in home, without a display, its error output
// in error_file (its standard input from input_file, if given), and waits at most timeout_ms:
// its exit status, or -1 (then it is killed).
int run_program(const std::string& home, const std::vector<std::string>& arguments,
                const std::string& error_file, int timeout_ms,
                const std::string& input_file = std::string());
// The exit status once it has ended within timeout_ms, or -1 (then it is killed).
int wait_for_exit(ServerProcess* server, int timeout_ms);
// Sends the termination request and waits for the exit status (see wait_for_exit).
int stop_server_process(ServerProcess* server, int timeout_ms = 15000);
// Freezes the process and returns once it is stopped, as a machine that hangs would; and
// lets it go on. true when it is so.
bool freeze_server_process(ServerProcess* server);
bool thaw_server_process(ServerProcess* server);

} // namespace remote_testing
