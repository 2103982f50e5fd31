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

// Further servers of the same database, tried in turn after the one the driver was installed
// with whenever a connection cannot be made; called before install_client_driver.
void add_alternative_server(const std::string& host, int port);

// How a client's login to its server went.
enum class ServerLogin {
    ok,                // logged in; the connection, and every one made later, carries it
    not_offered,       // the server predates logins: it serves anybody, and the caller checks
    unknown_user,      // nobody of that name may log in
    no_password,       // that person has no password
    wrong_password,    // the proof was wrong
    too_many_attempts, // this address failed too often lately
    failed,            // the exchange failed, or the server could not prove it knows the digest
    // Before the login: nothing of it has been sent.
    unknown_server,     // a server key this user has never accepted (offered_fingerprint)
    server_changed,     // a key other than the one accepted or pinned for this server
    unencrypted_server, // a server from before encryption that this user has never seen
    server_downgraded,  // a server known to encrypt that now does not
};

// What a client trusts. Written before install_client_driver (the fingerprint) or by the
// login after asking the user.
struct ClientSettings {
    std::string pinned_fingerprint;   // accepted without a question, and no other key
    bool unencrypted_allowed = false; // for this session: the user agreed to a server in clear
};

extern ClientSettings client_settings;

// The server of the client, "ADDRESS:PORT", for what the user is told.
std::string client_server_name();

// Asks the server for its change number (operation n), one exchange, on the connection
// there is (it makes none). 1 with *number, 0 when the server of this connection has no
// such operation (ask something else), -1 without a connection or when the exchange failed.
int client_change_number(std::string* number);

// The fingerprint of the key the server showed when the login said unknown_server.
std::string offered_fingerprint();

// Keeps that key as this server's in the user's settings; the next login goes on with it.
// 0, or -1 when the settings cannot be written.
int trust_offered_server();

// Logs in to the server as user, with the digest of the typed password as the secret, on a
// connection that carries no login yet. Client mode only, on the user-interface thread.
ServerLogin log_in_to_server(const std::string& user, const std::string& digest);

// How the server serves. Process-wide; written before start_server.
struct ServerSettings {
    // Serve peers in clear that have not logged in, as the original wire did, digests and
    // all; the program's own clients still encrypt and log in. Off, every statement waits
    // for an encrypted link and a login.
    bool open = false;
    // The server's certificate and key (PEM files); made at the first start when both are
    // missing and make_identity is set.
    std::string certificate_file;
    std::string key_file;
    bool make_identity = true;
};

extern ServerSettings server_settings;

// The server's own key and certificate, beside its database unless named otherwise.
constexpr const char* server_certificate_name = "vendrel-server.crt";
constexpr const char* server_key_name = "vendrel-server.key";

// The file name in the folder of the database file database; beside_database: of the one
// the instance opened (store::database_path).
std::string file_beside(const std::string& database, const char* name);
std::string beside_database(const char* name);

// Starts the server on address (dotted IPv4; empty for every address) and port, and returns
// once it listens; 0, or -1 when it cannot listen there (in use, not permitted, not a port
// at all), with the system's reason in *reason.
int start_server(const char* address, int port, std::string* reason = nullptr);

// Stops a running server: finalizes its clients' statements and closes its sockets, so
// that the database can be closed. 0, or -1 when it did not stop in time.
int stop_server();

} // namespace remote
