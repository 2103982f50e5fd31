// The ticket dialog in both modes: what it shows, what a save writes and what it refuses.
#include "resources/ids.h"
#include "store/db_driver.h"
#include "tests/tickets/ticket_scenario.h"
#include "tickets/ticket_codes.h"

namespace {

using namespace headless;
using namespace ids;
using testing_support::Rows;
using ticket_tests::TicketScenario;
using Lines = std::vector<std::string>;

constexpr const char* ticket_columns =
    "select code,personid_t,personid_u,customer,subject,state,description,begindate,enddate,"
    "date_b,date_e,personid_c from ticket order by id";

class TicketDialog : public TicketScenario {
  protected:
    void fill(platform::Window dialog, const std::string& customer, const std::string& subject,
              const std::string& state, const std::string& description)
    {
        type_text(dialog, ticket::customer, customer);
        type_text(dialog, ticket::subject, subject);
        type_text(dialog, ticket::state, state);
        type_text(dialog, ticket::description, description);
    }
};

TEST_F(TicketDialog, CreateWithoutAnEligibleGroup)
{
    open_as_admin();
    link(1, add_group("Closed desk", "0"));
    relog();
    platform::Window dialog = open_create();
    ASSERT_NE(dialog, nullptr);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Cannot create ticket\r\nMust have a ticketgroup with extra1=1");
    EXPECT_EQ(shown[0].caption, "No message group found");
    EXPECT_TRUE(lines_of(dialog, ticket::group_box).empty());
    EXPECT_EQ(text_of(dialog, ticket::code), "");
    EXPECT_EQ(text_of(dialog, ticket::save), "Save (C)");
    EXPECT_EQ(text_of(dialog, ticket::save_and_end), "End (C)");
    for (int id : {ticket::get, ticket::files, ticket::mail})
        EXPECT_FALSE(is_enabled(dialog, id)) << id;

    click(dialog, ticket::save);
    shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Select a ticketgroup");
    EXPECT_EQ(shown[0].caption, "Select a ticketgroup");
    EXPECT_NE(text_of(dialog, ticket::code), "") << "the code is made before the group is checked";
    EXPECT_EQ(count_of("select count(*) from ticket"), 0);
    EXPECT_NE(find_dialog(ticket_dialog), nullptr);

    // No code can be checked: the save stops at once.
    execute("alter table ticket rename to old_ticket");
    click(dialog, ticket::save);
    shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Cannot generate code for ticket, please try again");
}

TEST_F(TicketDialog, CreateSavesOneOpenRowAndCreateEndOneEndedRow)
{
    open_as_admin();
    const int group = add_group("Desk");
    link(1, group);
    relog();

    platform::Window dialog = open_create();
    EXPECT_EQ(lines_of(dialog, ticket::group_box), Lines{"Desk"});
    EXPECT_EQ(selection_of(dialog, ticket::group_box), 0);
    fill(dialog, "Mrs O'Hara", "Printer on 2nd floor won't print", "new", "Paper jam\r\nagain");
    click(dialog, ticket::save);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);

    Rows rows = query(ticket_columns);
    ASSERT_EQ(rows.size(), 1u);
    const std::string code = rows[0][0];
    const std::string stamp = rows[0][7];
    EXPECT_EQ(rows[0], (std::vector<std::string>{code, std::to_string(group), "1", "Mrs O'Hara",
                                                 "Printer on 2nd floor won't print", "new",
                                                 "Paper jam\r\nagain", stamp, "NULL", stamp, "NULL",
                                                 "NULL"}));
    EXPECT_EQ(stamp.size(), 19u);
    EXPECT_EQ(
        lines_of(main, main_window::ticket_list),
        Lines{stamp + "\t" + code + "\tPrinter on 2nd floor won't print\tPaper jam\r\nagain"});
    EXPECT_EQ(list_count(), 1);

    // Save and End asks first; Cancel writes nothing.
    dialog = open_create();
    fill(dialog, "c", "ended at once", "s", "d");
    answer_next_box(platform::answer_cancel);
    click(dialog, ticket::save_and_end);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Realy end");
    EXPECT_EQ(shown[0].caption, "End Record");
    EXPECT_EQ(shown[0].buttons, platform::Buttons::ok_cancel);
    EXPECT_EQ(count_of("select count(*) from ticket"), 1);
    ASSERT_NE(find_dialog(ticket_dialog), nullptr);

    click(dialog, ticket::save_and_end);
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);
    rows = query(ticket_columns);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[1][0], code);
    EXPECT_EQ(rows[1][4], "ended at once");
    EXPECT_EQ(rows[1][8], rows[1][7]) << "born ended";
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 1u);
}

TEST_F(TicketDialog, EachFieldRefusedAtItsLimit)
{
    open_as_admin();
    link(1, add_group("Desk"));
    relog();
    platform::Window dialog = open_create();
    const std::string customer(79, 'c'), subject(255, 's'), state(19, 't'), description(4095, 'd');
    struct Case {
        int field;
        std::string too_long;
        const char* message;
    };
    const Case cases[] = {{ticket::customer, customer + "c", "Customer too long"},
                          {ticket::subject, subject + "s", "Subject too long"},
                          {ticket::state, state + "t", "State too long"},
                          {ticket::description, description + "d", "Description too long"}};
    int counter_before = 0;
    on_program_thread([&] { counter_before = tickets::code_counter; });
    for (const Case& c : cases) {
        fill(dialog, customer, subject, state, description);
        type_text(dialog, c.field, c.too_long);
        click(dialog, ticket::save);
        auto shown = boxes();
        ASSERT_EQ(shown.size(), 1u) << c.message;
        EXPECT_EQ(shown[0].text, c.message);
        EXPECT_EQ(shown[0].caption, c.message);
        EXPECT_EQ(shown[0].owner_template, ticket_dialog);
        EXPECT_EQ(text_of(dialog, c.field), c.too_long) << "fields stay as typed";
        EXPECT_EQ(count_of("select count(*) from ticket"), 0);
    }
    int counter_after = 0;
    on_program_thread([&] { counter_after = tickets::code_counter; });
    EXPECT_EQ(counter_after - counter_before, 4) << "every press makes a fresh code";
    EXPECT_NE(text_of(dialog, ticket::code), "");

    fill(dialog, customer, subject, state, description);
    click(dialog, ticket::save);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(query("select length(customer),length(subject),length(state),"
                    "length(description) from ticket"),
              (Rows{{"79", "255", "19", "4095"}}));
}

TEST_F(TicketDialog, SeeSavesANewVersionAndEnds)
{
    open_as_admin();
    const int group = add_group("Desk");
    link(1, group);
    const int first = add_ticket(group, "3UAL1", "2026-03-01 10:00:00", "old subject", "text");
    add_ticket(group, "3UAL2", "2026-03-02 10:00:00", "other", "text");
    relog();
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2u);

    // With no line chosen there is nothing to see.
    platform::Window dialog = open_see(-1);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Cannot determine selection");
    press_escape(dialog);

    dialog = open_see(0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(text_of(dialog, ticket::code), "3UAL1");
    EXPECT_EQ(text_of(dialog, ticket::customer), "cust");
    EXPECT_EQ(text_of(dialog, ticket::subject), "old subject");
    EXPECT_EQ(text_of(dialog, ticket::state), "new");
    EXPECT_EQ(text_of(dialog, ticket::description), "text");
    EXPECT_EQ(text_of(dialog, ticket::save), "Save (F)");
    EXPECT_EQ(text_of(dialog, ticket::save_and_end), "End (F)");
    for (int id : {ticket::get, ticket::files, ticket::mail})
        EXPECT_FALSE(is_enabled(dialog, id)) << id;
    click(dialog, ticket::save);
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);

    Rows rows = query("select id,code,subject,begindate,enddate,date_b from ticket "
                      "where code='3UAL1' order by id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], std::to_string(first));
    EXPECT_EQ(rows[1][2], "old subject");
    EXPECT_EQ(rows[0][4], rows[1][3]) << "one stamp ends the old row and begins the new";
    EXPECT_EQ(rows[1][3], rows[1][5]);
    EXPECT_EQ(rows[1][4], "NULL");
    // Saved again, the ticket moves to the end of the list, once.
    Lines lines = lines_of(main, main_window::ticket_list);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(20, 6), "3UAL1\t");

    // End: Cancel changes nothing, OK ends every row of the code.
    dialog = open_see(1);
    type_text(dialog, ticket::state, "solved");
    answer_next_box(platform::answer_cancel);
    click(dialog, ticket::save_and_end);
    boxes();
    EXPECT_EQ(count_of("select count(*) from ticket where code='3UAL1'"), 2);
    click(dialog, ticket::save_and_end);
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);
    rows = query("select state,enddate from ticket where code='3UAL1' order by id");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], "solved");
    EXPECT_EQ(count_of("select count(*) from ticket where code='3UAL1' and enddate is null"), 0);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 1u);

    // A double click opens the remaining one.
    double_click_line(main, main_window::ticket_list, 0);
    dialog = find_dialog(ticket_dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog, ticket::code), "3UAL2");
}

TEST_F(TicketDialog, SeeATicketOfALeftGroupWithACustomerPerson)
{
    open_as_admin();
    const int mine = add_group("Mine");
    const int left = add_group("Left");
    link(1, mine);
    const int carla = add_person("Carla O''Customer");
    add_ticket(left, "3UAL9", "2026-03-01 10:00:00", "moved", "d");
    execute("update ticket set personid_c=" + std::to_string(carla) + ",customer='stale'");
    relog();
    // The ticket is not in the list of my groups; a search shows it.
    platform::Window search = open_search();
    click(search, search::run);
    ASSERT_EQ(lines_of(main, main_window::ticket_list).size(), 1u);

    // The search leaves See disabled (no open ticket of mine); a double click opens it.
    EXPECT_FALSE(is_enabled(main, main_window::see));
    double_click_line(main, main_window::ticket_list, 0);
    platform::Window dialog = find_dialog(ticket_dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(boxes().empty());
    // The ticket's own group is offered as one more entry, chosen, so an unchanged save
    // keeps the ticket where it is.
    EXPECT_EQ(lines_of(dialog, ticket::group_box), (Lines{"Mine", "Left"}));
    EXPECT_EQ(selection_of(dialog, ticket::group_box), 1);
    EXPECT_EQ(text_of(dialog, ticket::customer), "Carla O'Customer");
    click(dialog, ticket::save);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(query("select personid_t,customer,personid_c from ticket where enddate is null"),
              (Rows{{std::to_string(left), "Carla O'Customer", "NULL"}}));
    EXPECT_TRUE(lines_of(main, main_window::ticket_list).empty()) << "still not in my groups";

    // Choosing one of the user's groups moves it there.
    click(search, search::run);
    double_click_line(main, main_window::ticket_list, 1); // the new version
    dialog = find_dialog(ticket_dialog);
    select_entry(dialog, ticket::group_box, 0);
    click(dialog, ticket::save);
    EXPECT_EQ(query("select personid_t from ticket where enddate is null"),
              (Rows{{std::to_string(mine)}}));
}

// A see-mode save replaces only the version it shows, and only while that is the open one:
// an older version found by a search, or a version somebody else saved first, is refused
// with everything typed kept, and nothing is written.
TEST_F(TicketDialog, AStaleSaveWritesNothingAndKeepsWhatWasTyped)
{
    open_as_admin();
    const int group = add_group("Desk");
    link(1, group);
    add_ticket(group, "3UAL1", "2026-03-01 10:00:00", "first words", "d", "2026-03-02 10:00:00");
    add_ticket(group, "3UAL1", "2026-03-02 10:00:00", "latest words", "d");
    relog();
    const auto rows = [this] { return query("select subject,enddate from ticket order by id"); };
    const Rows before = rows();

    // Two windows on the open version: the first save wins, the second is refused.
    platform::Window first = open_see(0);
    platform::Window second = open_see(0);
    ASSERT_NE(first, second);
    type_text(second, ticket::subject, "typed in the second");
    type_text(first, ticket::subject, "typed in the first");
    click(first, ticket::save);
    EXPECT_TRUE(boxes().empty());
    click(second, ticket::save);
    const std::vector<ticket_tests::Box> shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "This ticket was changed meanwhile - open it again");
    EXPECT_EQ(find_dialog(ticket_dialog), second) << "the dialog stays open";
    EXPECT_EQ(text_of(second, ticket::subject), "typed in the second");
    EXPECT_EQ(count_of("select count(*) from ticket where enddate is null"), 1);
    EXPECT_EQ(count_of("select count(*) from ticket where subject='typed in the second'"), 0);
    press_escape(second);

    // The older version, reached through a search, never reverts the ticket.
    const Rows after_first = rows();
    platform::Window search = open_search();
    type_text(search, search::subject, "first words");
    click(search, search::run);
    platform::Window old = open_see(0);
    EXPECT_EQ(text_of(old, ticket::subject), "first words");
    click(old, ticket::save);
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(rows(), after_first);
    EXPECT_NE(rows(), before);
}

int (*real_finalize)(store::DbStatement*) = nullptr;
store::DbStatement* code_check = nullptr;
std::string database_file;
std::string taken_code;

int (*real_prepare)(store::DbConnection*, const char*, int, store::DbStatement**,
                    const char**) = nullptr;

// The first check of a new code, as the driver sees it.
int watching_prepare(store::DbConnection* connection, const char* sql, int bytes,
                     store::DbStatement** statement, const char** tail)
{
    const int rc = real_prepare(connection, sql, bytes, statement, tail);
    const std::string text(sql, static_cast<std::size_t>(bytes));
    const std::string check = "SELECT id FROM ticket where code='";
    if (rc == 0 && taken_code.empty() && text.rfind(check, 0) == 0) {
        code_check = *statement;
        taken_code = text.substr(check.size(), text.size() - check.size() - 1);
    }
    return rc;
}

// Right after that check, another instance on the same file creates a ticket with that code.
int racing_finalize(store::DbStatement* statement)
{
    const int rc = real_finalize(statement);
    if (statement == code_check) {
        code_check = nullptr;
        testing_support::execute(database_file, "insert into ticket (code,subject) values ('" +
                                                    taken_code + "','the other desk')");
    }
    return rc;
}

// Two instances making the same code in the same second: the one that checked first and
// inserts second gets the next code instead of a second ticket under the same one.
TEST_F(TicketDialog, ACodeTakenBetweenTheCheckAndTheInsertIsNeverUsedTwice)
{
    open_as_admin();
    link(1, add_group("Desk"));
    relog();
    on_program_thread([this] {
        database_file = database;
        real_prepare = store::db_driver.prepare;
        real_finalize = store::db_driver.finalize;
        store::db_driver.prepare = watching_prepare;
        store::db_driver.finalize = racing_finalize;
    });
    platform::Window dialog = open_create();
    fill(dialog, "c", "mine", "new", "d");
    click(dialog, ticket::save);
    EXPECT_TRUE(boxes().empty());
    ASSERT_FALSE(taken_code.empty());
    EXPECT_EQ(query("select code, count(*) from ticket group by code having count(*) > 1"), Rows{});
    EXPECT_EQ(query("select subject from ticket where code='" + taken_code + "'"),
              (Rows{{"the other desk"}}));
    EXPECT_EQ(count_of("select count(*) from ticket where subject='mine'"), 1);
}

// A write that the rule of one open row refuses, because another instance opened a row of the
// ticket just before: the first statement that begins with refused_start and holds
// refused_part is refused at its step, once that instance's row is in the file.
std::string refused_start, refused_part, racing_code;
store::DbStatement* refused = nullptr;
int (*real_step)(store::DbStatement*) = nullptr;

int refusing_prepare(store::DbConnection* connection, const char* sql, int bytes,
                     store::DbStatement** statement, const char** tail)
{
    const int rc = real_prepare(connection, sql, bytes, statement, tail);
    const std::string text(sql, static_cast<std::size_t>(bytes));
    if (rc == 0 && racing_code.empty() && text.rfind(refused_start, 0) == 0 &&
        text.find(refused_part) != std::string::npos) {
        refused = *statement;
        const std::size_t quote = text.find('\'');
        racing_code = text.substr(quote + 1, text.find('\'', quote + 1) - quote - 1);
    }
    return rc;
}

int refusing_step(store::DbStatement* statement)
{
    if (statement != refused)
        return real_step(statement);
    refused = nullptr;
    testing_support::execute(database_file, "insert into ticket (code,subject) values ('" +
                                                racing_code + "','the other desk')");
    return store::db_constraint;
}

TEST_F(TicketDialog, AWriteTheOneOpenRowRuleRefusesIsNeitherLostNorTakenForDone)
{
    open_as_admin();
    const int group = add_group("Desk");
    link(1, group);
    add_ticket(group, "3UAL1", "2026-03-01 10:00:00", "shown", "text");
    relog();
    on_program_thread([this] {
        database_file = database;
        real_prepare = store::db_driver.prepare;
        real_step = store::db_driver.step;
        store::db_driver.prepare = refusing_prepare;
        store::db_driver.step = refusing_step;
    });
    const auto refuse = [](const char* start, const char* part) {
        on_program_thread([start, part] {
            refused_start = start;
            refused_part = part;
            racing_code.clear();
        });
    };

    // A new ticket: the code another instance took is left to it, and the next is used.
    refuse("insert into ticket (", " where not exists ");
    platform::Window dialog = open_create();
    fill(dialog, "c", "mine", "new", "d");
    click(dialog, ticket::save);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(find_dialog(ticket_dialog), nullptr);
    ASSERT_FALSE(racing_code.empty());
    EXPECT_EQ(query("select subject from ticket where code='" + racing_code + "'"),
              (Rows{{"the other desk"}}));
    EXPECT_EQ(count_of("select count(*) from ticket where subject='mine'"), 1);

    // A new version: the ticket is open in the other instance's row now; the dialog says so
    // and keeps what was typed, and the rows of the code are the shown one, ended, and that.
    refuse("insert into ticket (", ") values ('3UAL1'");
    dialog = open_see(0);
    ASSERT_EQ(text_of(dialog, ticket::code), "3UAL1");
    type_text(dialog, ticket::subject, "mine too");
    click(dialog, ticket::save);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "This ticket was changed meanwhile - open it again");
    EXPECT_EQ(find_dialog(ticket_dialog), dialog);
    EXPECT_EQ(text_of(dialog, ticket::subject), "mine too");
    EXPECT_EQ(query("select subject, enddate is null from ticket where code='3UAL1' order by id"),
              (Rows{{"shown", "0"}, {"the other desk", "1"}}));
}

} // namespace
