// The main window's group box and ticket list through the headless backend.
#include "resources/ids.h"
#include "tests/tickets/ticket_scenario.h"

namespace {

using namespace headless;
using namespace ids;
using ticket_tests::line;
using ticket_tests::TicketScenario;
using Lines = std::vector<std::string>;

class MainLists : public TicketScenario {};

TEST_F(MainLists, NoGroupLeavesBothEmptyAndSeeDisabled)
{
    open_as_admin();
    EXPECT_TRUE(lines_of(main, main_window::group_box).empty());
    EXPECT_TRUE(lines_of(main, main_window::ticket_list).empty());
    EXPECT_FALSE(is_enabled(main, main_window::see));
    EXPECT_EQ(list_count(), 0);
    click(main, main_window::refresh);
    EXPECT_EQ(list_count(), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(tab_stops_of(main, main_window::ticket_list), (std::vector<int>{38, 60, 80}));
}

TEST_F(MainLists, AllGroupsThenAChosenGroupOnRefresh)
{
    open_as_admin();
    const int beta = add_group("Beta");
    const int alpha = add_group("Alpha");
    link(1, beta);
    link(alpha, 1); // either direction counts
    const std::string d79(79, 'x');
    const int b2 = add_ticket(beta, "B2", "2026-03-02 10:00:00", "second", d79);
    const int b1 = add_ticket(beta, "B1", "2026-03-01 10:00:00", "first", d79 + "y");
    const int a1 = add_ticket(alpha, "A1", "2026-03-05 10:00:00", "alpha", "short");
    add_ticket(alpha, "A0", "2026-02-01 10:00:00", "ended", "gone", "2026-02-02 10:00:00");
    // A row another program wrote, with NULL texts.
    execute("insert into ticket (personid_t) values (" + std::to_string(alpha) + ")");
    const int nulls = count_of("select max(id) from ticket");
    relog();

    EXPECT_EQ(lines_of(main, main_window::group_box), (Lines{"Alpha", "Beta"}));
    EXPECT_EQ(selection_of(main, main_window::group_box), -1);
    EXPECT_EQ(lines_of(main, main_window::ticket_list),
              (Lines{line("", "", "", ""), line("2026-03-05 10:00:00", "A1", "alpha", "short"),
                     line("2026-03-01 10:00:00", "B1", "first", d79),
                     line("2026-03-02 10:00:00", "B2", "second", d79)}));
    EXPECT_EQ(list_count(), 4);
    EXPECT_EQ(line_ids(4), (std::vector<int>{nulls, a1, b1, b2, -1}));
    EXPECT_TRUE(is_enabled(main, main_window::see));

    // The arrow keys stay within the filled lines.
    select_line(main, main_window::ticket_list, 2);
    press_key(main, main_window::ticket_list, platform::key_down);
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 3);

    // Choosing a group alone changes nothing; Refresh follows the choice.
    select_entry(main, main_window::group_box, 1);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 4u);
    click(main, main_window::refresh);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2u);
    EXPECT_EQ(list_count(), 2);

    // An ended ticket leaves at the next refresh.
    execute("update ticket set enddate='2026-03-03 00:00:00' where id=" + std::to_string(b1));
    click(main, main_window::refresh);
    EXPECT_EQ(lines_of(main, main_window::ticket_list),
              (Lines{line("2026-03-02 10:00:00", "B2", "second", d79)}));
    EXPECT_EQ(line_ids(1), (std::vector<int>{b2, -1}));

    // A chosen group without open tickets.
    execute("update ticket set enddate='2026-03-03 00:00:00' where id=" + std::to_string(b2));
    click(main, main_window::refresh);
    EXPECT_TRUE(lines_of(main, main_window::ticket_list).empty());
    EXPECT_FALSE(is_enabled(main, main_window::see));
    EXPECT_EQ(list_count(), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(MainLists, LinkedTwiceRemovedGroupAndQuotedNames)
{
    open_as_admin();
    const int group = add_group("O''Neil''s desk");
    link(1, group);
    link(group, 1);
    add_ticket(group, "Q1", "2026-03-01 10:00:00", "won''t print", "d");
    relog();
    EXPECT_EQ(lines_of(main, main_window::group_box), (Lines{"O'Neil's desk", "O'Neil's desk"}));
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2u) << "listed once per link";

    // A name with a quote is looked up as typed.
    select_entry(main, main_window::group_box, 0);
    click(main, main_window::refresh);
    EXPECT_EQ(lines_of(main, main_window::ticket_list),
              (Lines{line("2026-03-01 10:00:00", "Q1", "won't print", "d")}));
    EXPECT_TRUE(boxes().empty());

    // Removed while chosen: the next Refresh cannot find it.
    execute("update person set date_e='2026-03-02 00:00:00' where id=" + std::to_string(group));
    click(main, main_window::refresh);
    const auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "select id from person where name='O''Neil''s desk' and date_e is null");
    EXPECT_EQ(shown[0].caption, "Missing row");
    EXPECT_TRUE(lines_of(main, main_window::ticket_list).empty());
    EXPECT_EQ(list_count(), -1);

    // It leaves the group box at the next login.
    relog();
    EXPECT_TRUE(lines_of(main, main_window::group_box).empty());
}

TEST_F(MainLists, AtMost2048Lines)
{
    open_as_admin();
    const int group = add_group("Busy");
    link(1, group);
    execute("with recursive n(i) as (select 1 union all select i+1 from n where i<2049) "
            "insert into ticket (code,personid_t,subject,description,begindate) "
            "select 'C'||i," +
            std::to_string(group) + ",'s','d',printf('2026-01-01 %05d',i) from n");
    relog();
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2048u);
    EXPECT_EQ(list_count(), 2048);
    EXPECT_EQ(line_ids(2048)[2048], -1);
    EXPECT_EQ(line_ids(2048)[2047], 2048);

    // The window says what the list left out, and every fill says it anew.
    EXPECT_EQ(text_of(main, main_window::notice), "2048 of 2,049 shown - choose a group");
    select_entry(main, main_window::group_box, 0);
    click(main, main_window::refresh);
    EXPECT_EQ(text_of(main, main_window::notice), "2048 of 2,049 shown");
    platform::Window search = open_search();
    click(search, search::run);
    EXPECT_EQ(text_of(main, main_window::notice), "2048 of 2,049 shown - refine the search");
    type_text(search, search::code, "C1");
    click(search, search::run);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 1111u);
    EXPECT_EQ(text_of(main, main_window::notice), "");
    // Exactly full leaves nothing out.
    execute("update ticket set enddate='2026-02-01 00:00:00' where code='C1'");
    click(main, main_window::refresh);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2048u);
    EXPECT_EQ(text_of(main, main_window::notice), "");
    EXPECT_TRUE(boxes().empty());
}

} // namespace
