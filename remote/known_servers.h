// Which server keys this user has accepted: one line per server, "ADDRESS:PORT SHA256:...",
// in the user's settings folder, as known hosts are kept for remote shells. Whether to ask
// the user is the client driver's and the login's business.
#pragma once

#include <string>

namespace remote {

// The fingerprint kept for server ("ADDRESS:PORT"), or the empty text when none is.
std::string known_fingerprint(const std::string& server);

// Keeps fingerprint for server, in place of one kept before. 0, or -1 when the settings
// cannot be written.
int remember_server(const std::string& server, const std::string& fingerprint);

} // namespace remote
