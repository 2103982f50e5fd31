// vendrel fingerprint: the key fingerprint of the server whose database is named, as the
// administrator reads it out to the users who check it at their first login. The key is
// remote's.
#include "app/command_line.h"

#include "platform/platform.h"
#include "remote/remote.h"
#include "remote/tls.h"

#include <cstring>
#include <string>

namespace app {

int run_fingerprint(int argc, char** argv)
{
    std::string database;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--database") == 0 && i + 1 < argc) {
            database = argv[++i];
        } else {
            platform::write_error("Usage: vendrel fingerprint [--database FILE]\n");
            return exit_usage;
        }
    }
    if (database.empty())
        database = own_database();
    const std::string certificate = remote::file_beside(database, remote::server_certificate_name);
    std::string fingerprint;
    std::string reason;
    if (remote::certificate_fingerprint(certificate, &fingerprint, &reason) != 0) {
        platform::write_error("vendrel fingerprint: " + reason +
                              " (a server makes its key at its first start)\n");
        return exit_failed;
    }
    platform::write_output(fingerprint + "\n");
    return exit_ok;
}

} // namespace app
