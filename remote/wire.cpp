// The wire format and both ends of the request exchange. The header bytes are fixed so that
// any two instances of the program interoperate, whichever was built first; a message goes
// out as one send, and every read continues until the announced size is complete.
#include "remote/wire.h"

#include "platform/platform.h"

#include <atomic>
#include <cstring>

namespace remote {

namespace {

constexpr WireOperation operations[] = {
    {op_prepare, 'J', true}, {op_step, 'K', false},    {op_finalize, 'L', false},
    {op_column, 'V', true},  {op_page, 'r', false},    {op_login, 'a', true},
    {op_tls, 's', false},    {op_changes, 'n', false},
};
static_assert('J' == op_prepare + wire_operation_offset && 'K' == op_step + wire_operation_offset &&
              'L' == op_finalize + wire_operation_offset &&
              'V' == op_column + wire_operation_offset && 'r' == op_page + wire_operation_offset &&
              'a' == op_login + wire_operation_offset && 's' == op_tls + wire_operation_offset &&
              'n' == op_changes + wire_operation_offset);

// Only the user-interface thread exchanges requests; atomic all the same, so that a
// benchmark's several connections in one process do not race on it.
std::atomic<int> sequence_counter{0};

void put16(unsigned char* at, int value)
{
    at[0] = static_cast<unsigned char>((value >> 8) & 0xFF);
    at[1] = static_cast<unsigned char>(value & 0xFF);
}

int get16(const unsigned char* at)
{
    return (at[0] << 8) | at[1];
}

// Sends header and payload as one message; 0 when all of it went out in time.
int send_message(platform::Socket socket, TlsSession* tls, const WireHeader& header,
                 const char* payload, int payload_size)
{
    unsigned char message[wire_header_size + max_wire_payload];
    encode_header(header, message);
    if (payload_size > 0)
        std::memcpy(message + wire_header_size, payload, static_cast<size_t>(payload_size));
    const int total = wire_header_size + payload_size;
    return send_with_deadline(socket, message, total, 0, tls) == total ? 0 : -1;
}

// Reads into the link's input until it holds at least size bytes, taking whatever else has
// arrived too. Returns the bytes held (fewer when the deadline came first), or -1.
int fill_link(RemoteLink* link, int size, std::uint32_t deadline)
{
    while (link->input_filled < size) {
        const int count =
            receive_with_deadline(link->socket, link->input + link->input_filled,
                                  link_input_size - link->input_filled, deadline, link->tls);
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        link->input_filled += count;
    }
    return link->input_filled;
}

// Drops the first size bytes of the link's input.
void consume_link(RemoteLink* link, int size)
{
    link->input_filled -= size;
    if (link->input_filled > 0)
        std::memmove(link->input, link->input + size, static_cast<size_t>(link->input_filled));
}

} // namespace

void encode_header(const WireHeader& header, unsigned char* bytes)
{
    put16(bytes, header.sequence);
    put16(bytes + 2, 0);
    put16(bytes + 4, header.length);
    bytes[6] = 0;
    bytes[7] = static_cast<unsigned char>(header.operation_byte);
    put16(bytes + 8, header.value);
}

WireHeader decode_header(const unsigned char* bytes)
{
    WireHeader header;
    header.sequence = get16(bytes);
    header.length = get16(bytes + 4);
    header.operation_byte = bytes[7];
    header.value = get16(bytes + 8);
    return header;
}

const WireOperation* find_operation(int code)
{
    for (const WireOperation& operation : operations)
        if (operation.code == code)
            return &operation;
    return nullptr;
}

int next_sequence()
{
    int current = sequence_counter.load();
    int next;
    do {
        next = current >= 65535 ? 1 : current + 1;
    } while (!sequence_counter.compare_exchange_weak(current, next));
    return next;
}

int exchange_request(RemoteLink* link, const WireMessage& request, WireMessage* reply)
{
    // A payload the length field cannot announce is refused rather than cut.
    if (!link || link->socket == platform::invalid_socket || request.payload_size < 0 ||
        request.payload_size > max_wire_payload)
        return -1;

    WireHeader header;
    header.sequence = next_sequence();
    header.length = request.payload_size + 4;
    header.operation_byte = (request.operation + wire_operation_offset) & 0xFF;
    header.value = request.value & 0xFFFF;
    if (send_message(link->socket, link->tls, header, request.payload, request.payload_size) != 0)
        return -1;

    // One receive usually brings the whole reply; the header and the payload each get the
    // default deadline, as separate receives would.
    if (fill_link(link, wire_header_size, default_deadline()) < wire_header_size)
        return -1;
    const WireHeader answer = decode_header(link->input);
    reply->operation = answer.operation_byte - wire_operation_offset;
    reply->value = answer.value;
    reply->payload_size = answer.length - 4;
    if (reply->payload_size <= 0) {
        consume_link(link, wire_header_size);
        return 0;
    }

    const int total = wire_header_size + reply->payload_size;
    const int held = fill_link(link, total, default_deadline());
    if (held < 0)
        return -1;
    if (held < total) {
        // What came of the payload is dropped with it; the exchange has failed.
        link->input_filled = 0;
        return -2;
    }
    // A payload the caller has no room for is refused; it has been read off the connection
    // all the same, so the next exchange gets its own reply.
    const bool fits = reply->payload_size < reply->capacity;
    if (fits) {
        std::memcpy(reply->payload, link->input + wire_header_size,
                    static_cast<size_t>(reply->payload_size));
        reply->payload[reply->payload_size] = 0;
    }
    consume_link(link, total);
    return fits ? 0 : -1;
}

int send_reply(platform::Socket socket, int operation, int value, int payload_size,
               const char* payload)
{
    if (payload_size < 0 || payload_size > max_wire_payload)
        return -1;
    WireHeader header;
    header.sequence = 0;
    header.length = payload_size + 4;
    header.operation_byte = (operation + wire_operation_offset) & 0xFF;
    header.value = value & 0xFFFF;
    return send_message(socket, nullptr, header, payload, payload_size);
}

int queue_reply(ReplyBuffer* buffer, int operation, int value, int payload_size,
                const char* payload)
{
    if (payload_size < 0 || payload_size > max_wire_payload)
        return -1;
    WireHeader header;
    header.length = payload_size + 4;
    header.operation_byte = (operation + wire_operation_offset) & 0xFF;
    header.value = value & 0xFFFF;
    unsigned char head[wire_header_size];
    encode_header(header, head);
    // What has gone out is dropped first, so the buffer holds only what is still owed.
    if (buffer->sent > 0) {
        buffer->bytes.erase(0, buffer->sent);
        buffer->sent = 0;
    }
    buffer->bytes.append(reinterpret_cast<const char*>(head), wire_header_size);
    if (payload_size > 0)
        buffer->bytes.append(payload, static_cast<std::size_t>(payload_size));
    return 0;
}

std::size_t unsent_bytes(const ReplyBuffer* buffer)
{
    return buffer->bytes.size() - buffer->sent;
}

bool replies_held(const ReplyBuffer* buffer)
{
    return buffer->hold_until_ms != 0 && platform::monotonic_ms() < buffer->hold_until_ms;
}

int flush_replies(platform::Socket socket, TlsSession* tls, ReplyBuffer* buffer)
{
    if (replies_held(buffer))
        return 0;
    buffer->hold_until_ms = 0;
    while (unsent_bytes(buffer) > 0) {
        const std::size_t left = unsent_bytes(buffer);
        const int chunk = left > 1u << 20 ? 1 << 20 : static_cast<int>(left);
        const int count = channel_send(socket, tls, buffer->bytes.data() + buffer->sent, chunk);
        if (count == platform::socket_would_block || count == 0)
            return 0;
        if (count < 0)
            return -1;
        buffer->sent += static_cast<std::size_t>(count);
    }
    buffer->bytes.clear();
    buffer->sent = 0;
    return 0;
}

int receive_request_bytes(platform::Socket socket, TlsSession* tls, RequestBuffer* buffer)
{
    const int space = static_cast<int>(sizeof buffer->bytes) - buffer->filled;
    if (space <= 0)
        return 0; // a whole request is at the front; it is served before more is read
    const int count = channel_receive(socket, tls, buffer->bytes + buffer->filled, space);
    if (count > 0) {
        buffer->filled += count;
        return count;
    }
    return count == platform::socket_would_block ? 0 : -1;
}

bool holds_request(const RequestBuffer* buffer)
{
    if (buffer->filled < wire_header_size)
        return false;
    const WireHeader header = decode_header(buffer->bytes);
    const int payload_size = header.length > 4 ? header.length - 4 : 0;
    return buffer->filled >= wire_header_size + payload_size;
}

int read_request(RequestBuffer* buffer, WireMessage* request, char* payload)
{
    if (!holds_request(buffer))
        return 0;
    const WireHeader header = decode_header(buffer->bytes);
    const int payload_size = header.length > 4 ? header.length - 4 : 0;
    std::memcpy(payload, buffer->bytes + wire_header_size, static_cast<size_t>(payload_size));
    payload[payload_size] = 0;
    request->operation = header.operation_byte - wire_operation_offset;
    request->value = header.value;
    request->payload_size = payload_size;
    request->payload = payload;
    // A client that sent its next request early keeps it for the next pass.
    const int used = wire_header_size + payload_size;
    buffer->filled -= used;
    if (buffer->filled > 0)
        std::memmove(buffer->bytes, buffer->bytes + used, static_cast<size_t>(buffer->filled));
    return 1;
}

} // namespace remote
