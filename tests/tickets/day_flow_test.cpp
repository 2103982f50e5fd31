// A working day at the help desk from an empty file to a search, through the real program.
#include "resources/ids.h"
#include "tests/tickets/ticket_scenario.h"

namespace {

using namespace headless;
using namespace ids;
using testing_support::Rows;
using ticket_tests::TicketScenario;

class DayFlow : public TicketScenario {};

TEST_F(DayFlow, CreateSeeUpdateEndAndSearch)
{
    open_as_admin();
    const int desk = add_group("Front desk");
    link(1, desk);
    relog();
    EXPECT_EQ(lines_of(main, main_window::group_box), std::vector<std::string>{"Front desk"});
    EXPECT_TRUE(lines_of(main, main_window::ticket_list).empty());

    // Three tickets in the morning.
    const char* subjects[] = {"Printer on 2nd floor won't print", "No mail since 9",
                              "New starter needs a badge"};
    for (const char* subject : subjects) {
        platform::Window dialog = open_create();
        ASSERT_NE(dialog, nullptr);
        type_text(dialog, ticket::customer, "Reception");
        type_text(dialog, ticket::subject, subject);
        type_text(dialog, ticket::state, "new");
        type_text(dialog, ticket::description, std::string("Reported: ") + subject);
        click(dialog, ticket::save);
        ASSERT_EQ(find_dialog(ticket_dialog), nullptr) << subject;
    }
    EXPECT_TRUE(boxes().empty());
    Rows rows = query("select code from ticket order by id");
    ASSERT_EQ(rows.size(), 3u);
    const std::string printer = rows[0][0], mail = rows[1][0], badge = rows[2][0];
    EXPECT_NE(printer, mail);
    EXPECT_NE(mail, badge);
    EXPECT_NE(printer, badge);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 3u);
    EXPECT_EQ(list_count(), 3);
    EXPECT_TRUE(is_enabled(main, main_window::see));

    // The printer ticket is worked on: seen and saved with a new state.
    std::vector<std::string> lines = lines_of(main, main_window::ticket_list);
    int printer_line = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i)
        if (lines[i].find(printer + "\t") != std::string::npos)
            printer_line = i;
    ASSERT_GE(printer_line, 0);
    platform::Window dialog = open_see(printer_line);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text_of(dialog, ticket::subject), subjects[0]);
    type_text(dialog, ticket::state, "waiting for toner");
    click(dialog, ticket::save);
    ASSERT_EQ(find_dialog(ticket_dialog), nullptr);

    // The mail ticket is solved and ended.
    lines = lines_of(main, main_window::ticket_list);
    int mail_line = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i)
        if (lines[i].find(mail + "\t") != std::string::npos)
            mail_line = i;
    ASSERT_GE(mail_line, 0);
    dialog = open_see(mail_line);
    type_text(dialog, ticket::state, "solved");
    click(dialog, ticket::save_and_end); // "Realy end", answered OK
    ASSERT_EQ(find_dialog(ticket_dialog), nullptr);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Realy end");

    // What is open now: the badge and the printer, the printer last (saved most recently).
    lines = lines_of(main, main_window::ticket_list);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(badge), std::string::npos);
    EXPECT_NE(lines[1].find(printer), std::string::npos);
    EXPECT_EQ(list_count(), 2);

    // What is stored: five rows, a version chain for each worked ticket.
    EXPECT_EQ(query("select code,state,enddate is null,personid_t,personid_u,customer "
                    "from ticket order by id"),
              (Rows{{printer, "new", "0", std::to_string(desk), "1", "Reception"},
                    {mail, "new", "0", std::to_string(desk), "1", "Reception"},
                    {badge, "new", "1", std::to_string(desk), "1", "Reception"},
                    {printer, "waiting for toner", "1", std::to_string(desk), "1", "Reception"},
                    {mail, "solved", "0", std::to_string(desk), "1", "Reception"}}));

    // In the afternoon: what was there about mail? The search shows every row of it.
    platform::Window search = open_search();
    type_text(search, search::subject, "mail");
    click(search, search::run);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2u);
    EXPECT_EQ(list_count(), 2);
    type_text(search, search::subject, "won't");
    type_text(search, search::description, "2nd");
    click(search, search::run);
    EXPECT_EQ(lines_of(main, main_window::ticket_list).size(), 2u)
        << "both rows of the printer ticket";
    EXPECT_TRUE(boxes().empty());

    // Refresh goes back to the open tickets.
    click(main, main_window::refresh);
    EXPECT_EQ(lines_of(main, main_window::ticket_list), lines);
}

} // namespace
