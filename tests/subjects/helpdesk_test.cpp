// The administrator builds a working helpdesk through the dialogs alone: a ticket group that
// takes tickets, a person with a password linked to it, and that person's first login.
#include "tests/subjects/subject_scenario.h"

namespace {

using namespace headless;
using subjects_testing::SubjectScenario;
using Texts = std::vector<std::string>;

class SubjectHelpdesk : public SubjectScenario {};

TEST_F(SubjectHelpdesk, AdminBuildsAHelpdeskAndThePersonSeesTheGroup)
{
    start_as_admin();

    // The ticket group, taking new tickets.
    create("O'Brien & Sons Support");
    Window update = open_update("O'Brien & Sons Support");
    select_entry(update, 104, 4);
    click(update, 1305);
    update = open_update("O'Brien & Sons Support");
    EXPECT_EQ(lines_of(update, 104)[selection_of(update, 104)], "TicketGroup");
    Window extra = open_from(update, 1308, 112);
    type_text(extra, 118, "1");
    click(extra, 1315);
    close_forms();

    // The person, with a password, linked to the group.
    create("Eve");
    update = open_update("Eve");
    Window password = open_from(update, 1306, 110);
    type_text(password, 100, "eve's secret");
    type_text(password, 101, "eve's secret");
    click(password, 1309);
    Window links = open_from(update, 1307, 111);
    click(links, 1316);
    const Texts candidates = lines_of(links, 101);
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (candidates[i] == "O'Brien & Sons Support")
            select_line(links, 101, static_cast<int>(i));
    select_line(links, 103, 2); // Relation
    type_text(links, 102, "Member");
    click(links, 1310);
    EXPECT_EQ(lines_of(links, 100), Texts{"Member\tRelation\tO'Brien & Sons Support\t"});
    EXPECT_EQ(box_texts(), Texts{});
    close_forms();

    log_in("Eve", "eve's secret");
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(101), nullptr);
    EXPECT_EQ(lines_of(main, 100), Texts{"O'Brien & Sons Support"});

    // The group takes new tickets from its member.
    click(main, 1002);
    Window ticket = find_dialog(102);
    ASSERT_NE(ticket, nullptr);
    EXPECT_EQ(lines_of(ticket, 101), Texts{"O'Brien & Sons Support"});
    EXPECT_EQ(box_texts(), Texts{});
}

} // namespace
