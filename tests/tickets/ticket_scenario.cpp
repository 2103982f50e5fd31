// The ticket scenario fixture.
#include "tests/tickets/ticket_scenario.h"

#include "resources/ids.h"
#include "tickets/main_lists.h"

namespace ticket_tests {

using namespace headless;
using namespace ids;

void TicketScenario::open_as_admin()
{
    start();
    create_database();
}

void TicketScenario::relog()
{
    log_in("admin", "admin");
    EXPECT_EQ(find_dialog(login_dialog), nullptr) << "login failed";
}

int TicketScenario::add_group(const std::string& name, const std::string& ac1)
{
    execute("insert into person (name,role,ac1,date_b) values ('" + name + "',5,'" + ac1 +
            "','2026-01-01 00:00:00')");
    return count_of("select max(id) from person");
}

int TicketScenario::add_person(const std::string& name)
{
    execute("insert into person (name,role,date_b) values ('" + name +
            "',1,'2026-01-01 00:00:00')");
    return count_of("select max(id) from person");
}

void TicketScenario::link(int person, int group)
{
    execute("insert into subjectlink (personid,personid2,linklevelkind,date_b) values (" +
            std::to_string(person) + "," + std::to_string(group) + ",3,'2026-01-01 00:00:00')");
}

int TicketScenario::add_ticket(int group, const std::string& code, const std::string& begindate,
                               const std::string& subject, const std::string& description,
                               const std::string& enddate)
{
    execute("insert into ticket (code,personid_t,personid_u,customer,subject,state,"
            "description,begindate,enddate,date_b) values ('" +
            code + "'," + std::to_string(group) + ",1,'cust','" + subject + "','new','" +
            description + "','" + begindate + "'," +
            (enddate.empty() ? std::string("NULL") : "'" + enddate + "'") + ",'" + begindate +
            "')");
    return count_of("select max(id) from ticket");
}

int TicketScenario::count_of(const std::string& sql)
{
    const testing_support::Rows rows = query(sql);
    return rows.empty() ? -1 : std::atoi(rows[0][0].c_str());
}

std::vector<Box> TicketScenario::boxes()
{
    std::vector<Box> shown;
    for (const ShownBox& box : take_boxes())
        shown.push_back({box.text, box.caption, box.owner_template, box.buttons});
    return shown;
}

int TicketScenario::list_count() const
{
    int count = 0;
    on_program_thread([&] { count = tickets::main_list_count; });
    return count;
}

std::vector<int> TicketScenario::line_ids(int lines) const
{
    std::vector<int> ids;
    on_program_thread(
        [&] { ids.assign(tickets::ticket_line_ids, tickets::ticket_line_ids + lines + 1); });
    return ids;
}

platform::Window TicketScenario::open_create()
{
    click(main, main_window::create);
    return find_dialog(ticket_dialog);
}

platform::Window TicketScenario::open_see(int line)
{
    select_line(main, main_window::ticket_list, line);
    click(main, main_window::see);
    return find_dialog(ticket_dialog);
}

platform::Window TicketScenario::open_search()
{
    click(main, main_window::search);
    return find_dialog(search_dialog);
}

std::string line(const std::string& begindate, const std::string& code, const std::string& subject,
                 const std::string& description)
{
    return begindate + "\t" + code + "\t" + subject + "\t" + description;
}

} // namespace ticket_tests
