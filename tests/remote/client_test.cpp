// The client driver against a real server process of the program on 127.0.0.1: the login
// and raw statements through the headless backend in client mode, with the rows checked in
// the server's file; a client without a server; a server without a display.
#include "harness/peer.h"
#ifndef _WIN32
#include "harness/pg_server.h"
#endif
#include "harness/relay.h"
#include "resources/ids.h"
#include "tests/support/scenario.h"

#include "remote/client_driver.h"
#include "store/db_driver.h"
#include "store/session.h"
#include "store/sql.h"
#include "util/md5.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

using namespace headless;
using namespace ids;
using remote_testing::ServerProcess;

std::string file_text(const std::string& path);

class RemoteClient : public testing_support::Scenario {
  protected:
    void TearDown() override
    {
        testing_support::Scenario::TearDown();
        if (server.process.id > 0)
            remote_testing::stop_server_process(&server);
#ifndef _WIN32
        pg_testing::stop_pg_server(&pg);
#endif
    }
    // The database made in home, a server on it, and this program started as its client.
    void start_client_of_server()
    {
        remote_testing::create_database_in(home);
        ASSERT_TRUE(remote_testing::start_server_process(home, &server));
        start(remote_testing::client_command_line(home, server.port));
    }
    using RowsOf = std::function<testing_support::Rows(const std::string&)>;
    void a_day_at_the_desk(const RowsOf& rows);
    ServerProcess server;
#ifndef _WIN32
    // A PostgreSQL server of the test's own, its database made by vendrel init, a server of
    // the program on it, and this program started as its client.
    void make_postgresql_database()
    {
        ASSERT_TRUE(pg_testing::start_pg_server(&pg)) << "PostgreSQL: " << pg.error;
        uri = pg_testing::make_pg_database(pg, "vendrel");
        ASSERT_FALSE(uri.empty());
        {
            std::ofstream password(home + "/password");
            password << "admin\n";
        }
        ASSERT_EQ(remote_testing::run_program(home, {"init", "--store", uri}, home + "/init.err",
                                              60000, home + "/password"),
                  0)
            << file_text(home + "/init.err");
    }
    void start_client_of_postgresql_server()
    {
        make_postgresql_database();
        if (HasFatalFailure())
            return;
        server.options = {"--store", uri};
        ASSERT_TRUE(remote_testing::start_server_process(home, &server))
            << file_text(home + "/server.err");
        start(remote_testing::client_command_line(home, server.port));
    }
    pg_testing::PgServer pg;
    std::string uri;
#endif
};

std::string file_text(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST_F(RemoteClient, LogsInAndRunsStatementsOnTheServersDatabase)
{
    start_client_of_server();
    EXPECT_TRUE(box_texts().empty());
    log_in("admin", "admin");
    EXPECT_TRUE(box_texts().empty());
    int person = 0;
    on_program_thread([&] { person = store::current_person_id; });
    EXPECT_EQ(person, 1);

    on_program_thread([&] {
        store::DbStatement* statement = nullptr;
        const std::string sql = "select name, date_e from person where id=1";
        ASSERT_EQ(
            store::prepare(store::db_handle, sql.c_str(), int(sql.size()), &statement, nullptr), 0);
        ASSERT_EQ(store::step(statement), store::db_row);
        const char* first = store::column_by_name(statement, "name");
        const char* second = store::column_by_name(statement, "name");
        ASSERT_TRUE(first && second);
        EXPECT_STREQ(first, "admin");
        EXPECT_STREQ(second, "admin");
        // As the local library gives them: none for a NULL and for a missing column.
        EXPECT_EQ(store::column_by_name(statement, "date_e"), nullptr);
        EXPECT_EQ(store::column_by_name(statement, "missing"), nullptr);
        EXPECT_EQ(store::step(statement), store::db_done);
        EXPECT_EQ(store::finalize(statement), 0);

        // Read by step and column requests, texts of one statement beyond its first 8192
        // bytes all stay intact until finalize, and a single text longer than that is read
        // whole.
        auto run = [](const std::string& text) {
            store::DbStatement* s = nullptr;
            EXPECT_EQ(store::prepare(store::db_handle, text.c_str(), int(text.size()), &s, nullptr),
                      0)
                << text;
            const int rc = store::step(s);
            store::finalize(s);
            return rc;
        };
        // A client writes only the program's tables, so the long texts go into tickets.
        EXPECT_EQ(run("insert into ticket (code, description) values ('N1', printf('%.3000c', "
                      "'a')), ('N2', printf('%.3000c', 'b')), ('N3', printf('%.3000c', 'c')), "
                      "('N4', printf('%.9000c', 'd'))"),
                  store::db_done);
        const std::string create = "create table notes (n integer, t text)";
        store::DbStatement* refused = nullptr;
        EXPECT_NE(
            store::prepare(store::db_handle, create.c_str(), int(create.size()), &refused, nullptr),
            0);
        EXPECT_EQ(refused, nullptr);
        const std::string select = "select description as t from ticket order by code";
        remote::pages_wanted = false;
        ASSERT_EQ(store::prepare(store::db_handle, select.c_str(), int(select.size()), &statement,
                                 nullptr),
                  0);
        std::vector<const char*> texts;
        for (int row = 0; row < 3; ++row) {
            ASSERT_EQ(store::step(statement), store::db_row);
            texts.push_back(store::column_by_name(statement, "t"));
        }
        ASSERT_EQ(store::step(statement), store::db_row);
        EXPECT_STREQ(store::column_by_name(statement, "t"), std::string(9000, 'd').c_str());
        EXPECT_EQ(store::step(statement), store::db_done);
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(std::string(texts[row]), std::string(3000, char('a' + row)));
        EXPECT_EQ(store::finalize(statement), 0);
        remote::pages_wanted = true;

        const std::string wrong = "selec nonsense";
        statement = nullptr;
        EXPECT_NE(
            store::prepare(store::db_handle, wrong.c_str(), int(wrong.size()), &statement, nullptr),
            0);
        EXPECT_EQ(statement, nullptr);
        EXPECT_EQ(store::finalize(statement), 0);
    });
    EXPECT_EQ(
        query("select code, length(description) from ticket order by code"),
        (testing_support::Rows{{"N1", "3000"}, {"N2", "3000"}, {"N3", "3000"}, {"N4", "9000"}}));
    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
}

// Selects the line text of list control in dialog; false when it is not there.
bool select_text(platform::Window dialog, int control, const std::string& text)
{
    const std::vector<std::string> lines = lines_of(dialog, control);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == text)
            return select_line(dialog, control, static_cast<int>(i));
    return false;
}

void close_forms(platform::Window main)
{
    const std::vector<platform::Window> dialogs = open_dialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        if (*it != main)
            press_escape(*it);
}

// A day at the desk through the dialogs of a client, each step checked in the server's
// database through rows.
void RemoteClient::a_day_at_the_desk(const RowsOf& rows)
{
    using Texts = std::vector<std::string>;
    log_in("admin", "admin");
    ASSERT_EQ(box_texts(), Texts{});

    // A ticket group that takes tickets, made and linked to admin through the subject forms.
    click(main, main_window::subjects);
    platform::Window list = find_dialog(subject_list_dialog);
    ASSERT_NE(list, nullptr);
    click(list, subject_list::create);
    platform::Window form = find_dialog(subject_new_dialog);
    ASSERT_NE(form, nullptr);
    type_text(form, subject_new::name, "Front desk");
    click(form, subject_new::save);
    close_forms(main);
    click(main, main_window::subjects);
    list = find_dialog(subject_list_dialog);
    ASSERT_TRUE(select_text(list, subject_list::names, "Front desk"));
    click(list, subject_list::update);
    platform::Window update = find_dialog(subject_update_dialog);
    ASSERT_NE(update, nullptr);
    select_entry(update, subject_update::role, 4); // TicketGroup
    click(update, subject_update::save);
    ASSERT_TRUE(select_text(list, subject_list::names, "Front desk"));
    click(list, subject_list::update);
    update = find_dialog(subject_update_dialog);
    click(update, subject_update::extra);
    platform::Window extra = find_dialog(extra_dialog);
    ASSERT_NE(extra, nullptr);
    type_text(extra, extra::extra1, "1");
    click(extra, extra::save);
    close_forms(main);

    click(main, main_window::subjects);
    list = find_dialog(subject_list_dialog);
    ASSERT_TRUE(select_text(list, subject_list::names, "admin"));
    click(list, subject_list::update);
    update = find_dialog(subject_update_dialog);
    click(update, subject_update::links);
    platform::Window links = find_dialog(links_dialog);
    ASSERT_NE(links, nullptr);
    click(links, links::begin_now);
    ASSERT_TRUE(select_text(links, links::candidates, "Front desk"));
    select_line(links, links::kind, 2); // Relation
    type_text(links, links::reason, "Member");
    click(links, links::add);
    EXPECT_EQ(lines_of(links, links::link_list), Texts{"Member\tRelation\tFront desk\t"});
    close_forms(main);
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(rows("select role, ac1 from person where name='Front desk'"),
              (testing_support::Rows{{"5", "1"}}));

    // The group shows after a new login; a ticket is created, seen, saved and searched.
    log_in("admin", "admin");
    EXPECT_EQ(lines_of(main, main_window::group_box), Texts{"Front desk"});
    click(main, main_window::create);
    platform::Window ticket = find_dialog(ticket_dialog);
    ASSERT_NE(ticket, nullptr);
    type_text(ticket, ticket::customer, "Reception");
    type_text(ticket, ticket::subject, "Printer jam");
    type_text(ticket, ticket::state, "new");
    type_text(ticket, ticket::description, "Paper stuck in tray 2");
    click(ticket, ticket::save);
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);
    EXPECT_EQ(rows("select customer, subject, state from ticket"),
              (testing_support::Rows{{"Reception", "Printer jam", "new"}}));
    ASSERT_EQ(lines_of(main, main_window::ticket_list).size(), 1u);

    select_line(main, main_window::ticket_list, 0);
    click(main, main_window::see);
    ticket = find_dialog(ticket_dialog);
    ASSERT_NE(ticket, nullptr);
    EXPECT_EQ(text_of(ticket, ticket::subject), "Printer jam");
    EXPECT_EQ(text_of(ticket, ticket::description), "Paper stuck in tray 2");
    type_text(ticket, ticket::state, "waiting for toner");
    click(ticket, ticket::save);
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);
    EXPECT_EQ(rows("select state from ticket where enddate is null"),
              (testing_support::Rows{{"waiting for toner"}}));

    click(main, main_window::search);
    platform::Window search = find_dialog(search_dialog);
    ASSERT_NE(search, nullptr);
    type_text(search, search::subject, "pRINTER"); // the case of a word never matters
    click(search, search::run);
    // Both versions of the ticket, the saved one and the one it replaced.
    const Texts found = lines_of(main, main_window::ticket_list);
    EXPECT_EQ(found.size(), rows("select id from ticket where subject like 'Printer%'").size());
    for (const std::string& line : found)
        EXPECT_NE(line.find("Printer jam"), std::string::npos);

    // The ticket is ended: no open row is left, and the list is empty.
    click(main, main_window::refresh);
    ASSERT_EQ(lines_of(main, main_window::ticket_list).size(), 1u);
    select_line(main, main_window::ticket_list, 0);
    click(main, main_window::see);
    ticket = find_dialog(ticket_dialog);
    ASSERT_NE(ticket, nullptr);
    click(ticket, ticket::save_and_end);
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);
    EXPECT_EQ(rows("select count(*) from ticket where enddate is null"),
              (testing_support::Rows{{"0"}}));
    EXPECT_EQ(lines_of(main, main_window::ticket_list), Texts{});
    EXPECT_EQ(box_texts(), Texts{"Realy end"}); // asked, and answered OK
}

TEST_F(RemoteClient, ADayAtTheDeskThroughTheDialogsLandsInTheServersFile)
{
    start_client_of_server();
    a_day_at_the_desk([this](const std::string& sql) { return query(sql); });
}

#ifndef _WIN32
TEST_F(RemoteClient, AClientOfTwoServersOfOneDatabaseKeepsWorkingWhenOneStops)
{
    make_postgresql_database();
    if (HasFatalFailure())
        return;
    server.options = {"--store", uri};
    ASSERT_TRUE(remote_testing::start_server_process(home, &server))
        << file_text(home + "/server.err");
    // The second server shows the office's key, the first one's.
    const std::string second_home = home + "/second";
    std::filesystem::create_directories(second_home + "/Documents");
    ServerProcess second;
    second.options = {"--store", uri, "--tls-cert", home + "/Documents/vendrel-server.crt",
                      "--tls-key", home + "/Documents/vendrel-server.key"};
    ASSERT_TRUE(remote_testing::start_server_process(second_home, &second))
        << file_text(second_home + "/server.err");
    // The user accepts the first server's key at the first login; the second, showing the
    // same key, is then no stranger.
    start("client 127.0.0.1:" + std::to_string(server.port) + ",127.0.0.1:" +
          std::to_string(second.port));
    headless::answer_next_box(platform::answer_ok);
    log_in("admin", "admin");
    EXPECT_EQ(box_texts().size(), 1u);
    const auto insert = [this](const char* code) {
        bool written = false;
        on_program_thread([&] {
            written = store::run_statement(std::string("insert into ticket (code) values ('") +
                                           code + "')")
                          .ok();
        });
        return written;
    };
    EXPECT_TRUE(insert("F1"));
    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
    // The next request finds the other server, logged in again as admin.
    EXPECT_TRUE(insert("F2"));
    EXPECT_EQ(pg_testing::pg_query(pg, "vendrel", "select code from ticket order by code"),
              (testing_support::Rows{{"F1"}, {"F2"}}));
    EXPECT_EQ(remote_testing::stop_server_process(&second), 0);
    EXPECT_NE(file_text(second_home + "/server.err").find("login as admin: logged in"),
              std::string::npos);
}

TEST_F(RemoteClient, ADayAtTheDeskOnAServerOfAPostgresqlDatabaseIsTheSame)
{
    start_client_of_postgresql_server();
    if (HasFatalFailure())
        return;
    a_day_at_the_desk([this](const std::string& sql) { return pg_testing::pg_query(pg, "vendrel", sql); });
}
#endif

TEST_F(RemoteClient, AServerIsFoundAtTheNextLoginItsKeyAskedAboutOnceAndAnotherKeyRefused)
{
    const int port = remote_testing::free_port();
    start("client 127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(box_texts().empty()) << "an unreachable server is not reported at start-up";
    log_in("admin", "admin");
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Server connection error"});
    EXPECT_EQ(find_dialog(login_dialog), nullptr);

    // The server comes up; the next login finds it, without a restart. Its key is new to
    // this computer: the user is asked, once, and says yes.
    remote_testing::create_database_in(home);
    ASSERT_TRUE(remote_testing::start_server_process(home, port, &server));
    const std::string fingerprint = remote_testing::server_fingerprint(home);
    headless::answer_next_box(platform::answer_ok);
    log_in("admin", "admin");
    std::vector<headless::ShownBox> boxes = headless::take_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "New server");
    EXPECT_NE(boxes[0].text.find(fingerprint), std::string::npos) << boxes[0].text;
    int person = 0;
    on_program_thread([&] { person = store::current_person_id; });
    EXPECT_EQ(person, 1);
    EXPECT_NE(file_text(platform::settings_folder() + "/known-servers")
                  .find("127.0.0.1:" + std::to_string(port) + " " + fingerprint),
              std::string::npos);

    // The same address with another key: refused with the box, and no login goes out.
    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
    std::filesystem::remove(home + "/Documents/vendrel-server.crt");
    std::filesystem::remove(home + "/Documents/vendrel-server.key");
    ASSERT_TRUE(remote_testing::start_server_process(home, port, &server));
    log_in("admin", "admin");
    boxes = headless::take_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Server identity changed");
    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
    EXPECT_EQ(file_text(home + "/server.err").find("login as"), std::string::npos);
}

TEST_F(RemoteClient, AListenerOnTheWireReadsNeitherTicketsNorTheLogin)
{
    remote_testing::create_database_in(home);
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));
    remote_testing::Relay listener;
    listener.capture = true;
    ASSERT_TRUE(remote_testing::start_relay(&listener, server.port));
    start(remote_testing::client_command_line(home, listener.port));
    log_in("admin", "admin");
    EXPECT_TRUE(box_texts().empty());
    const std::string secret = "Printer on the third floor jams";
    on_program_thread([&] {
        EXPECT_TRUE(store::run_statement("insert into ticket (code,description) values ('C1','" +
                                         secret + "')")
                        .ok());
        std::vector<std::string> read;
        EXPECT_TRUE(store::run_collecting("select description from ticket", "description", &read)
                        .ok());
        EXPECT_EQ(read, std::vector<std::string>{secret});
    });
    remote_testing::stop_relay(&listener);
    EXPECT_EQ(query("select description from ticket"), testing_support::Rows{{secret}});
    char digest[33];
    util::hash_password("admin", digest);
    EXPECT_GT(listener.captured.size(), 1000u);
    for (const std::string& text : {secret, std::string("ticket"), std::string("admin"),
                                    std::string(digest)})
        EXPECT_EQ(listener.captured.find(text), std::string::npos) << text;
}

TEST_F(RemoteClient, EveryFailedLoginShowsTheBoxOfTheLocalLogin)
{
    remote_testing::create_database_in(home);
    char digest[33];
    util::hash_password("carol's", digest);
    execute(std::string("insert into person (name,password) values ('carol','") + digest +
            "'),('nopass',NULL)");
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));
    start(remote_testing::client_command_line(home, server.port));
    const std::string statement =
        "SELECT id,password from person where name='nopass' and (role=1 or role is null) and "
        "date_e is null";
    struct Case {
        const char* user;
        const char* password;
        std::vector<std::string> boxes;
    } const cases[] = {
        {"nobody", "x", {"Unknown user"}},
        {"nopass", "x", {statement}},
        {"carol", "wrong", {"Wrong username/password"}},
        {"ghost1", "x", {"Unknown user"}},
        {"ghost2", "x", {"Unknown user"}},
        {"ghost3", "x", {"Unknown user"}}, // the fifth failure from this computer
        {"carol", "carol's",
         {"Too many failed logins from this computer - try again in five minutes"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        log_in(c.user, c.password);
        const std::vector<headless::ShownBox> boxes = headless::take_boxes();
        std::vector<std::string> texts;
        for (const headless::ShownBox& box : boxes)
            texts.push_back(box.text);
        EXPECT_EQ(texts, c.boxes);
        if (std::string(c.user) == "nopass" && !boxes.empty()) {
            EXPECT_EQ(boxes[0].caption, "No password set");
        }
        EXPECT_NE(find_dialog(login_dialog), nullptr) << "the login dialog stays open";
        int person = 0;
        on_program_thread([&] { person = store::current_person_id; });
        EXPECT_EQ(person, -1);
    }
}

TEST_F(RemoteClient, AServerWithoutDisplayStopsOnRequestAndNamesAPortItCannotHave)
{
    remote_testing::create_database_in(home);
    ASSERT_TRUE(remote_testing::start_server_process(home, &server));
    const std::string port = std::to_string(server.port);

    // A second server on the same port says so, in the system's words, and ends.
    std::string in_use;
    EXPECT_EQ(platform::listen_socket(nullptr, server.port, 1, &in_use), platform::invalid_socket);
    EXPECT_FALSE(in_use.empty());
    const std::string other = home + "/other";
    std::filesystem::create_directories(other);
    ServerProcess second;
    ASSERT_TRUE(remote_testing::spawn_server_process(other, server.port, &second));
    EXPECT_EQ(remote_testing::wait_for_exit(&second, 10000), 1);
    EXPECT_NE(file_text(other + "/server.err")
                  .find("Server cannot listen on port " + port + ": " + in_use),
              std::string::npos);

    // So does a desktop instance, once, with a box that gives the reason under the line it
    // always had; it goes on as a standalone instance.
    start("server " + port);
    const std::vector<headless::ShownBox> boxes = headless::take_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Server cannot listen on port " + port + "\r\n" + in_use);
    EXPECT_EQ(boxes[0].caption, "Server cannot listen on port " + port);
    log_in("admin", "admin");
    EXPECT_TRUE(box_texts().empty());

    // The first server is still serving, and serves nothing to a peer that has not logged
    // in; a stop request ends it with its database closed.
    const platform::Socket client = remote_testing::connect_raw(server.port);
    const remote_testing::Reply reply =
        remote_testing::ask(client, 'J', 0, "select count(*) as c from person");
    EXPECT_TRUE(reply.complete);
    EXPECT_EQ(reply.value, 0);
    platform::close_socket(client);
    EXPECT_EQ(remote_testing::stop_server_process(&server), 0);
    EXPECT_FALSE(std::filesystem::exists(database + "-journal"));
    EXPECT_EQ(query("select name from person"), testing_support::Rows{{"admin"}});
}

} // namespace
