// The Windows screenshot tool: runs the real vendrel.exe (under Wine with a display), works
// through it as a person would (first login, a few tickets, the search and subject windows,
// one message box) and writes a PNG of each window, title bar and all, into the folder
// given on the command line. It uses the Wine user's Documents folder: a database there is
// replaced.
#include "tests/win32/driver.h"

#include "platform/win32/text.h"
#include "resources/ids.h"

#include <sqlite3.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace win32_driver;

std::string folder;
std::vector<std::string> written;
int failures = 0;

void shoot(HWND window, const char* name)
{
    const std::string file = folder + "\\" + name + ".png";
    if (window && save_picture(window, file)) {
        written.push_back(file);
    } else {
        std::fprintf(stderr, "screenshots: no picture of %s\n", name);
        ++failures;
    }
}

HWND need(const Program& program, const char* caption)
{
    HWND window = wait_for_dialog(program, caption);
    if (!window) {
        std::fprintf(stderr, "screenshots: the window \"%s\" never appeared\n", caption);
        ++failures;
    }
    return window;
}

std::string database_file()
{
    wchar_t* path = nullptr;
    std::string file;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &path)))
        file = win32::to_utf8(path) + "\\data_vendrel.dat";
    CoTaskMemFree(path);
    return file;
}

bool execute(const std::string& file, const char* sql)
{
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool done = sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK;
    if (!done)
        std::fprintf(stderr, "screenshots: %s\n", error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return done;
}

void log_in(const Program& program, HWND main, bool first)
{
    click(main, ids::main_window::login);
    HWND login = need(program, "Login");
    type(login, ids::login::user, "admin");
    type(login, ids::login::password, "admin");
    if (!first)
        shoot(login, "login");
    click(login, ids::login::log_in);
    if (first) {
        shoot(need(program, "Generate new Database - no table for users found"), "message-box");
        answer_box(program, "Generate new Database - no table for users found");
        answer_box(program, "Generating new Database done");
    }
    wait_until_gone(login);
}

struct Ticket {
    const char* customer;
    const char* subject;
    const char* state;
    const char* description;
};

void create_ticket(const Program& program, HWND main, const Ticket& t, bool picture)
{
    click(main, ids::main_window::create);
    HWND ticket = need(program, "Vendrel - Ticket");
    type(ticket, ids::ticket::customer, t.customer);
    type(ticket, ids::ticket::subject, t.subject);
    type(ticket, ids::ticket::state, t.state);
    type(ticket, ids::ticket::description, t.description);
    choose_entry(ticket, ids::ticket::group_box, 0);
    if (picture)
        shoot(ticket, "ticket-create");
    click(ticket, ids::ticket::save);
    wait_until_gone(ticket);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    folder = argv[1];
    CreateDirectoryW(win32::to_wide(folder).c_str(), nullptr);
    const std::string database = database_file();
    DeleteFileW(win32::to_wide(database).c_str());

    Program program;
    if (!start(&program)) {
        std::fprintf(stderr, "screenshots: vendrel.exe does not start\n");
        return 1;
    }
    HWND main = need(program, "Vendrel");
    if (main) {
        log_in(program, main, true);
        execute(database,
                "insert into person (name,role,ac1,date_b) values "
                "('Front desk',5,'1','2026-01-05 08:00:00');"
                "insert into person (name,role,telephonenumber,email,place,date_b) values "
                "('Ann Archer',1,'0161 496 0734','ann@example.org','Leeds','2026-01-05 08:00:00'),"
                "('Harbour Tools Ltd',2,'0161 496 0000','info@example.com','Hull',"
                "'2026-01-05 08:00:00');"
                "insert into subjectlink "
                "(personid,personid2,linklevelkind,reason,begindate,date_b) values "
                "(1,2,3,'Member','2026-01-05 08:00:00','2026-01-05 08:00:00')");
        log_in(program, main, false);
        const Ticket tickets[] = {
            {"Harbour Tools Ltd", "Printer on floor 2 jams", "open",
             "Paper jam reported, but there is no paper in the tray."},
            {"Ann Archer", "Mail client asks for the password again", "waiting",
             "Since Monday the mail program asks at every start."},
        };
        for (const Ticket& t : tickets)
            create_ticket(program, main, t, &t == &tickets[0]);
        select_line(main, ids::main_window::ticket_list, 0);
        shoot(main, "main");

        // Two earlier versions of the first ticket, by another writer, for its history.
        execute(database,
                "insert into ticket (code,personid_t,personid_u,customer,subject,state,"
                "description,begindate,enddate,date_b) select code,personid_t,3,customer,"
                "'Printer jams','new','Paper jam reported.','2026-01-07 08:12:00',"
                "'2026-01-07 10:30:00','2026-01-07 08:12:00' from ticket where "
                "subject='Printer on floor 2 jams' and enddate is null;"
                "insert into ticket (code,personid_t,personid_u,customer,subject,state,"
                "description,begindate,enddate,date_b) select code,personid_t,1,customer,"
                "'Printer on floor 2 jams','new','Paper jam reported.','2026-01-07 10:30:00',"
                "begindate,'2026-01-07 10:30:00' from ticket where "
                "subject='Printer on floor 2 jams' and enddate is null");
        click(main, ids::main_window::see);
        if (HWND ticket = need(program, "Vendrel - Ticket")) {
            click(ticket, ids::ticket::history);
            if (HWND history = need(program, "Vendrel - History")) {
                select_line(history, ids::history::versions, 1);
                shoot(history, "history");
                click(history, ids::cancel);
                wait_until_gone(history);
            }
            click(ticket, ids::cancel);
            wait_until_gone(ticket);
        }

        click(main, ids::main_window::search);
        if (HWND search = need(program, "Search tickets")) {
            type(search, ids::search::subject, "printer");
            click(search, ids::search::run);
            shoot(search, "search");
            // A search that finds more than the list holds says so under the list.
            execute(database,
                    "with recursive n(i) as (select 1 union all select i+1 from n where i<2100) "
                    "insert into ticket (code,personid_t,customer,subject,state,description,"
                    "begindate,date_b) select printf('3UB%04d',i),2,'Reception',"
                    "'Archived request '||i,'done','Kept for the records.',"
                    "printf('2025-%02d-%02d 09:00:00',1+i%12,1+i%28),'2025-01-01 00:00:00' from n");
            type(search, ids::search::subject, "");
            click(search, ids::search::run);
            click(search, ids::cancel);
            wait_until_gone(search);
            shoot(main, "main-cut");
        }
        click(main, ids::main_window::subjects);
        if (HWND subjects = need(program, "All subjects")) {
            shoot(subjects, "subjects");
            click(subjects, ids::cancel);
            wait_until_gone(subjects);
        }
        click(main, ids::cancel);
    }
    if (wait_for_exit(&program) != 0) {
        std::fprintf(stderr, "screenshots: vendrel.exe did not end by its Quit button\n");
        ++failures;
    }
    for (const std::string& file : written)
        std::printf("%s\n", file.c_str());
    return failures == 0 ? 0 : 1;
}
