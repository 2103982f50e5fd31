// The remote link is not built yet: a standalone instance needs none of it, and these
// entry points keep start-up in its final order until it is.
#include "remote/remote.h"

namespace remote {

int start_tick_clock()
{
    return 0;
}

int install_client_driver(const char*, int)
{
    return 0;
}

int start_server(int)
{
    return 0;
}

} // namespace remote
