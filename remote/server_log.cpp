// The server's event lines. Each goes out in one write, so lines of the server thread and of
// start-up never interleave, and nothing a peer sent can break a line in two.
#include "remote/server_log.h"

#include "platform/platform.h"
#include "util/date_time.h"

#include <cstdarg>
#include <cstdio>

namespace remote {

std::string peer_text(const platform::SocketAddress& peer)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%d", (peer.address >> 24) & 0xFF,
                  (peer.address >> 16) & 0xFF, (peer.address >> 8) & 0xFF, peer.address & 0xFF,
                  peer.port);
    return text;
}

void log_event(const char* format, ...)
{
    char line[1024];
    const std::string stamp = util::time_stamp_now();
    int used = std::snprintf(line, sizeof line, "%s vendrel: ", stamp.c_str());
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + used, sizeof line - static_cast<std::size_t>(used) - 1, format, args);
    va_end(args);
    // Names in a line may come from a peer; none of them may start a line of its own.
    for (char* at = line; *at; ++at)
        if (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F)
            *at = '?';
    platform::write_log_line(line);
}

} // namespace remote
