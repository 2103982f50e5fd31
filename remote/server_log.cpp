// The server's event lines. Each goes out in one write, so lines of the server thread and of
// start-up never interleave, and nothing a peer sent can break a line in two.
#include "remote/server_log.h"

#include "platform/platform.h"
#include "util/date_time.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

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

namespace {

// What one address has had logged of its refusals lately. Past ten lines in a second it
// falls silent: what follows is counted and told in one line a period, until a whole period
// passes without a refusal.
struct RefusalLines {
    std::int64_t second_began = 0;
    int in_second = 0;
    bool silent = false;
    std::int64_t period_began = 0; // of the summary period, while silent
    long long unlogged = 0;
};

constexpr int refusal_lines_per_second = 10;

std::unordered_map<std::uint32_t, RefusalLines> refusal_lines; // the server thread's only

std::string address_text(std::uint32_t address)
{
    platform::SocketAddress peer{address, 0};
    const std::string text = peer_text(peer);
    return text.substr(0, text.rfind(':'));
}

} // namespace

void log_refusal_of(const platform::SocketAddress& peer, const std::string& why, int summary_ms)
{
    const std::int64_t now = platform::monotonic_ms();
    RefusalLines& lines = refusal_lines[peer.address];
    if (lines.silent) {
        ++lines.unlogged;
        return;
    }
    if (now - lines.second_began >= 1000) {
        lines.second_began = now;
        lines.in_second = 0;
    }
    if (++lines.in_second <= refusal_lines_per_second) {
        log_event("client %s request refused: %s", peer_text(peer).c_str(), why.c_str());
        return;
    }
    lines.silent = true;
    lines.period_began = now;
    lines.unlogged = 1;
    log_refusal_summaries(summary_ms);
}

void log_refusal_summaries(int summary_ms)
{
    if (refusal_lines.empty())
        return;
    const std::int64_t now = platform::monotonic_ms();
    for (auto entry = refusal_lines.begin(); entry != refusal_lines.end();) {
        RefusalLines& lines = entry->second;
        const bool period_over = now - (lines.silent ? lines.period_began : lines.second_began) >=
                                 summary_ms;
        if (lines.silent && period_over && lines.unlogged > 0) {
            log_event("clients of %s: %lld more requests refused in %d s, not logged one by one",
                      address_text(entry->first).c_str(), lines.unlogged,
                      static_cast<int>((now - lines.period_began + 999) / 1000));
            lines.unlogged = 0;
            lines.period_began = now;
            ++entry;
        } else if (period_over) {
            entry = refusal_lines.erase(entry); // a whole period without a refusal
        } else {
            ++entry;
        }
    }
}

} // namespace remote
