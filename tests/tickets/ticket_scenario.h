// The fixture of the ticket scenarios: a database created by admin, ticket groups, links and
// tickets written with SQL, and short hands for what a user does in the ticket windows.
#pragma once

#include "tests/support/scenario.h"

#include <string>
#include <vector>

namespace ticket_tests {

struct Box {
    std::string text;
    std::string caption;
    int owner_template;
    platform::Buttons buttons;
};

class TicketScenario : public testing_support::Scenario {
  protected:
    // Starts the program and creates the database; admin (id 1) is logged in.
    void open_as_admin();
    // Logs admin in again, so the group box is filled anew.
    void relog();

    // A ticket group row; returns its id.
    int add_group(const std::string& name, const std::string& ac1 = "1");
    // A person row of role 1; returns its id.
    int add_person(const std::string& name);
    void link(int person, int group);
    // A ticket row written directly; enddate "" means open. Returns its id.
    int add_ticket(int group, const std::string& code, const std::string& begindate,
                   const std::string& subject, const std::string& description,
                   const std::string& enddate = "");

    int count_of(const std::string& sql);
    std::vector<Box> boxes(); // boxes shown since the last call
    int list_count() const;   // main_list_count, read on the program thread
    std::vector<int> line_ids(int lines) const;

    // Opens the ticket dialog: create mode, or see mode on a line of the main list.
    platform::Window open_create();
    platform::Window open_see(int line);
    platform::Window open_search();
};

// The main list line of a row.
std::string line(const std::string& begindate, const std::string& code, const std::string& subject,
                 const std::string& description);

} // namespace ticket_tests
