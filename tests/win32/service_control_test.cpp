// The service's control handler, called as the service manager calls it, on a server that runs
// in this process as the service's does. Wine's manager stops a service (tests/win32/package
// does that through net stop) but sends neither the shutdown of a system going down nor a
// user's logoff; both are sent here.
#include "app/startup.h"
#include "harness/home.h"
#include "harness/peer.h"
#include "platform/platform.h"
#include "platform/win32/system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

namespace {

bool serves(int port)
{
    const platform::Socket socket = remote_testing::connect_raw(port);
    if (socket == platform::invalid_socket)
        return false;
    platform::close_socket(socket);
    return true;
}

TEST(ServiceControl, AShutdownStopsTheServerWithinFiveSecondsAndALogoffDoesNot)
{
    const std::string home = testing_support::make_temp_home("vendrel-service");
    ASSERT_FALSE(home.empty());
    remote_testing::create_database_in(home);
    const int port = remote_testing::free_port();
    const std::string command_line = "server 127.0.0.1:" + std::to_string(port);
    int result = -1;
    std::thread server([&] { result = app::serve_without_windows(command_line.c_str()); });
    bool listening = false;
    for (int waited = 0; waited < 10000 && !(listening = serves(port)); waited += 50)
        platform::sleep_ms(50);
    ASSERT_TRUE(listening);

    // Another user leaves: the service goes on. (Its log would go to the service's folder
    // meanwhile, so nothing connects while this process plays the service.)
    platform::sleep_ms(200);
    win32::running_as_service = true;
    EXPECT_TRUE(win32::console_event(CTRL_LOGOFF_EVENT));
    win32::running_as_service = false;
    platform::sleep_ms(200);
    EXPECT_TRUE(serves(port));

    EXPECT_EQ(win32::service_control(SERVICE_CONTROL_INTERROGATE), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(win32::service_control(SERVICE_CONTROL_PAUSE),
              static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));

    const int64_t asked = platform::monotonic_ms();
    EXPECT_EQ(win32::service_control(SERVICE_CONTROL_SHUTDOWN), static_cast<DWORD>(NO_ERROR));
    const win32::ServiceStatus stopping = win32::last_service_status();
    EXPECT_EQ(stopping.state, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_LE(stopping.wait_hint_ms, 5000u);
    server.join();
    const int64_t took = platform::monotonic_ms() - asked;
    std::cout << "the server stopped " << took << " ms after the shutdown\n";
    EXPECT_LT(took, 5000);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(serves(port));
}

} // namespace
