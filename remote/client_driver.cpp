// The client driver: every database call of the dialogs becomes one request to the
// server. The connection is made at start-up and kept while it works; after any failed
// exchange, and when the server has closed it, it is dropped and made again for the next
// request, and the statements of the old connection fail as a failed step would.
#include "remote/client_driver.h"

#include "remote/remote.h"
#include "remote/wire.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

namespace remote {

RemoteLink remote_link;
bool pages_wanted = true;

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

std::string client_host;
int client_port = 0;
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

// Whether the link can carry a request now. A connection that the server has closed (it
// evicts idle clients), or that holds bytes nobody asked for, is dropped; a dropped one is
// made again.
bool link_ready()
{
    if (remote_link.socket != platform::invalid_socket) {
        platform::SocketPoll entry{remote_link.socket, platform::socket_readable, 0};
        if (remote_link.input_filled > 0 || platform::poll_sockets(&entry, 1, 0) != 0)
            drop_connection(&remote_link);
    }
    return remote_link.socket != platform::invalid_socket ||
           connect_to_server(&remote_link, client_host.c_str(), client_port, connect_reason) == 0;
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

int client_open(const char*, store::DbConnection** connection, int, const char*)
{
    if (connect_to_server(&remote_link, client_host.c_str(), client_port, connect_reason) != 0)
        return -1;
    *connection = reinterpret_cast<store::DbConnection*>(&remote_link);
    return 0;
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

std::uint64_t client_exchange_count()
{
    return exchanges;
}

} // namespace remote
