// The tick clock: a thread that counts changes of the calendar second, started once in
// every mode. Only the remote link reads it.
#include "remote/tick_clock.h"

#include "remote/remote.h"

#include "platform/platform.h"

#include <ctime>

namespace remote {

TickClock tick_clock;

namespace {

void thread_trampoline(void* raw)
{
    auto* start = static_cast<ThreadStart*>(raw);
    start->entry(start);
}

std::atomic<int> clock_started{0};

// The clock only sleeps and counts; the smallest stack the system gives will do.
constexpr std::size_t tick_stack_size = 16 * 1024;

} // namespace

int launch_thread(void (*entry)(ThreadStart* start), ThreadStart* start, std::size_t stack_size)
{
    start->started.store(0);
    start->entry = entry;
    return platform::start_thread(thread_trampoline, start, stack_size);
}

void wait_until_started(const ThreadStart* start)
{
    // The new thread gets going within a scheduler slice; a millisecond step keeps start-up
    // quick without spinning.
    while (start->started.load() == 0)
        platform::sleep_ms(1);
}

void tick_thread(ThreadStart* start)
{
    std::time_t previous = std::time(nullptr);
    start->started.store(1);
    for (;;) {
        platform::sleep_ms(100);
        const std::time_t now = std::time(nullptr);
        // A jump of the calendar clock, forward or back, is still one tick.
        if (now != previous)
            tick_clock.ticks.fetch_add(1, std::memory_order_relaxed);
        previous = now;
    }
}

int start_tick_clock()
{
    if (clock_started.exchange(1) != 0)
        return 0;
    ThreadStart start;
    if (launch_thread(tick_thread, &start, tick_stack_size) != 0) {
        clock_started.store(0);
        return -1;
    }
    wait_until_started(&start);
    return 0;
}

} // namespace remote
