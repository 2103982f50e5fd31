// The client driver: every database call of the dialogs becomes one request to the
// server. The connection is made at start-up and kept while it works; after any failed
// exchange, and when the server has closed it, it is dropped and made again for the next
// request, and the statements of the old connection fail as a failed step would.
#include "remote/client_driver.h"

#include "platform/platform.h"

#include "remote/crypto.h"
#include "remote/known_servers.h"
#include "remote/remote.h"
#include "remote/scram.h"
#include "remote/tls.h"
#include "remote/wire.h"
#include "store/session.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

namespace remote {

RemoteLink remote_link;
bool pages_wanted = true;
bool encryption_wanted = true;
ClientSettings client_settings;

namespace {

std::uint64_t exchanges = 0;

// The numbers of the statements the current connection holds (serial live_serial). A server
// never gives a live number again; one that does has lost the statement we hold under it.
std::unordered_set<int> live_handles;
int live_serial = 0;

void forget_old_handles()
{
    if (live_serial != remote_link.serial) {
        live_handles.clear();
        live_serial = remote_link.serial;
    }
}

std::string client_host; // the server of the connection, one of servers
int client_port = 0;
struct ServerAddress {
    std::string host;
    int port;
};
std::vector<ServerAddress> alternatives; // given before installing
std::vector<ServerAddress> servers;      // the one installed with, then the alternatives
std::size_t current_server = 0;
std::string* connect_reason = nullptr; // where client_open says why it failed, while installing

RemoteStatement* as_remote(store::DbStatement* statement)
{
    return reinterpret_cast<RemoteStatement*>(statement);
}

// A statement of a connection that has been dropped is gone on the server as well.
bool usable(const RemoteStatement* statement)
{
    return statement && statement->remote_handle != 0 && statement->valid != 0 &&
           statement->link_serial == remote_link.serial;
}

ServerLogin log_in_on_link(const std::string& user, const std::string& digest);
int exchange(const WireMessage& request, WireMessage* reply, bool value_checked);

// Why the last connection was given up before anything but "s" was sent, and the key an
// unknown server showed.
ServerLogin link_trouble = ServerLogin::ok;
std::string offered_key;

// Whether fingerprint is the key this user accepted for another server of the list.
bool accepted_for_another_server(const std::string& fingerprint)
{
    for (const ServerAddress& other : servers)
        if ((other.host != client_host || other.port != client_port) && !fingerprint.empty() &&
            known_fingerprint(other.host + ":" + std::to_string(other.port)) == fingerprint)
            return true;
    return false;
}

// Starts the encrypted link on a new connection, and judges the key the server shows: the
// one pinned, else one that chains to the system's roots for this address, else the one the
// user accepted before. A server that answers "s" as an unknown operation predates
// encryption: used in clear only when it never encrypted before and the user agreed. 0, or
// -1 with link_trouble saying why (nothing more has been sent).
int start_encryption()
{
    if (!encryption_wanted)
        return 0;
    link_trouble = ServerLogin::failed;
    char reply[8];
    WireMessage request{op_tls, 0, 0, nullptr, 0};
    WireMessage answer{0, 0, 0, reply, static_cast<int>(sizeof reply)};
    reply[0] = 0;
    if (exchange(request, &answer, false) != 0)
        return -1;
    const std::string server = client_server_name();
    const std::string expected = !client_settings.pinned_fingerprint.empty()
                                     ? client_settings.pinned_fingerprint
                                     : known_fingerprint(server);
    if (answer.value != 1) {
        if (answer.value == 0 && std::strcmp(reply, error_text) == 0) {
            if (!expected.empty())
                link_trouble = ServerLogin::server_downgraded;
            else if (!client_settings.unencrypted_allowed)
                link_trouble = ServerLogin::unencrypted_server;
            else
                return 0;
        }
        return -1;
    }
    // The handshake's first byte is the server's answer to ours: nothing may lie between.
    if (answer.payload_size != 0 || remote_link.input_filled != 0)
        return -1;
    ServerPeer peer;
    std::string reason;
    const std::int64_t deadline = platform::monotonic_ms() + 1000LL * default_wait_ticks;
    TlsSession* session =
        connect_session(remote_link.socket, client_host.c_str(), deadline, &peer, &reason);
    if (!session)
        return -1;
    bool trusted = expected.empty() ? peer.chain_trusted : peer.fingerprint == expected;
    // A server of the list that shows the key this user accepted for another of the list is
    // that office's server too: it is kept as known, and asked about no more.
    if (!trusted && expected.empty() && accepted_for_another_server(peer.fingerprint)) {
        remember_server(server, peer.fingerprint);
        trusted = true;
    }
    if (!trusted) {
        end_session(session);
        offered_key = peer.fingerprint;
        link_trouble = expected.empty() ? ServerLogin::unknown_server : ServerLogin::server_changed;
        return -1;
    }
    remote_link.tls = session;
    remote_link.binding_data = peer.binding_data;
    link_trouble = ServerLogin::ok;
    return 0;
}

// Set when the server refused the login kept for reconnecting (the password changed, the
// person was removed): asking again would only count as a guess. An explicit login clears it.
bool kept_login_refused = false;

// Makes the connection to the current server anew, logged in again as the session's person
// when somebody has logged in, so that the request that needed the connection never sees the
// difference.
bool reconnect_here(bool with_login)
{
    link_trouble = ServerLogin::failed;
    if (connect_to_server(&remote_link, client_host.c_str(), client_port, connect_reason) != 0)
        return false;
    if (start_encryption() != 0) {
        drop_connection(&remote_link);
        return false;
    }
    if (!with_login || store::login_name.empty() || kept_login_refused)
        return true;
    switch (log_in_on_link(store::login_name, store::login_digest)) {
    case ServerLogin::ok:
    case ServerLogin::not_offered:
        return true;
    case ServerLogin::unknown_user:
    case ServerLogin::wrong_password:
    case ServerLogin::no_password:
        kept_login_refused = true;
        break;
    default:
        break;
    }
    drop_connection(&remote_link);
    return false;
}

// The same with the current server, and when it cannot be reached, with each other server in
// turn; the first that answers becomes the current one. A server that answers but is not
// trusted, or refuses the login, ends the search: the user is told about that one.
bool reconnect(bool with_login)
{
    const std::size_t count = servers.empty() ? 1 : servers.size();
    for (std::size_t tried = 0; tried < count; ++tried) {
        if (tried > 0) {
            current_server = (current_server + 1) % count;
            client_host = servers[current_server].host;
            client_port = servers[current_server].port;
        }
        if (reconnect_here(with_login))
            return true;
        if (link_trouble != ServerLogin::failed)
            return false;
    }
    return false;
}

// Whether what made an idle encrypted connection readable was the session's own business (a
// record without data for us); a byte of data, the end of the session, or a connection
// without a session means the link is not as we left it.
bool only_session_records()
{
    if (!remote_link.tls)
        return false;
    char byte;
    return session_receive(remote_link.tls, &byte, 1) == platform::socket_would_block;
}

// Whether the link can carry a request now. A connection that the server has closed (it
// evicts idle clients), or that holds bytes nobody asked for, is dropped; a dropped one is
// made again, and logged in again (unless with_login is false: the login itself asks).
bool link_ready(bool with_login = true)
{
    if (remote_link.socket != platform::invalid_socket) {
        platform::SocketPoll entry{remote_link.socket, platform::socket_readable, 0};
        if (remote_link.input_filled > 0 || session_pending(remote_link.tls) ||
            (platform::poll_sockets(&entry, 1, 0) != 0 && !only_session_records()))
            drop_connection(&remote_link);
    }
    return remote_link.socket != platform::invalid_socket || reconnect(with_login);
}

// Every request of the driver, and its reply, which must be of the same operation (and of
// the same value, when value_checked). After any failure the connection is dropped, so that
// a reply that comes late can never be taken for the answer to a later request. 0, or -1.
int exchange(const WireMessage& request, WireMessage* reply, bool value_checked)
{
    ++exchanges;
    if (exchange_request(&remote_link, request, reply) == 0 &&
        reply->operation == request.operation && (!value_checked || reply->value == request.value))
        return 0;
    drop_connection(&remote_link);
    return -1;
}

int initialize_nothing()
{
    return 1;
}

int close_nothing(store::DbConnection*)
{
    return store::db_ok; // the connection stays open for the life of the process
}

int set_directory_nothing(unsigned long, void*)
{
    return store::db_ok;
}

// Sends a request about statement without payload, or with text, and checks that the
// reply belongs to it. A statement whose connection has just been found gone is not asked
// about on the new one. 0, or -1.
int ask(const RemoteStatement* statement, int operation, const char* text, int text_size,
        char* reply_buffer, int reply_capacity)
{
    if (!link_ready() || !usable(statement))
        return -1;
    WireMessage request{operation, statement->remote_handle, text_size, const_cast<char*>(text), 0};
    WireMessage reply{0, 0, 0, reply_buffer, reply_capacity};
    reply_buffer[0] = 0;
    return exchange(request, &reply, true);
}

// Room for size bytes in the statement's text areas; nullptr when memory runs out.
char* text_room(RemoteStatement* statement, int size)
{
    if (statement->text_area && statement->used + size <= statement->area_size) {
        char* room = statement->text_area + statement->used;
        statement->used += size;
        return room;
    }
    const int area_size = size > text_area_size ? size : text_area_size;
    char* area = new (std::nothrow) char[static_cast<size_t>(area_size)];
    auto** older = static_cast<char**>(std::realloc(
        statement->older_areas, sizeof(char*) * static_cast<size_t>(statement->older_count + 1)));
    if (!area || !older) {
        delete[] area;
        if (older)
            statement->older_areas = older;
        return nullptr;
    }
    statement->older_areas = older;
    statement->older_areas[statement->older_count++] = statement->text_area;
    statement->text_area = area;
    statement->area_size = area_size;
    statement->used = size;
    return area;
}

// A step by request: the server steps and says how it went.
int request_step(RemoteStatement* remote)
{
    char reply[step_reply_size];
    if (ask(remote, op_step, nullptr, 0, reply, step_reply_size) != 0)
        return -1;
    if (reply[0] == 0)
        return 1;
    return std::atoi(reply);
}

// A column by request. The server answers a missing column and a NULL alike with the text
// "error"; read as none, as the local library gives them, so that no dialog takes it for
// data and writes it back. A column that truly holds the text "error" reads as empty too.
const char* requested_column(RemoteStatement* remote, const char* name)
{
    static char reply[column_reply_size]; // only the user-interface thread asks
    if (ask(remote, op_column, name, static_cast<int>(std::strlen(name)), reply,
            column_reply_size) != 0 ||
        std::strcmp(reply, error_text) == 0)
        return nullptr;
    const int size = static_cast<int>(std::strlen(reply)) + 1;
    char* copy = text_room(remote, size);
    if (!copy)
        return nullptr;
    std::memcpy(copy, reply, static_cast<size_t>(size));
    return copy;
}

// Asks for the next page of remote's rows. 1 when it came, 0 when the server has no pages
// (the statement, and the connection, go on by request), -1 when the exchange failed.
int fetch_page(RemoteStatement* remote)
{
    static char reply[max_wire_payload + 1]; // only the user-interface thread asks
    if (!link_ready() || !usable(remote))
        return -1;
    WireMessage request{op_page, remote->remote_handle, 0, nullptr, 0};
    WireMessage answer{0, 0, 0, reply, static_cast<int>(sizeof reply)};
    if (exchange(request, &answer, true) != 0)
        return -1;
    // A server without the operation answers it as an unknown one; no page is that short.
    if (answer.payload_size == static_cast<int>(std::strlen(error_text)) &&
        std::memcmp(reply, error_text, std::strlen(error_text)) == 0) {
        remote_link.pages = -1;
        remote->paging = 0;
        return 0;
    }
    if (decode_page(reply, answer.payload_size, &remote->page) != 0) {
        // Not our server, or not in step with it: the connection goes, and with it every
        // statement made on it, this one included.
        drop_connection(&remote_link);
        remote->valid = 0;
        return -1;
    }
    remote_link.pages = 1;
    remote->row = -1;
    remote->result_given = 0;
    return 1;
}

// A step answered from the page at hand, the next page fetched when it has run out. The
// results are the local library's: a row, then the result that ended the statement, and a
// step after that starts it again.
int page_step(RemoteStatement* remote)
{
    Page& page = remote->page;
    if (remote->row + 1 < page.rows) {
        ++remote->row;
        return store::db_row;
    }
    remote->row = page.rows;
    if (!remote->result_given && page.result != store::db_row) {
        remote->result_given = 1;
        return page.result;
    }
    const int fetched = fetch_page(remote);
    if (fetched < 0)
        return -1;
    if (fetched == 0)
        return request_step(remote);
    if (page.rows > 0) {
        remote->row = 0;
        return store::db_row;
    }
    if (page.result == store::db_row) {
        // A row too big for any page: the server holds it as the current row.
        remote->paging = 0;
        return store::db_row;
    }
    remote->result_given = 1;
    return page.result;
}

// A column of the page's current row, as the local library finds it: the leftmost column
// of exactly that name; none for a NULL, a missing name, or no current row.
const char* page_column(RemoteStatement* remote, const char* name)
{
    const Page& page = remote->page;
    if (remote->row < 0 || remote->row >= page.rows)
        return nullptr;
    for (int column = 0; column < page.columns; ++column) {
        if (std::strcmp(page.texts.data() + page.names[column], name) != 0)
            continue;
        const int value =
            page.values[static_cast<std::size_t>(remote->row * page.columns + column)];
        return value < 0 ? nullptr : page.texts.data() + value;
    }
    return nullptr;
}

// The login's two exchanges on the connection at hand.
ServerLogin log_in_on_link(const std::string& user, const std::string& digest)
{
    static char reply[max_wire_payload + 1]; // only the user-interface thread asks
    const auto ask_login = [](int step, const std::string& message, WireMessage* answer) {
        WireMessage request{op_login, step, static_cast<int>(message.size()),
                            const_cast<char*>(message.data()), 0};
        *answer = WireMessage{0, 0, 0, reply, static_cast<int>(sizeof reply)};
        return exchange(request, answer, false);
    };
    const auto refusal = [](const WireMessage& answer) {
        const std::string error(reply, static_cast<std::size_t>(answer.payload_size));
        if (error == "e=unknown-user")
            return ServerLogin::unknown_user;
        if (error == "e=no-password")
            return ServerLogin::no_password;
        if (error == std::string("e=") + scram_invalid_proof)
            return ServerLogin::wrong_password;
        if (error == "e=too-many-attempts")
            return ServerLogin::too_many_attempts;
        return ServerLogin::failed;
    };

    std::string nonce;
    if (random_bytes(scram_nonce_bytes, &nonce) != 0)
        return ServerLogin::failed;
    ScramClient client;
    if (remote_link.tls) {
        // Bound to the certificate the link was made with: a login cannot be passed on.
        client.gs2_header = gs2_server_end_point;
        client.binding_data = remote_link.binding_data;
    }
    WireMessage answer;
    if (ask_login(1, scram_client_first(&client, user, base64_encode(nonce)), &answer) != 0)
        return ServerLogin::failed;
    // A server from before the login answers it as an unknown operation.
    if (answer.value == 1 && std::strcmp(reply, error_text) == 0) {
        remote_link.login = -1;
        return ServerLogin::not_offered;
    }
    if (answer.value == 0)
        return refusal(answer);
    std::string final_message;
    if (answer.value != 1 ||
        scram_client_final(&client,
                           std::string(reply, static_cast<std::size_t>(answer.payload_size)),
                           digest, &final_message) != 0 ||
        ask_login(2, final_message, &answer) != 0) {
        drop_connection(&remote_link);
        return ServerLogin::failed;
    }
    if (answer.value == 0)
        return refusal(answer);
    // A server that cannot prove it knows the digest is not the one we mean to talk to.
    if (answer.value != 2 ||
        !scram_server_verified(client,
                               std::string(reply, static_cast<std::size_t>(answer.payload_size)))) {
        drop_connection(&remote_link);
        return ServerLogin::failed;
    }
    remote_link.login = 1;
    return ServerLogin::ok;
}

void release(RemoteStatement* statement)
{
    forget_old_handles();
    if (statement->link_serial == remote_link.serial)
        live_handles.erase(statement->remote_handle);
    for (int i = 0; i < statement->older_count; ++i)
        delete[] statement->older_areas[i];
    std::free(statement->older_areas);
    delete[] statement->text_area;
    delete statement;
}

} // namespace

int install_client_driver(const char* host, int port, std::string* reason)
{
    if (platform::start_sockets(reason) != 0)
        return -1;
    client_host = host ? host : "";
    client_port = port;
    servers = {ServerAddress{client_host, client_port}};
    servers.insert(servers.end(), alternatives.begin(), alternatives.end());
    current_server = 0;

    store::db_driver.open = client_open;
    store::db_driver.initialize = initialize_nothing;
    store::db_driver.prepare = client_prepare;
    store::db_driver.step = client_step;
    store::db_driver.finalize = client_finalize;
    store::db_driver.close = close_nothing;
    store::db_driver.set_directory = set_directory_nothing;
    store::db_driver.column_by_name = client_column_by_name;

    store::initialize();
    const int flags = store::db_open_read_write | store::db_open_create;
    connect_reason = reason;
    const int opened = store::open(nullptr, &store::db_handle, flags, nullptr);
    connect_reason = nullptr;
    return opened == 0 ? 1 : 0;
}

void add_alternative_server(const std::string& host, int port)
{
    alternatives.push_back(ServerAddress{host, port});
}

ServerLogin log_in_to_server(const std::string& user, const std::string& digest)
{
    // A connection logs in once: another login, as somebody else perhaps, takes a new one.
    if (remote_link.login != 0)
        drop_connection(&remote_link);
    kept_login_refused = false;
    if (!link_ready(false))
        return link_trouble;
    return log_in_on_link(user, digest);
}

std::string client_server_name()
{
    return client_host + ":" + std::to_string(client_port);
}

std::string offered_fingerprint()
{
    return offered_key;
}

int trust_offered_server()
{
    return offered_key.empty() ? -1 : remember_server(client_server_name(), offered_key);
}

int client_open(const char*, store::DbConnection** connection, int, const char*)
{
    // The connection stands for the server even while it cannot be reached: every request
    // tries to make it again, so a server that comes up later is found at the next login.
    *connection = reinterpret_cast<store::DbConnection*>(&remote_link);
    if (reconnect(false))
        return 0;
    // A server that answered but is not trusted yet is reachable: the login asks the user.
    return link_trouble == ServerLogin::failed ? -1 : 0;
}

int client_prepare(store::DbConnection* connection, const char* sql, int bytes,
                   store::DbStatement** statement, const char**)
{
    if (statement)
        *statement = nullptr;
    if (!connection || !sql || !statement)
        return -1;
    if (bytes < 0)
        bytes = static_cast<int>(std::strlen(sql));
    char reply[prepare_reply_size];
    WireMessage request{op_prepare, 0, bytes, const_cast<char*>(sql), 0};
    WireMessage answer{0, 0, 0, reply, prepare_reply_size};
    reply[0] = 0;
    if (!link_ready() || exchange(request, &answer, false) != 0 || answer.value == 0)
        return -1;
    forget_old_handles();
    if (!live_handles.insert(answer.value).second) {
        // The statement we hold under that number is gone on the server; reading on would
        // give this one's rows in its place. Both fail, as on a lost connection.
        drop_connection(&remote_link);
        return -1;
    }

    auto* remote = new (std::nothrow) RemoteStatement;
    if (!remote) {
        live_handles.erase(answer.value);
        return -1;
    }
    remote->remote_handle = answer.value;
    remote->paging = pages_wanted && remote_link.pages >= 0 ? 1 : 0;
    remote->link_serial = remote_link.serial;
    remote->valid = 1;
    remote->used = 0;
    *statement = reinterpret_cast<store::DbStatement*>(remote);
    return 0;
}

int client_step(store::DbStatement* statement)
{
    RemoteStatement* remote = as_remote(statement);
    if (!usable(remote))
        return -1;
    return remote->paging ? page_step(remote) : request_step(remote);
}

int client_finalize(store::DbStatement* statement)
{
    // Finalizing none does nothing, as with the library: callers finalize after a failed
    // prepare.
    if (!statement)
        return store::db_ok;
    RemoteStatement* remote = as_remote(statement);
    if (remote->link_serial != remote_link.serial) {
        release(remote); // its connection, and the server's statement with it, are gone
        return store::db_ok;
    }
    if (!usable(remote))
        return -1;
    char reply[finalize_reply_size];
    const int rc = ask(remote, op_finalize, nullptr, 0, reply, finalize_reply_size);
    // A connection found gone before the request took the statement with it. A failed
    // exchange has dropped the connection, and the server finalizes what a connection leaves
    // behind: keeping the record would only keep its memory.
    const bool gone_before = rc != 0 && remote->link_serial != remote_link.serial;
    release(remote);
    return rc == 0 || gone_before ? store::db_ok : -1;
}

const char* client_column_by_name(store::DbStatement* statement, const char* name)
{
    RemoteStatement* remote = as_remote(statement);
    if (!usable(remote) || !name)
        return nullptr;
    return remote->paging ? page_column(remote, name) : requested_column(remote, name);
}

int client_change_number(std::string* number)
{
    // Asked by a timer: a connection that is not there is left to the user's next action,
    // so that a server that cannot be reached never holds the window while nobody acts.
    if (remote_link.socket == platform::invalid_socket || !link_ready())
        return -1;
    if (remote_link.changes < 0)
        return 0;
    char reply[72];
    WireMessage request{op_changes, 0, 0, nullptr, 0};
    WireMessage answer{0, 0, 0, reply, static_cast<int>(sizeof reply)};
    reply[0] = 0;
    if (exchange(request, &answer, false) != 0)
        return -1;
    const std::string text(reply, static_cast<std::size_t>(answer.payload_size));
    // A server without the operation answers it as an unknown one.
    if (answer.value == 0 && text == error_text) {
        remote_link.changes = -1;
        return 0;
    }
    if (answer.value != 1 || text.empty() ||
        text.find_first_not_of("0123456789.") != std::string::npos) {
        drop_connection(&remote_link); // not in step with this server
        return -1;
    }
    remote_link.changes = 1;
    *number = text;
    return 1;
}

std::uint64_t client_exchange_count()
{
    return exchanges;
}

} // namespace remote
