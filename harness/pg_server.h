// A PostgreSQL server of a test's own (Linux): a cluster made with initdb in a temporary
// folder, started with pg_ctl on 127.0.0.1, a free port and a socket folder of its own, run
// by an unprivileged user when the test runs as root, stopped by its process id. Its
// superuser "vendrel" logs in without a password from this machine.
#pragma once

#include <string>
#include <vector>

namespace pg_testing {

struct PgServer {
    std::string folder; // the cluster, its socket and its log
    int port = 0;
    long long pid = 0;  // the postmaster's
    std::string error;  // why it did not start
    std::string bin;    // the folder of the server's programs
};

// Starts one; false with server->error when PostgreSQL is missing or will not start.
bool start_pg_server(PgServer* server);

// Stops it by its process id, waits until it is gone and removes its folder.
void stop_pg_server(PgServer* server);

// Makes an empty database name on server and returns its connection URI; empty on failure.
std::string make_pg_database(const PgServer& server, const std::string& name);

// The URI of database name on server.
std::string pg_uri(const PgServer& server, const std::string& name);

// The rows sql gives on database name, every value as text, NULL as "NULL"; a failure gives
// one row holding "error: " and what psql said.
using Rows = std::vector<std::vector<std::string>>;
Rows pg_query(const PgServer& server, const std::string& name, const std::string& sql);

} // namespace pg_testing
