// The main list that follows the database: changes another connection writes show at the
// next tick of the main window's timer with the user's place kept, a search result stays as
// asked for, nothing but one light statement is read while nothing changed, and an open
// ticket dialog says when its version is no longer the open one.
#include "app/live_list.h"
#include "resources/ids.h"
#include "store/db_driver.h"
#include "tests/tickets/ticket_scenario.h"
#include "tickets/ticket_dialog.h"

#include <cstdio>

namespace {

using namespace headless;
using namespace ids;
using ticket_tests::line;
using ticket_tests::TicketScenario;
using Lines = std::vector<std::string>;

class LiveList : public TicketScenario {
  protected:
    void SetUp() override
    {
        TicketScenario::SetUp();
        app::list_touch_quiet_ms = 0;
    }
    void TearDown() override
    {
        TicketScenario::TearDown();
        app::list_touch_quiet_ms = 1000;
    }
    // A desk with two open tickets, admin in it and logged in again.
    void open_desk()
    {
        if (!main)
            start();
        create_database();
        desk = add_group("Desk");
        link(1, desk);
        first = add_ticket(desk, "T-1", "2026-03-01 09:00:00", "one", "d1");
        add_ticket(desk, "T-2", "2026-03-02 09:00:00", "two", "d2");
        relog();
    }
    bool tick() { return fire_timer(main, app::live_list_timer); }
    // A new version of the open row id, as another instance saves it.
    void save_elsewhere(int id, const std::string& code, const std::string& stamp,
                        const std::string& subject)
    {
        execute("update ticket set enddate='" + stamp + "' where id=" + std::to_string(id));
        add_ticket(desk, code, stamp, subject, "again");
    }
    int desk = 0;
    int first = 0;
};

// Statements prepared on the program's connection while work runs there.
int statements_during(const std::function<void()>& work)
{
    static int prepared = 0;
    static decltype(store::db_driver.prepare) original = nullptr;
    prepared = 0;
    on_program_thread([] {
        original = store::db_driver.prepare;
        store::db_driver.prepare = [](store::DbConnection* c, const char* sql, int bytes,
                                      store::DbStatement** s, const char** tail) {
            ++prepared;
            return original(c, sql, bytes, s, tail);
        };
    });
    work();
    on_program_thread([] { store::db_driver.prepare = original; });
    return prepared;
}

TEST_F(LiveList, FollowsACreateANewVersionAndAnEndKeepingTheSelection)
{
    open_desk();
    ASSERT_TRUE(tick()); // the first answer: the list the login filled is filled once more
    ASSERT_TRUE(select_line(main, main_window::ticket_list, 0));

    add_ticket(desk, "T-3", "2026-03-03 09:00:00", "three", "d3");
    ASSERT_TRUE(tick());
    EXPECT_EQ(lines_of(main, main_window::ticket_list),
              (Lines{line("2026-03-01 09:00:00", "T-1", "one", "d1"),
                     line("2026-03-02 09:00:00", "T-2", "two", "d2"),
                     line("2026-03-03 09:00:00", "T-3", "three", "d3")}));
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 0);

    // The selected ticket gets a new row and moves to the end: it stays selected.
    save_elsewhere(first, "T-1", "2026-03-04 09:00:00", "one again");
    ASSERT_TRUE(tick());
    EXPECT_EQ(lines_of(main, main_window::ticket_list)[2],
              line("2026-03-04 09:00:00", "T-1", "one again", "again"));
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 2);
    EXPECT_EQ(list_count(), 3);

    // Right after the user touched a line the list waits, so no double click lands on
    // another ticket; then it follows.
    app::list_touch_quiet_ms = 3600 * 1000;
    ASSERT_TRUE(select_line(main, main_window::ticket_list, 0));
    ASSERT_EQ(lines_of(main, main_window::ticket_list)[0],
              line("2026-03-02 09:00:00", "T-2", "two", "d2"));
    execute("update ticket set enddate='2026-03-05 09:00:00' where code='T-2'");
    ASSERT_TRUE(tick());
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 3u);
    app::list_touch_quiet_ms = 0;
    ASSERT_TRUE(tick());
    EXPECT_EQ(lines_of(main, main_window::ticket_list),
              (Lines{line("2026-03-03 09:00:00", "T-3", "three", "d3"),
                     line("2026-03-04 09:00:00", "T-1", "one again", "again")}));
    EXPECT_EQ(selection_of(main, main_window::ticket_list), -1) << "the ticket selected ended";
    EXPECT_TRUE(boxes().empty());
}

TEST_F(LiveList, TheLineAtTheTopStaysWhenALineAboveItGoes)
{
    open_as_admin();
    desk = add_group("Desk");
    link(1, desk);
    for (int i = 0; i < 40; ++i) {
        char stamp[20];
        std::snprintf(stamp, sizeof stamp, "2026-03-01 09:%02d:00", i);
        add_ticket(desk, "L" + std::to_string(i), stamp, "s", "d");
    }
    relog();
    ASSERT_TRUE(tick());
    int top = -1;
    on_program_thread([&] {
        platform::list_set_top_line(main, main_window::ticket_list, 10);
        top = platform::list_top_line(main, main_window::ticket_list);
    });
    ASSERT_EQ(top, 10);
    execute("update ticket set enddate='2026-03-02 00:00:00' where code='L2'");
    ASSERT_TRUE(tick());
    on_program_thread([&] { top = platform::list_top_line(main, main_window::ticket_list); });
    EXPECT_EQ(top, 9);
    EXPECT_EQ(lines_of(main, main_window::ticket_list)[9],
              line("2026-03-01 09:10:00", "L10", "s", "d"));
}

TEST_F(LiveList, ASearchResultStaysAndNothingIsReadWhileNothingChanged)
{
    start();
    EXPECT_EQ(statements_during([&] { ASSERT_TRUE(tick()); }), 0) << "nobody is logged in";
    open_desk();
    ASSERT_TRUE(tick());
    // Idle: one light statement a tick, and the list is not filled again.
    EXPECT_EQ(statements_during([&] {
                  ASSERT_TRUE(tick());
                  ASSERT_TRUE(tick());
              }),
              2);

    platform::Window search = open_search();
    type_text(search, ids::search::subject, "two");
    click(search, ids::search::run);
    press_escape(search);
    const Lines found = lines_of(main, main_window::ticket_list);
    ASSERT_EQ(found.size(), 1u);
    add_ticket(desk, "T-3", "2026-03-03 09:00:00", "two more", "d3");
    ASSERT_TRUE(tick());
    EXPECT_EQ(lines_of(main, main_window::ticket_list), found);

    click(main, main_window::refresh);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 3u);
}

TEST_F(LiveList, AnOpenTicketDialogSaysWhenItsVersionIsNoLongerOpen)
{
    open_desk();
    ASSERT_TRUE(tick());
    platform::Window dialog = open_see(0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog, ticket::newer), "");
    ASSERT_TRUE(fire_timer(dialog, app::newer_version_timer));
    EXPECT_EQ(text_of(dialog, ticket::newer), "");

    save_elsewhere(first, "T-1", "2026-03-04 09:00:00", "one again");
    ASSERT_TRUE(tick());
    ASSERT_TRUE(fire_timer(dialog, app::newer_version_timer));
    EXPECT_EQ(text_of(dialog, ticket::newer), tickets::changed_meanwhile);
    EXPECT_EQ(text_of(dialog, ticket::subject), "one") << "what the user sees is left alone";
    EXPECT_TRUE(boxes().empty());
}

} // namespace
