// The server's login on the wire, with raw peers: a peer that has not logged in gets
// nothing; one that has works as before and never sees a digest; every failure is told
// apart, a wrong proof is answered a second later without holding up anybody, and an address
// that failed too often is turned away while another logs in. A server started --open
// serves the original operations, digests and all.
#include "remote/crypto.h"
#include "remote/pages.h"
#include "remote/scram.h"
#include "remote/server_login.h"
#include "store/schema.h"
#include "store/sql.h"
#include "tests/remote/server_fixture.h"
#include "tests/support/scenario.h"
#include "util/md5.h"

#include "platform/platform.h"

#include <string>
#include <vector>

namespace {

using remote_testing::ask;
using remote_testing::close_peer;
using remote_testing::connect_raw;
using remote_testing::connect_secure;
using remote_testing::log_in_raw;
using remote_testing::peer_values;
using remote_testing::prepare_on;
using remote_testing::Reply;
using testing_support::Rows;

class WireLogin : public remote_testing::ServerProtocol {
  protected:
    WireLogin() { open = false; }
    void SetUp() override
    {
        testing::internal::CaptureStderr();
        ServerProtocol::SetUp();
        store::SchemaFailure failure;
        ASSERT_EQ(store::create_schema("admin", &failure), 0);
        char digest[33];
        util::hash_password("carol's", digest);
        ASSERT_TRUE(store::run_statement(std::string("insert into person (name,password) values "
                                                     "('carol','") +
                                         digest + "'),('nopass',NULL)")
                        .ok());
    }
    void TearDown() override
    {
        ServerProtocol::TearDown();
        log = testing::internal::GetCapturedStderr();
        remote::login_limits = remote::LoginLimits{};
    }
    Rows in_file(const std::string& sql)
    {
        return testing_support::query(store::database_path, sql);
    }
    std::string log;
};

TEST_F(WireLogin, APeerThatHasNotLoggedInGetsNothingAndIsLogged)
{
    // In clear nothing is served, not even a login.
    const platform::Socket plain = connect_raw(port);
    EXPECT_EQ(prepare_on(plain, "select name from person"), 0);
    EXPECT_EQ(log_in_raw(plain, "admin", "admin").payload, "e=other-error");
    platform::close_socket(plain);

    remote_testing::Peer peer = connect_secure(port);
    ASSERT_NE(peer.socket, platform::invalid_socket);
    EXPECT_EQ(prepare_on(peer, "select name,password from person"), 0);
    EXPECT_EQ(ask(peer, 'K', 1, "").payload, "21");
    EXPECT_EQ(ask(peer, 'V', 1, "name").payload, "error");
    EXPECT_EQ(ask(peer, 'r', 1, "").payload, std::string("\0\x15\0\0\0\0", 6));
    EXPECT_EQ(ask(peer, 'L', 1, "").payload, "1");
    EXPECT_EQ(prepare_on(peer, "insert into ticket (code) values ('X')"), 0);
    close_peer(&peer);
    EXPECT_EQ(in_file("select count(*) from ticket"), (Rows{{"0"}}));
    remote::stop_server();
    const std::string captured = testing::internal::GetCapturedStderr();
    EXPECT_NE(captured.find("request refused: not logged in"), std::string::npos) << captured;
    EXPECT_NE(captured.find("request refused: not encrypted"), std::string::npos) << captured;
    testing::internal::CaptureStderr();
}

TEST_F(WireLogin, ALoggedInPeerWorksAsBeforeAndNeverSeesADigest)
{
    remote_testing::Peer peer = connect_secure(port);
    const Reply login = log_in_raw(peer, "admin", "admin");
    ASSERT_EQ(login.value, 2) << login.payload;
    EXPECT_EQ(login.operation_byte, 'a');

    // Every way of reading the column gives NULL, copying it into another included.
    EXPECT_EQ(peer_values(peer, "select name,password from person where id=1"),
              (std::vector<std::string>{"admin", "NULL"}));
    char digest[33];
    util::hash_password("admin", digest);
    for (const std::string& value : peer_values(peer, "select * from person where id=1"))
        EXPECT_NE(value, digest);
    EXPECT_EQ(peer_values(peer, "select id from person where password like '%'"),
              std::vector<std::string>{});
    EXPECT_EQ(peer_values(peer, "select length(password) as n from person where id=1"),
              std::vector<std::string>{"NULL"});
    int number = prepare_on(peer, "update person set description=password where id=1");
    EXPECT_EQ(ask(peer, 'K', number, "").payload, "101");
    ask(peer, 'L', number, "");
    EXPECT_EQ(in_file("select description from person where id=1"), (Rows{{"NULL"}}));

    // Writing it stays allowed: the password dialog does.
    number = prepare_on(peer, "update PERSON set password='0123' where name='carol'");
    EXPECT_EQ(ask(peer, 'K', number, "").payload, "101");
    ask(peer, 'L', number, "");
    EXPECT_EQ(in_file("select password from person where name='carol'"), (Rows{{"0123"}}));

    // A connection is its person's for its life.
    EXPECT_EQ(log_in_raw(peer, "carol", "0123").value, 0);
    close_peer(&peer);
    remote::stop_server();
    const std::string captured = testing::internal::GetCapturedStderr();
    EXPECT_NE(captured.find("login as admin: logged in"), std::string::npos) << captured;
    EXPECT_NE(captured.find("it has logged in already"), std::string::npos) << captured;
    testing::internal::CaptureStderr();
}

TEST_F(WireLogin, EachFailureIsToldApartAndAWrongProofIsAnsweredASecondLater)
{
    // Each case from an address of its own, so that no case counts against another.
    struct Case {
        const char* from;
        const char* user;
        const char* password;
        const char* error;
    } const cases[] = {
        {"127.0.0.11", "carol", "wrong", "e=invalid-proof"},
        {"127.0.0.12", "nobody", "x", "e=unknown-user"},
        {"127.0.0.13", "nopass", "x", "e=no-password"},
        {"127.0.0.14", "Carol", "carol's", "e=unknown-user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        remote_testing::Peer peer = connect_secure(port, c.from);
        const Reply reply = log_in_raw(peer, c.user, c.password);
        EXPECT_EQ(reply.value, 0);
        EXPECT_EQ(reply.payload, c.error);
        close_peer(&peer);
    }

    // A final message of a good login, replayed on another connection after its own first
    // message, a final message with no first one, and one whose nonce is not the server's.
    remote_testing::Peer first = connect_secure(port, "127.0.0.15");
    std::string nonce;
    remote::random_bytes(remote::scram_nonce_bytes, &nonce);
    remote::ScramClient client;
    client.gs2_header = remote::gs2_server_end_point;
    client.binding_data = first.binding_data;
    Reply reply = ask(first, 'a', 1,
                      remote::scram_client_first(&client, "carol", remote::base64_encode(nonce)));
    ASSERT_EQ(reply.value, 1);
    char digest[33];
    util::hash_password("carol's", digest);
    std::string final_message;
    ASSERT_EQ(remote::scram_client_final(&client, reply.payload, digest, &final_message), 0);
    std::string foreign_nonce = final_message;
    foreign_nonce.insert(foreign_nonce.find(",p="), "x");
    remote_testing::Peer second = connect_secure(port, "127.0.0.16");
    EXPECT_EQ(ask(second, 'a', 2, final_message).payload, "e=invalid-proof");
    ask(second, 'a', 1, remote::scram_client_first(&client, "carol", "other"));
    EXPECT_EQ(ask(second, 'a', 2, final_message).payload, "e=invalid-proof");
    EXPECT_EQ(ask(first, 'a', 2, foreign_nonce).payload, "e=invalid-proof");

    // On an encrypted link a login that is not bound to it is refused at once.
    remote_testing::Peer unbound = connect_secure(port, "127.0.0.17");
    remote::ScramClient plain_client;
    EXPECT_EQ(
        ask(unbound, 'a', 1, remote::scram_client_first(&plain_client, "carol", "n1")).payload,
        "e=channel-bindings-dont-match");
    close_peer(&unbound);

    // A wrong proof waits its second in the connection's output; others are served meanwhile.
    ask(first, 'a', 1, remote::scram_client_first(&client, "carol", remote::base64_encode(nonce)));
    const int64_t sent = platform::monotonic_ms();
    ASSERT_TRUE(
        remote_testing::send_all(first, remote_testing::request_bytes('a', 2, foreign_nonce)));
    remote_testing::Peer other = connect_secure(port);
    EXPECT_EQ(log_in_raw(other, "admin", "admin").value, 2);
    EXPECT_EQ(peer_values(other, "select 1 as one"), std::vector<std::string>{"1"});
    EXPECT_LT(platform::monotonic_ms() - sent, 900);
    EXPECT_EQ(remote_testing::read_reply(first).payload, "e=invalid-proof");
    EXPECT_GE(platform::monotonic_ms() - sent, 1000);
    for (remote_testing::Peer* peer : {&first, &second, &other})
        close_peer(peer);
}

TEST_F(WireLogin, AnAddressThatFailedFiveTimesIsTurnedAwayWhileAnotherLogsIn)
{
    remote_testing::Peer guesser = connect_secure(port, "127.0.0.2");
    for (int attempt = 1; attempt <= 5; ++attempt)
        EXPECT_EQ(log_in_raw(guesser, "guess" + std::to_string(attempt), "x").payload,
                  "e=unknown-user");
    // Now even the right password is not looked at, from any connection of that address.
    EXPECT_EQ(log_in_raw(guesser, "admin", "admin").payload, "e=too-many-attempts");
    remote_testing::Peer again = connect_secure(port, "127.0.0.2");
    EXPECT_EQ(log_in_raw(again, "admin", "admin").payload, "e=too-many-attempts");
    remote_testing::Peer colleague = connect_secure(port);
    EXPECT_EQ(log_in_raw(colleague, "admin", "admin").value, 2);
    for (remote_testing::Peer* peer : {&guesser, &again, &colleague})
        close_peer(peer);
    remote::stop_server();
    const std::string captured = testing::internal::GetCapturedStderr();
    EXPECT_NE(captured.find("127.0.0.2:"), std::string::npos);
    EXPECT_NE(captured.find("refused: too many failed logins"), std::string::npos) << captured;
    testing::internal::CaptureStderr();
}

class OpenServer : public remote_testing::ServerProtocol {};

TEST_F(OpenServer, ServesTheOriginalOperationsDigestsAndAllAndStillAnswersALogin)
{
    store::SchemaFailure failure;
    ASSERT_EQ(store::create_schema("admin", &failure), 0);
    const platform::Socket peer = connect_raw(port); // in clear
    const int number = prepare_on(peer, "select password from person");
    ASSERT_GT(number, 0);
    EXPECT_EQ(ask(peer, 'K', number, "").payload, "100");
    char digest[33];
    util::hash_password("admin", digest);
    EXPECT_EQ(ask(peer, 'V', number, "password").payload, digest);
    ask(peer, 'L', number, "");
    EXPECT_EQ(log_in_raw(peer, "admin", "admin").value, 2); // unbound, in clear
    platform::close_socket(peer);
}

} // namespace
