// What the server tests share: a database of their own in a temporary home, a server
// thread in the test's process on 127.0.0.1, and small questions asked over raw sockets.
#pragma once

#include "harness/home.h"
#include "harness/peer.h"
#include "remote/pages.h"
#include "remote/remote.h"
#include "remote/tick_clock.h"
#include "store/db_driver.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace remote_testing {

// A server thread on a free port of 127.0.0.1 (a few tries: another program may take the port
// first); the port, or 0 when none could be had.
inline int start_server_on_a_free_port()
{
    if (remote::start_tick_clock() != 0)
        return 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int candidate = free_port();
        if (remote::start_server("127.0.0.1", candidate) == 0)
            return candidate;
    }
    return 0;
}

class TemporaryDatabase : public ::testing::Test {
  protected:
    void SetUp() override
    {
        home = testing_support::make_temp_home("vendrel-remote");
        ASSERT_FALSE(home.empty());
        ASSERT_EQ(store::bind_local_driver("data_vendrel.dat"), 0);
        store::db_driver.column_by_name = store::local_column_by_name;
    }
    void TearDown() override
    {
        store::close(store::db_handle);
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
    std::string home;
};

class ServerProtocol : public TemporaryDatabase {
  protected:
    void SetUp() override
    {
        TemporaryDatabase::SetUp();
        // Raw peers speak the original operations: the server serves them without login,
        // as --open does. The login itself has tests of its own.
        remote::server_settings.open = open;
        port = start_server_on_a_free_port();
        ASSERT_NE(port, 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(remote::stop_server(), 0);
        remote::server_settings = remote::ServerSettings{};
        TemporaryDatabase::TearDown();
    }
    bool open = true; // a fixture that tests the login turns it off in its constructor
    int port = 0;
};

// The handle number a J request for sql is answered with (0: refused or failed).
inline int prepare_on(const Peer& peer, const std::string& sql)
{
    const Reply reply = ask(peer, 'J', 0, sql);
    EXPECT_TRUE(reply.complete);
    EXPECT_EQ(reply.operation_byte, 'J');
    return reply.value;
}

// The values of sql's first page read by a peer: "NULL" for NULL, "refused" for a refused
// prepare, and "step N" first for a step that ended with neither a row nor the end.
inline std::vector<std::string> peer_values(const Peer& peer, const std::string& sql)
{
    std::vector<std::string> values;
    const int number = prepare_on(peer, sql);
    if (number == 0)
        return {"refused"};
    const Reply reply = ask(peer, 'r', number, "");
    remote::Page page;
    EXPECT_EQ(remote::decode_page(reply.payload.data(), int(reply.payload.size()), &page), 0);
    if (page.result != store::db_row && page.result != store::db_done)
        values.push_back("step " + std::to_string(page.result));
    for (int value : page.values)
        values.push_back(value < 0 ? "NULL" : std::string(page.texts.data() + value));
    ask(peer, 'L', number, "");
    return values;
}

// Statements open on the test's connection, the server's included.
inline int open_statements()
{
    int count = 0;
    auto* db = reinterpret_cast<sqlite3*>(store::db_handle);
    for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s; s = sqlite3_next_stmt(db, s))
        ++count;
    return count;
}

} // namespace remote_testing
