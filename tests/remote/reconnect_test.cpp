// The client driver after its connection failed, against a real server process behind a
// relay: a connection closed from the far end, and a server that froze past the deadline
// and then answered late. Either way the next statement is answered rightly and the old
// ones fail cleanly.
#include "harness/home.h"
#include "harness/peer.h"
#include "harness/relay.h"
#include "remote/remote.h"
#include "store/db_driver.h"
#include "store/session.h"
#include "util/md5.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The text of column in the first row of sql, or "failed" when any call fails.
std::string first_value(const std::string& sql, const char* column)
{
    store::DbStatement* statement = nullptr;
    std::string value = "failed";
    if (store::prepare(store::db_handle, sql.c_str(), int(sql.size()), &statement, nullptr) == 0 &&
        store::step(statement) == store::db_row) {
        const char* text = store::column_by_name(statement, column);
        value = text ? text : "none";
    }
    store::finalize(statement);
    return value;
}

TEST(ClientReconnect, AfterALostConnectionOrALateReplyTheNextStatementIsAnsweredRightly)
{
    const std::string home = testing_support::make_temp_home("vendrel-reconnect");
    ASSERT_FALSE(home.empty());
    remote_testing::create_database_in(home);
    remote_testing::ServerProcess server;
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));
    remote_testing::Relay relay;
    ASSERT_TRUE(remote_testing::start_relay(&relay, server.port));
    ASSERT_EQ(remote::start_tick_clock(), 0);
    remote::client_settings.pinned_fingerprint = remote_testing::server_fingerprint(home);
    ASSERT_EQ(remote::install_client_driver("127.0.0.1", relay.port), 1);
    // Logged in once, as the login dialog does; every connection made later logs in again
    // by itself before the request that needed it.
    char digest[33];
    util::hash_password("admin", digest);
    ASSERT_EQ(remote::log_in_to_server("admin", digest), remote::ServerLogin::ok);
    store::login_name = "admin";
    store::login_digest = digest;

    // The connection is closed from the far end, as a server does that evicts its idle
    // clients: the statement open on it fails as a failed step would, and the next one
    // connects anew.
    store::DbStatement* open = nullptr;
    const std::string sql = "select name from person";
    ASSERT_EQ(store::prepare(store::db_handle, sql.c_str(), int(sql.size()), &open, nullptr), 0);
    ASSERT_EQ(store::step(open), store::db_row);
    remote_testing::cut_relay_connections(&relay);
    EXPECT_EQ(first_value("select 'again' as a", "a"), "again");
    EXPECT_NE(store::step(open), store::db_row);
    EXPECT_EQ(store::column_by_name(open, "name"), nullptr);
    EXPECT_EQ(store::finalize(open), store::db_ok);

    // A frozen server: the exchange gives up at its deadline. Its reply, sent once the server
    // thaws, is never read as the answer to the next statement.
    ASSERT_TRUE(remote_testing::freeze_server_process(&server));
    EXPECT_EQ(first_value("select 'late' as a", "a"), "failed");
    ASSERT_TRUE(remote_testing::thaw_server_process(&server));
    EXPECT_EQ(first_value("select 'next' as a", "a"), "next");
    EXPECT_EQ(first_value("select name from person", "name"), "admin");

    remote_testing::stop_relay(&relay);
    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace
