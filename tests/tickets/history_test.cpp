// The history of a ticket: every version of its code not removed, oldest first, who wrote it
// and what it changed, the texts of the version chosen and the current one marked.
#include "resources/ids.h"
#include "tests/tickets/ticket_scenario.h"

namespace {

using namespace headless;
using namespace ids;
using ticket_tests::TicketScenario;
using Lines = std::vector<std::string>;

class TicketHistory : public TicketScenario {};

TEST_F(TicketHistory, ListsTheVersionsOfTwoWritersWithWhatEachChanged)
{
    open_as_admin();
    const int desk = add_group("Desk");
    const int lab = add_group("Lab");
    link(1, desk);
    const int bea = add_person("Bea");
    auto version = [&](int group, int writer, const std::string& state, const std::string& subject,
                       const std::string& description, const std::string& begin,
                       const std::string& end) {
        execute("insert into ticket (code,personid_t,personid_u,customer,subject,state,"
                "description,actions,begindate,enddate,date_b) values ('T-7'," +
                std::to_string(group) + "," + std::to_string(writer) + ",'Acme','" + subject +
                "','" + state + "','" + description + "','called','" + begin + "'," +
                (end.empty() ? "NULL" : "'" + end + "'") + ",'" + begin + "')");
    };
    version(desk, 1, "new", "Printer", "Jams", "2026-03-01 09:00:00", "2026-03-02 10:00:00");
    version(lab, bea, "new", "Printer", "Jams on A3", "2026-03-02 10:00:00", "2026-03-03 11:00:00");
    version(desk, 1, "waiting", "Printer", "Jams on A3", "2026-03-03 11:00:00", "");
    // Neither a removed row nor another ticket is part of the history.
    execute("insert into ticket (code,personid_t,personid_u,subject,begindate,enddate,date_b,"
            "date_e) values ('T-7',1,1,'gone','2026-03-02 12:00:00','2026-03-02 13:00:00',"
            "'2026-03-02 12:00:00','2026-03-02 13:00:00')");
    add_ticket(desk, "T-8", "2026-03-04 00:00:00", "Other", "x");
    relog();

    platform::Window ticket = open_see(0);
    ASSERT_NE(ticket, nullptr);
    ASSERT_EQ(text_of(ticket, ticket::code), "T-7");
    ASSERT_TRUE(click(ticket, ticket::history));
    platform::Window history = find_dialog(history_dialog);
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(lines_of(history, history::versions),
              (Lines{"2026-03-01 09:00:00\t2026-03-02 10:00:00\tadmin\tnew\tcreated",
                     "2026-03-02 10:00:00\t2026-03-03 11:00:00\tBea\tnew\tgroup, description",
                     "2026-03-03 11:00:00\tcurrent\tadmin\twaiting\tgroup, state"}));
    // The current version is shown first, its changed fields marked.
    EXPECT_EQ(selection_of(history, history::versions), 2);
    EXPECT_EQ(text_of(history, history::state), "waiting");
    EXPECT_EQ(text_of(history, history::state_label), "State *");
    EXPECT_EQ(text_of(history, history::group_label), "Group *");
    EXPECT_EQ(text_of(history, history::subject_label), "Subject");

    ASSERT_TRUE(select_line(history, history::versions, 1));
    EXPECT_EQ(text_of(history, history::group), "Lab");
    EXPECT_EQ(text_of(history, history::customer), "Acme");
    EXPECT_EQ(text_of(history, history::actions), "called");
    EXPECT_EQ(text_of(history, history::description), "Jams on A3");
    EXPECT_EQ(text_of(history, history::description_label), "Description *");
    EXPECT_EQ(text_of(history, history::state_label), "State");
    ASSERT_TRUE(select_line(history, history::versions, 0));
    EXPECT_EQ(text_of(history, history::description_label), "Description");
    EXPECT_TRUE(boxes().empty());

    press_escape(history);
    EXPECT_EQ(find_dialog(history_dialog), nullptr);
    EXPECT_NE(find_dialog(ticket_dialog), nullptr);
    EXPECT_FALSE(is_enabled(open_create(), ticket::history)) << "a new ticket has no versions";
}

} // namespace
