// The client driver against a server that does not play by the rules: pages whose counts
// announce more than they hold, a page rejected after a good one, and a handle number given
// twice. A scripted peer on 127.0.0.1 answers each request as the case says; the client must
// fail cleanly, never allocate by a count it has not checked, and never read on from a page
// or a statement it has refused.
#include "harness/peer.h"
#include "remote/crypto.h"
#include "remote/remote.h"
#include "remote/scram.h"
#include "store/db_driver.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using remote_testing::Reply;

// The reply to one request, as the script says: operation byte, value and payload.
struct Answer {
    int operation_byte;
    int value;
    std::string payload;
};
using Script = std::function<Answer(const Reply& request)>;

// A peer that takes one connection after another and answers every request by its script,
// until stopped.
struct ScriptedServer {
    platform::Socket listener = platform::invalid_socket;
    int port = 0;
    std::atomic<int> stop{0};
    std::thread thread;
};

void serve(ScriptedServer* server, Script script)
{
    while (!server->stop.load()) {
        platform::SocketPoll entry{server->listener, platform::socket_readable, 0};
        if (platform::poll_sockets(&entry, 1, 50) <= 0)
            continue;
        const platform::Socket peer = platform::accept_socket(server->listener, nullptr);
        if (peer == platform::invalid_socket)
            continue;
        platform::set_socket_nonblocking(peer, false);
        for (;;) {
            const Reply request = remote_testing::read_reply(peer, 200);
            if (!request.complete) {
                if (server->stop.load() || request.header.size() != 0)
                    break;
                platform::SocketPoll gone{peer, platform::socket_readable, 0};
                char byte;
                if (platform::poll_sockets(&gone, 1, 0) > 0 &&
                    platform::receive_socket(peer, &byte, 1) <= 0)
                    break; // the client dropped the connection
                continue;
            }
            const Answer answer = script(request);
            if (!remote_testing::send_all(peer, remote_testing::request_bytes(
                                                    answer.operation_byte, answer.value,
                                                    answer.payload, 0)))
                break;
        }
        platform::close_socket(peer);
    }
}

// A page: result, column and row counts, then whatever bytes the case wants.
std::string page(int result, int columns, int rows, const std::string& rest = "")
{
    const auto two = [](int n) { return std::string{char(n >> 8), char(n & 0xFF)}; };
    return two(result) + two(columns) + two(rows) + rest;
}

class HostileServer : public ::testing::Test {
  protected:
    void start(Script script)
    {
        ASSERT_EQ(platform::start_sockets(), 0);
        server.listener = platform::listen_socket("127.0.0.1", 0, 4);
        ASSERT_NE(server.listener, platform::invalid_socket);
        server.port = platform::socket_port(server.listener);
        server.thread = std::thread(serve, &server, std::move(script));
        ASSERT_EQ(remote::start_tick_clock(), 0);
        // The peer plays a server from before encryption, which the user has agreed to.
        remote::client_settings.unencrypted_allowed = true;
        ASSERT_EQ(remote::install_client_driver("127.0.0.1", server.port), 1);
    }
    void TearDown() override
    {
        server.stop = 1;
        if (server.thread.joinable())
            server.thread.join();
        platform::close_socket(server.listener);
    }
    store::DbStatement* prepared()
    {
        store::DbStatement* statement = nullptr;
        const std::string sql = "select a from t";
        const int rc =
            store::prepare(store::db_handle, sql.c_str(), int(sql.size()), &statement, nullptr);
        return rc == 0 ? statement : nullptr;
    }
    ScriptedServer server;
};

// Prepares get handle 1; pages come from pages in turn; everything else gets its usual answer.
Script paging_script(std::vector<std::string> pages)
{
    auto next = std::make_shared<std::size_t>(0);
    return [pages, next](const Reply& request) -> Answer {
        switch (request.operation_byte) {
        case 'J':
            return {'J', 1, ""};
        case 'r':
            return {'r', request.value, *next < pages.size() ? pages[(*next)++] : page(101, 0, 0)};
        case 'L':
            return {'L', request.value, "1"};
        default:
            return {request.operation_byte, request.value, "error"};
        }
    };
}

TEST_F(HostileServer, APageThatCannotHoldWhatItsCountsAnnounceIsAFailedStep)
{
    // Six bytes that claim 65,535 columns of 65,535 rows: sized by the counts, 16 GiB. Then a
    // page that names its one column but holds no row of the three it counts, and one whose
    // name is cut short.
    start(paging_script({page(100, 0xFFFF, 0xFFFF), page(101, 1, 3, std::string("\0\1a", 3)),
                         page(101, 1, 0, std::string("\0\x09" "ab", 4))}));
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        store::DbStatement* statement = prepared();
        ASSERT_NE(statement, nullptr);
        EXPECT_NE(store::step(statement), store::db_row);
        EXPECT_EQ(store::column_by_name(statement, "a"), nullptr);
        EXPECT_EQ(store::finalize(statement), store::db_ok);
    }
}

TEST_F(HostileServer, AfterARejectedPageTheStatementAnswersNothingFromIt)
{
    // A good page of one row that says more rows follow, then a page that names one of its
    // two columns and counts three rows it does not hold.
    start(paging_script({page(100, 1, 1, std::string("\0\1a\0\1x", 6)),
                         page(100, 2, 3, std::string("\0\1a", 3))}));
    store::DbStatement* statement = prepared();
    ASSERT_NE(statement, nullptr);
    ASSERT_EQ(store::step(statement), store::db_row);
    ASSERT_STREQ(store::column_by_name(statement, "a"), "x");
    EXPECT_NE(store::step(statement), store::db_row);
    for (int again = 0; again < 2; ++again) {
        EXPECT_EQ(store::column_by_name(statement, "a"), nullptr);
        EXPECT_EQ(store::column_by_name(statement, "b"), nullptr);
        EXPECT_NE(store::step(statement), store::db_row);
    }
    EXPECT_EQ(store::finalize(statement), store::db_ok);
}

TEST_F(HostileServer, ANumberGivenTwiceFailsThePrepareAndTheStatementHeldUnderIt)
{
    // A server that hands out number 1 for every prepare, the live one included.
    start(paging_script({page(100, 1, 1, std::string("\0\1a\0\1x", 6))}));
    store::DbStatement* first = prepared();
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(store::step(first), store::db_row);
    EXPECT_EQ(prepared(), nullptr);
    // The first statement's rows on the server are somebody else's now.
    EXPECT_EQ(store::column_by_name(first, "a"), nullptr);
    EXPECT_NE(store::step(first), store::db_row);
    EXPECT_EQ(store::finalize(first), store::db_ok);
}

TEST_F(HostileServer, AServerThatCannotProveItKnowsTheDigestIsNoServerOfOurs)
{
    // It plays the login's first answer right and signs the second with nothing.
    auto scram = std::make_shared<remote::ScramServer>();
    start([scram](const Reply& request) -> Answer {
        if (request.operation_byte != 'a')
            return {request.operation_byte, request.value, "error"};
        if (request.value == 1) {
            remote::scram_read_client_first(request.payload, scram.get());
            return {'a', 1, remote::scram_server_first(scram.get(), "xyz", "salt")};
        }
        return {'a', 2, "v=" + remote::base64_encode(std::string(32, '\0'))};
    });
    EXPECT_EQ(remote::log_in_to_server("admin", "21232f297a57a5a743894a0e4a801fc3"),
              remote::ServerLogin::failed);
}

} // namespace
