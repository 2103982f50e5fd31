// Digests checked against values computed independently with md5sum.
#include "util/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// hash_password wraps md5_hex_of_text, so the suite covers both.
std::string hex_of(const std::string& text)
{
    char out[33];
    EXPECT_EQ(util::hash_password(text.c_str(), out), 0);
    return out;
}

// Feeds bytes in pieces of 1, 2, 3, ... 97 bytes, so that every offset into the block
// buffer is met on the way in.
std::string hex_of_pieces(const std::vector<unsigned char>& bytes)
{
    util::Md5Context ctx;
    util::md5_init(&ctx);
    std::size_t at = 0;
    for (unsigned piece = 1; at < bytes.size(); piece = piece % 97 + 1) {
        const unsigned n = static_cast<unsigned>(std::min<std::size_t>(piece, bytes.size() - at));
        util::md5_update(&ctx, bytes.data() + at, n);
        at += n;
    }
    util::md5_final(&ctx);
    char out[33];
    util::md5_digest_hex(&ctx, out);
    return out;
}

std::string alphabet_cycle(std::size_t length)
{
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

TEST(Md5, MatchesTheReferenceSuite)
{
    const struct {
        std::string text;
        const char* hex;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // Bytes above 127 must be hashed as unsigned: Latin-1 "café", then 0xff 0x80.
        {"caf\xe9 \xff\x80", "771b8736d9ca121f77e6de902372bb72"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex_of(c.text), c.hex) << '"' << c.text << '"';
}

// Lengths around the 56-byte mark where the padding spills into a second block.
TEST(Md5, PadsAcrossBlockBoundaries)
{
    const struct {
        std::size_t length;
        const char* hex;
    } cases[] = {
        {55, "0d7ae056b2f015cd7dc67494efd658f1"}, {56, "31fcfb5165169eb55898e7e4cf34d19a"},
        {63, "1b30c0670c15e7da3c2ba7bce77ebe99"}, {64, "a2eaf6295c32adc403865fd96a2f182b"},
        {65, "eba2cce0ca8df47e62414a736b3105a2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex_of(alphabet_cycle(c.length)), c.hex) << c.length << " bytes";
}

TEST(Md5, LongInputInUnevenPieces)
{
    EXPECT_EQ(hex_of_pieces(std::vector<unsigned char>(1000000, 'a')),
              "7707d6ae4e027c70eea2a935c2296f21");

    std::vector<unsigned char> all_bytes(100000);
    for (std::size_t i = 0; i < all_bytes.size(); ++i)
        all_bytes[i] = static_cast<unsigned char>(i % 256);
    EXPECT_EQ(hex_of_pieces(all_bytes), "7007d9ba10b9a5e64a9f92df87e94a06");
}

} // namespace
