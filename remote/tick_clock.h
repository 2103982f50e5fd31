// The tick clock every wait of the remote link is measured in, and the way the link starts
// its background threads. Sockets and what travels over them are left to transport and wire.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace remote {

// Seconds of wall-clock time since the clock's thread started: one tick per change of the
// calendar second, however far the calendar clock jumps. One writer, the clock's thread.
struct TickClock {
    std::atomic<std::uint32_t> ticks{0};
};

extern TickClock tick_clock;

inline std::uint32_t current_tick()
{
    return tick_clock.ticks.load(std::memory_order_relaxed);
}

// What a starter hands its new thread. The thread sets started once it runs (or, for the
// server, once its set-up is decided, with result 0 or -1); the starter keeps the record
// alive until it has seen that.
struct ThreadStart {
    std::atomic<int> started{0};
    std::atomic<int> result{0};
    int argument = 0; // the server's port
    void (*entry)(ThreadStart* start) = nullptr;
};

// Clears the started flag and runs entry(start) on a new thread with a stack of at least
// stack_size bytes. 0, or -1 when no thread.
int launch_thread(void (*entry)(ThreadStart* start), ThreadStart* start, std::size_t stack_size);

// Waits, without limit, until the thread of start reports that it runs.
void wait_until_started(const ThreadStart* start);

// The clock loop; never returns.
void tick_thread(ThreadStart* start);

// Starts the clock once per process and returns when its thread runs; 0, or -1 when the
// thread cannot be started (every deadline then lies ten seconds after tick 0).
int start_tick_clock();

} // namespace remote
