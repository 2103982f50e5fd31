// What the remote tests and the benchmarks share: free ports, a raw peer that speaks the wire
// format byte by byte, and real server processes of the program (started and stopped by
// their own process id).
#pragma once

#include "harness/process.h"
#include "platform/sockets.h"

#include <string>
#include <vector>

namespace remote_testing {

// A port nobody listens on right now.
int free_port();

// A blocking socket connected to 127.0.0.1:port without send delay, or invalid_socket.
platform::Socket connect_raw(int port);

// The bytes of a request exactly as they travel.
std::string request_bytes(int operation_byte, int value, const std::string& payload,
                          int sequence = 1);
bool send_all(platform::Socket socket, const std::string& bytes);

// Reads exactly size bytes within timeout_ms; fewer when time ran out or the peer closed.
std::string read_exactly(platform::Socket socket, int size, int timeout_ms);

struct Reply {
    bool complete = false; // header and payload arrived in time
    std::string header;    // the 10 raw bytes
    int operation_byte = 0;
    int value = 0;
    std::string payload;
};
Reply read_reply(platform::Socket socket, int timeout_ms = 5000);
Reply ask(platform::Socket socket, int operation_byte, int value, const std::string& payload);

// Creates the tables and the administrator (password "admin") in the database file of
// home, in a process of its own, so that this process keeps its fresh state.
void create_database_in(const std::string& home);

// A server process of the program, run as "server 127.0.0.1:PORT" without a display, with
// HOME set to home. Its error output goes to home/server.err.
struct ServerProcess {
    testing_support::Process process; // ended once its id is -1
    int port = 0;
    int exit_status = -1; // once it has ended
};
// Starts the program on port and returns at once; false when no process could be made.
bool spawn_server_process(const std::string& home, int port, ServerProcess* server);
// Starts the program on port and waits until it accepts connections or has ended. Returns
// true when it listens.
bool start_server_process(const std::string& home, int port, ServerProcess* server);
// Starts one on a free port, trying a few ports when another test took one first.
bool start_server_process(const std::string& home, ServerProcess* server);
// Runs the same program with other arguments in home, without a display, its error output
// in error_file, and waits at most timeout_ms: its exit status, or -1 (then it is killed).
int run_program(const std::string& home, const std::vector<std::string>& arguments,
                const std::string& error_file, int timeout_ms);
// The exit status once it has ended within timeout_ms, or -1 (then it is killed).
int wait_for_exit(ServerProcess* server, int timeout_ms);
// Sends the termination request and waits for the exit status (see wait_for_exit).
int stop_server_process(ServerProcess* server, int timeout_ms = 15000);
// Freezes the process and returns once it is stopped, as a machine that hangs would; and
// lets it go on. true when it is so.
bool freeze_server_process(ServerProcess* server);
bool thaw_server_process(ServerProcess* server);

} // namespace remote_testing
