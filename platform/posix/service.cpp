// No service manager of the program's own on POSIX systems: on Linux the Debian package's
// systemd unit (dist/vendrel-server.service.in) runs the server, so every call says so.
#include "platform/service.h"

namespace platform {

namespace {

int elsewhere(std::string* reason)
{
    if (reason)
        *reason = "here the server runs as the systemd unit vendrel-server "
                  "(systemctl enable --now vendrel-server)";
    return service_elsewhere;
}

} // namespace

int install_service(const std::string&, std::string* reason)
{
    return elsewhere(reason);
}

int remove_service(std::string* reason)
{
    return elsewhere(reason);
}

std::string service_folder()
{
    return std::string();
}

int run_as_service(int (*)(void*), void*, std::string* reason)
{
    return elsewhere(reason);
}

} // namespace platform
