// MD5 after RFC 1321, for the stored form of passwords. Self-contained, so that the one
// digest the program takes needs no crypto library.
#include "util/md5.h"

#include <cstring>

namespace util {
namespace {

constexpr std::uint32_t rotl(std::uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

// Per-step additive constants: floor(abs(sin(i + 1)) * 2^32).
constexpr std::uint32_t k_sine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Rotation amounts, four per round.
constexpr int k_shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// Words are read little-endian whatever the host's byte order.
std::uint32_t load_le(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void store_le(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

void transform(std::uint32_t state[4], const unsigned char block[64])
{
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = load_le(block + 4 * i);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        std::uint32_t f;
        int g;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            g = i;
            break;
        case 1:
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
            break;
        }
        const std::uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + k_sine[i] + x[g], k_shift[round][i % 4]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

void md5_init(Md5Context* ctx)
{
    ctx->count[0] = 0;
    ctx->count[1] = 0;
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xefcdab89;
    ctx->state[2] = 0x98badcfe;
    ctx->state[3] = 0x10325476;
    std::memset(ctx->buffer, 0, sizeof ctx->buffer);
    std::memset(ctx->digest, 0, sizeof ctx->digest);
}

void md5_update(Md5Context* ctx, const unsigned char* bytes, unsigned length)
{
    unsigned used = (ctx->count[0] >> 3) & 63;

    const std::uint32_t bits_low = static_cast<std::uint32_t>(length) << 3;
    ctx->count[0] += bits_low;
    if (ctx->count[0] < bits_low)
        ++ctx->count[1];
    ctx->count[1] += static_cast<std::uint32_t>(length) >> 29;

    if (used != 0) {
        const unsigned room = 64 - used;
        if (length < room) {
            std::memcpy(ctx->buffer + used, bytes, length);
            return;
        }
        std::memcpy(ctx->buffer + used, bytes, room);
        transform(ctx->state, ctx->buffer);
        bytes += room;
        length -= room;
    }
    for (; length >= 64; bytes += 64, length -= 64)
        transform(ctx->state, bytes);
    if (length != 0)
        std::memcpy(ctx->buffer, bytes, length);
}

void md5_final(Md5Context* ctx)
{
    // The length is taken before padding, which would otherwise count itself.
    unsigned char length_bytes[8];
    store_le(length_bytes, ctx->count[0]);
    store_le(length_bytes + 4, ctx->count[1]);

    static const unsigned char padding[64] = {0x80};
    const unsigned used = (ctx->count[0] >> 3) & 63;
    const unsigned pad = used < 56 ? 56 - used : 120 - used;
    md5_update(ctx, padding, pad);
    md5_update(ctx, length_bytes, 8);

    for (int i = 0; i < 4; ++i)
        store_le(ctx->digest + 4 * i, ctx->state[i]);
}

void md5_digest_hex(const Md5Context* ctx, char out[33])
{
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = digits[ctx->digest[i] >> 4];
        out[2 * i + 1] = digits[ctx->digest[i] & 15];
    }
    out[32] = '\0';
}

void md5_hex_of_text(const char* text, char out[33])
{
    Md5Context ctx;
    md5_init(&ctx);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    // Fed in slices so that a text longer than an unsigned can count is still hashed whole.
    for (std::size_t left = std::strlen(text); left != 0;) {
        const unsigned slice = left > 0x40000000u ? 0x40000000u : static_cast<unsigned>(left);
        md5_update(&ctx, bytes, slice);
        bytes += slice;
        left -= slice;
    }
    md5_final(&ctx);
    md5_digest_hex(&ctx, out);
}

int hash_password(const char* password, char out[33])
{
    md5_hex_of_text(password, out);
    return 0;
}

} // namespace util
