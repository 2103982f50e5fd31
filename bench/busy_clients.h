// Busy clients for the benchmarks: raw peers of the original operations, each looping a
// prepare of one ticket by id, a step, two column reads and a finalize, all at once against
// one or more servers; the requests per second and the spread of a request's time.
#pragma once

#include "platform/platform.h"
#include "platform/sockets.h"
#include "remote/client_driver.h"
#include "remote/transport.h"
#include "remote/wire.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace bench {

struct BusyFigures {
    double per_second = 0;
    double p50_ms = 0;
    double p99_ms = 0;
    std::size_t requests = 0;
    double seconds = 0;
};

// One client's loop until *go turns 2, on tickets seed, seed + stride, ...
inline void busy_client(int port, int seed, int stride, int ticket_count, std::atomic<int>* go,
                        std::vector<double>* latencies_us)
{
    remote::RemoteLink link;
    if (remote::connect_to_server(&link, "127.0.0.1", port) != 0)
        return;
    std::vector<char> buffer(remote::column_reply_size);
    const auto exchange = [&](int operation, int value, const std::string& payload) {
        remote::WireMessage request{operation, value, static_cast<int>(payload.size()),
                                    const_cast<char*>(payload.data()), 0};
        remote::WireMessage reply{0, 0, 0, buffer.data(), static_cast<int>(buffer.size())};
        const auto begin = std::chrono::steady_clock::now();
        const int rc = remote::exchange_request(&link, request, &reply);
        latencies_us->push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin)
                .count());
        return rc == 0 ? reply.value : -1;
    };
    while (go->load() == 0)
        std::this_thread::yield();
    for (int i = seed; go->load() == 1; i += stride) {
        const int number =
            exchange(remote::op_prepare, 0,
                     "select * from ticket where id=" + std::to_string(1 + i % ticket_count));
        if (number <= 0)
            break;
        exchange(remote::op_step, number, "");
        exchange(remote::op_column, number, "code");
        exchange(remote::op_column, number, "description");
        exchange(remote::op_finalize, number, "");
    }
    platform::close_socket(link.socket);
}

// clients at once for run_ms, client i on ports[i % ports.size()].
inline BusyFigures run_busy_clients(const std::vector<int>& ports, int clients, int ticket_count,
                                    int run_ms)
{
    std::atomic<int> go{0};
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        latencies[static_cast<std::size_t>(i)].reserve(400000);
        threads.emplace_back(busy_client, ports[static_cast<std::size_t>(i) % ports.size()], i,
                             clients, ticket_count, &go, &latencies[static_cast<std::size_t>(i)]);
    }
    platform::sleep_ms(300); // every client connected
    go.store(1);
    const auto begin = std::chrono::steady_clock::now();
    platform::sleep_ms(run_ms);
    go.store(2);
    for (std::thread& thread : threads)
        thread.join();
    BusyFigures figures;
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::vector<double> all;
    for (const auto& list : latencies)
        all.insert(all.end(), list.begin(), list.end());
    std::sort(all.begin(), all.end());
    figures.requests = all.size();
    figures.per_second = all.size() / figures.seconds;
    figures.p50_ms = all.empty() ? 0 : all[all.size() / 2] / 1000.0;
    figures.p99_ms = all.empty() ? 0 : all[all.size() * 99 / 100] / 1000.0;
    return figures;
}

} // namespace bench
