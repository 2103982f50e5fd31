// The primitives of crypto.h over libcrypto: RAND_bytes, EVP_Digest, HMAC, PKCS5_PBKDF2_HMAC,
// EVP_EncodeBlock and EVP_DecodeBlock, CRYPTO_memcmp. The library's own limits are ints, so
// larger inputs are refused here rather than cut short there.
#include "remote/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <climits>
#include <utility>

namespace remote {

namespace {

// An empty view may hold no pointer at all, which some of the library's calls read as "none
// given" rather than "no bytes".
const unsigned char* bytes_of(std::string_view data)
{
    static const unsigned char nothing = 0;
    return data.data() != nullptr ? reinterpret_cast<const unsigned char*>(data.data()) : &nothing;
}

unsigned char* bytes_of(std::string& data)
{
    return reinterpret_cast<unsigned char*>(data.data());
}

bool fits_int(std::size_t size)
{
    return size <= static_cast<std::size_t>(INT_MAX);
}

} // namespace

int random_bytes(std::size_t count, std::string* out)
{
    out->clear();
    if (!fits_int(count))
        return -1;
    out->assign(count, '\0');
    if (RAND_bytes(bytes_of(*out), static_cast<int>(count)) != 1) {
        out->clear();
        return -1;
    }
    return 0;
}

std::string sha256(std::string_view data)
{
    std::string digest(sha256_size, '\0');
    unsigned int size = 0;
    if (EVP_Digest(bytes_of(data), data.size(), bytes_of(digest), &size, EVP_sha256(), nullptr) !=
            1 ||
        size != sha256_size)
        return {};
    return digest;
}

std::string hmac_sha256(std::string_view key, std::string_view data)
{
    std::string mac(sha256_size, '\0');
    unsigned int size = 0;
    if (!fits_int(key.size()) ||
        HMAC(EVP_sha256(), bytes_of(key), static_cast<int>(key.size()), bytes_of(data), data.size(),
             bytes_of(mac), &size) == nullptr ||
        size != sha256_size)
        return {};
    return mac;
}

int pbkdf2_sha256(std::string_view password, std::string_view salt, int iterations,
                  std::size_t length, std::string* out)
{
    out->clear();
    if (iterations < 1 || length < 1 || !fits_int(password.size()) || !fits_int(salt.size()) ||
        !fits_int(length))
        return -1;
    out->assign(length, '\0');
    if (PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(bytes_of(password)),
                          static_cast<int>(password.size()), bytes_of(salt),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(),
                          static_cast<int>(length), bytes_of(*out)) != 1) {
        out->clear();
        return -1;
    }
    return 0;
}

std::string base64_encode(std::string_view bytes)
{
    if (bytes.size() > static_cast<std::size_t>(INT_MAX / 4 * 3))
        return {};
    // Four characters for every three bytes begun, and the NUL the library stores after them.
    std::string text((bytes.size() + 2) / 3 * 4 + 1, '\0');
    const int written =
        EVP_EncodeBlock(bytes_of(text), bytes_of(bytes), static_cast<int>(bytes.size()));
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

int base64_decode(std::string_view text, std::string* out)
{
    out->clear();
    if (text.size() % 4 != 0 || !fits_int(text.size()))
        return -1;
    // The library skips white space at either end, reads '=' anywhere as the digit zero and
    // counts the padding in its result: take off the padding the text ends with, then keep
    // the result only if encoding it again gives exactly the text.
    std::string bytes(text.size() / 4 * 3, '\0');
    const int decoded =
        EVP_DecodeBlock(bytes_of(bytes), bytes_of(text), static_cast<int>(text.size()));
    if (decoded < 0)
        return -1;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    if (static_cast<std::size_t>(decoded) < padding)
        return -1;
    bytes.resize(static_cast<std::size_t>(decoded) - padding);
    if (base64_encode(bytes) != text)
        return -1;
    *out = std::move(bytes);
    return 0;
}

bool equal_in_constant_time(std::string_view a, std::string_view b)
{
    return !a.empty() && a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace remote
