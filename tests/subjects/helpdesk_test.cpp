// The administrator builds a working helpdesk through the dialogs alone: a ticket group that
// takes tickets, a person with a password linked to it, and that person's first login.
#include "resources/ids.h"
#include "tests/subjects/subject_scenario.h"

namespace {

using namespace headless;
using namespace ids;
using subjects_testing::SubjectScenario;
using Texts = std::vector<std::string>;

class SubjectHelpdesk : public SubjectScenario {};

TEST_F(SubjectHelpdesk, AdminBuildsAHelpdeskAndThePersonSeesTheGroup)
{
    start_as_admin();

    // The ticket group, taking new tickets.
    create("O'Brien & Sons Support");
    Window update = open_update("O'Brien & Sons Support");
    select_entry(update, subject_update::role, 4);
    click(update, subject_update::save);
    update = open_update("O'Brien & Sons Support");
    EXPECT_EQ(lines_of(update, subject_update::role)[selection_of(update, subject_update::role)],
              "TicketGroup");
    Window extra = open_from(update, subject_update::extra, extra_dialog);
    type_text(extra, extra::extra1, "1");
    click(extra, extra::save);
    close_forms();

    // The person, with a password, linked to the group.
    create("Eve");
    update = open_update("Eve");
    Window password = open_from(update, subject_update::password, password_dialog);
    type_text(password, password::first, "eve's secret");
    type_text(password, password::second, "eve's secret");
    click(password, password::push);
    Window links = open_from(update, subject_update::links, links_dialog);
    click(links, links::begin_now);
    const Texts candidates = lines_of(links, links::candidates);
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (candidates[i] == "O'Brien & Sons Support")
            select_line(links, links::candidates, static_cast<int>(i));
    select_line(links, links::kind, 2); // Relation
    type_text(links, links::reason, "Member");
    click(links, links::add);
    EXPECT_EQ(lines_of(links, links::link_list),
              Texts{"Member\tRelation\tO'Brien & Sons Support\t"});
    EXPECT_EQ(box_texts(), Texts{});
    close_forms();

    log_in("Eve", "eve's secret");
    EXPECT_EQ(box_texts(), Texts{});
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
    EXPECT_EQ(lines_of(main, main_window::group_box), Texts{"O'Brien & Sons Support"});

    // The group takes new tickets from its member.
    click(main, main_window::create);
    Window ticket = find_dialog(ticket_dialog);
    ASSERT_NE(ticket, nullptr);
    EXPECT_EQ(lines_of(ticket, ticket::group_box), Texts{"O'Brien & Sons Support"});
    EXPECT_EQ(box_texts(), Texts{});
}

} // namespace
