// The wire format as bytes, and the client's exchange against a peer that answers by hand:
// reassembly of split messages, empty replies, oversized replies, a peer that goes away.
#include "remote/tick_clock.h"
#include "remote/wire.h"
#include "harness/peer.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>

namespace {

using namespace remote;
using remote_testing::read_exactly;
using remote_testing::send_all;

// A client link and the peer end of its connection.
struct Pair {
    RemoteLink link;
    platform::Socket peer = platform::invalid_socket;

    Pair()
    {
        const platform::Socket listener = platform::listen_socket(nullptr, 0, 1);
        const int port = platform::socket_port(listener);
        EXPECT_EQ(connect_to_server(&link, "127.0.0.1", port), 0);
        for (int i = 0; i < 100 && peer == platform::invalid_socket; ++i) {
            peer = platform::accept_socket(listener, nullptr);
            if (peer == platform::invalid_socket)
                platform::sleep_ms(10);
        }
        platform::set_socket_nonblocking(peer, false);
        platform::close_socket(listener);
    }
    ~Pair()
    {
        platform::close_socket(link.socket);
        platform::close_socket(peer);
    }
};

std::string bytes_of(const unsigned char* bytes, int size)
{
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
}

TEST(Wire, HeadersCarryTheirFieldsBigEndianAndSequencesWrapToOne)
{
    unsigned char bytes[wire_header_size];
    encode_header({0x1234, 4, 'K', 5}, bytes);
    EXPECT_EQ(bytes_of(bytes, 10), std::string("\x12\x34\0\0\0\x04\0K\0\x05", 10));
    const WireHeader back = decode_header(bytes);
    EXPECT_EQ(back.sequence, 0x1234);
    EXPECT_EQ(back.length, 4);
    EXPECT_EQ(back.operation_byte, 75);
    EXPECT_EQ(back.value, 5);

    // A fresh process numbers its requests from 1; 65535 is followed by 1, never 0.
    EXPECT_EQ(next_sequence(), 1);
    for (int i = 2; i < 65535; ++i)
        next_sequence();
    EXPECT_EQ(next_sequence(), 65535);
    EXPECT_EQ(next_sequence(), 1);
    EXPECT_EQ(next_sequence(), 2);

    ASSERT_NE(find_operation(op_column), nullptr);
    EXPECT_EQ(find_operation(op_column)->letter, 'V');
    EXPECT_EQ(find_operation(16), nullptr);
}

TEST(Wire, RequestsGoOutAsGivenAndRepliesAreReassembled)
{
    start_tick_clock();
    Pair pair;

    // A K request for handle 5; the reply arrives byte by byte and still completes.
    char reply_buffer[20] = "";
    auto step = std::async(std::launch::async, [&] {
        WireMessage reply{0, 0, 0, reply_buffer, sizeof reply_buffer};
        const int rc = exchange_request(&pair.link, {op_step, 5, 0, nullptr, 0}, &reply);
        return std::make_tuple(rc, reply.operation, reply.value, reply.payload_size);
    });
    const std::string request = read_exactly(pair.peer, 10, 3000);
    ASSERT_EQ(request.size(), 10u);
    EXPECT_EQ(request.substr(2), std::string("\0\0\0\x04\0K\0\x05", 8));
    const std::string answer = remote_testing::request_bytes('K', 5, "101", 0);
    for (char byte : answer) {
        ASSERT_TRUE(send_all(pair.peer, std::string(1, byte)));
        platform::sleep_ms(5);
    }
    EXPECT_EQ(step.get(), std::make_tuple(0, op_step, 5, 3));
    EXPECT_STREQ(reply_buffer, "101");

    // A 300-byte J: length 304 as bytes 1 and 48, and the text behind the header. A reply of
    // length 4 leaves the caller's buffer as it was.
    const std::string sql(300, 's');
    char untouched[4] = "x";
    auto prepare = std::async(std::launch::async, [&] {
        WireMessage reply{0, 0, 0, untouched, sizeof untouched};
        const int rc = exchange_request(
            &pair.link, {op_prepare, 0, 300, const_cast<char*>(sql.data()), 0}, &reply);
        return std::make_tuple(rc, reply.value, reply.payload_size);
    });
    const std::string j = read_exactly(pair.peer, 310, 3000);
    ASSERT_EQ(j.size(), 310u);
    EXPECT_EQ(j.substr(2, 8), std::string("\0\0\x01\x30\0J\0\0", 8));
    EXPECT_EQ(j.substr(10), sql);
    ASSERT_TRUE(send_all(pair.peer, remote_testing::request_bytes('J', 7, "", 0)));
    EXPECT_EQ(prepare.get(), std::make_tuple(0, 7, 0));
    EXPECT_STREQ(untouched, "x");
}

TEST(Wire, OversizedRepliesAreRefusedWithoutLosingStepAndAGonePeerFailsAtOnce)
{
    start_tick_clock();
    Pair pair;

    // 100 bytes do not fit a 20-byte buffer: refused, and read off the connection, so the
    // next exchange gets its own reply.
    char buffer[20] = "";
    auto first = std::async(std::launch::async, [&] {
        WireMessage reply{0, 0, 0, buffer, sizeof buffer};
        const int refused = exchange_request(&pair.link, {op_step, 1, 0, nullptr, 0}, &reply);
        const int next = exchange_request(&pair.link, {op_step, 2, 0, nullptr, 0}, &reply);
        return std::make_tuple(refused, next, reply.value, std::string(buffer));
    });
    ASSERT_EQ(read_exactly(pair.peer, 10, 3000).size(), 10u);
    ASSERT_TRUE(
        send_all(pair.peer, remote_testing::request_bytes('K', 1, std::string(100, '9'), 0)));
    ASSERT_EQ(read_exactly(pair.peer, 10, 3000).size(), 10u);
    ASSERT_TRUE(send_all(pair.peer, remote_testing::request_bytes('K', 2, "100", 0)));
    EXPECT_EQ(first.get(), std::make_tuple(-1, 0, 2, std::string("100")));
    // The refused payload never reached the buffer beyond its size.
    EXPECT_EQ(std::strlen(buffer), 3u);

    // The server goes away while a request waits: the failure comes at once, not after the
    // ten-second deadline.
    auto gone = std::async(std::launch::async, [&] {
        WireMessage reply{0, 0, 0, buffer, sizeof buffer};
        const int64_t begin = platform::monotonic_ms();
        const int rc = exchange_request(&pair.link, {op_step, 3, 0, nullptr, 0}, &reply);
        return std::make_pair(rc, platform::monotonic_ms() - begin);
    });
    ASSERT_EQ(read_exactly(pair.peer, 10, 3000).size(), 10u);
    platform::close_socket(pair.peer);
    pair.peer = platform::invalid_socket;
    const auto [rc, elapsed] = gone.get();
    EXPECT_EQ(rc, -1);
    EXPECT_LT(elapsed, 2000);

    // A payload the length field cannot announce is not sent at all.
    std::string huge(max_wire_payload + 1, 'x');
    WireMessage reply{0, 0, 0, buffer, sizeof buffer};
    EXPECT_EQ(
        exchange_request(&pair.link, {op_prepare, 0, max_wire_payload + 1, huge.data(), 0}, &reply),
        -1);
}

} // namespace
