// The login's messages against the example exchange of RFC 7677 section 3, from both ends
// with its fixed nonces and salt; names that need escaping; and the refusals of each end:
// a server nonce that does not continue ours, a wrong signature, a wrong proof, a nonce that
// is not the server's, and bindings that do not match the link.
#include "remote/crypto.h"
#include "remote/scram.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace remote;

// RFC 7677 section 3: user "user", password "pencil".
const std::string client_nonce = "rOprNGfwEbeRWgbNEkqO";
const std::string server_nonce_part = "%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";
const std::string server_first =
    "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096";
const std::string client_final = "c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
                                 "p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=";
const std::string server_final = "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=";

TEST(Scram, BothEndsReproduceTheExampleExchangeOfRfc7677)
{
    ScramClient client;
    EXPECT_EQ(scram_client_first(&client, "user", client_nonce), "n,,n=user,r=" + client_nonce);
    std::string final_message;
    ASSERT_EQ(scram_client_final(&client, server_first, "pencil", &final_message), 0);
    EXPECT_EQ(final_message, client_final);
    EXPECT_TRUE(scram_server_verified(client, server_final));
    EXPECT_FALSE(scram_server_verified(client, "v=" + base64_encode(std::string(32, 'x'))));
    EXPECT_FALSE(scram_server_verified(client, "e=invalid-proof"));

    ScramServer server;
    ASSERT_EQ(scram_read_client_first("n,,n=user,r=" + client_nonce, &server), 0);
    EXPECT_EQ(server.user, "user");
    std::string salt;
    ASSERT_EQ(base64_decode("W22ZaJ0SNY7soEsUEjb6gQ==", &salt), 0);
    EXPECT_EQ(scram_server_first(&server, server_nonce_part, salt), server_first);
    std::string answer;
    EXPECT_EQ(scram_check_client_final(server, client_final, "pencil", "", &answer), 0);
    EXPECT_EQ(answer, server_final);
}

TEST(Scram, EachEndRefusesWhatIsNotRight)
{
    // Names are escaped on the wire and read back; a lone '=' is no name.
    EXPECT_EQ(scram_escape_name("a,b=c"), "a=2Cb=3Dc");
    std::string name;
    EXPECT_EQ(scram_unescape_name("a=2Cb=3Dc", &name), 0);
    EXPECT_EQ(name, "a,b=c");
    EXPECT_EQ(scram_unescape_name("a=b", &name), -1);

    // A client takes no server nonce that does not continue its own, and no fewer rounds.
    ScramClient client;
    scram_client_first(&client, "user", client_nonce);
    std::string final_message;
    EXPECT_EQ(scram_client_final(&client, "r=other,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096", "pencil",
                                 &final_message),
              -1);
    EXPECT_EQ(scram_client_final(&client, "r=" + client_nonce + "x,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=1",
                                 "pencil", &final_message),
              -1);

    // A server refuses first messages it does not take.
    ScramServer server;
    for (const char* first : {"n,a=admin,n=user,r=abc", "m=x,n=user,r=abc", "n,,r=abc",
                              "n,,n=user,r=a,b", "x,,n=user,r=abc", "n,,n=,r=abc"})
        EXPECT_EQ(scram_read_client_first(first, &server), -1) << first;

    // A wrong proof, a nonce that is not the one sent, and bindings that do not fit the link.
    const auto check = [](const std::string& first, const std::string& final_text,
                          const std::string& binding) {
        ScramServer server;
        EXPECT_EQ(scram_read_client_first(first, &server), 0);
        std::string salt;
        base64_decode("W22ZaJ0SNY7soEsUEjb6gQ==", &salt);
        scram_server_first(&server, server_nonce_part, salt);
        std::string answer;
        EXPECT_EQ(scram_check_client_final(server, final_text, "pencil", binding, &answer), -1);
        return answer;
    };
    const std::string first = "n,,n=user,r=" + client_nonce;
    EXPECT_EQ(check(first, client_final.substr(0, client_final.size() - 4) + "AAA=", ""),
              "e=invalid-proof");
    std::string other_nonce = client_final;
    other_nonce.replace(other_nonce.find("k0,"), 2, "k1");
    EXPECT_EQ(check(first, other_nonce, ""), "e=invalid-proof");
    EXPECT_EQ(check(first, client_final, "certificate hash"), "e=channel-bindings-dont-match");
    EXPECT_EQ(check("p=tls-server-end-point,,n=user,r=" + client_nonce, client_final, ""),
              "e=channel-bindings-dont-match");
}

TEST(Scram, ABoundLoginProvesTheCertificateItWasMadeFor)
{
    ScramClient client;
    client.gs2_header = gs2_server_end_point;
    client.binding_data = "hash of the server's certificate";
    const std::string first = scram_client_first(&client, "user", client_nonce);
    ScramServer server;
    ASSERT_EQ(scram_read_client_first(first, &server), 0);
    const std::string server_first_message = scram_server_first(&server, "xyz", "salt");
    std::string final_message;
    ASSERT_EQ(scram_client_final(&client, server_first_message, "secret", &final_message), 0);
    std::string answer;
    EXPECT_EQ(scram_check_client_final(server, final_message, "secret",
                                       "hash of another certificate", &answer),
              -1);
    EXPECT_EQ(answer, "e=channel-bindings-dont-match");
    EXPECT_EQ(scram_check_client_final(server, final_message, "secret", client.binding_data,
                                       &answer),
              0);
    EXPECT_TRUE(scram_server_verified(client, answer));
}

} // namespace
