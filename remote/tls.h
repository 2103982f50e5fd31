// The encrypted link: TLS 1.3 sessions over the program's own sockets, the server's key and
// certificate, and the fingerprint by which a client knows its server. OpenSSL's libssl does
// the work; nothing outside this file includes it. When a link starts TLS, which messages
// travel inside it and whom a client trusts are the wire's and the client driver's business.
#pragma once

#include "platform/sockets.h"

#include <cstdint>
#include <string>

namespace remote {

// One TLS session on one connection; the socket stays the caller's.
struct TlsSession;

// --- the server's identity ------------------------------------------------------------

// The server's key and certificate, loaded once, for every session it accepts.
struct ServerIdentity {
    std::string fingerprint;  // "SHA256:" and the unpadded base64 of its public key's hash
    std::string binding_data; // SHA-256 of the certificate's DER: what a bound login proves
};

// Loads the certificate and private key from their PEM files; when both are missing and
// make_if_missing, first makes them: an ECDSA P-256 key (readable by its owner only) and a
// self-signed certificate, signed with SHA-256. 0, or -1 with the reason.
int load_server_identity(const std::string& certificate_file, const std::string& key_file,
                         bool make_if_missing, ServerIdentity* identity, std::string* reason);

// The fingerprint of the certificate in file. 0, or -1 with the reason.
int certificate_fingerprint(const std::string& certificate_file, std::string* fingerprint,
                            std::string* reason);

// --- sessions ---------------------------------------------------------------------------

// Server side: a session on socket, whose handshake continue_handshake carries on. Uses the
// identity last loaded. nullptr when the library cannot make one.
TlsSession* accept_session(platform::Socket socket);

// Carries a session's handshake on as far as the socket allows now. 1 once it is done, 0
// while it waits for the socket (*wanted: socket_readable and/or socket_writable), -1 when
// it failed (*reason says why).
int continue_handshake(TlsSession* session, unsigned* wanted, std::string* reason);

// What a client learns of its server in the handshake.
struct ServerPeer {
    std::string fingerprint;
    std::string binding_data; // SHA-256 of its certificate's DER
    bool chain_trusted = false; // chains to the system's trusted roots and names the address
};

// Client side: runs the handshake on socket, to the dotted address host, within
// deadline_ms (of the monotonic clock). The session, with what the server showed in *peer,
// or nullptr with the reason.
TlsSession* connect_session(platform::Socket socket, const char* host, std::int64_t deadline_ms,
                            ServerPeer* peer, std::string* reason);

// Moves bytes as platform::send_socket and receive_socket do: a count, 0 when the peer has
// closed the session (receive only), platform::socket_would_block or platform::socket_error.
int session_send(TlsSession* session, const void* bytes, int length);
int session_receive(TlsSession* session, void* buffer, int capacity);

// Whether the session holds received bytes that no receive has taken yet: the socket shows
// no readiness for them.
bool session_pending(TlsSession* session);

// What the socket must become ready for before the session can move on after a would-block.
unsigned session_wants(TlsSession* session);

// Ends a session and frees it (the socket is left open); nullptr is fine.
void end_session(TlsSession* session);

} // namespace remote
