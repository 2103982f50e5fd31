// The command line: every form a user may type, and what start-up makes of it.
#include "app/startup.h"

#include <gtest/gtest.h>

namespace {

struct CommandLineCase {
    const char* text;
    int result;
    int client_mode;
    const char* remote_host;
    int remote_port;
    bool server_mode;
    int listen_port;
    const char* listen_address = "";
};

TEST(CommandLine, EveryFormGivesItsMode)
{
    const CommandLineCase cases[] = {
        {"", 0, 0, "", -1, false, -1},
        {nullptr, 0, 0, "", -1, false, -1},
        {"client", 0, 1, "127.0.0.1", 450, false, -1},
        {"client   ", 0, 1, "127.0.0.1", 450, false, -1},
        {"client 10.0.0.5", 0, 2, "10.0.0.5", 450, false, -1},
        {"client   10.0.0.5:600", 0, 2, "10.0.0.5", 600, false, -1},
        {"client 10.0.0.5: 601", 0, 2, "10.0.0.5", 601, false, -1},
        {"client 10.0.0.5:0", -1, 2, "", 0, false, -1},
        {"client 10.0.0.5:x", -1, 2, "", 0, false, -1},
        {"client 10.0.0.5:-3", -1, 2, "", -3, false, -1},
        {"client server", 0, 2, "server", 450, false, -1},
        {"server client", 0, 1, "127.0.0.1", 450, false, -1},
        {"xyzclient", 0, 1, "127.0.0.1", 450, false, -1},
        {"Client", 0, 0, "", -1, false, -1},
        {"server", 0, 0, "", -1, true, 450},
        {"server 700", 0, 0, "", -1, true, 700},
        {"server\t701x", 0, 0, "", -1, true, 701},
        {"server -1", -1, 0, "", -1, true, -1},
        {"server abc", -1, 0, "", -1, true, 0},
        {"server 127.0.0.1", 0, 0, "", -1, true, 127}, // no colon: a port, as it always was
        {"server 10.0.0.5:4500", 0, 0, "", -1, true, 4500, "10.0.0.5"},
        {"server 10.0.0.5 : 4501", 0, 0, "", -1, true, 4501, "10.0.0.5"},
        {"server 10.0.0.5:0", -1, 0, "", -1, true, 0, "10.0.0.5"},
        {"something else", 0, 0, "", -1, false, -1},
    };
    for (const CommandLineCase& c : cases) {
        app::startup_options = app::StartupOptions{};
        SCOPED_TRACE(c.text ? c.text : "(none)");
        EXPECT_EQ(app::parse_command_line(c.text), c.result);
        EXPECT_EQ(app::startup_options.client_mode, c.client_mode);
        EXPECT_EQ(app::startup_options.remote_host, c.remote_host);
        EXPECT_EQ(app::startup_options.remote_port, c.remote_port);
        EXPECT_EQ(app::startup_options.server_mode, c.server_mode);
        EXPECT_EQ(app::startup_options.listen_port, c.listen_port);
        EXPECT_EQ(app::startup_options.listen_address, c.listen_address);
    }
}

} // namespace
