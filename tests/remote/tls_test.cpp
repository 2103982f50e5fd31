// The encrypted link from the server's side: its key is made once and kept, and is what the
// fingerprint says; a handshake that never finishes is dropped while another client is
// served all along.
#include "remote/server.h"
#include "remote/tls.h"
#include "store/schema.h"
#include "tests/remote/server_fixture.h"

#include "platform/platform.h"

#include <filesystem>
#include <string>

namespace {

using remote_testing::ask;
using remote_testing::close_peer;
using remote_testing::connect_raw;
using remote_testing::connect_secure;
using remote_testing::Reply;

class Tls : public remote_testing::ServerProtocol {
  protected:
    Tls() { open = false; }
    void TearDown() override
    {
        ServerProtocol::TearDown();
        remote::server_limits = remote::ServerLimits{};
    }
};

TEST_F(Tls, TheServersKeyIsMadeOnceKeptForItsOwnerAndWhatTheFingerprintSays)
{
    const std::string certificate = remote::beside_database(remote::server_certificate_name);
    const std::string key = remote::beside_database(remote::server_key_name);
    std::string fingerprint;
    std::string reason;
    ASSERT_EQ(remote::certificate_fingerprint(certificate, &fingerprint, &reason), 0) << reason;
    EXPECT_EQ(fingerprint, remote::server_identity.fingerprint);
    EXPECT_EQ(fingerprint.rfind("SHA256:", 0), 0u);
    EXPECT_EQ(fingerprint.size(), 7u + 43u); // 32 bytes in unpadded base64
#ifndef _WIN32
    const auto permissions = std::filesystem::status(key).permissions();
    EXPECT_EQ(permissions & std::filesystem::perms::all, std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write);
#endif
    // A server started again keeps it.
    EXPECT_EQ(remote::stop_server(), 0);
    ASSERT_EQ(remote::start_server("127.0.0.1", port), 0);
    EXPECT_EQ(remote::server_identity.fingerprint, fingerprint);
}

TEST_F(Tls, AHandshakeThatNeverFinishesIsDroppedAndHoldsUpNobody)
{
    store::SchemaFailure failure;
    ASSERT_EQ(store::create_schema("admin", &failure), 0);
    remote::server_limits.handshake_ms = 1500;
    const platform::Socket stalled = connect_raw(port);
    const Reply started = ask(stalled, 's', 0, "");
    EXPECT_EQ(started.value, 1);
    EXPECT_EQ(started.payload, "");

    // Meanwhile another client makes its link, logs in and is answered at once, again and
    // again.
    remote_testing::Peer other = connect_secure(port);
    ASSERT_NE(other.socket, platform::invalid_socket);
    EXPECT_EQ(remote_testing::log_in_raw(other, "admin", "admin").value, 2);
    const int64_t begun = platform::monotonic_ms();
    for (int i = 0; i < 20; ++i)
        EXPECT_GT(remote_testing::prepare_on(other, "select 1"), 0);
    EXPECT_LT(platform::monotonic_ms() - begun, 1000);

    // The silent one is closed once its time is up.
    char byte;
    platform::SocketPoll entry{stalled, platform::socket_readable, 0};
    EXPECT_EQ(platform::poll_sockets(&entry, 1, 5000), 1);
    EXPECT_EQ(platform::receive_socket(stalled, &byte, 1), 0);
    platform::close_socket(stalled);
    close_peer(&other);
}

} // namespace
