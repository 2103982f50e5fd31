// The history of a ticket: every version of its code, oldest first, with who wrote it and
// what it changed, and the texts of the version chosen.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

namespace tickets {

// One version of a ticket as the history shows it.
struct TicketVersion {
    std::string begin, end, writer, state, customer, subject, actions, description, group;
    int customer_person = -1;
    int group_id = -1;
    bool current = false; // the newest open version
    unsigned changed = 0; // the fields it changed from the one before (changed_* bits)
};

constexpr unsigned changed_state = 1u << 0;
constexpr unsigned changed_customer = 1u << 1;
constexpr unsigned changed_subject = 1u << 2;
constexpr unsigned changed_description = 1u << 3;
constexpr unsigned changed_actions = 1u << 4;
constexpr unsigned changed_group = 1u << 5;

// Reads every version of code not removed, oldest first, with one statement. Returns the
// number of versions, or -1 when the statement cannot be prepared (*sql then says which).
int read_ticket_versions(const std::string& code, std::vector<TicketVersion>* versions,
                         std::string* sql = nullptr);

// The list line of a version: begin, end (or "current" / "open"), writer, state, and the
// names of the fields it changed ("created" for the first).
std::string version_line(const TicketVersion& version, bool first);

// The ticket dialog's History button: remembers the code the dialog shows, for the history
// dialog about to open. false when the dialog shows no ticket yet.
bool begin_history(platform::Window ticket_dialog);

// The history dialog's initialisation: lists the versions of the code begin_history kept
// and shows the newest.
void open_history(platform::Window dialog);

// Shows the texts of the version chosen in the list.
void show_history_version(platform::Window dialog);

// The history dialog ends: what it kept goes.
void forget_history(platform::Window dialog);

} // namespace tickets
