// A number that moves with every write to the database, whoever made it, read with one light
// statement: what a window that follows the database asks every few seconds, and what a
// server answers its clients' operation "n" with.
#pragma once

#include <string>

namespace store {

// The database's change number as text: this connection's own row changes (the server
// thread's for its clients among them) and the commits of every other connection to the
// file. Equal texts mean nothing was written in between. 0, or -1 when the database cannot
// tell (then a caller reads something of its own that changes with the rows it shows).
int local_change_number(std::string* number);

} // namespace store
