// The login's messages: SCRAM-SHA-256 (RFC 5802, RFC 7677) for both ends, built from the
// primitives of crypto.h. The secret both ends feed it is the password digest the person
// table holds, so a server can check a proof without the typed password and a client never
// sends either. Which request carries a message, and what a failure shows, is the client
// driver's and the server's business.
#pragma once

#include <string>

namespace remote {

constexpr int scram_iterations = 4096;
constexpr int scram_nonce_bytes = 18; // random bytes in each side's part of the nonce
constexpr int scram_salt_bytes = 16;

// The gs2 headers: no channel binding, and the binding to the server's certificate.
constexpr const char* gs2_unbound = "n,,";
constexpr const char* gs2_server_end_point = "p=tls-server-end-point,,";

// The errors of a server's final message ("e=..."), as the RFC names them.
constexpr const char* scram_invalid_proof = "invalid-proof";
constexpr const char* scram_binding_mismatch = "channel-bindings-dont-match";
constexpr const char* scram_other_error = "other-error";

// A user name as a SCRAM message carries it (',' as "=2C", '=' as "=3D"), and back; the
// latter -1 for a name that is not written so.
std::string scram_escape_name(const std::string& name);
int scram_unescape_name(const std::string& text, std::string* name);

// What a client remembers between its messages.
struct ScramClient {
    std::string gs2_header = gs2_unbound;
    std::string binding_data; // the certificate's hash when bound, else empty
    std::string first_bare;   // "n=USER,r=CNONCE"
    std::string nonce;        // the client's part
    std::string server_signature;
};

// The client's first message for user with nonce (printable, no ','), "n,,n=USER,r=NONCE" or
// with the bound header.
std::string scram_client_first(ScramClient* client, const std::string& user,
                               const std::string& nonce);

// The client's final message with its proof of secret, answering server_first. 0, or -1
// when server_first is not a server's first message that continues our nonce, or asks for
// fewer rounds than the RFC's least (4096).
int scram_client_final(ScramClient* client, const std::string& server_first,
                       const std::string& secret, std::string* final_message);

// Whether server_final proves that the server knows the secret too.
bool scram_server_verified(const ScramClient& client, const std::string& server_final);

// What a server remembers between the client's two messages.
struct ScramServer {
    std::string gs2_header;
    std::string user;       // unescaped
    std::string first_bare; // the client's first message without its gs2 header
    std::string server_first;
    std::string nonce; // the client's part followed by the server's
    std::string salt;  // raw bytes
    int iterations = scram_iterations;
};

// Reads a client's first message into server. 0, or -1 when it is not one this server takes
// (a mandatory extension, an authorization identity, a bad name or nonce).
int scram_read_client_first(const std::string& message, ScramServer* server);

// The server's first message, continuing the client's nonce with server_nonce (printable,
// no ',') and naming salt and the rounds.
std::string scram_server_first(ScramServer* server, const std::string& server_nonce,
                               const std::string& salt, int iterations = scram_iterations);

// Checks the client's final message against secret and binding_data (what the client must
// have bound to: empty for none). Returns 0 with the server's final message ("v=...") in
// *server_final, or -1 with the error to answer ("e=...").
int scram_check_client_final(const ScramServer& server, const std::string& final_message,
                             const std::string& secret, const std::string& binding_data,
                             std::string* server_final);

} // namespace remote
