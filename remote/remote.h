// What the start-up of the program asks of the remote link: the tick clock in every mode,
// the client binding of the database table, and the server. The parts themselves live in
// tick_clock, transport, wire, client_driver, handles and server.
#pragma once

#include <string>

namespace remote {

// Starts the tick clock and returns once its thread runs; 0, or -1 when it cannot start.
int start_tick_clock();

// Binds the database table to the remote substitutes, connected to host at port. Returns 1
// when connected, 0 when the server cannot be reached, -1 when sockets cannot be used; on
// failure *reason says why.
int install_client_driver(const char* host, int port, std::string* reason = nullptr);

// Starts the server on address (dotted IPv4; empty for every address) and port, and returns
// once it listens; 0, or -1 when it cannot listen there (in use, not permitted, not a port
// at all), with the system's reason in *reason.
int start_server(const char* address, int port, std::string* reason = nullptr);

// Stops a running server: finalizes its clients' statements and closes its sockets, so
// that the database can be closed. 0, or -1 when it did not stop in time.
int stop_server();

} // namespace remote
