// The ten-tick deadlines, all in one test so that the slow waits run side by side: a silent
// peer makes a receive give up after 9 to 10 seconds, an exchange whose reply never comes
// fails with -1, and one whose reply payload stops short fails with -2.
#include "remote/tick_clock.h"
#include "remote/wire.h"
#include "harness/peer.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace {

using namespace remote;

struct Connection {
    RemoteLink link;
    platform::Socket peer = platform::invalid_socket;
};

Connection connect_pair(platform::Socket listener)
{
    Connection connection;
    EXPECT_EQ(connect_to_server(&connection.link, "127.0.0.1", platform::socket_port(listener)), 0);
    for (int i = 0; i < 100 && connection.peer == platform::invalid_socket; ++i) {
        connection.peer = platform::accept_socket(listener, nullptr);
        if (connection.peer == platform::invalid_socket)
            platform::sleep_ms(10);
    }
    return connection;
}

TEST(Deadline, SilentPeersAreGivenUpOnAfterTenTicks)
{
    ASSERT_EQ(start_tick_clock(), 0);
    const platform::Socket listener = platform::listen_socket(nullptr, 0, 5);
    Connection silent = connect_pair(listener);
    Connection unanswered = connect_pair(listener);
    Connection short_reply = connect_pair(listener);

    const auto timed = [](auto work) {
        return std::async(std::launch::async, [work] {
            const int64_t begin = platform::monotonic_ms();
            const int rc = work();
            return std::make_pair(rc, platform::monotonic_ms() - begin);
        });
    };

    char received[8] = "xxxxxxx";
    auto receive = timed(
        [&] { return receive_with_deadline(silent.link.socket, received, sizeof received, 0); });
    char reply_buffer[20];
    auto no_reply = timed([&] {
        WireMessage reply{0, 0, 0, reply_buffer, sizeof reply_buffer};
        return exchange_request(&unanswered.link, {op_step, 1, 0, nullptr, 0}, &reply);
    });
    char short_buffer[20];
    auto cut = timed([&] {
        WireMessage reply{0, 0, 0, short_buffer, sizeof short_buffer};
        return exchange_request(&short_reply.link, {op_step, 1, 0, nullptr, 0}, &reply);
    });
    // The header announces ten payload bytes; three come.
    ASSERT_EQ(remote_testing::read_exactly(short_reply.peer, 10, 3000).size(), 10u);
    ASSERT_TRUE(remote_testing::send_all(
        short_reply.peer, remote_testing::request_bytes('K', 1, "1234567890", 0).substr(0, 13)));

    const auto [receive_rc, receive_ms] = receive.get();
    EXPECT_EQ(receive_rc, 0);
    EXPECT_EQ(received[0], 0) << "a receive that got nothing leaves an empty text";
    EXPECT_GE(receive_ms, 8900);
    EXPECT_LE(receive_ms, 10200);

    const auto [no_reply_rc, no_reply_ms] = no_reply.get();
    EXPECT_EQ(no_reply_rc, -1);
    EXPECT_GE(no_reply_ms, 8900);

    const auto [cut_rc, cut_ms] = cut.get();
    EXPECT_EQ(cut_rc, -2);
    EXPECT_LE(cut_ms, 21000);

    for (Connection* c : {&silent, &unanswered, &short_reply}) {
        platform::close_socket(c->link.socket);
        platform::close_socket(c->peer);
    }
    platform::close_socket(listener);
}

} // namespace
