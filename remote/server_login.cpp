// The login on the server. The first message names a person, looked up with the login's own
// statement on the server's connection (the digests are the server's to read, never a
// peer's); the second proves the digest. A wrong proof is answered a second later without
// holding up anybody else, and an address that failed too often in a short time is turned
// away before anything is computed. Every login, and every address turned away, is logged.
#include "remote/server_login.h"

#include "platform/platform.h"
#include "remote/crypto.h"
#include "remote/guard.h"
#include "remote/server.h"
#include "remote/server_log.h"
#include "store/session.h"
#include "store/sql.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <unordered_map>

namespace remote {

LoginLimits login_limits;

namespace {

// The latest failed logins of one address, oldest first.
struct Failures {
    std::int64_t at[8] = {};
    int count = 0;
};

std::unordered_map<std::uint32_t, Failures> failures_by_address; // the server thread's only

// Addresses whose last failure is this long past are forgotten once the table grows.
constexpr std::size_t failures_kept = 4096;

int allowed()
{
    const int limit = login_limits.failures_allowed;
    return limit < 1 ? 1 : (limit > 8 ? 8 : limit);
}

void note_failure(std::uint32_t address)
{
    const std::int64_t now = platform::monotonic_ms();
    if (failures_by_address.size() >= failures_kept)
        for (auto entry = failures_by_address.begin(); entry != failures_by_address.end();)
            entry = now - entry->second.at[entry->second.count - 1] >= login_limits.failure_window_ms
                        ? failures_by_address.erase(entry)
                        : std::next(entry);
    Failures& failures = failures_by_address[address];
    if (failures.count == allowed()) {
        for (int i = 1; i < failures.count; ++i)
            failures.at[i - 1] = failures.at[i];
        --failures.count;
    }
    failures.at[failures.count++] = now;
}

// Whether address failed as often as allowed within the window, the last time less than a
// window ago. A success wipes nothing: one good account must not reset an attack on another.
bool shut_out(std::uint32_t address)
{
    const auto found = failures_by_address.find(address);
    if (found == failures_by_address.end() || found->second.count < allowed())
        return false;
    const Failures& failures = found->second;
    const std::int64_t last = failures.at[failures.count - 1];
    return last - failures.at[0] <= login_limits.failure_window_ms &&
           platform::monotonic_ms() - last < login_limits.failure_window_ms;
}

void answer(int slot, int value, const std::string& message)
{
    queue_reply(&client_slots[slot].output, op_login, value, static_cast<int>(message.size()),
                message.data());
}

void log_login(int slot, const std::string& name, const char* outcome)
{
    log_event("client %s login as %s: %s", peer_text(client_slots[slot].peer).c_str(),
              name.c_str(), outcome);
}

// A random part of a nonce, or the empty text when the library has none to give.
std::string random_text(int bytes)
{
    std::string raw;
    return random_bytes(static_cast<std::size_t>(bytes), &raw) == 0 ? base64_encode(raw)
                                                                    : std::string();
}

void answer_first(int slot, const std::string& message)
{
    ClientSlot& client = client_slots[slot];
    LoginAttempt& login = client.login;
    login.step = 0;
    if (shut_out(client.peer.address)) {
        log_refusal_of(client.peer, "too many failed logins from its address",
                       server_limits.refusal_summary_ms);
        answer(slot, 0, "e=too-many-attempts");
        return;
    }
    if (scram_read_client_first(message, &login.scram) != 0) {
        log_refusal_of(client.peer, "not a login message", server_limits.refusal_summary_ms);
        answer(slot, 0, std::string("e=") + scram_other_error);
        return;
    }

    // On an encrypted link a login is bound to it, and only there: a login made through a
    // relay that holds another session is refused before anything is looked up.
    const bool encrypted = client.link == link_encrypted;
    if (encrypted != (login.scram.gs2_header == gs2_server_end_point)) {
        log_refusal_of(client.peer,
                       encrypted ? "a login not bound to the encrypted link"
                                 : "a login bound to a link in clear",
                       server_limits.refusal_summary_ms);
        answer(slot, 0, std::string("e=") + scram_binding_mismatch);
        return;
    }

    // Only the first row counts, as in the local login; NULL kept apart from the empty text.
    bool found = false;
    std::optional<std::string> digest;
    int person = -1;
    store::Outcome outcome;
    run_unguarded([&] {
        outcome = store::run_statement(store::login_statement(login.scram.user),
                                       [&](store::DbStatement* row) {
                                           found = true;
                                           digest = store::column_text_of(row, "password");
                                           const auto id = store::column_text_of(row, "id");
                                           person = id ? std::atoi(id->c_str()) : -1;
                                           return false;
                                       });
    });
    if (!outcome.ok() || (found && person < 0)) {
        log_login(slot, login.scram.user, "the person table cannot be read");
        answer(slot, 0, std::string("e=") + scram_other_error);
        return;
    }
    if (!found) {
        note_failure(client.peer.address);
        log_login(slot, login.scram.user, "unknown user");
        answer(slot, 0, "e=unknown-user");
        return;
    }
    if (!digest) {
        log_login(slot, login.scram.user, "no password set");
        answer(slot, 0, "e=no-password");
        return;
    }
    std::string salt;
    const std::string server_nonce = random_text(scram_nonce_bytes);
    if (server_nonce.empty() || random_bytes(scram_salt_bytes, &salt) != 0) {
        answer(slot, 0, std::string("e=") + scram_other_error);
        return;
    }
    login.secret = *digest;
    login.named_person = person;
    login.step = 1;
    answer(slot, 1, scram_server_first(&login.scram, server_nonce, salt));
}

void answer_final(int slot, const std::string& message)
{
    ClientSlot& client = client_slots[slot];
    LoginAttempt& login = client.login;
    std::string reply = std::string("e=") + scram_invalid_proof;
    // The digest is worked on only here: an address turned away at the first message, or a
    // final message without one before it, costs nothing.
    const std::string& binding =
        client.link == link_encrypted ? server_identity.binding_data : std::string();
    const bool proved =
        login.step == 1 &&
        scram_check_client_final(login.scram, message, login.secret, binding, &reply) == 0;
    const std::string name = login.step == 1 ? login.scram.user : std::string("?");
    login.step = 0;
    login.secret.clear();
    if (proved) {
        login.person = login.named_person;
        log_login(slot, name, "logged in");
        answer(slot, 2, reply);
        return;
    }
    note_failure(client.peer.address);
    log_login(slot, name, "wrong password");
    answer(slot, 0, reply);
    client.output.hold_until_ms = platform::monotonic_ms() + login_limits.failure_delay_ms;
}

} // namespace

bool may_run_statements(int slot)
{
    return server_settings.open || client_slots[slot].login.person >= 0;
}

void answer_login(int slot, const WireMessage& request)
{
    const std::string message(request.payload, static_cast<std::size_t>(request.payload_size));
    if (client_slots[slot].login.person >= 0) {
        log_refusal_of(client_slots[slot].peer, "a second login: it has logged in already",
                       server_limits.refusal_summary_ms);
        answer(slot, 0, std::string("e=") + scram_other_error);
    } else if (request.value == 1) {
        answer_first(slot, message);
    } else if (request.value == 2) {
        answer_final(slot, message);
    } else {
        answer(slot, 0, std::string("e=") + scram_other_error);
    }
}

void forget_login_failures()
{
    failures_by_address.clear();
}

} // namespace remote
