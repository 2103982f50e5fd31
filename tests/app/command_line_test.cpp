// The command line: every form a user may type, and what start-up makes of it; the lines
// answered on the terminal, in this process and through the program without a display.
#include "app/command_line.h"
#include "app/startup.h"
#include "harness/home.h"
#include "harness/peer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

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

TEST(CommandLine, OptionsAreTakenWhereverTheyStandAndTheirValuesAreNeverModeWords)
{
    app::startup_options = app::StartupOptions{};
    EXPECT_EQ(app::parse_arguments({"--tls-cert", "/etc/client.pem", "server", "--open",
                                    "--tls-key", "/etc/clients.key", "10.0.0.5:4500"}),
              0);
    EXPECT_TRUE(app::startup_options.server_mode);
    EXPECT_EQ(app::startup_options.client_mode, 0);
    EXPECT_TRUE(app::startup_options.open_server);
    EXPECT_EQ(app::startup_options.certificate_file, "/etc/client.pem");
    EXPECT_EQ(app::startup_options.key_file, "/etc/clients.key");
    EXPECT_EQ(app::startup_options.listen_address, "10.0.0.5");
    EXPECT_EQ(app::startup_options.listen_port, 4500);

    app::startup_options = app::StartupOptions{};
    EXPECT_EQ(app::parse_command_line("client --fingerprint SHA256:xserverx 10.0.0.7:600"), 0);
    EXPECT_EQ(app::startup_options.client_mode, 2);
    EXPECT_FALSE(app::startup_options.server_mode);
    EXPECT_EQ(app::startup_options.remote_host, "10.0.0.7");
    EXPECT_EQ(app::startup_options.pinned_fingerprint, "SHA256:xserverx");
    app::startup_options = app::StartupOptions{};
    EXPECT_EQ(app::parse_arguments({"server", "--store", "postgresql://clients@dbserver/clients",
                                    "127.0.0.1:4501"}),
              0);
    EXPECT_TRUE(app::startup_options.server_mode);
    EXPECT_EQ(app::startup_options.client_mode, 0);
    EXPECT_EQ(app::startup_options.store, "postgresql://clients@dbserver/clients");
    EXPECT_EQ(app::startup_options.listen_port, 4501);
    app::startup_options = app::StartupOptions{};
    EXPECT_EQ(app::parse_command_line("client 10.0.0.7:600,10.0.0.8, vendrel2:700"), 0);
    EXPECT_EQ(app::startup_options.remote_host, "10.0.0.7");
    EXPECT_EQ(app::startup_options.remote_port, 600);
    EXPECT_EQ(app::startup_options.more_servers,
              (std::vector<std::pair<std::string, int>>{{"10.0.0.8", 450}, {"vendrel2", 700}}));
    app::startup_options = app::StartupOptions{};
    EXPECT_EQ(app::parse_command_line("client 10.0.0.7:0,10.0.0.8"), -1);
    app::startup_options = app::StartupOptions{};
    EXPECT_EQ(app::parse_command_line("server --tls-cert"), -1);
}

struct AnswerCase {
    std::vector<std::string> words;
    int status;         // -1: the program itself
    const char* output; // a pattern the standard output holds
    const char* errors; // one the error output holds
};

TEST(CommandLine, HelpVersionAndUnknownWordsAreAnsweredWithoutADisplay)
{
    const AnswerCase cases[] = {
        {{"--help"}, 0, "vendrel backup \\[--force\\] \\[--database PATH\\] FILE", "^$"},
        {{"--version"}, 0, "^vendrel [0-9]+\\.[0-9]+\nCopyright .* The Vendrel developers\n.*MIT", "^$"},
        {{"report"}, 2, "^$", "unknown command: report\n(.|\n)*Usage:"},
        {{"--help", "now"}, 2, "^$", "unknown command: --help now"},
        // The service's words are checked before the system is asked anything.
        {{"service"}, 2, "^$", "install or remove\\?\nUsage: vendrel service install"},
        {{"service", "install", "--open", "70000"}, 2, "^$", "not a PORT or ADDRESS:PORT: 70000"},
        {{"service", "install", "10.0.0:450"}, 2, "^$", "not a PORT or ADDRESS:PORT: 10.0.0:450"},
        {{"service", "install", "450", "--open"}, 2, "^$", "unknown word --open"},
        {{"service", "remove", "now"}, 2, "^$", "unknown word now"},
        // The forms start-up reads stay the program's, wherever the words stand.
        {{}, -1, "^$", "^$"},
        {{" "}, -1, "^$", "^$"},
        {{"xyzclient"}, -1, "^$", "^$"},
        {{"client", "--help"}, -1, "^$", "^$"},
        {{"--version", "server"}, -1, "^$", "^$"},
        {{"--fingerprint", "SHA256:client"}, -1, "^$", "^$"},
        {{"--tls-cert", "server.pem", "--tls-key", "k", "--help"}, 2, "^$", "unknown command"},
        {{"--store", "host=dbserver dbname=clients", "--help"}, 2, "^$", "unknown command"},
    };
    const std::string home = testing_support::make_temp_home("vendrel-words");
    ASSERT_FALSE(home.empty());
    for (const AnswerCase& c : cases) {
        std::vector<char*> argv{const_cast<char*>("vendrel")};
        std::string shown = "vendrel";
        for (const std::string& word : c.words) {
            argv.push_back(const_cast<char*>(word.c_str()));
            shown += " " + word;
        }
        SCOPED_TRACE(shown);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(app::answer_command_line(static_cast<int>(argv.size()), argv.data()), c.status);
        const std::string output = testing::internal::GetCapturedStdout();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(std::regex_search(output, std::regex(c.output))) << output;
        EXPECT_TRUE(std::regex_search(errors, std::regex(c.errors))) << errors;
        if (c.status >= 0) {
            EXPECT_EQ(remote_testing::run_program(home, c.words, home + "/words.err", 20000),
                      c.status);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace
