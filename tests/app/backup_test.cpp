// vendrel backup run as an administrator runs it, a process of its own: under a server that
// several clients keep writing to, and the refusals that keep files safe.
#include "harness/home.h"
#include "harness/peer.h"
#include "platform/platform.h"
#include "tests/support/scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using remote_testing::ask;
using testing_support::query;
using testing_support::Rows;

class Backup : public ::testing::Test {
  protected:
    void SetUp() override
    {
        home = testing_support::make_temp_home("vendrel-backup");
        ASSERT_FALSE(home.empty());
        database = home + "/Documents/data_vendrel.dat";
        remote_testing::create_database_in(home);
    }
    void TearDown() override
    {
        if (server.process.id > 0)
            remote_testing::stop_server_process(&server);
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
    int backup(const std::vector<std::string>& words, int timeout_ms = 60000)
    {
        std::vector<std::string> arguments{"backup"};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return remote_testing::run_program(home, arguments, home + "/backup.err", timeout_ms);
    }
    std::string errors() const
    {
        std::ifstream file(home + "/backup.err");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string home;
    std::string database;
    remote_testing::ServerProcess server;
};

// One client of the server: inserts tickets until told to stop. A ticket counts as committed
// once its step answered 101; any other answer is a refused write.
struct Writer {
    int port = 0;
    int number = 0;
    std::atomic<int>* stop = nullptr;
    std::atomic<int> refused{0};
    int64_t longest_ms = 0; // the longest insert
    std::mutex mutex;
    std::vector<std::string> committed; // ticket codes
};

void write_tickets(Writer* writer)
{
    const platform::Socket socket = remote_testing::connect_raw(writer->port);
    if (socket == platform::invalid_socket) {
        ++writer->refused;
        return;
    }
    for (int n = 0; !writer->stop->load(); ++n) {
        const int64_t started = platform::monotonic_ms();
        char code[32];
        std::snprintf(code, sizeof code, "W%d-%d", writer->number, n);
        std::string insert = "insert into ticket (code,subject,description) values ('";
        insert.append(code).append("','Load','").append(200, 'x').append("')");
        const int handle = ask(socket, 'J', 0, insert).value;
        const std::string step = handle ? ask(socket, 'K', handle, "").payload : "no handle";
        ask(socket, 'L', handle, "");
        writer->longest_ms = std::max(writer->longest_ms, platform::monotonic_ms() - started);
        if (step == "101") {
            std::lock_guard<std::mutex> lock(writer->mutex);
            writer->committed.push_back(code);
        } else {
            ++writer->refused;
        }
    }
    platform::close_socket(socket);
}

TEST_F(Backup, ACopyTakenWhileClientsWriteIsWholeAndNoWriteIsRefused)
{
    // Some thousand pages, so that the copy takes many steps and writers get between them.
    testing_support::execute(database, "with recursive n(i) as (select 1 union all select i+1 "
                                       "from n where i<20000) insert into ticket "
                                       "(code,subject,description) select 'F'||i,'Filler',"
                                       "printf('%.300c','f') from n");
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));

    std::atomic<int> stop{0};
    constexpr int writer_count = 4;
    Writer writers[writer_count];
    std::vector<std::thread> threads;
    for (int i = 0; i < writer_count; ++i) {
        writers[i].port = server.port;
        writers[i].number = i;
        writers[i].stop = &stop;
        threads.emplace_back(write_tickets, &writers[i]);
    }
    platform::sleep_ms(300);

    std::vector<std::string> before; // committed before the backup began
    for (Writer& writer : writers) {
        std::lock_guard<std::mutex> lock(writer.mutex);
        before.insert(before.end(), writer.committed.begin(), writer.committed.end());
    }
    // The path holds both words of the server's command line; backup comes first and wins.
    const std::string copy = home + "/client server.dat";
    const int64_t started = platform::monotonic_ms();
    const int status = backup({"--database", database, copy});
    const int64_t took = platform::monotonic_ms() - started;
    platform::sleep_ms(200);
    stop = 1;
    for (std::thread& thread : threads)
        thread.join();

    int refused = 0;
    std::size_t written = 0;
    int64_t longest_ms = 0;
    for (Writer& writer : writers) {
        refused += writer.refused;
        written += writer.committed.size();
        longest_ms = std::max(longest_ms, writer.longest_ms);
    }
    std::cout << "backup took " << took << " ms while " << written << " tickets were written; "
              << before.size() << " before it began, " << refused << " refused, the longest insert "
              << longest_ms << " ms\n";
    EXPECT_EQ(status, 0) << errors();
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(query(copy, "pragma integrity_check"), (Rows{{"ok"}}));
    const Rows codes = query(copy, "select code from ticket where code like 'W%'");
    std::vector<std::string> copied;
    for (const auto& row : codes)
        copied.push_back(row[0]);
    std::sort(copied.begin(), copied.end());
    for (const std::string& code : before)
        EXPECT_TRUE(std::binary_search(copied.begin(), copied.end(), code)) << code;
    EXPECT_EQ(query(copy, "select count(*) from ticket where code like 'F%'"), (Rows{{"20000"}}));
    EXPECT_FALSE(std::filesystem::exists(copy + ".part"));
}

TEST_F(Backup, AnExistingFileIsReplacedOnlyWhenForcedAndNeverByTheDatabaseItself)
{
    const std::string file = home + "/copy.dat";
    std::ofstream(file) << "keep me";
    struct Case {
        std::vector<std::string> words;
        int status;
        const char* says; // on the error output
    } const cases[] = {
        {{"--database", database, file}, 1, "exists; --force replaces it"},
        {{"--force", "--database", database, database}, 1, "is the database itself"},
        {{"--database", home + "/none.dat", home + "/new.dat"}, 1, "no database at"},
        {{"--database", database}, 2, "FILE is missing"},
        {{"--quick", file}, 2, "unknown option --quick"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.back());
        EXPECT_EQ(backup(c.words), c.status);
        EXPECT_NE(errors().find(c.says), std::string::npos) << errors();
    }
    std::string text;
    std::getline(std::ifstream(file), text); // closed again: Windows replaces no open file
    EXPECT_EQ(text, "keep me");
    EXPECT_FALSE(std::filesystem::exists(home + "/new.dat"));
    EXPECT_EQ(query(database, "select name from person"), (Rows{{"admin"}}));

    // Forced, and without --database: the running user's own database.
    EXPECT_EQ(backup({"--force", file}), 0) << errors();
    EXPECT_EQ(query(file, "select name from person"), (Rows{{"admin"}}));
}

} // namespace
