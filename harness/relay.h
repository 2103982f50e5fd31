// A relay between clients and a server on 127.0.0.1, run in a thread of the test's or the
// benchmark's own process. It passes every message on whole; asked to, it adds a delay to
// each message (a network further away), answers every operation but the original four
// with "error" itself (a server from before the page operation), or closes its connections
// (a server that evicts its clients).
#pragma once

#include "platform/sockets.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace remote_testing {

struct Relay {
    int port = 0;        // where clients connect
    int server_port = 0; // where the relay connects for each of them
    int delay_ms = 0;    // added to every message, each way
    bool original_operations_only = false;
    bool capture = false;     // keep every byte passed on, both ways, in captured
    std::mutex captured_mutex;
    std::string captured;
    std::atomic<int> cut{0};  // 1: close every connection now (back to 0 once done)
    std::atomic<int> stop{0}; // 1: close everything and end
    platform::Socket listener = platform::invalid_socket;
    std::thread thread;
};

// Starts relay (its settings filled in) in front of the server at server_port. true when it
// listens; relay->port says where.
bool start_relay(Relay* relay, int server_port);

// Closes the relay's connections, as a server does that evicts its clients, and returns once
// they are closed. New connections are served as before.
void cut_relay_connections(Relay* relay);

// Closes everything and ends the thread.
void stop_relay(Relay* relay);

} // namespace remote_testing
