// MD5 digests (RFC 1321) and their 32-digit lower-case hexadecimal rendering, which is the
// form in which passwords are stored and compared. Knows nothing of the database or dialogs.
#pragma once

#include <cstdint>

namespace util {

// Running state of one digest. Lives on the caller's stack; nothing is allocated.
struct Md5Context {
    std::uint32_t count[2];   // message length in bits, low word first
    std::uint32_t state[4];   // A, B, C, D
    unsigned char buffer[64]; // bytes waiting for a full block
    unsigned char digest[16]; // filled in by md5_final
};

void md5_init(Md5Context* ctx);

// Feeds length bytes; whole 64-byte blocks are transformed at once, the rest is buffered.
void md5_update(Md5Context* ctx, const unsigned char* bytes, unsigned length);

// Pads, appends the length and stores the digest in ctx->digest. The context is spent.
void md5_final(Md5Context* ctx);

// Renders the digest of a finished context as 32 lower-case hex digits plus a NUL.
void md5_digest_hex(const Md5Context* ctx, char out[33]);

// Digest of the bytes of text up to its NUL, exactly as given (no trimming or folding).
void md5_hex_of_text(const char* text, char out[33]);

// The stored form of a typed password; always returns 0.
int hash_password(const char* password, char out[33]);

} // namespace util
