// The server thread: accepts up to twenty clients and serves whichever have a request
// ready, one request per client per pass. A silent client costs nothing; a client that has
// gone is noticed, its statements finalized and its slot freed for the next one.
#include "remote/server.h"

#include "platform/platform.h"
#include "remote/handles.h"
#include "remote/remote.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace remote {

ClientSlot client_slots[max_clients];

namespace {

// How long a pass waits for readiness before it looks at the stop request again.
constexpr int pass_wait_ms = 100;
// How long stop_server waits: a reply in flight may take its whole send deadline.
constexpr int stop_wait_ms = (static_cast<int>(default_wait_ticks) + 2) * 1000;

platform::Socket listener = platform::invalid_socket;
std::atomic<int> stop_requested{0};
std::atomic<int> running{0};

// The request payload, one at a time: only the server thread reads requests.
char request_payload[max_wire_payload + 1];

void release_slot(int index)
{
    ClientSlot& slot = client_slots[index];
    platform::close_socket(slot.socket);
    slot.socket = platform::invalid_socket;
    slot.in_use = 0;
    slot.input->filled = 0;
    release_client_handles(index);
}

void accept_clients()
{
    for (int index = 0; index < max_clients; ++index) {
        ClientSlot& slot = client_slots[index];
        if (slot.in_use)
            continue;
        platform::SocketAddress peer;
        const platform::Socket socket = platform::accept_socket(listener, &peer);
        if (socket == platform::invalid_socket)
            return;
        platform::set_socket_no_delay(socket);
        slot.socket = socket;
        slot.peer = peer;
        slot.input->filled = 0;
        slot.in_use = 1;
    }
}

bool has_free_slot()
{
    for (const ClientSlot& slot : client_slots)
        if (!slot.in_use)
            return true;
    return false;
}

void reply_text(int slot, const WireMessage& request, const char* text)
{
    // A column text the length field cannot announce would leave the client waiting for a
    // reply that never comes; it gets the error text instead.
    std::size_t size = std::strlen(text);
    if (size > static_cast<std::size_t>(max_wire_payload)) {
        text = error_text;
        size = std::strlen(text);
    }
    send_reply(client_slots[slot].socket, request.operation, request.value, static_cast<int>(size),
               text);
}

// One pass: waits for readiness, takes new clients, reads what the ready ones sent, and
// serves one whole request of each client that has one.
void serving_pass()
{
    platform::SocketPoll entries[max_clients + 1];
    int slot_of[max_clients + 1];
    int count = 0;
    bool waiting_request = false;
    // While all slots are taken, new clients wait in the backlog until one is freed.
    if (has_free_slot()) {
        entries[count] = {listener, platform::socket_readable, 0};
        slot_of[count++] = -1;
    }
    for (int index = 0; index < max_clients; ++index) {
        if (!client_slots[index].in_use)
            continue;
        waiting_request = waiting_request || holds_request(client_slots[index].input);
        entries[count] = {client_slots[index].socket, platform::socket_readable, 0};
        slot_of[count++] = index;
    }
    const int ready = platform::poll_sockets(entries, count, waiting_request ? 0 : pass_wait_ms);
    for (int i = 0; ready > 0 && i < count; ++i) {
        if (!entries[i].ready)
            continue;
        const int index = slot_of[i];
        if (index < 0)
            accept_clients();
        else if (receive_request_bytes(client_slots[index].socket, client_slots[index].input) < 0)
            release_slot(index);
    }
    for (int index = 0; index < max_clients; ++index) {
        WireMessage request;
        if (client_slots[index].in_use &&
            read_request(client_slots[index].input, &request, request_payload) == 1)
            answer_request(index, request);
    }
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
    }
    // Port 0 would listen where no client can know to look.
    if (port <= 0 || port > 65535) {
        listen_reason = "not a port number";
        return false;
    }
    if (platform::start_sockets(&listen_reason) != 0)
        return false;
    listener = platform::listen_socket(listen_address.c_str(), port, platform::largest_backlog,
                                       &listen_reason);
    return listener != platform::invalid_socket;
}

void shut_down()
{
    for (int index = 0; index < max_clients; ++index)
        if (client_slots[index].in_use)
            release_slot(index);
    finalize_all_handles();
    platform::close_socket(listener);
    listener = platform::invalid_socket;
}

} // namespace

void answer_request(int slot, const WireMessage& request)
{
    // An operation byte of 0 is nobody's request: it is dropped without a reply.
    if (request.operation == -wire_operation_offset)
        return;
    const WireOperation* operation = find_operation(request.operation);
    if (!operation || operation->with_payload != (request.payload_size > 0)) {
        reply_text(slot, request, error_text);
        return;
    }
    const platform::Socket socket = client_slots[slot].socket;
    switch (operation->code) {
    case op_prepare: {
        const int number = prepare_for_client(request.payload, request.payload_size, slot);
        send_reply(socket, op_prepare, number > 0 ? number : 0, 0, nullptr);
        return;
    }
    case op_step: {
        char text[16];
        std::snprintf(text, sizeof text, "%d", step_for_client(request.value));
        reply_text(slot, request, text);
        return;
    }
    case op_finalize:
        finalize_handle(request.value);
        reply_text(slot, request, finalized_text);
        return;
    case op_column: {
        const char* text = column_for_client(request.value, request.payload);
        reply_text(slot, request, text ? text : error_text);
        return;
    }
    }
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
    for (int waited = 0; running.load() != 0; waited += 10) {
        if (waited >= stop_wait_ms)
            return -1;
        platform::sleep_ms(10);
    }
    return 0;
}

} // namespace remote
