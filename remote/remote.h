// What first initialisation asks of the remote link: the tick clock in every mode, the
// client binding of the database table, and the server.
#pragma once

namespace remote {

// Starts the tick clock and returns once its thread runs; 0, or -1 when it cannot start.
int start_tick_clock();

// Binds the database table to the remote substitutes, connected to host at port. Returns 1
// when connected, 0 when the server cannot be reached, -1 when sockets cannot be used.
int install_client_driver(const char* host, int port);

// Starts the server on port and returns once its thread runs; 0, or -1 when it cannot.
int start_server(int port);

} // namespace remote
