// The indexes of the local database at open, and what an instance tells about them.
#pragma once

#include <string>

namespace app {

// Gives the database just opened the indexes its statements need (store/indexes.h). A server
// says on the terminal when it starts building them and when they are done, and nothing when
// the file has them all. Every instance says there how many tickets break the rule of one
// open row; the result is that line, for the window to show, or "" when none does.
std::string index_local_database(bool server);

} // namespace app
