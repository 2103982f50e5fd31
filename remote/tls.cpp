// TLS 1.3 over libssl. The library reads and writes through a BIO of ours over the platform's
// sockets, so a session never blocks the server thread (a handshake goes on a piece at a
// time, between the other clients' requests) and nothing here knows a system's socket type.
// Only TLS 1.3 is spoken; the library's configuration file is never read.
#include "remote/tls.h"

#include "platform/platform.h"
#include "remote/crypto.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace remote {

struct TlsSession {
    SSL* ssl = nullptr;
    unsigned wants = platform::socket_readable; // after the last would-block
};

namespace {

SSL_CTX* server_context = nullptr; // the identity last loaded; the server thread's
SSL_CTX* client_context = nullptr; // made at the first connection; the user-interface thread's

void initialise_library()
{
    static const bool done = OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
    (void)done;
}

std::string library_error(const char* what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return what;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return std::string(what) + ": " + text;
}

// --- the socket BIO ----------------------------------------------------------------------

platform::Socket socket_of(BIO* bio)
{
    return static_cast<platform::Socket>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

int bio_write(BIO* bio, const char* bytes, int length)
{
    BIO_clear_retry_flags(bio);
    const int count = platform::send_socket(socket_of(bio), bytes, length);
    if (count == platform::socket_would_block || count == 0) {
        BIO_set_retry_write(bio);
        return -1;
    }
    return count < 0 ? -1 : count;
}

int bio_read(BIO* bio, char* buffer, int capacity)
{
    BIO_clear_retry_flags(bio);
    const int count = platform::receive_socket(socket_of(bio), buffer, capacity);
    if (count == platform::socket_would_block) {
        BIO_set_retry_read(bio);
        return -1;
    }
    return count < 0 ? -1 : count; // 0: the peer closed the connection
}

long bio_control(BIO*, int command, long, void*)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int bio_create(BIO* bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

BIO* socket_bio(platform::Socket socket)
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
        if (made) {
            BIO_meth_set_write(made, bio_write);
            BIO_meth_set_read(made, bio_read);
            BIO_meth_set_ctrl(made, bio_control);
            BIO_meth_set_create(made, bio_create);
        }
        return made;
    }();
    BIO* bio = method ? BIO_new(method) : nullptr;
    if (bio)
        BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(socket)));
    return bio;
}

// A write that would block is taken again from a buffer that may have moved and grown
// meanwhile (the server appends replies behind it), and a write may go out in part.
void set_write_modes(SSL_CTX* context)
{
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
}

TlsSession* new_session(SSL_CTX* context, platform::Socket socket)
{
    SSL* ssl = context ? SSL_new(context) : nullptr;
    BIO* bio = ssl ? socket_bio(socket) : nullptr;
    if (!bio) {
        SSL_free(ssl);
        return nullptr;
    }
    SSL_set_bio(ssl, bio, bio);
    auto* session = new TlsSession;
    session->ssl = ssl;
    return session;
}

// What a would-block of the library waits for; 0 for a real failure.
unsigned wanted_after(TlsSession* session, int result)
{
    switch (SSL_get_error(session->ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return platform::socket_readable;
    case SSL_ERROR_WANT_WRITE:
        return platform::socket_writable;
    default:
        return 0;
    }
}

// --- keys, certificates and their hashes -------------------------------------------------

std::filesystem::path path_of(const std::string& file)
{
    return std::filesystem::path(std::u8string(file.begin(), file.end()));
}

bool read_file(const std::string& file, std::string* text)
{
    std::ifstream in(path_of(file), std::ios::binary);
    if (!in)
        return false;
    std::stringstream bytes;
    bytes << in.rdbuf();
    *text = bytes.str();
    return true;
}

std::string der_hash(int (*encode)(const X509*, unsigned char**), X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = encode(certificate, &der);
    if (length <= 0)
        return std::string();
    std::string hash = sha256(std::string_view(reinterpret_cast<char*>(der), length));
    OPENSSL_free(der);
    return hash;
}

int public_key_der(const X509* certificate, unsigned char** der)
{
    return i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), der);
}

// "SHA256:" and the unpadded base64 of the hash of the certificate's public key, as key
// fingerprints are written: a renewed certificate for the same key keeps it.
std::string fingerprint_of(X509* certificate)
{
    std::string text = base64_encode(der_hash(public_key_der, certificate));
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    return "SHA256:" + text;
}

X509* certificate_from(const std::string& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* certificate = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    return certificate;
}

std::string pem_of(int (*write)(BIO*, void*), void* object)
{
    BIO* bio = BIO_new(BIO_s_mem());
    std::string text;
    if (bio && write(bio, object) == 1) {
        char* data = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        text.assign(data, static_cast<std::size_t>(length));
    }
    BIO_free(bio);
    return text;
}

// A new key and its self-signed certificate, written to the two files. 0, or -1 with why.
int make_identity(const std::string& certificate_file, const std::string& key_file,
                  std::string* reason)
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = X509_new();
    std::string serial;
    bool made = key && certificate && random_bytes(16, &serial) == 0;
    if (made) {
        serial[0] = static_cast<char>(serial[0] & 0x7F); // a positive number
        BIGNUM* number = BN_bin2bn(reinterpret_cast<const unsigned char*>(serial.data()), 16, nullptr);
        X509_NAME* name = X509_get_subject_name(certificate);
        made = number && X509_set_version(certificate, 2) == 1 &&
               BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate)) &&
               X509_gmtime_adj(X509_getm_notBefore(certificate), 0) &&
               X509_time_adj_ex(X509_getm_notAfter(certificate), 100 * 365, 0, nullptr) &&
               X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                          reinterpret_cast<const unsigned char*>("Vendrel server"),
                                          -1, -1, 0) == 1 &&
               X509_set_issuer_name(certificate, name) == 1 &&
               X509_set_pubkey(certificate, key) == 1 &&
               X509_sign(certificate, key, EVP_sha256()) > 0;
        BN_free(number);
    }
    const std::string key_pem = made ? pem_of([](BIO* bio, void* object) {
        return PEM_write_bio_PrivateKey(bio, static_cast<EVP_PKEY*>(object), nullptr, nullptr, 0,
                                        nullptr, nullptr);
    }, key) : std::string();
    const std::string certificate_pem = made ? pem_of([](BIO* bio, void* object) {
        return PEM_write_bio_X509(bio, static_cast<X509*>(object));
    }, certificate) : std::string();
    X509_free(certificate);
    EVP_PKEY_free(key);
    if (key_pem.empty() || certificate_pem.empty()) {
        *reason = library_error("cannot make the server's key");
        return -1;
    }
    // The key file is made for its owner alone before a byte of the key goes in.
    if (platform::create_new_file(key_file, reason) != 0) {
        if (reason->empty())
            *reason = key_file + " is there already";
        return -1;
    }
    std::ofstream(path_of(key_file), std::ios::binary | std::ios::trunc) << key_pem;
    std::ofstream(path_of(certificate_file), std::ios::binary | std::ios::trunc) << certificate_pem;
    return 0;
}

} // namespace

int load_server_identity(const std::string& certificate_file, const std::string& key_file,
                         bool make_if_missing, ServerIdentity* identity, std::string* reason)
{
    initialise_library();
    std::error_code error;
    const bool have_certificate = std::filesystem::exists(path_of(certificate_file), error);
    const bool have_key = std::filesystem::exists(path_of(key_file), error);
    if (!have_certificate && !have_key && make_if_missing &&
        make_identity(certificate_file, key_file, reason) != 0)
        return -1;

    std::string certificate_pem, key_pem;
    if (!read_file(certificate_file, &certificate_pem) || !read_file(key_file, &key_pem)) {
        *reason = "cannot read " + (certificate_pem.empty() ? certificate_file : key_file);
        return -1;
    }
    X509* certificate = certificate_from(certificate_pem);
    BIO* key_bio = BIO_new_mem_buf(key_pem.data(), static_cast<int>(key_pem.size()));
    EVP_PKEY* key = key_bio ? PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(key_bio);
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    const bool loaded = certificate && key && context &&
                        SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION) == 1 &&
                        (set_write_modes(context), true) &&
                        // No session tickets: a client reads nothing it did not ask for.
                        SSL_CTX_set_num_tickets(context, 0) == 1 &&
                        SSL_CTX_use_certificate(context, certificate) == 1 &&
                        SSL_CTX_use_PrivateKey(context, key) == 1 &&
                        SSL_CTX_check_private_key(context) == 1;
    if (loaded) {
        identity->fingerprint = fingerprint_of(certificate);
        identity->binding_data = der_hash(i2d_X509, certificate);
        SSL_CTX_free(server_context);
        server_context = context;
    } else {
        *reason = library_error(("cannot use " + certificate_file + " with " + key_file).c_str());
        SSL_CTX_free(context);
    }
    X509_free(certificate);
    EVP_PKEY_free(key);
    return loaded ? 0 : -1;
}

int certificate_fingerprint(const std::string& certificate_file, std::string* fingerprint,
                            std::string* reason)
{
    initialise_library();
    std::string pem;
    if (!read_file(certificate_file, &pem)) {
        *reason = "cannot read " + certificate_file;
        return -1;
    }
    X509* certificate = certificate_from(pem);
    if (!certificate) {
        *reason = certificate_file + " holds no certificate";
        return -1;
    }
    *fingerprint = fingerprint_of(certificate);
    X509_free(certificate);
    return 0;
}

TlsSession* accept_session(platform::Socket socket)
{
    TlsSession* session = new_session(server_context, socket);
    if (session)
        SSL_set_accept_state(session->ssl);
    return session;
}

int continue_handshake(TlsSession* session, unsigned* wanted, std::string* reason)
{
    const int result = SSL_do_handshake(session->ssl);
    if (result == 1)
        return 1;
    *wanted = wanted_after(session, result);
    if (*wanted != 0)
        return 0;
    *reason = library_error("the handshake failed");
    return -1;
}

TlsSession* connect_session(platform::Socket socket, const char* host, std::int64_t deadline_ms,
                            ServerPeer* peer, std::string* reason)
{
    initialise_library();
    if (!client_context) {
        client_context = SSL_CTX_new(TLS_client_method());
        if (client_context) {
            SSL_CTX_set_min_proto_version(client_context, TLS1_3_VERSION);
            set_write_modes(client_context);
            SSL_CTX_set_default_verify_paths(client_context);
            // Who the server is, the client driver judges: by the roots and the address, or
            // by the fingerprint it knows.
            SSL_CTX_set_verify(client_context, SSL_VERIFY_NONE, nullptr);
        }
    }
    TlsSession* session = new_session(client_context, socket);
    if (!session) {
        *reason = library_error("cannot start TLS");
        return nullptr;
    }
    SSL_set_connect_state(session->ssl);
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session->ssl), host);
    for (;;) {
        unsigned wanted = 0;
        const int step = continue_handshake(session, &wanted, reason);
        if (step == 1)
            break;
        const std::int64_t left = deadline_ms - platform::monotonic_ms();
        if (step < 0 || left <= 0) {
            if (step == 0)
                *reason = "the server did not finish the handshake in time";
            end_session(session);
            return nullptr;
        }
        platform::SocketPoll entry{socket, wanted, 0};
        platform::poll_sockets(&entry, 1, static_cast<int>(left < 100 ? left : 100));
    }
    X509* certificate = SSL_get1_peer_certificate(session->ssl);
    if (!certificate) {
        *reason = "the server showed no certificate";
        end_session(session);
        return nullptr;
    }
    peer->fingerprint = fingerprint_of(certificate);
    peer->binding_data = der_hash(i2d_X509, certificate);
    peer->chain_trusted = SSL_get_verify_result(session->ssl) == X509_V_OK;
    X509_free(certificate);
    return session;
}

int session_send(TlsSession* session, const void* bytes, int length)
{
    if (length <= 0)
        return 0;
    const int result = SSL_write(session->ssl, bytes, length);
    if (result > 0)
        return result;
    session->wants = wanted_after(session, result);
    ERR_clear_error();
    return session->wants != 0 ? platform::socket_would_block : platform::socket_error;
}

int session_receive(TlsSession* session, void* buffer, int capacity)
{
    const int result = SSL_read(session->ssl, buffer, capacity);
    if (result > 0)
        return result;
    if (SSL_get_error(session->ssl, result) == SSL_ERROR_ZERO_RETURN)
        return 0;
    session->wants = wanted_after(session, result);
    ERR_clear_error();
    return session->wants != 0 ? platform::socket_would_block : platform::socket_error;
}

bool session_pending(TlsSession* session)
{
    return session && SSL_pending(session->ssl) > 0;
}

unsigned session_wants(TlsSession* session)
{
    return session ? session->wants : platform::socket_readable;
}

void end_session(TlsSession* session)
{
    if (!session)
        return;
    SSL_free(session->ssl);
    delete session;
}

} // namespace remote
