// The cryptographic primitives against published vectors (SHA-256 of FIPS 180-2, HMAC of
// RFC 4231, PBKDF2-HMAC-SHA-256 of RFC 7914 and the widely used "password"/"salt" ones,
// base64 of RFC 4648), the strict base64 reader's refusals, and the TLS library linked beside
// them: a TLS 1.3 context can be made on either system.
#include "remote/crypto.h"

#include <openssl/ssl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace remote;

std::string hex(const std::string& bytes)
{
    std::string text;
    char digits[3];
    for (unsigned char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

TEST(Crypto, DigestsAndMacsMatchThePublishedVectors)
{
    EXPECT_EQ(hex(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

    struct Case {
        std::string key, data, mac;
    };
    const Case cases[] = {
        {std::string(20, '\x0b'), "Hi There",
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {"Jefe", "what do ya want for nothing?",
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        // A key longer than the hash's block is hashed first.
        {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_EQ(hex(hmac_sha256(c.key, c.data)), c.mac);
    }
}

TEST(Crypto, Pbkdf2MatchesThePublishedVectorsAndRefusesNoRounds)
{
    struct Case {
        std::string password, salt;
        int iterations;
        std::size_t length;
        std::string key;
    };
    const Case cases[] = {
        {"password", "salt", 1, 32,
         "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
        {"password", "salt", 4096, 32,
         "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
        // RFC 7914, section 11: two blocks of output.
        {"passwd", "salt", 1, 64,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
    };
    std::string key;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iterations);
        ASSERT_EQ(pbkdf2_sha256(c.password, c.salt, c.iterations, c.length, &key), 0);
        EXPECT_EQ(hex(key), c.key);
    }
    EXPECT_EQ(pbkdf2_sha256("password", "salt", 0, 32, &key), -1);
    EXPECT_TRUE(key.empty());
    EXPECT_EQ(pbkdf2_sha256("password", "salt", 1, 0, &key), -1);
}

TEST(Crypto, Base64RoundTripsAndTheReaderTakesOnlyTheCanonicalForm)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    std::string bytes;
    for (const auto& [plain, text] : vectors) {
        SCOPED_TRACE(text);
        EXPECT_EQ(base64_encode(plain), text);
        ASSERT_EQ(base64_decode(text, &bytes), 0);
        EXPECT_EQ(bytes, plain);
    }
    std::string every_byte;
    for (int b = 255; b >= 0; --b)
        every_byte += static_cast<char>(b);
    const std::string long_text = base64_encode(every_byte);
    EXPECT_EQ(long_text.find_first_of("\r\n"), std::string::npos);
    ASSERT_EQ(base64_decode(long_text, &bytes), 0);
    EXPECT_EQ(bytes, every_byte);

    const std::string refused[] = {
        "Zg=",                   // not whole groups
        "Z===",                  // padding too long
        "Zm8=Zm8=",              // padding before the end
        "Zm=v",                  // '=' inside a group
        "Zh==",                  // unused bits not zero
        "Zm9-",                  // a character the library takes for the end of the text
        "Zm9\xc3",               // a byte outside the alphabet
        std::string("Zm9\0", 4), // a NUL
        "Zm9v\r\n",              // white space at the end, which the library skips
        " Zm9vYmFy",             // and at the start
    };
    for (const std::string& text : refused) {
        SCOPED_TRACE(text);
        bytes = "left over";
        EXPECT_EQ(base64_decode(text, &bytes), -1);
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(Crypto, RandomBytesDifferAndSecretsCompareWholly)
{
    std::string first, second;
    ASSERT_EQ(random_bytes(32, &first), 0);
    ASSERT_EQ(random_bytes(32, &second), 0);
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(first, second);

    const std::string secret = sha256("secret");
    std::string changed = secret;
    changed.back() = static_cast<char>(changed.back() ^ 1);
    EXPECT_TRUE(equal_in_constant_time(secret, sha256("secret")));
    EXPECT_FALSE(equal_in_constant_time(secret, changed));
    EXPECT_FALSE(equal_in_constant_time(secret, secret.substr(0, 16)));
    EXPECT_FALSE(equal_in_constant_time("", ""));
}

TEST(Crypto, ATls13ContextCanBeMade)
{
    SSL_CTX* context = SSL_CTX_new(TLS_method());
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION), 1);
    EXPECT_EQ(SSL_CTX_get_min_proto_version(context), TLS1_3_VERSION);
    SSL* session = SSL_new(context);
    EXPECT_NE(session, nullptr);
    SSL_free(session);
    SSL_CTX_free(context);
}

} // namespace
