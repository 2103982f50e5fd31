// The client driver after its connection failed, against a real server process: a server
// that went away and came back, and one that froze past the deadline and then answered
// late. Either way the next statement is answered rightly and the old ones fail cleanly.
#include "harness/peer.h"
#include "remote/remote.h"
#include "store/db_driver.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <csignal>
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
    std::string pattern = std::filesystem::temp_directory_path() / "vendrel-reconnect-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string home = pattern;
    remote_testing::create_database_in(home);
    remote_testing::ServerProcess server;
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));
    ASSERT_EQ(remote::start_tick_clock(), 0);
    ASSERT_EQ(remote::install_client_driver("127.0.0.1", server.port), 1);

    // The server goes and comes back on its port: the statement open on the old connection
    // fails as a failed step would, and the next one connects anew.
    store::DbStatement* open = nullptr;
    const std::string sql = "select name from person";
    ASSERT_EQ(store::prepare(store::db_handle, sql.c_str(), int(sql.size()), &open, nullptr), 0);
    ASSERT_EQ(store::step(open), store::db_row);
    const int port = server.port;
    ASSERT_EQ(remote_testing::stop_server_process(&server), 0);
    ASSERT_TRUE(remote_testing::start_server_process(home, port, &server));
    EXPECT_EQ(first_value("select 'again' as a", "a"), "again");
    EXPECT_NE(store::step(open), store::db_row);
    EXPECT_EQ(store::column_by_name(open, "name"), nullptr);
    EXPECT_EQ(store::finalize(open), store::db_ok);

    // A frozen server: the exchange gives up at its deadline. Its reply, sent once the server
    // thaws, is never read as the answer to the next statement.
    kill(static_cast<pid_t>(server.process.id), SIGSTOP);
    EXPECT_EQ(first_value("select 'late' as a", "a"), "failed");
    kill(static_cast<pid_t>(server.process.id), SIGCONT);
    EXPECT_EQ(first_value("select 'next' as a", "a"), "next");
    EXPECT_EQ(first_value("select name from person", "name"), "admin");

    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace
