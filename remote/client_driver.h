// The client's database table: substitutes that forward prepare and finalize to the server
// and take rows from it a page at a time (a step and a column at a time from a server
// without pages), one request at a time. The dialogs call them through the table like the
// local library and cannot tell the difference.
#pragma once

#include "remote/pages.h"
#include "remote/remote.h"
#include "remote/transport.h"
#include "remote/wire.h"
#include "store/db_driver.h"

#include <cstdint>

namespace remote {

// The process's connection; db_handle points at it once it is connected.
extern RemoteLink remote_link;

// Reply buffers of the operations, each with room for the NUL. A column reply may be as
// long as a message can be: a reply refused for its size would cost the connection.
constexpr int prepare_reply_size = 4;
constexpr int step_reply_size = 20;
constexpr int finalize_reply_size = 4;
constexpr int column_reply_size = max_wire_payload + 1;
constexpr int text_area_size = 8192;

// Whether the client asks its server for pages of rows; where a server has none it falls
// back to step and column requests by itself. The benchmark turns it off to measure those.
// Written before install_client_driver.
extern bool pages_wanted;

// Whether the client asks its server for the encrypted link. Only the benchmark turns it off,
// to measure what encryption costs; nothing on the command line reaches it.
extern bool encryption_wanted;

// Request/reply exchanges the driver has made since the process started.
std::uint64_t client_exchange_count();

// What client_prepare hands out as a statement. Its rows come in pages, and steps and column
// reads are answered from the page at hand, whose texts stay valid until the next page
// comes. Read by step and column requests instead (from a server without pages, or after a
// row too big for a page), column texts are copied into its text areas and stay valid until
// it is finalized: the first area holds 8192 bytes; a text that does not fit the current
// area opens a further one at least that big, so nothing is overwritten.
struct RemoteStatement {
    int remote_handle = 0; // the server's number, 1..65535
    int link_serial = 0;   // the connection it was prepared on
    int valid = 0;         // 1 while the statement may be used
    int paging = 0;        // 1 while its rows come in pages
    Page page;             // the page at hand
    int row = -1;          // the current row in it
    int result_given = 1;  // whether a step has returned the result that ended it
    char* text_area = nullptr;
    int used = 0;                 // bytes of the current area given out
    int area_size = 0;            // size of the current area
    char** older_areas = nullptr; // full areas, kept until finalize
    int older_count = 0;
};

// The substitutes. A statement is a RemoteStatement, a connection the RemoteLink.
int client_open(const char* file_name, store::DbConnection** connection, int flags,
                const char* vfs);
int client_prepare(store::DbConnection* connection, const char* sql, int bytes,
                   store::DbStatement** statement, const char** tail);
int client_step(store::DbStatement* statement);
int client_finalize(store::DbStatement* statement);
const char* client_column_by_name(store::DbStatement* statement, const char* name);

} // namespace remote
