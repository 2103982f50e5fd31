// The server thread: accepts up to twenty clients and serves whichever have a request
// ready, one request per client per pass. A silent client costs nothing; a client that has
// gone is noticed, its statements finalized and its slot freed for the next one; when the
// slots are full, the longest idle client gives way. Replies never wait for a slow reader.
#include "remote/server.h"

#include "platform/platform.h"
#include "remote/guard.h"
#include "remote/handles.h"
#include "remote/remote.h"
#include "remote/server_log.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace remote {

ClientSlot client_slots[max_clients];
ServerLimits server_limits;
ServerSettings server_settings;
ServerIdentity server_identity;

namespace {

// How long a pass waits for readiness before it looks at the stop request again.
constexpr int pass_wait_ms = 100;
// How long stop_server waits: sends never wait and a running step is interrupted, so the
// thread ends within a pass.
constexpr int stop_wait_ms = 5000;

platform::Socket listener = platform::invalid_socket;
std::atomic<int> stop_requested{0};
std::atomic<int> running{0};
int connection_serial = 0; // the last serial number given to a connection

// The request payload, one at a time: only the server thread reads requests.
char request_payload[max_wire_payload + 1];

// Frees slot index: the socket closed, its buffers emptied, its statements finalized.
void release_slot(int index)
{
    ClientSlot& slot = client_slots[index];
    platform::close_socket(slot.socket);
    slot.socket = platform::invalid_socket;
    slot.in_use = 0;
    slot.input->filled = 0;
    slot.output = ReplyBuffer{}; // its memory too: a slow reader may have left much behind
    slot.login = LoginAttempt{};
    end_session(slot.tls);
    slot.tls = nullptr;
    slot.link = link_clear;
    release_client_handles(slot.connection);
}

void drop_client(int index, const char* how)
{
    log_event("client %s %s", peer_text(client_slots[index].peer).c_str(), how);
    release_slot(index);
}

int free_slot()
{
    for (int index = 0; index < max_clients; ++index)
        if (!client_slots[index].in_use)
            return index;
    return -1;
}

// The slot of the client idle longest, if it has been idle long enough to give way.
int evictable_slot(std::int64_t now)
{
    int found = -1;
    for (int index = 0; index < max_clients; ++index) {
        const ClientSlot& slot = client_slots[index];
        if (slot.in_use && now - slot.last_request_ms >= server_limits.evict_idle_ms &&
            (found < 0 || slot.last_request_ms < client_slots[found].last_request_ms))
            found = index;
    }
    return found;
}

// Takes the waiting connections while there is room: a free slot, or else the slot of the
// longest idle client, which gives way.
void accept_clients()
{
    for (;;) {
        const std::int64_t now = platform::monotonic_ms();
        int index = free_slot();
        if (index < 0)
            index = evictable_slot(now);
        if (index < 0)
            return;
        platform::SocketAddress peer;
        const platform::Socket socket = platform::accept_socket(listener, &peer);
        if (socket == platform::invalid_socket)
            return;
        ClientSlot& slot = client_slots[index];
        if (slot.in_use) {
            log_event("client %s evicted after %lld s idle, for %s", peer_text(slot.peer).c_str(),
                      static_cast<long long>((now - slot.last_request_ms) / 1000),
                      peer_text(peer).c_str());
            release_slot(index);
        }
        platform::set_socket_no_delay(socket);
        slot.socket = socket;
        slot.peer = peer;
        slot.connection = ++connection_serial;
        slot.last_request_ms = now;
        slot.input->filled = 0;
        slot.login = LoginAttempt{};
        slot.in_use = 1;
        log_event("client %s connected", peer_text(peer).c_str());
    }
}

// Hands the client's replies to its socket; drops a client that has gone or that leaves
// more unread than a client of ours ever could.
void send_output(int index)
{
    ClientSlot& slot = client_slots[index];
    if (flush_replies(slot.socket, slot.tls, &slot.output) != 0)
        drop_client(index, "left");
    else if (unsent_bytes(&slot.output) > static_cast<std::size_t>(server_limits.unread_bound))
        drop_client(index, "disconnected: it does not read its replies");
}

// Starts the session of a connection whose "s" has been answered, once the answer has gone
// out in clear: the next byte on the socket is the handshake's.
void begin_handshake(int index)
{
    ClientSlot& slot = client_slots[index];
    if (slot.link != link_handshaking || slot.tls || !slot.in_use)
        return;
    if (unsent_bytes(&slot.output) > 0) {
        drop_client(index, "disconnected: it does not read the answer to its \"s\"");
        return;
    }
    slot.tls = accept_session(slot.socket);
    if (!slot.tls)
        drop_client(index, "disconnected: no TLS session can be made");
}

// Carries a connection's handshake on as far as its socket allows.
void go_on_with_handshake(int index)
{
    ClientSlot& slot = client_slots[index];
    std::string reason;
    const int step = continue_handshake(slot.tls, &slot.handshake_wants, &reason);
    if (step > 0)
        slot.link = link_encrypted;
    else if (step < 0)
        drop_client(index, ("disconnected: " + reason).c_str());
}

// Drops the connections whose handshake has taken too long.
void end_slow_handshakes(std::int64_t now)
{
    for (int index = 0; index < max_clients; ++index) {
        const ClientSlot& slot = client_slots[index];
        if (slot.in_use && slot.link == link_handshaking && now >= slot.handshake_until_ms)
            drop_client(index, ("disconnected: its TLS handshake did not finish in " +
                                std::to_string(server_limits.handshake_ms) + " ms")
                                   .c_str());
    }
}

// Finalizes the writes that peers have left half-stepped for too long, so that nobody's
// commit waits on them.
void end_held_writes(std::int64_t now)
{
    std::vector<HandleEntry*> overdue;
    for (HandleEntry* entry : handle_table.held_writes)
        if (now - entry->write_held_since >= server_limits.write_hold_ms)
            overdue.push_back(entry);
    for (HandleEntry* entry : overdue) {
        std::string peer = "?";
        for (const ClientSlot& slot : client_slots)
            if (slot.in_use && slot.connection == entry->owner)
                peer = peer_text(slot.peer);
        log_event("client %s statement %d finalized: it held a write open for %d ms", peer.c_str(),
                  entry->number, server_limits.write_hold_ms);
        finalize_handle(entry->number);
    }
}

// One pass: waits for readiness, takes new clients, reads what the ready ones sent, serves
// one whole request of each client that has one, and hands out what can go.
void serving_pass()
{
    platform::SocketPoll entries[max_clients + 1];
    int slot_of[max_clients + 1];
    int count = 0;
    bool waiting_request = false;
    // While all slots are taken and nobody may give way, new clients wait in the backlog.
    if (free_slot() >= 0 || evictable_slot(platform::monotonic_ms()) >= 0) {
        entries[count] = {listener, platform::socket_readable, 0};
        slot_of[count++] = -1;
    }
    for (int index = 0; index < max_clients; ++index) {
        ClientSlot& slot = client_slots[index];
        if (!slot.in_use)
            continue;
        // Bytes a session has decrypted already show no readiness on the socket.
        waiting_request = waiting_request || holds_request(slot.input) || session_pending(slot.tls);
        // Held replies wait for their time, not for the socket; a handshake for what it needs.
        const unsigned writable =
            unsent_bytes(&slot.output) > 0 && !replies_held(&slot.output) ? platform::socket_writable
                                                                          : 0;
        const unsigned wanted = slot.link == link_handshaking ? slot.handshake_wants
                                                               : platform::socket_readable | writable;
        entries[count] = {slot.socket, wanted, 0};
        slot_of[count++] = index;
    }
    const int ready = platform::poll_sockets(entries, count, waiting_request ? 0 : pass_wait_ms);
    for (int i = 0; ready > 0 && i < count; ++i) {
        const int index = slot_of[i];
        if (!entries[i].ready || (index >= 0 && !client_slots[index].in_use))
            continue;
        if (index < 0) {
            accept_clients();
            continue;
        }
        ClientSlot& slot = client_slots[index];
        if (slot.link == link_handshaking) {
            go_on_with_handshake(index);
            continue;
        }
        if ((entries[i].ready & platform::socket_writable) != 0)
            send_output(index);
        if (slot.in_use &&
            (entries[i].ready & (platform::socket_readable | platform::socket_failed)) != 0 &&
            receive_request_bytes(slot.socket, slot.tls, slot.input) < 0)
            drop_client(index, "left");
    }
    for (int index = 0; index < max_clients; ++index) {
        ClientSlot& slot = client_slots[index];
        if (slot.in_use && session_pending(slot.tls) &&
            receive_request_bytes(slot.socket, slot.tls, slot.input) < 0)
            drop_client(index, "left");
    }
    for (int index = 0; index < max_clients; ++index) {
        WireMessage request;
        ClientSlot& slot = client_slots[index];
        if (slot.in_use && slot.output.hold_until_ms != 0 && !replies_held(&slot.output))
            send_output(index); // a held answer whose time has come
        // A client whose answer is held gets nothing more served meanwhile: one guess a
        // second is all a connection can make.
        if (!slot.in_use || replies_held(&slot.output) ||
            read_request(slot.input, &request, request_payload) != 1)
            continue;
        slot.last_request_ms = platform::monotonic_ms();
        answer_request(index, request);
        send_output(index);
        begin_handshake(index);
    }
    end_slow_handshakes(platform::monotonic_ms());
    log_refusal_summaries(server_limits.refusal_summary_ms);
    if (!handle_table.held_writes.empty())
        end_held_writes(platform::monotonic_ms());
}

// What the starter asks of the server thread and what the thread tells it back: the
// address to listen on, and why it could not. Written before the started flag is set.
std::string listen_address;
std::string listen_reason;

// The server thread reads requests and calls the library; a generous stack for the latter.
constexpr std::size_t server_stack_size = 1024 * 1024;

bool set_up(int port)
{
    reset_handle_table();
    for (ClientSlot& slot : client_slots) {
        if (!slot.input)
            slot.input = new RequestBuffer;
        slot.in_use = 0;
        slot.socket = platform::invalid_socket;
        slot.input->filled = 0;
        slot.output = ReplyBuffer{};
    }
    // Port 0 would listen where no client can know to look.
    if (port <= 0 || port > 65535) {
        listen_reason = "not a port number";
        return false;
    }
    if (platform::start_sockets(&listen_reason) != 0 || install_guard(&listen_reason) != 0)
        return false;
    hide_digests(!server_settings.open);
    forget_login_failures();
    if (server_settings.certificate_file.empty() != server_settings.key_file.empty()) {
        listen_reason = "a certificate needs its key, and a key its certificate";
        return false;
    }
    const std::string certificate = server_settings.certificate_file.empty()
                                        ? beside_database(server_certificate_name)
                                        : server_settings.certificate_file;
    const std::string key = server_settings.key_file.empty() ? beside_database(server_key_name)
                                                             : server_settings.key_file;
    if (load_server_identity(certificate, key, server_settings.make_identity, &server_identity,
                             &listen_reason) != 0)
        return false;
    guard_this_thread(); // everything this thread prepares and steps is a peer's
    listener = platform::listen_socket(listen_address.c_str(), port, platform::largest_backlog,
                                       &listen_reason);
    if (listener == platform::invalid_socket)
        return false;
    log_event("listening on %s:%d", listen_address.empty() ? "0.0.0.0" : listen_address.c_str(),
              port);
    log_event("the server's key has the fingerprint %s", server_identity.fingerprint.c_str());
    if (server_settings.open)
        log_event("serving without login: every peer may read and change everything");
    return true;
}

void shut_down()
{
    log_event("stopping");
    for (int index = 0; index < max_clients; ++index)
        if (client_slots[index].in_use)
            release_slot(index);
    finalize_all_handles();
    platform::close_socket(listener);
    listener = platform::invalid_socket;
}

} // namespace

std::string file_beside(const std::string& database, const char* name)
{
    const std::size_t separator = database.find_last_of("/\\");
    return (separator == std::string::npos ? std::string() : database.substr(0, separator + 1)) +
           name;
}

std::string beside_database(const char* name)
{
    return file_beside(store::database_path, name);
}

void server_thread(ThreadStart* start)
{
    const bool ready = set_up(start->argument);
    running.store(ready ? 1 : 0);
    start->result.store(ready ? 0 : -1);
    start->started.store(1); // start is the starter's and may be gone from here on
    if (!ready)
        return;
    while (!stop_requested.load())
        serving_pass();
    shut_down();
    running.store(0);
}

int start_server(const char* address, int port, std::string* reason)
{
    auto refuse = [reason](const char* why) {
        if (reason)
            *reason = why;
        return -1;
    };
    if (running.load() != 0)
        return refuse("a server runs already"); // the slots and the table are the process's
    ThreadStart start;
    start.argument = port;
    listen_address = address ? address : "";
    listen_reason.clear();
    stop_requested.store(0);
    allow_guarded_steps();
    if (launch_thread(server_thread, &start, server_stack_size) != 0)
        return refuse("no thread can be started");
    wait_until_started(&start);
    if (start.result.load() != 0 && reason)
        *reason = listen_reason;
    return start.result.load();
}

int stop_server()
{
    stop_requested.store(1);
    interrupt_guarded_steps(); // a peer's step that runs now ends at its next progress check
    for (int waited = 0; running.load() != 0; waited += 10) {
        if (waited >= stop_wait_ms)
            return -1;
        platform::sleep_ms(10);
    }
    return 0;
}

} // namespace remote
