// The client's database table: substitutes that forward prepare, step, finalize and reading
// a column by name to the server, one request at a time. The dialogs call them through the
// table like the local library and cannot tell the difference.
#pragma once

#include "remote/remote.h"
#include "remote/transport.h"
#include "remote/wire.h"
#include "store/db_driver.h"

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

// What client_prepare hands out as a statement. Column texts read through it are copied
// into its text areas and stay valid until it is finalized. The first area holds 8192
// bytes; a text that does not fit the current area opens a further one at least that big,
// so nothing is overwritten and nothing is refused for want of room.
struct RemoteStatement {
    int remote_handle = 0; // the server's number, 1..65535
    int link_serial = 0;   // the connection it was prepared on
    int valid = 0;         // 1 while the statement may be used
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
