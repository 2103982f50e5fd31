// The program's cryptographic primitives, all of them OpenSSL's libcrypto behind plain
// functions: random bytes (the program's only source of them), SHA-256, HMAC-SHA-256,
// PBKDF2-HMAC-SHA-256, base64 and a comparison of secrets that takes the same time whatever
// they hold. Byte strings are std::string holding raw bytes, not text. What the login and the
// link build from them is theirs; nothing else in the program includes OpenSSL's headers for
// these. Nothing here throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace remote {

constexpr std::size_t sha256_size = 32; // bytes of a SHA-256 digest and of an HMAC-SHA-256

// Stores count bytes from the library's cryptographically secure generator in out. 0, or -1
// when the generator cannot deliver (out is then empty): a caller never goes on without them.
int random_bytes(std::size_t count, std::string* out);

// The 32-byte digest of data; empty only when the library fails, which a caller that goes on
// with it finds in equal_in_constant_time (an empty secret never matches).
std::string sha256(std::string_view data);

// HMAC-SHA-256 (RFC 2104) of data under key, 32 bytes; empty only when the library fails.
std::string hmac_sha256(std::string_view key, std::string_view data);

// PBKDF2 (RFC 8018) with HMAC-SHA-256 over password and salt, iterations rounds, length bytes
// of derived key in out. 0, or -1 for fewer than one round or byte, or when the library fails
// (out is then empty).
int pbkdf2_sha256(std::string_view password, std::string_view salt, int iterations,
                  std::size_t length, std::string* out);

// Standard base64 (RFC 4648, '+' and '/', padded with '='), in one line without line breaks.
std::string base64_encode(std::string_view bytes);

// Decodes text strictly into out: only the canonical form that base64_encode writes is taken
// (the alphabet, whole groups of four, '=' only as the padding of the last group, unused
// bits zero; no white space). 0, or -1 for anything else (out is then empty).
int base64_decode(std::string_view text, std::string* out);

// Whether a and b hold the same bytes, in a time that depends only on their length, for
// proofs and signatures. Strings of different lengths differ, and an empty one equals
// nothing: a digest that failed never passes for a match.
bool equal_in_constant_time(std::string_view a, std::string_view b);

} // namespace remote
