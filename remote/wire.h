// The messages of the remote link: the 10-byte header, the operation table, the client's
// request/reply exchange, the server's reply and its reading of requests. What each
// operation does on either side is the client driver's and the server's business.
#pragma once

#include "remote/transport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace remote {

// Every message: this header, then length - 4 payload bytes. Fields are big-endian.
//   0-1 sequence (requests 1..65535, replies 0)   2-3 reserved, 0
//   4-5 length: the 4 header bytes after it plus the payload
//   6 reserved, 0   7 operation byte (code + 64)   8-9 value (a statement handle or 0)
constexpr int wire_header_size = 10;
constexpr int wire_operation_offset = 64;
constexpr int max_wire_payload = 65535 - 4;

struct WireHeader {
    int sequence = 0;
    int length = 4;
    int operation_byte = 0;
    int value = 0;
};

void encode_header(const WireHeader& header, unsigned char* bytes);
WireHeader decode_header(const unsigned char* bytes);

// A message in memory. For a reply, payload names the caller's buffer and capacity its
// size, which must leave room for the NUL stored after the payload.
struct WireMessage {
    int operation = 0; // the operation byte minus 64
    int value = 0;
    int payload_size = 0;
    char* payload = nullptr;
    int capacity = 0;
};

// The operation table.
constexpr int op_prepare = 10;  // J: SQL text -> the new handle number, or 0
constexpr int op_step = 11;     // K: handle -> step result as "%d"
constexpr int op_finalize = 12; // L: handle -> "1"
constexpr int op_column = 22;   // V: handle, column name -> the text, or "error"
// Extensions. Lower-case letters, so that they can never meet an operation of the original
// table, which has only capitals; a server that predates one answers it with "error".
constexpr int op_page = 'r' - wire_operation_offset; // r: handle -> a page of rows (pages.h)
// a: the login (scram.h). The value is the step, 1 or 2, the payload the client's message;
// the reply's value is the step, or 0 when the login failed, its payload the server's
// message.
constexpr int op_login = 'a' - wire_operation_offset;
// s: the encrypted link. A client's first request on a new connection, value 0; a server
// that encrypts answers value 1, and from the next byte on both speak TLS 1.3 on the socket,
// with every message of the wire inside it.
constexpr int op_tls = 's' - wire_operation_offset;
// n: the database's change number. Value 0, no payload; the reply's value is 1 and its
// payload the number as text, which moves with every write to the database, whoever made
// it. One exchange, so a window can ask every few seconds whether its list is still true.
constexpr int op_changes = 'n' - wire_operation_offset;

struct WireOperation {
    int code;
    char letter;
    bool with_payload; // a request of this operation carries a payload, and only then
};

// The entry of code, or nullptr for an operation this link does not know.
const WireOperation* find_operation(int code);

// The texts the server answers with.
constexpr const char* error_text = "error";
constexpr const char* finalized_text = "1";

// The client's sequence counter: incremented before each request, 65535 wraps to 1.
int next_sequence();

// Client side: sends request and waits for its reply within the default deadlines. The
// reply's buffer is left untouched when the reply has no payload. Returns 0, -1 when the
// exchange failed (also for a reply larger than the buffer, which is read off the
// connection so the next exchange stays in step), -2 when the reply payload came short.
int exchange_request(RemoteLink* link, const WireMessage& request, WireMessage* reply);

// Server side: sends one reply as a single message. 0, or -1.
int send_reply(platform::Socket socket, int operation, int value, int payload_size,
               const char* payload);

// Replies the server has made for one client and not yet handed to its socket, in order.
struct ReplyBuffer {
    std::string bytes;
    std::size_t sent = 0;           // leading bytes already handed over
    std::int64_t hold_until_ms = 0; // nothing goes out before then (a failed login's answer)
};

// Whether buffer's replies wait for their time still.
bool replies_held(const ReplyBuffer* buffer);

// Appends one reply as a whole message; refuses (-1) a payload the length field cannot
// announce.
int queue_reply(ReplyBuffer* buffer, int operation, int value, int payload_size,
                const char* payload);

// Bytes of buffer not yet handed over.
std::size_t unsent_bytes(const ReplyBuffer* buffer);

// Hands what the socket takes now, without waiting, unless the replies are held. 0, or -1
// when the connection failed.
int flush_replies(platform::Socket socket, TlsSession* tls, ReplyBuffer* buffer);

// What the server has read of one client's requests so far.
struct RequestBuffer {
    unsigned char bytes[wire_header_size + max_wire_payload];
    int filled = 0;
};

// Reads what the client's socket (through tls, when it has a session) has now into buffer.
// Returns the bytes read, 0 when nothing was waiting or the buffer is full, -1 when the
// client has gone (closed or failed).
int receive_request_bytes(platform::Socket socket, TlsSession* tls, RequestBuffer* buffer);

// Whether buffer holds a whole request.
bool holds_request(const RequestBuffer* buffer);

// Takes the first whole request out of buffer: fills request, its payload copied with a
// NUL into payload (room for max_wire_payload + 1). Returns 1, or 0 while it is incomplete.
int read_request(RequestBuffer* buffer, WireMessage* request, char* payload);

} // namespace remote
