// What the server does for each request: the action of every operation on the statements
// of the connection that asks, with the guard's judgement and the limits of one peer. The
// answer goes into the client's output; sending it, and the clients themselves, are the
// server thread's business.
#include "platform/platform.h"
#include "remote/guard.h"
#include "remote/handles.h"
#include "remote/pages.h"
#include "remote/scram.h"
#include "remote/server.h"
#include "remote/server_log.h"
#include "store/changes.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace remote {

namespace {

void reply(int slot, const WireMessage& request, int value, const char* text)
{
    // A column text the length field cannot announce would leave the client waiting for a
    // reply that never comes; it gets the error text instead.
    std::size_t size = text ? std::strlen(text) : 0;
    if (size > static_cast<std::size_t>(max_wire_payload)) {
        text = error_text;
        size = std::strlen(text);
    }
    queue_reply(&client_slots[slot].output, request.operation, value, static_cast<int>(size), text);
}

void log_refusal(int slot, const std::string& why)
{
    log_refusal_of(client_slots[slot].peer, why, server_limits.refusal_summary_ms);
}

// The entry of number if the connection in slot made it; any other connection is answered
// as for a number never given out, and the owner's statement is not touched.
HandleEntry* owned_entry(int slot, int number)
{
    HandleEntry* entry = find_handle(number);
    if (!entry || !entry->statement)
        return nullptr;
    if (entry->owner != client_slots[slot].connection) {
        log_refusal(slot, "statement " + std::to_string(number) + " is another client's");
        return nullptr;
    }
    return entry;
}

// The prepare of a peer, or 0 when it is refused or fails.
int prepare_for_peer(int slot, const WireMessage& request)
{
    std::string why;
    if (!statement_kind_allowed(request.payload, request.payload_size, &why)) {
        log_refusal(slot, why);
        return 0;
    }
    const int connection = client_slots[slot].connection;
    if (open_statements(connection) >= server_limits.statements_per_client) {
        log_refusal(slot, std::to_string(open_statements(connection)) + " statements are open");
        return 0;
    }
    take_refusal(); // whatever an earlier re-prepare left behind is not this request's
    const int number = prepare_for_client(request.payload, request.payload_size, connection);
    why = take_refusal();
    if (why.empty())
        why = std::exchange(store::judgement.refused, std::string());
    if (!why.empty())
        log_refusal(slot, why);
    return number > 0 ? number : 0;
}

void log_interrupt(int slot, int number)
{
    const StepEnd end = last_step_end();
    if (end == StepEnd::normal)
        return;
    log_event("client %s statement %d interrupted: %s", peer_text(client_slots[slot].peer).c_str(),
              number,
              end == StepEnd::stopping ? "the server is stopping"
                                       : (std::to_string(server_limits.step_bound_ms) +
                                          " ms is the longest a step may run")
                                             .c_str());
}

int step_for_peer(int slot, int number)
{
    HandleEntry* entry = owned_entry(slot, number);
    if (!entry)
        return store::db_misuse;
    const int rc = step_entry(entry, server_limits.step_bound_ms);
    if (rc == store::db_interrupt)
        log_interrupt(slot, number);
    return rc;
}

// A page of the statement's rows. A page is filled for at most one step bound, so that a
// slow statement does not keep the other clients waiting for a whole page.
void answer_page(int slot, const WireMessage& request)
{
    static char page[max_wire_payload]; // only the server thread answers
    HandleEntry* entry = owned_entry(slot, request.value);
    const int bound = server_limits.step_bound_ms;
    const int size = entry ? encode_page(entry, bound, platform::monotonic_ms() + bound, page)
                           : encode_empty_page(store::db_misuse, page);
    if (size < 0) {
        reply(slot, request, request.value, error_text);
        return;
    }
    const int result =
        (static_cast<unsigned char>(page[0]) << 8) | static_cast<unsigned char>(page[1]);
    if (entry && result == store::db_interrupt)
        log_interrupt(slot, request.value);
    queue_reply(&client_slots[slot].output, op_page, request.value, size, page);
}

// The start of the encrypted link: answered in clear, after which the server thread runs the
// handshake. A connection asks once, first; a peer that sent more behind its request would
// have it read as the handshake, and is refused.
void answer_tls(int slot, const WireMessage& request)
{
    ClientSlot& client = client_slots[slot];
    if (client.link != link_clear || request.value != 0 || client.input->filled > 0) {
        log_refusal(slot, "an encrypted link is started once, alone");
        reply(slot, request, 0, error_text);
        return;
    }
    queue_reply(&client.output, op_tls, 1, 0, nullptr);
    client.link = link_handshaking;
    client.handshake_until_ms = platform::monotonic_ms() + server_limits.handshake_ms;
    client.handshake_wants = platform::socket_readable;
}

// The change number, read with the server's own rights: the statement is the server's, not
// the peer's. A store that cannot tell answers as a server without the operation, and the
// client reads its list's own light statement instead.
void answer_changes(int slot, const WireMessage& request)
{
    std::string number;
    int rc = -1;
    run_unguarded([&] { rc = store::local_change_number(&number); });
    if (rc != 0 || number.size() > 64) {
        reply(slot, request, request.value, error_text);
        return;
    }
    queue_reply(&client_slots[slot].output, op_changes, 1, static_cast<int>(number.size()),
                number.data());
}

} // namespace

void answer_request(int slot, const WireMessage& request)
{
    // An operation byte of 0 is nobody's request: it is dropped without a reply.
    if (request.operation == -wire_operation_offset)
        return;
    const WireOperation* operation = find_operation(request.operation);
    if (!operation || operation->with_payload != (request.payload_size > 0)) {
        reply(slot, request, request.value, error_text);
        return;
    }
    ClientSlot& client = client_slots[slot];
    if (operation->code == op_tls) {
        answer_tls(slot, request);
        return;
    }
    // Without an encrypted link, and then without a login, nothing of a peer's is run: its
    // statements are refused as the guard refuses, no handle for a prepare, and any number
    // is one never given out.
    const bool in_clear = !server_settings.open && client.link != link_encrypted;
    if (operation->code == op_login && in_clear) {
        log_refusal(slot, "not encrypted");
        const std::string error = std::string("e=") + scram_other_error;
        queue_reply(&client.output, op_login, 0, static_cast<int>(error.size()), error.data());
        return;
    }
    if (operation->code == op_login) {
        answer_login(slot, request);
        return;
    }
    if (in_clear || !may_run_statements(slot)) {
        log_refusal(slot, in_clear ? "not encrypted" : "not logged in");
        switch (operation->code) {
        case op_prepare:
            queue_reply(&client_slots[slot].output, op_prepare, 0, 0, nullptr);
            return;
        case op_step:
            reply(slot, request, request.value, std::to_string(store::db_misuse).c_str());
            return;
        case op_finalize:
            reply(slot, request, request.value, finalized_text);
            return;
        case op_page: {
            char page[page_header_size];
            queue_reply(&client_slots[slot].output, op_page, request.value,
                        encode_empty_page(store::db_misuse, page), page);
            return;
        }
        default:
            reply(slot, request, request.value, error_text);
            return;
        }
    }
    switch (operation->code) {
    case op_prepare:
        queue_reply(&client_slots[slot].output, op_prepare, prepare_for_peer(slot, request), 0,
                    nullptr);
        return;
    case op_step: {
        char text[16];
        std::snprintf(text, sizeof text, "%d", step_for_peer(slot, request.value));
        reply(slot, request, request.value, text);
        return;
    }
    case op_finalize:
        if (owned_entry(slot, request.value))
            finalize_handle(request.value);
        reply(slot, request, request.value, finalized_text);
        return;
    case op_column: {
        const char* text = owned_entry(slot, request.value)
                               ? column_for_client(request.value, request.payload)
                               : nullptr;
        reply(slot, request, request.value, text ? text : error_text);
        return;
    }
    case op_page:
        answer_page(slot, request);
        return;
    case op_changes:
        answer_changes(slot, request);
        return;
    }
}

} // namespace remote
