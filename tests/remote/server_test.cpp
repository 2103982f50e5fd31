// The server at the protocol level: a server thread in this process on its own database,
// and raw sockets that speak the wire format to it byte by byte. Also the handle table's
// reuse of old entries, which needs the tick clock set by hand.
#include "harness/peer.h"
#include "remote/handles.h"
#include "remote/server.h"
#include "remote/tick_clock.h"
#include "tests/remote/server_fixture.h"

#include "platform/platform.h"
#include "store/db_driver.h"
#include "store/sql.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using remote_testing::ask;
using remote_testing::connect_raw;
using remote_testing::open_statements;
using remote_testing::prepare_on;
using remote_testing::Reply;
using remote_testing::ServerProtocol;

TEST_F(ServerProtocol, StatementsAreNumberedSteppedReadAndFinalized)
{
    const platform::Socket client = connect_raw(port);
    ASSERT_NE(client, platform::invalid_socket);

    Reply reply = ask(client, 'J', 0, "select 'one' as a, NULL as n");
    EXPECT_EQ(reply.header, std::string("\0\0\0\0\0\x04\0J\0\x01", 10));
    EXPECT_EQ(reply.value, 1);
    EXPECT_EQ(ask(client, 'K', 1, "").payload, "100");
    EXPECT_EQ(ask(client, 'V', 1, "a").payload, "one");
    EXPECT_EQ(ask(client, 'V', 1, "n").payload, "error");
    EXPECT_EQ(ask(client, 'V', 1, "missing").payload, "error");
    reply = ask(client, 'K', 1, "");
    EXPECT_EQ(reply.payload, "101");
    EXPECT_EQ(reply.value, 1);
    EXPECT_EQ(ask(client, 'L', 1, "").payload, "1");

    // A finalized number: misuse for a step, "error" for a column, "1" for finalize again.
    EXPECT_EQ(ask(client, 'K', 1, "").payload, "21");
    EXPECT_EQ(ask(client, 'V', 1, "a").payload, "error");
    EXPECT_EQ(ask(client, 'L', 1, "").payload, "1");

    // Numbers go on after a finalize; a failed prepare answers 0 and its entry is reused.
    EXPECT_EQ(prepare_on(client, "select 2"), 2);
    EXPECT_EQ(prepare_on(client, "selec nonsense"), 0);
    EXPECT_EQ(prepare_on(client, "select 3"), 3);

    // Numbers the table never gave out touch nothing.
    for (int unknown : {0, 999, 65535}) {
        EXPECT_EQ(ask(client, 'K', unknown, "").payload, "21");
        EXPECT_EQ(ask(client, 'V', unknown, "a").payload, "error");
        reply = ask(client, 'L', unknown, "");
        EXPECT_EQ(reply.payload, "1");
        EXPECT_EQ(reply.value, unknown);
    }

    // Requests that break the operation table's payload rules, and unknown operations.
    reply = ask(client, 80, 7, "");
    EXPECT_EQ(reply.operation_byte, 80);
    EXPECT_EQ(reply.value, 7);
    EXPECT_EQ(reply.payload, "error");
    EXPECT_EQ(ask(client, 'K', 2, "x").payload, "error");
    EXPECT_EQ(ask(client, 'L', 2, "x").payload, "error");
    reply = ask(client, 'J', 0, "");
    EXPECT_EQ(reply.payload, "error");
    EXPECT_EQ(reply.value, 0);
    EXPECT_EQ(ask(client, 'V', 2, "").payload, "error");
    // The statement behind 2 was not touched by any of that.
    EXPECT_EQ(ask(client, 'K', 2, "").payload, "100");
    EXPECT_EQ(ask(client, 'L', 2, "").payload, "1");

    // A request split into pieces is put together before it is served.
    const std::string request = remote_testing::request_bytes('J', 0, "select 4");
    for (char byte : request) {
        ASSERT_TRUE(remote_testing::send_all(client, std::string(1, byte)));
        platform::sleep_ms(2);
    }
    reply = remote_testing::read_reply(client);
    EXPECT_EQ(reply.value, 4);
    platform::close_socket(client);
}

TEST_F(ServerProtocol, TwentyClientsAtOnceAndTheSlotOfAGoneClientIsFreed)
{
    std::vector<platform::Socket> clients;
    for (int i = 0; i < remote::max_clients; ++i) {
        clients.push_back(connect_raw(port));
        ASSERT_NE(clients.back(), platform::invalid_socket);
    }
    for (platform::Socket client : clients)
        EXPECT_GT(prepare_on(client, "select 1"), 0);

    // The twenty-first connects but waits in the backlog.
    const platform::Socket late = connect_raw(port);
    ASSERT_NE(late, platform::invalid_socket);
    ASSERT_TRUE(remote_testing::send_all(late, remote_testing::request_bytes('J', 0, "select 5")));
    EXPECT_FALSE(remote_testing::read_reply(late, 500).complete);

    // One leaves, with a statement stepped but never finalized: its slot goes to the late
    // client, and its statement does not outlive it.
    EXPECT_EQ(ask(clients[0], 'K', 1, "").payload, "100");
    platform::close_socket(clients[0]);
    const Reply reply = remote_testing::read_reply(late, 5000);
    EXPECT_TRUE(reply.complete);
    EXPECT_GT(reply.value, 0);
    EXPECT_EQ(ask(late, 'K', 1, "").payload, "21");

    for (std::size_t i = 1; i < clients.size(); ++i)
        EXPECT_EQ(ask(clients[i], 'K', prepare_on(clients[i], "select 6"), "").payload, "100");
    for (std::size_t i = 1; i < clients.size(); ++i)
        platform::close_socket(clients[i]);
    platform::close_socket(late);
}

TEST_F(ServerProtocol, SilentAndHalfSentClientsDoNotHoldUpTheOthers)
{
    const platform::Socket idle = connect_raw(port);
    const platform::Socket halting = connect_raw(port);
    const platform::Socket busy = connect_raw(port);
    ASSERT_NE(busy, platform::invalid_socket);
    const std::string request = remote_testing::request_bytes('J', 0, "select 7");
    ASSERT_TRUE(remote_testing::send_all(halting, request.substr(0, 5)));

    // Under the old serving pass each of these would have waited ten seconds per pass.
    const int64_t begin = platform::monotonic_ms();
    for (int i = 0; i < 50; ++i) {
        const int number = prepare_on(busy, "select 8");
        ASSERT_GT(number, 0);
        ASSERT_EQ(ask(busy, 'L', number, "").payload, "1");
    }
    EXPECT_LT(platform::monotonic_ms() - begin, 5000);

    ASSERT_TRUE(remote_testing::send_all(halting, request.substr(5)));
    EXPECT_GT(remote_testing::read_reply(halting).value, 0);
    for (platform::Socket socket : {idle, halting, busy})
        platform::close_socket(socket);
}

using HandleTable = remote_testing::TemporaryDatabase;

TEST_F(HandleTable, ANumberIsGivenAgainOnlyOnceItsStatementIsGoneAndThenTheLongestFreeFirst)
{
    // One client holds a statement while it and another prepare and finalize hundreds more,
    // a long time after start-up: no prepare ever gets a live number, and the statement held
    // still gives its own rows.
    remote::reset_handle_table();
    remote::tick_clock.ticks = 1000;
    const int held = remote::prepare_for_client("select 'held' as a", 18, 1);
    ASSERT_EQ(held, 1);
    for (int i = 0; i < 600; ++i) {
        if (i == 300)
            remote::tick_clock.ticks = 1075; // the statement held is over a minute old now
        const int number = remote::prepare_for_client("select 2", 8, 1 + i % 2);
        ASSERT_NE(number, held);
        ASSERT_EQ(remote::finalize_handle(number), store::db_ok);
    }
    EXPECT_EQ(remote::step_for_client(held), store::db_row);
    EXPECT_STREQ(remote::column_for_client(held, "a"), "held");

    // At the top of the number range a finalized number comes back, the one free longest
    // first; while every number holds a live statement, the prepare fails.
    remote::reset_handle_table();
    remote::handle_table.handle_counter = remote::max_statement_handle - 3;
    const int before = open_statements();
    EXPECT_EQ(remote::prepare_for_client("select 3", 8, 0), 65533);
    EXPECT_EQ(remote::prepare_for_client("select 3", 8, 0), 65534);
    EXPECT_EQ(remote::prepare_for_client("select 3", 8, 0), 65535);
    EXPECT_EQ(remote::prepare_for_client("select 3", 8, 0), -1);
    EXPECT_EQ(remote::finalize_handle(65534), store::db_ok);
    EXPECT_EQ(remote::finalize_handle(65533), store::db_ok);
    EXPECT_EQ(remote::prepare_for_client("select 3", 8, 0), 65534);
    EXPECT_EQ(remote::prepare_for_client("select 3", 8, 0), 65533);
    EXPECT_EQ(open_statements(), before + 3);
    EXPECT_EQ(remote::step_for_client(65534), store::db_row);

    // A client that goes leaves nothing open behind it, and its numbers are free again.
    remote::release_client_handles(0);
    EXPECT_EQ(open_statements(), before);
    EXPECT_EQ(remote::prepare_for_client("select 4", 8, 0), 65533);
}

} // namespace
