// vendrel backup run as an administrator runs it, a process of its own: under a server that
// several clients keep writing to, and the refusals that keep files safe.
#include "harness/home.h"
#include "harness/peer.h"
#include "platform/platform.h"
#include "store/backup.h"
#include "tests/support/scenario.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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
    server.options = {"--open"}; // the writers are raw peers of the original operations
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

TEST_F(Backup, NeverDeletesOrReplacesAFileItDidNotMake)
{
    // A source whose name ends in .part, a neighbour that bears the name a copy of "report"
    // might take, and one left by a backup that was interrupted: each stays as it was.
    const std::string folder = home + "/x";
    std::filesystem::create_directories(folder);
    const std::string source = folder + "/tickets.part";
    std::filesystem::copy_file(database, source);
    for (const char* name : {"/report.part", "/report.1.part"})
        std::ofstream(home + name) << "keep me";

    EXPECT_EQ(backup({"--database", source, folder + "/tickets"}), 0) << errors();
    EXPECT_EQ(query(source, "select name from person"), (Rows{{"admin"}}));
    EXPECT_EQ(query(folder + "/tickets", "select name from person"), (Rows{{"admin"}}));
    EXPECT_EQ(backup({"--database", source, home + "/report"}), 0) << errors();
    EXPECT_EQ(query(home + "/report", "select name from person"), (Rows{{"admin"}}));
    for (const char* name : {"/report.part", "/report.1.part"}) {
        std::string text;
        std::getline(std::ifstream(home + name), text);
        EXPECT_EQ(text, "keep me") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(home + "/report.2.part"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/tickets.1.part"));
}

TEST_F(Backup, TwoBackupsToOneFileAtOnceEachRenameOnlyTheirOwnFinishedCopy)
{
    // Some tens of megabytes, so that the two copies overlap.
    testing_support::execute(database, "with recursive n(i) as (select 1 union all select i+1 "
                                       "from n where i<40000) insert into ticket "
                                       "(code,subject,description) select 'F'||i,'Filler',"
                                       "printf('%.1000c','f') from n");
    const std::string file = home + "/copy.dat";
    int status[2] = {-1, -1};
    std::thread first([&] { status[0] = backup({"--force", "--database", database, file}); });
    std::thread second([&] { status[1] = backup({"--force", "--database", database, file}); });
    first.join();
    second.join();
    EXPECT_EQ(status[0], 0);
    EXPECT_EQ(status[1], 0);
    EXPECT_EQ(query(file, "pragma integrity_check"), (Rows{{"ok"}}));
    EXPECT_EQ(query(file, "select count(*) from ticket"), (Rows{{"40000"}}));
    for (const auto& entry : std::filesystem::directory_iterator(home))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(Backup, ACopyNeverHoldsTheFileLongerThanAWriterWaitsAndSaysSoWhenWritesNeverPause)
{
    // Two hundred megabytes take most of a second to copy in one step; a writer that waits a
    // quarter of a second for its lock saves every 20 ms meanwhile.
    testing_support::execute(database, "with recursive n(i) as (select 1 union all select i+1 "
                                       "from n where i<50000) insert into ticket (code,"
                                       "description) select 'F'||i,randomblob(4000) from n");
    std::atomic<int> stop{0};
    int refused = 0;
    int saved = 0;
    std::thread writer([&] {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 250);
        for (int n = 0; !stop.load(); ++n) {
            const std::string insert =
                "insert into ticket (code) values ('W" + std::to_string(n) + "')";
            const int rc = sqlite3_exec(db, insert.c_str(), nullptr, nullptr, nullptr);
            rc == SQLITE_OK ? ++saved : ++refused;
            platform::sleep_ms(20);
        }
        sqlite3_close(db);
    });
    store::BackupLimits limits;
    limits.hold_ms = 60;
    limits.give_up_ms = 3000;
    std::string reason;
    const std::string copy = home + "/copy.dat";
    const int result = store::backup_database(database, copy, nullptr, nullptr, &reason, limits);
    stop = 1;
    writer.join();
    std::cout << saved << " saves during the backup, " << refused << " refused\n";
    EXPECT_EQ(refused, 0);
    EXPECT_GT(saved, 0);
    EXPECT_EQ(result, store::backup_never_quiet) << reason;
}

TEST_F(Backup, NamesWithAnyLettersAreCopiedAsTyped)
{
    // Neither name fits one code page: the words, the files and the messages stay UTF-8.
    const std::filesystem::path folder = std::filesystem::u8path(home + "/Zoë Ämter");
    std::filesystem::create_directory(folder);
    const std::string source = home + "/Zoë Ämter/Łódź.dat";
    const std::string copy = home + "/Zoë Ämter/Ωμέγα.dat";
    std::filesystem::copy_file(std::filesystem::u8path(database), std::filesystem::u8path(source));
    EXPECT_EQ(backup({"--database", source, copy}), 0) << errors();
    EXPECT_EQ(query(copy, "select name from person"), (Rows{{"admin"}}));
    EXPECT_EQ(backup({"--database", source, copy}), 1);
    EXPECT_NE(errors().find(copy + " exists"), std::string::npos) << errors();
}

} // namespace
