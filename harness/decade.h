// A database file as an office fills it over the years, written straight through the SQLite
// library in one transaction (not through the dialogs): staff, ticket groups and customers
// in person, memberships and other links in subjectlink, and tickets as chains of versions
// of which the last may be open. For the data-volume benchmark and the tests that need a
// file of some size. The file has the program's tables and no index but the primary keys, as
// an older program leaves it.
#pragma once

#include <string>

namespace testing_support {

struct DecadeShape {
    int ticket_rows = 1000000;
    int groups = 100;         // ticket groups that accept tickets
    int open_per_group = 200; // open tickets of every group; the rest of the rows are ended
    int subjects = 100000;    // every row of person: staff, groups and customers
    int links = 300000;       // memberships of staff in groups, the rest between customers
    int staff = 20;           // persons who log in, each a member of five groups
};

// How to find one's way around the file written.
struct DecadeFacts {
    std::string staff_name;     // a member of the measured group and four others
    std::string staff_password; // every staff member's password
    std::string measured_group; // a group with open_per_group open tickets
    std::string customer_word;  // a word in about one customer text of fourteen
    std::string linked_subject; // a customer with links of its own
    int staff_groups = 5;       // groups the staff member belongs to
    int tickets = 0;            // chains (distinct codes)
};

// Writes the file (which must not exist yet). The same shape gives the same file. Returns
// true, or false with the library's message in *error.
bool write_decade(const std::string& file, const DecadeShape& shape, DecadeFacts* facts,
                  std::string* error);

} // namespace testing_support
