// SCRAM-SHA-256: the four messages of RFC 5802 with SHA-256 (RFC 7677), and the proofs in
// them. Attributes are read strictly in the order the RFC gives; a message that is not
// written so is refused rather than guessed at.
#include "remote/scram.h"

#include "remote/crypto.h"

#include <cstdlib>
#include <vector>

namespace remote {

namespace {

// The keys both ends derive from the secret and the salt.
struct Keys {
    std::string client_key;
    std::string stored_key;
    std::string server_key;
};

int derive_keys(const std::string& secret, const std::string& salt, int iterations, Keys* keys)
{
    std::string salted;
    if (pbkdf2_sha256(secret, salt, iterations, sha256_size, &salted) != 0)
        return -1;
    keys->client_key = hmac_sha256(salted, "Client Key");
    keys->stored_key = sha256(keys->client_key);
    keys->server_key = hmac_sha256(salted, "Server Key");
    return keys->stored_key.size() == sha256_size ? 0 : -1;
}

std::string xor_of(const std::string& a, const std::string& b)
{
    std::string result(a.size(), '\0');
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        result[i] = static_cast<char>(a[i] ^ b[i]);
    return result;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos)
            return parts;
        begin = end + 1;
    }
}

// The value of attribute name ("r" for "r=..."), or -1 when part is not that attribute.
int attribute(const std::string& part, char name, std::string* value)
{
    if (part.size() < 2 || part[0] != name || part[1] != '=')
        return -1;
    *value = part.substr(2);
    return 0;
}

// A nonce: printable ASCII but ','.
bool is_nonce(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < 0x21 || c > 0x7E || c == ',')
            return false;
    return true;
}

} // namespace

std::string scram_escape_name(const std::string& name)
{
    std::string text;
    for (char c : name) {
        if (c == ',')
            text += "=2C";
        else if (c == '=')
            text += "=3D";
        else
            text += c;
    }
    return text;
}

int scram_unescape_name(const std::string& text, std::string* name)
{
    name->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ',')
            return -1;
        if (text[i] != '=') {
            *name += text[i];
            continue;
        }
        const std::string code = text.substr(i + 1, 2);
        if (code == "2C")
            *name += ',';
        else if (code == "3D")
            *name += '=';
        else
            return -1;
        i += 2;
    }
    return 0;
}

std::string scram_client_first(ScramClient* client, const std::string& user,
                               const std::string& nonce)
{
    client->nonce = nonce;
    client->first_bare = "n=" + scram_escape_name(user) + ",r=" + nonce;
    return client->gs2_header + client->first_bare;
}

int scram_client_final(ScramClient* client, const std::string& server_first,
                       const std::string& secret, std::string* final_message)
{
    const std::vector<std::string> parts = split(server_first, ',');
    std::string nonce, salt_text, rounds;
    std::string salt;
    if (parts.size() < 3 || attribute(parts[0], 'r', &nonce) != 0 ||
        attribute(parts[1], 's', &salt_text) != 0 || attribute(parts[2], 'i', &rounds) != 0 ||
        !is_nonce(nonce) || nonce.size() <= client->nonce.size() ||
        nonce.compare(0, client->nonce.size(), client->nonce) != 0 ||
        base64_decode(salt_text, &salt) != 0 || salt.empty())
        return -1;
    char* end = nullptr;
    const long iterations = std::strtol(rounds.c_str(), &end, 10);
    if (rounds.empty() || *end != '\0' || iterations < scram_iterations || iterations > 1000000)
        return -1;

    Keys keys;
    if (derive_keys(secret, salt, static_cast<int>(iterations), &keys) != 0)
        return -1;
    const std::string without_proof =
        "c=" + base64_encode(client->gs2_header + client->binding_data) + ",r=" + nonce;
    const std::string auth = client->first_bare + "," + server_first + "," + without_proof;
    const std::string proof = xor_of(keys.client_key, hmac_sha256(keys.stored_key, auth));
    client->server_signature = hmac_sha256(keys.server_key, auth);
    *final_message = without_proof + ",p=" + base64_encode(proof);
    return 0;
}

bool scram_server_verified(const ScramClient& client, const std::string& server_final)
{
    std::string text, signature;
    if (attribute(split(server_final, ',')[0], 'v', &text) != 0 ||
        base64_decode(text, &signature) != 0)
        return false;
    return equal_in_constant_time(signature, client.server_signature);
}

int scram_read_client_first(const std::string& message, ScramServer* server)
{
    // gs2-header: the binding flag, an authorization identity (none taken), then the bare
    // message.
    const std::size_t flag_end = message.find(',');
    if (flag_end == std::string::npos)
        return -1;
    const std::string flag = message.substr(0, flag_end);
    if (flag != "n" && flag != "y" && flag != "p=tls-server-end-point")
        return -1;
    if (message.size() < flag_end + 2 || message[flag_end + 1] != ',')
        return -1;
    server->gs2_header = message.substr(0, flag_end + 2);
    server->first_bare = message.substr(flag_end + 2);

    const std::vector<std::string> parts = split(server->first_bare, ',');
    std::string name, nonce;
    // No extensions: the program's clients send none.
    if (parts.size() != 2 || attribute(parts[0], 'n', &name) != 0 ||
        scram_unescape_name(name, &server->user) != 0 || server->user.empty() ||
        attribute(parts[1], 'r', &nonce) != 0 || !is_nonce(nonce))
        return -1;
    server->nonce = nonce;
    return 0;
}

std::string scram_server_first(ScramServer* server, const std::string& server_nonce,
                               const std::string& salt, int iterations)
{
    server->nonce += server_nonce;
    server->salt = salt;
    server->iterations = iterations;
    server->server_first = "r=" + server->nonce + ",s=" + base64_encode(salt) +
                           ",i=" + std::to_string(iterations);
    return server->server_first;
}

int scram_check_client_final(const ScramServer& server, const std::string& final_message,
                             const std::string& secret, const std::string& binding_data,
                             std::string* server_final)
{
    const auto refuse = [server_final](const char* error) {
        *server_final = std::string("e=") + error;
        return -1;
    };
    const std::size_t proof_at = final_message.rfind(",p=");
    if (proof_at == std::string::npos)
        return refuse(scram_other_error);
    const std::string without_proof = final_message.substr(0, proof_at);
    const std::vector<std::string> parts = split(without_proof, ',');
    std::string binding_text, binding, nonce, proof;
    if (parts.size() != 2 || attribute(parts[0], 'c', &binding_text) != 0 ||
        base64_decode(binding_text, &binding) != 0 || attribute(parts[1], 'r', &nonce) != 0 ||
        base64_decode(final_message.substr(proof_at + 3), &proof) != 0)
        return refuse(scram_other_error);

    // A bound login on a link without a certificate, an unbound one on a link with one, or
    // binding data of another certificate: a relay in the middle, or a confused client.
    const bool bound = server.gs2_header[0] == 'p';
    if (bound == binding_data.empty() ||
        !equal_in_constant_time(binding, server.gs2_header + binding_data))
        return refuse(scram_binding_mismatch);
    if (nonce != server.nonce || proof.size() != sha256_size)
        return refuse(scram_invalid_proof);

    Keys keys;
    if (derive_keys(secret, server.salt, server.iterations, &keys) != 0)
        return refuse(scram_other_error);
    const std::string auth = server.first_bare + "," + server.server_first + "," + without_proof;
    const std::string client_key = xor_of(proof, hmac_sha256(keys.stored_key, auth));
    if (!equal_in_constant_time(sha256(client_key), keys.stored_key))
        return refuse(scram_invalid_proof);
    *server_final = "v=" + base64_encode(hmac_sha256(keys.server_key, auth));
    return 0;
}

} // namespace remote
