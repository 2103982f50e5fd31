// The server's side of the login: which connections may run statements, and the answers to
// a client's two login messages, with the slowing and the refusals that make guessing a
// password hopeless. The messages themselves are scram's; reading requests and sending
// answers are the server thread's.
#pragma once

#include "remote/scram.h"
#include "remote/wire.h"

#include <cstdint>
#include <string>

namespace remote {

// One connection's login: the person it logged in as, for its life, or the attempt under way.
struct LoginAttempt {
    int person = -1;       // the person logged in, -1 before
    int step = 0;          // 1 between an answered first message and the final one
    ScramServer scram;     // what the final message is checked against
    std::string secret;    // the digest stored for the person named
    int named_person = -1; // that person's id
};

// What guessing may cost. Process-wide; read while serving (tests shorten the times).
struct LoginLimits {
    int failure_delay_ms = 1000;          // a wrong proof is answered this much later
    int failures_allowed = 5;             // failed logins from one address ...
    int failure_window_ms = 5 * 60 * 1000; // ... within this long shut it out for as long
};

extern LoginLimits login_limits;

// Whether the connection in slot may run statements: it has logged in, or the server serves
// without login.
bool may_run_statements(int slot);

// Answers a login request of the client in slot into its output.
void answer_login(int slot, const WireMessage& request);

// Forgets every failed login, for a server that starts.
void forget_login_failures();

} // namespace remote
